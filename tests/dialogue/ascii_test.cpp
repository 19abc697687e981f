// ASCII grids in and out: positional header, any white space in the body,
// progress lines, the writer's exact bytes, and bodies that are short or odd.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console_text.hpp"
#include "harness.hpp"

using namespace text;

namespace {
const std::string header_2x3 = "ncols 3\nnrows 2\nxllcorner 500000\nyllcorner 4000000\n"
                               "cellsize 30\nnodata_value -9999\n";

// The exact header the writer gives for a 2 x 3 grid, after the body's first byte.
std::string written_header(const std::string &x, const std::string &y, const std::string &cell) {
    return "ncols 3\r\nnrows 2\r\nxllcorner " + x + "\r\nyllcorner " + y + "\r\ncellsize " + cell +
           "\r\nnodata_value -9999.9999\r\n";
}
std::string progress(int line) {
    return "\tline " + std::to_string(line) + "                   \r";
}
} // namespace

TEST(AsciiReader, BodyLayoutsAndMisspeltKeywordsReadAlike) {
    const std::string grids[] = {
        header_2x3 + "1.5\t0\t-2\t3\t0\t4\t",   // the writer's own form
        crlf(header_2x3 + "1.5 0 -2\n3 0 4\n"), // a text line per grid line
        "NCOLS  3\r\nNROWS  2\r\nXLLCORNER 500000\r\nYLLCORNER 4000000\r\n"
        "CELLSIZE 30\r\nNODATA_VALUE -9999\r\n 1.5 0 -2\r\n 3 0 4\r\n\x1a garbage",
        "nclos 3\nnorws 2\nx 500000\ny 4000000\nsize 30\nnd -9999\n1.5\n0\n-2\n3\n0\n4",
        // A value read in part, its rest taken for the next keyword, as ever.
        "ncols 3nrows 2\nxllcorner 500000\nyllcorner 4000000\ncellsize 30,5 -9999\n"
        "1.5 0 -2 3 0 4",
        header_2x3 + "1.5 0 -2 3 0 4 junk 9", // the grid ends before a word that is no number
    };
    for (const std::string &grid : grids) {
        Workdir w;
        w.write("images/d/a.asc", grid);
        RunResult r = w.run("d a 0 0 0 0 5\n");
        EXPECT_TEXT(r.out, start + "\n" + dem_has("2", "3") + report("-2.000000", "4.000000", "1") +
                               yes_no + base_level("1.500000") + output_title + naming("a") +
                               format_menu + ask_pixel);
        EXPECT_EQ(w.read("images/d/a_new_base.asc"),
                  written_header("500000.000000", "4000000.000000", "5.000000") +
                      "1.500000\t1.500000\t1.500000\t3.000000\t1.500000\t4.000000\t");
        EXPECT_EQ(w.run("d a 0 0 0 1 0 1 5\n").status, 0) << grid;
        EXPECT_EQ(read_u16le(w.read("images/d/a_new_base_m2.raw")),
                  (std::vector<unsigned>{15, 15, 15, 30, 15, 40}));
    }
}

TEST(AsciiReader, ProgressLinesEveryHundredLines) {
    Workdir w;
    std::string grid = "ncols 1\nnrows 250\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value 0\n";
    for (int i = 0; i < 250; ++i)
        grid += std::to_string(i + 1) + "\n";
    w.write("images/d/a.asc", grid);
    RunResult r = w.run("d a 0 -1\n");
    EXPECT_TEXT(r.out, start + "\n" + progress(100) + progress(200) + dem_has("250", "1") +
                           report("1.000000", "250.000000", "1") + yes_no);
}

TEST(AsciiWriter, GridFromARasterAsksTheCornerAndWritesExactBytes) {
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({15, 15, 15, 15, 15, 15})); // decimetres: 1.5 m
    w.write("images/d/a_m2.txt", "2\n3\n2\n15\n15\n0\n");
    RunResult r = w.run("d a 1 0 30 1 0 0 0 500000 4000000\n");
    EXPECT_TEXT(r.out, start + raster_menu + ask_pixel + input_range("15", "15") + unit_menu +
                           dem_has("2", "3") + report("1.500000", "1.500000", "6") + yes_no +
                           base_level("1.500000") + output_title + naming("a") + format_menu + utm);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.read("images/d/a_new_base.asc"),
              written_header("500000.000000", "4000000.000000", "30.000000") +
                  "1.500000\t1.500000\t1.500000\t1.500000\t1.500000\t1.500000\t");
}

