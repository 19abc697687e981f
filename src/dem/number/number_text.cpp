// Number parsing and formatting, equal to the bit and the byte to the C library
// in the C locale. Short decimals are read by one exact division and "%lf" text
// is written with integer arithmetic, where textbench shows them beating the
// library; std::from_chars, strtod and std::to_chars (all exact) do the rest.
#include "dem/number/number_text.hpp"

#include "dem/number/double_bits.hpp"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);

namespace {
bool is_digit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// strtod on a terminated copy of text (the text may continue beyond the word).
ParsedDouble strtod_prefix(std::string_view text) {
    std::string copy(text);
    char *end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    return {v, static_cast<std::size_t>(end - copy.c_str())};
}

// ---------------------------------------------------------------------------
// Decimal to double.
constexpr double exact_powers_of_ten[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Double arithmetic is IEEE double, rounded to nearest, no wider intermediate.
constexpr bool plain_double_arithmetic = FLT_EVAL_METHOD == 0;

// The grid's usual word, inline: a sign, up to 15 digits with a point, and
// nothing more: w / 10^d with w and 10^d exact doubles, so the one division
// rounds correctly (Clinger's case). nullptr for anything else (the library's).
inline const char *read_short_decimal(const char *p, const char *last, double &value) {
    const bool negative = p != last && *p == '-';
    p += negative;
    const char *const digits = p;
    std::uint64_t w = 0;
    while (p != last && is_digit(*p))
        w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
    std::ptrdiff_t count = p - digits, decimals = 0;
    if (p != last && *p == '.') {
        const char *const fraction = ++p;
        while (p != last && is_digit(*p))
            w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
        decimals = p - fraction;
        count += decimals;
    }
    // 15 digits keep w below 2^53; 0x, an exponent or another form: elsewhere.
    if (!plain_double_arithmetic || count == 0 || count > 15 ||
        (p != last && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')))
        return nullptr;
    const double d = static_cast<double>(w) / exact_powers_of_ten[decimals];
    value = negative ? -d : d;
    return p;
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

namespace {
// libstdc++ before GCC 13, built for the x87, rounds some from_chars results
// twice (once to 64 bits, then to 53): strtod reads them there instead.
#if defined(__i386__) && defined(_GLIBCXX_RELEASE) && _GLIBCXX_RELEASE < 13
constexpr bool exact_from_chars = false;
#else
constexpr bool exact_from_chars = true;
#endif

// The forms parse_decimal leaves: from_chars takes the plain decimal ones it
// accepts (not a leading '+', nor a value out of range), strtod the others.
ParsedDouble general_prefix(std::string_view text) {
    const char *first = text.data();
    const char *last = first + text.size();
    if (exact_from_chars && (is_digit(text[0]) || text[0] == '-' || text[0] == '.')) {
        double v = 0;
        auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
        if (ec == std::errc() && (ptr == last || (*ptr != 'x' && *ptr != 'X' && *ptr != '(')))
            return {v, static_cast<std::size_t>(ptr - first)};
    }
    return strtod_prefix(text);
}
// A plain decimal by std::from_chars: its end, or nullptr when it can't read
// one (a value beyond the range among them, which strtod reads).
const char *library_decimal(const char *p, const char *last, double &value) {
    if (!exact_from_chars || (!is_digit(*p) && *p != '-' && *p != '.')) return nullptr;
    const auto [end, ec] = std::from_chars(p, last, value, std::chars_format::general);
    return ec == std::errc() ? end : nullptr;
}
} // namespace

ParsedDouble parse_double_prefix(std::string_view text) {
    // A word never starts with white space; strtod would skip it.
    if (text.empty() || is_text_space(text[0])) return {0.0, 0};
    double v = 0;
    if (const char *end = read_short_decimal(text.data(), text.data() + text.size(), v))
        return {v, static_cast<std::size_t>(end - text.data())};
    return general_prefix(text);
}

bool parse_double_word(std::string_view word, double &value) {
    if (word.empty() || is_text_space(word[0])) return false;
    const char *last = word.data() + word.size();
    double v = 0;
    if (const char *end = read_short_decimal(word.data(), last, v)) {
        if (end != last) return false; // strtod would stop there too
        value = v;
        return true;
    }
    const ParsedDouble p = general_prefix(word);
    if (p.used != word.size()) return false;
    value = p.value;
    return true;
}

ParsedWords parse_words(const char *first, const char *last, double *out, std::size_t max_values,
                        bool text_ends) {
    // Unless the text ends at last, a word touching last may go on: the words
    // read are those before the last white space.
    const char *limit = last;
    if (!text_ends)
        while (limit != first && !is_text_space(limit[-1]))
            --limit;
    const char *p = first;
    std::size_t count = 0;
    while (count < max_values) {
        while (p != limit && is_text_space(*p))
            ++p;
        if (p == limit) return {count, p, p, WordsStop::need_text};
        double v;
        const char *end = read_short_decimal(p, limit, v);
        if (end == nullptr) end = library_decimal(p, limit, v);
        if (end == nullptr || (end != limit && !is_text_space(*end))) {
            // Another form, or a number followed by more of the word.
            const char *word_end = end != nullptr ? end : p;
            while (word_end != limit && !is_text_space(*word_end))
                ++word_end;
            if (!parse_double_word(std::string_view(p, static_cast<std::size_t>(word_end - p)), v))
                return {count, p, word_end, WordsStop::not_a_number};
            end = word_end;
        }
        out[count++] = v;
        p = end;
    }
    return {count, p, p, WordsStop::full};
}

// ---------------------------------------------------------------------------
// Double to "%lf".
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

// Values below 2^short_lf_bits in magnitude are written on integers: their
// millionths fit 53 bits.
constexpr int short_lf_bits = 33;

// round(|value| * 10^6), ties to even, for |value| below 2^short_lf_bits
// (biased exponent below that of 2^33): |value| = m / 2^shift, so the scaled value is
// m * 10^6 / 2^shift, exact in 128 bits and below 2^53 once divided.
std::uint64_t millionths(std::uint64_t bits) {
    const std::uint64_t m = significand_of(bits);
    const int shift = -exponent_of(bits); // 20 .. 1074
    if (shift >= 74) return 0;            // m * 10^6 < 2^73: below half a millionth
    const U128 x = multiply_64x64(m, 1000000);
    std::uint64_t q, rem_hi, rem_lo, half_hi, half_lo;
    if (shift < 64) {
        q = (x.lo >> shift) | (x.hi << (64 - shift));
        rem_hi = 0;
        rem_lo = x.lo & ((std::uint64_t{1} << shift) - 1);
        half_hi = 0;
        half_lo = std::uint64_t{1} << (shift - 1);
    } else {
        const int t = shift - 64; // 0 .. 9
        q = x.hi >> t;
        rem_hi = x.hi & ((std::uint64_t{1} << t) - 1);
        rem_lo = x.lo;
        half_hi = t == 0 ? 0 : std::uint64_t{1} << (t - 1);
        half_lo = t == 0 ? std::uint64_t{1} << 63 : 0;
    }
    const bool above = rem_hi > half_hi || (rem_hi == half_hi && rem_lo > half_lo);
    const bool tie = rem_hi == half_hi && rem_lo == half_lo;
    return q + (above || (tie && (q & 1) != 0));
}

char *put_lf_general(char *out, double value, std::uint64_t bits) {
    const bool negative = sign_of(bits);
    if (biased_exponent(bits) == special_exponent) { // glibc's texts, on every platform
        const bool nan = (bits & fraction_mask) != 0;
        *out = '-';
        out += negative;
        std::memcpy(out, nan ? "nan" : "inf", 3);
        return out + 3;
    }
    auto [ptr, ec] = std::to_chars(out, out + lf_max_chars, value, std::chars_format::fixed, 6);
    return ec == std::errc() ? ptr : out;
}
} // namespace

char *put_lf(char *out, double value) {
    const std::uint64_t bits = bits_of(value);
    if (biased_exponent(bits) >= exponent_bias + short_lf_bits)
        return put_lf_general(out, value, bits);
    const std::uint64_t q = millionths(bits);
    *out = '-';
    out += sign_of(bits);
    const std::uint64_t whole = q / 1000000;
    const auto fraction = static_cast<std::uint32_t>(q - whole * 1000000);
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
    char buf[24];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? ptr : buf);
}
