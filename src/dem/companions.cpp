// The raw output's ESRI header and the copy of the input's coordinate system,
// written beside the output and published with it.
#include "dem/companions.hpp"

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "dem/dem_files.hpp"
#include "dem/esri_header.hpp"
#include "platform/pair_reading.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

void write_raster_header() {
    const std::string name = beside(nomim2, header_extension);
    if (!f2h.open(name)) fail("cannot create " + name + " (" + f2h.error() + ")");
    // Only an ASCII grid tells where the terrain lies; a raw raster input does not.
    f2h.write_text(esri_header_text({nb_lig, nb_col, val, dpix_size, open_ascii_OK, X_min, Y_min}));
}

bool copy_projection() {
    std::vector<std::string> names;
    if (format == 0) names = {beside(nomim1, projection_extension)};
    if (format == 1) {
        // The raster's own (what GDAL reads beside it), then the DEM's.
        const std::string dem = nomim1.substr(0, nomim1.size() - input_raw_suffix(itype).size());
        names = {beside(nomim1, projection_extension), dem + std::string(projection_extension)};
    }
    InFile prj;
    std::string from;
    const PairReading pair(names);
    if (!pair.error().empty()) fail("cannot open " + names.front() + " (" + pair.error() + ")");
    for (const std::string &name : names) {
        if (prj.open(name)) {
            from = name;
            break;
        }
        if (!is_missing_file_error(errno))
            fail("cannot open " + name + " (" + host::error_text(errno) + ")");
    }
    const std::string to = beside(nomim2, projection_extension);
    if (!prj.is_open()) {
        f2prj.open(to, OutFile::Existing::remove);
        return false;
    }
    if (!f2prj.open(to)) fail("cannot create " + to + " (" + f2prj.error() + ")");
    // Copied in blocks: however large the file, memory stays bounded.
    constexpr std::size_t block = std::size_t{1} << 16;
    const std::unique_ptr<char[]> bytes(new char[block]);
    while (const std::size_t n = prj.read(bytes.get(), block))
        f2prj.write(bytes.get(), n);
    if (prj.failed()) fail("cannot read " + from + " (" + prj.error() + ")");
    return true;
}
