// The raw output's ESRI header and the copy of the input's coordinate system,
// written beside the output and published with it.
#include "dem/companions.hpp"

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dem/dem_files.hpp"
#include "dem/esri_header.hpp"
#include "platform/pair_reading.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

namespace {
// An ESRI header is a few lines: what lies past this is not read.
constexpr std::size_t header_read_limit = std::size_t{1} << 16;

// Where a raw input lies, as the ESRI header GDAL reads beside it says
// (<name>_m2.hdr beside <name>_m2.raw); nothing without one, or for an entry
// that isn't a file (a named pipe would block). Fails on one that exists and
// can't be read.
std::optional<EsriPlace> input_header_place() {
    if (format != 1) return std::nullopt;
    const std::string name = beside(nomim1, header_extension);
    InFile hdr;
    if (!hdr.open(name, true)) {
        if (is_missing_file_error(errno) || is_busy_error(errno)) return std::nullopt;
        fail("cannot open " + name + " (" + host::error_text(errno) + ")");
    }
    std::string text(header_read_limit, '\0');
    text.resize(hdr.read(text.data(), text.size()));
    if (hdr.failed()) fail("cannot read " + name + " (" + hdr.error() + ")");
    return esri_place(text);
}
} // namespace

void write_raster_header() {
    // An ASCII grid tells where the terrain lies; a raw raster, only a header beside it.
    const std::optional<EsriPlace> given = input_header_place();
    const std::string name = beside(nomim2, header_extension);
    if (!f2h.open(name)) fail("cannot create " + name + " (" + f2h.error() + ")");
    f2h.write_text(
        esri_header_text({nb_lig, nb_col, val, dpix_size, open_ascii_OK, X_min, Y_min, given}));
}

bool copy_projection() {
    // An ASCII grid's, or the raster's own (what GDAL reads beside it), then the DEM's.
    std::vector<std::string> names;
    if (format == 0 || format == 1) names.push_back(beside(nomim1, projection_extension));
    if (format == 1)
        names.push_back(nomim1.substr(0, nomim1.size() - input_raw_suffix(itype).size()) +
                        std::string(projection_extension));
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
