// Number printing, equal to the byte to the C library's "%lf" and "%d" in the C
// locale. "%lf" text is written with integer arithmetic, where textbench shows
// it beating the library; std::to_chars (exact) does the rest.
#include "number/number_text.hpp"

#include <bit>
#include <charconv>
#include <cstring>

#include "number/double_bits.hpp"

namespace {
constexpr char digit_pairs[201] = "00010203040506070809"
                                  "10111213141516171819"
                                  "20212223242526272829"
                                  "30313233343536373839"
                                  "40414243444546474849"
                                  "50515253545556575859"
                                  "60616263646566676869"
                                  "70717273747576777879"
                                  "80818283848586878889"
                                  "90919293949596979899";

void put_pair(char *out, std::uint32_t two_digits) {
    std::memcpy(out, digit_pairs + 2 * two_digits, 2);
}

// x (below 10^10) in decimal without leading zeros; returns the end.
char *put_whole(char *out, std::uint64_t x) {
    constexpr std::uint64_t powers[] = {
        1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000};
    int n = (std::bit_width(x | 1) * 1233) >> 12; // about log10, one short at most
    n += (x | 1) >= powers[n];
    char *end = out + n;
    char *p = end;
    while (x >= 100) {
        p -= 2;
        put_pair(p, static_cast<std::uint32_t>(x % 100));
        x /= 100;
    }
    if (x >= 10) {
        put_pair(p - 2, static_cast<std::uint32_t>(x));
    } else {
        p[-1] = static_cast<char>('0' + x);
    }
    return end;
}

// round(|value| * 10^6), ties to even, for |value| below short_lf_limit
// (biased exponent below that of 2^33): |value| = m / 2^shift, so the scaled value is
// m * 10^6 / 2^shift, exact in 128 bits and below 2^53 once divided.
std::uint64_t millionths(std::uint64_t bits) {
    const int shift = -exponent_of(bits); // 20 .. 1074
    if (shift >= 74) return 0;            // m * 10^6 < 2^73: below half a millionth
    bool carry = false;
    return shift_right_even(multiply_64x64(significand_of(bits), millionths_per_unit), shift, carry)
        .lo;
}

char *put_lf_general(char *out, double value, std::uint64_t bits) {
    if (biased_exponent(bits) == special_exponent) { // glibc's texts, on every platform
        const bool nan = (bits & fraction_mask) != 0;
        *out = '-';
        out += sign_of(bits);
        std::memcpy(out, nan ? "nan" : "inf", 3);
        return out + 3;
    }
    // lf_max_chars is the longest such text: the room always suffices.
    return std::to_chars(out, out + lf_max_chars, value, std::chars_format::fixed, 6).ptr;
}
} // namespace

char *put_lf(char *out, double value) {
    const std::uint64_t bits = bits_of(value);
    if (biased_exponent(bits) >= exponent_bias + short_lf_bits)
        return put_lf_general(out, value, bits);
    const std::uint64_t q = millionths(bits);
    *out = '-';
    out += sign_of(bits);
    const std::uint64_t whole = q / millionths_per_unit;
    const auto fraction = static_cast<std::uint32_t>(q - whole * millionths_per_unit);
    out = put_whole(out, whole);
    out[0] = '.';
    put_pair(out + 1, fraction / 10000);
    put_pair(out + 3, fraction / 100 % 100);
    put_pair(out + 5, fraction % 100);
    return out + 7;
}

char *put_lf_tab(char *out, double value) {
    out = put_lf(out, value);
    *out = '\t';
    return out + 1;
}

void append_lf(std::string &out, double value) {
    char buf[lf_max_chars + 1];
    out.append(buf, put_lf(buf, value));
}

std::string format_lf(double value) {
    std::string s;
    append_lf(s, value);
    return s;
}

void append_d(std::string &out, long long value) {
    char buf[24]; // a sign and 19 digits at the most
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}
