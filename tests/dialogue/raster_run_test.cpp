// Raw rasters end to end: reading, the base-level treatment, the output
// dialogue and the raster writer, with their console text and output bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "console_text.hpp"
#include "harness.hpp"

using namespace text;

namespace {
using I = std::vector<int>;

// Numbers written out with spaces between (samples, a descriptor's fields).
std::vector<long long> numbers(const std::string &fields) {
    std::istringstream in(fields);
    return {std::istream_iterator<long long>(in), std::istream_iterator<long long>()};
}
// A raster a in folder d of 2- or 4-byte samples with a descriptor giving pixel size 10.
void put(const Workdir &w, int width, int lines, int cols, const std::string &samples) {
    std::string bytes;
    for (long long s : numbers(samples))
        bytes += width == 2 ? u16le({static_cast<unsigned>(s)}) : i32le({s});
    const std::string name = "images/d/a_m" + std::to_string(width);
    w.write(name + ".raw", bytes);
    w.write(name + ".txt", std::to_string(lines) + "\n" + std::to_string(cols) + "\n" +
                               std::to_string(width) + "\n0\n0\n10\n");
}
// The files of a run in folder d but for the input raster a and its descriptor.
std::vector<std::string> outputs_of(const Workdir &w) {
    std::vector<std::string> names;
    for (const std::string &name : w.files())
        if (name.rfind("images/d/a_m", 0) != 0) names.push_back(name);
    return names;
}
// A descriptor's CR LF lines from its fields written out with spaces between.
std::string descriptor(const std::string &fields) {
    std::string s;
    for (char c : fields + " ")
        s += c == ' ' ? std::string("\r\n") : std::string(1, c);
    return s;
}
} // namespace

TEST(RasterRun, TypicalRunShowsExactlyTheDialogueAndWritesTheRaster) {
    Workdir w;
    w.write("images/dems/site_m2.raw", u16le({0, 0, 412, 0, 405, 433}));
    w.write("images/dems/site_m2.txt", "2\r\n3\r\n2\r\n0\r\n433\r\n0\r\n");
    RunResult r = w.run("dems\nsite\n1\n0\n25\n0\n0\n0\n1\n0\n2\n");
    EXPECT_TEXT(r.out,
                "\n\n\t**************************************************************"
                "\n\t*                                                            *"
                "\n\t*               GROUNDZEROHYPSOMETRIZER                      *"
                "\n\t*                                                            *"
                "\n\t*                                                            *"
                "\n\t*                                                            *"
                "\n\t*                                                            *"
                "\n\t*                                         ARVELINTORES       *"
                "\n\t*                                      (September 2019)      *"
                "\n\t*                                                            *"
                "\n\t**************************************************************"
                "\n\n\tThis algorithm calculates the minimum hypsometric value that does"
                "\n\tnot correspond to a null value, in order to consider this hypsometric "
                "\n\tvalue as the basic altitudinal level of Digital Elevation Model."
                "\n\n\tName of the File Folder located in the Directory C:images ? "
                "\n\n\tName of Digital Elevation Model [DEM] (without any extension) ? "
                "\n\n\tFormat Type :\n\t\t0 ====> ascii\n\t\t1 ====> raster\n\t\t"
                "\n\ttype of DEM raster :\n\t\t0 ====> 16 bits\n\t\t1 ====> 32 bits\n\t\t"
                "\n\n\tPixel Size (decimal value in meters) ? "
                "\n\n\tInput hypsometric dynamic scale:\n\t\tMin = 0\n\t\tMax = 433 "
                "\n\n\tAre these values\n\t\t0 ====> in meters"
                "\n\t\t1 ====> in decimeters\n\t\t2 ====> in centimeters"
                "\n\t\t3 ====> in millimeters\n\t\t"
                "\n\n\tTHE DEM HAS :  \n            2 LINES\n        AND 3 COLUMNS\n"
                "\n\n\tTreatment\n\n"
                "\n\tRecalculated altitude value of the original DEM : "
                "\n\t\tMin = 0.000000   Max. = 433.000000 "
                "\n\n\tnumber of pixels with min value = 3 "
                "\n\n\tReplace this null value with the minimum hypsometric"
                "\n\tvalue of the MDE which is greater than zero"
                "\n\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t"
                "\n\n\tRecalculated minimum altitude value = 405.000000 "
                "\n\n\tDigital Elevation Model transformed"
                "\n\n\tName of the output Digital Elevation Model [DEM] : "
                "\n\n\t0 -----> Use of the generic name site ? "
                "\n\t1 -----> Creation of a new File ? \n\t"
                "\n\n\tFormat Type :\n\t\t0 ====> ascii\n\t\t1 ====> raster\n\t\t"
                "\n\ttype of DEM raster :\n\t\t0 ====> 16 bits\n\t\t1 ====> 32 bits\n\t\t"
                "\n\n\tModified dynamic scale : \n\t\tMin. = 405.000000\n\t\tMax. = 433.000000 "
                "\n\n\tDynamic hypsometric scale out :\n\t\t0 ====> in meters"
                "\n\t\t1 ====> in decimeters\n\t\t2 ====> in centimeters"
                "\n\t\t3 ====> in millimeters\n\t\t");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.read("images/dems/site_new_base_m2.raw"),
              u16le({40500, 40500, 41200, 40500, 40500, 43300}));
    EXPECT_EQ(w.read("images/dems/site_new_base_m2.txt"),
              "2\r\n3\r\n2\r\n40500\r\n43300\r\n25\r\n");
    EXPECT_EQ(w.files(), (std::vector<std::string>{
                             "images/dems/site_m2.raw", "images/dems/site_m2.txt",
                             "images/dems/site_new_base_m2.hdr", "images/dems/site_new_base_m2.raw",
                             "images/dems/site_new_base_m2.txt"}));
}

