// The output dialogue: name, form, then the raster writer or the ASCII grid,
// and the pixel size when none is known.
#include <climits>

#include "dem/dem_files.hpp"
#include "number/text_format.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

// Reads nomfic1, nomim2 (folder prefix), pix_size; sets itype_out, nomim2,
// nomdescr2 and the output files.
void output_dialogue() {
    say("\n\n\tName of the output Digital Elevation Model [DEM] : ");
    const int rep = ask_int(format_text("\n\n\t0 -----> Use of the generic name %s ? "
                                        "\n\t1 -----> Creation of a new File ? \n\t",
                                        {nomfic1}),
                            0, 1, "the output name choice");
    std::string nomfic = nomfic1; // the output DEM's name
    if (rep != 0) {
        say("\n\n\tName of the resulting DEM (without any extension) ? ");
        nomfic = ask_word("the name of the resulting DEM");
    }

    const int format_out = ask_int(format_menu, INT_MIN, 1, "the output format type");
    if (format_out == 1)
        itype_out = ask_int(raster_type_menu, INT_MIN, 1, "the output type of DEM raster");
    if (format_out >= 0) { // a negative answer writes nothing
        const OutputPaths paths = output_paths(nomim2, nomfic, format_out, itype_out);
        nomim2 = paths.data;
        nomdescr2 = paths.descriptor;
    }
    if (format_out == 1) raster_saving();
    if (format_out == 0) {
        // Every value takes nine characters at the least ("0.000000" and a tab).
        require_space(nomim2, grid_cells(), 9, true);
        if (!f2.open(nomim2)) fail("cannot create " + nomim2 + " (" + f2.error() + ")");
    }
    if (pix_size == 0)
        dpix_size = ask_double("\n\n\tPixel Size (decimal value in meters) ? ", "the pixel size");
    if (format_out == 0) ascii_saving();
}
