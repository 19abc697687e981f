// Block reading of number words: parse_words on its own and over TextReader's
// buffer, against strtod word by word and against the word-at-a-time reader.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "number/number_text.hpp"
#include "run/text_reader.hpp"
#include "test_support.hpp"

namespace {
ParsedWords scan(const std::string &text, std::vector<double> &out, std::size_t max,
                 bool text_ends) {
    out.assign(max, -7.0);
    return parse_words(text.data(), text.data() + text.size(), out.data(), max, text_ends);
}

std::size_t at(const std::string &text, const char *p) {
    return static_cast<std::size_t>(p - text.data());
}

// What strtod makes of a whole word: false unless it reads every character.
bool strtod_word(const std::string &word, double &v) {
    char *end = nullptr;
    v = std::strtod(word.c_str(), &end);
    return !word.empty() && end == word.c_str() + word.size() &&
           word.find_first_of(" \t\n\v\f\r") == std::string::npos;
}

bool same_value(double a, double b) {
    return same_bits(a, b) ||
           (std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b));
}

// A number word in one of the forms grids and other tools write.
std::string number_word(std::mt19937_64 &rng) {
    char buf[96];
    const double dem = static_cast<double>(static_cast<std::int64_t>(rng() % 2000000) - 100000);
    switch (rng() % 10) {
    case 0:
    case 1:
    case 2:
        std::snprintf(buf, sizeof buf, "%.1f", dem / 10);
        break;
    case 3:
        std::snprintf(buf, sizeof buf, "%lf", dem / 1000);
        break;
    case 4:
        std::snprintf(buf, sizeof buf, "%.17g", random_double(rng));
        break;
    case 5:
        std::snprintf(buf, sizeof buf, "%.*e", static_cast<int>(rng() % 20), random_double(rng));
        break;
    case 6: { // subnormals
        const std::uint64_t bits = rng() >> 12;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        std::snprintf(buf, sizeof buf, "%.17g", d);
        break;
    }
    case 7: { // more than 19 digits
        std::string s = std::to_string(rng()) + std::to_string(rng() % 1000) + "." +
                        std::to_string(rng() % 100000);
        return rng() % 2 ? "-" + s : s;
    }
    case 8: {
        const char *const others[] = {"+4.5",  "0x1.8p3",  "-0x10", "inf", "-inf",  "nan",
                                      "-nan",  "Infinity", "5.",    ".5",  "-0",    "1E+3",
                                      "1e400", "-1e-400",  "00012", "0",   "-.5e-3"};
        return others[rng() % (sizeof others / sizeof others[0])];
    }
    default:
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(dem));
    }
    return buf;
}

std::string blanks(std::mt19937_64 &rng) {
    static const char *const runs[] = {" ",  " ",  " ",  "\r\n", "\n",     "\t",
                                       "  ", "\v", "\f", "\r",   " \r\n\t"};
    return runs[rng() % (sizeof runs / sizeof runs[0])];
}
} // namespace

TEST(ParseWords, StopsWhenFullOrAtAWordThatMayGoOn) {
    std::vector<double> v;
    const std::string t = "1 -2.5\t3e2";
    ParsedWords r = scan(t, v, 10, true);
    EXPECT_EQ(r.why, WordsStop::need_text);
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(at(t, r.stop), t.size());
    EXPECT_EQ(v[0], 1.0);
    EXPECT_EQ(v[1], -2.5);
    EXPECT_EQ(v[2], 300.0);
    // More text may follow: the last word is left for the next call.
    r = scan(t, v, 10, false);
    EXPECT_EQ(r.why, WordsStop::need_text);
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(at(t, r.stop), 7u);
    // Full: the blank after the last word read is not used.
    r = scan(t, v, 2, false);
    EXPECT_EQ(r.why, WordsStop::full);
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(at(t, r.stop), 6u);
    EXPECT_EQ(v[2], -7.0); // nothing stored beyond max_values
    r = scan(t, v, 0, true);
    EXPECT_EQ(r.why, WordsStop::full);
    EXPECT_EQ(r.count, 0u);
    // Trailing white space is used up; a block of one word is reported as such.
    const std::string spaced = " 7 \r\n";
    r = scan(spaced, v, 10, false);
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(at(spaced, r.stop), spaced.size());
    const std::string one = "123";
    r = scan(one, v, 10, false);
    EXPECT_EQ(r.why, WordsStop::need_text);
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.stop, one.data());
    r = scan("", v, 10, false);
    EXPECT_EQ(r.why, WordsStop::need_text);
    EXPECT_EQ(r.count, 0u);
}

