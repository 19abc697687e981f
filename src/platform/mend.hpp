// Mending what a publish left unfinished: a journal found at a name a run
// needs is acted on only where its run is proven dead and only as far as that
// run's user could have acted, and only on files that are what it left.
#pragma once
#include <string>
#include <string_view>

#include "platform/host.hpp"
#include "platform/journal.hpp"

// A folder where leftovers are looked for, in its host and Windows forms.
struct Place {
    std::string folder;     // host path, separator included
    std::string dos_folder; // for messages
    host::FolderKind kind;
};
Place place_of(std::string_view dos_path);

enum class Settled {
    clear,  // no journal stands there now
    busy,   // its run lives, or can't yet be told dead: wait
    whole,  // its run's names stand whole, but the journal can't be removed
    held,   // one this run may not or can't act on: it holds its names
    failed, // its run is dead, and what it left can't be put right (a read-only volume)
};
// Settles the journal called name in place, taking the folder's lock for it;
// why says why it is held or failed.
Settled settle_journal(const Place &place, const std::string &name, std::string &why);

// Puts back the older files of journal (its user owner) from what stands in
// the folder, whatever stage its renames reached, makes that durable, and
// removes the journal's other files: its temporaries, kept copies, and the
// journal itself. False, why set, when a name can't be put back.
bool roll_back(const Place &place, const Journal &journal, unsigned owner, std::string &why);
