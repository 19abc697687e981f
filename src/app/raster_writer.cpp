// The raw raster writer: sample width and unit questions, the output range,
// the samples truncated from exact products, the descriptor and the raster.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <vector>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "dem/dem_files.hpp"
#include "dem/extended_arith.hpp"
#include "dem/number_text.hpp"

namespace {
const double output_factors[4] = {1.0, 10.0, 100.0, 1000.0};

// One line of little-endian samples of the chosen width from sample(j), the
// output sample of column j before its width is applied: its low 16 or 32 bits.
template <class Sample> void pack_line(Sample sample, unsigned char *bytes) {
    if (itype_out == 0) {
        for (int j = 0; j < nb_col; ++j) {
            const std::uint16_t v = low16(sample(j));
            bytes[2 * j] = static_cast<unsigned char>(v & 0xFF);
            bytes[2 * j + 1] = static_cast<unsigned char>(v >> 8);
        }
    } else {
        for (int j = 0; j < nb_col; ++j) {
            const auto v = static_cast<std::uint32_t>(low32(sample(j)));
            for (int k = 0; k < 4; ++k)
                bytes[4 * j + k] = static_cast<unsigned char>(v >> (8 * k));
        }
    }
}
} // namespace

// Reads the output elevations, nb_lig, nb_col, nomim2, nomdescr2, dpix_size; sets itype_out,
// val and the two files, written beside their names and renamed when complete.
void raster_saving() {
    itype_out = ask_int(raster_type_menu, INT_MIN, 1, "the output type of DEM raster");
    const int lines = grid_has_cells() ? nb_lig : 0;

    double dtab_min_out = 1.0e7, dtab_max_out = 0.0;
    for_each_output_elevation([&](double v, std::uint64_t) {
        if (dtab_min_out > v) dtab_min_out = v;
        if (dtab_max_out < v) dtab_max_out = v;
    });
    std::string text = "\n\n\tModified dynamic scale : \n\t\tMin. = ";
    append_lf(text, dtab_min_out);
    text += "\n\t\tMax. = ";
    append_lf(text, dtab_max_out);
    text += " ";
    say(text);

    // An answer below 0 is asked again: no unit factor belongs to it.
    const int dyn_scale_out = ask_int("\n\n\tDynamic hypsometric scale out :\n\t\t0 ====> in meters"
                                      "\n\t\t1 ====> in decimeters\n\t\t2 ====> in centimeters"
                                      "\n\t\t3 ====> in millimeters\n\t\t",
                                      0, 3, "the output unit");
    const double coef_out = output_factors[dyn_scale_out];
    const auto factor = static_cast<std::uint64_t>(coef_out);
    dtab_min_out = extended_to_double(extended_mul(dtab_min_out, coef_out));
    dtab_max_out = extended_to_double(extended_mul(dtab_max_out, coef_out));
    const int valmin = low32(truncate_double(dtab_min_out));
    const int valmax = low32(truncate_double(dtab_max_out));

    nomim2 += output_raw_suffix(itype_out);
    nomdescr2 += output_descriptor_suffix(itype_out);
    val = sample_bytes(itype_out);

    if (!f2.open(nomim2)) fail("cannot create " + nomim2 + " (" + f2.error() + ")");
    if (!f2d.open(nomdescr2)) fail("cannot create " + nomdescr2 + " (" + f2d.error() + ")");
    text.clear();
    for (int v : {nb_lig, nb_col, val, valmin, valmax, pixel_size_metres(dpix_size)}) {
        append_d(text, v);
        text += '\n';
    }
    f2d.write_text(text);

    // The samples are made and written one line at a time, one write per line:
    // the exact product truncated toward zero. A 16-bit input has its output
    // sample worked out once per sample value.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(lines > 0 ? nb_col : 0) *
                                     static_cast<std::size_t>(val));
    std::vector<std::int64_t> by_sample(sample_metres_out.size());
    for (std::size_t s = 0; s < by_sample.size(); ++s)
        by_sample[s] = metres_to_sample_integer(sample_metres_out[s], factor);
    for (int i = 0; i < lines; ++i) {
        if (!by_sample.empty()) {
            const unsigned short *row = jtab[i];
            pack_line([&](int j) { return by_sample[row[j]]; }, bytes.data());
        } else {
            const double *row = dtab_out[i];
            pack_line([&](int j) { return metres_to_sample_integer(row[j], factor); },
                      bytes.data());
        }
        f2.write(bytes.data(), bytes.size());
    }
    // Both files complete before either takes its name: a descriptor must never
    // stand beside a raster it doesn't describe.
    const OutFile *failed = nullptr;
    if (!commit_outputs({&f2, &f2d}, &failed))
        fail("cannot write " + failed->name() + " (" + failed->error() + ")");
}
