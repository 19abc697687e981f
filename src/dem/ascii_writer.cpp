// The ASCII grid writer: header, then every output elevation as "%lf\t", the
// whole body on one text line.
#include <cmath>
#include <memory>
#include <string>

#include "dem/companions.hpp"
#include "dem/elevation_blocks.hpp"
#include "dem/raised_text_pass.hpp"
#include "number/figures.hpp"
#include "number/number_text.hpp"
#include "number/text_format.hpp"
#include "platform/job_line.hpp"
#include "platform/progress.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
// The "%lf\t" texts of n cells at out; returns their end.
char *put_cells(const double *cells, std::size_t n, char *out) {
    for (std::size_t k = 0; k < n; ++k)
        out = put_lf_tab(out, cells[k]);
    return out;
}

// The longest text of a cell below 2^33 in magnitude (or no number at all),
// with its tab: "-8589934591.999999\t".
constexpr std::size_t short_text = 19;

bool all_short(const double *cells, std::size_t n) {
    bool is_short = true;
    for (std::size_t k = 0; k < n; ++k)
        is_short &= !(std::fabs(cells[k]) >= short_lf_limit);
    return is_short;
}

// Large blocks of short texts, made in two halves at once on both processors
// (two jobs of a line a block) and written in their order.
class HalvedBlocks {
  public:
    HalvedBlocks() : line_([this](std::size_t job) { make(job % 2); }) {}

    void write(const double *cells, std::size_t n) {
        cells_ = cells;
        n_ = n;
        line_.add();
        line_.add();
        jobs_ += 2;
        line_.wait_for(jobs_ - 1);
        for (int h = 0; h < 2; ++h)
            f2.write(text_[h].get(), static_cast<std::size_t>(end_[h] - text_[h].get()));
    }

  private:
    void make(int h) {
        const std::size_t half = n_ / 2;
        end_[h] = h == 0 ? put_cells(cells_, half, text_[0].get())
                         : put_cells(cells_ + half, n_ - half, text_[1].get());
    }

    static constexpr std::size_t room = (block_cells / 2 + 1) * short_text;
    // Not zero-filled: only the pages the texts reach are touched.
    std::unique_ptr<char[]> text_[2] = {std::unique_ptr<char[]>(new char[room]),
                                        std::unique_ptr<char[]>(new char[room])};
    char *end_[2] = {};
    const double *cells_ = nullptr;
    std::size_t n_ = 0, jobs_ = 0;
    JobLine line_; // last: its helper ends before what it uses goes
};

// An ASCII grid's text becomes the output text word by word, on both
// processors while the text made before goes to the file.
void write_raised_text() {
    if (!grid_has_cells()) return;
    const BaseText base = base_text(new_dtab_min_in);
    Progress progress("writing " + nomim2, grid_cells());
    RaisedTextPass pass(base);
    while (const std::size_t n = pass.next()) {
        progress.advance(n);
        f2.write(pass.text().data(), pass.text().size());
    }
}

// A raw raster's elevations, converted, as text.
void write_cell_texts() {
    // The body holds no line feed, so its text goes to the file as it is made,
    // in blocks of about 1 MiB, large blocks of short texts in halves.
    constexpr std::size_t block = std::size_t{1} << 20;
    constexpr std::size_t two_way = 8192; // cells: smaller blocks aren't worth a hand-over
    // Buffers are not zero-filled: only the pages the texts reach are touched.
    const std::unique_ptr<char[]> text(new char[block + lf_max_chars + 1]);
    std::unique_ptr<HalvedBlocks> halved;
    char *end = text.get();
    const auto flush = [&] {
        f2.write(text.get(), static_cast<std::size_t>(end - text.get()));
        end = text.get();
    };
    const double base = new_dtab_min_in;
    Progress progress("writing " + nomim2, grid_cells());
    for_each_block<double>([base](double v) { return raised(v, base); },
                           [&](const double *cells, std::size_t n) {
                               progress.advance(n);
                               if (n >= two_way && all_short(cells, n)) {
                                   if (!halved) halved = std::make_unique<HalvedBlocks>();
                                   flush();
                                   halved->write(cells, n);
                                   return;
                               }
                               for (std::size_t k = 0; k < n; ++k) {
                                   end = put_lf_tab(end, cells[k]);
                                   if (static_cast<std::size_t>(end - text.get()) >= block) flush();
                               }
                           });
    flush();
}
} // namespace

// Reads nb_col, nb_lig, open_ascii_OK, X_min, Y_min, dpix_size, new_dtab_min_in and the
// input elevations; asks the corner when the input was a raw raster; writes and completes f2,
// with the input's coordinate system beside it where it has one.
void ascii_saving() {
    f2.write_text(format_text("ncols %d\nnrows %d\n", {nb_col, nb_lig}));
    if (!open_ascii_OK) {
        say("\n\n\tUTM Coordinates : ");
        X_min = ask_double("\n\t\tX_min ? ", "the X_min coordinate");
        Y_min = ask_double("\t\tY_min ? ", "the Y_min coordinate");
    }
    f2.write_text(
        format_text("xllcorner %lf\nyllcorner %lf\ncellsize %lf\n", {X_min, Y_min, dpix_size}));
    f2.write_text("nodata_value -9999.9999\n");
    const bool with_projection = copy_projection();

    if (open_ascii_OK)
        write_raised_text();
    else
        write_cell_texts();
    finish_input();
    publish({&f2, &f2prj});
    note_file_written(f2.name());
    if (with_projection) note_file_written(f2prj.name());
}
