// Host paths, outputs published whole, interruption clean-up and page pools,
// for POSIX hosts and Windows.
#include "platform/files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "platform/console.hpp"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {
constexpr std::size_t buffer_size = std::size_t{1} << 20;

// Outputs opened and not yet committed or discarded, in a fixed table that the
// interruption handler can walk without allocating. Changed only while
// interruptions are held back.
constexpr int max_pending = 64;
OutFile *volatile pending[max_pending];

int process_id() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

std::string folder_of(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

#ifdef _WIN32
CRITICAL_SECTION *registry_lock() {
    static CRITICAL_SECTION *lock = [] {
        auto *cs = new CRITICAL_SECTION;
        InitializeCriticalSection(cs);
        return cs;
    }();
    return lock;
}

// Holds the console control handler back while the table or the final names change.
class InterruptHold {
  public:
    InterruptHold() { EnterCriticalSection(registry_lock()); }
    ~InterruptHold() { LeaveCriticalSection(registry_lock()); }
};

std::string windows_error_text(DWORD code) {
    char text[512];
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (n > 0 &&
           (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
        --n;
    if (n == 0) return "system error " + std::to_string(code);
    return std::string(text, n);
}

std::string last_error_text() {
    return windows_error_text(GetLastError());
}

bool same_file_exists_error() {
    const DWORD e = GetLastError();
    return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS;
}

bool missing_error() {
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

bool replace_file(const std::string &from, const std::string &to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// 1: renamed; 0: a file of that name exists (left as it is); -1: failed.
int rename_no_replace(const std::string &from, const std::string &to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0) return 1;
    return same_file_exists_error() ? 0 : -1;
}

// A second name for the file at path, so it can be put back: a hard link, or a
// copy where the volume has no links. 1: made; 0: there is no such file; -1: failed.
int keep_copy(const std::string &path, const std::string &copy) {
    if (CreateHardLinkA(copy.c_str(), path.c_str(), nullptr) != 0) return 1;
    if (missing_error()) return 0;
    if (CopyFileA(path.c_str(), copy.c_str(), FALSE) != 0) return 1;
    return missing_error() ? 0 : -1;
}

bool remove_file(const std::string &path) {
    return DeleteFileA(path.c_str()) != 0;
}

// Serialises the publishing of outputs into one folder between processes.
class FolderLock {
  public:
    explicit FolderLock(const std::string &folder) {
        std::string name = "Local\\groundzero-publish-";
        for (char c : folder) // names are not case-sensitive there; '\\' is reserved in them
            name += c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
        if (mutex_ != nullptr) WaitForSingleObject(mutex_, INFINITE);
    }
    ~FolderLock() {
        if (mutex_ == nullptr) return;
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

  private:
    HANDLE mutex_ = nullptr;
};
#else
// Holds SIGINT, SIGTERM and SIGHUP back while the table or the final names change.
class InterruptHold {
  public:
    InterruptHold() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        sigprocmask(SIG_BLOCK, &set, &saved_);
    }
    ~InterruptHold() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    InterruptHold(const InterruptHold &) = delete;
    InterruptHold &operator=(const InterruptHold &) = delete;

  private:
    sigset_t saved_;
};

std::string last_error_text() {
    return system_error_text(errno);
}

bool replace_file(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

int rename_no_replace(const std::string &from, const std::string &to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 1;
    if (errno == EEXIST) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
#endif
    // Without the flag: a link fails where the name is taken, then the temporary name goes.
    if (link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? 0 : -1;
    unlink(from.c_str());
    return 1;
}

int keep_copy(const std::string &path, const std::string &copy) {
    if (link(path.c_str(), copy.c_str()) == 0) return 1;
    return errno == ENOENT ? 0 : -1;
}

bool remove_file(const std::string &path) {
    return unlink(path.c_str()) == 0;
}

// Serialises the publishing of outputs into one folder between processes: a
// lock on the folder itself, so nothing is left behind. The lock is held for a
// few renames only; without it (a folder that can't be opened, or a holder that
// keeps it for seconds, stopped or hung) publishing goes on unlocked.
class FolderLock {
  public:
    explicit FolderLock(const std::string &folder) {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return;
        for (int wait = 0; wait < 5000; ++wait) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
            if (errno != EWOULDBLOCK && errno != EINTR) break;
            const timespec ms{0, 1000000};
            nanosleep(&ms, nullptr);
        }
        ::close(fd_);
        fd_ = -1;
    }
    ~FolderLock() {
        if (fd_ < 0) return;
        flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

  private:
    int fd_ = -1;
};

void on_interrupt(int sig) {
    const int saved = errno;
    for (OutFile *file : pending)
        if (file != nullptr) file->remove_now();
    console_restore_terminal();
    // The handler was installed to reset itself and not to block the signal:
    // raising it again ends the program the way the signal would have.
    raise(sig);
    errno = saved;
}
#endif

bool register_pending(OutFile *file) {
    InterruptHold hold;
    for (auto &slot : pending)
        if (slot == nullptr) {
            slot = file;
            return true;
        }
    return false;
}

void forget_pending(OutFile *file) {
    InterruptHold hold;
    for (auto &slot : pending)
        if (slot == file) slot = nullptr;
}
} // namespace

std::string host_path(std::string_view dos_path) {
#ifdef _WIN32
    return std::string(dos_path);
#else
    std::string path(dos_path);
    if (path.size() >= 3 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':' && path[2] == '\\')
        path.erase(0, 3);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
#endif
}

std::FILE *open_input(std::string_view dos_path) {
    return std::fopen(host_path(dos_path).c_str(), "rb");
}

InFile::~InFile() {
    close();
}

bool InFile::open(std::string_view dos_path) {
    close();
    file_ = std::fopen(host_path(dos_path).c_str(), "rb");
    if (file_ == nullptr) return false;
    // Blocks are read straight into the caller's buffers.
    static_cast<void>(std::setvbuf(file_, nullptr, _IONBF, 0));
    failed_ = false;
    read_any_ = false;
    error_.clear();
    opened_ = identity();
    return true;
}

void InFile::adopt(std::FILE *stream) {
    close();
    file_ = stream;
    failed_ = false;
    read_any_ = false;
    error_.clear();
    opened_ = identity();
}

void InFile::record_failure() {
    if (failed_) return;
    failed_ = true;
    error_ = system_error_text(errno);
}

#ifdef _WIN32
InFile::Identity InFile::identity() const {
    Identity id;
    if (file_ == nullptr) return id;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)));
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || GetFileInformationByHandle(h, &info) == 0) return id;
    id.size = static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) |
                                     info.nFileSizeLow);
    id.modified = static_cast<long long>(
        (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    return id;
}

bool InFile::prepare_passes(std::string_view dos_folder) {
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)));
    if (GetFileType(h) == FILE_TYPE_DISK) return true;
    const std::string name =
        host_path(dos_folder) + ".groundzero-copy" + std::to_string(process_id());
    const HANDLE copy =
        CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (copy == INVALID_HANDLE_VALUE) {
        error_ = last_error_text();
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), 0);
    copy_ = fd < 0 ? nullptr : _fdopen(fd, "w+b");
    if (copy_ == nullptr) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(copy);
        error_ = system_error_text(errno);
        return false;
    }
    return true;
}
#else
InFile::Identity InFile::identity() const {
    Identity id;
    if (file_ == nullptr) return id;
    struct stat st {};
    if (fstat(fileno(file_), &st) != 0) return id;
    id.size = static_cast<long long>(st.st_size);
    id.modified = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return id;
}

