// The raw raster reader: samples of f1, their range, the unit question, the
// elevations in metres, and the completion of a created descriptor.
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "dem/extended_arith.hpp"
#include "dem/number_text.hpp"
#include "grid/grid_alloc.hpp"
#include "platform/console.hpp"

namespace {
// Reads one line of samples of `bytes` bytes each into row. A short file
// leaves the rest of the row at 0; a read error ends the run.
void read_line(void *row, std::size_t bytes) {
    const std::size_t size = bytes * static_cast<std::size_t>(nb_col);
    std::fread(row, 1, size, f1);
    if (std::ferror(f1)) fail("cannot read " + nomim1 + " (" + system_error_text(errno) + ")");
}

// Samples are little-endian on disk.
template <class T> void to_host_order(T *row) {
    if constexpr (std::endian::native == std::endian::big) {
        for (int j = 0; j < nb_col; ++j) {
            unsigned char b[sizeof(T)];
            std::memcpy(b, &row[j], sizeof(T));
            for (std::size_t k = 0; k < sizeof(T) / 2; ++k)
                std::swap(b[k], b[sizeof(T) - 1 - k]);
            std::memcpy(&row[j], b, sizeof(T));
        }
    }
}

const double unit_factors[4] = {1.0, 0.1, 0.01, 0.001};
} // namespace

// Reads nb_lig, nb_col, itype, descr_OK, dpix_size and f1; sets the input
// elevations in metres, and completes and closes a created descriptor f1d.
// 16-bit samples stay in jtab, with the metres and the cell count of each
// sample value in tables; 32-bit samples are held in itab until dtab_in is made.
void dem_lecture() {
    const int lines = grid_has_cells() ? nb_lig : 0;

    // The range starts at 1000000 and 0, so it never passes them inward.
    int min = 1000000, max = 0;
    if (itype == 0) {
        jtab = obtain_grid(usmatrice, "input grid");
        // Four partial counts, so that runs of one value (the collar) don't
        // wait on the previous increment of the same counter.
        std::vector<std::uint64_t> cells(4 * 65536);
        for (int i = 0; i < lines; ++i) {
            read_line(jtab[i], 2);
            to_host_order(jtab[i]);
            const unsigned short *row = jtab[i];
            int j = 0;
            for (; j + 4 <= nb_col; j += 4) {
                ++cells[row[j]];
                ++cells[65536 + row[j + 1]];
                ++cells[2 * 65536 + row[j + 2]];
                ++cells[3 * 65536 + row[j + 3]];
            }
            for (; j < nb_col; ++j)
                ++cells[row[j]];
        }
        sample_cells.assign(65536, 0);
        for (int v = 0; v < 65536; ++v) {
            sample_cells[v] =
                cells[v] + cells[65536 + v] + cells[2 * 65536 + v] + cells[3 * 65536 + v];
            if (sample_cells[v] != 0) {
                min = v < min ? v : min;
                max = v > max ? v : max;
            }
        }
    } else {
        dtab_in = obtain_grid(dmatrice, "input grid");
        itab = obtain_grid(imatrice, "32-bit samples");
        for (int i = 0; i < lines; ++i) {
            read_line(itab[i], 4);
            to_host_order(itab[i]);
            const int *row = itab[i];
            for (int j = 0; j < nb_col; ++j) {
                min = row[j] < min ? row[j] : min;
                max = row[j] > max ? row[j] : max;
            }
        }
    }
    std::string range = "\n\n\tInput hypsometric dynamic scale:\n\t\tMin = ";
    append_d(range, min);
    range += "\n\t\tMax = ";
    append_d(range, max);
    range += " ";
    say(range);

    // An answer below 0 is asked again too: it would leave every cell at 0.
    const int dyn_scale = ask_int("\n\n\tAre these values\n\t\t0 ====> in meters"
                                  "\n\t\t1 ====> in decimeters\n\t\t2 ====> in centimeters"
                                  "\n\t\t3 ====> in millimeters\n\t\t",
                                  0, 3, "the unit of the values");
    const double factor = unit_factors[dyn_scale];
    const UnitFactor f = unit_factor(factor);
    if (itype == 0) {
        sample_metres.resize(65536);
        for (std::int32_t v = 0; v < 65536; ++v)
            sample_metres[static_cast<std::size_t>(v)] = sample_to_metres_fast(v, f);
    } else {
        for (int i = 0; i < lines; ++i) {
            const int *in = itab[i];
            double *out = dtab_in[i];
            for (int j = 0; j < nb_col; ++j)
                out[j] = sample_to_metres_fast(in[j], f);
        }
        frimatrice(itab, nb_lig);
        itab = nullptr;
    }

    if (!descr_OK && f1d.is_open()) {
        std::string rest;
        for (int v : {min, max, pixel_size_metres(dpix_size)}) {
            append_d(rest, v);
            rest += '\n';
        }
        f1d.write_text(rest);
        if (!f1d.commit())
            console_error("\ngroundzero: the descriptor " + f1d.name() + " could not be written (" +
                          f1d.error() + ")\n");
        else if (f1d.kept_existing())
            console_error("\ngroundzero: a descriptor " + f1d.name() +
                          " appeared meanwhile; it is kept as it is\n");
    }
}
