// Grid words to raised "%lf\t" text. The common word, a decimal of at most 6
// integer digits and 6 decimals, never goes through a double: its value is
// the nearest double to it, which is closer to it than a 10^-10th, so "%lf"
// gives back its digits padded with zeros, and two such values compare as
// their millionths do (two such decimals never share a double).
#include "number/raised_words.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "number/always_inline.hpp"
#include "number/figures.hpp"

namespace {
constexpr int short_digits = 6; // integer digits and decimals of a short word, at most
constexpr std::uint64_t micro_scale[short_digits + 1] = {1000000, 100000, 10000, 1000, 100, 10, 1};
// Bytes a short word's reading may look at from its start: the word and the
// eight bytes copied at once from its last digits.
constexpr std::ptrdiff_t short_window = 32;

// The digits at s taken into value, at most short_digits + 1 of them; where they end.
GZ_ALWAYS_INLINE const char *take_digits(const char *s, std::uint64_t &value) {
    const char *const first = s;
    for (unsigned d;
         (d = static_cast<unsigned char>(*s) - unsigned{'0'}) < 10 && s - first <= short_digits;
         ++s)
        value = value * 10 + d;
    return s;
}

// ".dddddd\t" at out: the point, the n decimals at fraction padded with zeros, a tab.
inline void put_decimals(char *out, const char *fraction, std::ptrdiff_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t digits = 0, padding = 0;
        std::memcpy(&digits, fraction - 1, 8); // from the point
        std::memcpy(&padding, ".000000\t", 8);
        const std::uint64_t keep = ~std::uint64_t{0} >> (8 * (7 - n)); // the point and digits
        digits = (digits & keep) | (padding & ~keep);
        std::memcpy(out, &digits, 8);
    } else {
        std::memcpy(out, ".000000\t", 8);
        std::memcpy(out + 1, fraction, static_cast<std::size_t>(n));
    }
}

// The text of the short word at p (a sign, 1 to 6 digits, a point and up to 6
// decimals, then white space), whose short_window bytes can be read: its own
// digits, or the base level's text for a value below it (every negative value
// is, the base level being above 0; "-0" too). Its end; nullptr, writing
// nothing, for any other word, and for one with a leading zero (which the
// general path writes without it).
GZ_ALWAYS_INLINE const char *short_word_text(const char *p, const BaseText &base, char *&out) {
    const bool negative = *p == '-';
    const char *const whole = p + negative;
    std::uint64_t units = 0, fraction = 0;
    const char *const point = take_digits(whole, units);
    const char *decimals = point, *end = point;
    if (*point == '.') end = take_digits(decimals = point + 1, fraction);
    const std::ptrdiff_t whole_digits = point - whole, decimal_digits = end - decimals;
    if (whole_digits < 1 || whole_digits > short_digits || decimal_digits > short_digits ||
        !is_text_space(*end))
        return nullptr;
    if (negative || units * micro_scale[0] + fraction * micro_scale[decimal_digits] < base.micros) {
        constexpr std::size_t most = 32; // copied at once: the texts of bases below 10^22
        static_assert(sizeof base.text >= most && raised_word_max >= most);
        if (base.size <= most)
            std::memcpy(out, base.text, most);
        else
            std::memcpy(out, base.text, base.size);
        out += base.size;
        return end;
    }
    if (*whole == '0' && whole_digits > 1) return nullptr;
    std::memcpy(out, whole, 8);
    out += whole_digits;
    if (decimals == point) // no point: no decimals
        std::memcpy(out, ".000000\t", 8);
    else
        put_decimals(out, decimals, decimal_digits);
    out += 8;
    return end;
}

// The same near the end of the text (at last): read from a copy of its last
// bytes followed by white space.
const char *last_short_word_text(const char *p, const char *last, const BaseText &base,
                                 char *&out) {
    char copy[short_window * 2];
    std::memset(copy, ' ', sizeof copy);
    std::memcpy(copy, p, static_cast<std::size_t>(last - p));
    const char *end = short_word_text(copy, base, out);
    return end != nullptr ? p + (end - copy) : nullptr;
}
} // namespace

BaseText base_text(double base) {
    BaseText b{};
    b.base = base;
    char *end = put_lf_tab(b.text, base);
    b.size = static_cast<std::size_t>(end - b.text);
    // Exact when the text read back gives the base level and its millionths
    // fit: every short word compares with those then.
    double back = 0;
    if (!(base > 0.0 && base < short_lf_limit) ||
        !parse_double_word(std::string_view(b.text, b.size - 1), back) || back != base)
        return b;
    for (const char *c = b.text; c != end - 1; ++c)
        if (*c != '.') b.micros = b.micros * 10 + static_cast<std::uint64_t>(*c - '0');
    b.exact = true;
    return b;
}

namespace {
// The short words from p on, at most n, while they lie short_window bytes or
// more before last: the tight loop most words go through. Where it stopped.
const char *raise_short_words(const char *p, const char *last, std::size_t n, const BaseText &base,
                              char *&out, std::size_t &count) {
    const char *const far = last - std::min<std::ptrdiff_t>(last - p, short_window);
    for (std::size_t k = 0; k < n; ++k) {
        const char *q = p;
        while (q < far && is_text_space(*q))
            ++q;
        const char *end = q < far ? short_word_text(q, base, out) : nullptr;
        if (end == nullptr) break;
        p = end;
        ++count;
    }
    return p;
}
} // namespace

RaisedWords raise_words(const char *first, const char *last, std::size_t max, const BaseText &base,
                        char *out, char *out_end) {
    const char *p = first;
    std::size_t count = 0;
    while (count < max && static_cast<std::size_t>(out_end - out) >= raised_word_max) {
        // As many words as surely fit go through the short words' loop first.
        if (base.exact)
            p = raise_short_words(
                p, last,
                std::min(max - count, static_cast<std::size_t>(out_end - out) / raised_word_max),
                base, out, count);
        if (count == max || static_cast<std::size_t>(out_end - out) < raised_word_max) break;
        while (p != last && is_text_space(*p))
            ++p;
        if (p == last) break;
        if (base.exact) {
            if (const char *end =
                    last - p < short_window ? last_short_word_text(p, last, base, out) : nullptr) {
                p = end;
                ++count;
                continue;
            }
        }
        const char *end = p;
        while (end != last && !is_text_space(*end))
            ++end;
        double v = 0;
        if (!parse_double_word(std::string_view(p, static_cast<std::size_t>(end - p)), v))
            return {count, p, out, true};
        out = put_lf_tab(out, raised(v, base.base));
        p = end;
        ++count;
    }
    return {count, p, out, false};
}