bool InFile::prepare_passes(std::string_view dos_folder) {
    struct stat st {};
    if (fstat(fileno(file_), &st) == 0 && S_ISREG(st.st_mode)) return true;
    // A copy with no name at all where the host allows it; otherwise one whose
    // name goes at once. Either way nothing is left behind.
    const std::string host_folder = host_path(dos_folder);
    const std::string folder = host_folder.empty() ? std::string(".") : host_folder;
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        const std::string name = folder + "/.groundzero-copy" + std::to_string(process_id());
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) unlink(name.c_str());
    }
    copy_ = fd < 0 ? nullptr : fdopen(fd, "w+b");
    if (copy_ == nullptr) {
        error_ = system_error_text(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    return true;
}
#endif

std::size_t InFile::read(void *data, std::size_t size) {
    if (file_ == nullptr || failed_) return 0;
    read_any_ = true;
    std::FILE *from = reading_copy_ ? copy_ : file_;
    const std::size_t got = std::fread(data, 1, size, from);
    if (got < size && std::ferror(from)) {
        record_failure();
        return got;
    }
    if (copy_ != nullptr && !reading_copy_ && got > 0 && std::fwrite(data, 1, got, copy_) != got)
        record_failure();
    return got;
}

bool InFile::rewind() {
    if (file_ == nullptr || failed_) return false;
    if (!read_any_) return true;
    if (copy_ != nullptr) {
        if (std::fflush(copy_) != 0) record_failure();
        reading_copy_ = true;
    }
    std::FILE *from = reading_copy_ ? copy_ : file_;
    if (!failed_ && std::fseek(from, 0, SEEK_SET) != 0) record_failure();
    return !failed_;
}

bool InFile::unchanged() {
    return copy_ != nullptr || identity() == opened_;
}

void InFile::close() {
    if (copy_ != nullptr) std::fclose(copy_);
    if (file_ != nullptr) std::fclose(file_);
    copy_ = file_ = nullptr;
    reading_copy_ = false;
}

bool is_missing_file_error(int err) {
    return err == ENOENT;
}

std::string system_error_text(int err) {
    return err == 0 ? "unknown error" : std::strerror(err);
}

OutFile::~OutFile() {
    discard();
}

void OutFile::record_failure() {
    if (failed_) return;
    failed_ = true;
    error_ = last_error_text();
}

bool OutFile::open(std::string_view dos_path, Existing existing) {
    discard();
    dos_path_ = std::string(dos_path);
    temp_path_ = host_path(dos_path) + ".part" + std::to_string(process_id());
    existing_ = existing;
    failed_ = false;
    kept_existing_ = false;
    error_.clear();
    buffered_ = 0;
    written_ = writeback_ = 0;
    if (!buffer_) buffer_.reset(new char[buffer_size]);
    // Interruptions wait until the new file is in the table, so that none can
    // come between its creation and its registration and leave it behind.
    InterruptHold hold;
#ifdef _WIN32
    handle_ =
        CreateFileA(temp_path_.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        handle_ = invalid_handle;
        error_ = last_error_text();
        temp_path_.clear();
        return false;
    }
#else
    handle_ = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (handle_ < 0) {
        handle_ = invalid_handle;
        error_ = last_error_text();
        temp_path_.clear();
        return false;
    }
#endif
    if (!register_pending(this)) {
        error_ = "too many files open for writing";
        discard();
        return false;
    }
    return true;
}

void OutFile::write_through(const char *data, std::size_t size) {
    while (size > 0 && !failed_) {
#ifdef _WIN32
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30));
        DWORD done = 0;
        if (WriteFile(handle_, data, chunk, &done, nullptr) == 0 || done == 0) {
            record_failure();
            return;
        }
#else
        const ssize_t done =
            ::write(handle_, data, std::min<std::size_t>(size, std::size_t{1} << 30));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = ENOSPC;
            record_failure();
            return;
        }
