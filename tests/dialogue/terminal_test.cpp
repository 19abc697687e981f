// What a person at a terminal sees beyond the dialogue (progress and the files
// written, on standard error only), and the command line.
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.hpp"

namespace {
// Writes text into the named pipe at path (none if empty) in ten steps over 1.5 s: a slow input.
void feed_slowly(const std::string &path, const std::string &text) {
    const int fd = open(path.c_str(), O_WRONLY);
    for (std::size_t k = 0, step = text.size() / 10 + 1; fd >= 0 && k < text.size();
         k += step, std::this_thread::sleep_for(std::chrono::milliseconds(150)))
        if (write(fd, text.data() + k, std::min(step, text.size() - k)) < 0) break;
    if (fd >= 0) close(fd);
}
} // namespace

TEST(Terminal, ProgressAndTheFilesWrittenShowOnAStandardErrorTerminalOnly) {
    if (under_wine()) GTEST_SKIP() << "pseudo-terminals and named pipes of the host";
    const std::string answers = "d a 1 0 2 0 0 1 0 2\n", descriptor = "300\n2621\n2\n0\n0\n25\n";
    const std::string samples(2 * 300 * 2621, '\x10'); // three blocks of 16-bit samples
    Workdir plain;
    plain.write("images/d/a_m2.txt", descriptor);
    plain.write("images/d/a_m2.raw", samples);
    const RunResult expected = plain.run(answers);
    const std::string draw = "\rgroundzero: reading c:\\images\\d\\a_m2.raw: ";
    const struct {
        bool slow, out_on_terminal, err_on_terminal;
    } cases[] = {
        {true, false, true}, {true, true, true}, {true, false, false}, {false, false, true}};
    for (const auto &c : cases) {
        const int what = static_cast<int>(&c - cases); // the case
        Workdir w;
        w.write("images/d/a_m2.txt", descriptor);
        const std::string raw = w.root() + "/c/images/d/a_m2.raw";
        if (!c.slow) w.write("images/d/a_m2.raw", samples);
        ASSERT_TRUE(!c.slow || mkfifo(raw.c_str(), 0600) == 0);
        // A slow pipe: the first pass lasts 1.5 s.
        std::thread feeder(feed_slowly, c.slow ? raw : std::string(), samples); // "": no pipe
        const RunResult r = w.run(answers, {.stdout_on_terminal = c.out_on_terminal,
                                            .stderr_on_terminal = c.err_on_terminal});
        feeder.join();
        EXPECT_EQ(r.status, 0) << what;
        EXPECT_EQ(r.err, "") << what;
        for (const char *name : {"images/d/a_new_base_m2.raw", "images/d/a_new_base_m2.txt",
                                 "images/d/a_new_base_m2.hdr"})
            EXPECT_EQ(w.read(name), plain.read(name)) << what;
        const std::string folder = std::filesystem::canonical(w.root()).string() + "/c/images/d/";
        const std::string wrote = "\ngroundzero: wrote " + folder + "a_new_base_m2.raw, " + folder +
                                  "a_new_base_m2.txt, " + folder + "a_new_base_m2.hdr\n";
        // Without its progress (drawn, then erased before any other text) the screen is as before.
        std::string screen = r.terminal;
        std::size_t at = 0, drawn = 0;
        for (; (at = screen.find(draw)) != std::string::npos; ++drawn) {
            const std::size_t erased = screen.find("\r ", at);
            screen.erase(at, erased == std::string::npos ? erased
                                                         : screen.find('\r', erased + 1) + 1 - at);
        }
        EXPECT_EQ(drawn > 0, c.slow && c.err_on_terminal) << what;
        EXPECT_TEXT(screen,
                    (c.out_on_terminal ? expected.out : "") + (c.err_on_terminal ? wrote : ""));
        EXPECT_TEXT(r.out, c.out_on_terminal ? "" : expected.out);
    }
}

// An ASCII grid's first pass counts its lines on standard output: where that
// goes to a file, its status line stays on the terminal until the pass ends.
TEST(Terminal, AStatusLineBesideOutputToAFileIsErasedOnceWhenItsPassEnds) {
    if (under_wine()) GTEST_SKIP() << "pseudo-terminals and named pipes of the host";
    Workdir w;
    w.make_folder("images/d");
    const std::string grid = w.root() + "/c/images/d/a.asc";
    ASSERT_EQ(mkfifo(grid.c_str(), 0600), 0);
    std::string text = "ncols 400\nnrows 1500\nxllcorner 0\nyllcorner 0\ncellsize 25\n"
                       "nodata_value -9999\n";
    for (int k = 0; k < 400 * 1500; ++k)
        text += k % 400 == 399 ? "5\n" : "5 ";
    std::thread feeder([&] { feed_slowly(grid, text); });
    const RunResult r = w.run("d a 0 -1\n", {.stderr_on_terminal = true});
    feeder.join();
    std::size_t erasures = 0, at = 0; // "\r", blanks and "\r" again
    while ((at = r.terminal.find("\r ", at) + 1) != 0)
        erasures += r.terminal.find_first_not_of(' ', at) == r.terminal.find('\r', at);
    EXPECT_NE(r.terminal.find("\rgroundzero: reading"), std::string::npos) << r.terminal;
    EXPECT_EQ(erasures, 1u) << r.terminal;
}

TEST(CommandLine, HelpVersionAndAnythingElseEndWithoutTheDialogue) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out_start, err;
    } cases[] = {
        {{"--help"}, 0, "Usage: groundzero\n", ""},
        {{"--version"}, 0, "groundzero " GZ_VERSION "\n", ""},
        {{"--hepl"}, 2, "", "groundzero: unknown argument '--hepl'; see groundzero --help\n"},
        {{"--help", "x"}, 2, "", "groundzero: unknown argument 'x'; see groundzero --help\n"}};
    for (const auto &c : cases) {
        const RunResult r = Workdir().run("", {.args = c.args}); // a dialogue would fail: no answer
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.out.substr(0, c.out_start.size()), c.out_start) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}

// The key wait is for a person: with the answers piped in, a run on a terminal
// ends at once with the same text and status; with them typed, it waits for the key.
TEST(Terminal, TheKeyWaitHoldsOnlyARunAnsweredAtTheTerminal) {
    if (under_wine()) GTEST_SKIP() << "pseudo-terminals of the host";
    const int key_after_ms = 1500;
    for (const std::string answers : {"d none 1 0\n", "d a 1 0 2 1\n"}) // missing input; "no"
        for (const bool typed : {false, true}) {
            Workdir w;
            w.write("images/d/a_m2.txt", "1\n2\n2\n0\n0\n25\n");
            w.write("images/d/a_m2.raw", u16le({0, 7}));
            const RunResult plain = w.run(answers);
            const RunResult r = w.run(answers, {.controlling_terminal = true,
                                                .answers_typed = typed,
                                                .key_after_ms = key_after_ms});
            EXPECT_EQ(r.status, plain.status) << answers << typed;
            EXPECT_TEXT(r.out, plain.out);
            EXPECT_EQ(r.ms >= key_after_ms, typed) << answers << typed << ": " << r.ms << " ms";
        }
}
