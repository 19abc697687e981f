// Grid words straight to raised text, against the general path: each word
// read as a double, raised, and written by put_lf_tab.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "number/figures.hpp"
#include "number/raised_words.hpp"
#include "test_support.hpp"

namespace {
using Words = std::vector<std::string>;

Words words_of(const std::string &text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

std::string joined(const Words &words, const char *space) {
    std::string text;
    for (const std::string &w : words)
        text.append(w).append(space);
    return text;
}

// A decimal of 1 to 8 integer digits and 0 to 8 decimals, or a word of the pool.
std::string random_word(std::mt19937_64 &rng) {
    const char *pool[] = {"0", "-0", "-0.0", "1e3", "nan", "-inf", "1e7", "2.5e7", "0.1", "5."};
    if (rng() % 5 == 0) return pool[rng() % std::size(pool)];
    std::string w(rng() % 3 == 0 ? 1 : 0, '-');
    for (int d = 0, n = 1 + static_cast<int>(rng() % 8); d < n; ++d)
        w += static_cast<char>('0' + rng() % 10);
    if (rng() % 2) w += '.';
    for (int d = 0, n = static_cast<int>(rng() % 9); d < n; ++d)
        w += static_cast<char>('0' + rng() % 10);
    return w;
}

std::string general_text(const Words &words, double base) {
    std::string out;
    char text[raised_word_max];
    for (const std::string &w : words) {
        double v = 0;
        if (!parse_double_word(w, v)) break;
        out.append(text, put_lf_tab(text, raised(v, base)));
    }
    return out;
}

// Every word's text, through buffers of the given room, restarting where each call stopped.
std::string raised_text(const std::string &text, double base, std::size_t room) {
    const BaseText b = base_text(base);
    std::vector<char> buffer(room);
    std::string out;
    const char *p = text.data(), *const last = text.data() + text.size();
    for (;;) {
        const RaisedWords r =
            raise_words(p, last, SIZE_MAX, b, buffer.data(), buffer.data() + room);
        out.append(buffer.data(), r.out);
        if (r.bad || r.stop == last || r.count == 0) return r.bad ? out + "<bad>" : out;
        p = r.stop;
    }
}

const double bases[] = {420.3,   0.5,   3,         1.0e7,          0.1,    999999.999999,
                        1000000, 2.5e9, 0.0078125, 123456.7890123, 5e-324, 1e300};
} // namespace

TEST(GridWords, WordsOfEveryFormGiveTheGeneralPathsText) {
    const Words words = words_of(
        "0 0.0 -0 -0.0 420.3 420.30 420.29 420.31 007.5 000000 0000001.5 5. -5. .5 +5 "
        "999999.999999 999999.9999999 1000000 1000000.5 123456.789012 -420.3 1e3 1.5E-2 0x1p3 "
        "nan -inf infinity 3.0000001 0.1 0.100000 1234567 12345678.25 2500000000.000001 "
        "0.000001 0.0000005 9999999.999999 10000000.000000 10000000.000001 4.203e2 -0e0 0e0");
    for (double base : bases)
        for (const char *space : {" ", "\t", "\r\n"})
            EXPECT_EQ(raised_text(joined(words, space), base, 4096), general_text(words, base))
                << "base " << base;
}

TEST(GridWords, RandomWordsThroughSmallBuffersGiveTheGeneralPathsText) {
    std::mt19937_64 rng(7);
    for (int k = 0; k < draws(1000); ++k) {
        Words words(rng() % 200);
        for (std::string &w : words)
            w = random_word(rng);
        const double base = rng() % 3 == 0 ? bases[rng() % std::size(bases)]
                                           : static_cast<double>(rng() % 2000000) / 1000;
        const std::size_t room = raised_word_max + rng() % 2000;
        ASSERT_EQ(raised_text(joined(words, " "), base, room), general_text(words, base))
            << "draw " << k << ", base " << base;
    }
}

TEST(GridWords, StopsAtAWordThatIsNotANumberAndAfterMaxWords) {
    const std::string text = "1 2.5 3x 4";
    const struct {
        std::size_t max, count;
        bool bad;
        std::string raised;
    } cases[] = {{10, 2, true, "2.000000\t2.500000\t"}, {1, 1, false, "2.000000\t"}};
    for (const auto &c : cases) {
        char out[4096];
        const RaisedWords r = raise_words(text.data(), text.data() + text.size(), c.max,
                                          base_text(2.0), out, out + 4096);
        EXPECT_EQ(std::string(out, r.out), c.raised);
        EXPECT_EQ(r.count, c.count);
        EXPECT_EQ(r.bad, c.bad);
        EXPECT_EQ(std::string(r.stop, c.bad ? 2 : 0), c.bad ? "3x" : "");
    }
}