#endif
        data += done;
        size -= static_cast<std::size_t>(done);
        written_ += static_cast<unsigned long long>(done);
    }
    start_writeback();
}

// Large outputs are sent on to the disk as they are written, a window at a
// time, so that the flush before the rename has little left to wait for and
// the written data doesn't pile up in memory. Each window's writing is started
// at once; the run waits only for windows some way behind, keeping the disk busy.
void OutFile::start_writeback() {
#if defined(__linux__) && defined(SYNC_FILE_RANGE_WRITE)
    constexpr unsigned long long window = 2ULL << 20;
    constexpr unsigned long long behind = 4 * window;
    while (!failed_ && written_ - writeback_ >= window) {
        sync_file_range(handle_, static_cast<off_t>(writeback_), window, SYNC_FILE_RANGE_WRITE);
        if (writeback_ >= behind)
            sync_file_range(handle_, static_cast<off_t>(writeback_ - behind), window,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                SYNC_FILE_RANGE_WAIT_AFTER);
        writeback_ += window;
    }
#endif
}

bool OutFile::flush_buffer() {
    if (buffered_ > 0) write_through(buffer_.get(), buffered_);
    buffered_ = 0;
    return !failed_;
}

void OutFile::write(const void *data, std::size_t size) {
    if (!is_open() || failed_ || size == 0) return;
    const char *bytes = static_cast<const char *>(data);
    if (buffered_ + size <= buffer_size) {
        std::memcpy(buffer_.get() + buffered_, bytes, size);
        buffered_ += size;
        return;
    }
    // Large writes go straight to the file, without a copy.
    if (!flush_buffer()) return;
    if (size >= buffer_size) {
        write_through(bytes, size);
    } else {
        std::memcpy(buffer_.get(), bytes, size);
        buffered_ = size;
    }
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

bool OutFile::finish() {
    if (!is_open()) return !failed_;
    flush_buffer();
#ifdef _WIN32
    if (!failed_ && FlushFileBuffers(handle_) == 0) record_failure();
    if (CloseHandle(handle_) == 0) record_failure();
#else
    // EINVAL: a special file that can't be synced.
    if (!failed_ && fsync(handle_) != 0 && errno != EINVAL) record_failure();
    if (::close(handle_) != 0) record_failure();
#endif
    handle_ = invalid_handle;
    return !failed_;
}

bool OutFile::commit() {
    const OutFile *failed = nullptr;
    return commit_outputs({this}, &failed);
}

void OutFile::discard() {
    if (!is_open() && temp_path_.empty()) return;
    if (is_open()) {
#ifdef _WIN32
        CloseHandle(handle_);
#else
        ::close(handle_);
#endif
        handle_ = invalid_handle;
    }
    if (!temp_path_.empty()) remove_file(temp_path_);
    forget_pending(this);
    temp_path_.clear();
}

void OutFile::remove_now() {
#ifdef _WIN32
    // The file is open: it is marked to go when its handle closes, at the end.
    FILE_DISPOSITION_INFO gone{};
    gone.DeleteFile = TRUE;
    if (handle_ != invalid_handle)
        SetFileInformationByHandle(handle_, FileDispositionInfo, &gone, sizeof gone);
    else
        DeleteFileA(temp_path_.c_str());
#else
    unlink(temp_path_.c_str());
#endif
}

bool commit_outputs(std::initializer_list<OutFile *> files, const OutFile **failed) {
    const OutFile *bad = nullptr;
    for (OutFile *f : files)
        if (!f->finish() && bad == nullptr) bad = f;

    struct Published {
        std::string final_path, kept_copy; // kept_copy: the older file, to put back
        bool had_older;
    };
    std::vector<Published> done;
    done.reserve(files.size());
    if (bad == nullptr) {
        InterruptHold hold;
        FolderLock lock(folder_of(host_path((*files.begin())->name())));
        std::size_t k = 0;
        for (OutFile *f : files) {
            ++k;
            const std::string final_path = host_path(f->dos_path_);
            if (f->existing_ == OutFile::Existing::keep) {
                const int r = rename_no_replace(f->temp_path_, final_path);
                if (r < 0) {
                    f->record_failure();
                    bad = f;
                    break;
                }
                if (r == 0) {
                    f->kept_existing_ = true;
                    remove_file(f->temp_path_);
                } else {
                    done.push_back({final_path, std::string(), false});
                }
                continue;
            }
            // Every file but the last keeps the older file of its name until the
            // last one is in place, so that a failure can put all of them back.
            std::string kept;
            bool had_older = false;
            if (k < files.size()) {
                kept = final_path + ".old" + std::to_string(process_id());
                const int r = keep_copy(final_path, kept);
                if (r < 0) {
                    f->record_failure();
                    bad = f;
                    break;
                }
                had_older = r == 1;
            }
            if (!replace_file(f->temp_path_, final_path)) {
                f->record_failure();
                if (had_older) remove_file(kept);
                bad = f;
                break;
            }
            done.push_back({final_path, kept, had_older});
        }
        if (bad != nullptr) {
            for (auto p = done.rbegin(); p != done.rend(); ++p) {
                if (p->had_older)
                    replace_file(p->kept_copy, p->final_path);
                else
                    remove_file(p->final_path);
            }
        } else {
            for (const Published &p : done)
                if (p.had_older && !remove_file(p.kept_copy) && !remove_file(p.kept_copy))
                    console_error("\ngroundzero: the older file " + p.kept_copy +
                                  " could not be removed (" + last_error_text() + ")\n");
        }
    }
    for (OutFile *f : files) {
        if (bad != nullptr) remove_file(f->temp_path_);
        forget_pending(f);
        f->temp_path_.clear();
    }
    if (failed != nullptr) *failed = bad;
    return bad == nullptr;
}

void discard_all_outputs() {
    for (OutFile *file : pending)
        if (file != nullptr) file->discard();
}

void remove_outputs_on_interrupt() {
#ifdef _WIN32
    registry_lock();
    SetConsoleCtrlHandler(
        [](DWORD event) -> BOOL {
            if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
                event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
                return FALSE;
            EnterCriticalSection(registry_lock()); // waits for names being changed
            for (OutFile *file : pending)
                if (file != nullptr) file->remove_now();
            // The status Windows gives a program ended by Ctrl-C.
            TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
            return TRUE;
        },
        TRUE);
#else
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (sigaction(sig, nullptr, &now) != 0 || now.sa_handler == SIG_IGN)
            continue; // started with the signal ignored (nohup): it stays so
        struct sigaction act {};
        act.sa_handler = on_interrupt;
        sigemptyset(&act.sa_mask);
        act.sa_flags = SA_RESETHAND | SA_NODEFER;
        sigaction(sig, &act, nullptr);
    }
#endif
}

