// Number text: "%d" and "%lf" reading, "%lf" writing, checked against the C
// library itself over millions of values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "number/number_text.hpp"
#include "test_support.hpp"

namespace {
std::string printf_lf(double v) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%lf", v);
    return buf;
}

} // namespace

TEST(ParseInt, SignDigitsAndWhatIsLeftForTheNextRead) {
    EXPECT_EQ(parse_int_prefix("42").value, 42);
    EXPECT_EQ(parse_int_prefix("-17x").value, -17);
    EXPECT_EQ(parse_int_prefix("-17x").used, 3u);
    EXPECT_EQ(parse_int_prefix("+8").value, 8);
    EXPECT_EQ(parse_int_prefix("2.5").value, 2);
    EXPECT_EQ(parse_int_prefix("2.5").used, 1u);
    EXPECT_EQ(parse_int_prefix("007").value, 7);
    for (const char *none : {"", "-", "+", "x1", ".5", "-x"})
        EXPECT_EQ(parse_int_prefix(none).used, 0u) << none;
}

TEST(ParseInt, OutOfRangeSaturatesInsteadOfWrapping) {
    EXPECT_EQ(parse_int_prefix("2147483647").value, INT_MAX);
    EXPECT_EQ(parse_int_prefix("2147483648").value, INT_MAX);
    EXPECT_EQ(parse_int_prefix("-2147483648").value, INT_MIN);
    EXPECT_EQ(parse_int_prefix("-2147483649").value, INT_MIN);
    EXPECT_EQ(parse_int_prefix("99999999999999999999999999").value, INT_MAX);
    EXPECT_EQ(parse_int_prefix("99999999999999999999999999").used, 26u);
}

TEST(ParseDouble, SlowFormsReadAsStrtodReadsThem) {
    struct Case {
        const char *text;
        std::size_t used;
    } cases[] = {{"+1.5", 4},   {"0x1p3", 5},   {"-0x10", 5}, {"inf", 3},    {"-Infinity", 9},
                 {"nan", 3},    {"nan(12)", 7}, {"1e400", 5}, {"1e-400", 6}, {"1.5e", 3},
                 {"1.5abc", 3}, {".5", 2},      {"-.5e1", 5}, {"5.", 2},     {"infinit", 3},
                 {"1e-310", 6}, {"-0", 2},      {"0x", 1},    {"-", 0},      {"x", 0},
                 {"1,5", 1},    {"  1", 0}};
    for (const Case &c : cases) {
        ParsedDouble p = parse_double_prefix(c.text);
        char *end = nullptr;
        const double expected = std::strtod(c.text, &end);
        EXPECT_EQ(p.used, c.used) << c.text;
        if (c.used != 0 && c.text[0] != ' ') {
            EXPECT_EQ(p.used, static_cast<std::size_t>(end - c.text)) << c.text;
            if (!std::isnan(expected)) {
                EXPECT_TRUE(same_bits(p.value, expected)) << c.text;
            } else {
                EXPECT_TRUE(std::isnan(p.value)) << c.text;
            }
        }
    }
}

TEST(ParseDouble, WholeWordsOnly) {
    double v = 0;
    EXPECT_TRUE(parse_double_word("613.9", v));
    EXPECT_EQ(v, 613.9);
    EXPECT_TRUE(parse_double_word("+2", v));
    EXPECT_EQ(v, 2.0);
    EXPECT_FALSE(parse_double_word("1.5abc", v));
    EXPECT_FALSE(parse_double_word("abc", v));
    EXPECT_FALSE(parse_double_word("", v));
    EXPECT_TRUE(parse_double_word("-nan", v));
    EXPECT_TRUE(std::isnan(v));
}

