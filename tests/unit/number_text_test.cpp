// Number text: "%d" and "%lf" reading, "%lf" writing, checked against the C
// library itself over millions of values.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "dem/number_text.hpp"
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

TEST(ParseDouble, MillionsOfRandomValuesMatchStrtod) {
    std::mt19937_64 rng(12345);
    char buf[64];
    const char *formats[] = {"%.17g", "%.3f", "%.1f", "%.25e", "%a", "%+.9g"};
    for (int k = 0; k < draws(2'000'000); ++k) {
        double d = random_double(rng);
        if (k % 3 == 0) d = std::ldexp(static_cast<double>(rng() >> 11), -40); // ordinary sizes
        std::snprintf(buf, sizeof buf, formats[k % 6], d);
        char *end = nullptr;
        const double expected = std::strtod(buf, &end);
        ParsedDouble p = parse_double_prefix(buf);
        ASSERT_EQ(p.used, static_cast<std::size_t>(end - buf)) << buf;
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(p.value)) << buf;
        } else {
            ASSERT_TRUE(same_bits(p.value, expected)) << buf;
        }
    }
}

TEST(ParseDouble, ShortDecimalsAndHalfwayTextsMatchStrtod) {
    // Decimal texts exactly halfway between two doubles, and near it: the
    // correctly rounded results differ from a naive conversion there.
    std::mt19937_64 rng(99);
    char buf[80];
    for (int k = 0; k < draws(1'000'000); ++k) {
        const double d =
            std::ldexp(static_cast<double>((rng() >> 11) | 1), -static_cast<int>(rng() % 80));
        const double next = std::nextafter(d, INFINITY);
        // The midpoint, exact where long double has a wider significand than double.
        std::snprintf(buf, sizeof buf, "%.60Lg", (static_cast<long double>(d) + next) / 2);
        const double expected = std::strtod(buf, nullptr);
        double got = 0;
        ASSERT_TRUE(parse_double_word(std::string_view(buf, std::strlen(buf)), got)) << buf;
        ASSERT_TRUE(same_bits(got, expected)) << buf;
    }
}

TEST(ParseDouble, PlainDecimalsOfEveryLengthMatchStrtod) {
    // The short forms DEM files hold ("147.23", "-0.5", "12345678901234567.8"):
    // random digit strings with the point anywhere, up to and past 19 digits.
    std::mt19937_64 rng(4242);
    for (int k = 0; k < draws(3'000'000); ++k) {
        const int digits = 1 + static_cast<int>(rng() % 22);
        std::string text = (rng() & 1) ? "-" : "";
        const int point = static_cast<int>(rng() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0) text += '.';
            text += static_cast<char>('0' + rng() % 10);
        }
        if (rng() % 7 == 0 && text.find('.') == std::string::npos) text += '.';
        double got = 0;
        ASSERT_TRUE(parse_double_word(text, got)) << text;
        ASSERT_TRUE(same_bits(got, std::strtod(text.c_str(), nullptr))) << text;
    }
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

TEST(FormatLf, MillionsOfRandomValuesMatchPrintf) {
    std::mt19937_64 rng(777);
    for (int k = 0; k < draws(3'000'000); ++k) {
        double d;
        switch (k % 4) {
        case 0:
            d = random_double(rng);
            break;
        // Exact ties at the sixth decimal: odd multiples of 2^-n around 1e-6.
        case 1:
            d = std::ldexp(static_cast<double>(rng() % 100000000 * 2 + 1),
                           -7 - static_cast<int>(rng() % 20));
            break;
        case 2:
            d = static_cast<double>(static_cast<std::int64_t>(rng() % 2000000000) - 1000000000) /
                1000.0;
            break;
        default:
            d = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 90);
        }
        if (std::isnan(d)) {
            ASSERT_EQ(format_lf(d), std::signbit(d) ? "-nan" : "nan");
            continue;
        }
        ASSERT_EQ(format_lf(d), printf_lf(d)) << std::hexfloat << d;
    }
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
