// Extended-precision multiplication, rounding and truncation on integers.
#include "number/extended_arith.hpp"

#include <bit>
#include <climits>
#include <cmath>

namespace {
// A finite double as sign, integer significand and exponent (value = m * 2^e).
struct Decomposed {
    bool negative;
    std::uint64_t m;
    int e;
};

Decomposed decompose(double d) {
    const std::uint64_t bits = bits_of(d);
    return {sign_of(bits), significand_of(bits), exponent_of(bits)};
}
} // namespace

Extended extended_mul(double a, double b) {
    Extended r{.negative = std::signbit(a) != std::signbit(b)};
    if (std::isnan(a) || std::isnan(b) || (std::isinf(a) && b == 0) || (std::isinf(b) && a == 0))
        return {Extended::not_a_number, r.negative};
    if (std::isinf(a) || std::isinf(b)) return {Extended::infinite, r.negative};
    const Decomposed x = decompose(a), y = decompose(b);
    if (x.m == 0 || y.m == 0) return r; // a signed zero
    U128 p = multiply_64x64(x.m, y.m);
    int e = x.e + y.e;
    // Normalise to exactly 64 significant bits, rounding what falls off.
    const int bits = p.hi != 0 ? 128 - std::countl_zero(p.hi) : 64 - std::countl_zero(p.lo);
    if (bits > 64) {
        bool carry = false;
        U128 k = shift_right_even(p, bits - 64, carry);
        e += bits - 64;
        if (k.hi != 0) { // rounding carried into a 65th bit: 2^64
            k = {0, std::uint64_t{1} << 63};
            ++e;
        }
        r.sig = k.lo;
    } else {
        r.sig = p.lo << (64 - bits);
        e -= 64 - bits;
    }
    r.exp = e;
    return r;
}

double extended_to_double(Extended x) {
    if (x.kind == Extended::not_a_number) return x.negative ? -NAN : NAN;
    if (x.kind == Extended::infinite) return x.negative ? -HUGE_VAL : HUGE_VAL;
    if (x.sig == 0) return x.negative ? -0.0 : 0.0;
    // Keep 53 of the 64 bits (fewer for a subnormal result, whose last bit
    // stands for 2^-1074), to nearest, ties to even: one rounding, as a store does.
    constexpr int smallest_exponent = 1 - integer_bias; // of the last bit of any double: -1074
    int shift = 64 - (fraction_bits + 1);
    if (x.exp + shift < smallest_exponent)
        shift = smallest_exponent - x.exp < 128 ? smallest_exponent - x.exp : 128;
    bool carry = false;
    std::uint64_t m = shift_right_even({0, x.sig}, shift, carry).lo;
    int e = x.exp + shift;
    if (m == 2 * implied_bit) {
        m >>= 1;
        ++e;
    }
    const double v = std::ldexp(static_cast<double>(m), e);
    return x.negative ? -v : v;
}

std::int64_t extended_trunc(Extended x) {
    if (x.kind != Extended::finite) return INT64_MIN;
    if (x.sig == 0) return 0;
    std::uint64_t magnitude = 0;
    if (x.exp >= 0) {
        if (x.exp >= 1) return INT64_MIN; // at least 2^64
        magnitude = x.sig;                // exp 0: the significand itself
    } else if (x.exp > -64) {
        magnitude = x.sig >> -x.exp;
    }
    // 2^63 and more: beyond the range, or -2^63 itself, which is INT64_MIN too.
    if (magnitude >= std::uint64_t{1} << 63) return INT64_MIN;
    const auto v = static_cast<std::int64_t>(magnitude);
    return x.negative ? -v : v;
}

double sample_to_metres(std::int32_t sample, double factor) {
    return extended_to_double(extended_mul(static_cast<double>(sample), factor));
}

UnitFactor unit_factor(double factor) {
    const Decomposed d = decompose(factor);
    return {d.m, d.e};
}

std::int64_t metres_to_sample(double metres, double factor) {
    if (factor >= 1.0 && factor <= 1024.0 &&
        factor == static_cast<double>(static_cast<int>(factor)))
        return metres_to_sample_integer(metres, static_cast<std::uint64_t>(factor));
    return extended_trunc(extended_mul(metres, factor));
}

std::int64_t truncate_double(double value) {
    return extended_trunc(extended_mul(value, 1.0));
}

int pixel_size_metres(double value) {
    const std::int64_t t = truncate_double(value);
    if (t == INT64_MIN || t > INT_MAX || t < INT_MIN) return 0;
    return static_cast<int>(t);
}
