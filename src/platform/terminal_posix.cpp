// Terminal queries on POSIX systems: isatty and the window size.
#include "platform/terminal.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

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
