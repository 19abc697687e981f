// The ASCII grid writer: header, then every output elevation as "%lf\t", the
// whole body on one text line.
#include <string>
#include <vector>

#include "app/ask.hpp"
#include "app/elevations.hpp"
#include "app/state.hpp"
#include "dem/figures.hpp"
#include "dem/number_text.hpp"
#include "dem/text_format.hpp"

// Reads nb_col, nb_lig, open_ascii_OK, X_min, Y_min, dpix_size, new_dtab_min_in and the
// input elevations; asks the corner when the input was a raw raster; writes and completes f2.
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

    // The body holds no line feed, so its text goes to the file as it is made,
    // in blocks of about 1 MiB.
    constexpr std::size_t block = std::size_t{1} << 20;
    std::vector<char> text(block + lf_max_chars + 1);
    char *end = text.data();
    const double base = new_dtab_min_in;
    for_each_block<double>([base](double v) { return raised(v, base); },
                           [&](const double *cells, std::size_t n) {
                               for (std::size_t k = 0; k < n; ++k) {
                                   end = put_lf_tab(end, cells[k]);
                                   if (static_cast<std::size_t>(end - text.data()) >= block) {
                                       f2.write(text.data(),
                                                static_cast<std::size_t>(end - text.data()));
                                       end = text.data();
                                   }
                               }
                           });
    f2.write(text.data(), static_cast<std::size_t>(end - text.data()));
    finish_input();
    if (!f2.commit()) fail("cannot write " + f2.name() + " (" + f2.error() + ")");
}
