// The host's file system calls that the file layer makes, in one narrow
// interface: host_posix.cpp and host_win.cpp implement it, the build picks one.
// Every call that reaches the system asks the fault hook first, so tests can
// make any of them fail, on every host.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace host {

// A failure a test can give a call, each turned into the host's own error code:
// an I/O error, a full disk, permission denied, a name taken, and the refusals
// of a volume without links (not permitted, another device, too many links,
// not implemented, not supported).
enum class Fault {
    none,
    io,
    no_space,
    denied,
    exists,
    not_permitted,
    cross_device,
    too_many_links,
    not_implemented,
    not_supported
};
// Asked with the call's name ("create", "write", "sync", "rename", ...) before
// the call; null (the default) lets every call through.
extern Fault (*fault_hook)(const char *call);
// Asks the hook about call: true when it fails it, the error then set as the
// call would set it (errno, and on Windows the system's last error too).
bool faulted(const char *call);
// Where temporary names take their randomness from; tests replace it to know
// the names in advance. Fills size bytes; false if the host gives none.
extern bool (*random_source)(void *data, std::size_t size);

#ifdef _WIN32
using Handle = void *;
inline constexpr Handle no_handle = nullptr;
// Whether a file still open for writing can be renamed.
inline constexpr bool renames_open_files = false;
#else
using Handle = int;
inline constexpr Handle no_handle = -1;
inline constexpr bool renames_open_files = true;
#endif

// The host path of a path text in its Windows form ("c:\images\dems\a.raw").
std::string host_path(std::string_view dos_path);
// The folder part of a host path, separator included ("." when it has none).
std::string folder_of(const std::string &path);
// The name part of a host path, after its folder.
inline std::string name_of(const std::string &path) {
    return path.substr(path.find_last_of("/\\") + 1);
}
int process_id();
// A file name no other process produces, short whatever the output's name:
// "groundzero-<pid>-<16 random hex digits><ending>". Without randomness from the
// host, the time and a counter stand in (creation is exclusive all the same).
std::string unique_name(std::string_view ending);

// The text of the last failure of a call below ("Permission denied"), and
// whether it says the file (or a folder on its way) does not exist.
std::string error_text();
bool error_is_missing();
// The text of a C library error number.
std::string error_text(int err);

// Opens an existing file for binary reading; null with the error set. With
// no_wait, an entry that is not a file on disk (a named pipe, a device) is not
// opened at all, so the call never waits: null with errno EWOULDBLOCK.
std::FILE *open_read(const std::string &path, bool no_wait = false);
// Creates a new file for writing; fails (error_is_exists) where any entry of
// that name stands already, be it a file, a link or a pipe; nothing is followed.
// The file is claimed by this process while the handle is open: claim() by
// another run finds it alive, and after any death of the process, dead.
Handle create_new(const std::string &path);

// What stands at a name, not following a link: enough to tell whose it is.
struct Entry {
    enum class Type { none, file, other } type = Type::none;
    long long size = 0;
    long long modified = 0; // seconds since 1970
    unsigned owner = 0;     // the owner's user id (0 where the host has none)
};
// False when the host can't tell (a failure other than absence).
bool look(const std::string &path, Entry &entry);

// How far a folder's locks and owners can be trusted.
struct FolderKind {
    // Entries there may be renamed or removed by their owners only (mode 1777).
    bool sticky = false;
    // A lock taken there is seen by every process that can open the folder.
    // Not so on volumes whose locks stay on each client (FUSE network file
    // systems such as sshfs, NFS, SMB), nor where the host can't tell.
    bool shared_locks = true;
};
FolderKind folder_kind(const std::string &folder);
// The user this process acts as (0 where the host has none).
unsigned current_user();
// Seconds since 1970.
long long now_seconds();

