// The ASCII grid header: six keywords and values, each failure named by its line.
#include "dem/ascii_header.hpp"

#include "number/number_text.hpp"
#include "run/ask.hpp"
#include "run/input_passes.hpp"
#include "run/state.hpp"

namespace {
const char *const header_names[6] = {"ncols",     "nrows",    "xllcorner",
                                     "yllcorner", "cellsize", "nodata_value"};

// The header as it is read. A value of which only the start is a number has
// its rest taken for the next keyword, as formatted reads take it; when the
// header (or the first value after it) then fails, the fault lies on the line
// of the first such value, not on the line where the reading stopped.
struct HeaderText {
    TextReader &text;
    int partial = -1; // the line of the first value read only in part, -1 for none
    std::string partial_word;
};

std::string not_a_number_text(int k, std::string_view w) {
    return nomim1 + ": header line " + std::to_string(k + 1) + " (" + header_names[k] +
           ") holds \"" + clipped(w) + "\", not a " + (k < 2 ? "whole number" : "number");
}

[[noreturn]] void header_fail(const HeaderText &h, const std::string &message) {
    fail(h.partial < 0 ? message : not_a_number_text(h.partial, h.partial_word));
}

// The next word of header line k, or a failure naming what it ends before.
std::string_view header_word(HeaderText &h, int k, const char *before) {
    const std::string_view word = h.text.peek_word();
    if (!word.empty()) return word;
    check_input_read();
    header_fail(h, nomim1 + " ends in its header, before the " + header_names[k] + before);
}

// Skips the keyword of header line k (never compared with anything) and
// returns the word that follows it.
std::string_view header_value(HeaderText &h, int k) {
    const std::string_view keyword = header_word(h, k, " line");
    // Keywords are read by position and never compared, but the no-data line is
    // optional in grids from other tools: without it the first two values would
    // be taken for it and the whole body shifted.
    double ignored = 0;
    if (k == 5 && parse_double_word(keyword, ignored))
        header_fail(h, nomim1 + ": the header has no " + header_names[k] +
                           " line (line 6 holds the value \"" + clipped(keyword) +
                           "\"); this program reads a header of six lines");
    h.text.consume(keyword.size());
    return header_word(h, k, " value");
}

// Takes the used characters of header line k's value w.
void take_value(HeaderText &h, int k, std::string_view w, std::size_t used) {
    // The stand-in of a long word is exact for the number, not for a rest read
    // as the next word: such a value fails here, as the header would later.
    if (used == 0 || (used < w.size() && h.text.at_stand_in()))
        header_fail(h, not_a_number_text(k, w));
    if (used < w.size() && h.partial < 0) h.partial = k, h.partial_word = w;
    h.text.consume(used);
}

// The value of header line k, read as parse reads it ("%d" or "%lf").
template <class Parse> auto header_number(HeaderText &h, int k, Parse parse) {
    const std::string_view w = header_value(h, k);
    const auto p = parse(w);
    take_value(h, k, w, p.used);
    return p.value;
}
} // namespace

std::string clipped(std::string_view word) {
    return word.size() <= 40 ? std::string(word) : std::string(word.substr(0, 40)) + "...";
}

AsciiHeader read_ascii_header(TextReader &text) {
    HeaderText t{text, -1, {}};
    AsciiHeader h{};
    h.cols = header_number(t, 0, parse_int_prefix);
    h.lines = header_number(t, 1, parse_int_prefix);
    h.x = header_number(t, 2, parse_double_prefix);
    h.y = header_number(t, 3, parse_double_prefix);
    h.cell = header_number(t, 4, parse_double_prefix);
    h.nodata = header_number(t, 5, parse_double_prefix);
    if (t.partial >= 0) h.fault = not_a_number_text(t.partial, t.partial_word);
    return h;
}
