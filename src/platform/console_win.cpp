// The console on Windows: a standard handle is a console when it has a console
// mode, its width is that of the screen buffer's window, and the key wait
// takes _getch from a real console only.
#include <conio.h>
#include <cstdio>
#include <windows.h>

#include "platform/console.hpp"
#include "platform/streams.hpp"

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

// Nothing is put in a closed standard stream's place on Windows.
void stand_in_for_closed_streams() {}

void console_restore_terminal() {}

void key_wait() {
    stream_flush(stdout);
    // Answers from a pipe or a file: no person is there to press a key.
    if (!key_wait_enabled || !is_terminal(StdStream::in)) return;
    // Only a real console can deliver a key: a redirected or absent one must not block.
    HANDLE in = host::faulted("open")
                    ? INVALID_HANDLE_VALUE
                    : CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    bool console = GetConsoleMode(in, &mode) != 0;
    CloseHandle(in);
    if (!console) return;
    int c = _getch();
    if (c == 0 || c == 0xE0) _getch(); // function and arrow keys come as two codes
}
