// The x87 extended-precision arithmetic of the unit conversions, done with
// integer arithmetic on the significands so that every compiler and CPU gives
// the same results, whatever its long double is. Pure functions.
#pragma once
#include <bit>
#include <cstdint>

#include "number/double_bits.hpp"

// A value of the extended format: sign, 64-bit significand, exponent
// (value = sig * 2^exp), or one of the special kinds.
struct Extended {
    enum Kind : std::uint8_t { finite, infinite, not_a_number } kind = finite;
    bool negative = false;
    std::uint64_t sig = 0; // 0 for zero; otherwise the top bit is set
    int exp = 0;
};

// The product a * b rounded once to a 64-bit significand, to nearest, ties to
// even (what an x87 multiplication at full precision gives).
Extended extended_mul(double a, double b);

// An extended value rounded to double, to nearest, ties to even (an x87 store).
double extended_to_double(Extended x);

// An extended value truncated toward zero to a 64-bit integer (an x87 integer
// store in chop mode). NaN, infinities and values outside the 64-bit range give
// INT64_MIN, the x87 "integer indefinite".
std::int64_t extended_trunc(Extended x);

// A raw sample converted to metres: the sample times the unit factor (the
// double 0.1, 0.01 or 0.001, or 1), rounded to a 64-bit significand, then to double.
double sample_to_metres(std::int32_t sample, double factor);

// A unit factor taken apart once for sample_to_metres_fast: factor = m * 2^e.
struct UnitFactor {
    std::uint64_t m; // the 53-bit significand
    int e;
};
UnitFactor unit_factor(double factor); // factor: a positive normal double

// sample_to_metres for a loop over many samples: the same result, inline.
inline double sample_to_metres_fast(std::int32_t sample, UnitFactor f) {
    if (sample == 0) return 0.0;
    const std::uint64_t s = sample < 0
                                ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(sample))
                                : static_cast<std::uint64_t>(sample);
    // The exact product, below 2^84.
    const U128 p = multiply_64x64(s, f.m);
    // First rounding: to a 64-bit significand, to nearest, ties to even.
    std::uint64_t sig;
    int exp = f.e;
    bool carry = false;
    if (p.hi == 0) {
        const int z = std::countl_zero(p.lo); // p.lo != 0: both factors are non-zero
        sig = p.lo << z;
        exp -= z;
    } else {
        const int k = 64 - std::countl_zero(p.hi); // bits of hi, 1..20: drop k bits of lo
        const U128 kept = shift_right_even(p, k, carry);
        sig = kept.hi != 0 ? std::uint64_t{1} << 63 : kept.lo; // carried into a 65th bit: 2^64
        exp += k + (kept.hi != 0 ? 1 : 0);
    }
    // Second rounding: to 53 bits, to nearest, ties to even.
    constexpr int dropped = 64 - (fraction_bits + 1);
    std::uint64_t m = shift_right_even({0, sig}, dropped, carry).lo;
    exp += dropped;
    if (m == 2 * implied_bit) {
        m >>= 1;
        ++exp;
    }
    // m * 2^exp, a normal double: the products of the unit factors are far from the limits.
    return double_of((static_cast<std::uint64_t>(exp + integer_bias) << fraction_bits) |
                     (m & fraction_mask) | (sample < 0 ? sign_bit : 0));
}

// An output sample before its width is applied: metres times the output
// factor (1, 10, 100 or 1000), truncated toward zero from the extended product.
std::int64_t metres_to_sample(double metres, double factor);

// metres_to_sample for an integer factor from 1 to 1024, inline for the fill
// loops. The product of a 53-bit significand and such a factor has at most 63
// bits: exact in 64-bit integers, so no rounding comes before the truncation.
inline std::int64_t metres_to_sample_integer(double metres, std::uint64_t factor) {
    const std::uint64_t bits = bits_of(metres);
    if (biased_exponent(bits) == special_exponent) return INT64_MIN; // infinity or NaN
    const std::uint64_t m = significand_of(bits);
    const int e = exponent_of(bits);
    const std::uint64_t p = m * factor;
    std::uint64_t magnitude = 0;
    if (e >= 0) {
        if (e >= 63 || p > ((std::uint64_t{1} << 63) >> e) - 1) return INT64_MIN;
        magnitude = p << e;
    } else if (e > -64) {
        magnitude = p >> -e;
    }
    const auto v = static_cast<std::int64_t>(magnitude);
    return sign_of(bits) ? -v : v;
}

// A double truncated toward zero to 64 bits; INT64_MIN where it does not fit.
std::int64_t truncate_double(double value);

// The low 16 or 32 bits of a 64-bit integer, as the stored samples take them.
inline std::uint16_t low16(std::int64_t v) {
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu);
}
inline std::int32_t low32(std::int64_t v) {
    return static_cast<std::int32_t>(v); // modulo 2^32, as every conversion is since C++20
}

// A pixel size in whole metres: truncated toward zero; 0 ("not given") for a
// value that does not fit an int or is not a number.
int pixel_size_metres(double value);
