// Number parsing and formatting. std::from_chars and std::to_chars are exact
// (correctly rounded) and locale-free; strtod takes over for the forms
// from_chars refuses (leading '+', hexadecimal, out-of-range values).
#include "dem/number_text.hpp"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace {
bool is_digit(char c) { return c >= '0' && c <= '9'; }

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

bool parse_double_word(std::string_view word, double &value) {
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
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
