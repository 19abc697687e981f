// The file layer's system calls on POSIX hosts (Linux, the BSDs, macOS).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#ifdef __linux__
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#endif
#ifdef __APPLE__
#include <sys/mount.h>
#endif
#include <time.h>
#include <unistd.h>
#ifdef __APPLE__
#include <sys/random.h>
#endif

#include "platform/host.hpp"

namespace host {
namespace {
// What call returns, called again while it fails for an interruption.
template <class Call> auto retrying(Call call) {
    auto r = call();
    while (r < 0 && errno == EINTR)
        r = call();
    return r;
}

int open_retrying(const char *path, int flags, mode_t mode = 0) {
    return retrying([&] { return ::open(path, flags, mode); });
}

// The errors of a link the volume can't make at all, or refuses to make to
// another user's file: the caller then does without links.
bool no_links_here(int err) {
    return err == EPERM || err == EXDEV || err == EMLINK || err == ENOSYS || err == EOPNOTSUPP ||
           err == ENOTSUP;
}
bool system_random(void *data, std::size_t size) {
    auto *bytes = static_cast<unsigned char *>(data);
    while (size > 0) { // getentropy gives at most 256 bytes a call
        const std::size_t n = std::min<std::size_t>(size, 256);
        if (getentropy(bytes, n) != 0) return false;
        bytes += n;
        size -= n;
    }
    return true;
}

Entry entry_of(const struct stat &st) {
    return {S_ISREG(st.st_mode) ? Entry::Type::file : Entry::Type::other,
            static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtime),
            static_cast<unsigned>(st.st_uid)};
}

// The permission bits of an open file. A volume without modes (FAT, which
// answers ENOSYS, EPERM or EOPNOTSUPP) keeps its own: that is no failure.
bool set_mode(int fd, mode_t bits) {
    if (faulted("chmod")) return false;
    if (fchmod(fd, bits) == 0) return true;
    return errno == ENOSYS || errno == EPERM || errno == EOPNOTSUPP || errno == ENOTSUP;
}

// Whether the user belongs to the group gid: his own or a supplementary one.
bool belongs_to(gid_t gid) {
    if (gid == getegid()) return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

#ifdef __linux__
// The file system type of the mount holding the device dev ("fuse.sshfs",
// "fuseblk", ...), from the process's mount table; empty if not found.
std::string mount_type(dev_t dev) {
    std::FILE *table = std::fopen("/proc/self/mountinfo", "re");
    if (table == nullptr) return {};
    const std::string wanted = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    std::string type;
    char line[4096];
    while (type.empty() && std::fgets(line, sizeof line, table) != nullptr) {
        // "36 35 0:48 / /mnt rw - fuse.sshfs host:/share rw": the third field
        // is the device, the first after " - " the type.
        char id[32] = "", kind[256] = "";
        const char *rest = std::strstr(line, " - ");
        if (rest != nullptr && std::sscanf(line, "%*s %*s %31s", id) == 1 && wanted == id &&
            std::sscanf(rest + 3, "%255s", kind) == 1)
            type = kind;
    }
    std::fclose(table);
    return type;
}
#endif

// Whether every process that can open the folder sees the locks taken there.
// Local volumes, and volumes of one block device through FUSE (exFAT, NTFS,
// FAT), share them; a network volume keeps them on each client.
bool locks_are_shared(const std::string &folder, const struct stat &st) {
#ifdef __linux__
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0) return false;
    constexpr long nfs = 0x6969, smb = 0x517B, cifs = 0xFF534D42L, smb2 = 0xFE534D42L,
                   v9fs = 0x01021997, ceph = 0x00C36400, afs = 0x5346414F, coda = 0x73757245,
                   fuse = 0x65735546;
    const long type = static_cast<long>(fs.f_type);
    for (long network : {nfs, smb, cifs, smb2, v9fs, ceph, afs, coda})
        if (type == network) return false;
    if (type != fuse) return true;
    const std::string kind = mount_type(st.st_dev);
    for (const char *one_client :
         {"fuseblk", "fuse.exfat", "fuse.exfat-fuse", "fuse.fusefat", "fuse.ntfs-3g", "fuse.ntfs",
          "fuse.lowntfs-3g", "fuse.fuse-ext2"})
        if (kind == one_client) return true;
    return false;
#elif defined(__APPLE__)
    static_cast<void>(st);
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0) return false;
    const std::string kind = fs.f_fstypename;
    return (fs.f_flags & MNT_LOCAL) != 0 && kind.find("fuse") == std::string::npos;
#else
    static_cast<void>(folder), static_cast<void>(st);
    return true;
#endif
}

