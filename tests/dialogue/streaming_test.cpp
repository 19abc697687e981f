// Raw rasters read again for each pass: short files, inputs that change
// between passes, inputs that can't be read twice (named pipes), and an output
// that takes the input's own name.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console_text.hpp"
#include "harness.hpp"

using namespace text;
namespace fs = std::filesystem;

namespace {
// Samples of a terrain with a zero collar, more than one 1 MiB block of them.
std::string terrain16(int lines, int cols) {
    std::string s;
    for (int i = 0; i < lines; ++i)
        for (int j = 0; j < cols; ++j) {
            const bool collar = i < 3 || j < 2 || i >= lines - 3;
            s += u16le({collar ? 0u : static_cast<unsigned>(4000 + (i * 7 + j * 13) % 3000)});
        }
    return s;
}
std::string terrain32(int lines, int cols) {
    std::string s;
    for (int i = 0; i < lines; ++i)
        for (int j = 0; j < cols; ++j) {
            const bool collar = i < 3 || j < 2 || i >= lines - 3;
            s += i32le({collar ? (j % 5 == 0 ? -7 : 0) : 250000 + (i * 37 + j * 11) % 400000});
        }
    return s;
}

std::string descriptor(int lines, int cols, int bytes) {
    return std::to_string(lines) + "\r\n" + std::to_string(cols) + "\r\n" + std::to_string(bytes) +
           "\r\n0\r\n0\r\n25\r\n";
}

// Every output file of a run, by name.
std::vector<std::pair<std::string, std::string>> outputs(const Workdir &w) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string &name : w.files())
        if (name.find("_new_base") != std::string::npos) files.emplace_back(name, w.read(name));
    return files;
}

struct Job {
    const char *what;
    bool sixteen;
    std::string answers;
};
const Job jobs[] = {
    {"16-bit to a 16-bit raster", true, "d a 1 0 1 0 0 1 0 2\n"},
    {"16-bit to a 32-bit raster", true, "d a 1 0 2 0 0 1 1 3\n"},
    {"32-bit to a 32-bit raster", false, "d a 1 1 3 0 0 1 1 3\n"},
    {"32-bit to a 16-bit raster", false, "d a 1 1 2 0 0 1 0 1\n"},
    {"32-bit to an ASCII grid", false, "d a 1 1 3 0 0 0 500000 4000000\n"},
    {"16-bit to an ASCII grid", true, "d a 1 0 2 0 0 0 500000 4000000\n"},
};

const char *raw_name(bool sixteen) {
    return sixteen ? "images/d/a_m2.raw" : "images/d/a_m4.raw";
}
const char *descriptor_name(bool sixteen) {
    return sixteen ? "images/d/a_m2.txt" : "images/d/a_m4.txt";
}
} // namespace

TEST(Streaming, AShortFileReadsAsTheSameFileWithZerosToItsEndOnEveryPass) {
    const int lines = 700, cols = 500; // 350 000 cells: more than a block of them
    for (const Job &job : jobs) {
        const std::string full = job.sixteen ? terrain16(lines, cols) : terrain32(lines, cols);
        // Cut in the second block, and once in the middle of a sample.
        for (std::size_t cut : {full.size() * 3 / 5, full.size() * 3 / 5 + 1, std::size_t{0}}) {
            std::string padded = full.substr(0, cut);
            padded.resize(full.size(), '\0');
            Workdir short_run, padded_run;
            short_run.write(raw_name(job.sixteen), full.substr(0, cut));
            padded_run.write(raw_name(job.sixteen), padded);
            for (const Workdir *w : {&short_run, &padded_run})
                w->write(descriptor_name(job.sixteen),
                         descriptor(lines, cols, job.sixteen ? 2 : 4));
            const RunResult a = short_run.run(job.answers), b = padded_run.run(job.answers);
            EXPECT_EQ(a.status, 0) << job.what << a.err;
            EXPECT_TEXT(a.out, b.out);
            EXPECT_TRUE(outputs(short_run) == outputs(padded_run)) << job.what << ", cut " << cut;
            EXPECT_EQ(outputs(short_run).size(),
                      job.answers.find(" 0 0 0 5") == std::string::npos ? 3u : 1u);
        }
    }
}

