// The ASCII grid reader: the positional six-line header, then every value of
// the body into dtab_in, as metres.
#include <cerrno>
#include <cstdio>
#include <string>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "dem/number/number_text.hpp"
#include "grid/grid_alloc.hpp"
#include "platform/files.hpp"
#include "platform/progress.hpp"
#include "platform/text_stream.hpp"

namespace {
const char *const header_names[6] = {"ncols",     "nrows",    "xllcorner",
                                     "yllcorner", "cellsize", "nodata_value"};

// What a failing header line shows of its text: at most 40 characters.
std::string shown(std::string_view word) {
    return word.size() <= 40 ? std::string(word) : std::string(word.substr(0, 40)) + "...";
}

// The text ends early: a read error is named as such, not as a short file.
void check_read() {
    if (std::ferror(f1.stream()))
        fail("cannot read " + nomim1 + " (" + system_error_text(errno) + ")");
}

// Skips the keyword of header line k (never compared with anything) and
// returns the word that follows it.
std::string_view header_value(TextReader &text, int k) {
    std::string_view keyword = text.peek_word();
    if (keyword.empty()) {
        check_read();
        fail(nomim1 + " ends in its header, before the " + header_names[k] + " line");
    }
    // Keywords are read by position and never compared, but the no-data line is
    // optional in grids from other tools: without it the first two values would
    // be taken for it and the whole body shifted.
    double ignored = 0;
    if (k == 5 && parse_double_word(keyword, ignored))
        fail(nomim1 + ": the header has no " + header_names[k] +
             " line (line 6 holds the value \"" + shown(keyword) +
             "\"); this program reads a header of six lines");
    text.consume(keyword.size());
    std::string_view value = text.peek_word();
    if (value.empty()) {
        check_read();
        fail(nomim1 + " ends in its header, before the " + header_names[k] + " value");
    }
    return value;
}

int header_int(TextReader &text, int k) {
    std::string_view w = header_value(text, k);
    ParsedInt p = parse_int_prefix(w);
    if (p.used == 0)
        fail(nomim1 + ": header line " + std::to_string(k + 1) + " (" + header_names[k] +
             ") holds \"" + shown(w) + "\", not a whole number");
    text.consume(p.used);
    return p.value;
}

double header_double(TextReader &text, int k) {
    std::string_view w = header_value(text, k);
    ParsedDouble p = parse_double_prefix(w);
    if (p.used == 0)
        fail(nomim1 + ": header line " + std::to_string(k + 1) + " (" + header_names[k] +
             ") holds \"" + shown(w) + "\", not a number");
    text.consume(p.used);
    return p.value;
}
} // namespace

// Reads f1; sets nb_col, nb_lig, X_min, Y_min, dpix_size, nodata, dtab_in and input_figures.
// A body with fewer values than the header announces ends the run: repeating
// or inventing values would corrupt the DEM.
void ascii_lecture() {
    say("\n");
    TextReader text(f1.stream());
    nb_col = header_int(text, 0);
    nb_lig = header_int(text, 1);
    X_min = header_double(text, 2);
    Y_min = header_double(text, 3);
    dpix_size = header_double(text, 4);
    nodata = header_double(text, 5);

    dtab_in = obtain_grid(dmatrice, "input grid");
    const int lines = grid_has_cells() ? nb_lig : 0;
    const unsigned long long expected = grid_cells();
    // The line count below is the stage's own progress on standard output.
    Progress progress("reading " + nomim1, static_cast<std::uint64_t>(lines), true);
    // Whole blocks of the text are read into a line at a time, straight from
    // the reader's buffer; a word cut by the end of a block waits for the next.
    for (int i = 0; i < lines; ++i) {
        progress.advance(1);
        if (i > 0 && i % 100 == 0) say("\tline %d                   \r", i);
        double *row = dtab_in[i];
        std::size_t j = 0;
        const auto cols = static_cast<std::size_t>(nb_col);
        while (j < cols) {
            const std::string_view b = text.buffered();
            const bool ends = text.ended();
            const ParsedWords r =
                parse_words(b.data(), b.data() + b.size(), row + j, cols - j, ends);
            for (std::size_t k = j; k < j + r.count; ++k)
                add_elevation(input_figures, row[k]);
            j += r.count;
            text.consume(static_cast<std::size_t>(r.stop - b.data()));
            if (r.why == WordsStop::full) break;
            const long long found = static_cast<long long>(i) * nb_col + static_cast<long long>(j);
            const auto not_a_number = [&](std::string_view w) {
                fail(nomim1 + ": value " + std::to_string(found + 1) + " (line " +
                     std::to_string(i + 1) + ", column " + std::to_string(j + 1) + ") is \"" +
                     shown(w) + "\", not a number");
            };
            if (r.why == WordsStop::not_a_number)
                not_a_number({r.stop, static_cast<std::size_t>(r.word_end - r.stop)});
            if (ends) {
                check_read();
                fail(nomim1 + " holds " + std::to_string(found) + " values where its header (" +
                     std::to_string(nb_lig) + " lines x " + std::to_string(nb_col) +
                     " columns) announces " + std::to_string(expected));
            }
            // A runaway word (a binary file read as text) can't be a number.
            const std::string_view rest = text.buffered();
            if (rest.size() >= TextReader::max_word && r.stop == b.data()) not_a_number(rest);
            text.read_more();
        }
    }
    check_read();
}
