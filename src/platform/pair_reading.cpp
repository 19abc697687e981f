// The shared hold on a folder's publishing lock, taken once the names to be
// read are clear of unfinished publishes.
#include "platform/pair_reading.hpp"

#include "platform/leftovers.hpp"
#include "platform/publish_names.hpp"

namespace {
// Tries at a clear set: a publish may start, and its run die, between the
// clearing and the lock.
constexpr int clear_attempts = 3;

// Whether a journal of one of the names stands in their folder.
bool journal_stands(const std::vector<std::string> &dos_paths) {
    for (const std::string &path : dos_paths) {
        const std::string host_path = host::host_path(path);
        const std::string journal =
            host::folder_of(host_path) + publish_names::journal_of(host::name_of(host_path));
        host::Entry e;
        if (!host::look(journal, e) || e.type != host::Entry::Type::none) return true;
    }
    return false;
}
} // namespace

PairReading::PairReading(std::vector<std::string> dos_paths) {
    if (dos_paths.empty()) return;
    const std::string folder = host::folder_of(host::host_path(dos_paths.front()));
    for (int attempt = 0;; ++attempt) {
        if (!clear_names(dos_paths, true, error_)) return;
        lock_.emplace(folder, true);
        // After the last try, a journal that stays with its names whole (one
        // that can't be removed) is no hindrance.
        if (attempt == clear_attempts || !journal_stands(dos_paths)) return;
        lock_.reset();
    }
}