TEST(Streaming, AnInputChangedBetweenPassesStopsTheRunAndWritesNothing) {
    const int lines = 300, cols = 400;
    struct Change {
        const char *what;
        std::function<void(const Workdir &)> change;
    } changes[] = {
        {"a byte more",
         [](const Workdir &w) {
             std::ofstream(w.root() + "/c/images/d/a_m4.raw", std::ios::binary | std::ios::app)
                 << 'x';
         }},
        {"rewritten in place, same size",
         [](const Workdir &w) {
             std::fstream f(w.root() + "/c/images/d/a_m4.raw",
                            std::ios::binary | std::ios::in | std::ios::out);
             f.seekp(100);
             f.write("\x7f\x7f\x7f\x7f", 4);
             f.close();
             // A new modification time even where the clock is coarse.
             const auto p = fs::path(w.root() + "/c/images/d/a_m4.raw");
             fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(2));
         }},
    };
    for (const Change &c : changes) {
        Workdir w;
        w.write("images/d/a_m4.raw", terrain32(lines, cols));
        w.write("images/d/a_m4.txt", descriptor(lines, cols, 4));
        w.write("images/d/a_new_base_m4.raw", "older raster");
        RunLimits paused;
        paused.pause_at = "in millimeters\n\t\t";
        paused.at_pause = [&] { c.change(w); };
        paused.answers_after_pause = "3 0 0 1 1 3\n";
        const std::string changed_input = [&] {
            Workdir probe; // what the input holds once changed
            probe.write("images/d/a_m4.raw", terrain32(lines, cols));
            c.change(probe);
            return probe.read("images/d/a_m4.raw");
        }();
        const RunResult r = w.run("d a 1 1\n", paused);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find("c:\\images\\d\\a_m4.raw changed while it was being read"),
                  std::string::npos)
            << c.what << ": " << r.err;
        EXPECT_EQ(w.read("images/d/a_new_base_m4.raw"), "older raster") << c.what;
        EXPECT_EQ(w.files(), (std::vector<std::string>{"images/d/a_m4.raw", "images/d/a_m4.txt",
                                                       "images/d/a_new_base_m4.raw"}))
            << c.what;
        EXPECT_TRUE(w.read("images/d/a_m4.raw") == changed_input) << c.what;
    }
}

namespace {
// Feeds bytes into the named pipe at path once a reader has opened it (gives
// up after the run's own time limit).
std::thread feed_pipe(const std::string &path, std::string bytes) {
    return std::thread([path, bytes = std::move(bytes)] {
        int fd = -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((fd = open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (fd < 0) return;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    });
}
} // namespace

TEST(Streaming, ANamedPipeInputIsReadOnceAndGivesTheOutputOfTheSameFile) {
    if (under_wine()) GTEST_SKIP() << "named pipes of the host are not Windows files";
    const int lines = 600, cols = 700; // two blocks and more
    for (const Job &job : jobs) {
        const std::string samples = job.sixteen ? terrain16(lines, cols) : terrain32(lines, cols);
        for (std::size_t length : {samples.size(), samples.size() / 2 + 3}) {
            Workdir file_run, pipe_run;
            file_run.write(raw_name(job.sixteen), samples.substr(0, length));
            pipe_run.make_folder("images/d");
            const std::string fifo = pipe_run.root() + "/c/" + raw_name(job.sixteen);
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            for (const Workdir *w : {&file_run, &pipe_run})
                w->write(descriptor_name(job.sixteen),
                         descriptor(lines, cols, job.sixteen ? 2 : 4));
            const RunResult expected = file_run.run(job.answers);
            std::thread feeder = feed_pipe(fifo, samples.substr(0, length));
            const RunResult r = pipe_run.run(job.answers);
            feeder.join();
            EXPECT_EQ(r.status, 0) << job.what << r.err;
            EXPECT_TEXT(r.out, expected.out);
            EXPECT_TRUE(outputs(pipe_run) == outputs(file_run)) << job.what << ", " << length;
            // The copy kept for the second pass is gone, whatever its name was.
            std::vector<std::string> left = pipe_run.files();
            std::vector<std::string> wanted = file_run.files();
            wanted.erase(std::find(wanted.begin(), wanted.end(), raw_name(job.sixteen)));
            EXPECT_EQ(left, wanted) << job.what;
        }
    }
}

// A full disk while the pipe is copied for the second pass names the copy,
// not the input, which was read well.
TEST(Streaming, AFullDiskWhileCopyingAPipeNamesTheCopy) {
    if (under_wine()) GTEST_SKIP() << "named pipes of the host are not Windows files";
    const Job &job = jobs[0];
    const std::string samples = job.sixteen ? terrain16(300, 200) : terrain32(300, 200);
    Workdir w;
    w.make_folder("images/d");
    const std::string fifo = w.root() + "/c/" + raw_name(job.sixteen);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    w.write(descriptor_name(job.sixteen), descriptor(300, 200, job.sixteen ? 2 : 4));
    RunLimits full;
    full.file_size = 16384;
    std::thread feeder = feed_pipe(fifo, samples);
    const RunResult r = w.run(job.answers, full);
    feeder.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the temporary copy of c:\\images\\d\\" +
                         std::string(raw_name(job.sixteen)).substr(9) + " in c:\\images\\d\\ ("),
              std::string::npos)
        << r.err;
}

