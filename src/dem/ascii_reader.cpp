// The ASCII grid reader: the positional six-line header, then one pass over
// the body for the figures (every value is checked here, so a bad or short
// body stops the run before any question), and the values again, a block at a
// time, for the output.
#include "dem/ascii_reader.hpp"

#include <algorithm>
#include <new>
#include <string>

#include "number/figures.hpp"
#include "number/number_text.hpp"
#include "platform/progress.hpp"
#include "run/ask.hpp"
#include "run/input_passes.hpp"
#include "run/state.hpp"

namespace {
const char *const header_names[6] = {"ncols",     "nrows",    "xllcorner",
                                     "yllcorner", "cellsize", "nodata_value"};

// A piece of the body holds at most this much text unless one word is longer:
// it then has no more values than a block has cells.
constexpr std::size_t piece_bytes = 2 * block_cells - 2;
// Pieces shorter than this are parsed by one thread: a hand-over costs more.
constexpr std::size_t two_way_bytes = std::size_t{64} << 10;
// The reading thread's share of a piece it parses with the helper, in percent:
// reading the text costs it about a tenth of its half.
constexpr std::size_t reader_share = 45;

// What a failing header line shows of its text: at most 40 characters.
std::string shown(std::string_view word) {
    return word.size() <= 40 ? std::string(word) : std::string(word.substr(0, 40)) + "...";
}

// The text ends early: a read error is named as such, not as a short file.
void check_read() {
    if (f1.failed()) fail_input_read();
}

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
           ") holds \"" + shown(w) + "\", not a " + (k < 2 ? "whole number" : "number");
}

[[noreturn]] void header_fail(const HeaderText &h, const std::string &message) {
    fail(h.partial < 0 ? message : not_a_number_text(h.partial, h.partial_word));
}

// Skips the keyword of header line k (never compared with anything) and
// returns the word that follows it.
std::string_view header_value(HeaderText &h, int k) {
    TextReader &text = h.text;
    std::string_view keyword = text.peek_word();
    if (keyword.empty()) {
        check_read();
        header_fail(h, nomim1 + " ends in its header, before the " + header_names[k] + " line");
    }
    // Keywords are read by position and never compared, but the no-data line is
    // optional in grids from other tools: without it the first two values would
    // be taken for it and the whole body shifted.
    double ignored = 0;
    if (k == 5 && parse_double_word(keyword, ignored))
        header_fail(h, nomim1 + ": the header has no " + header_names[k] +
                           " line (line 6 holds the value \"" + shown(keyword) +
                           "\"); this program reads a header of six lines");
    text.consume(keyword.size());
    std::string_view value = text.peek_word();
    if (value.empty()) {
        check_read();
        header_fail(h, nomim1 + " ends in its header, before the " + header_names[k] + " value");
    }
    return value;
}

// Takes the used characters of header line k's value w.
void take_value(HeaderText &h, int k, std::string_view w, std::size_t used) {
    if (used == 0) header_fail(h, not_a_number_text(k, w));
    // The stand-in of a long word is exact for the number, not for a rest read
    // as the next word: such a value fails here, as the header would later.
    if (used < w.size() && h.text.at_stand_in()) header_fail(h, not_a_number_text(k, w));
    if (used < w.size() && h.partial < 0) h.partial = k, h.partial_word = w;
    h.text.consume(used);
}

int header_int(HeaderText &h, int k) {
    std::string_view w = header_value(h, k);
    ParsedInt p = parse_int_prefix(w);
    take_value(h, k, w, p.used);
    return p.value;
}

double header_double(HeaderText &h, int k) {
    std::string_view w = header_value(h, k);
    ParsedDouble p = parse_double_prefix(w);
    take_value(h, k, w, p.used);
    return p.value;
}

struct Header {
    int cols, lines;
    double x, y, cell, nodata;
    std::string fault; // what a failure at the first value says instead, if anything
};

Header read_header(TextReader &text) {
    HeaderText t{text, -1, {}};
    Header h{};
    h.cols = header_int(t, 0);
    h.lines = header_int(t, 1);
    h.x = header_double(t, 2);
    h.y = header_double(t, 3);
    h.cell = header_double(t, 4);
    h.nodata = header_double(t, 5);
    if (t.partial >= 0) h.fault = not_a_number_text(t.partial, t.partial_word);
    return h;
}

