// The console on Windows: the key wait with _getch, from a real console only.
#include <conio.h>
#include <cstdio>
#include <windows.h>

#include "platform/console.hpp"
#include "platform/fault_point.hpp"
#include "platform/streams.hpp"

// Nothing is put in a closed standard stream's place on Windows.
void stand_in_for_closed_streams() {}

void console_restore_terminal() {}

void key_wait() {
    stream_flush(stdout);
    if (!key_wait_enabled) return;
    // Only a real console can deliver a key: a redirected or absent one must not block.
    HANDLE in = fault_point("open")
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
