// The file layer's system calls on Windows.
#define _CRT_RAND_S // rand_s: the system's random numbers
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <io.h>
#include <process.h>
#include <windows.h>

#include "platform/host.hpp"

namespace host {
namespace {
bool system_random(void *data, std::size_t size) {
    auto *bytes = static_cast<unsigned char *>(data);
    for (std::size_t k = 0; k < size; ++k) {
        unsigned int r = 0;
        if (rand_s(&r) != 0) return false;
        bytes[k] = static_cast<unsigned char>(r);
    }
    return true;
}

// Seconds since 1970 of a file time (100 ns steps since 1601).
long long seconds_of(FILETIME t) {
    const unsigned long long ticks =
        (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ULL) - 11644473600LL;
}

Entry entry_of(DWORD attributes, DWORD size_high, DWORD size_low, FILETIME modified) {
    const bool other =
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0;
    return {other ? Entry::Type::other : Entry::Type::file,
            static_cast<long long>((static_cast<unsigned long long>(size_high) << 32) | size_low),
            seconds_of(modified), 0};
}

// Marks the open file h to go when its last handle closes.
bool delete_on_close(HANDLE h) {
    FILE_DISPOSITION_INFO gone{};
    gone.DeleteFile = TRUE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone) != 0;
}

bool last_error_is(std::initializer_list<DWORD> codes) {
    return std::find(codes.begin(), codes.end(), GetLastError()) != codes.end();
}
} // namespace

Fault (*fault_hook)(const char *call) = nullptr;

bool faulted(const char *call) {
    if (fault_hook == nullptr) return false;
    // In the order of Fault: the C library's error and the system's.
    constexpr struct {
        int err;
        DWORD code;
    } errors[] = {{0, 0},
                  {EIO, ERROR_IO_DEVICE},
                  {ENOSPC, ERROR_DISK_FULL},
                  {EACCES, ERROR_ACCESS_DENIED},
                  {EEXIST, ERROR_FILE_EXISTS},
                  {EPERM, ERROR_ACCESS_DENIED},
                  {EXDEV, ERROR_NOT_SAME_DEVICE},
                  {EMLINK, ERROR_TOO_MANY_LINKS},
                  {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
                  {EOPNOTSUPP, ERROR_NOT_SUPPORTED}};
    const auto e = errors[static_cast<int>(fault_hook(call))];
    if (e.err == 0) return false;
    errno = e.err;
    SetLastError(e.code);
    return true;
}
bool (*random_source)(void *data, std::size_t size) = system_random;

std::string host_path(std::string_view dos_path) {
    return std::string(dos_path);
}

std::string folder_of(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

int process_id() {
    return _getpid();
}

std::string error_text(int err) {
    return err == 0 ? "unknown error" : std::strerror(err);
}

std::string error_text() {
    const DWORD code = GetLastError();
    char text[512];
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (n > 0 && std::string_view("\r\n .").find(text[n - 1]) != std::string_view::npos)
        --n;
    if (n == 0) return "system error " + std::to_string(code);
    return std::string(text, n);
}

bool error_is_missing() {
    return last_error_is({ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND});
}

bool error_is_exists() {
    return last_error_is({ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS});
}

std::FILE *open_read(const std::string &path, bool no_wait) {
    if (faulted("open")) return nullptr;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file != nullptr && no_wait && !can_reread(file)) {
        std::fclose(file);
        errno = EWOULDBLOCK;
        return nullptr;
    }
    return file;
}

Handle create_new(const std::string &path) {
    if (faulted("create")) return no_handle;
    // CREATE_NEW fails where any entry stands, a link included, and follows none.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return h == INVALID_HANDLE_VALUE ? no_handle : h;
}

// A file another process has open (every output is held open by its writer
// until published) can't be opened with no sharing at all; once that process
// has ended, however it ended, the system has closed its handles and it can.
Claim claim(const std::string &path, Handle &h, Entry &held) {
    h = no_handle;
    if (faulted("open")) return Claim::other;
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Claim::alive : Claim::other;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(f, &info) == 0 || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(f);
        SetLastError(ERROR_INVALID_PARAMETER);
        return Claim::other;
    }
    held = entry_of(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow,
                    info.ftLastWriteTime);
    h = f;
    return Claim::dead;
}

bool read_some(Handle h, char *data, std::size_t size, std::size_t &done) {
    done = 0;
    if (faulted("read")) return false;
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30));
    if (ReadFile(h, data, chunk, &n, nullptr) == 0) return false;
    done = n;
    return true;
}

bool release(Handle h, const std::string &, bool remove_it) {
    const bool removed = !remove_it || (!faulted("unlink") && delete_on_close(h));
    CloseHandle(h);
    return removed;
}

bool look(const std::string &path, Entry &entry) {
    entry = Entry{};
    if (faulted("stat")) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == 0)
        return error_is_missing();
    entry = entry_of(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                     data.ftLastWriteTime);
    return true;
}

// No owners rule the folders there, and a file open in another process is
// seen as such through any share.
FolderKind folder_kind(const std::string &) {
    return FolderKind{};
}