// The next piece of the body's text: up to white space (or the end of the
// text), at most piece_bytes unless one word is longer. Empty once the text
// has ended. In the reader's buffer, valid until the next read; or, given
// chunk, in the storage the reader hands over to chunk, valid until chunk is
// given again (a reader whose reads are pieces then copies only the partial
// word that follows).
BodyPiece next_piece(TextReader &text, std::vector<char> *chunk) {
    for (;;) {
        const std::string_view b = text.buffered();
        const bool ends = text.ended();
        std::size_t n = std::min(b.size(), piece_bytes);
        bool runaway = false;
        if (!ends || n < b.size()) {
            std::size_t cut = n;
            while (cut > 0 && !is_text_space(b[cut - 1]))
                --cut;
            if (cut == 0) { // one word fills the window: it ends at the white space after it
                const auto space = std::find_if(b.begin() + static_cast<std::ptrdiff_t>(n), b.end(),
                                                is_text_space);
                if (space != b.end())
                    cut = static_cast<std::size_t>(space - b.begin()) + 1;
                else if (ends)
                    cut = b.size();
                else if (b.size() >= TextReader::max_word) // a binary file read as text
                    cut = b.size(), runaway = true;
            }
            n = cut;
        }
        if (n > 0 || ends) {
            text.consume(n);
            if (chunk != nullptr) text.exchange_buffer(*chunk);
            BodyPiece p;
            p.first = b.data();
            p.last = b.data() + n;
            p.runaway = runaway;
            return p;
        }
        text.read_more();
    }
}

// Where a piece is cut in two parts at white space, the first about percent
// of it; its end for a piece too small to share or made of one word.
const char *half_way(const BodyPiece &whole, std::size_t percent = 50) {
    const auto size = static_cast<std::size_t>(whole.last - whole.first);
    const char *mid =
        size < two_way_bytes || whole.runaway ? whole.last : whole.first + size / 100 * percent;
    while (mid != whole.last && !is_text_space(*mid))
        ++mid;
    return mid;
}

// Parses a piece into out (at most max values), and takes them into figures
// when given. Runs on either thread: it allocates only for rare words, and
// reports running out of memory instead of throwing.
void parse_piece(BodyPiece &p, double *out, std::size_t max, ElevationFigures *figures) {
    if (p.runaway) {
        p.count = 0;
        p.bad = true;
        return;
    }
    try {
        const ParsedWords r = parse_words(p.first, p.last, out, max, true);
        p.count = r.count;
        p.bad = r.why == WordsStop::not_a_number;
        if (p.bad) p.first = r.stop, p.last = r.word_end; // the word, for the message
        if (figures != nullptr)
            for (std::size_t k = 0; k < r.count; ++k)
                add_elevation(*figures, out[k]);
    } catch (const std::bad_alloc &) {
        p.out_of_memory = true;
    }
}
} // namespace

// Reads f1; sets nb_col, nb_lig, X_min, Y_min, dpix_size, nodata and input_figures.
// A body with fewer values than the header announces ends the run: repeating
// or inventing values would corrupt the DEM.
void ascii_lecture() {
    say("\n");
    prepare_input_passes();
    TextReader text(f1);
    text.shorten_long_words();
    const Header h = read_header(text);
    nb_col = h.cols;
    nb_lig = h.lines;
    X_min = h.x;
    Y_min = h.y;
    dpix_size = h.cell;
    nodata = h.nodata;

    const unsigned long long total = grid_cells();
    unsigned long long done = 0; // values read so far
    long long next_line = 100;   // the next progress line
    const auto not_a_number = [&](std::string_view w) {
        if (done == 0 && !h.fault.empty()) fail(h.fault);
        const auto line = done / static_cast<unsigned long long>(nb_col);
        const auto column = done % static_cast<unsigned long long>(nb_col);
        fail(nomim1 + ": value " + std::to_string(done + 1) + " (line " + std::to_string(line + 1) +
             ", column " + std::to_string(column + 1) + ") is \"" + shown(w) + "\", not a number");
    };
    // Takes the values of a piece in line order; the last piece may hold more
    // than the grid needs.
    const auto take = [&](BodyPiece &p, const double *values, ElevationFigures &figures) {
        if (p.out_of_memory) fail_out_of_memory();
        std::size_t n = p.count;
        if (n > total - done) {
            n = static_cast<std::size_t>(total - done);
            figures = ElevationFigures{};
            for (std::size_t k = 0; k < n; ++k)
                add_elevation(figures, values[k]);
        }
        add_figures(input_figures, figures);
        done += n;
        for (; next_line < nb_lig && static_cast<unsigned long long>(next_line) *
                                             static_cast<unsigned long long>(nb_col) <=
                                         done;
             next_line += 100)
            say("\tline %d                   \r", static_cast<int>(next_line));
        if (done < total && p.bad)
            not_a_number({p.first, static_cast<std::size_t>(p.last - p.first)});
    };

    // The line count above is the stage's own progress on standard output.
    Progress shown("reading " + nomim1, total, true);
    std::unique_ptr<double[]> values;
    std::unique_ptr<HelperThread> helper;
    while (done < total) {
        const BodyPiece whole = next_piece(text, nullptr);
        if (whole.first == whole.last) {
            check_read();
            fail(nomim1 + " holds " + std::to_string(done) + " values where its header (" +
                 std::to_string(nb_lig) + " lines x " + std::to_string(nb_col) +
                 " columns) announces " + std::to_string(total));
        }
        if (!values) values.reset(new double[block_cells]);
        // Large pieces are parsed in two parts cut at white space, one on each
        // processor; this thread, which also reads, takes the smaller one.
        // Each part's values fit in its share of the values' room.
        const char *const mid = half_way(whole, reader_share);
        BodyPiece first = whole, second;
        first.last = second.first = mid;
        second.last = whole.last;
        double *const first_values = values.get();
        double *const second_values = values.get() + (mid - whole.first + 1) / 2;
        const std::size_t max =
            static_cast<std::size_t>(std::min<unsigned long long>(total - done, block_cells));
        ElevationFigures first_figures, second_figures;
        auto parse_second = [&] { parse_piece(second, second_values, max, &second_figures); };
        if (second.first != second.last && !helper) helper = std::make_unique<HelperThread>();
        if (second.first != second.last && helper->available()) {
            helper->start(parse_second);
            parse_piece(first, first_values, max, &first_figures);
            helper->finish();
        } else {
            parse_piece(first, first_values, max, &first_figures);
            parse_second();
        }
        const unsigned long long before = done;
        take(first, first_values, first_figures);
        if (done < total) take(second, second_values, second_figures);
        shown.advance(done - before);
    }
    check_read();
}