namespace {
unsigned long long output_byte_limit = ~0ULL;
} // namespace

void limit_output_bytes(unsigned long long bytes) {
    output_byte_limit = bytes;
}

bool room_for(std::string_view dos_path, unsigned long long bytes, unsigned long long &available) {
    available = output_byte_limit;
    if (bytes > output_byte_limit) return false;
    available = 0;
    std::string folder = folder_of(host_path(dos_path));
#ifdef _WIN32
    ULARGE_INTEGER free_to_caller{};
    if (GetDiskFreeSpaceExA(folder.c_str(), &free_to_caller, nullptr, nullptr) == 0) return true;
    available = free_to_caller.QuadPart;
#else
    struct statvfs vfs {};
    // A volume that reports no size at all (some network and user-space ones) can't tell.
    if (statvfs(folder.c_str(), &vfs) != 0 || vfs.f_blocks == 0) return true;
    available = static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
#endif
    return bytes <= available;
}

void *zeroed_pages(std::size_t size) {
    if (size == 0) return nullptr;
#ifdef _WIN32
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    // No huge-page advice: where the host compacts memory to find huge pages on
    // demand, the first touch of a large grid took twice as long now and then.
    void *block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
#endif
}

void release_pages(void *block, std::size_t size) {
    if (block == nullptr) return;
#ifdef _WIN32
    (void)size;
    VirtualFree(block, 0, MEM_RELEASE);
#else
    munmap(block, size);
#endif
}
