// Files on the host: the data-root path mapping, inputs, outputs that appear
// under their final name only once complete, and zeroed page pools for grids.
#pragma once
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

// The host path of a path text in its Windows form ("c:\images\dems\a.raw").
// On Windows it is the text itself; elsewhere the working directory stands for
// drive C: and every backslash becomes a slash ("images/dems/a.raw").
std::string host_path(std::string_view dos_path);

// Opens an existing file for reading in binary (no translation); null if it
// can't, with errno set.
std::FILE *open_input(std::string_view dos_path);

// An input data file, read in one or more passes from its start, in large
// blocks. A file that can't be read twice (a named pipe) is copied as it is
// read into a temporary file, which later passes read instead.
class InFile {
  public:
    InFile() = default;
    InFile(const InFile &) = delete;
    InFile &operator=(const InFile &) = delete;
    ~InFile();

    // Opens an existing file; false if it can't, with errno set.
    bool open(std::string_view dos_path);
    // Takes over a stream already open (harnesses reading from memory).
    void adopt(std::FILE *stream);
    bool is_open() const { return file_ != nullptr; }
    // The stream, for reading text.
    std::FILE *stream() const { return file_; }
    // Makes later passes possible: for a file that can't be read again, a
    // temporary file in dos_folder (removed however the program ends) takes a
    // copy of what the first pass reads. False, with error() set, if it can't
    // be made. Called before the first read.
    bool prepare_passes(std::string_view dos_folder);
    // Up to size bytes; fewer only at the end of the file or on a read error.
    std::size_t read(void *data, std::size_t size);
    // A read error happened; error() says why.
    bool failed() const { return failed_; }
    const std::string &error() const { return error_; }
    // Back to the first byte for another pass (nothing to do before the first
    // read); false on failure (error()).
    bool rewind();
    // Whether the file has kept the size and modification time it had when opened.
    bool unchanged();
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
    std::string error_;
    Identity opened_;
};

// Whether the volume holding dos_path has room for bytes more; true too when
// the host can't tell. Sets available to what it has (0 when unknown).
bool room_for(std::string_view dos_path, unsigned long long bytes, unsigned long long &available);
// The largest output room_for allows, whatever the disk has (default: no
// limit). Harnesses set it to keep fuzzed sizes small.
void limit_output_bytes(unsigned long long bytes);

// Whether a failed open_input (its errno) means the file does not exist, as
// opposed to existing and not being readable.
bool is_missing_file_error(int err);

// The text of a system error number, for messages ("Permission denied").
std::string system_error_text(int err);

// An output file written beside its final name and renamed onto it when
// complete, flushed and synced, so a failed run never leaves a half-written
// file there and an older file of that name survives until the new one is whole.
class OutFile {
  public:
    // What publishing does when a file of the final name exists.
    enum class Existing {
        replace, // the new file takes its place (outputs)
        keep     // the existing file stays and the new one is dropped (a created descriptor)
    };

    OutFile() = default;
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;
    ~OutFile();

    // Creates the temporary file; false if it can't (error() says why).
    bool open(std::string_view dos_path, Existing existing = Existing::replace);
    bool is_open() const { return handle_ != invalid_handle; }
    // The final name, in its Windows form.
    const std::string &name() const { return dos_path_; }
    // Why the file failed: the system's reason for its first failure.
    const std::string &error() const { return error_; }
    // After a commit of a file opened with Existing::keep: true when a file of
    // that name had appeared meanwhile and was kept.
    bool kept_existing() const { return kept_existing_; }

    // Binary bytes, written as they are.
    void write(const void *data, std::size_t size);
    // Text: every "\n" is stored as CR LF, on every platform.
    void write_text(std::string_view text);

    // commit_outputs({this}).
    bool commit();
    // Closes and removes the temporary file; the final name is left untouched.
    void discard();
    // Removes the temporary file at once, allocating nothing: for the
    // interruption handlers, just before the program ends.
    void remove_now();

  private:
    friend bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed);
#ifdef _WIN32
    using Handle = void *;
    static constexpr Handle invalid_handle = nullptr;
#else
    using Handle = int;
    static constexpr Handle invalid_handle = -1;
#endif

    bool flush_buffer();
    void write_through(const char *data, std::size_t size);
    void start_writeback();
    void record_failure();
    // Flushed, synced and closed: false on any failure so far.
    bool finish();

    Handle handle_ = invalid_handle;
    std::string dos_path_;
    std::string temp_path_;
    Existing existing_ = Existing::replace;
    std::unique_ptr<char[]> buffer_;
    std::size_t buffered_ = 0;
    unsigned long long written_ = 0;   // bytes handed to the system
    unsigned long long writeback_ = 0; // bytes whose writing to disk has been started
    bool failed_ = false;
    bool kept_existing_ = false;
    std::string error_;
};

// Completes every file (written, flushed, synced, closed), and only when all of
// them are complete renames them onto their final names, in the order given. A
// failure at any step leaves every final name as it was before (renames already
// done are undone) and removes every temporary file; *failed then names the
// file that failed. Interruptions are held back while the names change.
bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed);

// Removes the temporary file of every output not yet committed (on a failure exit).
void discard_all_outputs();

// From now on an interruption (Ctrl-C, SIGTERM, a closed terminal or console
// window) removes the temporary files of unfinished outputs before the program
// ends the way that signal ends it.
void remove_outputs_on_interrupt();

// A zero-filled block of whole pages; null on failure. Released with
// release_pages and the same size.
void *zeroed_pages(std::size_t size);
void release_pages(void *block, std::size_t size);
