// The body of an ASCII grid read again from the file for the output pass, a
// block at a time in line order: as values, or straight as the output text of
// an ASCII grid. The next block is made on a second thread while the caller
// works on the one it has.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "number/raised_words.hpp"
#include "platform/helper_thread.hpp"
#include "run/text_reader.hpp"

// A piece of the body's text cut at white space, and what parsing it gave.
struct BodyPiece {
    const char *first = nullptr, *last = nullptr;
    std::size_t size() const { return static_cast<std::size_t>(last - first); }
    bool runaway = false; // one word longer than any number: not a number
    std::size_t count = 0;
    bool bad = false; // a word that isn't a number follows the values read
    bool out_of_memory = false;
    const char *rest = nullptr; // text: where the words left for lack of room begin
};

class AsciiBodyPass {
  public:
    // Goes back to the start of f1 (failing if it changed since the first
    // pass) and past its header. With raise, blocks are the output text of
    // the values raised to that base level instead of values.
    explicit AsciiBodyPass(const BaseText *raise = nullptr);
    ~AsciiBodyPass();
    AsciiBodyPass(const AsciiBodyPass &) = delete;
    AsciiBodyPass &operator=(const AsciiBodyPass &) = delete;

    // The count of values of the next block, 0 at the end of the grid; they
    // are at cells(), or their text is text(0) followed by text(1).
    std::size_t next();
    const double *cells() const { return values_[current_].get(); }
    std::string_view text(int half) const {
        return {text_[current_][half].data(), text_size_[current_][half]};
    }

  private:
    bool read_piece(int slot);
    void launch(int slot);
    std::size_t take_text(int slot);
    std::size_t take_rest();

    TextReader input_;
    const BaseText *raise_;
    unsigned long long done_ = 0, total_ = 0;
    std::vector<char> chunk_[2];
    std::unique_ptr<double[]> values_[2];
    std::vector<char> text_[2][2];
    std::size_t text_size_[2][2] = {};
    BodyPiece piece_[2];
    BodyPiece second_[2];  // text: the second half of the piece, made by a thread of its own
    BodyPiece rest_;       // text: words of the current slot's piece its room left over
    int current_ = 0;      // the slot whose values the caller has
    int pending_slot_ = 0; // the slot being parsed, when pending_
    bool pending_ = false;
    std::size_t pending_words_ = 0; // the most values the pending slot's piece can hold
    std::function<void()> job_, second_job_;
    std::unique_ptr<HelperThread> helper_, second_helper_;
};
