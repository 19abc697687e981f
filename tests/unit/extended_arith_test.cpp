// The extended-precision conversions: the exact cases users' files depend on,
// and millions of random products against the x87 itself where the compiler
// gives long double that format.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "number/extended_arith.hpp"
#include "test_support.hpp"

TEST(SampleToMetres, HalfwayProductsRoundTwiceLikeTheX87) {
    EXPECT_TRUE(same_bits(sample_to_metres(6139, 0.1), 613.9000000000001));
    EXPECT_TRUE(same_bits(sample_to_metres(6835, 0.01), 68.35));
    EXPECT_TRUE(same_bits(sample_to_metres(3, 0.1), 0.30000000000000004));
    EXPECT_TRUE(same_bits(sample_to_metres(12345, 0.01), 123.45));
    // A plain double product gives the other neighbour in the first two cases.
    EXPECT_FALSE(same_bits(6139 * 0.1, 613.9000000000001));
    EXPECT_FALSE(same_bits(6835 * 0.01, 68.35));
}

TEST(SampleToMetres, TheInlineLoopFormGivesTheSameDoubles) {
    const double factors[] = {1.0, 0.1, 0.01, 0.001};
    std::mt19937_64 rng(17);
    for (double factor : factors) {
        const UnitFactor f = unit_factor(factor);
        for (std::int32_t s : {0, 1, -1, 3, 6139, 6835, 65535, INT32_MAX, INT32_MIN, INT32_MIN + 1})
            ASSERT_TRUE(same_bits(sample_to_metres_fast(s, f), sample_to_metres(s, factor))) << s;
        for (int k = 0; k < draws(2'000'000); ++k) {
            auto s = static_cast<std::int32_t>(static_cast<std::uint32_t>(rng()));
            if (k % 2 == 0) s >>= rng() % 31; // small magnitudes too
            ASSERT_TRUE(same_bits(sample_to_metres_fast(s, f), sample_to_metres(s, factor)))
                << s << " " << factor;
        }
    }
}

TEST(SampleToMetres, IntegersAndExtremesAreExact) {
    EXPECT_EQ(sample_to_metres(65535, 1.0), 65535.0);
    EXPECT_EQ(sample_to_metres(INT32_MIN, 1.0), -2147483648.0);
    EXPECT_EQ(sample_to_metres(INT32_MAX, 1.0), 2147483647.0);
    EXPECT_EQ(sample_to_metres(0, 0.001), 0.0);
    EXPECT_EQ(sample_to_metres(-3, 0.1), -0.30000000000000004);
}

TEST(MetresToSample, ExactProductsTruncateTowardZero) {
    // 0.3 m (the double nearest 0.3) is a little below 0.3.
    EXPECT_EQ(metres_to_sample(0.3, 10.0), 2);
    EXPECT_EQ(metres_to_sample(0.3, 100.0), 29);
    EXPECT_EQ(metres_to_sample(0.3, 1000.0), 299);
    // Rounded to double first, the products are 3, 30 and 300 (the descriptor's range).
    EXPECT_EQ(truncate_double(0.3 * 10.0), 3);
    EXPECT_EQ(truncate_double(0.3 * 100.0), 30);
    EXPECT_EQ(truncate_double(0.3 * 1000.0), 300);
    EXPECT_EQ(metres_to_sample(12.9, 1.0), 12);
    EXPECT_EQ(metres_to_sample(-12.9, 1.0), -12);
    EXPECT_EQ(metres_to_sample(-0.0, 1000.0), 0);
}

TEST(MetresToSample, WidthsTakeTheLowBits) {
    EXPECT_EQ(low16(metres_to_sample(70.0, 1000.0)), 4464);
    EXPECT_EQ(low32(truncate_double(70.0 * 1000.0)), 70000);
    EXPECT_EQ(low16(metres_to_sample(1.0e7, 1.0)), 38528);
    EXPECT_EQ(low32(metres_to_sample(1.0e7, 1000.0)), 1410065408);
    EXPECT_EQ(low16(-1), 65535);
    EXPECT_EQ(low32(-1), -1);
    EXPECT_EQ(low32(INT64_MIN), 0);
    EXPECT_EQ(low32(0x80000000LL), INT32_MIN);
}

TEST(MetresToSample, RoundTripsThroughTheUnits) {
    // Samples read in a unit and written back in it lose one where the metre value
    // lies just below the sample.
    const struct {
        int sample;
        double in, out;
        long long back;
    } cases[] = {{3, 0.01, 100.0, 2}, {5, 0.01, 100.0, 5}, {6, 0.01, 100.0, 5},
                 {9, 0.01, 100.0, 8}, {43, 0.1, 10.0, 42}, {11, 0.001, 1000.0, 10}};
    for (const auto &c : cases)
        EXPECT_EQ(metres_to_sample(sample_to_metres(c.sample, c.in), c.out), c.back) << c.sample;
}

