// The arguments the program takes: --help and --version, nothing else.
#include "app/command_line.hpp"

#include <string>
#include <string_view>

#include "platform/console.hpp"
#include "run/ask.hpp"

namespace {
const char *const help =
    "Usage: groundzero\n"
    "       groundzero --help | --version\n"
    "\n"
    "Loads one digital elevation model (DEM), reports its lowest elevation and how\n"
    "many cells hold it, and on request takes the smallest strictly positive\n"
    "elevation as the base level and raises every lower cell (the zero, negative or\n"
    "null collar around the terrain) to it. The result is written as a raw raster\n"
    "(16 or 32 bits, in m, dm, cm or mm) with its descriptor, or as an ASCII grid.\n"
    "\n"
    "Everything is asked on the console, in this order: the folder; the DEM name;\n"
    "the input form (0 ASCII grid, 1 raw raster); for a raster its sample width\n"
    "(0 16 bits, 1 32 bits), its size and pixel size when no descriptor gives them,\n"
    "and the unit of its samples; whether to replace the minimum (0 yes, 1 no); the\n"
    "output name (0 the input's, 1 a new one), form, sample width and unit; the\n"
    "pixel size when none is known; for an ASCII grid made from a raster, the\n"
    "lower-left corner. Answers may be piped in, separated by any white space.\n"
    "\n"
    "Files are read and written in c:\\images\\<folder>\\ on Windows, and elsewhere\n"
    "in images/<folder>/ below the directory the program is started in:\n"
    "  <name>_m2.raw, <name>_m4.raw   raw rasters, 16-bit or 32-bit samples\n"
    "  <name>_m2.txt, <name>_m4.txt   their descriptors (created when missing)\n"
    "  <name>.asc                     ASCII grids\n"
    "  <name>_new_base_m2.raw, _new_base_m4.raw, _new_base.asc   the outputs\n"
    "When standard error is a terminal, it shows how far each long pass over the\n"
    "data has gone and, at the end, the files written.\n"
    "\n"
    "Exit status: 0 when the dialogue runs its course (the output written, the\n"
    "replacement refused, or the input file missing); 1 when the run cannot go on\n"
    "(a message on standard error says why); 2 for an argument it does not know.\n"
    "\n"
    "  --help     print this help and end\n"
    "  --version  print the version and end\n"
    "\n"
    "The manual: man groundzero (on Windows, groundzero.txt beside the program).\n";
} // namespace

int command_line(int argc, const char *const *argv) {
    if (argc <= 1) return -1;
    // A mistyped option anywhere is named, before any other is acted on.
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg != "--help" && arg != "--version") {
            console_error("groundzero: unknown argument '" + std::string(arg) +
                          "'; see groundzero --help\n");
            return 2;
        }
    }
    // Text that can't be written (a full disk, a closed output) fails as the dialogue does.
    watch_console(fail_console);
    console_print(std::string_view(argv[1]) == "--help" ? help : "groundzero " GZ_VERSION "\n");
    return 0;
}