TEST(ParseDouble, PlainDecimalsOfEveryLengthMatchStrtod) {
    // The short forms DEM files hold ("147.23", "-0.5", "12345678901234567.8"),
    // read inline up to 15 digits and by the exact conversion beyond: every
    // length from 1 to 22 digits, the point anywhere or nowhere, both signs;
    // word by word, and all at once as a grid's body is read.
    std::mt19937_64 rng(8086);
    std::string text;
    std::vector<double> expected;
    for (int k = 0; k < draws(3'000'000); ++k) {
        const int digits = 1 + static_cast<int>(rng() % 22);
        std::string w = (rng() & 1) ? "-" : "";
        const int point = static_cast<int>(rng() % (digits + 2)) - 1; // -1: no point
        for (int d = 0; d < digits; ++d) {
            if (d == point) w += '.';
            w += static_cast<char>('0' + rng() % 10);
        }
        if (point == digits) w += '.';
        expected.push_back(std::strtod(w.c_str(), nullptr));
        double got = 0;
        ASSERT_TRUE(parse_double_word(w, got)) << w;
        ASSERT_TRUE(same_bits(got, expected.back())) << w;
        text += w;
        text += k % 9 == 8 ? "\r\n" : " ";
    }
    std::vector<double> got(expected.size() + 1);
    const ParsedWords r =
        parse_words(text.data(), text.data() + text.size(), got.data(), got.size(), true);
    ASSERT_EQ(r.why, WordsStop::need_text);
    ASSERT_EQ(r.count, expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_TRUE(same_bits(got[k], expected[k])) << k;
    double v = 1;
    ASSERT_TRUE(parse_double_word("-0.0", v));
    EXPECT_TRUE(std::signbit(v) && v == 0.0);
    EXPECT_FALSE(parse_double_word(".", v));
    EXPECT_FALSE(parse_double_word("-", v));
    EXPECT_FALSE(parse_double_word("1..2", v));
}

TEST(FormatLf, SpecialValuesAndExactTies) {
    EXPECT_EQ(format_lf(-1e-9), "-0.000000");
    EXPECT_EQ(format_lf(0.0000005), "0.000000"); // the double lies below the tie
    EXPECT_EQ(format_lf(0.0000015), "0.000002");
    for (double edge : {8589934591.9999995, 8589934592.0, 8589934592.5, -8589934591.75})
        EXPECT_EQ(format_lf(edge), printf_lf(edge)); // about 2^33, where the exact path ends
    EXPECT_EQ(format_lf(0.0078125), "0.007812");     // exact tie: to even
    EXPECT_EQ(format_lf(0.0234375), "0.023438");
    EXPECT_EQ(format_lf(-0.0), "-0.000000");
    EXPECT_EQ(format_lf(1.0e7), "10000000.000000");
    EXPECT_EQ(format_lf(613.9000000000001), "613.900000");
    EXPECT_EQ(format_lf(-9999.9999), "-9999.999900");
    EXPECT_EQ(format_lf(INFINITY), "inf");
    EXPECT_EQ(format_lf(-INFINITY), "-inf");
    // glibc's texts on every platform, whatever the local printf says.
    EXPECT_EQ(format_lf(NAN), "nan");
    EXPECT_EQ(format_lf(-NAN), "-nan");
    EXPECT_EQ(format_lf(DBL_MAX), printf_lf(DBL_MAX));
    EXPECT_EQ(format_lf(DBL_TRUE_MIN), "0.000000");
}

TEST(FormatD, Integers) {
    std::string s;
    append_d(s, -2147483648LL);
    s += ' ';
    append_d(s, 0);
    s += ' ';
    append_d(s, 1410065408);
    EXPECT_EQ(s, "-2147483648 0 1410065408");
}

// ---------------------------------------------------------------------------
// Decimal forms of every kind through parse_double_prefix (its short path,
// std::from_chars and strtod), against strtod.
namespace {
// Reads text with parse_double_prefix (and parse_double_word when strtod takes it
// whole) and strtod; false (with a message) when they disagree.
::testing::AssertionResult reads_as_strtod(const std::string &text) {
    char *end = nullptr;
    const double want = std::strtod(text.c_str(), &end);
    const std::size_t want_used = static_cast<std::size_t>(end - text.c_str());
    const ParsedDouble p = parse_double_prefix(text);
    if (p.used != want_used || (want_used != 0 && !same_bits(p.value, want)))
        return ::testing::AssertionFailure()
               << "parse_double_prefix(\"" << text << "\") gives " << std::hexfloat << p.value
               << " from " << p.used << " characters; strtod " << want;
    double word = 0;
    if (want_used != 0 && want_used == text.size() &&
        (!parse_double_word(text, word) || !same_bits(word, want)))
        return ::testing::AssertionFailure() << "parse_double_word(\"" << text << "\") gives "
                                             << std::hexfloat << word << "; strtod " << want;
    return ::testing::AssertionSuccess();
}

std::string random_digits(std::mt19937_64 &rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>('0' + rng() % 10);
    return s;
}
} // namespace

TEST(DecimalForms, SignsPointsAndExponentsAsStrtodDelimitsThem) {
    for (const char *text : {"0",
                             "-0",
                             "+0",
                             "-0.0",
                             "0e-999",
                             "-0e999",
                             "+1.5",
                             "1.",
                             ".5",
                             "-.5e1",
                             "1.e5",
                             "1e5",
                             "1E+05",
                             "1e-0005",
                             "1.5e",
                             "1.5e+",
                             "1.5E-x",
                             "2e5.3",
                             "12abc",
                             "1,5",
                             "7-",
                             "00012.500",
                             "0.000123",
                             "1e2147483648",
                             "1e-99999999999999999999",
                             "0.000000000000000000000000000001234567890123456789e30",
                             "100000000000000000000000000000e-30"})
        EXPECT_TRUE(reads_as_strtod(text));
    // No digit, other forms of number, many digits, leading and trailing zeros.
    for (const std::string &other : std::vector<std::string>{
             "",
             "-",
             "+",
             ".",
             "-.",
             ".e5",
             "inf",
             "-nan",
             "0x1p3",
             "-0X10",
             "0x",
             "12345678901234567891",
             "0.12345678901234567891",
             "-100000000000000000001e-5",
             "999999999999999",
             "9999999999999999",
             "0.000000000000001",
             "1234567.89012345",
             "-0.00000" + std::string(19, '7') + "e-3",
             "1" + std::string(30, '0'),
             "1234567890123456789.000",
             "-0.1000000000000000000000e1",
             "1200" + std::string(20, '0') + "." + std::string(20, '0') + "e-40",
             "0.000" + std::string(25, '0') + "e5"})
        EXPECT_TRUE(reads_as_strtod(other));
}

TEST(DecimalForms, RangeEdgesSubnormalsAndOverflowMatchStrtod) {
    for (const char *text :
         {"1.7976931348623157e308",   // DBL_MAX
          "1.7976931348623158e308",   // rounds to DBL_MAX
          "1.797693134862315807e308", // just above the midpoint to 2^1024: infinity
          "1.797693134862315708e308",
          "1.7976931348623159e308",
          "-1e309",
          "9e307",
          "1e308",
          "2.2250738585072014e-308", // DBL_MIN
          "2.2250738585072011e-308",
          "2.2250738585072012e-308",
          "2.2250738585072013e-308",
          "2.225073858507201e-308",
          "4.9406564584124654e-324", // the smallest subnormal
          "2.4703282292062327e-324", // below half of it: 0
          "2.4703282292062328e-324", // above half: the smallest subnormal
          "7.4109846876186982e-324",
          "1e-323",
          "-1e-324",
          "1e-342",
          "9999999999999999999e-343",
          "1e-400",
          "4.9406564584124654417656879286822137236505980e-324",
          "9007199254740992",
          "9007199254740993",
          "9007199254740994",
          "9007199254740995",
          "9007199254740993.0",
          "900719925474099.3e1",
          "18014398509481985",
          "18014398509481986",
          "18014398509481987",
          "9999999.95",
          "10000000.05",
          "9999999.999999999",
          "1.0e7",
          "1.00000000000000005e7",
          "123456789012345678e-10"})
        EXPECT_TRUE(reads_as_strtod(text));
}

TEST(DecimalForms, MillionsOfRandomFormsMatchStrtod) {
    std::mt19937_64 rng(20261208);
    char buf[96];
    for (int k = 0; k < draws(7'000'000); ++k) {
        std::string text;
        switch (k % 14) {
        case 0: { // any double, 1 to 17 significant digits
            double d = random_double(rng);
            if (!std::isfinite(d)) d = 1.0;
            std::snprintf(buf, sizeof buf, "%.*g", 1 + static_cast<int>(rng() % 17), d);
            text = buf;
            break;
        }
        case 1: { // subnormals and the bottom of the normal range
            const std::uint64_t bits = rng() >> (11 + rng() % 2);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            std::snprintf(buf, sizeof buf, "%.*e", static_cast<int>(rng() % 19), d);
            text = buf;
            break;
        }
        case 2: { // the top of the range: finite, or beyond it
            const double d =
                std::ldexp(1.0 + static_cast<double>(rng() >> 11) * 0x1p-53, 1000 + rng() % 24);
            std::snprintf(buf, sizeof buf, "%.*e", static_cast<int>(rng() % 19), d);
            text = buf;
            break;
        }
        case 3: { // random digits, the point anywhere, any exponent
            const int n = 1 + static_cast<int>(rng() % 19);
            const std::string digits = random_digits(rng, n);
            const int point = static_cast<int>(rng() % (n + 1));
            text = std::string(rng() % 2 ? "-" : "") + digits.substr(0, point) + "." +
                   digits.substr(point) + (rng() % 2 ? "e" : "E") +
                   std::to_string(static_cast<int>(rng() % 720) - 370);
            break;
        }
        case 4: { // integers exactly halfway between two doubles above 2^53, and beside
            const int e = 53 + static_cast<int>(rng() % 10); // below 2^63: 19 digits
            const std::uint64_t m = (rng() >> 11) | (std::uint64_t{1} << 52);
            std::uint64_t mid = (m << (e - 52)) + (std::uint64_t{1} << (e - 53));
            mid += static_cast<std::uint64_t>(static_cast<int>(rng() % 3) - 1);
            text = std::to_string(mid);
            if (rng() % 2) text += ".0";
            break;
        }
        case 5: { // halfway with up to four decimals: (2m + 1) / 2^j, j = 1 .. 4
            const int j = 1 + static_cast<int>(rng() % 4);
            const std::uint64_t odd =
                ((rng() >> (11 + j)) | (std::uint64_t{1} << (52 - j))) * 2 + 1;
            std::uint64_t w = odd;
            for (int i = 0; i < j; ++i)
                w *= 5; // odd / 2^j == w / 10^j
            std::string s = std::to_string(w + static_cast<std::uint64_t>(rng() % 3) - 1);
            text = s.substr(0, s.size() - j) + "." + s.substr(s.size() - j);
            break;
        }
        case 6: { // short decimals as grids hold them
            std::snprintf(
                buf, sizeof buf, "%.*f", static_cast<int>(rng() % 4),
                static_cast<double>(static_cast<std::int64_t>(rng() % 20000000) - 1000000) /
                    1000.0);
            text = buf;
            break;
        }
        case 8:
        case 9:
        case 10:
        case 11: { // any bit pattern, or an ordinary size, in every printf form
            const char *formats[] = {"%.17g", "%.3f", "%.1f", "%.25e", "%a", "%+.9g"};
            double d = random_double(rng);
            if (rng() % 3 == 0) d = std::ldexp(static_cast<double>(rng() >> 11), -40);
            std::snprintf(buf, sizeof buf, formats[rng() % 6], d);
            text = buf;
            break;
        }
        case 12:
        case 13: { // exactly halfway between two doubles (where long double is wider)
            const double d =
                std::ldexp(static_cast<double>((rng() >> 11) | 1), -static_cast<int>(rng() % 80));
            const double next = std::nextafter(d, INFINITY);
            std::snprintf(buf, sizeof buf, "%.60Lg", (static_cast<long double>(d) + next) / 2);
            text = buf;
            break;
        }
        default: { // 17-digit forms with exponents of every size
            std::snprintf(buf, sizeof buf, "%.16e", random_double(rng));
            text = buf;
            if (text.find_first_of("ni") != std::string::npos) text = "1e1";
        }
        }
        ASSERT_TRUE(reads_as_strtod(text));
    }
}

// ---------------------------------------------------------------------------
// put_lf and put_lf_tab, "%lf" of many values into one buffer, against snprintf.
namespace {
// put_lf's text of v, and format_lf's; fails when put_lf writes a byte past the end
// it returns.
::testing::AssertionResult puts_as_printf(double v) {
    char buf[lf_max_chars + 8];
    std::memset(buf, '#', sizeof buf);
    char *end = put_lf(buf, v);
    const std::string got(buf, end);
    if (end > buf + lf_max_chars ||
        std::any_of(end, buf + sizeof buf, [](char c) { return c != '#'; }))
        return ::testing::AssertionFailure() << "writes past its text: " << got;
    const std::string want =
        std::isnan(v) ? (std::signbit(v) ? "-nan" : "nan") : printf_lf(v); // glibc's texts
    if (got != want || format_lf(v) != want)
        return ::testing::AssertionFailure()
               << std::hexfloat << v << " gives \"" << got << "\" (\"" << format_lf(v)
               << "\" as a string), printf \"" << want << "\"";
    if (std::fabs(v) < 0x1p33 && got.size() > 18)
        return ::testing::AssertionFailure() << got << " is longer than 18 characters";
    return ::testing::AssertionSuccess();
}
} // namespace

TEST(PutLf, EdgesOfTheIntegerPathAndTheGeneralOne) {
    const double edges[] = {0.0,
                            -0.0,
                            1.0,
                            -1.0,
                            0.5,
                            613.9,
                            -9999.9999,
                            1.0e7,
                            9999999.9999995,
                            10000000.0000005,
                            0.0000005,
                            0.0000015,
                            0.0000025,
                            -0.0000025,
                            0.0078125,
                            0.0234375,
                            123.4565,
                            0x1p33,
                            std::nextafter(0x1p33, 0.0),
                            -0x1p33,
                            -std::nextafter(0x1p33, 0.0),
                            8589934591.9999995,
                            0x1p53,
                            0x1p53 + 2,
                            0x1p52 + 0.5,
                            0x1p-20,
                            0x1p-21,
                            3 * 0x1p-21,
                            DBL_MIN,
                            DBL_TRUE_MIN,
                            -DBL_TRUE_MIN,
                            DBL_MAX,
                            -DBL_MAX,
                            INFINITY,
                            -INFINITY,
                            NAN,
                            -NAN,
                            1e300};
    for (double v : edges)
        EXPECT_TRUE(puts_as_printf(v));
    // The longest texts fill the room exactly.
    char buf[lf_max_chars];
    EXPECT_EQ(put_lf(buf, -DBL_MAX), buf + lf_max_chars);
    // The tab follows the text at once.
    for (double v : std::vector<double>{2.5, -0.0, 1e20, NAN}) {
        char a[lf_max_chars + 1], b[lf_max_chars + 1];
        char *end = put_lf_tab(a, v);
        ASSERT_EQ(end - a, put_lf(b, v) - b + 1);
        EXPECT_EQ(end[-1], '\t');
        EXPECT_EQ(std::string(a, end - 1), std::string(b, end - a - 1));
    }
    EXPECT_EQ(format_lf(12.25), "12.250000");
}

TEST(PutLf, MillionsOfValuesMatchPrintf) {
    std::mt19937_64 rng(31415);
    for (int k = 0; k < draws(6'000'000); ++k) {
        double d;
        switch (k % 6) {
        case 0: // any magnitude of the integer path, subnormals included
            d = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 1140) - 1128);
            break;
        case 1: // exact ties at the sixth decimal and their neighbours
            d = std::ldexp(static_cast<double>(rng() % 4000000000 * 2 + 1),
                           -7 - static_cast<int>(rng() % 20));
            if (k % 12 == 1) d = std::nextafter(d, (rng() & 1) ? INFINITY : -INFINITY);
            break;
        case 2: // a DEM's values, read from one to four decimals
        {
            char text[40];
            std::snprintf(
                text, sizeof text, "%.*f", 1 + static_cast<int>(rng() % 4),
                static_cast<double>(static_cast<std::int64_t>(rng() % 100000000) - 10000000) /
                    1000.0);
            d = std::strtod(text, nullptr);
            break;
        }
        case 3: // about 2^33, where the integer path ends, and about 2^53 and 1e7
        {
            const double centre[] = {0x1p33, 0x1p53, 1e7, 1e9};
            std::uint64_t bits;
            std::memcpy(&bits, &centre[rng() % 4], sizeof bits);
            bits += rng() % 4001 - 2000; // up to 2000 doubles either side
            std::memcpy(&d, &bits, sizeof d);
            break;
        }
        case 4:
            d = random_double(rng);
            break;
        default: // the general path: 2^33 up to 2^120
            d = std::ldexp(static_cast<double>(rng() >> 11),
                           33 - 52 + static_cast<int>(rng() % 88));
        }
        if (rng() & 1) d = -d;
        ASSERT_TRUE(puts_as_printf(d));
    }
}

TEST(PutLf, EveryTenthOfAMetreOfADemReadsBackAsPrintedByPrintf) {
    // Every value with one decimal from -1000 m to 10000 m, as grids hold them.
    std::string all;
    std::string want;
    char text[48];
    for (int k = -10000; k <= draws(100000); ++k) {
        std::snprintf(text, sizeof text, "%.1f", k / 10.0);
        const double v = std::strtod(text, nullptr);
        char buf[lf_max_chars + 1];
        all.append(buf, put_lf_tab(buf, v));
        std::snprintf(text, sizeof text, "%lf\t", v);
        want += text;
    }
    EXPECT_EQ(all, want);
}
