// The body of an ASCII grid cut into pieces at white space, and the passes
// that read it again after the first (its values here; its raised text beside
// the ASCII writer): while the caller works on one piece, the next is made on
// the helper thread.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "number/figures.hpp"
#include "platform/helper_thread.hpp"
#include "run/input_passes.hpp"
#include "run/text_reader.hpp"

// A piece of the body holds at most this much text unless one word is longer:
// it then has no more values than a block has cells.
inline constexpr std::size_t piece_bytes = 2 * block_cells - 2;

// A piece of the body's text cut at white space, and what parsing it gave.
struct BodyPiece {
    const char *first = nullptr, *last = nullptr;
    std::size_t text_bytes() const { return static_cast<std::size_t>(last - first); }
    bool runaway = false; // one word longer than any number: not a number
    std::size_t count = 0;
    bool bad = false; // a word that isn't a number follows the values read
    bool out_of_memory = false;
    const char *rest = nullptr; // text: where the words left for lack of space begin
};

// The next piece of the body's text: up to white space (or the end of the
// text), at most piece_bytes unless one word is longer. Empty once the text
// has ended. In the reader's buffer, valid until the next read; or, given
// chunk, in the storage the reader hands over to chunk, valid until chunk is
// given again (a reader whose reads are pieces then copies only the partial
// word that follows).
BodyPiece next_piece(TextReader &text, std::vector<char> *chunk);

// Where a piece is cut in two parts at white space, the first about percent
// of it; its end for a piece too small to share or made of one word.
const char *half_way(const BodyPiece &whole, std::size_t percent = 50);

// Parses a piece into out (at most max values), and takes them into figures
// when given. Runs on either thread: it allocates only for rare words, and
// reports running out of memory instead of throwing.
void parse_piece(BodyPiece &p, double *out, std::size_t max, ElevationFigures *figures);

// A pass over the body of f1 after the first, a block of values at a time. A
// pass says how a piece is made (make, on the helper thread or here) and how
// many of its values it takes once made.
class BodyPass {
  public:
    BodyPass(const BodyPass &) = delete;
    BodyPass &operator=(const BodyPass &) = delete;

    // The count of values of the next block, 0 at the end of the grid.
    std::size_t next();

  protected:
    // Goes back to the start of f1 (failing if it changed since the first
    // pass) and past its header.
    BodyPass();
    ~BodyPass() = default;
    // The last step of a pass's constructor: reads the first piece and starts making it.
    void start();
    // The first step of a pass's destructor: waits for the piece being made.
    void wait();
    unsigned long long left() const { return total_ - done_; }
    int current() const { return current_; } // the slot whose values the caller has

    BodyPiece piece_[2];

  private:
    // Makes slot's piece, at most max values of it.
    virtual void make(int slot, std::size_t max) = 0;
    // How many values of slot's piece, made, the pass takes; fails on a piece
    // that can't give the values the grid still needs.
    virtual std::size_t take(int slot) = 0;
    // Whether words of the current piece are left over, which take_left_over
    // makes here, at most max of them, giving their count.
    virtual bool left_over() const { return false; }
    virtual std::size_t take_left_over(std::size_t) { return 0; }

    bool read_piece(int slot);
    void launch(int slot);
    std::size_t take_made();
    std::size_t take_rest();

    TextReader input_;
    unsigned long long done_ = 0, total_ = 0;
    std::vector<char> chunk_[2];
    int current_ = 0;
    int pending_slot_ = 0; // the slot being made, when pending_
    bool pending_ = false;
    std::size_t pending_words_ = 0; // the most values the pending slot's piece can hold
    std::function<void()> job_;
    HelperThread helper_;
};

// The values of the body again, for the raster writer, a block at a time.
class AsciiValuePass : public BodyPass {
  public:
    AsciiValuePass();
    ~AsciiValuePass() { wait(); }
    // The values of the block next() counted.
    const double *cells() const { return values_[current()].get(); }

  private:
    void make(int slot, std::size_t max) override;
    std::size_t take(int slot) override;

    std::unique_ptr<double[]> values_[2];
};
