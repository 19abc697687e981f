// Outputs written beside their final name under a name of their own, through
// the host's calls, until they are published.
#include "platform/out_file.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/interrupts.hpp"
#include "platform/lease.hpp"
#include "platform/leftovers.hpp"
#include "platform/publish.hpp"
#include "platform/publish_names.hpp"
#include "platform/unfinished_outputs.hpp"

namespace {
constexpr std::size_t buffer_size = std::size_t{1} << 20;
constexpr std::size_t direct_size = std::size_t{1} << 17;
// Attempts at a temporary name when one is taken (by another run writing the
// same name, or by a neighbour who planted something there): the fixed
// slots, then random names.
constexpr int name_attempts = 16;

} // namespace

void OutFile::fail_with(std::string why) {
    if (failed_) return;
    failed_ = true;
    error_ = std::move(why);
}

bool OutFile::open(std::string_view dos_path, Existing existing) {
    discard();
    dos_path_ = std::string(dos_path);
    existing_ = existing;
    failed_ = kept_existing_ = false;
    error_.clear();
    left_behind_.clear();
    written_ = writeback_ = buffered_ = 0;
    if (existing == Existing::remove) return true;
    if (!buffer_) buffer_.reset(new char[buffer_size]);
    // What a dead run left at this name goes first; a publish of it under way
    // is waited for.
    if (!clear_names({dos_path_}, false, error_)) return false;
    const std::string host_path = host::host_path(dos_path);
    const std::string folder = host::folder_of(host_path);
    const std::string name = host::name_of(host_path);
    const bool leased = !host::folder_kind(folder).shared_locks;
    // Interruptions wait until the new file is in the table, so that none can
    // come between its creation and its registration and leave it behind; and
    // no other run's sweep sees it before its creator holds it.
    InterruptHold hold;
    host::FolderLock lock(folder, true);
    for (int attempt = 0; attempt < name_attempts && !is_open(); ++attempt) {
        const int slot = attempt < publish_names::temp_slots ? attempt : -1;
        temp_path_ = folder + publish_names::temp_name(name, slot);
        handle_ = host::create_new(temp_path_);
        if (!is_open() && !host::error_is_exists()) break;
    }
    if (!is_open()) {
        error_ = host::error_text();
        temp_path_.clear();
        return false;
    }
    if (!register_pending(this)) {
        error_ = "too many files open for writing";
        discard();
        return false;
    }
    leased_ = leased;
    if (leased_) lease_hold(handle_);
    return true;
}

void OutFile::write_through(const char *data, std::size_t size) {
    while (size > 0 && !failed_) {
        std::size_t done = 0;
        if (!host::write_some(handle_, data, size, done)) {
            record_failure();
            return;
        }
        data += done;
        size -= done;
        written_ += done;
    }
    start_writeback();
}

// Large outputs are sent on to the disk as they are written, a window at a
// time, and every few windows a thread of their own syncs what was sent, so
// that the disk's writing and its flushing go on while the run writes, and the
// sync before the rename has little left to wait for. The run itself waits
// only for a window far behind: the written data never piles up in memory,
// yet a flush under way (a virtual disk may hold back all writing meanwhile)
// doesn't stop it. On a 99 MB ASCII grid that took a run from 0.16 s to 0.15 s.
void OutFile::start_writeback() {
    constexpr unsigned long long window = 2ULL << 20;
    constexpr unsigned long long behind = 32 * window;
    constexpr unsigned long long sync_span = 8 * window;
    while (!failed_ && written_ - writeback_ >= window) {
        host::start_writeback(handle_, writeback_, writeback_ + window, false);
        if (writeback_ >= behind)
            host::start_writeback(handle_, writeback_ - behind, writeback_ - behind + window, true);
        writeback_ += window;
        if (writeback_ % sync_span == 0) early_sync_.request(handle_);
    }
}

bool OutFile::flush_buffer() {
    if (buffered_ > 0) write_through(buffer_.get(), buffered_);
    buffered_ = 0;
    return !failed_;
}

void OutFile::write(const void *data, std::size_t size) {
    if (!is_open() || failed_ || size == 0) return;
    const char *bytes = static_cast<const char *>(data);
    // Large blocks go straight to the file: copying them costs more than the call.
    if (size >= direct_size) {
        if (flush_buffer()) write_through(bytes, size);
        return;
    }
    if (buffered_ + size > buffer_size && !flush_buffer()) return;
    std::memcpy(buffer_.get() + buffered_, bytes, size);
    buffered_ += size;
}

void OutFile::write_text(std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        write(text.data() + start, i - start);
        write("\r\n", 2);
        start = i + 1;
    }
    write(text.data() + start, text.size() - start);
}

bool OutFile::complete() {
    if (!is_open()) return !failed_;
    flush_buffer();
    if (!failed_ && existing_ == Existing::replace &&
        !host::take_permissions(handle_, host::host_path(dos_path_)))
        record_failure();
    // Its last bytes set off to the disk now: the syncs of a set then wait for
    // all of them at once, not for one file after another.
    if (!failed_) host::start_writeback(handle_, writeback_, written_, false);
    return !failed_;
}

bool OutFile::make_durable() {
    if (!is_open()) return !failed_;
    if (!early_sync_.finish()) fail_with(early_sync_.why());
    if (!failed_ && !host::sync(handle_)) record_failure();
    if (host::renames_open_files && !failed_) return true;
    drop_lease();
    if (!host::close(handle_)) record_failure();
    handle_ = host::no_handle;
    return !failed_;
}

void OutFile::drop_lease() {
    if (leased_) lease_drop(handle_);
    leased_ = false;
}

void OutFile::settle(bool remove_temp) {
    // Synced already: a failure to close now changes nothing on the disk.
    early_sync_.finish();
    drop_lease();
    if (is_open()) host::close(handle_);
    handle_ = host::no_handle;
    if (remove_temp && !temp_path_.empty()) host::remove_twice(temp_path_);
    forget_pending(this);
    temp_path_.clear();
}

bool OutFile::commit() {
    return commit_outputs({this}, nullptr);
}
