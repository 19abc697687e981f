// Publishing a set of outputs as one step, through a journal.
//
// Why a crash at any moment, power cut included, leaves every set of outputs
// whole, older or new:
// - The journal is created first, exclusively: while it stands, no other run
//   publishes the set, and any run that needs its names finds it.
// - Each older file gets a second name (a kept copy), then every new file, the
//   journal listing every step and the folder are synced: all of that is on
//   the disk before the first name changes.
// - Then the renames. A run that finds the journal of a dead run (mend.cpp)
//   completes the set if every rename took place, and otherwise renames the
//   kept copies back, so either way the set is whole.
// - The folder is synced after the renames: the new set is then the outcome
//   whatever is lost later, and success can be told. The journal and the kept
//   copies go after that, without a sync: found again after a power cut, the
//   journal says every rename took place, and the set is kept.
// - A run that fails after its first rename first marks its journal as an
//   undo, synced, so that a run finding it puts every name back.
#include "platform/publish.hpp"

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "platform/interrupts.hpp"
#include "platform/lease.hpp"
#include "platform/leftovers.hpp"
#include "platform/mend.hpp"
#include "platform/publish_names.hpp"

namespace publishing {
namespace {
// How long a run that finds a journal at its set's name goes on settling it
// and trying again (the caches of sshfs keep a removed name for 20 s), and how
// often it tries.
constexpr long long journal_wait_seconds = 30;
constexpr int journal_poll_milliseconds = 50;
} // namespace

// One publish, step by step; the first failure stops it and names its file.
class Publish {
  public:
    explicit Publish(std::initializer_list<OutFile *> files) : files_(files) {}

    bool run() {
        if (!finish_files()) return false;
        InterruptHold hold;
        const bool done =
            take_journal() && write_journal() && rename_all() && sync_renames() && drop_journal();
        if (!done) undo();
        return done;
    }
    OutFile *failed() const { return bad_; }
    bool journal_left() const { return journal_left_; }

  private:
    bool fail(OutFile *f) {
        if (bad_ == nullptr) bad_ = f;
        f->record_failure();
        return false;
    }
    OutFile *first() const { return *files_.begin(); }

    bool finish_files();
    bool take_journal();
    bool create_journal();
    int keep_olders();
    void let_go();
    bool remove_journal();
    bool write_journal();
    bool rename_all();
    bool sync_renames() { return host::sync_folder(place_.folder) || fail(first()); }
    bool drop_journal();
    void undo();
    void drop_copies();

