// Number parsing and formatting. std::from_chars and std::to_chars are exact
// (correctly rounded) and locale-free; strtod takes over for the forms
// from_chars refuses (leading '+', hexadecimal, out-of-range values).
#include "dem/number_text.hpp"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace {
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// strtod on a terminated copy of text (the text may continue beyond the word).
ParsedDouble strtod_prefix(std::string_view text) {
    std::string copy(text);
    char *end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    return {v, static_cast<std::size_t>(end - copy.c_str())};
}
} // namespace

ParsedInt parse_int_prefix(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digits_start = i;
    long long magnitude = 0;
    const long long cap = static_cast<long long>(INT_MAX) + 1;
    for (; i < text.size() && is_digit(text[i]); ++i)
        if (magnitude <= cap) magnitude = magnitude * 10 + (text[i] - '0');
    if (i == digits_start) return {0, 0};
    if (magnitude > cap) magnitude = cap;
    long long v = negative ? -magnitude : magnitude;
    if (v > INT_MAX) v = INT_MAX;
    return {static_cast<int>(v), i};
}

ParsedDouble parse_double_prefix(std::string_view text) {
    // A word never starts with white space; strtod would skip it.
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return {0.0, 0};
    const char *first = text.data();
    const char *last = first + text.size();
    // from_chars takes the plain decimal forms; anything else goes to strtod.
    if (!text.empty() && (is_digit(text[0]) || text[0] == '-' || text[0] == '.')) {
        double v = 0;
        auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
        if (ec == std::errc() && (ptr == last || (*ptr != 'x' && *ptr != 'X' && *ptr != '(')))
            return {v, static_cast<std::size_t>(ptr - first)};
    }
    return strtod_prefix(text);
}

namespace {
// Exact powers of ten as doubles (10^22 is the last one a double holds exactly).
constexpr double exact_powers_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals ("-123.45"): with a significand below 2^53 and at most 22
// decimals, the value is M / 10^k with both exactly representable, so one
// division is correctly rounded (Clinger's fast path). False for any other form.
bool parse_plain_decimal(std::string_view word, double &value) {
    std::size_t i = 0;
    const bool negative = word[0] == '-';
    i += negative;
    std::uint64_t m = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < word.size(); ++i) {
        const char c = word[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 19) return false;
            m = m * 10 + static_cast<std::uint64_t>(c - '0');
            decimals += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || m > (std::uint64_t{1} << 53) || decimals > 22) return false;
    const double v = static_cast<double>(m) / exact_powers_of_ten[decimals];
    value = negative ? -v : v;
    return true;
}
} // namespace

bool parse_double_word(std::string_view word, double &value) {
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
    if (parse_plain_decimal(word, value)) return true;
    const char *first = word.data();
    const char *last = first + word.size();
    if (is_digit(word[0]) || word[0] == '-' || word[0] == '.') {
        auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
        if (ec == std::errc() && ptr == last) return true;
    }
    ParsedDouble p = strtod_prefix(word);
    if (p.used != word.size()) return false;
    value = p.value;
    return true;
}

void append_lf(std::string &out, double value) {
    // Values below 2^53 / 10^6 in magnitude: value * 10^6 = m * 10^6 * 2^e,
    // divided exactly in 128-bit integers and rounded half to even on the
    // remainder, as printf rounds the exact binary value.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased < 1023 + 33) { // below 2^33, so the scaled value stays below 2^53
        const std::uint64_t m =
            (bits & ((std::uint64_t{1} << 52) - 1)) | (biased != 0 ? std::uint64_t{1} << 52 : 0);
        const int shift = 1075 - (biased == 0 ? 1 : biased); // value = m / 2^shift
        // m * 10^6 has at most 73 bits: held as hi * 2^64 + lo.
        const std::uint64_t m_lo = (m & 0xFFFFFFFFu) * 1000000u;
        const std::uint64_t m_hi = (m >> 32) * 1000000u; // below 2^41
        const std::uint64_t lo = m_lo + (m_hi << 32);
        const std::uint64_t hi = (m_hi >> 32) + (lo < m_lo);
        std::uint64_t q = 0;
        bool above_half = false, half = false, odd_tie = false;
        if (shift >= 128) {
            q = 0; // far below half a millionth
        } else if (shift >= 64) {
            const int t = shift - 64;
            q = t == 0 ? hi : hi >> t;
            // remainder = (hi mod 2^t) * 2^64 + lo, against half = 2^(shift-1)
            const std::uint64_t rem_hi = t == 0 ? 0 : hi & ((std::uint64_t{1} << t) - 1);
            if (t == 0) {
                half = lo == (std::uint64_t{1} << 63);
                above_half = lo > (std::uint64_t{1} << 63);
            } else {
                const std::uint64_t half_hi = std::uint64_t{1} << (t - 1);
                half = rem_hi == half_hi && lo == 0;
                above_half = rem_hi > half_hi || (rem_hi == half_hi && lo != 0);
            }
        } else if (shift > 0) {
            q = (lo >> shift) | (shift == 0 ? 0 : hi << (64 - shift));
            const std::uint64_t rem = lo & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half_v = std::uint64_t{1} << (shift - 1);
            half = rem == half_v;
            above_half = rem > half_v;
        } else {
            q = lo; // shift 0 cannot occur below 2^33, kept for completeness
        }
        odd_tie = half && (q & 1) != 0;
        if (above_half || odd_tie) ++q;
        char buf[32];
        char *end = buf + sizeof buf;
        char *p = end;
        std::uint64_t frac = q % 1000000, whole = q / 1000000;
        for (int k = 0; k < 6; ++k, frac /= 10)
            *--p = static_cast<char>('0' + frac % 10);
        *--p = '.';
        do {
            *--p = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if ((bits >> 63) != 0) *--p = '-';
        out.append(p, end);
        return;
    }
    char buf[400]; // the longest "%lf": 309 integer digits, sign, point, six decimals
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    if (ec != std::errc()) ptr = buf;
    out.append(buf, ptr);
}

std::string format_lf(double value) {
    std::string s;
    append_lf(s, value);
    return s;
}

void append_d(std::string &out, long long value) {
    char buf[24];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? ptr : buf);
}
