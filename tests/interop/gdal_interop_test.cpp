// The files travel: GDAL reads what groundzero writes (ASCII grid, 16-bit and
// 32-bit rasters through a VRT or by their own headers, with the place and the
// coordinate system of the input grid) with the values groundzero reports, and
// groundzero reads the ASCII grids that GDAL writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "../dialogue/harness.hpp"

namespace {
bool have_gdal() {
    return std::system("gdal_translate --version > /dev/null 2>&1") == 0;
}

// Runs a shell command in the drive folder of w; fails the test if it fails.
void shell(const Workdir &w, const std::string &command) {
    const std::string full = "cd '" + w.root() + "/c' && " + command + " 2> /dev/null";
    ASSERT_EQ(std::system(full.c_str()), 0) << command;
}

std::vector<double> doubles_le(const std::string &bytes) {
    std::vector<double> v(bytes.size() / 8);
    std::memcpy(v.data(), bytes.data(), v.size() * 8);
    return v;
}

// The values of an ASCII grid body as written: every word after the header.
std::vector<double> body_values(const std::string &grid) {
    std::istringstream in(grid);
    std::string word;
    for (int k = 0; k < 12; ++k)
        in >> word;
    std::vector<double> v;
    while (in >> word)
        v.push_back(std::strtod(word.c_str(), nullptr));
    return v;
}

std::string vrt(const std::string &file, int lines, int cols, const char *type, int bytes) {
    return "<VRTDataset rasterXSize=\"" + std::to_string(cols) + "\" rasterYSize=\"" +
           std::to_string(lines) + "\"><VRTRasterBand dataType=\"" + type +
           "\" band=\"1\" subClass=\"VRTRawRasterBand\"><SourceFilename relativeToVRT=\"1\">" +
           file + "</SourceFilename><ImageOffset>0</ImageOffset><PixelOffset>" +
           std::to_string(bytes) + "</PixelOffset><LineOffset>" + std::to_string(bytes * cols) +
           "</LineOffset><ByteOrder>LSB</ByteOrder></VRTRasterBand></VRTDataset>\n";
}

// A 4 x 5 DEM in centimetres with a null collar around higher ground.
const std::initializer_list<unsigned> dem = {0, 0,     0,     0,     0, //
                                             0, 12345, 12399, 13001, 0, //
                                             0, 12302, 65535, 12888, 0, //
                                             0, 0,     0,     0,     0};
} // namespace

