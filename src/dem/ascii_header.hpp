// The six-line header of an ASCII grid, read by position: each keyword is
// skipped, never compared, and its value read as formatted reads take it.
#pragma once
#include <string>
#include <string_view>

#include "run/text_reader.hpp"

struct AsciiHeader {
    int cols, lines;
    double x, y, cell, nodata;
    std::string fault; // what a failure at the first value says instead, if anything
};

// Reads the header of the input f1 from text, or fails naming the line at fault.
AsciiHeader read_ascii_header(TextReader &text);

// What a message shows of a word: at most 40 characters.
std::string clipped(std::string_view word);