// What claim() found at a name.
enum class Claim {
    dead,  // a plain file that no process holds locked: now held by the caller
    alive, // a file some live process holds
    other  // no such file (error_is_missing()), not a plain file, or one the caller can't open
};
// Claims the plain file at path if no process holds it; h then holds it for
// reading and held receives what it is.
Claim claim(const std::string &path, Handle &h, Entry &held);
// Reads up to size bytes; done receives how many (0 at the end).
bool read_some(Handle h, char *data, std::size_t size, std::size_t &done);
// Closes a claimed file, removing it first when remove is set.
bool release(Handle h, const std::string &path, bool remove);
bool error_is_exists();
// Writes up to size bytes; done receives how many (0 only on failure).
bool write_some(Handle h, const char *data, std::size_t size, std::size_t &done);
// Starts the writing to disk of the bytes from..to, waiting for those some way
// behind (a hint: nothing where the host has no such call).
void start_writeback(Handle h, unsigned long long from, unsigned long long to, bool wait_behind);
// Writes size bytes at offset (over what stands there).
bool write_at(Handle h, unsigned long long offset, const char *data, std::size_t size);
// Gives the file the permission bits of the file now at path, if there is
// one, so a replaced output keeps them; its group too where the user belongs to
// it. Never a set-id or sticky bit, and from another user's file no bit the
// user's own files don't get. A volume without modes keeps its own.
bool take_permissions(Handle h, const std::string &path);
// Lets every user read the file (a journal, which a colleague's run must read).
void share_reading(Handle h);
// Sets the file's modification time to now: a lease kept alive.
bool touch(Handle h);
// Flushed to the disk itself (not to a cache of the drive where the host can tell them apart).
bool sync(Handle h);
// The file's data synced, and whatever metadata reading it back needs: from a
// thread beside its writer, ahead of the sync above.
bool sync_data(Handle h);
bool close(Handle h);

// Renames from onto to, replacing what is there (write-through where the host has that form).
bool replace(const std::string &from, const std::string &to);
// 1: renamed; 0: an entry of that name exists (left as it is); -1: failed.
// Where the volume has no such rename and no links, the name is first taken by
// an empty file created exclusively, which the rename then replaces.
int rename_no_replace(const std::string &from, const std::string &to);
// A second name for the file at path, so it can be put back: a hard link, or
// where the volume has none or refuses one (another user's file), a whole
// synced copy, made at that name (created exclusively, held like a new file
// while it is made), without set-id bits. 1: made; 0: there is no such file;
// -1: failed.
int keep_copy(const std::string &path, const std::string &copy);
bool remove(const std::string &path);
// Removes path, once more after a failure: a file left behind is a nuisance
// worth a second try.
inline bool remove_twice(const std::string &path) {
    return remove(path) || remove(path);
}
// Makes the renames in folder durable (nothing to do where moves are written through).
bool sync_folder(const std::string &folder);
// Removes the file at path, open as h, allocating nothing: safe in signal handlers.
void remove_now(Handle h, const char *path);

// The input's size and modification time (nanoseconds or the host's own unit); false if unknown.
bool identity(std::FILE *file, long long &size, long long &modified);
// Whether the file can be read again from its start (a file on disk, not a pipe).
bool can_reread(std::FILE *file);
// A read-write scratch file in folder that leaves no trace however the program ends; null on
// failure.
std::FILE *open_scratch(const std::string &folder);

// Bytes free to the user on the volume of folder; false when the host can't tell.
bool free_space(const std::string &folder, unsigned long long &available);

// The publishing lock of a folder, between processes: held exclusive while a
// run renames its outputs into the folder, shared while a run opens a raster
// and its descriptor, so that no reader pairs files of two runs. Taken for a
// few calls only: one that can't be had within seconds is gone without.
class FolderLock {
  public:
    FolderLock(const std::string &folder, bool shared);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    // Whether the lock was had (false: the run goes on without it).
    bool held() const { return handle_ != no_handle; }

  private:
    Handle handle_;
};

} // namespace host
