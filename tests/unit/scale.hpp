// How many random cases the differential tests draw: fewer under the
// sanitizers, which slow every case down many times over.
#pragma once

constexpr int draws(int n) {
#ifdef GZ_SANITIZE
    return n / 20;
#else
    return n;
#endif
}
