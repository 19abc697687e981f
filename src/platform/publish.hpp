// Publishing finished outputs into their folder as one step that no failure,
// kill or power cut leaves half done, and mending what a dead run left.
#pragma once
#include <initializer_list>
#include <string>

#include "platform/out_file.hpp"

// Completes every file (written, flushed, synced), and only when all of them
// are complete renames them onto their final names, in the order given, then
// syncs their folder. A failure at any step leaves every final name as it was
// before (renames already done are undone) and removes every temporary file;
// *failed then names the file that failed. A run killed at any moment of it
// leaves a journal from which the next run in that folder puts the older files
// back. Interruptions are held back while the names change, and other runs
// neither publish into the folder nor open a raster and its descriptor from it
// meanwhile. Before it, what dead runs left in the folder is removed.
bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed);

// Puts back the older files of every publish in folder (a host path) that a
// dead run left unfinished, so that each set of outputs there is whole again.
// False, with error set, if one can't be put back (a read-only volume).
bool mend_folder(const std::string &folder, std::string &error);