TEST(Streaming, TheOutputMayTakeTheInputsOwnName) {
    // Input b_new_base, output name b: the 32-bit output b_new_base_m4.raw
    // replaces its own input once every pass over it has ended.
    const int lines = 400, cols = 900;
    const std::string samples = terrain32(lines, cols);
    Workdir same, other;
    same.write("images/d/b_new_base_m4.raw", samples);
    same.write("images/d/b_new_base_m4.txt", descriptor(lines, cols, 4));
    other.write("images/d/c_m4.raw", samples);
    other.write("images/d/c_m4.txt", descriptor(lines, cols, 4));
    const RunResult r = same.run("d b_new_base 1 1 3 0 1 b 1 1 3\n");
    const RunResult expected = other.run("d c 1 1 3 0 1 b 1 1 3\n");
    ASSERT_EQ(expected.status, 0) << expected.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same.read("images/d/b_new_base_m4.raw") ==
                other.read("images/d/b_new_base_m4.raw"));
    EXPECT_EQ(same.read("images/d/b_new_base_m4.txt"), other.read("images/d/b_new_base_m4.txt"));
    EXPECT_FALSE(same.read("images/d/b_new_base_m4.raw") == samples) << "the input was replaced";
    EXPECT_EQ(same.files(),
              (std::vector<std::string>{"images/d/b_new_base_m4.hdr", "images/d/b_new_base_m4.raw",
                                        "images/d/b_new_base_m4.txt"}));
}

TEST(Streaming, AnAsciiOutputMayTakeTheAsciiInputsOwnName) {
    Workdir same, other;
    const std::string grid = "ncols 3\nnrows 2\nxllcorner 1\nyllcorner 2\ncellsize 5\n"
                             "nodata_value 0\n0 1.25 7\n-3 4 0.5\n";
    same.write("images/d/b_new_base.asc", grid);
    other.write("images/d/c.asc", grid);
    const RunResult r = same.run("d b_new_base 0 0 1 b 0 5\n");
    const RunResult expected = other.run("d c 0 0 1 b 0 5\n");
    ASSERT_EQ(expected.status, 0) << expected.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(same.read("images/d/b_new_base.asc"), other.read("images/d/b_new_base.asc"));
    EXPECT_NE(same.read("images/d/b_new_base.asc"), grid);
}

#ifndef GZ_SANITIZE // the sanitizers reserve more address space than the limit allows
TEST(Streaming, AnAsciiGridLargerThanTheAddressSpaceGivesTheBytesOfAnUnlimitedRun) {
    if (under_wine() || under_launcher())
        GTEST_SKIP() << "Wine and emulators reserve more address space than these limits allow";
    // 8 M cells: 64 MB as doubles, more than the 48 MiB the run may map.
    const int lines = 2000, cols = 4000;
    std::string grid = "ncols 4000\r\nnrows 2000\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 5\r\n"
                       "nodata_value -9999\r\n";
    grid.reserve(std::size_t{6} * lines * cols);
    for (int i = 0; i < lines; ++i) {
        for (int j = 0; j < cols; ++j) {
            const bool collar = i < 5 || j < 7 || i >= lines - 5;
            grid += collar ? "-9999 " : std::to_string(100 + (i * 7 + j * 3) % 900) + ".5 ";
        }
        grid += "\r\n";
    }
    const std::string answers = "d a 0 0 0 0 5\n";
    Workdir free_run;
    free_run.write("images/d/a.asc", grid);
    const RunResult expected = free_run.run(answers);
    ASSERT_EQ(expected.status, 0) << expected.err;
    for (const bool pipe : {false, true}) {
        Workdir limited;
        std::thread feeder;
        if (pipe) {
            limited.make_folder("images/d");
            const std::string fifo = limited.root() + "/c/images/d/a.asc";
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            feeder = feed_pipe(fifo, grid);
        } else {
            limited.write("images/d/a.asc", grid);
        }
        const RunResult r = limited.run(answers, RunLimits{48LL << 20, 0, false});
        if (feeder.joinable()) feeder.join();
        EXPECT_EQ(r.status, 0) << (pipe ? "pipe: " : "file: ") << r.err;
        EXPECT_TEXT(r.out, expected.out);
        EXPECT_TRUE(limited.read("images/d/a_new_base.asc") ==
                    free_run.read("images/d/a_new_base.asc"))
            << (pipe ? "from a pipe" : "from a file");
        std::vector<std::string> wanted = free_run.files();
        if (pipe) wanted.erase(wanted.begin()); // the pipe isn't listed, and no copy is left
        EXPECT_EQ(limited.files(), wanted);
    }
}

