// What the differential unit tests share: how many random cases they draw,
// random doubles of any bit pattern, and comparison bit for bit.
#pragma once
#include <cstdint>
#include <cstring>
#include <random>

// Fewer draws under the sanitizers, which slow every case down many times over,
// and in builds that ask for a share of them (GZ_DRAW_SHARE: one in that many),
// as emulated ones do.
#ifndef GZ_DRAW_SHARE
#define GZ_DRAW_SHARE 1
#endif
constexpr int draws(int n) {
#ifdef GZ_SANITIZE
    return n / 20 / GZ_DRAW_SHARE;
#else
    return n / GZ_DRAW_SHARE;
#endif
}

// Any bit pattern: every exponent, subnormals, NaNs and infinities included.
inline double random_double(std::mt19937_64 &rng) {
    const std::uint64_t bits = rng();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// Equal to the bit: tells -0 from 0 and one NaN from another.
inline bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
