// The input dialogue: paths, missing files, menus asked again, descriptors read
// or created, the pixel size question, and end of input.
#include <gtest/gtest.h>

#include "console_text.hpp"
#include "harness.hpp"

using namespace text;

namespace {
// A 2 x 3 16-bit raster in folder d, named a, samples 0..5.
void put_raster(const Workdir &w, const std::string &descriptor) {
    w.write("images/d/a_m2.raw", u16le({0, 1, 2, 3, 4, 5}));
    w.write("images/d/a_m2.txt", descriptor);
}
// Everything a 16-bit raster run shows from the sample range to the size report.
std::string loaded_0_to_5() {
    return input_range("0", "5") + unit_menu + dem_has("2", "3");
}
} // namespace

// Runs that end before any output, status 0: a missing input, whatever the
// answers before it (menu answers above their choices or words, asked again),
// ends with its Windows path; a negative form loads nothing, and "no" follows.
TEST(InputDialogue, RunsEndingBeforeAnyOutputShowTheirWholeDialogue) {
    const struct {
        const char *answers;
        std::string out;
    } cases[] = {
        {"d a 1 0\n", start + raster_menu + unknown("c:\\images\\d\\a_m2.raw")},
        {"dems site 0\n", start + unknown("c:\\images\\dems\\site.asc")},
        {"dems site 1 1\n", start + raster_menu + unknown("c:\\images\\dems\\site_m4.raw")},
        {"d a 7 1 2 5 0\n", start + format_menu + raster_menu + raster_menu + raster_menu +
                                unknown("c:\\images\\d\\a_m2.raw")},
        {"d a raster one 1 x 0\n", start + format_menu + format_menu + raster_menu + raster_menu +
                                       unknown("c:\\images\\d\\a_m2.raw")},
        {"d a -1 1\n", start + dem_has("0", "0") + report("10000000.000000", "0.000000", "0") +
                           yes_no + no_change},
    };
    for (const auto &c : cases) {
        Workdir w;
        w.make_folder("images/d");
        const RunResult r = w.run(c.answers);
        EXPECT_TEXT(r.out, c.out) << c.answers;
        EXPECT_EQ(r.status, 0) << c.answers;
        EXPECT_EQ(w.files(), std::vector<std::string>{}) << c.answers;
    }
}

TEST(InputDialogue, NegativeSampleWidthReadsThe32BitRaster) {
    Workdir w;
    w.write("images/d/a_m4.raw", i32le({-7, 70000}));
    w.write("images/d/a_m4.txt", "1\n2\n4\n0\n0\n10\n");
    RunResult r = w.run("d a 1 -1 0 -1\n");
    EXPECT_TEXT(r.out, start + raster_menu + input_range("-7", "70000") + unit_menu +
                           dem_has("1", "2") + report("-7.000000", "70000.000000", "1") + yes_no);
    EXPECT_EQ(r.status, 0);
}

TEST(InputDialogue, DescriptorLayoutsReadAlike) {
    // Six lines with CR LF, six numbers on one line, and LF with a Ctrl-Z after it.
    for (const std::string &descriptor :
         {std::string("2\r\n3\r\n2\r\n0\r\n5\r\n25\r\n"), std::string("2 3 2 0 5 25"),
          std::string("\xEF\xBB\xBF"
                      "2\r\n3\r\n2\r\n0\r\n5\r\n25\r\n"), // saved with a BOM
          std::string("2\n3\n2\n0\n5\n25\n\x1a"
                      "99\n")}) {
        Workdir w;
        put_raster(w, descriptor);
        RunResult r = w.run("d a 1 0 0 -1\n");
        EXPECT_TEXT(r.out, start + raster_menu + loaded_0_to_5() +
                               report("0.000000", "5.000000", "1") + yes_no)
            << descriptor;
    }
}

TEST(InputDialogue, ZeroOrMissingPixelSizeIsAskedOnce) {
    for (const char *descriptor : {"2\n3\n2\n0\n5\n0\n", "2\n3\n2\n"}) {
        Workdir w;
        put_raster(w, descriptor);
        RunResult r = w.run("d a 1 0 12.5 0 -1\n");
        EXPECT_TEXT(r.out, start + raster_menu + ask_pixel + loaded_0_to_5() +
                               report("0.000000", "5.000000", "1") + yes_no)
            << descriptor;
    }
}

