// Outputs that appear under their final name only once complete: written
// beside it under a name of their own, synced, and renamed onto it.
#pragma once
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/early_sync.hpp"
#include "platform/host.hpp"

namespace publishing {
class Publish;
}

// An output file written beside its final name and renamed onto it when
// complete, flushed and synced, so a failed run never leaves a half-written
// file there and an older file of that name survives until the new one is whole.
class OutFile {
  public:
    // What publishing does when a file of the final name exists.
    enum class Existing {
        replace, // the new file takes its place (outputs), with its permission bits
        keep,    // the existing file stays and the new one is dropped (a created descriptor)
        remove   // no new file: the existing one goes with the others' publishing (a file
                 // of an older run that must not stand beside the new ones)
    };

    OutFile() = default;
    OutFile(const OutFile &) = delete;
    OutFile &operator=(const OutFile &) = delete;
    ~OutFile() { discard(); }

    // Creates the temporary file, under a name of its own that nothing stood
    // at; false if it can't (error() says why). With Existing::remove, creates none.
    bool open(std::string_view dos_path, Existing existing = Existing::replace);
    bool is_open() const { return handle_ != host::no_handle; }
    // The final name, in its Windows form.
    const std::string &name() const { return dos_path_; }
    // The host path of the file being written, empty once published or discarded.
    const std::string &temp_path() const { return temp_path_; }
    // Why the file failed: the system's reason for its first failure.
    const std::string &error() const { return error_; }
    // After a commit of a file opened with Existing::keep: true when a file of
    // that name had appeared meanwhile and was kept.
    bool kept_existing() const { return kept_existing_; }
    // After a successful commit: a copy of the older file that could not be
    // removed, or empty.
    const std::string &left_behind() const { return left_behind_; }

    // Binary bytes, written as they are.
    void write(const void *data, std::size_t size);
    // Text: every "\n" is stored as CR LF, on every platform.
    void write_text(std::string_view text);

    // commit_outputs({this}) (publish.hpp).
    bool commit();
    // Closes and removes the temporary file; the final name is left untouched.
    void discard() {
        if (is_open() || !temp_path_.empty()) settle(true);
    }
    // Removes the temporary file at once, allocating nothing: for the
    // interruption handlers, just before the program ends.
    void remove_now() { host::remove_now(handle_, temp_path_.c_str()); }

  private:
    friend class publishing::Publish;
    friend bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed);

    // Bytes written so far.
    unsigned long long size() const { return written_ + buffered_; }

    // After a publish: the file is closed, its temporary name removed when
    // remove_temp is set, and it leaves the table of unfinished outputs.
    void settle(bool remove_temp);
    void drop_lease();
    void fail_with(std::string why);
    bool flush_buffer();
    void write_through(const char *data, std::size_t size);
    void start_writeback();
    void record_failure() {
        if (!failed_) fail_with(host::error_text());
    }
    // Flushed, given its permissions, and its writing to disk started: false
    // on any failure so far.
    bool complete();
    // Synced, and closed where the host can't rename open files (elsewhere it
    // stays open, and so claimed, until published): false on any failure so far.
    bool make_durable();

    host::Handle handle_ = host::no_handle;
    std::string dos_path_;
    std::string temp_path_;
    Existing existing_ = Existing::replace;
    std::unique_ptr<char[]> buffer_;
    std::size_t buffered_ = 0;
    unsigned long long written_ = 0;   // bytes handed to the system
    unsigned long long writeback_ = 0; // bytes whose writing to disk has been started
    bool failed_ = false;
    bool leased_ = false; // its lease is refreshed (a volume whose locks stay on each client)
    bool kept_existing_ = false;
    EarlySync early_sync_; // joined before the file is closed
    std::string error_;
    std::string left_behind_;
};
