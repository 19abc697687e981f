// Mending a dead run's publish from its journal and from what stands in the
// folder now.
//
// Who is dead, once: a file's run is dead when no process holds the lock its
// run took on it, and, on a volume whose locks stay on each client (a network
// share mounted on several machines), when it has also stood untouched for
// lease_seconds, since a live run refreshes the files it holds there every
// lease_refresh_seconds. A live run's files are never touched; a dead run's
// leftovers on such a volume wait out the lease before they are reclaimed.
#include "platform/mend.hpp"

#include <vector>

#include "platform/lease.hpp"
#include "platform/publish_names.hpp"

namespace {
using Type = host::Entry::Type;

// What stands at the names of one step.
struct Seen {
    host::Entry temp, final_file, copy;
};

// One change a mend makes: a kept copy renamed back, or a file removed.
struct Change {
    std::string from, to; // to empty: from is removed
};

// A journal being mended: what it says, what stands, what is to be done.
struct Mending {
    const Place &place;
    const Journal &journal;
    unsigned owner; // the journal's user, whose run left it
    std::vector<Seen> seen;
    std::vector<Change> put_back, clean_up;
};

// Whether e is the new file of step s as its run left it: a plain file of
// that run's user, of the size the run wrote.
bool left_by_run(const host::Entry &e, const Step &s, unsigned owner) {
    return e.type == Type::file && e.owner == owner && e.size == s.size;
}

// Whether step s took place: its new file took its name, or its older file went.
bool took_place(const Step &s, const Seen &v, unsigned owner) {
    if (s.kind == Step::remove) return s.copy.empty() || v.final_file.type == Type::none;
    return !left_by_run(v.temp, s, owner);
}

// The host's reason for the failure just met, in why: false.
bool failed(std::string &why) {
    why = host::error_text();
    return false;
}

bool look_at_steps(Mending &m, std::string &why) {
    for (const Step &s : m.journal.steps) {
        Seen v;
        const std::string &f = m.place.folder;
        if (!(s.temp.empty() || host::look(f + s.temp, v.temp)) ||
            !host::look(f + s.final_name, v.final_file) ||
            !(s.copy.empty() || host::look(f + s.copy, v.copy)))
            return failed(why);
        m.seen.push_back(v);
    }
    return true;
}

// What puts step k back; false where the file at its name is not what the
// run left there, which a mend must not destroy.
bool plan_step_back(Mending &m, std::size_t k) {
    const Step &s = m.journal.steps[k];
    const Seen &v = m.seen[k];
    const std::string &f = m.place.folder;
    const bool copy_here = v.copy.type == Type::file;
    if (!took_place(s, v, m.owner)) {
        // The empty file that held a free name for a rename that never came.
        if (s.kind == Step::keep && v.final_file.type == Type::file && v.final_file.size == 0 &&
            v.final_file.owner == m.owner)
            m.put_back.push_back({f + s.final_name, ""});
        return true;
    }
    if (s.kind == Step::remove) {
        if (copy_here) m.put_back.push_back({f + s.copy, f + s.final_name});
        return true;
    }
    const bool final_new = left_by_run(v.final_file, s, m.owner);
    if (s.copy.empty()) {
        // Nothing stood there before: the new file goes; another one stays.
        if (final_new) m.put_back.push_back({f + s.final_name, ""});
        return true;
    }
    if (!copy_here) return true; // put back already
    if (v.final_file.type != Type::none && !final_new) return false;
    m.put_back.push_back({f + s.copy, f + s.final_name});
    return true;
}

// The run's files that go once the names are settled: its temporaries still
// there, and the kept copies.
void plan_clean_up(Mending &m) {
    for (std::size_t k = 0; k < m.journal.steps.size(); ++k) {
        const Step &s = m.journal.steps[k];
        const Seen &v = m.seen[k];
        if (left_by_run(v.temp, s, m.owner)) m.clean_up.push_back({m.place.folder + s.temp, ""});
        if (v.copy.type == Type::file) m.clean_up.push_back({m.place.folder + s.copy, ""});
    }
}

// Kept copies of a journal written only in part: its run made them before
// writing it, and changed no name.
bool plan_unwritten(Mending &m, const std::string &name, std::string &why) {
    for (std::size_t k = 0; k < publish_names::max_members; ++k) {
        const std::string copy = m.place.folder + publish_names::copy_name(name, k);
        host::Entry e;
        if (!host::look(copy, e)) return failed(why);
        if (e.type == Type::file) m.clean_up.push_back({copy, ""});
    }
    return true;
}

// Puts the names back, makes that durable, then removes the run's other
// files (a failure there leaves leftovers, not a wrong name).
bool act(const Mending &m, std::string &why) {
    for (const Change &c : m.put_back)
        if (!(c.to.empty() ? host::remove(c.from) : host::replace(c.from, c.to)))
            return failed(why);
    // The names as they now stand reach the disk before the journal goes.
    if (!host::sync_folder(m.place.folder)) return failed(why);
    for (const Change &c : m.clean_up)
        host::remove_twice(c.from);
    return true;
}

std::string holding(const Place &p, const std::string &name, const std::string &what) {
    return "the journal " + p.dos_folder + name + " holds it: " + what;
}

bool read_text(host::Handle h, std::string &text) {
    char block[1024];
    for (std::size_t got = 1; got > 0 && text.size() <= journal_limit;) {
        if (!host::read_some(h, block, sizeof block, got)) return false;
        text.append(block, got);
    }
    return true;
}

// Whether the journal's run may be taken for dead: on a volume whose locks
// other machines don't see, only once its lease has run out.
bool lease_over(const Place &p, const host::Entry &e) {
    return p.kind.shared_locks || host::now_seconds() - e.modified >= lease_seconds;
}

// Whether a run of this user may act on the journal of owner: in a folder
// where only owners may rename or remove entries, only on its own or root's.
bool may_act(const Place &p, unsigned owner) {
    return !p.kind.sticky || owner == host::current_user() || owner == 0;
}

// Settles a journal held (h) whose run is dead; the journal itself stays.
Settled settle_dead(const Place &p, const std::string &name, host::Handle h, const host::Entry &e,
                    std::string &why) {
    if (!may_act(p, e.owner)) {
        why = holding(p, name,
                      "a run of another user (user id " + std::to_string(e.owner) +
                          ") ended while publishing there, and only that user's runs may put "
                          "its files back: ask that user to run groundzero there again");
        return Settled::held;
    }
    std::string text;
    Journal journal;
    if (!read_text(h, text)) {
        why = holding(p, name, "it can't be read (" + host::error_text() + ")");
        return Settled::held;
    }
    if (text.size() > journal_limit || !read_journal(text, name, journal)) {
        why = holding(p, name,
                      "it is no journal of this groundzero; if no run is publishing there, "
                      "remove it");
        return Settled::held;
    }
    if (journal.complete)
        return roll_back(p, journal, e.owner, why) ? Settled::clear : Settled::failed;
    Mending m{p, journal, e.owner, {}, {}, {}};
    return plan_unwritten(m, name, why) && act(m, why) ? Settled::clear : Settled::failed;
}
} // namespace