TEST(Treatment, NegativeMinimumIsRaisedToTheSmallestPositiveValue) {
    Workdir w;
    put(w, 4, 1, 5, "0 0 5 3 -2");
    RunResult r = w.run("d a 1 1 0 0 0 1 1 0\n");
    EXPECT_TEXT(r.out, start + raster_menu + input_range("-2", "5") + unit_menu +
                           dem_has("1", "5") + report("-2.000000", "5.000000", "1") + yes_no +
                           base_level("3.000000") + output_title + naming("a") + format_menu +
                           raster_menu + output_range("3.000000", "5.000000") + out_unit_menu);
    EXPECT_EQ(read_i32le(w.read("images/d/a_new_base_m4.raw")), (I{3, 3, 5, 3, 3}));
    EXPECT_EQ(w.read("images/d/a_new_base_m4.txt"), descriptor("1 5 4 3 5 10"));
}

// One raster in, one run: the figures the dialogue shows, what standard error
// says, and the samples and descriptor written.
struct RasterCase {
    int width, lines, cols; // of the input: 2 or 4 bytes a sample
    std::string samples;    // the input's, written out
    std::string answers;
    int out_width;                   // of the output: 2, 4, or 0 for none looked at
    std::string written = "";        // the output's samples
    std::string out_descriptor = ""; // empty: not looked at
    std::string shown = "";          // found on standard output
    std::string warning = "";        // found on standard error
};

