// Raw input samples straight to output samples, a block at a time: the
// sample's elevation (x87 rules), raised to the base level, times the output
// factor, truncated toward zero, its low 16 or 32 bits. Pure functions.
#pragma once
#include <cstddef>
#include <cstdint>

#include "number/extended_arith.hpp"
#include "number/figures.hpp"

struct SampleConversion {
    double unit_factor;   // the input unit factor: 1, 0.1, 0.01 or 0.001
    double base;          // the base level, m (above 0)
    std::uint64_t factor; // the output factor: 1, 10, 100 or 1000
};

// One sample, by the general rules: the reference of the block forms below.
inline std::int64_t output_sample(std::int32_t s, const SampleConversion &c, UnitFactor unit) {
    return metres_to_sample_integer(raised(sample_to_metres_fast(s, unit), c.base), c.factor);
}

// The low 16 or 32 bits of a sample, by its type.
template <class T> T narrow(std::int64_t v) {
    if constexpr (sizeof(T) == 2)
        return low16(v);
    else
        return low32(v);
}

// n samples at once, the same results as output_sample's low 16 or 32 bits
// (T: std::uint16_t or std::int32_t). Where the processor allows, most cells
// go through an exact vector form in double arithmetic, and the few it can't
// decide through output_sample.
template <class T>
void output_samples(const std::int32_t *in, std::size_t n, const SampleConversion &c, T *out);
