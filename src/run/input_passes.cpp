// Passes over the input file, and block reading of its raw samples.
#include "run/input_passes.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "number/byte_order.hpp"
#include "run/ask.hpp"

namespace {
const double unit_factors[4] = {1.0, 0.1, 0.01, 0.001};

std::unique_ptr<unsigned short[]> jtab; // block buffer of 16-bit samples
std::unique_ptr<int[]> itab;            // block buffer of 32-bit samples
std::uint64_t cells_total = 0;          // cells of the grid
std::uint64_t cells_given = 0;          // cells given so far in this pass
bool file_ended = false;                // the file ended in this pass: the rest is 0

} // namespace

void fail_changed_input() {
    fail(nomim1 + " changed while it was being read (its size or modification time is not what "
                  "it was at the start); nothing is written");
}

void prepare_input_passes() {
    if (!f1.prepare_passes(nomim2))
        fail("cannot make a temporary copy of " + nomim1 + ", which can't be read twice, in " +
             nomim2 + " (" + f1.error() + ")");
}

void rewind_input() {
    if (!f1.unchanged()) fail_changed_input();
    if (!f1.rewind()) fail_input_read(true);
}

void fail_input_read(bool again) {
    if (f1.copy_failed())
        fail("cannot write the temporary copy of " + nomim1 + " in " + nomim2 + " (" + f1.error() +
             ")");
    fail("cannot read " + nomim1 + (again ? " again (" : " (") + f1.error() + ")");
}

void check_input_read() {
    if (f1.failed()) fail_input_read();
}

double input_unit_factor() {
    return unit_factors[dyn_scale >= 0 && dyn_scale <= 3 ? dyn_scale : 0];
}

UnitFactor input_unit() {
    return unit_factor(input_unit_factor());
}

void make_sample_block() {
    if (itype == 0)
        jtab.reset(new unsigned short[block_cells]);
    else
        itab.reset(new int[block_cells]);
}

void release_sample_block() {
    jtab.reset();
    itab.reset();
}

const unsigned short *short_samples() {
    return jtab.get();
}

const int *wide_samples() {
    return itab.get();
}

void start_samples() {
    // Nothing is open after a format answer that loads nothing: no cells.
    cells_total = f1.is_open() ? grid_cells() : 0;
    cells_given = 0;
    file_ended = false;
    if (f1.is_open()) rewind_input();
}

std::size_t next_samples() {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(samples_left(), block_cells));
    if (n == 0) return 0;
    const std::size_t width = itype == 0 ? 2 : 4;
    auto *const bytes =
        itype == 0 ? static_cast<void *>(jtab.get()) : static_cast<void *>(itab.get());
    const std::size_t got = file_ended ? 0 : f1.read(bytes, n * width);
    if (f1.failed()) fail_input_read();
    if (got < n * width) {
        std::memset(static_cast<unsigned char *>(bytes) + got, 0, n * width - got);
        file_ended = true;
    }
    if (itype == 0)
        swap_little_endian(jtab.get(), n);
    else
        swap_little_endian(itab.get(), n);
    cells_given += n;
    return n;
}

bool samples_past_file_end() {
    return file_ended;
}

std::uint64_t samples_left() {
    return cells_total - cells_given;
}

void finish_input() {
    if (f1.is_open() && !f1.unchanged()) fail_changed_input();
    f1.close();
}
