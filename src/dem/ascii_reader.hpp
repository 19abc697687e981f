// The values of an ASCII grid's body read again from the file for the output
// pass, a block at a time in line order. The next block is parsed on a second
// thread while the caller works on the one it has.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/helper_thread.hpp"
#include "platform/text_stream.hpp"

// A piece of the body's text cut at white space, and what parsing it gave.
struct BodyPiece {
    const char *first = nullptr, *last = nullptr;
    bool runaway = false; // one word longer than any number: not a number
    std::size_t count = 0;
    bool bad = false; // a word that isn't a number follows the values read
    bool out_of_memory = false;
};

class AsciiValues {
  public:
    // Goes back to the start of f1 (failing if it changed since the first
    // pass) and past its header.
    AsciiValues();
    ~AsciiValues();
    AsciiValues(const AsciiValues &) = delete;
    AsciiValues &operator=(const AsciiValues &) = delete;

    // The count of values of the next block, at cells(); 0 at the end of the grid.
    std::size_t next();
    const double *cells() const { return values_[current_].get(); }

  private:
    bool read_piece(int slot);
    void launch(int slot);

    TextReader text_;
    unsigned long long done_ = 0, total_ = 0;
    std::vector<char> chunk_[2];
    std::unique_ptr<double[]> values_[2];
    BodyPiece piece_[2];
    int current_ = 0;      // the slot whose values the caller has
    int pending_slot_ = 0; // the slot being parsed, when pending_
    bool pending_ = false;
    std::function<void()> job_;
    std::unique_ptr<HelperThread> helper_;
};
