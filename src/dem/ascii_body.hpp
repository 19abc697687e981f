// The body of an ASCII grid cut into pieces at white space, and the passes
// over it: each piece read by the caller, made (parsed, or turned into text)
// by whichever of the caller and a helper thread is free, and taken by the
// caller in line order, several pieces in flight at once.
#pragma once
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "dem/ascii_header.hpp"
#include "number/figures.hpp"
#include "platform/job_line.hpp"
#include "run/input_passes.hpp"
#include "run/text_reader.hpp"

// A piece of the body holds at most this much text unless one word is longer
// (it then holds that word alone). Small enough for the pieces in flight to
// keep both processors busy, large enough for a hand-over to cost little.
inline constexpr std::size_t piece_bytes = std::size_t{1} << 17;
// The most values a piece holds: words one character apart.
inline constexpr std::size_t piece_values = (piece_bytes + 1) / 2;

// A piece of the body's text cut at white space, and what making it gave.
struct BodyPiece {
    const char *first = nullptr, *last = nullptr;
    std::size_t text_bytes() const { return static_cast<std::size_t>(last - first); }
    bool runaway = false; // one word longer than any number: not a number
    std::size_t count = 0;
    bool bad = false;          // a word that isn't a number follows the values read:
    std::string_view bad_word; // that word (a runaway piece: its text)
    bool out_of_memory = false;
    const char *rest = nullptr; // text: where the words left for lack of space begin
    // Whether taking it may end the run.
    bool troubled() const { return bad || out_of_memory || runaway; }
};

// The next piece of the body's text: up to white space (or the end of the
// text), at most most bytes unless one word is longer. Empty once the text
// has ended. In the storage the reader hands over to chunk, valid until chunk
// is given again (a reader whose reads are pieces copies only the partial word
// that follows).
BodyPiece next_piece(TextReader &text, std::vector<char> &chunk, std::size_t most = piece_bytes);

// Parses a piece, at most max values: into out when given, and into figures
// when given. Runs on either thread: it allocates only for rare words, and
// reports running out of memory instead of throwing.
void parse_piece(BodyPiece &p, double *out, std::size_t max, ElevationFigures *figures);

// A pass over the body of f1, a piece at a time in line order. A pass says how
// a piece is made (make, on either thread) and how many of its values it takes
// once made (take, on the caller's).
class BodyPass {
  public:
    // The count of values of the next piece taken, 0 at the end of the grid.
    std::size_t next();

  protected:
    // first_pass: f1 is read from where it stands, and its header kept in
    // header(). Otherwise goes back to the start of f1 (failing if it changed
    // since the first pass) and past its header, which must give the same size.
    explicit BodyPass(bool first_pass);
    ~BodyPass() = default;
    // The last step of a pass's constructor, once the grid's size is known.
    void start() { total_ = grid_cells(); }
    // The first step of a pass's destructor, and of any failure of the pass:
    // waits for the helper and ends it.
    void stop() { jobs_.stop(); }

    const AsciiHeader &header() const { return header_; }
    unsigned long long total() const { return total_; }
    unsigned long long done() const { return done_; }
    unsigned long long left() const { return total_ - done_; }
    int current() const { return current_; } // the slot whose values the caller has
    BodyPiece &piece(int slot) { return piece_[slot]; }

    static constexpr int slots = 8;        // pieces in flight
    std::size_t piece_most_ = piece_bytes; // the size of the pieces read from now on

  private:
    // Makes slot's piece.
    virtual void make(int slot) = 0;
    // How many values of slot's piece, made, the pass takes; fails on a piece
    // that can't give the values the grid still needs (one that ran out of
    // memory has failed before).
    virtual std::size_t take(int slot) = 0;
    // The text ended before the grid did.
    [[noreturn]] virtual void ran_short();
    // Whether words of the current piece are left over, which take_left_over
    // makes here, giving their count.
    virtual bool left_over() const { return false; }
    virtual std::size_t take_left_over() { return 0; }

    void read_ahead();
    std::size_t take_oldest();

    TextReader input_;
    AsciiHeader header_{};
    unsigned long long done_ = 0, total_ = 0;
    // The most values the pieces read and not yet taken may hold.
    unsigned long long in_flight_values_ = 0;
    std::vector<char> chunk_[slots];
    BodyPiece piece_[slots];
    std::size_t most_[slots] = {};     // the most values each slot's piece may hold
    std::size_t read_ = 0, taken_ = 0; // pieces read and taken: piece k is in slot k % slots
    bool ended_ = false;               // the text has ended
    bool held_ = false;                // the current slot is the caller's
    int current_ = 0;
    JobLine jobs_;
};

// The values of the body again, for the raster writer, a piece at a time.
class AsciiValuePass : public BodyPass {
  public:
    AsciiValuePass();
    ~AsciiValuePass() { stop(); }
    // The values of the piece next() counted.
    const double *cells() const { return values_[current()].get(); }

  private:
    void make(int slot) override;
    std::size_t take(int slot) override;

    std::unique_ptr<double[]> values_[slots];
};
