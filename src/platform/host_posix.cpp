// The file layer's system calls on POSIX hosts (Linux, the BSDs, macOS).
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>
#ifdef __APPLE__
#include <sys/random.h>
#endif

#include "platform/host.hpp"

namespace host {
namespace {
int open_retrying(const char *path, int flags, mode_t mode = 0) {
    int fd;
    do
        fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
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

// Whether the fault hook fails this call; errno is then set as the call would set it.
bool faulted(const char *call) {
    if (fault_hook == nullptr) return false;
    switch (fault_hook(call)) {
    case Fault::none:
        return false;
    case Fault::io:
        errno = EIO;
        break;
    case Fault::no_space:
        errno = ENOSPC;
        break;
    case Fault::denied:
        errno = EACCES;
        break;
    case Fault::exists:
        errno = EEXIST;
        break;
    }
    return true;
}

// fsync, or on macOS the call that reaches the disk's platters, not only its cache.
int full_sync(int fd) {
#ifdef __APPLE__
    if (fcntl(fd, F_FULLFSYNC) == 0) return 0;
#endif
    return fsync(fd);
}
} // namespace

Fault (*fault_hook)(const char *call) = nullptr;
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

bool error_is_busy() {
    return errno == EWOULDBLOCK;
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

Claim claim(const std::string &path, Handle &h) {
    h = no_handle;
    if (faulted("open")) return Claim::other;
    const int fd =
        open_retrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Claim::other;
    // A second name of a file (a hard link) is no temporary file of a run.
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        ::close(fd);
        return Claim::other;
    }
    if (faulted("flock") || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Claim::alive : Claim::other;
    }
    h = fd;
    return Claim::dead;
}

bool read_some(Handle h, char *data, std::size_t size, std::size_t &done) {
    done = 0;
    if (faulted("read")) return false;
    ssize_t n;
    do
        n = ::read(h, data, size);
    while (n < 0 && errno == EINTR);
    if (n < 0) return false;
    done = static_cast<std::size_t>(n);
    return true;
}

bool release(Handle h, const std::string &path, bool remove_it) {
    const bool removed = !remove_it || remove(path);
    ::close(h);
    return removed;
}

bool list_folder(const std::string &folder, std::vector<std::string> &names) {
    names.clear();
    if (faulted("list")) return false;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    errno = 0;
    while (const dirent *e = readdir(dir))
        names.emplace_back(e->d_name);
    const bool listed = errno == 0;
    closedir(dir);
    return listed;
}

long long file_size(const std::string &path) {
    if (faulted("stat")) return -2;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return error_is_missing() ? -1 : -2;
    return S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -2;
}

bool write_some(Handle h, const char *data, std::size_t size, std::size_t &done) {
    done = 0;
    if (faulted("write")) return false;
    ssize_t n;
    do
        n = ::write(h, data, std::min<std::size_t>(size, std::size_t{1} << 30));
    while (n < 0 && errno == EINTR);
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

bool take_permissions(Handle h, const std::string &path) {
    if (faulted("stat")) return false;
    struct stat older {};
    if (lstat(path.c_str(), &older) != 0) return error_is_missing();
    if (!S_ISREG(older.st_mode)) return true;
    struct stat now {};
    if (faulted("fstat") || fstat(h, &now) != 0) return false;
    // The group only where the user belongs to it; the owner can't be given away.
    if (now.st_gid != older.st_gid && !faulted("fchown") &&
        fchown(h, static_cast<uid_t>(-1), older.st_gid) == 0)
        now.st_mode &= ~static_cast<mode_t>(S_ISGID);
    const mode_t bits = older.st_mode & 0777;
    if ((now.st_mode & 07777) == bits) return true;
    if (faulted("chmod")) return false;
    return fchmod(h, bits) == 0;
}

bool sync(Handle h) {
    if (faulted("sync")) return false;
    // EINVAL: a special file, which can't be synced.
    return full_sync(h) == 0 || errno == EINVAL;
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
    if (faulted("rename")) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

int rename_no_replace(const std::string &from, const std::string &to) {
#ifdef RENAME_NOREPLACE
    if (faulted("renameat2")) return -1;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 1;
    if (errno == EEXIST) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
#endif
    // Without the flag: a link fails where the name is taken, then the temporary name goes.
    if (faulted("link")) return -1;
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 1;
    }
    if (errno == EEXIST) return 0;
    if (!no_links_here(errno)) return -1;
    // Without links either: an empty file taken exclusively holds the name for the rename.
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

namespace {
// A copy of the plain file at path under the new name copy, which appears only
// once the copy is whole and synced. 1: made; 0: no such file; -1: failed.
int copy_whole(const std::string &path, const std::string &copy) {
    if (faulted("open")) return -1;
    const int from = open_retrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (from < 0) return error_is_missing() ? 0 : -1;
    struct stat st {};
    int to = -1;
    std::string part;
    bool ok = !faulted("fstat") && fstat(from, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) errno = EINVAL, ok = false;
    if (ok) {
        part = folder_of(copy) + unique_name(".part");
        to = create_new(part);
        ok = to >= 0 && !faulted("chmod") && fchmod(to, st.st_mode & 07777) == 0;
    }
    std::vector<char> buffer(ok ? std::size_t{1} << 20 : 0);
    for (std::size_t got = 0; ok;) {
        ok = read_some(from, buffer.data(), buffer.size(), got);
        if (!ok || got == 0) break;
        for (std::size_t at = 0, done = 0; ok && at < got; at += done)
            ok = write_some(to, buffer.data() + at, got - at, done);
    }
    ok = ok && sync(to) && !faulted("rename") && std::rename(part.c_str(), copy.c_str()) == 0;
    const int err = errno;
    if (!ok && to >= 0) unlink(part.c_str());
    if (to >= 0) ::close(to);
    ::close(from);
    errno = err;
    return ok ? 1 : -1;
}
} // namespace

int keep_copy(const std::string &path, const std::string &copy) {
    if (faulted("link")) return -1;
    if (link(path.c_str(), copy.c_str()) == 0) return 1;
    if (error_is_missing()) return 0;
    if (!no_links_here(errno)) return -1;
    return copy_whole(path, copy);
}

bool remove(const std::string &path) {
    if (faulted("unlink")) return false;
    return unlink(path.c_str()) == 0;
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
