// The raised output text of an ASCII grid, made from the input's words.
#include "dem/raised_text_pass.hpp"

#include <new>

#include "run/ask.hpp"

namespace {
// The size of each half of a piece's text, fixed whatever the words: the
// text of a half of short words (up to 4.5 times as long as they are) fits,
// and longer texts are made in turns.
constexpr std::size_t half_text_bytes = 3 * piece_bytes;

// Writes the raised text of a piece's words into out, at most max of them and
// as many as it holds; the count and the size of the text in p and size, and
// in p.rest where the words out had no space for begin (null when none is).
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
            static_cast<std::size_t>(end - r.out) < raised_word_max)
            p.rest = r.stop;
    } catch (const std::bad_alloc &) {
        p.out_of_memory = true;
    }
}
} // namespace

RaisedTextPass::RaisedTextPass(const BaseText &base) : base_(base) {
    for (auto &slot : text_)
        for (auto &half : slot)
            half.resize(half_text_bytes);
    start();
}

// The two halves of the piece at once, the second on a thread of its own.
void RaisedTextPass::make(int slot, std::size_t max) {
    BodyPiece &first = piece_[slot], &second = second_[slot];
    second = first;
    second.first = first.last = half_way(first);
    second.runaway = false;
    run_halves(
        &second_helper_,
        [&] { raise_piece(first, base_, max, text_[slot][0], text_size_[slot][0]); },
        [&] { raise_piece(second, base_, max, text_[slot][1], text_size_[slot][1]); });
}

// The count of values of a slot's text: the first half's, then as many of the
// second half's as the grid still needs. The words beyond the grid's last cell
// are not turned into text: the second half is made again, shorter, if it went past.
std::size_t RaisedTextPass::take(int slot) {
    BodyPiece &first = piece_[slot], &second = second_[slot];
    if (first.out_of_memory || second.out_of_memory) fail_out_of_memory();
    if (first.count >= left()) {
        text_size_[slot][1] = 0;
        return static_cast<std::size_t>(left());
    }
    if (first.rest != nullptr) { // the words left, the second half's included, come next
        text_size_[slot][1] = 0;
        rest_ = first;
        rest_.first = first.rest;
        rest_.last = second.last;
        return first.count;
    }
    if (first.bad) fail_changed_input();
    const auto rest = static_cast<std::size_t>(left() - first.count);
    if (second.count > rest || (second.bad && second.count == rest)) {
        second.first = first.last; // made again, as far as the grid goes
        raise_piece(second, base_, rest, text_[slot][1], text_size_[slot][1]);
        if (second.out_of_memory) fail_out_of_memory();
    }
    if (second.count < rest && second.bad) fail_changed_input();
    if (second.rest != nullptr) {
        rest_ = second;
        rest_.first = second.rest;
    }
    return first.count + second.count;
}

bool RaisedTextPass::left_over() const {
    return rest_.first != nullptr;
}

// The text of the words left over, in the current slot's text, from the
// piece's storage, still the current slot's.
std::size_t RaisedTextPass::take_left_over(std::size_t max) {
    const int slot = current();
    raise_piece(rest_, base_, max, text_[slot][0], text_size_[slot][0]);
    text_size_[slot][1] = 0;
    if (rest_.out_of_memory) fail_out_of_memory();
    if (rest_.bad && rest_.count < max) fail_changed_input();
    rest_.first = rest_.rest;
    return rest_.count;
}