// Words whose text is long, written or read, take no more room than short ones:
// 1e308 is written as 316 characters, and 40000-digit words fill a piece.
TEST(Streaming, LongWordsInOrOutRunInTheRoomOfShortOnesAndGiveTheBytesOfAnUnlimitedRun) {
    if (under_wine() || under_launcher())
        GTEST_SKIP() << "Wine and emulators reserve more address space than these limits allow";
    const std::string digits(40000, '0');
    const std::vector<std::string> cases[] = {
        {"1e308"}, // cells in turn, in a grid of 300000 cells
        {"-1e308", "0", "1e300", "5.5", "1e308", "1e308", "-0.25"},
        {"1" + digits, "2.5", "0." + digits + "1"}, // 1200 cells
    };
    for (const auto &words : cases) {
        const int cells = words[0].size() > 1000 ? 1200 : 300000;
        std::string grid = "ncols 600\nnrows " + std::to_string(cells / 600) +
                           "\nxllcorner 0\nyllcorner 0\ncellsize 5\nnodata_value -9999\n";
        for (int k = 0; k < cells; ++k)
            grid += words[static_cast<std::size_t>(k) % words.size()] + " ";
        Workdir free_run, limited;
        free_run.write("images/d/a.asc", grid);
        limited.write("images/d/a.asc", grid);
        ASSERT_EQ(free_run.run("d a 0 0 0 0 5\n").status, 0);
        const RunResult r = limited.run("d a 0 0 0 0 5\n", RunLimits{32LL << 20, 0, false});
        EXPECT_EQ(r.status, 0) << words[0] << ": " << r.err;
        EXPECT_TRUE(limited.read("images/d/a_new_base.asc") ==
                    free_run.read("images/d/a_new_base.asc"))
            << words[0];
    }
}

// Words of megabytes, read as short words (the same text, status and outputs
// as a grid of their short equivalents), in the header and the body both
// passes read, under a limit they alone would pass.
TEST(Streaming, WordsOfMegabytesAreReadInTheRoomOfShortOnes) {
    if (under_wine() || under_launcher())
        GTEST_SKIP() << "Wine and emulators reserve more address space than these limits allow";
    const std::string zeros(std::size_t{4} << 20, '0');
    struct Case {
        std::string cellsize, word;             // long
        std::string short_cellsize, short_word; // read alike
    };
    const Case cases[] = {
        {"5", "1" + zeros + ".5", "5", "1e4194304"},
        {"5", "-0.0" + zeros + "1e+4194308", "5", "-100"},
        {"0." + zeros + "5", "2" + zeros + "e-4194304", "5e-4194305", "2"},
        {"5", std::string(std::size_t{6} << 20, 'a'), "5", std::string(50, 'a')},
    };
    for (const Case &c : cases) {
        const auto grid = [](const std::string &cellsize, const std::string &word) {
            return "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize " + cellsize +
                   "\nnodata_value -9999\n1.5 " + word + " 7\n-3 " + word + " 0\n";
        };
        Workdir limited, reference;
        limited.write("images/d/a.asc", grid(c.cellsize, c.word));
        reference.write("images/d/a.asc", grid(c.short_cellsize, c.short_word));
        const RunResult expected = reference.run("d a 0 0 0 0 5\n");
        const RunResult r = limited.run("d a 0 0 0 0 5\n", RunLimits{32LL << 20, 0, false});
        const std::string what = c.word.substr(0, 12) + "...";
        EXPECT_EQ(r.status, expected.status) << what << ": " << r.err;
        EXPECT_TEXT(r.out, expected.out);
        EXPECT_EQ(r.err, expected.err) << what;
        EXPECT_EQ(outputs(limited), outputs(reference)) << what;
    }
}
#endif

TEST(Streaming, AnAsciiGridChangedBetweenPassesStopsTheRunAndWritesNothing) {
    Workdir w;
    w.write("images/d/a.asc", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 5\n"
                              "nodata_value -9999\n0 1.5 7\n-3 4 0\n");
    w.write("images/d/a_new_base.asc", "older output");
    RunLimits paused;
    paused.pause_at = "1 ====> no\n\t\t";
    paused.at_pause = [&] {
        std::ofstream(w.root() + "/c/images/d/a.asc", std::ios::binary | std::ios::app) << "9 ";
    };
    paused.answers_after_pause = "0 0 0 5\n";
    const RunResult r = w.run("d a 0\n", paused);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("c:\\images\\d\\a.asc changed while it was being read"), std::string::npos)
        << r.err;
    EXPECT_EQ(w.read("images/d/a_new_base.asc"), "older output");
}