TEST(ParseWords, EveryKindOfWhiteSpaceSeparatesAndNothingElse) {
    std::vector<double> v;
    const std::string t = "1 2\t3\n4\v5\f6\r7\r\n8";
    ParsedWords r = scan(t, v, 20, true);
    EXPECT_EQ(r.count, 8u);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(v[k], k + 1.0);
    // Ctrl-Z, a byte-order mark, a NUL, a comma: bytes of a word (the caller
    // cuts the text at a Ctrl-Z and skips the mark).
    for (const std::string &bad : {std::string("5\x1a"),
                                   std::string("\xEF\xBB\xBF"
                                               "5"),
                                   std::string("5\0", 2), std::string("1,5")}) {
        const std::string text = "9 " + bad + " 9";
        r = scan(text, v, 20, true);
        EXPECT_EQ(r.why, WordsStop::not_a_number) << bad;
        EXPECT_EQ(r.count, 1u);
        EXPECT_EQ(std::string(r.stop, r.word_end), bad);
    }
}

TEST(ParseWords, AWordNotWhollyANumberStopsTheScanAndIsNamed) {
    std::vector<double> v;
    for (const char *bad : {"1.5e", "1.5e+", "2x", "abc", "0x", "1..2", "-", ".", "--1", "1e5e",
                            "nan(", "infinit", "-0x1p3q"}) {
        const std::string text = "10 20\r\n" + std::string(bad) + " 30";
        for (bool ends : {true, false}) {
            const ParsedWords r = scan(text, v, 10, ends);
            EXPECT_EQ(r.why, WordsStop::not_a_number) << bad;
            EXPECT_EQ(r.count, 2u) << bad;
            EXPECT_EQ(at(text, r.stop), 7u) << bad;
            EXPECT_EQ(std::string(r.stop, r.word_end), bad);
        }
    }
    // A word that may be cut by the block's end is never judged early.
    const std::string cut = "10 1e";
    ParsedWords r = scan(cut, v, 10, false);
    EXPECT_EQ(r.why, WordsStop::need_text);
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(at(cut, r.stop), 3u);
    r = scan(cut, v, 10, true);
    EXPECT_EQ(r.why, WordsStop::not_a_number);
    EXPECT_EQ(std::string(r.stop, r.word_end), "1e");
}

TEST(ParseWords, RandomTextsInRandomBlocksReadAsStrtodReadsEachWord) {
    std::mt19937_64 rng(5150);
    long words = 0;
    for (int round = 0; round < draws(4000); ++round) {
        // A text of number words, and now and then one that is not a number.
        std::string text = rng() % 3 == 0 ? blanks(rng) : "";
        std::vector<std::string> expected_words;
        const int n = 1 + static_cast<int>(rng() % 800);
        for (int k = 0; k < n; ++k) {
            std::string w = number_word(rng);
            if (rng() % 3000 == 0) w += "x";
            expected_words.push_back(w);
            text += w;
            if (k + 1 < n || rng() % 2) text += blanks(rng);
        }
        words += n;
        std::vector<double> expected;
        std::size_t bad = expected_words.size();
        for (std::size_t k = 0; k < expected_words.size(); ++k) {
            double d = 0;
            if (!strtod_word(expected_words[k], d)) {
                bad = k;
                break;
            }
            expected.push_back(d);
        }
        // Read it the way a reader does: blocks of random length, each call
        // given what the previous one left, rows of random length.
        std::vector<double> got(expected_words.size() + 1, -7.0);
        std::size_t count = 0;
        const char *p = text.data();
        const char *const end = text.data() + text.size();
        const std::size_t max_block = 1 + rng() % 200;
        std::size_t last_size = 0;
        WordsStop why = WordsStop::full;
        for (int guard = 0; guard < 1000000; ++guard) {
            std::size_t size = 1 + rng() % max_block;
            if (p + size > end) size = static_cast<std::size_t>(end - p);
            if (size <= last_size) size = std::min<std::size_t>(last_size + 1, end - p);
            const char *last = p + size;
            const std::size_t row = 1 + rng() % 50;
            const ParsedWords r = parse_words(p, last, got.data() + count,
                                              std::min(row, got.size() - count), last == end);
            count += r.count;
            why = r.why;
            if (r.why == WordsStop::not_a_number) {
                ASSERT_EQ(count, bad);
                ASSERT_EQ(std::string(r.stop, r.word_end), expected_words[bad]);
                break;
            }
            if (r.why == WordsStop::need_text && last == end) break;
            // A block that held one partial word is given more text next time.
            last_size = r.why == WordsStop::need_text && r.stop == p ? size : 0;
            p = r.stop;
        }
        if (why != WordsStop::not_a_number) {
            ASSERT_EQ(bad, expected_words.size()) << "a bad word was read as a number";
            ASSERT_EQ(count, expected.size());
        }
        for (std::size_t k = 0; k < expected.size(); ++k)
            ASSERT_TRUE(same_value(got[k], expected[k])) << expected_words[k];
    }
    EXPECT_GT(words, draws(4000) * 300);
}

