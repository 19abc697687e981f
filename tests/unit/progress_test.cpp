// The progress line: what is done and how far, cut to the terminal's width.
#include <gtest/gtest.h>

#include "platform/progress.hpp"

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
