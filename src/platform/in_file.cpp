// Input files through the host's calls: whole-file passes and the copy of a pipe.
#include "platform/in_file.hpp"

#include "platform/streams.hpp"

#include <cerrno>

std::FILE *open_input(std::string_view dos_path, bool no_wait) {
    return host::open_read(host::host_path(dos_path), no_wait);
}

bool is_busy_error(int err) {
    return err == EWOULDBLOCK;
}

bool is_missing_file_error(int err) {
    return err == ENOENT || err == ENOTDIR;
}

bool InFile::open(std::string_view dos_path, bool no_wait) {
    close();
    std::FILE *const file = open_input(dos_path, no_wait);
    if (file == nullptr) return false;
    // Blocks are read straight into the caller's buffers.
    stream_unbuffered(file);
    adopt(file);
    return true;
}

void InFile::adopt(std::FILE *stream) {
    close();
    file_ = stream;
    failed_ = copy_failed_ = read_any_ = false;
    error_.clear();
    opened_ = identity();
}

void InFile::record_failure() {
    if (failed_) return;
    failed_ = true;
    error_ = host::error_text(errno);
}

InFile::Identity InFile::identity() const {
    Identity id;
    if (file_ == nullptr || !host::identity(file_, id.size, id.modified)) return Identity{};
    return id;
}

bool InFile::prepare_passes(std::string_view dos_folder) {
    if (host::can_reread(file_)) return true;
    const std::string folder = host::folder_of(host::host_path(std::string(dos_folder) + "x"));
    copy_ = host::open_scratch(folder);
    if (copy_ == nullptr) error_ = host::error_text();
    return copy_ != nullptr;
}

std::size_t InFile::read(void *data, std::size_t size) {
    if (file_ == nullptr || failed_) return 0;
    read_any_ = true;
    std::FILE *from = reading_copy_ ? copy_ : file_;
    std::size_t got = 0;
    if (!stream_read_some(from, data, size, got)) {
        record_failure();
        return got;
    }
    if (copy_ != nullptr && !reading_copy_ && got > 0 &&
        !stream_write(copy_, std::string_view(static_cast<const char *>(data), got))) {
        record_failure();
        copy_failed_ = true;
    }
    return got;
}

bool InFile::rewind() {
    if (file_ == nullptr || failed_) return false;
    if (!read_any_) return true;
    if (copy_ != nullptr) {
        if (!stream_flush(copy_)) {
            record_failure();
            copy_failed_ = true;
        }
        reading_copy_ = true;
    }
    std::FILE *from = reading_copy_ ? copy_ : file_;
    if (!failed_ && !stream_rewind(from)) record_failure();
    return !failed_;
}

void InFile::close() {
    if (copy_ != nullptr) stream_close(copy_);
    if (file_ != nullptr) stream_close(file_);
    copy_ = file_ = nullptr;
    reading_copy_ = false;
}
