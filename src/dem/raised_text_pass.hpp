// An ASCII grid's body turned straight into the output text, the words
// raised to the base level, a block at a time in line order: each piece in
// two halves on two threads while the caller writes the text before.
#pragma once
#include <string_view>
#include <vector>

#include "dem/ascii_body.hpp"
#include "number/raised_words.hpp"

class RaisedTextPass : public BodyPass {
  public:
    explicit RaisedTextPass(const BaseText &base);
    ~RaisedTextPass() { wait(); }
    // The text of the block next() counted: text(0) followed by text(1).
    std::string_view text(int half) const {
        return {text_[current()][half].data(), text_size_[current()][half]};
    }

  private:
    void make(int slot, std::size_t max) override;
    std::size_t take(int slot) override;
    bool left_over() const override;
    std::size_t take_left_over(std::size_t max) override;

    const BaseText &base_;
    std::vector<char> text_[2][2];
    std::size_t text_size_[2][2] = {};
    BodyPiece second_[2]; // the second half of each slot's piece
    BodyPiece rest_;      // words of the current slot's piece its text had no space for
    HelperThread second_helper_;
};
