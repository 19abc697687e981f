// Runs the program's stages inside a fuzzer process: every way the program
// would end unwinds back to the fuzzer instead, and the state is reset after.
#pragma once
#include <cstdio>

#include "grid/grid_alloc.hpp"
#include "platform/console.hpp"
#include "platform/disk_space.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

struct RunEnded {
    int status;
};

[[noreturn]] inline void unwind_run(int status) {
    throw RunEnded{status};
}

// Once per process: console text to nowhere, no key wait, small grids only.
// (Failure messages still go to stderr: run with -close_fd_mask=2 to drop them.)
inline void quiet_harness() {
    static bool done = false;
    if (done) return;
    done = true;
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    key_wait_enabled = false;
    run_end_hook = unwind_run;
    grid_set_byte_limit(std::size_t{16} << 20);
    limit_output_bytes(std::size_t{16} << 20);
}

// Runs one stage function; the status it ended with (-1: it returned).
template <class F> int run_stage(F stage) {
    try {
        stage();
    } catch (const RunEnded &e) {
        return e.status;
    }
    return -1;
}
