// Console events on Windows: Ctrl-C, Ctrl-Break, a closed console window, a
// logoff or shutdown remove the unfinished outputs before the program ends.
#include <windows.h>

#include "platform/interrupts.hpp"

namespace {
void (*volatile interrupt_cleanup)() = nullptr;

CRITICAL_SECTION *hold_lock() {
    static CRITICAL_SECTION *lock = [] {
        auto *cs = new CRITICAL_SECTION;
        InitializeCriticalSection(cs);
        return cs;
    }();
    return lock;
}

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    EnterCriticalSection(hold_lock()); // waits for names being changed
    if (interrupt_cleanup != nullptr) interrupt_cleanup();
    // The status Windows gives a program ended by Ctrl-C.
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}
} // namespace

// The handler runs on a thread of its own: a lock keeps it out while names change.
InterruptHold::InterruptHold() {
    EnterCriticalSection(hold_lock());
}

InterruptHold::~InterruptHold() {
    LeaveCriticalSection(hold_lock());
}

void clean_up_on_interrupt(void (*cleanup)()) {
    interrupt_cleanup = cleanup;
    hold_lock();
    SetConsoleCtrlHandler(on_console_event, TRUE);
}