namespace {
// The room of each half of a piece's text, fixed whatever the words: the
// text of a half of short words (up to 4.5 times as long as they are) fits,
// and longer texts are made in turns.
constexpr std::size_t text_room = 3 * piece_bytes;

// Writes the raised text of a piece's words into out, at most max of them and
// as many as its room takes; the count and the size of the text in p and size,
// and in p.rest where the words the room left over begin (null when none is).
void raise_piece(BodyPiece &p, const BaseText &base, std::size_t max, std::vector<char> &out,
                 std::size_t &size) {
    size = 0;
    p.count = 0;
    p.rest = nullptr;
    if (p.runaway) {
        p.bad = true;
        return;
    }
    try {
        char *const end = out.data() + out.size();
        const RaisedWords r = raise_words(p.first, p.last, max, base, out.data(), end);
        size = static_cast<std::size_t>(r.out - out.data());
        p.count = r.count;
        p.bad = r.bad;
        if (!r.bad && r.count < max && r.stop != p.last &&
            static_cast<std::size_t>(end - r.out) < raised_word_room)
            p.rest = r.stop;
    } catch (const std::bad_alloc &) {
        p.out_of_memory = true;
    }
}
} // namespace

AsciiBodyPass::AsciiBodyPass(const BaseText *raise) : input_(f1, piece_bytes), raise_(raise) {
    input_.shorten_long_words();
    rewind_input();
    // The output dialogue may have replaced the cell size: only the size is compared.
    const Header h = read_header(input_);
    if (h.cols != nb_col || h.lines != nb_lig) fail_changed_input();
    total_ = grid_cells();
    for (int slot = 0; slot < 2; ++slot)
        if (raise_ == nullptr)
            values_[slot].reset(new double[block_cells]);
        else
            for (auto &half : text_[slot])
                half.resize(text_room);
    helper_ = std::make_unique<HelperThread>();
    if (raise_ != nullptr) second_helper_ = std::make_unique<HelperThread>();
    if (total_ > 0 && read_piece(0)) launch(0);
}

AsciiBodyPass::~AsciiBodyPass() {
    if (!pending_) return;
    if (helper_->available()) helper_->finish();
    if (second_helper_ && second_helper_->available()) second_helper_->finish();
}

bool AsciiBodyPass::read_piece(int slot) {
    piece_[slot] = next_piece(input_, &chunk_[slot]);
    return piece_[slot].first != piece_[slot].last;
}