namespace {
std::FILE *file_with(const std::string &text) {
    std::FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

// Every value of the text through the buffer of TextReader and parse_words,
// n at a time; bad_at is set to the index of a word that is not a number.
std::vector<double> values_in_blocks(std::FILE *f, std::size_t n, std::size_t &bad_at,
                                     std::string &bad_word) {
    TextReader text(f);
    std::vector<double> all;
    std::vector<double> row(n);
    std::size_t got = 0;
    bad_at = SIZE_MAX;
    for (;;) {
        const std::string_view b = text.buffered();
        const bool ends = text.ended();
        const ParsedWords r =
            parse_words(b.data(), b.data() + b.size(), row.data() + got, n - got, ends);
        got += r.count;
        text.consume(static_cast<std::size_t>(r.stop - b.data()));
        if (r.why == WordsStop::full || (r.why == WordsStop::need_text && ends)) {
            all.insert(all.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(got));
            got = 0;
            if (r.why == WordsStop::need_text) return all;
            continue;
        }
        if (r.why == WordsStop::not_a_number) {
            all.insert(all.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(got));
            bad_at = all.size();
            bad_word.assign(r.stop, r.word_end);
            return all;
        }
        text.read_more();
    }
}
} // namespace

TEST(ParseWords, OverTheFileReaderBufferAsTheWordReaderReadsIt) {
    // Several MiB: words cut by the reader's block ends, a long word among
    // them, a byte-order mark first, a Ctrl-Z that ends the text.
    std::mt19937_64 rng(77);
    std::string text = "\xEF\xBB\xBF";
    while (text.size() < (std::size_t{5} << 20)) {
        text += number_word(rng);
        text += blanks(rng);
        if (rng() % 200000 == 0) text += "0." + std::string(3000, '0') + "1e3000 ";
    }
    text += "0.1 1 2.5\x1a 4 5";
    std::vector<double> expected;
    {
        std::FILE *f = file_with(text);
        TextReader words(f);
        for (std::string_view w = words.peek_word(); !w.empty(); w = words.peek_word()) {
            double d = 0;
            ASSERT_TRUE(parse_double_word(w, d)) << w;
            expected.push_back(d);
            words.consume(w.size());
        }
        std::fclose(f);
    }
    for (std::size_t n : {std::size_t{1}, std::size_t{3000}, std::size_t{1} << 22}) {
        std::FILE *f = file_with(text);
        std::size_t bad_at = 0;
        std::string bad_word;
        const std::vector<double> got = values_in_blocks(f, n, bad_at, bad_word);
        std::fclose(f);
        EXPECT_EQ(bad_at, SIZE_MAX) << bad_word;
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t k = 0; k < got.size(); ++k)
            ASSERT_TRUE(same_value(got[k], expected[k])) << k;
        EXPECT_EQ(got.back(), 2.5);
    }
    // A bad word after the first block is found and named.
    text.insert(text.size() / 2 + 7, " 12;5 ");
    std::FILE *f = file_with(text);
    std::size_t bad_at = 0;
    std::string bad_word;
    const std::vector<double> got = values_in_blocks(f, 3000, bad_at, bad_word);
    std::fclose(f);
    EXPECT_EQ(bad_word, "12;5");
    EXPECT_GT(bad_at, expected.size() / 3);
    EXPECT_EQ(got.size(), bad_at);
}

TEST(TextReaderBlocks, BufferedTextReadMoreAndTheEnd) {
    std::FILE *f = file_with("\xEF\xBB\xBF"
                             "12 34\x1a"
                             "56");
    TextReader text(f);
    EXPECT_EQ(text.buffered(), "");
    EXPECT_FALSE(text.ended());
    ASSERT_TRUE(text.read_more());
    EXPECT_EQ(text.buffered(), "12 34"); // the mark skipped, the text cut at Ctrl-Z
    EXPECT_TRUE(text.ended());
    text.consume(3);
    EXPECT_FALSE(text.read_more());
    EXPECT_EQ(text.buffered(), "34");
    std::fclose(f);

    // The unread part is kept in front of the new text; a word as long as the
    // whole buffer makes it grow.
    constexpr std::size_t block = 4096; // what a file reader takes at first
    const std::string big = std::string(block - 2, '7') + " 8";
    f = file_with(big + "9 10");
    TextReader more(f);
    ASSERT_TRUE(more.read_more());
    EXPECT_EQ(more.buffered().size(), block);
    more.consume(big.size() - 1);
    ASSERT_TRUE(more.read_more());
    EXPECT_EQ(more.buffered(), "89 10");
    EXPECT_FALSE(more.read_more());
    EXPECT_TRUE(more.ended());
    std::fclose(f);
    f = file_with(std::string((std::size_t{3} << 20), '1'));
    TextReader one_word(f);
    while (one_word.read_more()) {
    }
    EXPECT_EQ(one_word.buffered().size(), std::size_t{3} << 20);
    std::fclose(f);
}
