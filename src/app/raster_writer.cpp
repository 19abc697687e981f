// The raw raster writer: the unit question, the output range,
// the samples truncated from exact products, the descriptor and the raster.
#include <cstdint>

#include "dem/companions.hpp"
#include "dem/dem_files.hpp"
#include "dem/descriptor.hpp"
#include "dem/elevation_blocks.hpp"
#include "dem/sample_convert.hpp"
#include "number/byte_order.hpp"
#include "number/extended_arith.hpp"
#include "number/figures.hpp"
#include "platform/progress.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
const double output_factors[4] = {1.0, 10.0, 100.0, 1000.0};

OutFile f2d; // the output descriptor

// An output sample of width T from an elevation: the exact product of the
// raised elevation and the factor, truncated toward zero, its low 16 or 32
// bits; and the same from whole blocks of 32-bit raw samples.
template <class T> struct ToOutputSample {
    SampleConversion c;
    T operator()(double v) const {
        return narrow<T>(metres_to_sample_integer(raised(v, c.base), c.factor));
    }
    void samples(const std::int32_t *in, std::size_t n, T *out) const {
        output_samples(in, n, c, out);
    }
};

// Writes the output samples, one pass over the input.
template <class T> void write_samples(std::uint64_t factor) {
    Progress progress("writing " + nomim2, grid_cells());
    for_each_block<T>(ToOutputSample<T>{{input_unit_factor(), new_dtab_min_in, factor}},
                      [&progress](T *samples, std::size_t n) {
                          swap_little_endian(samples, n);
                          f2.write(samples, n * sizeof(T));
                          progress.advance(n);
                      });
}
} // namespace

// Reads input_figures, new_dtab_min_in, nb_lig, nb_col, itype_out, nomim2, nomdescr2,
// dpix_size; sets val and the output files (raster, descriptor, header and the
// coordinate system where the input has one), written beside their names and
// renamed when all are complete.
void raster_saving() {
    const Range out = raised_range(input_figures, new_dtab_min_in);
    double dtab_min_out = out.min, dtab_max_out = out.max;
    say("\n\n\tModified dynamic scale : ");
    say("\n\t\tMin. = %lf\n\t\tMax. = %lf ", dtab_min_out, dtab_max_out);

    // An answer below 0 is asked again: no unit factor belongs to it.
    const int dyn_scale_out = ask_unit("\n\n\tDynamic hypsometric scale out :", "the output unit");
    const double coef_out = output_factors[dyn_scale_out];
    dtab_min_out = extended_to_double(extended_mul(dtab_min_out, coef_out));
    dtab_max_out = extended_to_double(extended_mul(dtab_max_out, coef_out));
    const int valmin = low32(truncate_double(dtab_min_out));
    const int valmax = low32(truncate_double(dtab_max_out));

    val = sample_bytes(itype_out);

    require_space(nomim2, grid_cells(), static_cast<unsigned>(val), false);
    if (!f2.open(nomim2)) fail("cannot create " + nomim2 + " (" + f2.error() + ")");
    if (!f2d.open(nomdescr2)) fail("cannot create " + nomdescr2 + " (" + f2d.error() + ")");
    f2d.write_text(descriptor_sizes(nb_lig, nb_col, val) +
                   descriptor_range(valmin, valmax, pixel_size_metres(dpix_size)));
    write_raster_header();
    const bool with_projection = copy_projection();

    const auto factor = static_cast<std::uint64_t>(coef_out);
    if (itype_out == 0)
        write_samples<std::uint16_t>(factor);
    else
        write_samples<std::int32_t>(factor);
    finish_input();
    // Every file complete before any takes its name: a descriptor or header must
    // never stand beside a raster it doesn't describe.
    publish({&f2, &f2d, &f2h, &f2prj});
    for (const OutFile *f : {&f2, &f2d, &f2h})
        note_file_written(f->name());
    if (with_projection) note_file_written(f2prj.name());
}
