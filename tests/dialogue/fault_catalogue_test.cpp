// The fault catalogue: what goes wrong, what the user sees, the exit status,
// and which files exist afterwards. Inputs are never modified, an older output
// survives every failed run, and no unfinished file is ever left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "console_text.hpp"
#include "harness.hpp"

using namespace text;
using namespace std::string_literals;

namespace {
std::vector<std::string> split(const std::string &answers) {
    std::istringstream in(answers);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string join(const std::vector<std::string> &words, std::size_t n) {
    std::string s;
    for (std::size_t k = 0; k < n && k < words.size(); ++k)
        s += words[k] + "\n";
    return s;
}

bool is_number(const std::string &w) {
    return !w.empty() && (std::isdigit(static_cast<unsigned char>(w[0])) || w[0] == '-');
}

// A whole run of each kind: the set-up, the answers, and the files it writes.
struct WholeRun {
    const char *name;
    std::function<void(const Workdir &)> setup;
    std::string answers;
    std::vector<std::string> outputs;
    std::string created = {}; // a descriptor the dialogue creates: kept once complete
};

const WholeRun whole_runs[] = {
    {"raster with a created descriptor, to a 16-bit raster",
     [](const Workdir &w) {
         w.write("images/d/a_m2.raw", u16le({0, 5, 7, 0, 9, 6}));
     },
     "d a 1 0 2 3 0.5 25 2 0 0 1 0 2",
     {"images/d/a_new_base_m2.raw", "images/d/a_new_base_m2.txt"},
     "images/d/a_m2.txt"},
    {"32-bit raster to an ASCII grid, new name",
     [](const Workdir &w) {
         w.write("images/d/a_m4.raw", i32le({0, -5, 7000, 9000}));
         w.write("images/d/a_m4.txt", "2 2 4 0 0 0");
     },
     "d a 1 1 0.5 3 0 1 b 0 30 500000 4000000",
     {"images/d/b_new_base.asc"}},
    {"ASCII grid to ASCII grid",
     [](const Workdir &w) {
         w.write("images/d/a.asc", "ncols 2\nnrows 2\nxllcorner 1\nyllcorner 2\ncellsize 5\n"
                                   "nodata_value 0\n0 1.25\n-3 4\n");
     },
     "d a 0 0 0 0 7.5",
     {"images/d/a_new_base.asc"}},
};
} // namespace

TEST(FaultCatalogue, EndOfInputAtEveryQuestionEndsWithStatus1AndNoOutput) {
    for (const WholeRun &run : whole_runs) {
        const std::vector<std::string> words = split(run.answers);
        for (std::size_t n = 0; n < words.size(); ++n) {
            Workdir w;
            run.setup(w);
            const std::vector<std::string> inputs = w.files();
            RunResult r = w.run(join(words, n));
            EXPECT_FALSE(r.hung) << run.name << ", " << n << " answers";
            EXPECT_EQ(r.status, 1) << run.name << ", " << n << " answers";
            EXPECT_NE(r.err.find("end of input: no answer for "), std::string::npos) << r.err;
            std::vector<std::string> files = w.files();
            if (!run.created.empty() && w.exists(run.created)) {
                // Created whole or not at all: six lines, each ended by CR LF.
                const std::string d = w.read(run.created);
                EXPECT_EQ(std::count(d.begin(), d.end(), '\n'), 6) << d;
                EXPECT_EQ(std::count(d.begin(), d.end(), '\r'), 6) << d;
                files.erase(std::find(files.begin(), files.end(), run.created));
            }
            EXPECT_EQ(files, inputs) << run.name << ", " << n << " answers";
        }
        Workdir w;
        run.setup(w);
        RunResult r = w.run(join(words, words.size()));
        EXPECT_EQ(r.status, 0) << run.name << r.err;
        for (const std::string &out : run.outputs)
            EXPECT_TRUE(w.exists(out)) << out;
    }
}

TEST(FaultCatalogue, NonNumberAtEveryNumericQuestionIsAskedAgainWithTheSameResult) {
    for (const WholeRun &run : whole_runs) {
        const std::vector<std::string> words = split(run.answers);
        Workdir clean;
        run.setup(clean);
        RunResult expected = clean.run(join(words, words.size()));
        ASSERT_EQ(expected.status, 0) << run.name;
        for (std::size_t k = 2; k < words.size(); ++k) {
            if (!is_number(words[k])) continue;
            std::vector<std::string> noisy = words;
            noisy.insert(noisy.begin() + static_cast<long>(k), "x?");
            Workdir w;
            run.setup(w);
            RunResult r = w.run(join(noisy, noisy.size()));
            EXPECT_EQ(r.status, 0) << run.name << ", before answer " << k;
            EXPECT_GT(r.out.size(), expected.out.size()) << "the question is printed again";
            for (const std::string &out : run.outputs)
                EXPECT_EQ(w.read(out), clean.read(out)) << run.name << ", before answer " << k;
        }
    }
}

namespace {
struct Fault {
    const char *what;
    std::function<void(const Workdir &)> setup;
    std::string answers;
    int status;
    std::string shows;                // a text the console (out or err) must hold
    std::vector<std::string> written; // files the run adds; none other may appear
    RunLimits limits = {};
};

const std::string grid_2x3 =
    "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value 0\n";

void raster16(const Workdir &w, const std::string &descriptor, std::initializer_list<unsigned> s) {
    w.write("images/d/a_m2.raw", u16le(s));
    w.write("images/d/a_m2.txt", descriptor);
}

const Fault faults[] = {
    {"input folder does not exist",
     [](const Workdir &) {},
     "nowhere a 1 0",
     0,
     unknown("c:\\images\\nowhere\\a_m2.raw"),
     {}},
    {"input folder is a file: the input does not exist either",
     [](const Workdir &w) { w.write("images/d", "a file"); },
     "d a 1 0",
     0,
     unknown("c:\\images\\d\\a_m2.raw"),
     {}},
    {"input raster exists but can't be opened: a failure, not unknown",
     [](const Workdir &w) {
         raster16(w, "1 2 2 0 0 1", {4, 9});
         w.set_unreadable("images/d/a_m2.raw");
     },
     "d a 1 0",
     1,
     "cannot open c:\\images\\d\\a_m2.raw (Permission denied)",
     {},
     RunLimits{0, 0, true}},
    {"ASCII input exists but can't be opened",
     [](const Workdir &w) {
         w.write("images/d/a.asc", grid_2x3 + "1 2 3 4 5 6");
         w.set_unreadable("images/d/a.asc");
     },
     "d a 0",
     1,
     "cannot open c:\\images\\d\\a.asc (Permission denied)",
     {},
     RunLimits{0, 0, true}},
    {"the input's coordinate system can't be read (a folder of that name): nothing is written",
     [](const Workdir &w) {
         raster16(w, "1 2 2 0 0 1", {4, 9});
         w.make_folder("images/d/a_m2.prj");
     },
     "d a 1 0 0 0 0 1 0 0",
     1,
     "c:\\images\\d\\a_m2.prj (", // cannot open or read it, as the host has it
     {}},
    {"a NUL byte ends a typed name: the suffix stays, the file of the bare name is untouched",
     [](const Workdir &w) {
         w.write("images/d/a.asc", grid_2x3 + "1 2 3 4 5 6");
         w.write("images/victim", "precious");
     },
     "d a 0 0 1 ../victim\0tail 0 1"s,
     0,
     "Pixel Size",
     {"images/victim_new_base.asc"}},
    {"a NUL byte ends a typed name, raster form",
     [](const Workdir &w) {
         raster16(w, "1 2 2 0 0 1", {4, 9});
         w.write("images/victim", "precious");
     },
     "d a 1 0 0 0 1 ../victim\0 1 0 0"s,
     0,
     "Dynamic hypsometric scale out",
     {"images/victim_new_base_m2.raw", "images/victim_new_base_m2.txt",
      "images/victim_new_base_m2.hdr"}},
    {"ASCII input missing",
     [](const Workdir &w) { w.make_folder("images/d"); },
     "d a 0",
     0,
     unknown("c:\\images\\d\\a.asc"),
     {}},
    {"empty descriptor: every field 0, pixel size asked",
     [](const Workdir &w) {
         raster16(w, "", {1, 2});
     },
     "d a 1 0 5 0 0 0 1 0 0",
     0,
     ask_pixel + input_range("1000000", "0") + unit_menu + dem_has("0", "0"),
     {"images/d/a_new_base_m2.raw", "images/d/a_new_base_m2.txt", "images/d/a_new_base_m2.hdr"}},
    {"negative sizes in the descriptor: an empty grid",
     [](const Workdir &w) {
         raster16(w, "-2 -3 2 0 0 10", {1, 2});
     },
     "d a 1 0 0 1",
     0,
     dem_has("-2", "-3") + report("10000000.000000", "0.000000", "0"),
     {}},
    {"descriptor of 2000000000 x 2000000000 over a file of one sample: no room for the output",
     [](const Workdir &w) { raster16(w, "2000000000 2000000000 2 0 0 1", {1}); },
     "d a 1 0 0 0 0 1 0 0",
     1,
     "not enough room on the disk for c:\\images\\d\\a_new_base_m2.raw: 8000000000000000000 bytes "
     "needed",
     {}},
    {"non-integer descriptor: fields stay 0",
     [](const Workdir &w) {
         raster16(w, "two\n3\n2\n", {1, 2});
     },
     "d a 1 0 5 0 1",
     0,
     dem_has("0", "0"),
     {}},
    {"descriptor missing its last fields",
     [](const Workdir &w) {
         raster16(w, "1 2", {4, 9});
     },
     "d a 1 0 5 0 1",
     0,
     ask_pixel + input_range("4", "9"),
     {}},
    {"raw file shorter than its descriptor: zeros",
     [](const Workdir &w) {
         raster16(w, "2 2 2 0 0 1", {4, 9});
     },
     "d a 1 0 0 1",
     0,
     input_range("0", "9") + unit_menu + dem_has("2", "2") + report("0.000000", "9.000000", "2"),
     {}},
    {"raw file longer than its descriptor: the rest is not read",
     [](const Workdir &w) {
         raster16(w, "1 2 2 0 0 1", {4, 9, 60000});
     },
     "d a 1 0 0 1",
     0,
     input_range("4", "9"),
     {}},
    {"ASCII body short by one value",
     [](const Workdir &w) { w.write("images/d/a.asc", grid_2x3 + "1 2 3 4 5\n"); },
     "d a 0 0 0 0 1",
     1,
     "holds 5 values where its header (2 lines x 3 columns) announces 6",
     {}},
    {"ASCII keyword of 10000 characters",
     [](const Workdir &w) {
         w.write("images/d/a.asc",
                 std::string(10000, 'n') + " 3\nnrows 2\nx 0\ny 0\nc 1\nn 0\n1 2 3 4 5 6");
     },
     "d a 0 1",
     0,
     dem_has("2", "3"),
     {}},
    {"ASCII header announcing 2000000000 x 2000000000 cells",
     [](const Workdir &w) {
         w.write("images/d/a.asc", "ncols 2000000000\nnrows 2000000000\nx 0\ny 0\nc 1\nn 0\n1 2\n");
     },
     "d a 0 0 0 0 1",
     1,
     "holds 2 values where its header (2000000000 lines x 2000000000 columns) announces "
     "4000000000000000000",
     {}},
    {"ASCII header without its optional no-data line",
     [](const Workdir &w) {
         w.write("images/d/a.asc", "ncols 2\nnrows 1\nx 0\ny 0\nc 1\n 5 6\n7 8\n");
     },
     "d a 0 0 0 0 1",
     1,
     "the header has no nodata_value line (line 6 holds the value \"5\")",
     {}},
    {"ASCII header in the wrong order: read by position",
     [](const Workdir &w) {
         w.write("images/d/a.asc", "nrows 2\nncols 3\nx 0\ny 0\nc 1\nn 0\n1 2 3 4 5 6");
     },
     "d a 0 1",
     0,
     dem_has("3", "2"),
     {}},
    {"ASCII cells nan and inf",
     [](const Workdir &w) { w.write("images/d/a.asc", grid_2x3 + "nan 2 inf\n-inf 0 3\n"); },
     "d a 0 0 0 0 1",
     0,
     report("-inf", "inf", "1"),
     {"images/d/a_new_base.asc"}},
    {"ASCII value that is not a number",
     [](const Workdir &w) { w.write("images/d/a.asc", grid_2x3 + "1 2 3\n4 - 6\n"); },
     "d a 0 0 0 0 1",
     1,
     "value 5 (line 2, column 2) is \"-\", not a number",
     {}},
    {"output folder not writable",
     [](const Workdir &w) {
         raster16(w, "1 2 2 0 0 1", {4, 9});
         w.write("images/d/a_new_base_m2.raw", "older raster");
         w.set_read_only("images/d", true);
     },
     "d a 1 0 0 0 0 1 0 0",
     1,
     "cannot create c:\\images\\d\\a_new_base_m2.raw (Permission denied)",
     {},
     RunLimits{0, 0, true}},
    {"ASCII output folder not writable",
     [](const Workdir &w) {
         w.write("images/d/a.asc", grid_2x3 + "1 2 3 4 5 6");
         w.set_read_only("images/d", true);
     },
     "d a 0 0 0 0 1",
     1,
     "cannot create c:\\images\\d\\a_new_base.asc (Permission denied)",
     {},
     RunLimits{0, 0, true}},
    {"existing descriptor that can't be read: kept, nothing asked, nothing written",
     [](const Workdir &w) {
         raster16(w, "1 2 2 0 0 1", {4, 9});
         w.write("images/d/a_new_base_m2.raw", "older raster");
         w.set_unreadable("images/d/a_m2.txt");
     },
     "d a 1 0 1 2 10 0 0 0 1 0 0",
     1,
     "cannot open c:\\images\\d\\a_m2.txt (Permission denied)",
     {},
     RunLimits{0, 0, true}},
    {"descriptor cannot be created: the run goes on with the sizes typed",
     [](const Workdir &w) {
         w.write("images/d/a_m2.raw", u16le({4, 9}));
         w.set_read_only("images/d", true);
     },
     "d a 1 0 1 2 10 0 1",
     0,
     "the descriptor c:\\images\\d\\a_m2.txt cannot be created (Permission denied); going on "
     "with the sizes typed",
     {},
     RunLimits{0, 0, true}},
    {"disk full part-way through the raster",
     [](const Workdir &w) {
         w.write("images/d/a_m4.raw", std::string(4 * 5000, '\x01'));
         w.write("images/d/a_m4.txt", "100 50 4 0 0 1");
         w.write("images/d/a_new_base_m4.raw", "older raster");
     },
     "d a 1 1 0 0 0 1 1 0",
     1,
     "cannot write c:\\images\\d\\a_new_base_m4.raw (File too large)",
     {},
     RunLimits{0, 16384, false}},
    {"disk full part-way through the ASCII grid",
     [](const Workdir &w) {
         std::string body;
         for (int i = 0; i < 3000; ++i)
             body += "123.25 ";
         w.write("images/d/a.asc", "ncols 100\nnrows 30\nx 0\ny 0\nc 1\nn 0\n" + body);
     },
     "d a 0 0 0 0 1",
     1,
     "cannot write c:\\images\\d\\a_new_base.asc (File too large)",
     {},
     RunLimits{0, 16384, false}},
};
} // namespace

TEST(FaultCatalogue, EachFaultShowsItsMessageEndsWithItsStatusAndKeepsEveryFile) {
    for (const Fault &f : faults) {
        // Wine runs only as the owner of its prefix, so folder permissions can't
        // be tried there; and it reports a full disk with another system error.
        if (under_wine() && f.limits.unprivileged) continue;
        const std::string shows = under_wine() && f.limits.file_size > 0
                                      ? f.shows.substr(0, f.shows.find(" ("))
                                      : f.shows;
        Workdir w;
        f.setup(w);
        std::vector<std::pair<std::string, std::string>> before;
        for (const std::string &name : w.files())
            before.emplace_back(name, w.read(name));
        RunResult r = w.run(f.answers, f.limits);
        w.set_read_only("images", false);
        if (w.exists("images/d")) w.set_read_only("images/d", false);
        EXPECT_FALSE(r.hung) << f.what;
        EXPECT_EQ(r.status, f.status) << f.what << "\n" << r.err;
        EXPECT_TRUE((r.out + r.err).find(shows) != std::string::npos)
            << f.what << "\nout: " << r.out.substr(r.out.size() > 400 ? r.out.size() - 400 : 0)
            << "\nerr: " << r.err;
        // Every file there before is unchanged; the only new files are those written.
        std::vector<std::string> expected_files;
        for (const auto &[name, bytes] : before) {
            EXPECT_EQ(w.read(name), bytes) << f.what << ": " << name << " changed";
            expected_files.push_back(name);
        }
        for (const std::string &name : f.written)
            expected_files.push_back(name);
        std::sort(expected_files.begin(), expected_files.end());
        EXPECT_EQ(w.files(), expected_files) << f.what;
    }
}

#ifndef GZ_SANITIZE // the sanitizers reserve more address space than the limit allows
TEST(FaultCatalogue, TightAddressSpaceLimitsEndCleanOrWithTheOutOfMemoryMessage) {
    if (under_wine() || under_launcher())
        GTEST_SKIP() << "Wine and emulators reserve more address space than these limits allow";
    // Below about 6 MiB the loader itself can't map the C library, before the program runs.
    struct Case {
        const char *what, *answers;
        std::function<void(const Workdir &)> setup;
    } cases[] = {
        {"32-bit raster to a 16-bit raster", "d a 1 1 0 0 0 1 0 2\n",
         [](const Workdir &w) {
             std::string samples;
             for (int k = 0; k < 300 * 400; ++k)
                 samples += i32le({k % 7 == 0 ? 0 : 1000 + k % 5000});
             w.write("images/d/a_m4.raw", samples);
             w.write("images/d/a_m4.txt", "300 400 4 0 0 10");
         }},
        {"ASCII grid to an ASCII grid", "d a 0 0 0 0 10\n",
         [](const Workdir &w) {
             std::string grid = "ncols 300\nnrows 200\nxllcorner 0\nyllcorner 0\ncellsize 10\n"
                                "nodata_value -9999\n";
             for (int k = 0; k < 300 * 200; ++k)
                 grid += k % 9 == 0 ? "0 " : std::to_string(100 + k % 700) + ".5 ";
             w.write("images/d/a.asc", grid);
         }},
    };
    for (const Case &c : cases) {
        Workdir clean;
        c.setup(clean);
        ASSERT_EQ(clean.run(c.answers).status, 0) << c.what;
        for (long long mib = 6; mib <= 48; mib += 2) {
            Workdir w;
            c.setup(w);
            const std::vector<std::string> inputs = w.files();
            RunResult r = w.run(c.answers, RunLimits{mib << 20, 0, false});
            const std::string what = std::string(c.what) + " under " + std::to_string(mib) + " MiB";
            EXPECT_FALSE(r.hung) << what;
            if (r.status == 0) {
                EXPECT_EQ(w.files(), clean.files()) << what;
                for (const std::string &name : clean.files())
                    EXPECT_EQ(w.read(name), clean.read(name)) << what << ": " << name;
            } else {
                EXPECT_EQ(r.status, 1) << what << " (signal " << r.signal << ")\n" << r.err;
                EXPECT_NE(r.err.find("groundzero: not enough memory"), std::string::npos)
                    << what << "\n"
                    << r.err;
                EXPECT_EQ(w.files(), inputs) << what;
            }
        }
    }
}

TEST(FaultCatalogue, AsciiGridOfAHugeHeaderUnderAnAddressSpaceLimitIsReadWithoutHoldingIt) {
    if (under_wine() || under_launcher())
        GTEST_SKIP() << "Wine and emulators reserve more address space than these limits allow";
    // An ASCII grid is never held: a header of 200 M cells needs no memory
    // for them, and its short body is what ends the run.
    Workdir w;
    w.write(
        "images/d/a.asc",
        "ncols 10000\nnrows 20000\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value 0\n1 2\n");
    RunResult r = w.run("d a 0 0 0 0 1\n", RunLimits{512LL << 20, 0, false});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds 2 values where its header (20000 lines x 10000 columns) announces "
                         "200000000"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(w.files().size(), 1u) << "no output may appear";
}

TEST(FaultCatalogue, RasterOf16MillionCellsUnderA48MiBAddressSpaceGivesTheSameBytes) {
    if (under_wine() || under_launcher())
        GTEST_SKIP() << "Wine and emulators reserve more address space than these limits allow";
    // A raw raster is never held: its 64 MB of samples pass through in blocks.
    const auto setup = [](const Workdir &w) {
        std::string samples;
        samples.reserve(std::size_t{4} << 24);
        for (int i = 0; i < 4096; ++i)
            for (int j = 0; j < 4096; ++j) {
                const int di = i - 2048, dj = j - 2048;
                const bool inside = di * di + dj * dj < 1900 * 1900;
                const long long mm = inside ? 250000 + (i * 37 + j * 11) % 400000 : 0;
                samples += i32le({mm});
            }
        w.write("images/d/a_m4.raw", samples);
        w.write("images/d/a_m4.txt", "4096 4096 4 0 0 25");
    };
    const std::string answers = "d a 1 1 3 0 0 1 1 3\n";
    Workdir free_run, limited;
    setup(free_run);
    setup(limited);
    const RunResult expected = free_run.run(answers);
    ASSERT_EQ(expected.status, 0) << expected.err;
    const RunResult r = limited.run(answers, RunLimits{48LL << 20, 0, false});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TEXT(r.out, expected.out);
    EXPECT_EQ(limited.files(), free_run.files());
    for (const char *name : {"images/d/a_new_base_m4.raw", "images/d/a_new_base_m4.txt"})
        EXPECT_TRUE(limited.read(name) == free_run.read(name)) << name;
}
#endif
