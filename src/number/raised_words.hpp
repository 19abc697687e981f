// The output text of an ASCII grid's words raised to the base level, made
// straight from the input text: "%lf\t" of each value, or of the base level
// for a value below it. Pure functions.
#pragma once
#include <cstddef>
#include <cstdint>

#include "number/number_text.hpp"

// The base level, and what the short words are compared with.
struct BaseText {
    double base;
    bool exact = false;       // base is the value of its own "%lf" text
    std::uint64_t micros = 0; // that text's digits: base x 10^6, when exact
    char text[lf_max_chars + 2];
    std::size_t size = 0; // of text: "%lf\t" of base
};
BaseText base_text(double base);

struct RaisedWords {
    std::size_t count; // words written
    const char *stop;  // first character not used
    char *out;         // end of the text written
    bool bad;          // the word at stop isn't a number
};

// The most a word's text may need: the longest "%lf" text and its tab.
inline constexpr std::size_t raised_word_max = lf_max_chars + 1;

// Writes at out the "%lf\t" text of each white-space separated word of
// [first, last) (the text ends at last), raised to base: what put_lf_tab of
// raised(v, base) writes, v being the word read as parse_double_word reads
// it. Stops after max words, at a word that isn't a number, or once fewer
// than raised_word_max characters are left before out_end.
RaisedWords raise_words(const char *first, const char *last, std::size_t max, const BaseText &base,
                        char *out, char *out_end);
