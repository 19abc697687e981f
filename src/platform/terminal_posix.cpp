// Terminal queries on POSIX systems: isatty and the window size.
#ifndef _WIN32
#include "platform/terminal.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {
int descriptor_of(StdStream stream) {
    return stream == StdStream::in    ? STDIN_FILENO
           : stream == StdStream::out ? STDOUT_FILENO
                                      : STDERR_FILENO;
}
} // namespace

bool is_terminal(StdStream stream) {
    return isatty(descriptor_of(stream)) == 1;
}

int terminal_columns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}
#endif