    std::initializer_list<OutFile *> files_;
    Place place_;
    std::optional<host::FolderLock> lock_;
    std::string journal_name_;
    host::Handle journal_ = host::no_handle;
    Journal steps_;
    bool written_ = false;    // the journal is on the disk: names may change
    std::size_t renamed_ = 0; // steps whose rename was tried
    OutFile *bad_ = nullptr;
    bool journal_left_ = false; // for the next run to mend from
};

// Every file written, flushed, given its permissions and synced: all of
// them on their way to the disk before the run waits for any.
bool Publish::finish_files() {
    for (OutFile *f : files_)
        if (!f->complete() && bad_ == nullptr) bad_ = f;
    for (OutFile *f : files_)
        if (bad_ == nullptr && !f->make_durable()) bad_ = f;
    if (bad_ != nullptr) return false;
    place_ = place_of(first()->dos_path_);
    journal_name_ = publish_names::journal_of(host::name_of(host::host_path(first()->dos_path_)));
    return true;
}

// The journal, created at the set's name, and the kept copies: a dead run's
// journal there is settled first, a live run's publish waited for. A network
// volume may go on showing, from its caches, files another machine has
// removed (a journal, kept copies): that is waited out.
bool Publish::take_journal() {
    const long long deadline = host::now_seconds() + journal_wait_seconds;
    for (;;) {
        lock_.emplace(place_.folder, false);
        const int r = create_journal() ? keep_olders() : host::error_is_exists() ? 0 : -1;
        if (r > 0) return true;
        if (r < 0) return bad_ == nullptr ? fail(first()) : false;
        let_go();
        std::vector<std::string> names;
        for (OutFile *f : files_)
            names.push_back(f->dos_path_);
        std::string why;
        if (!clear_names(names, false, why)) {
            first()->fail_with(why); // the reason fail keeps
            return fail(first());
        }
        if (host::now_seconds() > deadline) return fail(first());
        std::this_thread::sleep_for(std::chrono::milliseconds(journal_poll_milliseconds));
    }
}

// Lets go of the set's name: the copies made, the journal, the lock.
void Publish::let_go() {
    drop_copies();
    steps_.steps.clear();
    if (journal_ != host::no_handle) remove_journal();
    lock_.reset();
}

// Closes the journal, its lease dropped, and removes it; false if that fails.
bool Publish::remove_journal() {
    if (!place_.kind.shared_locks) lease_drop(journal_);
    const bool removed = host::release(journal_, place_.folder + journal_name_, true);
    journal_ = host::no_handle;
    return removed;
}

bool Publish::create_journal() {
    journal_ = host::create_new(place_.folder + journal_name_);
    if (journal_ == host::no_handle) return false;
    // A colleague's run must be able to read it, whatever this user's umask.
    host::share_reading(journal_);
    if (!place_.kind.shared_locks) lease_hold(journal_);
    remove_old_copies(place_, journal_name_);
    return true;
}

// A kept copy of each file to be replaced or removed, and the journal's
// steps. 1: done; 0: a copy's name shows a file, try again; -1: failed.
int Publish::keep_olders() {
    std::size_t k = 0;
    for (OutFile *f : files_) {
        Step s;
        s.kind = f->existing_ == OutFile::Existing::keep     ? Step::keep
                 : f->existing_ == OutFile::Existing::remove ? Step::remove
                                                             : Step::replace;
        s.final_name = host::name_of(host::host_path(f->dos_path_));
        if (s.kind != Step::remove)
            s.temp = host::name_of(f->temp_path_), s.size = static_cast<long long>(f->size());
        if (s.kind != Step::keep) {
            const std::string copy = publish_names::copy_name(journal_name_, k);
            const int r = host::keep_copy(place_.folder + s.final_name, place_.folder + copy);
            if (r < 0) return host::error_is_exists() ? 0 : (fail(f), -1);
            if (r == 1) s.copy = copy;
        }
        steps_.steps.push_back(s);
        ++k;
    }
    return 1;
}

// The journal written and synced, with the folder (its name, the copies').
bool Publish::write_journal() {
    steps_.complete = true;
    const std::string text = journal_text(steps_);
    if (!(host::write_at(journal_, 0, text.data(), text.size()) && host::sync(journal_) &&
          host::sync_folder(place_.folder)))
        return fail(first());
    written_ = true;
    return true;
}

bool Publish::rename_all() {
    for (; renamed_ < steps_.steps.size(); ++renamed_) {
        OutFile *f = files_.begin()[renamed_];
        const Step &s = steps_.steps[renamed_];
        const std::string from = place_.folder + s.temp, to = place_.folder + s.final_name;
        int r = 1;
        if (s.kind == Step::replace) r = host::replace(from, to) ? 1 : -1;
        if (s.kind == Step::keep) r = host::rename_no_replace(from, to);
        if (s.kind == Step::remove && !s.copy.empty()) r = host::remove(to) ? 1 : -1;
        if (r < 0) return fail(f);
        // A file of that name appeared meanwhile: it stays, and the new one goes.
        f->kept_existing_ = r == 0;
    }
    return true;
}

// The journal removed, then the kept copies: the set is the outcome already.
bool Publish::drop_journal() {
    if (!remove_journal() && !host::remove(place_.folder + journal_name_)) return fail(first());
    for (std::size_t k = 0; k < steps_.steps.size(); ++k) {
        const std::string &copy = steps_.steps[k].copy;
        if (!copy.empty() && !host::remove_twice(place_.folder + copy))
            files_.begin()[k]->left_behind_ = place_.folder + copy;
    }
    return true;
}

void Publish::drop_copies() {
    for (const Step &s : steps_.steps)
        if (!s.copy.empty()) host::remove_twice(place_.folder + s.copy);
}

// After a failure: nothing changed before the journal was written; after it,
// the journal is marked as an undo and every name put back from the copies.
void Publish::undo() {
    if (journal_ == host::no_handle || !written_) drop_copies();
    if (journal_ == host::no_handle) return;
    if (!place_.kind.shared_locks) lease_drop(journal_);
    const std::string path = place_.folder + journal_name_;
    bool undone = true;
    if (written_) {
        const std::string head = journal_head(true);
        // Marked or not, the names go back; marked, a crash meanwhile can't be
        // taken for a publish whose renames all took place.
        host::write_at(journal_, 0, head.data(), head.size()) && host::sync(journal_);
        steps_.undo = true;
        std::string why;
        undone = roll_back(place_, steps_, host::current_user(), why);
    }
    journal_left_ = !undone;
    if (!host::release(journal_, path, undone) && undone) host::remove_twice(path);
    journal_ = host::no_handle;
}
} // namespace publishing

bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed) {
    publishing::Publish publish(files);
    const bool ok = publish.run();
    for (OutFile *f : files)
        f->settle(ok ? f->kept_existing_ : !publish.journal_left());
    if (failed != nullptr) *failed = publish.failed();
    return ok;
}
