// Grid words to raised "%lf\t" text. The common word, a decimal of at most 6
// integer digits and 6 decimals, never goes through a double: its value is
// the nearest double to it, which is closer to it than a 10^-10th, so "%lf"
// gives back its digits padded with zeros, and two such values compare as
// their millionths do (two such decimals never share a double).
#include "number/raised_words.hpp"

#include <bit>
#include <cstring>

#include "number/figures.hpp"

namespace {
constexpr int short_digits = 6; // integer digits and decimals of a short word, at most
constexpr std::uint64_t micro_scale[short_digits + 1] = {1000000, 100000, 10000, 1000, 100, 10, 1};

// Copies the n (at most 8) characters at from to out; 8 are copied at once
// when that many can be read, the others being overwritten or beyond the end
// of the text written.
inline void copy_short(char *out, const char *from, const char *last, std::ptrdiff_t n) {
    if (last - from >= 8)
        std::memcpy(out, from, 8);
    else
        std::memcpy(out, from, static_cast<std::size_t>(n));
}

// ".dddddd\t": the decimals at fraction padded with zeros to six, and the tab.
inline void put_decimals(char *out, const char *fraction, const char *last,
                         std::ptrdiff_t decimals) {
    if constexpr (std::endian::native == std::endian::little) {
        if (last - fraction >= 8) {
            std::uint64_t digits = 0, padding = 0;
            std::memcpy(&digits, fraction - 1, 8); // from the point
            std::memcpy(&padding, ".000000\t", 8);
            const std::uint64_t keep =
                ~std::uint64_t{0} >> (8 * (7 - decimals)); // point and digits
            digits = (digits & keep) | (padding & ~keep);
            std::memcpy(out, &digits, 8);
            return;
        }
    }
    std::memcpy(out, ".000000\t", 8);
    std::memcpy(out + 1, fraction, static_cast<std::size_t>(decimals));
}

// A short word taken apart: its end, sign, integer digits, decimals and
// value in millionths.
struct ShortWord {
    const char *end;
    bool negative;
    const char *whole, *whole_end, *fraction;
    std::ptrdiff_t decimals;
    std::uint64_t micros;
};

// Whether the word at p is short (a sign, 1 to 6 digits, a point and up to 6
// decimals, then white space or the end of the text); fills w when it is.
inline bool short_word(const char *p, const char *last, ShortWord &w) {
    const char *s = p;
    w.negative = s != last && *s == '-';
    s += w.negative;
    w.whole = s;
    std::uint64_t whole = 0;
    while (s != last && is_digit(*s) && s - w.whole <= short_digits)
        whole = whole * 10 + static_cast<std::uint64_t>(*s++ - '0');
    w.whole_end = s;
    const auto whole_digits = s - w.whole;
    if (whole_digits == 0 || whole_digits > short_digits) return false;
    w.fraction = s;
    std::uint64_t fraction = 0;
    if (s != last && *s == '.') {
        w.fraction = ++s;
        while (s != last && is_digit(*s) && s - w.fraction <= short_digits)
            fraction = fraction * 10 + static_cast<std::uint64_t>(*s++ - '0');
    }
    w.decimals = s - w.fraction;
    if (w.decimals > short_digits || (s != last && !is_text_space(*s))) return false;
    w.micros = whole * micro_scale[0] + fraction * micro_scale[w.decimals];
    w.end = s;
    return true;
}

// The text of a short word at p whose value isn't below the base level;
// nullptr, writing nothing, for any other word.
inline const char *short_word_text(const char *p, const char *last, const BaseText &base,
                                   char *&out) {
    ShortWord w;
    if (!short_word(p, last, w)) return nullptr;
    // Below the base level (the base level is above 0, so every negative value
    // is): the base level's text. "-0" too.
    if (w.negative || w.micros < base.micros) {
        constexpr std::size_t most = 32; // copied at once: the texts of bases below 10^22
        static_assert(sizeof base.text >= most && raised_word_max >= most);
        if (base.size <= most)
            std::memcpy(out, base.text, most);
        else
            std::memcpy(out, base.text, base.size);
        out += base.size;
        return w.end;
    }
    const char *lead = w.whole;
    while (lead + 1 != w.whole_end && *lead == '0') // leading zeros go, not the last digit
        ++lead;
    copy_short(out, lead, last, w.whole_end - lead);
    out += w.whole_end - lead;
    if (w.fraction == w.whole_end) // no point: no decimals
        std::memcpy(out, ".000000\t", 8);
    else
        put_decimals(out, w.fraction, last, w.decimals);
    out += 8;
    return w.end;
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

RaisedWords raise_words(const char *first, const char *last, std::size_t max, const BaseText &base,
                        char *out, char *out_end) {
    const char *p = first;
    std::size_t count = 0;
    while (count < max && static_cast<std::size_t>(out_end - out) >= raised_word_max) {
        while (p != last && is_text_space(*p))
            ++p;
        if (p == last) break;
        if (base.exact) {
            if (const char *end = short_word_text(p, last, base, out)) {
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