TEST(AsciiWriter, AsciiToAsciiRepeatsTheCornerAndAsksOnlyThePixelSize) {
    Workdir w;
    w.write("images/d/a.asc", "ncols 3\nnrows 2\nxllcorner 123.4567891\nyllcorner -0.0000004\n"
                              "cellsize 25\nnodata_value 1\n0 7.25 0.0078125\n-1 8 0\n");
    RunResult r = w.run("d a 0 0 1 b 0 12.5\n");
    EXPECT_TEXT(r.out, start + "\n" + dem_has("2", "3") + report("-1.000000", "8.000000", "1") +
                           yes_no + base_level("0.007812") + output_title + naming("a") +
                           ask_new_name + format_menu + ask_pixel);
    EXPECT_EQ(w.read("images/d/b_new_base.asc"),
              written_header("123.456789", "-0.000000", "12.500000") +
                  "0.007812\t7.250000\t0.007812\t0.007812\t8.000000\t0.007812\t");
}

TEST(AsciiWriter, AsciiToRasterDescriptorTakesTheHeaderCellSizeBeforeTheQuestion) {
    Workdir w;
    w.write("images/d/a.asc", "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 27.9\n"
                              "nodata_value 0\n0.3 70\n");
    // 0.3 m: in decimetres 2, but the descriptor's minimum (rounded first) says 3.
    RunResult r = w.run("d a 0 0 0 1 0 1 5\n");
    EXPECT_EQ(read_u16le(w.read("images/d/a_new_base_m2.raw")), (std::vector<unsigned>{2, 700}));
    EXPECT_EQ(w.read("images/d/a_new_base_m2.txt"), "1\r\n2\r\n2\r\n3\r\n700\r\n27\r\n");
    EXPECT_TRUE(r.out.size() > ask_pixel.size() &&
                r.out.compare(r.out.size() - ask_pixel.size(), ask_pixel.size(), ask_pixel) == 0);
    w.run("d a 0 0 0 1 0 2 5\n");
    EXPECT_EQ(read_u16le(w.read("images/d/a_new_base_m2.raw")), (std::vector<unsigned>{29, 7000}));
    EXPECT_EQ(w.read("images/d/a_new_base_m2.txt"), "1\r\n2\r\n2\r\n30\r\n7000\r\n27\r\n");
    w.run("d a 0 0 0 1 0 3 5\n");
    EXPECT_EQ(read_u16le(w.read("images/d/a_new_base_m2.raw")), (std::vector<unsigned>{299, 4464}));
    EXPECT_EQ(w.read("images/d/a_new_base_m2.txt"), "1\r\n2\r\n2\r\n300\r\n70000\r\n27\r\n");
}

