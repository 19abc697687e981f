// What a person at a terminal sees beyond the dialogue (progress and the files
// written, on standard error only), and the command line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console_text.hpp"
#include "harness.hpp"

namespace {
// A 16-bit raster of three blocks fed into the named pipe at path over 1.5 s,
// so that its first pass lasts well over half a second.
std::thread feed_slowly(const std::string &path, std::string bytes) {
    return std::thread([path, bytes = std::move(bytes)] {
        const int fd = open(path.c_str(), O_WRONLY); // waits for the program to open it
        for (std::size_t k = 0, step = bytes.size() / 10 + 1; fd >= 0 && k < bytes.size();
             k += step) {
            if (write(fd, bytes.data() + k, std::min(step, bytes.size() - k)) < 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        if (fd >= 0) close(fd);
    });
}
} // namespace

TEST(Terminal, ProgressAndTheFilesWrittenShowOnAStandardErrorTerminalOnly) {
    if (under_wine()) GTEST_SKIP() << "pseudo-terminals and named pipes of the host";
    const std::string answers = "d a 1 0 2 0 0 1 0 2\n", descriptor = "300\n2621\n2\n0\n0\n25\n";
    std::string samples;
    for (int k = 0; k < 300 * 2621; ++k)
        samples += u16le({k % 2621 < 2 ? 0u : 4000u + k % 3000});
    Workdir plain;
    plain.write("images/d/a_m2.txt", descriptor);
    plain.write("images/d/a_m2.raw", samples);
    const RunResult expected = plain.run(answers);
    ASSERT_EQ(expected.status, 0);
    const std::regex progress(R"((\rgroundzero: reading c:\\images\\d\\a_m2\.raw: \d+% *)+\r +\r)");
    const struct {
        const char *what;
        bool slow, out_on_terminal, err_on_terminal;
    } cases[] = {{"long, standard error on a terminal", true, false, true},
                 {"long, both on one terminal", true, true, true},
                 {"long, no terminal", true, false, false},
                 {"short, standard error on a terminal", false, false, true}};
    for (const auto &c : cases) {
        Workdir w;
        w.write("images/d/a_m2.txt", descriptor);
        std::thread feeder;
        if (c.slow) {
            const std::string fifo = w.root() + "/c/images/d/a_m2.raw";
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            feeder = feed_slowly(fifo, samples);
        } else {
            w.write("images/d/a_m2.raw", samples);
        }
        const RunResult r = w.run(answers, {.stdout_on_terminal = c.out_on_terminal,
                                            .stderr_on_terminal = c.err_on_terminal});
        if (feeder.joinable()) feeder.join();
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        for (const char *name : {"images/d/a_new_base_m2.raw", "images/d/a_new_base_m2.txt"})
            EXPECT_EQ(w.read(name), plain.read(name)) << c.what;
        const std::string folder = std::filesystem::canonical(w.root()).string() + "/c/images/d/";
        const std::string wrote = "\ngroundzero: wrote " + folder + "a_new_base_m2.raw, " + folder +
                                  "a_new_base_m2.txt\n";
        EXPECT_EQ(std::regex_search(r.terminal, progress), c.slow && c.err_on_terminal) << c.what;
        // Without its progress, erased before the dialogue went on, the screen reads as before.
        const std::string screen = std::regex_replace(r.terminal, progress, "");
        EXPECT_TEXT(screen,
                    (c.out_on_terminal ? expected.out : "") + (c.err_on_terminal ? wrote : ""));
        EXPECT_TEXT(r.out, c.out_on_terminal ? "" : expected.out);
    }
}

TEST(CommandLine, HelpVersionAndAnythingElseEndWithoutTheDialogue) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out_start, err;
    } cases[] = {
        {{"--help"}, 0, "Usage: groundzero\n", ""},
        {{"--version"}, 0, "groundzero " GZ_VERSION "\n", ""},
        {{"--version", "--help"}, 0, "groundzero " GZ_VERSION "\n", ""},
        {{"--hepl"}, 2, "", "groundzero: unknown argument '--hepl'; see groundzero --help\n"},
        {{"--help", "x"}, 2, "", "groundzero: unknown argument 'x'; see groundzero --help\n"},
    };
    for (const auto &c : cases) {
        Workdir w;
        const RunResult r = w.run("d a 1 0\n", {.args = c.args});
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.out.substr(0, c.out_start.size()), c.out_start) << c.args[0];
        EXPECT_EQ(r.out.find(text::banner), std::string::npos) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}
