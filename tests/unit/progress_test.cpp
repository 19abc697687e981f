// The progress line: what is done and how far, cut to the terminal's width;
// the console text before a key wait or an error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/console.hpp"
#include "platform/host.hpp"
#include "platform/progress.hpp"

#ifndef _WIN32
#include <unistd.h>
#endif

TEST(Progress, LineSaysWhatAndHowFarAndNeverWraps) {
    const struct {
        const char *what;
        std::uint64_t done, total;
        int columns;
        const char *line;
    } cases[] = {
        {"reading a.raw", 1, 3, 31, "groundzero: reading a.raw: 33%"},
        {"reading c:\\images\\dems\\site_m2.raw", 1, 2, 31, "groundzero: ...ite_m2.raw: 50%"},
        {"reading \x1b[2Jb\xc3\xa9.raw", 1, 4, 80, "groundzero: reading ?[2Jb??.raw: 25%"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(progress_line(c.what, c.done, c.total, c.columns), c.line) << c.line;
}

#ifndef _WIN32
// Standard output that a failed flush left in its buffer is out before a key
// wait or a message on standard error, so a person sees them in their order.
TEST(Console, StandardOutputIsOutBeforeAKeyWaitOrAnError) {
    static bool failing = false;
    host::fault_hook = [](const char *call) {
        return failing && std::string(call) == "fflush" ? host::Fault::io : host::Fault::none;
    };
    key_wait_enabled = false;
    for (void (*then)() : {+[] { key_wait(); }, +[] { console_error(""); }}) {
        std::fflush(stdout);
        std::FILE *file = std::tmpfile();
        const int saved = dup(1);
        dup2(fileno(file), 1);
        failing = true;
        console_print("prompt ");
        failing = false;
        then();
        char got[16] = {};
        const auto n = pread(fileno(file), got, sizeof got, 0);
        dup2(saved, 1);
        close(saved);
        std::fclose(file);
        EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), "prompt ");
    }
    key_wait_enabled = true;
    host::fault_hook = nullptr;
}
#endif