unsigned current_user() {
    return 0;
}

long long now_seconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return seconds_of(now);
}

bool write_some(Handle h, const char *data, std::size_t size, std::size_t &done) {
    done = 0;
    if (faulted("write")) return false;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, std::size_t{1} << 30));
    DWORD n = 0;
    if (WriteFile(h, data, chunk, &n, nullptr) == 0) return false;
    if (n == 0) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    done = n;
    return true;
}

void start_writeback(Handle, unsigned long long, unsigned long long, bool) {}

bool write_at(Handle h, unsigned long long offset, const char *data, std::size_t size) {
    if (faulted("write")) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    return WriteFile(h, data, static_cast<DWORD>(size), &n, &at) != 0 && n == size;
}

// Files there take the permissions their folder gives them; a read-only
// attribute on the older file makes its replacement fail, as it should.
bool take_permissions(Handle, const std::string &) {
    return !faulted("stat");
}

void share_reading(Handle) {}

bool touch(Handle h) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return SetFileTime(h, nullptr, nullptr, &now) != 0;
}

bool sync(Handle h) {
    return !faulted("sync") && FlushFileBuffers(h) != 0;
}

bool sync_data(Handle h) {
    return !faulted("sync_data") && FlushFileBuffers(h) != 0;
}

bool close(Handle h) {
    if (faulted("close")) {
        CloseHandle(h);
        return false;
    }
    return CloseHandle(h) != 0;
}

// The write-through form of the move returns only once the new name is on the disk.
bool replace(const std::string &from, const std::string &to) {
    return !faulted("rename") &&
           MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int rename_no_replace(const std::string &from, const std::string &to) {
    if (faulted("rename")) return -1;
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0) return 1;
    return error_is_exists() ? 0 : -1;
}

int keep_copy(const std::string &path, const std::string &copy) {
    if (!faulted("link") && CreateHardLinkA(copy.c_str(), path.c_str(), nullptr) != 0) return 1;
    if (error_is_missing()) return 0;
    if (faulted("copy")) return -1;
    // Made at its name, which no journal names until it is whole and on the disk.
    if (CopyFileA(path.c_str(), copy.c_str(), TRUE) == 0) return error_is_missing() ? 0 : -1;
    const HANDLE f = CreateFileA(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool synced = f != INVALID_HANDLE_VALUE && FlushFileBuffers(f) != 0;
    const DWORD err = GetLastError();
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    if (synced) return 1;
    DeleteFileA(copy.c_str());
    SetLastError(err);
    return -1;
}

bool remove(const std::string &path) {
    return !faulted("unlink") && DeleteFileA(path.c_str()) != 0;
}

// Moves are written through: nothing more to make durable.
bool sync_folder(const std::string &) {
    return !faulted("sync_folder");
}

void remove_now(Handle h, const char *path) {
    // An open file is marked to go when its handle closes, at the end.
    if (h != no_handle)
        delete_on_close(h);
    else
        DeleteFileA(path);
}

bool identity(std::FILE *file, long long &size, long long &modified) {
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || GetFileInformationByHandle(h, &info) == 0) return false;
    size = static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) |
                                  info.nFileSizeLow);
    modified = static_cast<long long>(
        (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    return true;
}

bool can_reread(std::FILE *file) {
    return GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) == FILE_TYPE_DISK;
}

std::FILE *open_scratch(const std::string &folder) {
    if (faulted("create")) return nullptr;
    HANDLE copy = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && copy == INVALID_HANDLE_VALUE; ++attempt) {
        const std::string name = folder + unique_name(".copy");
        copy = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (copy == INVALID_HANDLE_VALUE && !error_is_exists()) break;
    }
    if (copy == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), 0);
    std::FILE *file = fd < 0 ? nullptr : _fdopen(fd, "w+b");
    if (file == nullptr) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(copy);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    }
    return file;
}

bool free_space(const std::string &folder, unsigned long long &available) {
    ULARGE_INTEGER free_to_caller{};
    if (GetDiskFreeSpaceExA(folder.c_str(), &free_to_caller, nullptr, nullptr) == 0) return false;
    available = free_to_caller.QuadPart;
    return true;
}

// A named mutex per folder, between the processes of the session; it has no
// shared mode, so readers take it alone for the moment of their two opens.
FolderLock::FolderLock(const std::string &folder, bool) : handle_(no_handle) {
    if (faulted("lock")) return;
    std::string name = "Local\\groundzero-publish-";
    for (char c : folder) // names are not case-sensitive there; '\\' is reserved in them
        name += c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    handle_ = CreateMutexA(nullptr, FALSE, name.c_str());
    if (handle_ == nullptr) return;
    const DWORD r = WaitForSingleObject(handle_, 5000);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) {
        CloseHandle(handle_);
        handle_ = no_handle;
    }
}

FolderLock::~FolderLock() {
    if (handle_ == no_handle) return;
    ReleaseMutex(handle_);
    CloseHandle(handle_);
}

} // namespace host
