// Host paths, atomic outputs and page pools for POSIX hosts and Windows.
#include "platform/files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {
// Outputs opened and not yet committed or discarded.
std::vector<OutFile *> &pending() {
    static std::vector<OutFile *> files;
    return files;
}

void forget(OutFile *file) {
    auto &files = pending();
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
}

int process_id() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

bool replace_file(const std::string &from, const std::string &to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool sync_file(std::FILE *file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0 || errno == EINVAL; // EINVAL: a special file
#endif
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

OutFile::~OutFile() {
    discard();
}

bool OutFile::open(std::string_view dos_path) {
    discard();
    dos_path_ = std::string(dos_path);
    std::string final_path = host_path(dos_path);
    temp_path_ = final_path + ".part" + std::to_string(process_id());
#ifdef _WIN32
    file_ = std::fopen(temp_path_.c_str(), "wb");
#else
    int fd = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    file_ = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (fd >= 0 && file_ == nullptr) ::close(fd);
#endif
    if (file_ == nullptr) return false;
    static_cast<void>(std::setvbuf(file_, nullptr, _IOFBF, 1 << 20));
    failed_ = false;
    error_ = 0;
    pending().push_back(this);
    return true;
}

void OutFile::write(const void *data, std::size_t size) {
    if (file_ == nullptr || failed_ || size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        error_ = errno;
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

bool OutFile::commit() {
    if (file_ == nullptr) return false;
    if (!failed_ && (std::fflush(file_) != 0 || !sync_file(file_))) {
        failed_ = true;
        error_ = errno;
    }
    if (std::fclose(file_) != 0 && !failed_) {
        failed_ = true;
        error_ = errno;
    }
    file_ = nullptr;
    forget(this);
    if (!failed_ && !replace_file(temp_path_, host_path(dos_path_))) {
        failed_ = true;
        error_ = errno;
    }
    if (failed_) std::remove(temp_path_.c_str());
    errno = error_;
    return !failed_;
}

void OutFile::discard() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(temp_path_.c_str());
    forget(this);
}

void discard_all_outputs() {
    while (!pending().empty())
        pending().back()->discard();
}

std::string system_error_text(int err) {
    return err == 0 ? "unknown error" : std::strerror(err);
}

void *zeroed_pages(std::size_t size) {
    if (size == 0) return nullptr;
#ifdef _WIN32
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void *block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    // Large grids are touched once each, end to end: huge pages cut the page faults.
    if (size >= (std::size_t{4} << 20)) madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
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