void AsciiBodyPass::launch(int slot) {
    pending_ = true;
    pending_slot_ = slot;
    pending_words_ = (piece_[slot].size() + 1) / 2; // words one character apart, at most
    if (raise_ == nullptr) {
        job_ = [this, slot] {
            parse_piece(piece_[slot], values_[slot].get(), block_cells, nullptr);
        };
        if (helper_->available())
            helper_->start(job_);
        else
            job_();
        return;
    }
    // Text: the two halves of the piece on two threads, while the caller
    // writes the text before. The words beyond the grid's last cell are not
    // turned into text: the second half is made again, shorter, if it went past.
    const auto max =
        static_cast<std::size_t>(std::min<unsigned long long>(total_ - done_, block_cells));
    BodyPiece &first = piece_[slot], &second = second_[slot];
    second = first;
    second.first = first.last = half_way(first);
    second.runaway = false;
    job_ = [this, slot, max] {
        raise_piece(piece_[slot], *raise_, max, text_[slot][0], text_size_[slot][0]);
    };
    second_job_ = [this, slot, max] {
        raise_piece(second_[slot], *raise_, max, text_[slot][1], text_size_[slot][1]);
    };
    if (helper_->available() && second_helper_->available()) {
        helper_->start(job_);
        second_helper_->start(second_job_);
    } else {
        job_();
        second_job_();
    }
}

// The count of values of a slot's text: the first half's, then as many of the
// second half's as the grid still needs.
std::size_t AsciiBodyPass::take_text(int slot) {
    BodyPiece &first = piece_[slot], &second = second_[slot];
    if (first.out_of_memory || second.out_of_memory) fail_out_of_memory();
    const unsigned long long left = total_ - done_;
    if (first.count >= left) {
        text_size_[slot][1] = 0;
        return static_cast<std::size_t>(left);
    }
    if (first.rest != nullptr) { // the words left, the second half's included, come next
        text_size_[slot][1] = 0;
        rest_ = first;
        rest_.first = first.rest;
        rest_.last = second.last;
        return first.count;
    }
    if (first.bad) fail_changed_input();
    const auto rest = static_cast<std::size_t>(left - first.count);
    if (second.count > rest || (second.bad && second.count == rest)) {
        second.first = first.last; // made again, as far as the grid goes
        raise_piece(second, *raise_, rest, text_[slot][1], text_size_[slot][1]);
        if (second.out_of_memory) fail_out_of_memory();
    }
    if (second.count < rest && second.bad) fail_changed_input();
    if (second.rest != nullptr) {
        rest_ = second;
        rest_.first = second.rest;
    }
    return first.count + second.count;
}

// The text of words a slot's room left over, made here while the next piece
// is made by the helpers; from the piece's storage, still the current slot's.
std::size_t AsciiBodyPass::take_rest() {
    const auto max =
        static_cast<std::size_t>(std::min<unsigned long long>(total_ - done_, block_cells));
    raise_piece(rest_, *raise_, max, text_[current_][0], text_size_[current_][0]);
    text_size_[current_][1] = 0;
    if (rest_.out_of_memory) fail_out_of_memory();
    if (rest_.bad && rest_.count < max) fail_changed_input();
    const std::size_t n = rest_.count;
    done_ += n;
    rest_.first = rest_.rest;
    // The next piece, unless it was read ahead already.
    if (rest_.first == nullptr && !pending_ && done_ < total_ && read_piece(current_ ^ 1))
        launch(current_ ^ 1);
    return n;
}

std::size_t AsciiBodyPass::next() {
    while (done_ < total_) {
        if (rest_.first != nullptr) {
            if (const std::size_t n = take_rest()) return n;
            continue;
        }
        if (!pending_) { // the text ended before the grid did
            check_read();
            fail_changed_input();
        }
        const int slot = pending_slot_;
        // The next piece is read while this one is still being made, unless
        // this one may hold the grid's last value.
        const bool read_ahead = done_ + pending_words_ < total_;
        const bool have_next = read_ahead && read_piece(slot ^ 1);
        if (helper_->available()) helper_->finish();
        if (second_helper_ && second_helper_->available()) second_helper_->finish();
        pending_ = false;
        std::size_t n = 0;
        if (raise_ != nullptr) {
            n = take_text(slot);
        } else {
            const BodyPiece &p = piece_[slot];
            if (p.out_of_memory) fail_out_of_memory();
            n = static_cast<std::size_t>(std::min<unsigned long long>(p.count, total_ - done_));
            if (n < total_ - done_ && p.bad) fail_changed_input();
        }
        done_ += n;
        current_ = slot;
        // The next piece is made while the caller works on this one (and on its
        // words left, if any: the next piece is then read once they are made).
        if (done_ < total_ &&
            (read_ahead ? have_next : rest_.first == nullptr && read_piece(slot ^ 1)))
            launch(slot ^ 1);
        if (n > 0) return n;
    }
    return 0;
}
