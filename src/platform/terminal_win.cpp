// Console queries on Windows: a standard handle is a console when it has a
// console mode; the width is that of the screen buffer's window.
#include "platform/terminal.hpp"

#include <windows.h>

namespace {
HANDLE handle_of(StdStream stream) {
    return GetStdHandle(stream == StdStream::in    ? STD_INPUT_HANDLE
                        : stream == StdStream::out ? STD_OUTPUT_HANDLE
                                                   : STD_ERROR_HANDLE);
}

bool console_handle(StdStream stream) {
    HANDLE h = handle_of(stream);
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}
} // namespace

bool is_terminal(StdStream stream) {
    static const bool answers[3] = {console_handle(StdStream::in), console_handle(StdStream::out),
                                    console_handle(StdStream::err)};
    return answers[static_cast<int>(stream)];
}

int terminal_columns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(handle_of(StdStream::err), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0) return width;
    }
    return 80;
}
