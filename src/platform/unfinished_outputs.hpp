// The table of outputs not yet published, which interruptions and failures
// clean up.
#pragma once
#include <string>

#include "platform/out_file.hpp"

// Adds an output just created; false when the table is full.
bool register_pending(OutFile *file);
// Takes an output out of the table, published or discarded.
void forget_pending(OutFile *file);

// Whether host_path is the temporary file of an output of this process not yet
// committed or discarded.
bool is_unfinished_output(const std::string &host_path);

// Removes the temporary file of every output not yet committed (on a failure exit).
void discard_all_outputs();

// Removes the temporary file of every output not yet committed, allocating
// nothing and taking no lock: for the interruption handlers.
void remove_unfinished_outputs();
