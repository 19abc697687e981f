// Input files: read in one or more passes, in large blocks.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/host.hpp"

// Opens an existing file for reading in binary (no translation); null if it
// can't, with errno set. With no_wait, an entry that isn't a file on disk (a
// named pipe, whose opening waits for a writer) is not opened: null, and
// is_busy_error(errno).
std::FILE *open_input(std::string_view dos_path, bool no_wait = false);
bool is_busy_error(int err);

// Whether a failed open (its errno) means the file, or a folder on its way,
// does not exist, as opposed to existing and not being readable.
bool is_missing_file_error(int err);

// An input data file, read in one or more passes from its start, in large
// blocks. A file that can't be read twice (a named pipe) is copied as it is
// read into a temporary file, which later passes read instead.
class InFile {
  public:
    InFile() = default;
    InFile(const InFile &) = delete;
    InFile &operator=(const InFile &) = delete;
    ~InFile() { close(); }

    // Opens an existing file; false if it can't, with errno set (no_wait: as open_input).
    bool open(std::string_view dos_path, bool no_wait = false);
    // Takes over a stream already open (harnesses reading from memory).
    void adopt(std::FILE *stream);
    bool is_open() const { return file_ != nullptr; }
    // Makes later passes possible: for a file that can't be read again, a
    // temporary file in dos_folder (removed however the program ends) takes a
    // copy of what the first pass reads. False, with error() set, if it can't
    // be made. Called before the first read.
    bool prepare_passes(std::string_view dos_folder);
    // Up to size bytes; fewer only at the end of the file or on a read error.
    std::size_t read(void *data, std::size_t size);
    // A read error happened; error() says why.
    bool failed() const { return failed_; }
    // The failure was the writing of the copy of a pipe, not the reading.
    bool copy_failed() const { return copy_failed_; }
    const std::string &error() const { return error_; }
    // Back to the first byte for another pass (nothing to do before the first
    // read); false on failure (error()).
    bool rewind();
    // Whether the file has kept the size and modification time it had when opened.
    bool unchanged() const { return copy_ != nullptr || identity() == opened_; }
    void close();

  private:
    struct Identity {
        long long size = -1;
        long long modified = 0; // nanoseconds, or the host's own unit
        bool operator==(const Identity &) const = default;
    };
    Identity identity() const;
    void record_failure();

    std::FILE *file_ = nullptr;
    std::FILE *copy_ = nullptr; // the temporary copy of a pipe, or null
    bool reading_copy_ = false;
    bool read_any_ = false;
    bool failed_ = false;
    bool copy_failed_ = false;
    std::string error_;
    Identity opened_;
};