TEST(RasterRun, FiguresAndSamplesFollowTheReaderTheRaiseAndTheWriter) {
    const std::string raise_1e7 = yes_no + base_level("10000000.000000");
    const RasterCase cases[] = {
        // The raise: the base level is the smallest strictly positive value,
        // and 10^7 m when there is none (16 bits wrap, the descriptor does not);
        // values of 10^7 m and above are never the minimum nor changed.
        {2, 1, 2, "0 5", "d a 1 0 1 0 0 1 0 1", 2, "5 5", "", base_level("0.500000")},
        {4, 1, 2, "0 -4", "d a 1 1 0 0 0 1 0 0", 2, "38528 38528", "1 2 2 10000000 10000000 10",
         report("-4.000000", "0.000000", "1") + raise_1e7,
         "warning: no elevation lies above 0 m and below 10000000 m"},
        {4, 1, 2, "0 -4", "d a 1 1 0 0 0 1 1 3", 4, "1410065408 1410065408",
         "1 2 4 1410065408 1410065408 10"},
        {4, 1, 3, "20000000 10000000 30000000", "d a 1 1 0 0 0 1 1 0", 4,
         "20000000 10000000 30000000", "",
         report("10000000.000000", "30000000.000000", "1") + raise_1e7},
        // The reader: 16-bit samples are unsigned, range starts are capped,
        // a short file loads zeros and a long one is read only as far as the grid.
        {2, 1, 2, "65535 40000", "d a 1 0 0 -1", 0, "", "",
         input_range("40000", "65535") + unit_menu + dem_has("1", "2") +
             report("40000.000000", "65535.000000", "1")},
        {4, 1, 2, "2000000 3000000", "d a 1 1 0 -1", 0, "", "", input_range("1000000", "3000000")},
        {4, 1, 2, "-5 -9", "d a 1 1 0 -1", 0, "", "", input_range("-9", "0")},
        {2, 2, 3, "7 8 9", "d a 1 0 0 -1", 0, "", "",
         input_range("0", "9") + unit_menu + dem_has("2", "3") +
             report("0.000000", "9.000000", "3")},
        {2, 2, 3, "7 8 9 1 2 3 60000 0", "d a 1 0 0 -1", 0, "", "", input_range("1", "9")},
        // Units convert like the x87: 61.39, 0.03, 123.45 m from centimetres; in
        // decimetres 613.9000000000001 m comes back as 6139, 0.30000000000000004 as 3.
        {2, 1, 3, "6139 3 12345", "d a 1 0 2 0 0 1 1 2", 4, "6139 2 12345", "",
         report("0.030000", "123.450000", "1")},
        {2, 1, 3, "6139 3 12345", "d a 1 0 1 0 0 1 1 1", 4, "6139 3 12345"},
        // The writer: round trips lose one where the metre value lies below the
        // sample; metres truncate and 16 bits wrap, but the descriptor does not.
        {2, 1, 4, "3 5 6 9", "d a 1 0 2 0 0 1 0 2", 2, "2 5 5 8", "1 4 2 3 9 10"},
        {2, 1, 2, "43 50", "d a 1 0 1 0 0 1 0 1", 2, "42 50"},
        {2, 1, 2, "11 20", "d a 1 0 3 0 0 1 0 3", 2, "10 20"},
        {2, 1, 2, "129 700", "d a 1 0 1 0 0 1 1 0", 4, "12 70"},
        {2, 1, 2, "129 700", "d a 1 0 1 0 0 1 0 3", 2, "12900 4464", "1 2 2 12900 70000 10"},
    };
    for (const RasterCase &c : cases) {
        SCOPED_TRACE(c.samples + " answered " + c.answers);
        Workdir w;
        put(w, c.width, c.lines, c.cols, c.samples);
        const RunResult r = w.run(c.answers + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.shown), std::string::npos);
        EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        const std::string out = "images/d/a_new_base_m" + std::to_string(c.out_width);
        std::vector<long long> written;
        if (c.out_width == 2)
            for (unsigned s : read_u16le(w.read(out + ".raw")))
                written.push_back(s);
        if (c.out_width == 4)
            for (int s : read_i32le(w.read(out + ".raw")))
                written.push_back(s);
        EXPECT_EQ(written, numbers(c.written));
        if (!c.out_descriptor.empty()) {
            EXPECT_EQ(w.read(out + ".txt"), descriptor(c.out_descriptor));
        }
    }
}

TEST(Treatment, EmptyGridAfterNegativeFormatAnswerWritesAnEmptyRaster) {
    Workdir w;
    w.make_folder("images/d");
    RunResult r = w.run("d a -1 0 0 1 0 0 30\n");
    EXPECT_TEXT(r.out, start + dem_has("0", "0") + report("10000000.000000", "0.000000", "0") +
                           yes_no + base_level("10000000.000000") + output_title + naming("a") +
                           format_menu + raster_menu + output_range("10000000.000000", "0.000000") +
                           out_unit_menu + ask_pixel);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.read("images/d/a_new_base_m2.raw"), "");
    EXPECT_EQ(w.read("images/d/a_new_base_m2.txt"), descriptor("0 0 2 10000000 0 0"));
}

