// Files on the host: the data-root path mapping, inputs, outputs that appear
// under their final name only once complete, and zeroed page pools for grids.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// The host path of a path text in its Windows form ("c:\images\dems\a.raw").
// On Windows it is the text itself; elsewhere the working directory stands for
// drive C: and every backslash becomes a slash ("images/dems/a.raw").
std::string host_path(std::string_view dos_path);

// Opens an existing file for reading in binary (no translation); null if it can't.
std::FILE *open_input(std::string_view dos_path);

// An output file written beside its final name and renamed onto it when
// complete and flushed, so a failed run never leaves a half-written file there
// and an older file of that name survives until the new one is whole.
class OutFile {
  public:
    OutFile() = default;
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;
    ~OutFile();

    // Creates the temporary file; false (with errno set) if it can't be created.
    bool open(std::string_view dos_path);
    bool is_open() const { return file_ != nullptr; }
    const std::string &name() const { return dos_path_; }

    // Binary bytes, written as they are.
    void write(const void *data, std::size_t size);
    // Text: every "\n" is stored as CR LF, on every platform.
    void write_text(std::string_view text);

    // Flushes, syncs, closes and renames onto the final name. False if any
    // write failed or the rename did; the temporary file is then removed.
    bool commit();
    // Closes and removes the temporary file; the final name is left untouched.
    void discard();

  private:
    std::FILE *file_ = nullptr;
    std::string dos_path_;
    std::string temp_path_;
    bool failed_ = false;
    int error_ = 0;
};

// Removes the temporary file of every output not yet committed (on a failure exit).
void discard_all_outputs();

// The text of the last system error, for messages.
std::string system_error_text(int err);

// A zero-filled block of whole pages, advised for huge pages where the host has
// them; null on failure. Released with release_pages and the same size.
void *zeroed_pages(std::size_t size);
void release_pages(void *block, std::size_t size);