TEST(MetresToSample, NoNumberOrOutOfRangeGivesTheIndefiniteInteger) {
    EXPECT_EQ(metres_to_sample(NAN, 10.0), INT64_MIN);
    EXPECT_EQ(metres_to_sample(INFINITY, 1.0), INT64_MIN);
    EXPECT_EQ(metres_to_sample(-INFINITY, 1.0), INT64_MIN);
    EXPECT_EQ(metres_to_sample(1e300, 1000.0), INT64_MIN);
    EXPECT_EQ(metres_to_sample(9223372036854775808.0, 1.0), INT64_MIN);  // 2^63
    EXPECT_EQ(metres_to_sample(-9223372036854775808.0, 1.0), INT64_MIN); // fits: -2^63
    EXPECT_EQ(metres_to_sample(9223372036854774784.0, 1.0), 9223372036854774784LL);
    EXPECT_EQ(metres_to_sample(DBL_TRUE_MIN, 1000.0), 0);
    EXPECT_EQ(low16(metres_to_sample(NAN, 1.0)), 0);
}

TEST(PixelSize, WholeMetresOrNotGiven) {
    EXPECT_EQ(pixel_size_metres(30.9), 30);
    EXPECT_EQ(pixel_size_metres(0.5), 0);
    EXPECT_EQ(pixel_size_metres(-2.5), -2);
    EXPECT_EQ(pixel_size_metres(2147483647.9), INT_MAX);
    EXPECT_EQ(pixel_size_metres(3e9), 0);
    EXPECT_EQ(pixel_size_metres(NAN), 0);
}

TEST(ExtendedToDouble, SpecialsAndSubnormals) {
    EXPECT_TRUE(std::isnan(extended_to_double(extended_mul(NAN, 1.0))));
    EXPECT_TRUE(std::isnan(extended_to_double(extended_mul(INFINITY, 0.0))));
    EXPECT_EQ(extended_to_double(extended_mul(-INFINITY, 2.0)), -INFINITY);
    EXPECT_EQ(extended_to_double(extended_mul(DBL_MAX, 2.0)), INFINITY);
    EXPECT_TRUE(std::signbit(extended_to_double(extended_mul(-0.0, 5.0))));
    EXPECT_EQ(extended_to_double(extended_mul(DBL_MIN, 0.5)), DBL_MIN / 2);
    EXPECT_EQ(extended_to_double(extended_mul(DBL_TRUE_MIN, 0.5)), 0.0); // tie to even: 0
    EXPECT_EQ(extended_to_double(extended_mul(DBL_TRUE_MIN, 0.75)), DBL_TRUE_MIN);
}

#if LDBL_MANT_DIG == 64
namespace {
// The x87 itself: a long double product rounded once to 64 bits, then stored.
double x87_mul(double a, double b) {
    volatile long double p = static_cast<long double>(a) * static_cast<long double>(b);
    return static_cast<double>(p);
}
} // namespace

TEST(AgainstX87, UnitConversionsOfEverySampleWidth) {
    std::mt19937_64 rng(2026);
    const double factors[] = {1.0, 0.1, 0.01, 0.001};
    for (int s = 0; s < 65536; ++s)
        for (double f : factors)
            ASSERT_TRUE(same_bits(sample_to_metres(s, f), x87_mul(s, f))) << s;
    for (int k = 0; k < draws(4'000'000); ++k) {
        const auto s = static_cast<std::int32_t>(static_cast<std::uint32_t>(rng()));
        const double f = factors[k % 4];
        ASSERT_TRUE(same_bits(sample_to_metres(s, f), x87_mul(s, f))) << s << " " << f;
    }
}

TEST(AgainstX87, ArbitraryProductsRoundAlike) {
    std::mt19937_64 rng(31);
    for (int k = 0; k < draws(4'000'000); ++k) {
        double a = random_double(rng), b = random_double(rng);
        if (k % 2 == 0)
            b = std::ldexp(1.0 + static_cast<double>(rng() % 1024) / 1024,
                           static_cast<int>(rng() % 20) - 10);
        const double expected = x87_mul(a, b);
        // Out of the double range the x87 store raises overflow or underflow and
        // rounds through a narrower path; our callers never go there.
        if (std::isnan(expected) || std::fabs(expected) < DBL_MIN || std::isinf(expected)) continue;
        ASSERT_TRUE(same_bits(extended_to_double(extended_mul(a, b)), expected))
            << std::hexfloat << a << " * " << b;
    }
}

TEST(AgainstX87, TruncationOfScaledMetres) {
    std::mt19937_64 rng(5);
    const double coefs[] = {1.0, 10.0, 100.0, 1000.0};
    for (int k = 0; k < draws(4'000'000); ++k) {
        double v;
        switch (k % 3) {
        case 0:
            v = static_cast<double>(static_cast<std::int64_t>(rng() % 20000001) - 10000000) /
                1000.0;
            break;
        case 1:
            v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 70) - 60);
            break;
        default:
            v = random_double(rng);
        }
        if (rng() & 1) v = -v;
        const double c = coefs[rng() % 4];
        const long double p = static_cast<long double>(v) * c;
        // The x87 truncation of what fits; the rest is the indefinite integer.
        if (!(std::fabs(p) < 9223372036854775808.0L)) {
            ASSERT_EQ(metres_to_sample(v, c), INT64_MIN);
            continue;
        }
        ASSERT_EQ(metres_to_sample(v, c), static_cast<long long>(p))
            << std::hexfloat << v << " " << c;
        ASSERT_EQ(truncate_double(v), static_cast<long long>(static_cast<long double>(v)));
    }
}
#endif
