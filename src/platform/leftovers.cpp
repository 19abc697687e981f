// Finding what dead runs left at given names, and clearing it.
#include "platform/leftovers.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/interrupts.hpp"
#include "platform/lease.hpp"
#include "platform/publish_names.hpp"
#include "platform/unfinished_outputs.hpp"

namespace {
// How long a run waits for a publish of the names it needs, and how often it looks.
constexpr int wait_milliseconds = 10000;
constexpr int poll_milliseconds = 20;

using Type = host::Entry::Type;

// What stands at the names a run needs: journals, files being written, and
// kept copies that outlived their journal.
struct Found {
    std::vector<std::string> journals; // names
    std::vector<std::string> temps;    // host paths
    std::vector<std::string> copies;   // host paths
    bool empty() const { return journals.empty() && temps.empty() && copies.empty(); }
};

bool stands(const std::string &path, bool &there) {
    host::Entry e;
    if (!host::look(path, e)) return false;
    there = e.type != Type::none;
    return true;
}

bool find_journals(const Place &p, const std::vector<std::string> &names, Found &f) {
    for (const std::string &name : names) {
        const std::string journal = publish_names::journal_of(name);
        bool there = false;
        if (std::find(f.journals.begin(), f.journals.end(), journal) != f.journals.end()) continue;
        if (!stands(p.folder + journal, there)) return false;
        if (there) f.journals.push_back(journal);
    }
    return true;
}

bool find_leftovers(const Place &p, const std::vector<std::string> &names, Found &f) {
    for (const std::string &name : names)
        for (int k = 0; k < publish_names::temp_slots; ++k) {
            const std::string temp = p.folder + publish_names::temp_name(name, k);
            bool there = false;
            if (!stands(temp, there)) return false;
            if (there && !is_unfinished_output(temp)) f.temps.push_back(temp);
        }
    for (const std::string &name : names) {
        const std::string journal = publish_names::journal_of(name);
        if (std::find(f.journals.begin(), f.journals.end(), journal) != f.journals.end()) continue;
        for (std::size_t k = 0; k < publish_names::max_members; ++k) {
            const std::string copy = p.folder + publish_names::copy_name(journal, k);
            bool there = false;
            if (!stands(copy, there)) return false;
            if (there && std::find(f.copies.begin(), f.copies.end(), copy) == f.copies.end())
                f.copies.push_back(copy);
        }
    }
    return true;
}

// Removes the files being written at path whose writer is dead (see the rule in mend.cpp).
void reclaim_temp(const Place &p, const std::string &path) {
    host::Handle h = host::no_handle;
    host::Entry e;
    if (host::claim(path, h, e) != host::Claim::dead) return;
    const bool over = p.kind.shared_locks || host::now_seconds() - e.modified >= lease_seconds;
    const bool mine = !p.kind.sticky || e.owner == host::current_user();
    host::release(h, path, over && mine);
}

void remove_copy(const Place &p, const std::string &path) {
    host::Entry e;
    if (host::look(path, e) && e.type == Type::file &&
        (!p.kind.sticky || e.owner == host::current_user()))
        host::remove_twice(path);
}

// Settles what was found, holding the folder's lock: journals first, then
// files being written, then kept copies without a journal. Those are taken
// for leftovers only where no publish of them can be under way: where the
// folder's lock is seen by all, and held.
Settled settle_found(const Place &p, const Found &f, std::string &busy_journal, std::string &why) {
    InterruptHold hold;
    host::FolderLock lock(p.folder, false);
    Settled worst = Settled::clear;
    for (const std::string &journal : f.journals) {
        const Settled s = settle_journal(p, journal, why);
        if (s == Settled::busy) busy_journal = journal;
        if (s != Settled::clear && s != Settled::whole) return s;
        if (s == Settled::whole) worst = s;
    }
    for (const std::string &temp : f.temps)
        reclaim_temp(p, temp);
    if (lock.held() && p.kind.shared_locks)
        for (const std::string &copy : f.copies)
            remove_copy(p, copy);
    return worst;
}

std::string waited_too_long(const Place &p, const std::string &journal) {
    const std::string what =
        p.kind.shared_locks
            ? "a run publishing there has not finished within 10 seconds; try again when it has"
            : "a run publishing there, maybe from another machine, has not finished, or ended "
              "less than " +
                  std::to_string(lease_seconds / 60) + " minutes ago; try again later";
    return "the journal " + p.dos_folder + journal + " holds it: " + what;
}
} // namespace

bool clear_names(const std::vector<std::string> &dos_paths, bool reading, std::string &why) {
    const Place p = place_of(dos_paths.front());
    std::vector<std::string> names;
    for (const std::string &path : dos_paths)
        names.push_back(host::name_of(host::host_path(path)));
    for (int waited = 0;; waited += poll_milliseconds) {
        Found f;
        if (!find_journals(p, names, f) || !find_leftovers(p, names, f)) {
            why = "it can't be told whether a run left it half published (" + host::error_text() +
                  ")";
            return false;
        }
        if (f.empty()) return true;
        std::string busy;
        const Settled s = settle_found(p, f, busy, why);
        if (s == Settled::clear || (s == Settled::whole && reading)) return true;
        if (s != Settled::busy) return false;
        if (waited >= wait_milliseconds) {
            why = waited_too_long(p, busy);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(poll_milliseconds));
    }
}

void remove_old_copies(const Place &place, const std::string &name) {
    for (std::size_t k = 0; k < publish_names::max_members; ++k)
        remove_copy(place, place.folder + publish_names::copy_name(name, k));
}
