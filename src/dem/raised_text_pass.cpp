// The raised output text of an ASCII grid, made from the input's words.
#include "dem/raised_text_pass.hpp"

#include <algorithm>
#include <cstdint>
#include <new>

#include "run/ask.hpp"

namespace {
// The size of each piece's text, fixed whatever the words: the text of short
// words (up to 4.5 times as long as they are) fits, and longer texts are made
// in turns.
constexpr std::size_t text_bytes = 3 * piece_bytes;

// Writes the raised text of a piece's words at out, at most max of them and
// as many as it holds; the count and the size of the text in p and size, and
// in p.rest where the words out had no space for begin (null when none is).
void raise_piece(BodyPiece &p, const BaseText &base, std::size_t max, char *out,
                 std::size_t &size) {
    size = 0;
    p.count = 0;
    p.rest = nullptr;
    if (p.runaway) {
        p.bad = true;
        return;
    }
    try {
        char *const end = out + text_bytes;
        const RaisedWords r = raise_words(p.first, p.last, max, base, out, end);
        size = static_cast<std::size_t>(r.out - out);
        p.count = r.count;
        p.bad = r.bad;
        if (!r.bad && r.count < max && r.stop != p.last &&
            static_cast<std::size_t>(end - r.out) < raised_word_max)
            p.rest = r.stop;
    } catch (const std::bad_alloc &) {
        p.out_of_memory = true;
    }
}
} // namespace

RaisedTextPass::RaisedTextPass(const BaseText &base) : BodyPass(false), base_(base) {
    // Not zero-filled: only the pages the texts reach are touched.
    for (auto &text : text_)
        text.reset(new char[text_bytes]);
    start();
}

void RaisedTextPass::make(int slot) {
    raise_piece(piece(slot), base_, SIZE_MAX, text_[slot].get(), text_size_[slot]);
}

// The count of values of a slot's text. The words beyond the grid's last cell
// are not turned into text: the piece is made again, shorter, if it went past.
std::size_t RaisedTextPass::take(int slot) {
    BodyPiece &p = piece(slot);
    fit_pieces(p, text_size_[slot]);
    if (p.count > left()) {
        raise_piece(p, base_, static_cast<std::size_t>(left()), text_[slot].get(),
                    text_size_[slot]);
        if (p.out_of_memory) fail_out_of_memory();
    }
    if (p.count >= left()) return static_cast<std::size_t>(left());
    if (p.rest != nullptr) { // the words left come next
        rest_ = p;
        rest_.first = p.rest;
    } else if (p.bad) {
        fail_changed_input();
    }
    return p.count;
}

// Words whose text is long (1e308 is written as 316 characters) leave words of
// a piece over, made in turns by this thread alone: the pieces read next are
// cut to what their text has room for, and grow back once their text is short.
void RaisedTextPass::fit_pieces(const BodyPiece &p, std::size_t text_size) {
    constexpr std::size_t smallest = std::size_t{1} << 10;
    if (p.rest != nullptr)
        piece_most_ = std::max(smallest, static_cast<std::size_t>(p.rest - p.first) / 2);
    else if (text_size < text_bytes / 4)
        piece_most_ = std::min(piece_bytes, 2 * piece_most_);
}

bool RaisedTextPass::left_over() const {
    return rest_.first != nullptr;
}

// The text of the words left over, in the current slot's text, from the
// piece's storage, still the current slot's.
std::size_t RaisedTextPass::take_left_over() {
    const int slot = current();
    raise_piece(rest_, base_, static_cast<std::size_t>(left()), text_[slot].get(),
                text_size_[slot]);
    if (rest_.out_of_memory || (rest_.bad && rest_.count < left())) {
        stop();
        if (rest_.out_of_memory) fail_out_of_memory();
        fail_changed_input();
    }
    rest_.first = rest_.rest;
    return rest_.count;
}
