// The input elevations as one stream, read a block of cells at a time in line
// order, whatever the input form: raw samples are read again from the file for
// each pass, an ASCII grid's values are parsed again from its text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/state.hpp"
#include "dem/ascii_reader.hpp"
#include "dem/number/extended_arith.hpp"

// Cells per block: the block buffers are this size whatever the grid's.
inline constexpr std::size_t block_cells = std::size_t{1} << 18;

// Raw samples of the input, a block at a time, in jtab (16 bits) or itab
// (32 bits). start_samples begins a pass (failing if the file changed since
// the first); next_samples gives the count of cells of the next block, 0 at
// the end of the grid. Cells beyond the end of a short file are 0.
void start_samples();
std::size_t next_samples();
// Once the file has ended, every cell still to come is 0: how many there are.
bool samples_past_file_end();
std::uint64_t samples_left();
// After the last pass: fails if the file changed, then closes it, so that an
// output may take the input's own name.
void finish_input();

// Before the first pass: an input that can't be read twice (a named pipe) gets
// its temporary copy, or the run fails.
void prepare_input_passes();
// Before every pass after the first: fails if the input changed since it was
// opened, then goes back to its start.
void rewind_input();
// The input is not what it was when the run began: nothing is written.
[[noreturn]] void fail_changed_input();

// The unit factor of the input samples (the unit answer), as a double and taken apart.
double input_unit_factor();
UnitFactor input_unit();

// One pass over the input elevations: sink(cells, n) receives consecutive
// blocks of the cells, first line first, each cell turned by convert, a pure
// function of its elevation in metres (so a 16-bit raster has it worked out
// once per sample value). A convert that also has samples(in, n, out), giving
// the same results from 32-bit raw samples, is handed whole blocks of them.
template <class T, class Convert, class Sink> void for_each_block(Convert convert, Sink sink) {
    // Not zero-filled: every cell is written before the sink sees it, and pages
    // never touched cost nothing.
    const std::unique_ptr<T[]> out(new T[block_cells]);
    if (open_ascii_OK) {
        if (!grid_has_cells()) return;
        AsciiBodyPass values;
        while (const std::size_t n = values.next()) {
            const double *cells = values.cells();
            for (std::size_t k = 0; k < n; ++k)
                out[k] = convert(cells[k]);
            sink(out.get(), n);
        }
        return;
    }
    const UnitFactor unit = input_unit();
    start_samples();
    if (itype == 0) {
        std::vector<T> by_sample(65536);
        for (std::int32_t s = 0; s < 65536; ++s)
            by_sample[static_cast<std::size_t>(s)] = convert(sample_to_metres_fast(s, unit));
        while (const std::size_t n = next_samples()) {
            for (std::size_t k = 0; k < n; ++k)
                out[k] = by_sample[jtab[k]];
            sink(out.get(), n);
        }
    } else {
        while (const std::size_t n = next_samples()) {
            if constexpr (requires(T * o) { convert.samples(itab, n, o); }) {
                convert.samples(itab, n, out.get());
            } else {
                for (std::size_t k = 0; k < n; ++k)
                    out[k] = convert(sample_to_metres_fast(itab[k], unit));
            }
            sink(out.get(), n);
        }
    }
}
