// Publishing finished outputs into their folder as one step that no failure,
// kill or power cut leaves half done, and mending what a dead run left.
#pragma once
#include <initializer_list>

#include "platform/out_file.hpp"

// Completes every file (written, flushed, synced), and only when all of them
// are complete renames them onto their final names, in the order given, then
// syncs their folder. A failure at any step leaves every final name as it was
// before (renames already done are undone) and removes every temporary file;
// *failed then names the file that failed. A run killed at any moment of it
// leaves a journal from which the next run that needs those names makes the
// set whole, older or new. Interruptions are held back while the names change, and other runs
// neither publish into the folder nor open a raster and its descriptor from it
// meanwhile. A dead run's unfinished publish of the same names is mended first.
bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed);
