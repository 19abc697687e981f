// The journal of a publish: the steps that put a set of outputs in place, as
// text a later run reads back, and the check that a journal found in a folder
// speaks only of names a publish of that set gives.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// One output of a publish, by names within its folder.
struct Step {
    // replace: the new file replaces what stands at its name; keep: it only
    // takes a free name; remove: there is no new file, and the older one goes.
    enum Kind { replace, keep, remove } kind = replace;
    std::string temp;       // the finished new file (empty for remove)
    std::string final_name; // where it goes
    std::string copy;       // the kept copy of the file it replaces, or empty: none stood there
    long long size = -1;    // the new file's size (-1 for remove)
};

struct Journal {
    // Written by a run undoing its own publish: whatever was renamed goes back.
    bool undo = false;
    // Ends with its end line: until then no name has changed.
    bool complete = false;
    std::vector<Step> steps;
};

// The text of a journal, its head saying publish or undo.
std::string journal_text(const Journal &journal);
// The first line, which an undo rewrites in place (both have this length).
std::string journal_head(bool undo);
// Reads the text of the journal named name into journal; false when it is not
// a journal of this program whose every name has the form its name allows.
bool read_journal(std::string_view text, std::string_view name, Journal &journal);
// The longest journal text there is.
inline constexpr std::size_t journal_limit = std::size_t{1} << 12;
