// What dead runs left at the names a run is about to read or write, found by
// looking at exactly those names, never by listing their folder.
#pragma once
#include <string>
#include <vector>

#include "platform/mend.hpp"

// Makes the names (paths in their Windows form, all in one folder) safe to
// read (reading) or to write: a dead run's unfinished publish of them is put
// back or completed, and what dead runs left at their names is removed; a
// publish of them in progress is waited for, within a bound. False, why set,
// when they can't be used now.
bool clear_names(const std::vector<std::string> &dos_paths, bool reading, std::string &why);

// Removes what stands at the kept-copy names of the journal called name, which
// the caller has just created: leftovers of an earlier publish of the same set.
void remove_old_copies(const Place &place, const std::string &name);
