// Number text exactly as the C library's formatted reads and prints in the C
// locale give it: "%d" and "%lf" reading of a word's prefix, "%lf" and "%d"
// writing. Pure functions: no locale, no globals, no I/O.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

struct ParsedInt {
    int value;
    std::size_t used; // characters taken from the front of the text; 0: no number
};

struct ParsedDouble {
    double value;
    std::size_t used;
};

// "%d": an optional sign and decimal digits at the front of text. A number
// beyond the int range gives INT_MAX or INT_MIN (it never wraps).
ParsedInt parse_int_prefix(std::string_view text);

// "%lf": the longest front of text that strtod reads (decimal or hexadecimal,
// inf, nan), converted to exactly the double strtod gives.
ParsedDouble parse_double_prefix(std::string_view text);

// A whole word read as one "%lf" value: false unless every character of it
// belongs to the number. The fast path of the grid reader.
bool parse_double_word(std::string_view word, double &value);

// Appends value as "%lf" writes it: fixed notation, six decimals, ties of the
// exact binary value rounded to even; "nan", "-nan", "inf", "-inf".
void append_lf(std::string &out, double value);
std::string format_lf(double value);

// Appends value as "%d" writes it.
void append_d(std::string &out, long long value);
