// The ASCII grid reader: the header, then one pass over the body for the
// figures (every value is checked here, so a bad or short body stops the run
// before any question). The output reads the body again (ascii_body.hpp).
#include <memory>
#include <string>
#include <utility>

#include "dem/ascii_body.hpp"
#include "dem/ascii_header.hpp"
#include "platform/progress.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
// The reading thread's share of a piece it parses with the helper, in percent:
// reading the text costs it about a tenth of its half.
constexpr std::size_t reader_share = 45;

// The first pass over the body: every value read, checked and taken into
// input_figures, with the stage's line count every 100 lines.
class FirstPass {
  public:
    FirstPass(TextReader &text, std::string header_fault)
        : text_(text), header_fault_(std::move(header_fault)),
          progress_("reading " + nomim1, total_, true) {}
    void run();

  private:
    BodyPiece next_whole();
    void take_piece(const BodyPiece &whole);
    void take(BodyPiece &p, const double *values, ElevationFigures &figures);
    void say_lines();
    [[noreturn]] void not_a_number(const BodyPiece &p) const;

    TextReader &text_;
    const std::string header_fault_; // what a failure at the first value says, if anything
    const unsigned long long total_ = grid_cells();
    unsigned long long done_ = 0; // values read so far
    long long next_line_ = 100;   // the next progress line
    // The line count is the stage's own progress on standard output.
    Progress progress_;
    std::unique_ptr<double[]> values_;
    std::unique_ptr<HelperThread> helper_;
};

void FirstPass::run() {
    while (done_ < total_)
        take_piece(next_whole());
    check_input_read();
}

// The next piece of the body, or a failure: the body holds too few values.
BodyPiece FirstPass::next_whole() {
    const BodyPiece whole = next_piece(text_, nullptr);
    if (whole.first != whole.last) return whole;
    check_input_read();
    fail(nomim1 + " holds " + std::to_string(done_) + " values where its header (" +
         std::to_string(nb_lig) + " lines x " + std::to_string(nb_col) + " columns) announces " +
         std::to_string(total_));
}

// Parses a piece and takes its values. Large pieces are parsed in two parts
// cut at white space, one on each processor; this thread, which also reads,
// takes the smaller one. Each part's values fit in its share of the values' block.
void FirstPass::take_piece(const BodyPiece &whole) {
    if (!values_) values_.reset(new double[block_cells]);
    const char *const mid = half_way(whole, reader_share);
    BodyPiece first = whole, second;
    first.last = second.first = mid;
    second.last = whole.last;
    double *const first_values = values_.get();
    double *const second_values = values_.get() + (mid - whole.first + 1) / 2;
    const std::size_t max = block_of(total_ - done_);
    ElevationFigures first_figures, second_figures;
    const bool split = second.first != second.last;
    if (split && !helper_) helper_ = std::make_unique<HelperThread>();
    run_halves(
        split ? helper_.get() : nullptr,
        [&] { parse_piece(first, first_values, max, &first_figures); },
        [&] { parse_piece(second, second_values, max, &second_figures); });
    const unsigned long long before = done_;
    take(first, first_values, first_figures);
    if (done_ < total_) take(second, second_values, second_figures);
    progress_.advance(done_ - before);
}

// Takes the values of a piece in line order; the last piece may hold more
// than the grid needs. A body with fewer values than the header announces ends
// the run: repeating or inventing values would corrupt the DEM.
void FirstPass::take(BodyPiece &p, const double *values, ElevationFigures &figures) {
    if (p.out_of_memory) fail_out_of_memory();
    std::size_t n = p.count;
    if (n > total_ - done_) {
        n = static_cast<std::size_t>(total_ - done_);
        figures = ElevationFigures{};
        for (std::size_t k = 0; k < n; ++k)
            add_elevation(figures, values[k]);
    }
    add_figures(input_figures, figures);
    done_ += n;
    say_lines();
    if (done_ < total_ && p.bad) not_a_number(p);
}

void FirstPass::say_lines() {
    const auto columns = static_cast<unsigned long long>(nb_col);
    for (; next_line_ < nb_lig && static_cast<unsigned long long>(next_line_) * columns <= done_;
         next_line_ += 100)
        say("\tline %d                   \r", static_cast<int>(next_line_));
}

void FirstPass::not_a_number(const BodyPiece &p) const {
    if (done_ == 0 && !header_fault_.empty()) fail(header_fault_);
    const auto columns = static_cast<unsigned long long>(nb_col);
    fail(nomim1 + ": value " + std::to_string(done_ + 1) + " (line " +
         std::to_string(done_ / columns + 1) + ", column " + std::to_string(done_ % columns + 1) +
         ") is \"" + clipped({p.first, p.text_bytes()}) + "\", not a number");
}
} // namespace

// Reads f1; sets nb_col, nb_lig, X_min, Y_min, dpix_size and input_figures.
void ascii_lecture() {
    say("\n");
    prepare_input_passes();
    TextReader text(f1);
    text.shorten_long_words();
    const AsciiHeader h = read_ascii_header(text);
    nb_col = h.cols;
    nb_lig = h.lines;
    X_min = h.x;
    Y_min = h.y;
    dpix_size = h.cell;
    FirstPass(text, h.fault).run();
}
