// Console output and key wait, for POSIX terminals and the Windows console.
#include "platform/console.hpp"

#include <cerrno>
#include <cstdio>

#include "platform/progress.hpp"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

bool key_wait_enabled = true;

namespace {
void (*console_failed)(int err) = nullptr;
} // namespace

void watch_console(void (*failed)(int err)) {
#ifndef _WIN32
    // Opened for reading only: writes to it fail (EBADF), reads find the end.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", O_RDONLY) != fd) break;
#endif
    console_failed = failed;
}

void console_print(std::string_view text) {
    progress_before_console_text(text);
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if ((std::fflush(stdout) != 0 || !written) && console_failed != nullptr) {
        const auto failed = console_failed;
        console_failed = nullptr; // once: the failure's own message goes to standard error
        failed(errno);
    }
}

void console_error(std::string_view text) {
    std::fflush(stdout);
    progress_before_error_text();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

#ifdef _WIN32
void console_restore_terminal() {}

void key_wait() {
    std::fflush(stdout);
    if (!key_wait_enabled) return;
    // Only a real console can deliver a key: a redirected or absent one must not block.
    HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    bool console = GetConsoleMode(in, &mode) != 0;
    CloseHandle(in);
    if (!console) return;
    int c = _getch();
    if (c == 0 || c == 0xE0) _getch(); // function and arrow keys come as two codes
}
#else
namespace {
// The terminal while a key wait holds it without echo, and its settings before.
volatile int raw_tty = -1;
termios tty_before{};
} // namespace

void console_restore_terminal() {
    if (raw_tty >= 0) tcsetattr(raw_tty, TCSANOW, &tty_before);
}

void key_wait() {
    std::fflush(stdout);
    if (!key_wait_enabled) return;
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY);
    if (fd < 0) return; // no controlling terminal: a scheduled or CI run
    // A background job can't read keys (the read would stop it): no wait.
    if (tcgetpgrp(fd) != getpgrp()) {
        close(fd);
        return;
    }
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) {
        close(fd);
        return;
    }
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tty_before = saved;
    raw_tty = fd;
    if (tcsetattr(fd, TCSANOW, &raw) == 0) {
        char c = 0;
        while (read(fd, &c, 1) < 0 && errno == EINTR) {
        }
        tcsetattr(fd, TCSANOW, &saved);
    }
    raw_tty = -1;
    close(fd);
}
#endif
