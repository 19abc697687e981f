// The fault hook of host.hpp, asked before a C library call that can fail, so
// that tests can fail it on every host.
#pragma once
#include <cerrno>

#include "platform/host.hpp"

// True when the hook fails call; errno is then set as the call would set it.
inline bool fault_point(const char *call) {
    if (host::fault_hook == nullptr) return false;
    constexpr int codes[] = {0, EIO, ENOSPC, EACCES, EEXIST}; // in the order of host::Fault
    const int err = codes[static_cast<int>(host::fault_hook(call))];
    if (err != 0) errno = err;
    return err != 0;
}