TEST(GdalInterop, GdalReadsOurAsciiGridAndBothRasterWidthsValueForValue) {
    if (!have_gdal()) GTEST_SKIP() << "gdal_translate is not installed";
    Workdir w;
    w.write("images/g/dem_m2.raw", u16le(dem));
    w.write("images/g/dem_m2.txt", "4\n5\n2\n0\n65535\n30\n");
    // The same DEM to an ASCII grid, a 16-bit raster in cm and a 32-bit raster in mm.
    ASSERT_EQ(w.run("g dem 1 0 2 0 1 asc 0 500000 4000000\n").status, 0);
    ASSERT_EQ(w.run("g dem 1 0 2 0 1 r16 1 0 2\n").status, 0);
    ASSERT_EQ(w.run("g dem 1 0 2 0 1 r32 1 1 3\n").status, 0);

    // ASCII grid: GDAL would read it as Float32 because of the decimal no-data line.
    shell(w, "gdal_translate -q -oo DATATYPE=Float64 -of ENVI images/g/asc_new_base.asc "
             "images/g/asc.f64");
    const std::vector<double> ours = body_values(w.read("images/g/asc_new_base.asc"));
    const std::vector<double> theirs = doubles_le(w.read("images/g/asc.f64"));
    ASSERT_EQ(ours.size(), 20u);
    EXPECT_EQ(theirs, ours);
    EXPECT_EQ(ours[0], 123.02); // the collar raised to the smallest positive value
    EXPECT_EQ(ours[12], 655.35);
    shell(w, "gdallocationinfo -valonly -oo DATATYPE=Float64 images/g/asc_new_base.asc 2 1 > "
             "images/g/probe.txt");
    EXPECT_EQ(std::strtod(w.read("images/g/probe.txt").c_str(), nullptr), 123.99);

    // Rasters through a VRT: every sample as stored.
    w.write("images/g/r16.vrt", vrt("r16_new_base_m2.raw", 4, 5, "UInt16", 2));
    w.write("images/g/r32.vrt", vrt("r32_new_base_m4.raw", 4, 5, "Int32", 4));
    shell(w, "gdal_translate -q -of ENVI -ot Float64 images/g/r16.vrt images/g/r16.f64");
    shell(w, "gdal_translate -q -of ENVI -ot Float64 images/g/r32.vrt images/g/r32.f64");
    const std::vector<unsigned> s16 = read_u16le(w.read("images/g/r16_new_base_m2.raw"));
    const std::vector<int> s32 = read_i32le(w.read("images/g/r32_new_base_m4.raw"));
    const std::vector<double> g16 = doubles_le(w.read("images/g/r16.f64"));
    const std::vector<double> g32 = doubles_le(w.read("images/g/r32.f64"));
    ASSERT_EQ(s16.size(), 20u);
    ASSERT_EQ(g16.size(), 20u);
    ASSERT_EQ(g32.size(), 20u);
    for (std::size_t k = 0; k < 20; ++k) {
        EXPECT_EQ(g16[k], s16[k]) << k;
        EXPECT_EQ(g32[k], s32[k]) << k;
    }
    EXPECT_EQ(s16[0], 12301u); // 123.02 m lies just below 12302 cm: truncated
    EXPECT_EQ(s32[12], 655350);
}