TEST(InputDialogue, NonIntegerDescriptorFieldStopsTheFieldsAfterIt) {
    // "2.5" gives 2 bytes per sample; ".5" then stops min, max and the pixel size,
    // so the pixel size counts as not given.
    Workdir w;
    put_raster(w, "2\n3\n2.5\n0\n5\n30\n");
    RunResult r = w.run("d a 1 0 7 0 -1\n");
    EXPECT_TEXT(r.out, start + raster_menu + ask_pixel + loaded_0_to_5() +
                           report("0.000000", "5.000000", "1") + yes_no);
}

TEST(InputDialogue, CreatedDescriptorWithSubMetrePixelAsksTwiceAndIsCompleted) {
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({0, 1, 2, 3, 4, 5}));
    RunResult r = w.run("d a 1 0 2 3 0.5 40.7 0 -1\n");
    EXPECT_TEXT(r.out, start + raster_menu + no_file("c:\\images\\d\\a_m2.txt") + ask_lines +
                           ask_columns + ask_pixel_created + ask_pixel + loaded_0_to_5() +
                           report("0.000000", "5.000000", "1") + yes_no);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.read("images/d/a_m2.txt"), "2\r\n3\r\n2\r\n0\r\n5\r\n40\r\n");
}

TEST(InputDialogue, CreatedDescriptorAfterNegativeWidthSays4Bytes) {
    Workdir w;
    w.write("images/d/a_m4.raw", i32le({-3, 1200000}));
    RunResult r = w.run("d a 1 -2 1 2 9 0 -1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.read("images/d/a_m4.txt"), "1\r\n2\r\n4\r\n-3\r\n1200000\r\n9\r\n");
}

TEST(InputDialogue, DescriptorPixelSizeServesTheOutputWithoutAQuestion) {
    Workdir w;
    put_raster(w, "2\n3\n2\n0\n5\n25\n");
    RunResult r = w.run("d a 1 0 0 0 0 1 1 0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find(ask_pixel), std::string::npos);
    EXPECT_EQ(w.read("images/d/a_new_base_m4.txt"), "2\r\n3\r\n4\r\n1\r\n5\r\n25\r\n");
}

TEST(InputDialogue, EndOfInputEndsWithStatus1AndNamesTheMissingAnswer) {
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({0, 1, 2, 3, 4, 5}));
    RunResult r = w.run("d a 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TEXT(r.out, start + raster_menu);
    EXPECT_NE(r.err.find("end of input: no answer for the type of DEM raster"), std::string::npos)
        << r.err;

    // Ended while the descriptor was being created: no partial descriptor is left.
    r = w.run("d a 1 0 2 3");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the pixel size"), std::string::npos) << r.err;
    EXPECT_EQ(w.files(), std::vector<std::string>{"images/d/a_m2.raw"});
}

TEST(InputDialogue, GridOfAShortFileTooLargeForTheDiskIsReportedThenRefusedBeforeWriting) {
    // The raster is never held, and the cells past the end of the file are
    // zeros taken as a count: the whole dialogue runs, and the output that
    // could not fit on any disk is refused before a byte of it is written.
    Workdir w;
    w.write("images/d/a_m4.raw", i32le({1, 2}));
    w.write("images/d/a_m4.txt", "2000000000\n2000000000\n4\n0\n0\n10\n");
    RunResult r = w.run("d a 1 1 0 0 0 1 1 0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TEXT(r.out, start + raster_menu + input_range("0", "2") + unit_menu +
                           dem_has("2000000000", "2000000000") +
                           report("0.000000", "2.000000", "3999999999999999998") + yes_no +
                           base_level("1.000000") + output_title + naming("a") + format_menu +
                           raster_menu + output_range("1.000000", "2.000000") + out_unit_menu);
    EXPECT_NE(r.err.find("not enough room on the disk for c:\\images\\d\\a_new_base_m4.raw: "
                         "16000000000000000000 bytes needed, "),
              std::string::npos)
        << r.err;
    EXPECT_EQ(w.files().size(), 2u);
}