// fsync, or on macOS the call that reaches the disk's platters, not only its cache.
int full_sync(int fd) {
#ifdef __APPLE__
    if (fcntl(fd, F_FULLFSYNC) == 0) return 0;
#endif
    return fsync(fd);
}

// Without links: an empty file taken exclusively holds the name for the rename.
int rename_into_held_name(const std::string &from, const std::string &to) {
    if (faulted("create")) return -1;
    const int fd =
        open_retrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? 0 : -1;
    ::close(fd);
    if (!faulted("rename") && std::rename(from.c_str(), to.c_str()) == 0) return 1;
    const int err = errno;
    unlink(to.c_str());
    errno = err;
    return -1;
}

// Copies every byte of from into to; false on a failure.
bool copy_bytes(int from, int to) {
    std::vector<char> buffer(std::size_t{1} << 20);
    for (std::size_t got = 0;;) {
        if (!read_some(from, buffer.data(), buffer.size(), got)) return false;
        if (got == 0) return true;
        for (std::size_t at = 0, done = 0; at < got; at += done)
            if (!write_some(to, buffer.data() + at, got - at, done)) return false;
    }
}

// A copy of the plain file at path under the new name copy, which appears only
// once the copy is whole and synced. 1: made; 0: no such file; -1: failed.
int copy_whole(const std::string &path, const std::string &copy) {
    if (faulted("open")) return -1;
    const int from = open_retrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (from < 0) return error_is_missing() ? 0 : -1;
    struct stat st {};
    int to = -1;
    bool ok = !faulted("fstat") && fstat(from, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) errno = EINVAL, ok = false;
    if (ok) {
        to = create_new(copy);
        // The permission bits without set-id or sticky bits: a copy of
        // another user's program must not run as this user.
        ok = to >= 0 && set_mode(to, st.st_mode & 0777);
    }
    ok = ok && copy_bytes(from, to) && sync(to);
    const int err = errno;
    if (!ok && to >= 0) unlink(copy.c_str());
    if (to >= 0) ::close(to);
    ::close(from);
    errno = err;
    return ok ? 1 : -1;
}
} // namespace

Fault (*fault_hook)(const char *call) = nullptr;

bool faulted(const char *call) {
    if (fault_hook == nullptr) return false;
    constexpr int errors[] = {0,     EIO,   ENOSPC, EACCES, EEXIST,
                              EPERM, EXDEV, EMLINK, ENOSYS, EOPNOTSUPP}; // in the order of Fault
    const int err = errors[static_cast<int>(fault_hook(call))];
    if (err != 0) errno = err;
    return err != 0;
}
bool (*random_source)(void *data, std::size_t size) = system_random;

