// The raised text made straight from grid words against the general path:
// each word read as a double, raised, and written by put_lf_tab.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dem/figures.hpp"
#include "dem/raised_text.hpp"
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
