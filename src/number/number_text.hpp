// Number text exactly as the C library's formatted reads and prints in the C
// locale give it: "%d" and "%lf" reading of a word's prefix, "%lf" and "%d"
// writing. Pure functions: no locale, no globals, no I/O.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// ' ', '\t', '\n', '\v', '\f' and '\r': the white space of formatted reads
// in the C locale, looked up by byte.
inline constexpr std::array<bool, 256> text_space_table = [] {
    std::array<bool, 256> t{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'})
        t[c] = true;
    return t;
}();
inline bool is_text_space(char c) {
    return text_space_table[static_cast<unsigned char>(c)];
}
inline bool is_digit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// A number read from the front of a text.
template <class T> struct Parsed {
    T value;
    std::size_t used; // characters taken from the front of the text; 0: no number
};
using ParsedInt = Parsed<int>;
using ParsedDouble = Parsed<double>;

// "%d": an optional sign and decimal digits at the front of text. A number
// beyond the int range gives INT_MAX or INT_MIN (it never wraps).
ParsedInt parse_int_prefix(std::string_view text);

// "%lf": the longest front of text that strtod reads (decimal or hexadecimal,
// inf, nan), converted to exactly the double strtod gives.
ParsedDouble parse_double_prefix(std::string_view text);

// A whole word read as one "%lf" value: false unless every character of it
// belongs to the number.
bool parse_double_word(std::string_view word, double &value);

// How parse_words stopped.
enum class WordsStop {
    full,         // max_values values stored
    need_text,    // the text before stop is used up; [stop, last) is empty or
                  // a word that may go on in the text after last
    not_a_number, // [stop, word_end) is a word strtod doesn't wholly read
};

struct ParsedWords {
    std::size_t count;    // values stored at out[0 .. count)
    const char *stop;     // first character not used (white space may lead)
    const char *word_end; // not_a_number: the end of the word at stop; else stop
    WordsStop why;
};

// Reads the white-space separated words of [first, last) into out, each one
// exactly as parse_double_word reads it, at most max_values of them. White
// space is ' ', '\t', '\n', '\v', '\f' and '\r'; every other byte belongs to a
// word (the caller cuts the text at a Ctrl-Z and skips a byte-order mark).
// A word that reaches last is read only when text_ends says that nothing
// follows last; otherwise parse_words stops at its start with need_text, and
// the caller calls again with that word and more text behind it. need_text
// with stop == first and stop != last means one word fills the whole block.
// Several blocks cut at white space may be read independently (in threads).
ParsedWords parse_words(const char *first, const char *last, double *out, std::size_t max_values,
                        bool text_ends);

// The longest "%lf" text: a sign, 309 integer digits, the point, six decimals.
inline constexpr std::size_t lf_max_chars = 317;
// "%lf" writes six decimals: a value's millionths.
inline constexpr std::uint64_t millionths_per_unit = 1000000;
// Values below 2^short_lf_bits in magnitude have "%lf" texts of at most 18
// characters, and their millionths fit 53 bits.
inline constexpr int short_lf_bits = 33;
inline constexpr double short_lf_limit = static_cast<double>(std::uint64_t{1} << short_lf_bits);

// Writes value as "%lf" writes it at out (no terminating NUL) and returns the
// end of the text: fixed notation, six decimals, ties of the exact binary value
// rounded to even; "nan", "-nan", "inf", "-inf". out must have space for
// lf_max_chars characters; values below 2^33 in magnitude take at most 18.
char *put_lf(char *out, double value);

// put_lf followed by a tab, as the grid body writes each value: space for
// lf_max_chars + 1 characters (19 below 2^33).
char *put_lf_tab(char *out, double value);

// Appends value as "%lf" writes it (put_lf's text).
void append_lf(std::string &out, double value);
std::string format_lf(double value);

// Appends value as "%d" writes it.
void append_d(std::string &out, long long value);
