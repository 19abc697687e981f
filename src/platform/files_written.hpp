// The outputs a run completes, named to a person at a terminal at its end.
#pragma once
#include <string_view>

// An output complete under dos_path (its Windows form): named at the end of the run.
void note_file_written(std::string_view dos_path);
// At the end of a run that wrote files: one line naming them with their host
// paths, on standard error when it is a terminal only. The list is emptied either way.
void report_files_written();
// Empties the list without a word (harnesses that run the stages many times).
void forget_files_written();
