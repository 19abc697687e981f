// The body of an ASCII grid in pieces, and the passes over it.
#include "dem/ascii_body.hpp"

#include <algorithm>
#include <new>

#include "number/number_text.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

BodyPiece next_piece(TextReader &text, std::vector<char> &chunk, std::size_t most) {
    for (;;) {
        const std::string_view b = text.buffered();
        const bool ends = text.ended();
        std::size_t n = std::min(b.size(), most);
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
            text.exchange_buffer(chunk);
            BodyPiece p;
            p.first = b.data();
            p.last = b.data() + n;
            p.runaway = runaway;
            return p;
        }
        text.read_more();
    }
}

void parse_piece(BodyPiece &p, double *out, std::size_t max, ElevationFigures *figures) {
    p.count = 0;
    p.bad = p.runaway;
    if (p.runaway) {
        p.bad_word = {p.first, p.text_bytes()};
        return;
    }
    // Without out, the values go through a small block of their own.
    constexpr std::size_t batch = 2048;
    double scratch[batch];
    try {
        const char *from = p.first;
        while (p.count < max) {
            double *const to = out != nullptr ? out + p.count : scratch;
            const std::size_t most =
                out != nullptr ? max - p.count : std::min(batch, max - p.count);
            const ParsedWords r = parse_words(from, p.last, to, most, true);
            if (figures != nullptr) add_elevations(*figures, to, r.count);
            p.count += r.count;
            from = r.stop;
            if (r.why != WordsStop::full) {
                p.bad = r.why == WordsStop::not_a_number;
                if (p.bad) p.bad_word = {r.stop, static_cast<std::size_t>(r.word_end - r.stop)};
                break;
            }
        }
    } catch (const std::bad_alloc &) {
        p.out_of_memory = true;
    }
}

BodyPass::BodyPass(bool first_pass)
    : input_(f1, piece_bytes),
      jobs_([this](std::size_t job) { make(static_cast<int>(job % slots)); }) {
    input_.shorten_long_words();
    if (!first_pass) rewind_input();
    header_ = read_ascii_header(input_);
    // The output dialogue may have replaced the cell size: only the size is compared.
    if (!first_pass && (header_.cols != nb_col || header_.lines != nb_lig)) fail_changed_input();
}

void BodyPass::ran_short() {
    check_input_read();
    fail_changed_input();
}

// Reads pieces into the free slots while the pieces in flight may hold fewer
// values than the grid still needs: a text that goes on beyond the grid (a
// pipe whose writer waits) is never read past the piece of its last value.
void BodyPass::read_ahead() {
    while (!ended_ && read_ - taken_ < slots && done_ + in_flight_values_ < total_) {
        const int slot = static_cast<int>(read_ % slots);
        BodyPiece &p = piece_[slot];
        p = next_piece(input_, chunk_[slot], piece_most_);
        if (p.first == p.last) {
            ended_ = true;
            return;
        }
        most_[slot] = std::max<std::size_t>(1, (p.text_bytes() + 1) / 2);
        in_flight_values_ += most_[slot];
        ++read_;
        jobs_.add();
    }
}

std::size_t BodyPass::next() {
    while (done_ < total_) {
        if (held_ && !left_over()) { // the caller is done with the current piece
            held_ = false;
            ++taken_;
        }
        const std::size_t n = held_ ? take_left_over() : take_oldest();
        done_ += n;
        if (n > 0) return n;
    }
    return 0;
}

// The values of the oldest piece in flight, once it is made. Its slot stays
// the caller's until it comes back for more and the piece's words are all made.
std::size_t BodyPass::take_oldest() {
    read_ahead();
    if (read_ == taken_) {
        stop();
        ran_short();
    }
    current_ = static_cast<int>(taken_ % slots);
    jobs_.wait_for(taken_);
    held_ = true;
    in_flight_values_ -= most_[current_];
    if (piece_[current_].troubled()) stop(); // nothing runs beside a failure
    if (piece_[current_].out_of_memory) fail_out_of_memory();
    return take(current_);
}

AsciiValuePass::AsciiValuePass() : BodyPass(false) {
    for (auto &values : values_)
        values.reset(new double[piece_values]);
    start();
}

void AsciiValuePass::make(int slot) {
    parse_piece(piece(slot), values_[slot].get(), piece_values, nullptr);
}

std::size_t AsciiValuePass::take(int slot) {
    const BodyPiece &p = piece(slot);
    const auto n = static_cast<std::size_t>(std::min<unsigned long long>(p.count, left()));
    if (n < left() && p.bad) fail_changed_input();
    return n;
}
