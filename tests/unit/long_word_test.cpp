// The stand-ins of long words: read by every reader of numbers exactly as the
// words themselves, and shown the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "number/long_word.hpp"
#include "number/number_text.hpp"

namespace {
// How much of a text a reader takes: none, part or all.
int taken(std::size_t used, std::size_t size) {
    return used == 0 ? 0 : used < size ? 1 : 2;
}

// The stand-in (fed in two parts, as read) shows the word's start, and "%lf"
// of the whole reads it alike; "%d" and "%lf" take as much of it.
void expect_read_alike(const std::string &word) {
    LongWord w;
    w.feed(word.data(), word.data() + word.size() / 3);
    w.feed(word.data() + word.size() / 3, word.data() + word.size());
    const std::string s = w.text(), what = word.substr(0, 30) + " -> " + s.substr(0, 900);
    EXPECT_TRUE(s.size() < 1000 && s.substr(0, 40) == word.substr(0, 40)) << what;
    double a = 0, b = 0;
    ASSERT_EQ(parse_double_word(s, b), parse_double_word(word, a)) << what;
#ifndef _WIN32 // the C runtime there misreads words of so many digits (1~e-100000 as inf)
    EXPECT_TRUE(std::memcmp(&a, &b, sizeof a) == 0 || // a NaN's payload shows nowhere
                (std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b)))
        << what << ": " << a << " vs " << b;
#endif
    const ParsedInt i = parse_int_prefix(word), j = parse_int_prefix(s);
    EXPECT_EQ(taken(i.used, word.size()), taken(j.used, s.size())) << what;
    EXPECT_TRUE(i.used < word.size() || i.value == j.value) << what;
    EXPECT_EQ(taken(parse_double_prefix(word).used, word.size()),
              taken(parse_double_prefix(s).used, s.size()))
        << what;
}
} // namespace

TEST(LongWord, StandInsReadAsTheWordsInEveryForm) {
    // ~ 100000 zeros, ^ as many nines, @ as many letters a, $ 60 ones (an
    // exponent that goes on after the head); 2^53 + 1 is halfway between two doubles.
    const std::string patterns =
        "1~.5 -0.~1 .~1e100005 9007199254740993~ 9007199254740993~1e-100001 "
        "9007199254740993.~1 -0.~ 1~e-100000 12~3e-99999999999999 0.5~e^ 0x1~p-400000 "
        "-0x1.8~1p0 0X.~1P+3 1e~5 1.$e1~ 1e+^ -1e-^ nan(@) -~3 1^ 1~x @ nan(@ nan(@)x 1.~e5. "
        "1e~+5 0x@g inf@ --~ -.~e ";
    std::string word;
    for (const char c : patterns)
        if (c == ' ') {
            expect_read_alike(word);
            word.clear();
        } else if (c == '~' || c == '^' || c == '@') {
            word.append(100000, c == '~' ? '0' : c == '^' ? '9' : 'a');
        } else {
            word.append(c == '$' ? 60 : 1, c == '$' ? '1' : c);
        }
    std::mt19937_64 random(26);
    for (int k = 0; k < 40; ++k) { // digits that round at any place
        std::string word(static_cast<std::size_t>(70000 + random() % 30000), '0');
        for (char &c : word)
            c = static_cast<char>('0' + random() % 10);
        if (k % 3 == 0) std::fill(word.begin() + 17, word.end() - 1, k % 2 == 0 ? '0' : '9');
        if (k % 2 == 0) word[static_cast<std::size_t>(random() % word.size())] = '.';
        word += 'e';
        word += std::to_string(static_cast<int>(random() % 200000) - 100300);
        expect_read_alike(word);
    }
}
