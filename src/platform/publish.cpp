// Publishing a set of outputs as one step: its journal, the putting back of a
// publish that a dead run left unfinished, and the sweep of its other leftovers.
#include "platform/publish.hpp"

#include <string_view>
#include <vector>

#include "platform/interrupts.hpp"
#include "platform/unfinished_outputs.hpp"

namespace {
// Every file a run leaves in a folder for a moment: "groundzero-<pid>-<random>"
// and one of these endings. Kept copies of older files take their journal's
// name with ".<n>.old".
constexpr std::string_view own_start = "groundzero-";
constexpr std::string_view journal_ending = ".journal";
constexpr std::string_view journal_head = "groundzero publish 1\n";
constexpr std::string_view journal_end = "end\n";
constexpr std::size_t journal_limit = std::size_t{1} << 16;

bool ends_with(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool own_file(std::string_view name, std::string_view ending) {
    return name.substr(0, own_start.size()) == own_start && ends_with(name, ending);
}

// The part of a leftover's name before its first dot: its run's publish.
std::string_view stem_of(std::string_view name) {
    return name.substr(0, name.find('.'));
}

bool remove_twice(const std::string &path) {
    return host::remove(path) || host::remove(path);
}

// One output of a publish, by names within its folder.
struct Step {
    // replace: the new file replaces what stands at its name; keep: it only
    // takes a free name; remove: there is no new file, and the older one goes.
    enum Kind { replace, keep, remove } kind = replace;
    std::string temp;       // the finished new file ("-" for remove)
    std::string final_name; // where it goes
    std::string older;      // a second name of the file it replaces, or empty: none stood there
};

constexpr const char *kind_names[] = {"replace", "keep", "remove"};

std::string journal_text(const std::vector<Step> &steps) {
    std::string text(journal_head);
    for (const Step &s : steps)
        text += std::string(kind_names[s.kind]) + '\t' + s.temp + '\t' + s.final_name + '\t' +
                (s.older.empty() ? "-" : s.older) + '\n';
    return text + std::string(journal_end);
}

// The steps of a journal; false when it is incomplete (its run died while
// writing it, before any name changed) or not one of ours.
bool read_journal(std::string_view text, std::vector<Step> &steps) {
    if (text.substr(0, journal_head.size()) != journal_head || !ends_with(text, journal_end))
        return false;
    text.remove_prefix(journal_head.size());
    text.remove_suffix(journal_end.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;
        std::string_view line = text.substr(0, end), fields[4];
        text.remove_prefix(end + 1);
        for (std::string_view &field : fields) {
            const std::size_t tab = line.find('\t');
            field = line.substr(0, tab);
            line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
            // A name with a separator would reach out of the folder: not ours.
            if (field.empty() || field.find_first_of("/\\") != std::string_view::npos) return false;
        }
        Step s{Step::replace, std::string(fields[1]), std::string(fields[2]),
               fields[3] == "-" ? std::string() : std::string(fields[3])};
        if (fields[0] == kind_names[Step::keep]) s.kind = Step::keep;
        if (fields[0] == kind_names[Step::remove]) s.kind = Step::remove;
        steps.push_back(s);
    }
    return !steps.empty();
}

// The text of a journal, or its first journal_limit bytes and more: then it is
// not one of ours. False on a read error.
bool read_whole(host::Handle h, std::string &text) {
    char block[4096];
    for (std::size_t got = 1; got > 0 && text.size() <= journal_limit;) {
        if (!host::read_some(h, block, sizeof block, got)) return false;
        text.append(block, got);
    }
    return true;
}

// Puts back the older files of a dead run's unfinished publish, from what
// stands in the folder: a kept copy still there is the older file, to rename
// back; a new file no longer at its temporary name was renamed, and is
// removed where nothing stood before it. False when a name can't be put back.
bool roll_back(const std::string &folder, const std::vector<Step> &steps) {
    for (auto s = steps.rbegin(); s != steps.rend(); ++s) {
        const std::string final_path = folder + s->final_name;
        if (!s->older.empty()) {
            const long long kept = host::file_size(folder + s->older);
            if (kept == -2 || (kept >= 0 && !host::replace(folder + s->older, final_path)))
                return false;
            continue; // without its copy, it was put back already
        }
        if (s->kind == Step::remove) continue; // nothing stood there
        const long long temp = host::file_size(folder + s->temp);
        const long long now = host::file_size(final_path);
        if (temp == -2 || now == -2) return false;
        // Renamed, or for a name taken only where free, the empty file that held it.
        const bool ours = temp == -1 || (s->kind == Step::keep && now == 0);
        if (ours && now >= 0 && !host::remove(final_path)) return false;
    }
    return true;
}

// The dead journals of folder: each is put back, then removed with its kept
// copies; live_stems receives the publishes of live runs. False, with error
// set, when one can't be put back.
bool mend_journals(const std::string &folder, const std::vector<std::string> &names,
                   std::vector<std::string> &live_stems, std::string &error) {
    for (const std::string &name : names) {
        if (!own_file(name, journal_ending)) continue;
        host::Handle h = host::no_handle;
        const host::Claim c = host::claim(folder + name, h);
        if (c == host::Claim::alive) live_stems.emplace_back(stem_of(name));
        if (c != host::Claim::dead) continue;
        std::string text;
        std::vector<Step> steps;
        const bool read = read_whole(h, text);
        const bool complete = read && text.size() <= journal_limit && read_journal(text, steps);
        if (!read || (complete && (!roll_back(folder, steps) || !host::sync_folder(folder)))) {
            error = host::error_text();
            host::release(h, folder + name, false);
            return false;
        }
        for (const Step &s : steps)
            if (!s.older.empty()) host::remove(folder + s.older);
        host::release(h, folder + name, true);
    }
    return true;
}

// Removes what dead runs left in folder: unfinished publishes are put back
// first, then their temporary files and kept copies go. Files of live runs, this
// one's included, stay, whatever their process id. False, with error set, when
// a dead publish can't be put back: publishing over it would let a later mend
// put its older files back over the new ones.
bool sweep(const std::string &folder, std::string &error) {
    std::vector<std::string> names, live_stems;
    if (!host::list_folder(folder, names)) return true; // nothing known to mend
    if (!mend_journals(folder, names, live_stems, error)) return false;
    for (const std::string &name : names) {
        const std::string path = folder + name;
        if (own_file(name, ".old")) {
            bool live = false;
            for (const std::string &stem : live_stems)
                live = live || stem == stem_of(name);
            // A copy outliving its journal is the older file of a finished publish.
            if (!live) host::remove(path);
            continue;
        }
        if (!own_file(name, ".part") && !own_file(name, ".copy")) continue;
        if (is_unfinished_output(path)) continue;
        host::Handle h = host::no_handle;
        if (host::claim(path, h) == host::Claim::dead) host::release(h, path, true);
    }
    return true;
}

std::string base_name(const std::string &path, const std::string &folder) {
    return path.substr(folder.size());
}
} // namespace

bool mend_folder(const std::string &folder, std::string &error) {
    std::vector<std::string> names, live_stems;
    if (!host::list_folder(folder, names)) return true;
    bool dead = false;
    for (const std::string &name : names) {
        host::Handle h = host::no_handle;
        if (own_file(name, journal_ending) && host::claim(folder + name, h) == host::Claim::dead) {
            host::release(h, folder + name, false);
            dead = true;
        }
    }
    if (!dead) return true;
    InterruptHold hold;
    host::FolderLock lock(folder, false);
    if (!host::list_folder(folder, names)) return true;
    if (mend_journals(folder, names, live_stems, error)) return true;
    error = "a run that died while publishing left outputs there half replaced, and they can't "
            "be put back (" +
            error + ")";
    return false;
}

// Why a crash at any moment, power cut included, leaves every set of outputs
// whole, older or new: every new file is complete and synced before any name
// changes. The older file of each name gets a second name, then the journal
// listing every step is written and synced, and the folder is synced, so both
// are on the disk before the first rename. From then on, until the journal is
// removed, the next run that opens the folder finds the journal of a dead run
// and renames the older files back (mend_folder, sweep). The renames are made
// durable by a folder sync before the journal goes, so its removal can't
// reach the disk before them; its removal is the one step that makes the new
// set the outcome, and a last folder sync makes it durable before success is
// reported. Kept copies left after that are swept by a later run.
bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed) {
    OutFile *bad = nullptr;
    for (OutFile *f : files)
        if (!f->finish() && bad == nullptr) bad = f;

    OutFile *const first = *files.begin();
    bool journal_left = false;
    if (bad == nullptr) {
        const std::string folder = host::folder_of(host::host_path(first->dos_path_));
        InterruptHold hold;
        host::FolderLock lock(folder, false);
        std::string why;
        if (!sweep(folder, why)) {
            first->fail_with("a run that died while publishing here left outputs half replaced, "
                             "and they can't be put back (" +
                             why + ")");
            bad = first;
        }
        const std::string stem = host::unique_name("");
        std::vector<Step> steps;
        for (std::size_t k = 0; bad == nullptr && k < files.size(); ++k) {
            OutFile *f = files.begin()[k];
            const std::string final_path = host::host_path(f->dos_path_);
            const Step::Kind kind = f->existing_ == OutFile::Existing::keep     ? Step::keep
                                    : f->existing_ == OutFile::Existing::remove ? Step::remove
                                                                                : Step::replace;
            Step s{kind, kind == Step::remove ? "-" : base_name(f->temp_path_, folder),
                   base_name(final_path, folder), std::string()};
            if (kind != Step::keep) {
                const std::string older = stem + "." + std::to_string(k) + ".old";
                const int r = host::keep_copy(final_path, folder + older);
                if (r < 0) {
                    f->record_failure();
                    bad = f;
                }
                if (r == 1) s.older = older;
            }
            steps.push_back(s);
        }
        const auto drop_copies = [&] {
            for (const Step &s : steps)
                if (!s.older.empty()) remove_twice(folder + s.older);
        };
        const std::string journal = folder + stem + std::string(journal_ending);
        host::Handle journal_handle = host::no_handle;
        const bool journaled = bad == nullptr;
        if (journaled) {
            const std::string text = journal_text(steps);
            journal_handle = host::create_new(journal);
            std::size_t done = 0;
            bool ok = journal_handle != host::no_handle;
            for (std::size_t at = 0; ok && at < text.size(); at += done)
                ok = host::write_some(journal_handle, text.data() + at, text.size() - at, done);
            if (!(ok && host::sync(journal_handle) && host::sync_folder(folder))) {
                first->record_failure();
                bad = first;
            }
        }

        std::size_t renamed = 0; // steps whose new file has taken its name, or was kept out
        while (bad == nullptr && renamed < steps.size()) {
            OutFile *f = files.begin()[renamed];
            const Step &s = steps[renamed];
            const std::string from = folder + s.temp, to = folder + s.final_name;
            int r = 1;
            if (s.kind == Step::replace) r = host::replace(from, to) ? 1 : -1;
            if (s.kind == Step::keep) r = host::rename_no_replace(from, to);
            if (s.kind == Step::remove && !s.older.empty()) r = host::remove(to) ? 1 : -1;
            if (r < 0) {
                f->record_failure();
                bad = f;
                break;
            }
            // A file of that name appeared meanwhile: it stays, and so does the
            // new one until the journal is gone (a mend tells by it).
            f->kept_existing_ = r == 0;
            ++renamed;
        }
        if (bad == nullptr && !host::sync_folder(folder)) {
            first->record_failure();
            bad = first;
        }
        // The commit: once the journal is gone, the new files are the outcome.
        if (bad == nullptr) {
            const bool gone = host::release(journal_handle, journal, true) || host::remove(journal);
            journal_handle = host::no_handle;
            if (!gone || !host::sync_folder(folder)) {
                first->record_failure();
                bad = first;
            }
        }

        if (bad == nullptr) {
            for (std::size_t k = 0; k < steps.size(); ++k)
                if (!steps[k].older.empty() && !remove_twice(folder + steps[k].older))
                    files.begin()[k]->left_behind_ = folder + steps[k].older;
        } else if (journaled) {
            // Undone by this run, from the steps it knows; failing that, the
            // journal stays for the next run to mend from.
            bool undone = true;
            for (std::size_t k = renamed; undone && k-- > 0;) {
                const Step &s = steps[k];
                if (files.begin()[k]->kept_existing_ || (s.kind == Step::remove && s.older.empty()))
                    continue; // nothing changed there
                undone = s.older.empty() ? remove_twice(folder + s.final_name)
                                         : host::replace(folder + s.older, folder + s.final_name);
            }
            undone = undone && host::sync_folder(folder);
            journal_left = !undone;
            // Without a handle, the journal was never made, or was removed as the commit.
            if (journal_handle != host::no_handle &&
                !host::release(journal_handle, journal, undone) && undone)
                remove_twice(journal);
            if (undone) drop_copies();
        } else {
            drop_copies();
        }
    }
    for (OutFile *f : files)
        f->settle(bad != nullptr ? !journal_left : f->kept_existing_);
    if (failed != nullptr) *failed = bad;
    return bad == nullptr;
}
