// Leases: on a volume whose locks other machines don't see, a run keeps the
// modification time of every file it holds there fresh while it lives, so that
// a file untouched for longer than lease_seconds is known to be a dead run's.
#pragma once
#include "platform/host.hpp"

// How often a live run refreshes what it holds, and how long a file must have
// stood untouched (its lock free as well) before another run takes its writer
// for dead. The gap leaves room for clocks that differ between machines and
// for the attribute caches of network file systems (sshfs keeps them 20 s).
inline constexpr long long lease_refresh_seconds = 10;
inline constexpr long long lease_seconds = 120;

// Starts refreshing h (a file this run holds open) until lease_drop(h).
void lease_hold(host::Handle h);
void lease_drop(host::Handle h);
