// The ASCII grid reader: the header, then one pass over the body for the
// figures (every value is checked here, so a bad or short body stops the run
// before any question). The output reads the body again (ascii_body.hpp).
#include <memory>
#include <string>

#include "dem/ascii_body.hpp"
#include "dem/ascii_header.hpp"
#include "platform/progress.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
// The first pass over the body: every value read, checked and taken into
// input_figures, with the stage's line count every 100 lines.
class FirstPass : public BodyPass {
  public:
    FirstPass() : BodyPass(true) {}
    ~FirstPass() { stop(); }
    // Takes the grid's size from the header, then reads every value.
    void run();

  private:
    void make(int slot) override;
    std::size_t take(int slot) override;
    [[noreturn]] void ran_short() override;
    // A word that isn't a number comes next: its failure.
    bool left_over() const override;
    std::size_t take_left_over() override;
    void say_lines();
    [[noreturn]] void not_a_number(const BodyPiece &p) const;

    long long next_line_ = 100; // the next progress line
    // The line count is the stage's own progress on standard output.
    std::unique_ptr<Progress> progress_;
    ElevationFigures figures_[slots]; // of each slot's piece
    const BodyPiece *failing_ = nullptr;
};

void FirstPass::run() {
    nb_col = header().cols;
    nb_lig = header().lines;
    X_min = header().x;
    Y_min = header().y;
    dpix_size = header().cell;
    start();
    progress_ = std::make_unique<Progress>("reading " + nomim1, total(), true);
    while (const std::size_t n = next()) {
        progress_->advance(n);
        say_lines();
    }
    check_input_read();
}

void FirstPass::make(int slot) {
    figures_[slot] = ElevationFigures{};
    parse_piece(piece(slot), nullptr, SIZE_MAX, &figures_[slot]);
}

// Takes the values of a piece in line order; the last piece may hold more
// than the grid needs, whose figures are then made again from those it
// gives. A word that isn't a number fails the run once the values before it
// are taken (and their lines counted).
std::size_t FirstPass::take(int slot) {
    BodyPiece &p = piece(slot);
    ElevationFigures &figures = figures_[slot];
    if (p.count > left()) {
        BodyPiece shorter = p;
        figures = ElevationFigures{};
        parse_piece(shorter, nullptr, static_cast<std::size_t>(left()), &figures);
        if (shorter.out_of_memory) fail_out_of_memory();
    }
    if (p.count < left() && p.bad) failing_ = &p;
    add_figures(input_figures, figures);
    return static_cast<std::size_t>(std::min<unsigned long long>(p.count, left()));
}

bool FirstPass::left_over() const {
    return failing_ != nullptr;
}

std::size_t FirstPass::take_left_over() {
    not_a_number(*failing_);
}

// A body with fewer values than the header announces ends the run: repeating
// or inventing values would corrupt the DEM.
void FirstPass::ran_short() {
    check_input_read();
    fail(nomim1 + " holds " + std::to_string(done()) + " values where its header (" +
         std::to_string(nb_lig) + " lines x " + std::to_string(nb_col) + " columns) announces " +
         std::to_string(total()));
}

void FirstPass::say_lines() {
    const auto columns = static_cast<unsigned long long>(nb_col);
    for (; next_line_ < nb_lig && static_cast<unsigned long long>(next_line_) * columns <= done();
         next_line_ += 100)
        say("\tline %d                   \r", static_cast<int>(next_line_));
}

void FirstPass::not_a_number(const BodyPiece &p) const {
    if (done() == 0 && !header().fault.empty()) fail(header().fault);
    const auto columns = static_cast<unsigned long long>(nb_col);
    fail(nomim1 + ": value " + std::to_string(done() + 1) + " (line " +
         std::to_string(done() / columns + 1) + ", column " + std::to_string(done() % columns + 1) +
         ") is \"" + clipped(p.bad_word) + "\", not a number");
}
} // namespace

// Reads f1; sets nb_col, nb_lig, X_min, Y_min, dpix_size and input_figures.
void ascii_lecture() {
    say("\n");
    prepare_input_passes();
    FirstPass().run();
}
