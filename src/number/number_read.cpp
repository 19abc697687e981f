// Number reading, equal to the bit to the C library's in the C locale. Short
// decimals are read by one exact division, where textbench shows it beating the
// library; std::from_chars and strtod (both exact) do the rest.
#include "number/number_text.hpp"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);

namespace {
// strtod on a terminated copy of text (the text may continue beyond the word).
ParsedDouble strtod_prefix(std::string_view text) {
    std::string copy(text);
    char *end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    return {v, static_cast<std::size_t>(end - copy.c_str())};
}

constexpr double exact_powers_of_ten[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Double arithmetic is IEEE double, rounded to nearest, no wider intermediate.
constexpr bool plain_double_arithmetic = FLT_EVAL_METHOD == 0;

// The decimal digits at p taken into w; where they end.
inline const char *add_digits(const char *p, const char *last, std::uint64_t &w) {
    while (p != last && is_digit(*p))
        w = w * 10 + static_cast<std::uint64_t>(*p++ - '0');
    return p;
}

// The grid's usual word, inline: a sign, up to 15 digits with a point, and
// nothing more: w / 10^d with w and 10^d exact doubles, so the one division
// rounds correctly (Clinger's case). nullptr for anything else (the library's).
inline const char *read_short_decimal(const char *p, const char *last, double &value) {
    const bool negative = p != last && *p == '-';
    p += negative;
    const char *const digits = p;
    std::uint64_t w = 0;
    p = add_digits(p, last, w);
    std::ptrdiff_t count = p - digits, decimals = 0;
    if (p != last && *p == '.') {
        const char *const fraction = ++p;
        p = add_digits(p, last, w);
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

// libstdc++ before GCC 13, built for the x87, rounds some from_chars results
// twice (once to 64 bits, then to 53): strtod reads them there instead.
#if defined(__i386__) && defined(_GLIBCXX_RELEASE) && _GLIBCXX_RELEASE < 13
constexpr bool exact_from_chars = false;
#else
constexpr bool exact_from_chars = true;
#endif

// A plain decimal by std::from_chars: its end, or nullptr when it can't read
// one (a value beyond the range among them, which strtod reads).
const char *library_decimal(const char *p, const char *last, double &value) {
    if (!exact_from_chars || (!is_digit(*p) && *p != '-' && *p != '.')) return nullptr;
    const auto [end, ec] = std::from_chars(p, last, value, std::chars_format::general);
    return ec == std::errc() ? end : nullptr;
}
// The forms parse_decimal leaves: from_chars takes the plain decimal ones it
// accepts (not a leading '+', nor a value out of range), strtod the others.
ParsedDouble general_prefix(std::string_view text) {
    const char *first = text.data();
    const char *last = first + text.size();
    double v = 0;
    const char *end = library_decimal(first, last, v);
    if (end != nullptr && (end == last || (*end != 'x' && *end != 'X' && *end != '(')))
        return {v, static_cast<std::size_t>(end - first)};
    return strtod_prefix(text);
}

// The word at p read whole, where the fast readers stopped at end (null: at
// p): its end, or null when it isn't a number; word_end where it ends.
const char *read_whole_word(const char *p, const char *end, const char *limit, double &v,
                            const char *&word_end) {
    word_end = end != nullptr ? end : p;
    while (word_end != limit && !is_text_space(*word_end))
        ++word_end;
    return parse_double_word({p, static_cast<std::size_t>(word_end - p)}, v) ? word_end : nullptr;
}

// Bytes the reading of a word in the loop below may look at from its start:
// a sign, 16 digits, a point, 16 digits and the white space after them.
constexpr std::ptrdiff_t decimal_window = 40;

// The plain decimals from p on (a sign, digits and a point, at most 15 digits,
// then white space), at most n of them into out, while they lie decimal_window
// bytes or more before limit: the tight loop most words of a grid go through.
// Each is read as read_short_decimal reads it. Where it stopped.
const char *read_decimals(const char *p, const char *limit, double *out, std::size_t n,
                          std::size_t &count) {
    const char *const far = limit - std::min<std::ptrdiff_t>(limit - p, decimal_window);
    for (std::size_t k = 0; k < n; ++k) {
        const char *q = p;
        while (q < far && is_text_space(*q))
            ++q;
        if (q >= far) break;
        const bool negative = *q == '-';
        const char *const digits = q + negative;
        std::uint64_t w = 0;
        const char *s = digits;
        for (unsigned d;
             (d = static_cast<unsigned char>(*s) - unsigned{'0'}) < 10 && s - digits < 16; ++s)
            w = w * 10 + d;
        std::ptrdiff_t count_digits = s - digits, decimals = 0;
        if (*s == '.') {
            const char *const fraction = ++s;
            for (unsigned d;
                 (d = static_cast<unsigned char>(*s) - unsigned{'0'}) < 10 && s - fraction < 16;
                 ++s)
                w = w * 10 + d;
            decimals = s - fraction;
            count_digits += decimals;
        }
        if (count_digits == 0 || count_digits > 15 || !is_text_space(*s)) break;
        const double v = static_cast<double>(w) / exact_powers_of_ten[decimals];
        out[count++] = negative ? -v : v;
        p = s;
    }
    return p;
}

// The word at p read by the general path: its end, or null when it isn't a
// number (word_end then where it ends).
const char *read_any_word(const char *p, const char *limit, double &v, const char *&word_end) {
    // A word read_decimals turned down is no plain decimal followed by white space.
    const bool tried = plain_double_arithmetic && limit - p > decimal_window;
    const char *end = tried ? nullptr : read_short_decimal(p, limit, v);
    if (end == nullptr) end = library_decimal(p, limit, v);
    if (end != nullptr && (end == limit || is_text_space(*end))) return end;
    // Another form, or a number followed by more of the word.
    return read_whole_word(p, end, limit, v, word_end);
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
    const long long v =
        negative ? -std::min(magnitude, cap) : std::min<long long>(magnitude, INT_MAX);
    return {static_cast<int>(v), i};
}

ParsedDouble parse_double_prefix(std::string_view text) {
    // A word never starts with white space; strtod would skip it.
    if (text.empty() || is_text_space(text[0])) return {0.0, 0};
    double v = 0;
    if (const char *end = read_short_decimal(text.data(), text.data() + text.size(), v))
        return {v, static_cast<std::size_t>(end - text.data())};
    return general_prefix(text);
}

bool parse_double_word(std::string_view word, double &value) {
    const ParsedDouble p = parse_double_prefix(word);
    if (p.used == 0 || p.used != word.size()) return false;
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
        if (plain_double_arithmetic) p = read_decimals(p, limit, out, max_values - count, count);
        if (count == max_values) break;
        while (p != limit && is_text_space(*p))
            ++p;
        if (p == limit) return {count, p, p, WordsStop::need_text};
        double v;
        const char *word_end = nullptr;
        const char *end = read_any_word(p, limit, v, word_end);
        if (end == nullptr) return {count, p, word_end, WordsStop::not_a_number};
        out[count++] = v;
        p = end;
    }
    return {count, p, p, WordsStop::full};
}
