// An ASCII grid's body turned straight into the output text, the words
// raised to the base level, a piece at a time in line order: the pieces are
// made on both processors while the caller writes the text of those made.
#pragma once
#include <memory>
#include <string_view>

#include "dem/ascii_body.hpp"
#include "number/raised_words.hpp"

class RaisedTextPass : public BodyPass {
  public:
    explicit RaisedTextPass(const BaseText &base);
    ~RaisedTextPass() { stop(); }
    // The text of the values next() counted.
    std::string_view text() const { return {text_[current()].get(), text_size_[current()]}; }

  private:
    void make(int slot) override;
    std::size_t take(int slot) override;
    bool left_over() const override;
    std::size_t take_left_over() override;
    void fit_pieces(const BodyPiece &p, std::size_t text_size);

    const BaseText &base_;
    std::unique_ptr<char[]> text_[slots];
    std::size_t text_size_[slots] = {};
    BodyPiece rest_; // words of the current slot's piece its text had no space for
};