TEST(GdalInterop, WeReadTheAsciiGridsGdalWrites) {
    if (!have_gdal()) GTEST_SKIP() << "gdal_translate is not installed";
    Workdir w;
    // GDAL writes an AAIGrid (padded keywords, one line per row) from a 32-bit raster.
    w.write("images/g/src_m4.raw", i32le({0, 0, 0, 0, 1500, -20, 0, 2750, 0}));
    w.write("images/g/src.vrt", vrt("src_m4.raw", 3, 3, "Int32", 4));
    shell(w, "gdal_translate -q -of AAIGrid -a_nodata -9999 -a_ullr 1000 2090 1090 2000 "
             "images/g/src.vrt images/g/gd.asc");
    const std::string grid = w.read("images/g/gd.asc");
    ASSERT_NE(grid.find("NODATA_value"), std::string::npos) << grid;

    RunResult r = w.run("g gd 0 0 0 0 30\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("THE DEM HAS :  \n            3 LINES\n        AND 3 COLUMNS\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Min = -20.000000   Max. = 2750.000000 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Recalculated minimum altitude value = 1500.000000 "), std::string::npos);
    const std::string out = w.read("images/g/gd_new_base.asc");
    EXPECT_NE(out.find("xllcorner 1000.000000\r\nyllcorner 2000.000000\r\ncellsize 30.000000\r\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(body_values(out),
              (std::vector<double>{1500, 1500, 1500, 1500, 1500, 1500, 1500, 2750, 1500}));
}

TEST(GdalInterop, GridWithoutItsOptionalNoDataLineIsNamedNotMisread) {
    if (!have_gdal()) GTEST_SKIP() << "gdal_translate is not installed";
    Workdir w;
    w.write("images/g/src_m4.raw", i32le({0, 1500, 2750, 0}));
    w.write("images/g/src.vrt", vrt("src_m4.raw", 2, 2, "Int32", 4));
    shell(
        w,
        "gdal_translate -q -of AAIGrid -a_ullr 0 2 2 0 images/g/src.vrt images/g/gd.asc"); // no
                                                                                           // no-data
                                                                                           // value
    RunResult r = w.run("g gd 0 0 0 0 30\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("c:\\images\\g\\gd.asc: the header has no nodata_value line (line 6 "
                         "holds the value \"0\"); this program reads a header of six lines"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(w.exists("images/g/gd_new_base.asc"));
}

// GDAL opens each raw output by its header, no VRT: samples, size, type and the
// pixel size as typed or read; from a grid GDAL wrote with a coordinate system,
// raw and ASCII outputs stand at its place in that system, and so do the raw
// outputs of a raw input whose header gives that place.
TEST(GdalInterop, GdalOpensOurRawOutputsDirectlyAtTheGridsPlaceAndCoordinateSystem) {
    if (!have_gdal()) GTEST_SKIP() << "gdal_translate is not installed";
    Workdir w;
    w.write("images/g/dem_m2.raw", u16le(dem));
    w.write("images/g/dem_m2.txt", "4\n5\n2\n0\n65535\n0\n"); // no pixel size: 12.5 typed
    w.write("images/g/src_m4.raw", i32le({0, 0, 0, 0, 1500, -20, 0, 2750, 0}));
    w.write("images/g/src.vrt", vrt("src_m4.raw", 3, 3, "Int32", 4));
    shell(w, "gdal_translate -q -of AAIGrid -a_srs EPSG:32633 -a_nodata -9999 -a_ullr 1000 2037.5 "
             "1037.5 2000 images/g/src.vrt images/g/gd.asc && gdalinfo images/g/gd.asc > "
             "images/g/gd.info");
    // From "Size is" to the pixel size: the size, the system, the place and the cell.
    const auto place = [](const std::string &info) {
        return info.substr(info.find("Size is"), info.find("\nCorner") - info.find("Size is"));
    };
    const struct {
        std::string answers, output, type, placed;
    } cases[] = {{"g dem 1 0 12.5 2 0 1 r16 1 0 2\n", "r16_new_base_m2", "UInt16", ""},
                 {"g gd 0 0 1 r32 1 1 3 7\n", "r32_new_base_m4", "Int32", "gd"},
                 {"g gd 0 0 1 asc 0 12.5\n", "asc_new_base", "", "gd"},
                 {"g r32_new_base 1 1 3 0 1 p16 1 0 2\n", "p16_new_base_m2", "UInt16", "gd"}};
    for (const auto &c : cases) {
        ASSERT_EQ(w.run(c.answers).status, 0) << c.output;
        const std::string file = "images/g/" + c.output + (c.type.empty() ? ".asc" : ".raw");
        shell(w, "gdalinfo " + file + " > images/g/out.info");
        const std::string info = w.read("images/g/out.info");
        EXPECT_NE(info.find("Pixel Size = (12.50000000000000"), std::string::npos) << info;
        if (!c.placed.empty()) {
            EXPECT_EQ(place(info), place(w.read("images/g/gd.info")));
            EXPECT_EQ(w.read("images/g/" + c.output + ".prj"), w.read("images/g/gd.prj"));
        } else {
            EXPECT_NE(info.find("Size is 5, 4\nOrigin"), std::string::npos) << info; // no system
        }
        if (c.type.empty()) continue;
        EXPECT_NE(info.find("Driver: EHdr/"), std::string::npos) << info;
        EXPECT_NE(info.find("Type=" + c.type + ","), std::string::npos) << info;
        shell(w, "gdal_translate -q -of ENVI -ot Float64 " + file + " images/g/out.f64");
        const std::vector<int> s32 = read_i32le(w.read(file));
        const std::vector<unsigned> s16 = read_u16le(w.read(file));
        EXPECT_EQ(doubles_le(w.read("images/g/out.f64")),
                  c.type == "Int32" ? std::vector<double>(s32.begin(), s32.end())
                                    : std::vector<double>(s16.begin(), s16.end()));
    }
}