TEST(AsciiReader, ShortBodyEndsWithTheCountsAndWritesNothing) {
    Workdir w;
    w.write("images/d/a.asc", header_2x3 + "1 2 3 4 5");
    w.write("images/d/a_new_base.asc", "older output");
    RunResult r = w.run("d a 0 0 0 0 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TEXT(r.out, start + "\n");
    EXPECT_NE(r.err.find("c:\\images\\d\\a.asc holds 5 values where its header (2 lines x 3 "
                         "columns) announces 6"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(w.read("images/d/a_new_base.asc"), "older output");
}

TEST(AsciiReader, MalformedHeadersAndBodiesEndWithAMessage) {
    const struct {
        std::string grid, message;
    } cases[] = {
        {"ncols 3\nnrows", "ends in its header, before the nrows value"},
        {"", "ends in its header, before the ncols line"},
        {"ncols three\n", "header line 1 (ncols) holds \"three\", not a whole number"},
        {"ncols 3\nnrows 2\nxllcorner east\n", "header line 3 (xllcorner) holds \"east\""},
        // A value that is a number only in part is blamed on its own line.
        {"ncols 3.0\nnrows 2\n", "header line 1 (ncols) holds \"3.0\", not a whole number"},
        {"ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1,5\nNODATA_value -9999\n1 2 3 4 5 "
         "6",
         "header line 5 (cellsize) holds \"1,5\", not a number"},
        {"ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -1,5\n1 2 3 4 5 6",
         "header line 6 (nodata_value) holds \"-1,5\", not a number"},
        {header_2x3 + "1 2 3\n4 five 6\n", "value 5 (line 2, column 2) is \"five\", not a number"},
        {header_2x3 + "1 2 3\n4 5,5 6\n", "is \"5,5\", not a number"},
        {header_2x3, "holds 0 values where its header (2 lines x 3 columns) announces 6"},
    };
    for (const auto &c : cases) {
        Workdir w;
        w.write("images/d/a.asc", c.grid);
        RunResult r = w.run("d a 0 0 0 0 5\n");
        EXPECT_EQ(r.status, 1) << c.grid;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// A body of several pieces read on two threads: values are counted, and
// lines shown, in line order up to a fault in a later piece; words past the
// grid's last cell, junk among them, are never read.
TEST(AsciiReader, ABodyOfManyPiecesIsTakenInLineOrder) {
    const std::string header =
        "ncols 200\nnrows 300\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -1\n";
    // 60000 values of 4 or 6 characters: several pieces.
    const auto words = [](int from, int to) {
        std::string text;
        for (int k = from; k < to; ++k)
            text += k % 7 == 0 ? "0.0 " : std::to_string(100 + k % 97) + ".5 ";
        return text;
    };
    const std::string lines = start + "\n" + progress(100) + progress(200);
    const struct {
        std::string body, out, err;
    } cases[] = {
        {words(0, 59999), lines,
         "holds 59999 values where its header (300 lines x 200 columns) announces 60000"},
        {words(0, 50000) + "x9 " + words(50000, 60000), lines,
         "value 50001 (line 251, column 1) is \"x9\", not a number"},
        {words(0, 60000) + "-5.5 999 junk",
         lines + dem_has("300", "200") + report("0.000000", "196.500000", "8572") + yes_no, ""},
    };
    for (const auto &c : cases) {
        Workdir w;
        w.write("images/d/a.asc", header + c.body);
        const RunResult r = w.run("d a 0 -1\n");
        EXPECT_TEXT(r.out, c.out);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST(AsciiReader, LongKeywordsAndHeadersInAnotherOrderReadPositionally) {
    Workdir w;
    // nrows given first: its value is taken as the column count.
    w.write("images/d/a.asc", std::string(10000, 'k') +
                                  " 2\nncols 3\nxllcorner 0\n"
                                  "yllcorner 0\ncellsize 1\nnodata_value 0\n1 2 3 4 5 6\n");
    RunResult r = w.run("d a 0 -1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(dem_has("3", "2")), std::string::npos);
}

TEST(AsciiReader, NanAndInfinityCellsTakePartInNoComparisonButInfinitiesDo) {
    Workdir w;
    w.write("images/d/a.asc", "ncols 4\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                              "nodata_value 0\n0 nan 5 -inf\n");
    RunResult r = w.run("d a 0 0 0 0 1\n");
    EXPECT_TEXT(r.out, start + "\n" + dem_has("1", "4") + report("-inf", "5.000000", "1") + yes_no +
                           base_level("5.000000") + output_title + naming("a") + format_menu +
                           ask_pixel);
    EXPECT_EQ(w.read("images/d/a_new_base.asc"),
              "ncols 4\r\nnrows 1\r\nxllcorner 0.000000\r\nyllcorner 0.000000\r\ncellsize "
              "1.000000\r\nnodata_value -9999.9999\r\n5.000000\tnan\t5.000000\t5.000000\t");
    // In a raster, a cell that holds no number (or an infinite one) is stored as 0.
    w.write("images/d/a.asc", "ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                              "nodata_value 0\nnan 2 inf\n");
    r = w.run("d a 0 0 0 1 1 0 1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_i32le(w.read("images/d/a_new_base_m4.raw")), (std::vector<int>{0, 2, 0}));
    EXPECT_EQ(w.read("images/d/a_new_base_m4.txt"), "1\r\n3\r\n4\r\n2\r\n0\r\n1\r\n");
}

TEST(AsciiReader, ZeroOrNegativeSizesGiveAnEmptyGrid) {
    Workdir w;
    w.write("images/d/a.asc", "ncols 0\nnrows 5\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                              "nodata_value 0\n");
    RunResult r = w.run("d a 0 0 0 0 3\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(dem_has("5", "0") + report("10000000.000000", "0.000000", "0")),
              std::string::npos);
    EXPECT_EQ(w.read("images/d/a_new_base.asc"),
              "ncols 0\r\nnrows 5\r\nxllcorner 0.000000\r\nyllcorner 0.000000\r\ncellsize "
              "3.000000\r\nnodata_value -9999.9999\r\n");
    w.write("images/d/a.asc", "ncols -4\nnrows -2\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                              "nodata_value 0\n");
    r = w.run("d a 0 0 0 1 1 0 9\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(w.read("images/d/a_new_base_m4.raw"), "");
    EXPECT_EQ(w.read("images/d/a_new_base_m4.txt"), "-2\r\n-4\r\n4\r\n10000000\r\n0\r\n1\r\n");
}

TEST(AsciiWriter, ALargeBodyIsTheTextOfEveryRaisedValueInOrder) {
    // 600 x 500 cells: blocks of the stream made in two halves at once, a
    // block holding a value too long for that (made by one thread), in order.
    const int lines = 600, cols = 500;
    std::string grid = "ncols 500\nnrows 600\nxllcorner 1\nyllcorner 2\ncellsize 5\n"
                       "nodata_value -9999\n";
    std::string body;
    char text[400];
    double base = 1.0e7;
    std::vector<double> cells;
    for (int k = 0; k < lines * cols; ++k) {
        double v = k % 11 == 0 ? 0.0 : (k % 17 == 0 ? -4.5 : 100.0 + (k % 9973) * 0.125);
        if (k == 290000) v = 12345678901.5; // beyond 2^33
        if (k == 7) v = 0.25;               // the base level
        cells.push_back(v);
        std::snprintf(text, sizeof text, "%.17g ", v);
        grid += text;
        if (v > 0.0 && v < base) base = v;
    }
    for (double v : cells) {
        std::snprintf(text, sizeof text, "%lf\t", v < base ? base : v);
        body += text;
    }
    // Words past the grid's last cell, and a word that is no number, are never read.
    for (int k = 0; k < 90000; ++k)
        grid += "9.5 ";
    grid += "junk";
    Workdir w;
    w.write("images/d/a.asc", grid);
    const RunResult r = w.run("d a 0 0 0 0 5\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string written = w.read("images/d/a_new_base.asc");
    const std::string head =
        "ncols 500\r\nnrows 600\r\nxllcorner 1.000000\r\nyllcorner 2.000000\r\n"
        "cellsize 5.000000\r\nnodata_value -9999.9999\r\n";
    ASSERT_EQ(written.substr(0, head.size()), head);
    EXPECT_TRUE(written.substr(head.size()) == body) << "the body differs";
}

// Blocks made of the longest texts fill the room of the texts made at once to
// its last byte (a sanitized build catches one byte more): a raster's block
// of 2^18 cells of 2^31 - 1 m made in two halves, and a grid's piece whose
// raised texts, of up to 317 characters (1.7e308), end one byte before the end
// of their room, then leave less room than the longest text needs.
TEST(AsciiWriter, BlocksOfTheLongestTextsFitTheirRoom) {
    const auto text_of = [](double v) {
        char text[400];
        std::snprintf(text, sizeof text, "%lf\t", v);
        return std::string(text);
    };
    std::string raster, raster_body,
        grid = "ncols 2483\nnrows 1\nxllcorner 1\nyllcorner 2\n"
               "cellsize 5\nnodata_value 0\n",
        grid_body;
    for (int k = 0; k < 512 * 512; ++k) {
        raster += "\xff\xff\xff\x7f";
        raster_body += text_of(2147483647.0);
    }
    for (int k = 0; k < 2483; ++k) { // texts of 135, 1240 x 317, 137, 1240 x 317 characters
        const char *word = k == 0 ? "5e126" : k == 1241 ? "5e128" : k == 2482 ? "1" : "1.7e308";
        grid += std::string(word) + " ";
        grid_body += text_of(std::strtod(word, nullptr));
    }
    const struct {
        std::string input, bytes, descriptor, answers, body;
    } cases[] = {
        {"a_m4.raw", raster, "512\n512\n4\n0\n0\n10\n", "d a 1 1 0 0 0 0 1 2\n", raster_body},
        {"a.asc", grid, "", "d a 0 0 0 0 5\n", grid_body},
    };
    for (const auto &c : cases) {
        Workdir w;
        w.write("images/d/" + c.input, c.bytes);
        if (!c.descriptor.empty()) w.write("images/d/a_m4.txt", c.descriptor);
        const RunResult r = w.run(c.answers);
        ASSERT_EQ(r.status, 0) << c.input << ": " << r.err;
        const std::string written = w.read("images/d/a_new_base.asc");
        const std::size_t body = written.find("-9999.9999\r\n") + 12;
        EXPECT_TRUE(written.substr(body) == c.body) << c.input;
    }
}
