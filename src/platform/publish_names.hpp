// The names a publish gives its files for a moment. Each is derived from the
// final names it serves, so that a later run finds what a dead run left by
// looking at exactly the names it reads or writes, never by listing a folder:
//   groundzero-<h>.journal   the journal of a set of outputs, <h> the hash of
//                            their key (their name without its extension);
//   groundzero-<h>-<i>.old   the kept copy of member i's older file;
//   groundzero-<g>-<k>.part  a file being written, <g> the hash of its final
//                            name and <k> one of a few slots (where every slot
//                            is taken, 16 random hex digits instead).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace publish_names {

// The most files one set of outputs holds (a raster, its descriptor, header
// and coordinate system).
inline constexpr std::size_t max_members = 4;
// The fixed temporary names of one final name, tried in turn.
inline constexpr int temp_slots = 4;

// The key a final name shares with the other files of its set.
std::string_view key_of(std::string_view final_name);
// The journal of the set a final name belongs to.
std::string journal_of(std::string_view final_name);
// The kept copy of member i of the set whose journal is journal.
std::string copy_name(std::string_view journal, std::size_t member);
// A temporary name of final_name: slot k, or a random one where k < 0.
std::string temp_name(std::string_view final_name, int slot);
// Whether temp is one of final_name's temporary names.
bool is_temp_of(std::string_view temp, std::string_view final_name);
// A name that stays within its folder: no separator, not "." or "..", no
// control character.
bool is_plain_name(std::string_view name);

} // namespace publish_names