std::string host_path(std::string_view dos_path) {
    std::string path(dos_path);
    if (path.size() >= 3 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':' && path[2] == '\\')
        path.erase(0, 3);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string folder_of(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

int process_id() {
    return static_cast<int>(getpid());
}

std::string error_text(int err) {
    return err == 0 ? "unknown error" : std::strerror(err);
}

std::string error_text() {
    return error_text(errno);
}

bool error_is_missing() {
    return errno == ENOENT || errno == ENOTDIR;
}

bool error_is_exists() {
    return errno == EEXIST;
}

std::FILE *open_read(const std::string &path, bool no_wait) {
    if (faulted("open")) return nullptr;
    // Not even opened without waiting: that would let a writer waiting at a
    // named pipe go on, and its first bytes meet no reader.
    struct stat entry {};
    if (no_wait && stat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
        errno = EWOULDBLOCK;
        return nullptr;
    }
    const int fd =
        open_retrying(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | (no_wait ? O_NONBLOCK : 0));
    if (fd < 0) return nullptr;
    if (no_wait) {
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            const int err = S_ISREG(st.st_mode) ? errno : EWOULDBLOCK;
            ::close(fd);
            errno = err;
            return nullptr;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    std::FILE *file = fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

Handle create_new(const std::string &path) {
    if (faulted("create")) return no_handle;
    const int fd = open_retrying(
        path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    // The lock tells other runs the file is alive; the system lets it go when
    // the process ends, however it ends. A volume without locks tells nothing,
    // and files there are never taken for dead.
    if (fd >= 0) flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

Claim claim(const std::string &path, Handle &h, Entry &held) {
    h = no_handle;
    if (faulted("open")) return Claim::other;
    const int fd =
        open_retrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Claim::other;
    // A second name of a file (a hard link) is no file of a run.
    struct stat st {};
    if (faulted("fstat") || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        const int err = errno;
        ::close(fd);
        errno = err == ENOENT ? EINVAL : err;
        return Claim::other;
    }
    held = entry_of(st);
    if (faulted("flock") || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool locked = errno == EWOULDBLOCK;
        ::close(fd);
        return locked ? Claim::alive : Claim::other;
    }
    h = fd;
    return Claim::dead;
}

bool read_some(Handle h, char *data, std::size_t size, std::size_t &done) {
    done = 0;
    if (faulted("read")) return false;
    const ssize_t n = retrying([&] { return ::read(h, data, size); });
    if (n < 0) return false;
    done = static_cast<std::size_t>(n);
    return true;
}

bool release(Handle h, const std::string &path, bool remove_it) {
    const bool removed = !remove_it || remove(path);
    ::close(h);
    return removed;
}

bool look(const std::string &path, Entry &entry) {
    entry = Entry{};
    struct stat st {};
    if (faulted("stat") || lstat(path.c_str(), &st) != 0) return error_is_missing();
    entry = entry_of(st);
    return true;
}

FolderKind folder_kind(const std::string &folder) {
    struct stat st {};
    const bool sticky = stat(folder.c_str(), &st) == 0 && (st.st_mode & S_ISVTX) != 0;
    return {sticky, locks_are_shared(folder, st)};
}

unsigned current_user() {
    return static_cast<unsigned>(geteuid());
}

long long now_seconds() {
    return static_cast<long long>(time(nullptr));
}

bool write_some(Handle h, const char *data, std::size_t size, std::size_t &done) {
    done = 0;
    if (faulted("write")) return false;
    const ssize_t n = retrying(
        [&] { return ::write(h, data, std::min<std::size_t>(size, std::size_t{1} << 30)); });
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    done = static_cast<std::size_t>(n);
    return true;
}

void start_writeback(Handle h, unsigned long long from, unsigned long long to, bool wait_behind) {
#if defined(__linux__) && defined(SYNC_FILE_RANGE_WRITE)
    sync_file_range(h, static_cast<off_t>(from), static_cast<off_t>(to - from),
                    wait_behind ? SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER
                                : SYNC_FILE_RANGE_WRITE);
#else
    static_cast<void>(h), static_cast<void>(from), static_cast<void>(to),
        static_cast<void>(wait_behind);
#endif
}

bool write_at(Handle h, unsigned long long offset, const char *data, std::size_t size) {
    if (faulted("write")) return false;
    while (size > 0) {
        const ssize_t n = pwrite(h, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n, size -= static_cast<std::size_t>(n),
            offset += static_cast<unsigned long long>(n);
    }
    return true;
}

bool take_permissions(Handle h, const std::string &path) {
    struct stat older {};
    if (faulted("stat") || lstat(path.c_str(), &older) != 0) return error_is_missing();
    if (!S_ISREG(older.st_mode)) return true;
    struct stat now {};
    if (faulted("fstat") || fstat(h, &now) != 0) return false;
    // The group only where the user belongs to it: root's fchown would never
    // refuse another user's private group.
    if (now.st_gid != older.st_gid && belongs_to(older.st_gid) && !faulted("fchown") &&
        fchown(h, static_cast<uid_t>(-1), older.st_gid) == 0)
        now.st_gid = older.st_gid;
    mode_t bits = older.st_mode & 0777;
    // Another user's bits never open the output wider than the user's own files.
    if (older.st_uid != geteuid()) bits &= now.st_mode & 0777;
    if ((now.st_mode & 07777) == bits) return true;
    return set_mode(h, bits);
}

void share_reading(Handle h) {
    set_mode(h, 0644);
}

bool touch(Handle h) {
    return futimens(h, nullptr) == 0;
}

// EINVAL: a special file, which can't be synced.
bool sync(Handle h) {
    return !faulted("sync") && (full_sync(h) == 0 || errno == EINVAL);
}

bool sync_data(Handle h) {
    if (faulted("sync_data")) return false;
#ifdef __linux__
    return fdatasync(h) == 0 || errno == EINVAL;
#else
    return fsync(h) == 0 || errno == EINVAL;
#endif
}

bool close(Handle h) {
    if (faulted("close")) {
        ::close(h);
        return false;
    }
    // After EINTR the descriptor is closed all the same.
    return ::close(h) == 0 || errno == EINTR;
}

bool replace(const std::string &from, const std::string &to) {
    return !faulted("rename") && std::rename(from.c_str(), to.c_str()) == 0;
}

int rename_no_replace(const std::string &from, const std::string &to) {
#ifdef RENAME_NOREPLACE
    if (faulted("renameat2")) return -1;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 1;
    if (errno == EEXIST) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
#endif
    // Without the flag: a link fails where the name is taken, then the temporary name goes.
    if (!faulted("link") && link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 1;
    }
    if (errno == EEXIST) return 0;
    if (!no_links_here(errno)) return -1;
    return rename_into_held_name(from, to);
}

int keep_copy(const std::string &path, const std::string &copy) {
    if (!faulted("link") && link(path.c_str(), copy.c_str()) == 0) return 1;
    if (error_is_missing()) return 0;
    if (!no_links_here(errno)) return -1;
    return copy_whole(path, copy);
}

bool remove(const std::string &path) {
    return !faulted("unlink") && unlink(path.c_str()) == 0;
}

bool sync_folder(const std::string &folder) {
    if (faulted("open_folder")) return false;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder the user may write into but not read can't be synced by him.
    if (fd < 0) return errno == EACCES;
    // EINVAL: a file system whose folders can't be synced (their changes are
    // written at once, or never).
    const bool synced = !faulted("sync_folder") && (full_sync(fd) == 0 || errno == EINVAL);
    ::close(fd);
    return synced;
}

void remove_now(Handle, const char *path) {
    unlink(path);
}

bool identity(std::FILE *file, long long &size, long long &modified) {
    struct stat st {};
    if (faulted("fstat") || fstat(fileno(file), &st) != 0) return false;
    size = static_cast<long long>(st.st_size);
#ifdef __APPLE__
    const timespec &m = st.st_mtimespec;
#else
    const timespec &m = st.st_mtim;
#endif
    modified = static_cast<long long>(m.tv_sec) * 1000000000LL + m.tv_nsec;
    return true;
}

bool can_reread(std::FILE *file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
}

std::FILE *open_scratch(const std::string &folder) {
    if (faulted("create")) return nullptr;
    // A file with no name at all where the host allows it; otherwise one whose
    // name goes at once. Either way nothing is left behind.
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        const std::string name = folder + unique_name(".copy");
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) unlink(name.c_str());
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return nullptr;
    std::FILE *file = fdopen(fd, "w+b");
    if (file == nullptr) ::close(fd);
    return file;
}

bool free_space(const std::string &folder, unsigned long long &available) {
    struct statvfs vfs {};
    // A volume that reports no size at all (some network and user-space ones) can't tell.
    if (faulted("statvfs") || statvfs(folder.c_str(), &vfs) != 0 || vfs.f_blocks == 0) return false;
    available = static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
    return true;
}

// A lock on the folder itself, so nothing is left behind. Without it (a folder
// that can't be opened, or a holder that keeps it for seconds, stopped or
// hung) the run goes on unlocked.
FolderLock::FolderLock(const std::string &folder, bool shared) : handle_(no_handle) {
    if (faulted("open_folder")) return;
    handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle_ < 0) return;
    for (int wait = 0; wait < 5000 && !faulted("flock"); ++wait) {
        if (flock(handle_, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0) return;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        const timespec ms{0, 1000000};
        nanosleep(&ms, nullptr);
    }
    ::close(handle_);
    handle_ = no_handle;
}

FolderLock::~FolderLock() {
    if (handle_ == no_handle) return;
    flock(handle_, LOCK_UN);
    ::close(handle_);
}

} // namespace host