TEST(Treatment, AnswerNoWritesNothingAboveOneIsAskedAgainBelowZeroEndsSilently) {
    Workdir w;
    put(w, 2, 1, 2, "0 7");
    RunResult r = w.run("d a 1 0 0 5 1\n");
    EXPECT_TEXT(r.out, start + raster_menu + input_range("0", "7") + unit_menu + dem_has("1", "2") +
                           report("0.000000", "7.000000", "1") + yes_no + yes_no + no_change);
    EXPECT_EQ(r.status, 0);
    r = w.run("d a 1 0 0 -1\n");
    EXPECT_TEXT(r.out, start + raster_menu + input_range("0", "7") + unit_menu + dem_has("1", "2") +
                           report("0.000000", "7.000000", "1") + yes_no);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.files(), (std::vector<std::string>{"images/d/a_m2.raw", "images/d/a_m2.txt"}));
}

TEST(OutputDialogue, NamingWidthAndUnitAnswersOutsideTheirChoicesAreAskedAgain) {
    Workdir w;
    put(w, 2, 1, 2, "1 2");
    // Naming 2 and -1 asked again, then a new name; width -3 gives the 32-bit
    // files, samples included; units 4 and -1 asked again.
    RunResult r = w.run("d a 1 0 0 0 2 -1 1 b 1 -3 4 -1 0\n");
    EXPECT_TEXT(r.out, start + raster_menu + input_range("1", "2") + unit_menu + dem_has("1", "2") +
                           report("1.000000", "2.000000", "1") + yes_no + base_level("1.000000") +
                           output_title + naming("a") + naming("a") + naming("a") + ask_new_name +
                           format_menu + raster_menu + output_range("1.000000", "2.000000") +
                           out_unit_menu + out_unit_menu + out_unit_menu);
    EXPECT_EQ(read_i32le(w.read("images/d/b_new_base_m4.raw")), (I{1, 2}));
    EXPECT_EQ(w.read("images/d/b_new_base_m4.txt"), descriptor("1 2 4 1 2 10"));
}

TEST(OutputDialogue, NegativeOutputFormatWritesNothingButAsksThePixelSize) {
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({1, 2}));
    w.write("images/d/a_m2.txt", "1\n2\n2\n");
    RunResult r = w.run("d a 1 0 0.5 0 0 0 -1 30\n");
    EXPECT_TEXT(r.out, start + raster_menu + ask_pixel + input_range("1", "2") + unit_menu +
                           dem_has("1", "2") + report("1.000000", "2.000000", "1") + yes_no +
                           base_level("1.000000") + output_title + naming("a") + format_menu +
                           ask_pixel);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.files(), (std::vector<std::string>{"images/d/a_m2.raw", "images/d/a_m2.txt"}));
}

TEST(RasterWriter, OutputThatCannotBeWrittenFailsAndKeepsTheOlderFiles) {
    Workdir w;
    put(w, 2, 1, 2, "1 2");
    w.write("images/d/a_new_base_m2.txt", "old descriptor");
    w.make_folder("images/d/a_new_base_m2.raw/"); // the raster's name is taken by a folder
    RunResult r = w.run("d a 1 0 0 0 0 1 0 0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write c:\\images\\d\\a_new_base_m2.raw"), std::string::npos)
        << r.err;
    EXPECT_EQ(w.read("images/d/a_new_base_m2.txt"), "old descriptor");
    EXPECT_EQ(w.files(), (std::vector<std::string>{"images/d/a_m2.raw", "images/d/a_m2.txt",
                                                   "images/d/a_new_base_m2.txt"}));
}

