// The body of an ASCII grid in pieces, and the passes after the first over it.
#include "dem/ascii_body.hpp"

#include <algorithm>
#include <new>

#include "dem/ascii_header.hpp"
#include "number/number_text.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
// Pieces shorter than this are parsed by one thread: a hand-over costs more.
constexpr std::size_t two_way_bytes = std::size_t{64} << 10;
} // namespace

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

const char *half_way(const BodyPiece &whole, std::size_t percent) {
    const std::size_t size = whole.text_bytes();
    const char *mid =
        size < two_way_bytes || whole.runaway ? whole.last : whole.first + size / 100 * percent;
    while (mid != whole.last && !is_text_space(*mid))
        ++mid;
    return mid;
}

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

BodyPass::BodyPass() : input_(f1, piece_bytes) {
    input_.shorten_long_words();
    rewind_input();
    // The output dialogue may have replaced the cell size: only the size is compared.
    const AsciiHeader h = read_ascii_header(input_);
    if (h.cols != nb_col || h.lines != nb_lig) fail_changed_input();
    total_ = grid_cells();
}

void BodyPass::start() {
    if (total_ > 0 && read_piece(0)) launch(0);
}

void BodyPass::wait() {
    if (pending_ && helper_.available()) helper_.finish();
    pending_ = false;
}

bool BodyPass::read_piece(int slot) {
    piece_[slot] = next_piece(input_, &chunk_[slot]);
    return piece_[slot].first != piece_[slot].last;
}

void BodyPass::launch(int slot) {
    pending_ = true;
    pending_slot_ = slot;
    pending_words_ = (piece_[slot].text_bytes() + 1) / 2; // words one character apart, at most
    job_ = [this, slot, max = block_of(left())] { make(slot, max); };
    if (helper_.available())
        helper_.start(job_);
    else
        job_();
}

std::size_t BodyPass::next() {
    while (done_ < total_)
        if (const std::size_t n = left_over() ? take_rest() : take_made()) return n;
    return 0;
}

// The values of the piece being made, once it is.
std::size_t BodyPass::take_made() {
    if (!pending_) { // the text ended before the grid did
        check_input_read();
        fail_changed_input();
    }
    const int slot = pending_slot_;
    // The next piece is read while this one is still being made, unless
    // this one may hold the grid's last value.
    const bool read_ahead = done_ + pending_words_ < total_;
    const bool have_next = read_ahead && read_piece(slot ^ 1);
    wait();
    const std::size_t n = take(slot);
    done_ += n;
    current_ = slot;
    // The next piece is made while the caller works on this one (and on its
    // words left, if any: the next piece is then read once they are made).
    if (done_ < total_ && (read_ahead ? have_next : !left_over() && read_piece(slot ^ 1)))
        launch(slot ^ 1);
    return n;
}

// The words the current piece left over, made here while the next piece is
// made on the helper thread.
std::size_t BodyPass::take_rest() {
    const std::size_t n = take_left_over(block_of(left()));
    done_ += n;
    // The next piece, unless it was read ahead already.
    if (!left_over() && !pending_ && done_ < total_ && read_piece(current_ ^ 1))
        launch(current_ ^ 1);
    return n;
}

AsciiValuePass::AsciiValuePass() {
    for (auto &values : values_)
        values.reset(new double[block_cells]);
    start();
}

void AsciiValuePass::make(int slot, std::size_t max) {
    parse_piece(piece_[slot], values_[slot].get(), max, nullptr);
}

std::size_t AsciiValuePass::take(int slot) {
    const BodyPiece &p = piece_[slot];
    if (p.out_of_memory) fail_out_of_memory();
    const auto n = static_cast<std::size_t>(std::min<unsigned long long>(p.count, left()));
    if (n < left() && p.bad) fail_changed_input();
    return n;
}
