// The input elevations as one stream, read a block of cells at a time in line
// order, whatever the input form: raw samples are read again from the file for
// each pass, an ASCII grid's values are parsed again from its text.
#pragma once
#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "dem/ascii_body.hpp"
#include "run/input_passes.hpp"

// The output of every 16-bit sample value: through the convert's whole-block
// path where it has one (the same results, at a fraction of the cost, which a
// small tile would otherwise pay in full).
template <class T, class Convert>
std::vector<T> sample_table(const Convert &convert, const UnitFactor &unit) {
    constexpr std::size_t values = 65536;
    std::vector<T> table(values);
    if constexpr (requires(const std::int32_t *in, T *o) { convert.samples(in, values, o); }) {
        std::vector<std::int32_t> samples(values);
        std::iota(samples.begin(), samples.end(), 0);
        convert.samples(samples.data(), values, table.data());
    } else {
        for (std::size_t s = 0; s < values; ++s)
            table[s] = convert(sample_to_metres_fast(static_cast<std::int32_t>(s), unit));
    }
    return table;
}

// One pass over the input elevations: sink(cells, n) receives consecutive
// blocks of the cells (its own to change), first line first, each cell turned
// by convert, a pure function of its elevation in metres (so a 16-bit raster
// has it worked out once per sample value). A convert that also has samples(in, n, out), giving
// the same results from 32-bit raw samples, is handed whole blocks of them.
template <class T, class Convert, class Sink> void for_each_block(Convert convert, Sink sink) {
    // Not zero-filled: every cell is written before the sink sees it, and pages
    // never touched cost nothing.
    const std::unique_ptr<T[]> out(new T[block_cells]);
    if (open_ascii_OK) {
        if (!grid_has_cells()) return;
        AsciiValuePass values;
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
        const std::vector<T> by_sample = sample_table<T>(convert, unit);
        while (const std::size_t n = next_samples()) {
            const unsigned short *const in = short_samples();
            for (std::size_t k = 0; k < n; ++k)
                out[k] = by_sample[in[k]];
            sink(out.get(), n);
        }
    } else {
        while (const std::size_t n = next_samples()) {
            const int *const in = wide_samples();
            if constexpr (requires(T * o) { convert.samples(in, n, o); }) {
                convert.samples(in, n, out.get());
            } else {
                for (std::size_t k = 0; k < n; ++k)
                    out[k] = convert(sample_to_metres_fast(in[k], unit));
            }
            sink(out.get(), n);
        }
    }
}