// A 16-bit raster is held as its samples, a 32-bit one as a grid of metres:
// the same samples must give the same dialogue and the same output bytes
// either way, for every input unit and every output form, width and unit.
TEST(RasterRun, SixteenBitSamplesGiveWhatThe32BitRasterOfTheSameSamplesGives) {
    std::mt19937 random(2026);
    std::vector<std::vector<long long>> grids = {
        {0, 0, 0, 0, 0, 0},                    // nothing positive: all raised to 1e7
        {65535, 40000, 1, 1, 65535, 0, 1, 70}, // the extremes of 16 bits
    };
    std::vector<long long> terrain(7 * 9); // a collar of zeros around random terrain
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 9; ++j)
            if (i > 0 && i < 6 && j > 1 && j < 8)
                terrain[i * 9 + j] = std::uniform_int_distribution<long long>(1, 65535)(random);
    grids.push_back(terrain);
    const char *outputs[] = {"1 0 0", "1 0 1", "1 0 2",
                             "1 0 3", "1 1 0", "1 1 1",
                             "1 1 2", "1 1 3", "0 512000.5 4107000"};
    for (const auto &samples : grids) {
        const int cols = samples.size() == 63 ? 9 : 2;
        const std::string shape =
            std::to_string(samples.size() / cols) + "\n" + std::to_string(cols) + "\n";
        Workdir w16, w32;
        std::string bytes16, bytes32;
        for (long long s : samples) {
            bytes16 += u16le({static_cast<unsigned>(s)});
            bytes32 += i32le({s});
        }
        w16.write("images/d/a_m2.raw", bytes16);
        w16.write("images/d/a_m2.txt", shape + "2\n0\n0\n30\n");
        w32.write("images/d/a_m4.raw", bytes32);
        w32.write("images/d/a_m4.txt", shape + "4\n0\n0\n30\n");
        for (int unit = 0; unit < 4; ++unit)
            for (const char *output : outputs) {
                const std::string tail = std::to_string(unit) + " 0 0 " + output + "\n";
                const RunResult r16 = w16.run("d a 1 0 " + tail);
                const RunResult r32 = w32.run("d a 1 1 " + tail);
                const std::string what = shape + "answers " + tail;
                EXPECT_EQ(r16.status, 0) << what << r16.err;
                EXPECT_TEXT(r16.out, r32.out) << what;
                const std::vector<std::string> out16 = outputs_of(w16), out32 = outputs_of(w32);
                EXPECT_FALSE(out16.empty()) << what;
                ASSERT_EQ(out16, out32) << what;
                for (const std::string &name : out16) {
                    EXPECT_EQ(w16.read(name), w32.read(name)) << what << name;
                    w16.remove(name);
                    w32.remove(name);
                }
            }
    }
}

// A raster of 4 GiB and 4 MiB, all holes but for its lowest and highest samples
// past 4 GiB, reads on a 32-bit build (an ELF of class 1, a PE for i386) as on
// the harness's own 64-bit one.
TEST(RasterReader, ARasterOver4GiBReadsOnA32BitBuildAsOnThe64BitOne) {
    const char *const vars[] = {"GZ_EXE", "GZ_LAUNCHER", "GZ_WINE_PREFIX"};
    std::string head(1024, '\0');
    std::ifstream(std::getenv(vars[0]) ? std::getenv(vars[0]) : GZ_EXE, std::ios::binary)
        .read(head.data(), 1024);
    const std::size_t pe = static_cast<unsigned char>(head[0x3c]) +
                           256 * static_cast<std::size_t>(static_cast<unsigned char>(head[0x3d]));
    if (head.compare(0, 5,
                     "\x7f"
                     "ELF\x01") != 0 &&
        (head.compare(0, 2, "MZ") != 0 || pe + 6 > head.size() ||
         head.compare(pe, 6, std::string("PE\0\0\x4c\x01", 6)) != 0))
        GTEST_SKIP() << "the runs go to a 64-bit build";
    const long long lines = 16400, cols = 65536, size = lines * cols * 4;
    Workdir w;
    w.write("images/d/a_m4.txt",
            std::to_string(lines) + "\n" + std::to_string(cols) + "\n4\n0\n0\n10\n");
    w.write("images/d/a_m4.raw", "");
    const std::string raw = w.root() + "/c/images/d/a_m4.raw";
    std::filesystem::resize_file(raw, static_cast<std::uintmax_t>(size));
    std::fstream f(raw, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(size - cols * 4 + 8) << i32le({-7});
    f.seekp(size - 4) << i32le({123456}) << std::flush;
    const std::string answers = "d a 1 1 3 1\n"; // raster, 32 bits, mm; no replacement
    std::vector<std::string> saved;
    for (const char *v : vars) {
        saved.push_back(std::getenv(v) ? std::getenv(v) : "");
        unsetenv(v);
    }
    const RunResult expected = w.run(answers);
    for (std::size_t k = 0; k < saved.size(); ++k)
        if (!saved[k].empty()) setenv(vars[k], saved[k].c_str(), 1);
    ASSERT_NE(expected.out.find("Min = -0.007000   Max. = 123.456000"), std::string::npos);
    const RunResult r = w.run(answers);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TEXT(r.out, expected.out);
}
