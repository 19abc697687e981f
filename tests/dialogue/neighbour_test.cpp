// Runs beside others and beside a console that has gone: a reader never pairs
// files of two publishing runs, and output nobody can read ends in a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console_text.hpp"
#include "harness.hpp"

namespace {
bool fs_contains(const std::string &path, const std::string &text) {
    std::ifstream in(path, std::ios::binary);
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return s.find(text) != std::string::npos;
}
} // namespace

TEST(Console, OutputThatCantBeWrittenEndsWithAMessageAndStatus1) {
    const struct {
        ConsoleOut console;
        const char *reason;
    } cases[] = {
        {ConsoleOut::full_disk, "No space left on device"},
        {ConsoleOut::broken_pipe, "Broken pipe"},
        {ConsoleOut::closed, "Bad file descriptor"},
    };
    for (const auto &c : cases) {
        if (under_wine() && c.console == ConsoleOut::closed) continue; // Wine gives it a console
        Workdir w;
        w.write("images/d/a.asc", "ncols 2\nnrows 1\nx 0\ny 0\nc 1\nn 0\n0 4\n");
        RunLimits limits;
        limits.console = c.console;
        const RunResult r = w.run("d a 0 0 0 0 7.5\n", limits);
        EXPECT_EQ(r.signal, 0) << c.reason;
        EXPECT_EQ(r.status, 1) << c.reason;
        EXPECT_NE(r.err.find(std::string("groundzero: cannot write to standard output (") +
                             (under_wine() ? "" : c.reason)),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(w.files(), std::vector<std::string>{"images/d/a.asc"}) << c.reason;
        for (const char *arg : {"--help", "--version"}) {
            if (c.console == ConsoleOut::broken_pipe)
                break; // a reader gone ends them as any filter
            const RunResult h = w.run("", {.args = {arg}, .console = c.console});
            EXPECT_EQ(h.status, 1) << arg;
            EXPECT_NE(h.err.find("groundzero: cannot write to standard output ("),
                      std::string::npos)
                << h.err;
        }
    }
}

// A publishing run holds the folder's lock while it renames its raster, then
// its descriptor: a reader that comes between the two waits, and then reads
// the new pair, not the new raster with the older descriptor.
TEST(Neighbours, AReaderDuringAPublishSeesTheWholeNewPair) {
    if (under_wine()) GTEST_SKIP() << "the lock there is a named mutex of the Windows session";
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({7, 7}));
    w.write("images/d/a_m2.txt", "1\r\n2\r\n2\r\n7\r\n7\r\n10\r\n");
    const int folder = open((w.root() + "/c/images/d").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);
    w.write("images/d/a_m2.raw", u16le({3, 4, 5, 6, 8, 9})); // the first rename
    std::thread publisher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        w.write("images/d/a_m2.txt", "2\r\n3\r\n2\r\n3\r\n9\r\n10\r\n"); // the second
        flock(folder, LOCK_UN);
    });
    const RunResult r = w.run("d a 1 0 0 1\n");
    publisher.join();
    close(folder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(text::dem_has("2", "3")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(text::input_range("3", "9")), std::string::npos) << r.out;
}

// A holder that keeps the folder's lock longer than a run waits for it (a
// stopped or hung process) lets the run go on without it: it never hangs.
TEST(Neighbours, ALockHeldLongerThanTheWaitLetsTheRunGoOn) {
    if (under_wine()) GTEST_SKIP() << "the lock there is a named mutex of the Windows session";
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({3, 4, 5, 6, 8, 9}));
    w.write("images/d/a_m2.txt", "2\r\n3\r\n2\r\n3\r\n9\r\n10\r\n");
    const int folder = open((w.root() + "/c/images/d").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(folder, LOCK_EX), 0);
    const RunResult r = w.run("d a 1 0 0 1\n");
    close(folder);
    EXPECT_FALSE(r.hung);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(text::dem_has("2", "3")), std::string::npos) << r.out;
}

// A named pipe at the descriptor's name makes the run wait for its writer
// without holding the folder's lock: publishers into that folder go on.
TEST(Neighbours, ARunWaitingForANamedPipeHoldsNoLockOnItsFolder) {
    if (under_wine() || under_launcher()) GTEST_SKIP() << "named pipes and locks of Linux";
    Workdir w;
    w.write("images/d/a_m2.raw", u16le({3, 4, 5, 6, 8, 9}));
    const std::string folder = w.root() + "/c/images/d", pipe = folder + "/a_m2.txt";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    RunResult r;
    std::thread reader([&] { r = w.run("d a 1 0 0 1\n"); });
    // The run has asked its questions and waits in the open of the pipe.
    for (int k = 0; k < 500 && !fs_contains(w.root() + "/stdout.txt", text::raster_menu); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int lock = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0) << "the waiting run holds the folder's lock";
    close(lock);
    const int writer = open(pipe.c_str(), O_WRONLY);
    const std::string descriptor = "2\r\n3\r\n2\r\n3\r\n9\r\n10\r\n";
    EXPECT_EQ(write(writer, descriptor.data(), descriptor.size()),
              static_cast<ssize_t>(descriptor.size()));
    close(writer);
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(text::dem_has("2", "3")), std::string::npos) << r.out;
}

// The temporary name is short whatever the output's: a name the file system
// takes (253 characters with its suffix) is written, and nothing else is left.
TEST(Names, TheLongestLegalOutputNameIsWritten) {
    if (under_wine()) GTEST_SKIP() << "Windows paths end at 260 characters";
    Workdir w;
    w.write("images/d/a.asc", "ncols 2\nnrows 1\nx 0\ny 0\nc 1\nn 0\n0 4\n");
    const std::string name(255 - std::string("_new_base.asc").size(), 'n');
    const RunResult r = w.run("d a 0 0 1 " + name + " 0 1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(w.files(),
              (std::vector<std::string>{"images/d/a.asc", "images/d/" + name + "_new_base.asc"}));
}
