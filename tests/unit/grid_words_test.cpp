// Grid words straight to raised text and to figures, against the general path:
// each word read as a double, then raised and written by put_lf_tab, or added to the figures.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dem/figures.hpp"
#include "dem/grid_words.hpp"
#include "test_support.hpp"

namespace {
std::string general(const std::vector<std::string> &words, double base) {
    std::string out;
    char text[raised_word_room];
    for (const std::string &w : words) {
        double v = 0;
        if (!parse_double_word(w, v)) break;
        out.append(text, put_lf_tab(text, raised(v, base)));
    }
    return out;
}

std::string joined(const std::vector<std::string> &words, const char *space) {
    std::string text;
    for (const std::string &w : words)
        text.append(w).append(space);
    return text;
}

// Every word's text, through buffers of the given room, restarting where each call stopped.
std::string raised_text(const std::string &text, double base, std::size_t room, bool &bad) {
    const BaseText b = base_text(base);
    std::vector<char> buffer(room);
    std::string out;
    const char *p = text.data(), *const last = text.data() + text.size();
    for (;;) {
        const RaisedWords r =
            raise_words(p, last, SIZE_MAX, b, buffer.data(), buffer.data() + room);
        out.append(buffer.data(), r.out);
        bad = r.bad;
        if (r.bad || r.stop == last || r.count == 0) return out;
        p = r.stop;
    }
}

const double bases[] = {420.3,   0.5,   3,         1.0e7,          0.1,    999999.999999,
                        1000000, 2.5e9, 0.0078125, 123456.7890123, 5e-324, 1e300};
} // namespace

TEST(RaisedText, WordsOfEveryFormGiveTheGeneralPathsText) {
    const std::vector<std::string> words = {"0",
                                            "0.0",
                                            "-0",
                                            "-0.0",
                                            "420.3",
                                            "420.30",
                                            "420.29",
                                            "420.31",
                                            "007.5",
                                            "000000",
                                            "0000001.5",
                                            "5.",
                                            "-5.",
                                            ".5",
                                            "+5",
                                            "999999.999999",
                                            "999999.9999999",
                                            "1000000",
                                            "1000000.5",
                                            "123456.789012",
                                            "-420.3",
                                            "1e3",
                                            "1.5E-2",
                                            "0x1p3",
                                            "nan",
                                            "-inf",
                                            "infinity",
                                            "3.0000001",
                                            "0.1",
                                            "0.100000",
                                            "1234567",
                                            "12345678.25",
                                            "2500000000.000001",
                                            "0.000001",
                                            "0.0000005",
                                            "9999999.999999",
                                            "10000000.000000",
                                            "10000000.000001"};
    for (double base : bases)
        for (const char *space : {" ", "\t", "\r\n"}) {
            bool bad = true;
            EXPECT_EQ(raised_text(joined(words, space), base, 4096, bad), general(words, base))
                << "base " << base;
            EXPECT_FALSE(bad);
        }
}

TEST(RaisedText, RandomDecimalsThroughSmallBuffersGiveTheGeneralPathsText) {
    std::mt19937_64 rng(7);
    for (int k = 0; k < draws(400); ++k) {
        std::vector<std::string> words(1 + rng() % 300);
        for (std::string &w : words) {
            w.assign(rng() % 4 == 0 ? 1 : 0, '-');
            for (int d = 0, n = 1 + static_cast<int>(rng() % 8); d < n; ++d)
                w += static_cast<char>('0' + rng() % 10);
            if (rng() % 5 != 0) w += '.';
            for (int d = 0, n = static_cast<int>(rng() % 9); d < n; ++d)
                w += static_cast<char>('0' + rng() % 10);
        }
        const double base = rng() % 3 == 0 ? bases[rng() % std::size(bases)]
                                           : static_cast<double>(rng() % 2000000) / 1000;
        bool bad = true;
        const std::size_t room = raised_word_room + rng() % 2000;
        ASSERT_EQ(raised_text(joined(words, " "), base, room, bad), general(words, base))
            << "draw " << k << ", base " << base;
        EXPECT_FALSE(bad);
    }
}

TEST(RaisedText, StopsAtAWordThatIsNotANumberAndAfterMaxWords) {
    const BaseText b = base_text(2.0);
    const std::string text = "1 2.5 3x 4";
    char out[4096];
    RaisedWords r = raise_words(text.data(), text.data() + text.size(), 10, b, out, out + 4096);
    EXPECT_TRUE(r.bad);
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(std::string(r.stop, 2), "3x");
    EXPECT_EQ(std::string(out, r.out), "2.000000\t2.500000\t");
    r = raise_words(text.data(), text.data() + text.size(), 1, b, out, out + 4096);
    EXPECT_FALSE(r.bad);
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(std::string(out, r.out), "2.000000\t");
}

