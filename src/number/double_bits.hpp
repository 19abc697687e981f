// The IEEE double format taken apart on integers, the full product of two
// 64-bit integers and its rounding: the shared ground of the number text and
// the extended arithmetic. Pure functions.
#pragma once
#include <cstdint>
#include <cstring>

inline constexpr int fraction_bits = 52; // significand bits stored (the leading 1 is implied)
inline constexpr std::uint64_t fraction_mask = (std::uint64_t{1} << fraction_bits) - 1;
inline constexpr std::uint64_t implied_bit = std::uint64_t{1} << fraction_bits;
inline constexpr std::uint64_t sign_bit = std::uint64_t{1} << 63;
inline constexpr int exponent_bias = 1023;
inline constexpr int special_exponent = 0x7FF; // biased exponent of infinities and NaN
// value = significand * 2^(biased exponent - integer_bias) for a normal double.
inline constexpr int integer_bias = exponent_bias + fraction_bits;

inline std::uint64_t bits_of(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}
inline double double_of(std::uint64_t bits) {
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline int biased_exponent(std::uint64_t bits) {
    return static_cast<int>((bits >> fraction_bits) & special_exponent);
}
inline bool sign_of(std::uint64_t bits) {
    return (bits & sign_bit) != 0;
}
// The integer significand m and exponent e of a finite double: |value| = m * 2^e
// (subnormals and zero included).
inline std::uint64_t significand_of(std::uint64_t bits) {
    return (bits & fraction_mask) | (biased_exponent(bits) != 0 ? implied_bit : 0);
}
inline int exponent_of(std::uint64_t bits) {
    const int biased = biased_exponent(bits);
    return (biased == 0 ? 1 : biased) - integer_bias;
}

// a * b in full, as its high and low 64 bits.
struct U128 {
    std::uint64_t hi, lo;
};
inline U128 multiply_64x64(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
    __extension__ using u128 = unsigned __int128;
    const u128 p = static_cast<u128>(a) * b;
    return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
    constexpr std::uint64_t low32 = 0xFFFFFFFFu;
    const std::uint64_t a0 = a & low32, a1 = a >> 32, b0 = b & low32, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t mid = (p00 >> 32) + (p01 & low32) + (p10 & low32);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & low32)};
#endif
}

// v shifted right by s (1..127), rounded to nearest, ties to even: the one
// rounding of every conversion here. carry_out: the rounding added one.
inline U128 shift_right_even(U128 v, int s, bool &carry_out) {
    // Split into kept part and the dropped bits.
    U128 kept;
    bool half = false, sticky = false, odd = false;
    if (s >= 128) {
        kept = {0, 0};
        half = false;
        sticky = v.hi != 0 || v.lo != 0;
    } else if (s >= 64) {
        const int t = s - 64;
        kept = {0, t == 0 ? v.hi : v.hi >> t};
        const std::uint64_t dropped_hi = t == 0 ? 0 : (v.hi & ((std::uint64_t{1} << t) - 1));
        // The half bit is bit s-1 of the whole value.
        if (t == 0) {
            half = (v.lo >> 63) != 0;
            sticky = (v.lo & ~(std::uint64_t{1} << 63)) != 0;
        } else {
            half = ((dropped_hi >> (t - 1)) & 1) != 0;
            sticky = (dropped_hi & ((std::uint64_t{1} << (t - 1)) - 1)) != 0 || v.lo != 0;
        }
    } else {
        kept = {v.hi >> s, (v.lo >> s) | (v.hi << (64 - s))};
        half = ((v.lo >> (s - 1)) & 1) != 0;
        sticky = s > 1 && (v.lo & ((std::uint64_t{1} << (s - 1)) - 1)) != 0;
    }
    odd = (kept.lo & 1) != 0;
    carry_out = false;
    if (half && (sticky || odd)) {
        if (++kept.lo == 0) ++kept.hi;
        carry_out = true;
    }
    return kept;
}
