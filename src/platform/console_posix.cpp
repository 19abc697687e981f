// The console on POSIX hosts: stand-ins for closed standard streams, terminal
// queries (isatty, the window size), and the key wait on the terminal itself,
// which is put back as it was.
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.hpp"
#include "platform/streams.hpp"

namespace {
// The terminal while a key wait holds it without echo, and its settings before.
volatile int raw_tty = -1;
termios tty_before{};
} // namespace

void stand_in_for_closed_streams() {
    // Opened for reading only: writes to it fail (EBADF), reads find the end.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", O_RDONLY) != fd) break;
}

bool is_terminal(StdStream stream) {
    static const bool answers[3] = {isatty(STDIN_FILENO) == 1, isatty(STDOUT_FILENO) == 1,
                                    isatty(STDERR_FILENO) == 1};
    return answers[static_cast<int>(stream)];
}

int terminal_columns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void console_restore_terminal() {
    if (raw_tty >= 0) tcsetattr(raw_tty, TCSANOW, &tty_before);
}

void key_wait() {
    stream_flush(stdout);
    // Answers from a pipe or a file: no person is there to press a key.
    if (!key_wait_enabled || !is_terminal(StdStream::in)) return;
    int fd = host::faulted("open") ? -1 : open("/dev/tty", O_RDWR | O_NOCTTY);
    if (fd < 0) return; // no controlling terminal: a scheduled or CI run
    termios saved{};
    // A background job can't read keys (the read would stop it): no wait.
    if (tcgetpgrp(fd) == getpgrp() && !host::faulted("tcgetattr") && tcgetattr(fd, &saved) == 0) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tty_before = saved;
        raw_tty = fd;
        if (!host::faulted("tcsetattr") && tcsetattr(fd, TCSANOW, &raw) == 0) {
            char c = 0;
            while (!host::faulted("read") && read(fd, &c, 1) < 0 && errno == EINTR) {
            }
            tcsetattr(fd, TCSANOW, &saved);
        }
        raw_tty = -1;
    }
    close(fd);
}