Place place_of(std::string_view dos_path) {
    const std::string folder = host::folder_of(host::host_path(dos_path));
    return {folder, std::string(dos_path.substr(0, dos_path.rfind('\\') + 1)), // npos + 1: none
            host::folder_kind(folder)};
}

bool roll_back(const Place &place, const Journal &journal, unsigned owner, std::string &why) {
    Mending m{place, journal, owner, {}, {}, {}};
    if (!look_at_steps(m, why)) return false;
    bool whole = true;
    for (std::size_t k = 0; k < journal.steps.size(); ++k)
        whole = whole && took_place(journal.steps[k], m.seen[k], owner);
    // Every step took place (and no undo was begun): the new set stands whole.
    const bool forward = whole && !journal.undo;
    for (std::size_t k = journal.steps.size(); !forward && k-- > 0;)
        if (!plan_step_back(m, k)) {
            why = "its run ended while publishing, but the files it names are no longer what "
                  "that run left: check them, then remove the journal";
            return false;
        }
    plan_clean_up(m);
    return act(m, why);
}

Settled settle_journal(const Place &place, const std::string &name, std::string &why) {
    const std::string path = place.folder + name;
    host::Handle h = host::no_handle;
    host::Entry e;
    switch (host::claim(path, h, e)) {
    case host::Claim::alive:
        return Settled::busy;
    case host::Claim::other:
        if (host::error_is_missing()) return Settled::clear;
        why = holding(place, name, "it can't be read (" + host::error_text() + ")");
        return Settled::held;
    case host::Claim::dead:
        break;
    }
    Settled s = lease_over(place, e) ? settle_dead(place, name, h, e, why) : Settled::busy;
    if (s == Settled::failed)
        why = "a run that died while publishing left outputs there half replaced, and they "
              "can't be put back (" +
              why + ")";
    const bool removed = host::release(h, path, s == Settled::clear);
    if (s == Settled::clear && !removed) {
        why = holding(place, name, "it can't be removed (" + host::error_text() + ")");
        s = Settled::whole;
    }
    return s;
}
