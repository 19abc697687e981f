// Signals on POSIX hosts: every one that would end the program removes the
// unfinished outputs first, then ends it as it would have.
#include <cerrno>
#include <csignal>

#include "platform/interrupts.hpp"

namespace {
// Sent by others, or by the terminal: held back while names change.
const int sent_signals[] = {
    SIGINT,    SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};
// The program's own faults: never held back (that would hang it), but they
// remove the unfinished outputs too.
const int fault_signals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP};

void (*volatile interrupt_cleanup)() = nullptr;
int hold_depth = 0;
sigset_t before_hold;

// Acts on every signal sent by others or by the terminal, the real-time ones too.
template <class Act> void each_sent_signal(Act act) {
    for (int sig : sent_signals)
        act(sig);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        act(sig);
#endif
}

void on_interrupt(int sig) {
    const int saved = errno;
    if (interrupt_cleanup != nullptr) interrupt_cleanup();
    // The handler was installed to reset itself and not to block the signal:
    // raising it again ends the program the way the signal would have.
    raise(sig);
    errno = saved;
}

void catch_signal(int sig) {
    struct sigaction now {};
    // Started with the signal ignored (nohup) or handled by a tool the program
    // runs under (a sanitizer): it stays so.
    if (sigaction(sig, nullptr, &now) != 0 || (now.sa_flags & SA_SIGINFO) != 0 ||
        now.sa_handler != SIG_DFL)
        return;
    struct sigaction act {};
    act.sa_handler = on_interrupt;
    sigemptyset(&act.sa_mask);
    act.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigaction(sig, &act, nullptr);
}
} // namespace

InterruptHold::InterruptHold() {
    if (hold_depth++ > 0) return;
    sigset_t set;
    sigemptyset(&set);
    each_sent_signal([&set](int sig) { sigaddset(&set, sig); });
    sigprocmask(SIG_BLOCK, &set, &before_hold);
}

InterruptHold::~InterruptHold() {
    if (--hold_depth > 0) return;
    sigprocmask(SIG_SETMASK, &before_hold, nullptr);
}

void clean_up_on_interrupt(void (*cleanup)()) {
    interrupt_cleanup = cleanup;
    each_sent_signal(catch_signal);
    for (int sig : fault_signals)
        catch_signal(sig);
    // A write to a console whose reader has gone, or beyond the file size
    // limit, then fails with EPIPE or EFBIG and is reported like any failure.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}