namespace {
// The figures of each word read as a double and added in turn.
ElevationFigures one_by_one(const std::vector<std::string> &words) {
    ElevationFigures f;
    for (const std::string &w : words) {
        double v = 0;
        if (parse_double_word(w, v)) add_elevation(f, v);
    }
    return f;
}

::testing::AssertionResult same_figures(const ElevationFigures &a, const ElevationFigures &b) {
    if (same_bits(a.min, b.min) && same_bits(a.max, b.max) && same_bits(a.base, b.base) &&
        a.min_cells == b.min_cells && a.any == b.any)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "min " << a.min << "/" << b.min << " max " << a.max << "/" << b.max << " base "
           << a.base << "/" << b.base << " count " << a.min_cells << "/" << b.min_cells;
}
} // namespace

TEST(WordFigures, MixedFormsAndZerosOfBothSignsGiveTheFiguresOfEachValueInTurn) {
    const std::vector<std::vector<std::string>> grids = {{"0", "-0", "5"},
                                                         {"-0", "0", "5"},
                                                         {"-0.0", "0e0", "0.0"},
                                                         {"0.0", "-0e0", "-0"},
                                                         {"420.3", "4.203e2", "0"},
                                                         {"1e7", "2e7", "10000000.5"},
                                                         {"nan", "-inf", "3", "0"},
                                                         {"-5", "-5.0", "-0.5e1"},
                                                         {"999999.999999", "1000000", "1e-7"},
                                                         {"0.000001", "1e-6", "0"},
                                                         {"inf", "nan"},
                                                         {}};
    for (const auto &g : grids) {
        ElevationFigures f;
        const std::string text = joined(g, " ");
        const WordFigures r = add_word_figures(text.data(), text.data() + text.size(), SIZE_MAX, f);
        EXPECT_TRUE(same_figures(f, one_by_one(g))) << text;
        EXPECT_EQ(r.count, g.size()) << text;
        EXPECT_FALSE(r.bad);
    }
}

TEST(WordFigures, RandomDecimalsInPiecesGiveTheFiguresOfEachValueInTurn) {
    std::mt19937_64 rng(11);
    const char *pool[] = {"0", "-0", "-0.0", "1e3", "nan", "-inf", "1e7", "2.5e7", "0.1"};
    for (int k = 0; k < draws(2000); ++k) {
        std::vector<std::string> words(rng() % 60);
        for (std::string &w : words) {
            if (rng() % 5 == 0) {
                w = pool[rng() % std::size(pool)];
                continue;
            }
            w.assign(rng() % 3 == 0 ? 1 : 0, '-');
            for (int d = 0, n = 1 + static_cast<int>(rng() % 7); d < n; ++d)
                w += static_cast<char>('0' + rng() % 10);
            if (rng() % 2) w += '.';
            for (int d = 0, n = static_cast<int>(rng() % 8); d < n; ++d)
                w += static_cast<char>('0' + rng() % 10);
        }
        // In two pieces cut between words, put together.
        const std::size_t cut = words.empty() ? 0 : rng() % (words.size() + 1);
        const std::vector<std::string> head(words.begin(), words.begin() + static_cast<long>(cut)),
            tail(words.begin() + static_cast<long>(cut), words.end());
        ElevationFigures f;
        for (const auto *part : {&head, &tail}) {
            const std::string text = joined(*part, "\t");
            add_word_figures(text.data(), text.data() + text.size(), SIZE_MAX, f);
        }
        ASSERT_TRUE(same_figures(f, one_by_one(words)))
            << "draw " << k << ": " << joined(words, " ");
    }
}

TEST(WordFigures, StopsAtAWordThatIsNotANumberAndAfterMaxWords) {
    const std::string text = "1 -2.5 3x 4";
    ElevationFigures f;
    WordFigures r = add_word_figures(text.data(), text.data() + text.size(), 10, f);
    EXPECT_TRUE(r.bad);
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(std::string(r.stop, 2), "3x");
    EXPECT_TRUE(same_figures(f, one_by_one({"1", "-2.5"})));
    f = ElevationFigures{};
    r = add_word_figures(text.data(), text.data() + text.size(), 1, f);
    EXPECT_FALSE(r.bad);
    EXPECT_EQ(r.count, 1u);
    EXPECT_TRUE(same_figures(f, one_by_one({"1"})));
}
