// The block conversion of raw samples to output samples against the general
// path, one sample at a time, over millions of samples in every unit pair.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "dem/sample_convert.hpp"
#include "number/extended_arith.hpp"
#include "test_support.hpp"

namespace {
const double unit_factors[] = {1.0, 0.1, 0.01, 0.001};
const std::uint64_t output_factors[] = {1, 10, 100, 1000};

std::vector<std::int32_t> samples_to_try(std::mt19937_64 &rng, std::size_t n) {
    std::vector<std::int32_t> s;
    // Samples whose products fall halfway between two doubles in some unit, around
    // powers of two, the extremes, and outputs at the edge of 2^31.
    for (std::int32_t v : {0,
                           1,
                           -1,
                           3,
                           6139,
                           6835,
                           12345,
                           65535,
                           65536,
                           1024,
                           2048,
                           4096,
                           8192,
                           1 << 20,
                           (1 << 20) + 1,
                           (1 << 30) - 1,
                           1 << 30,
                           INT32_MAX,
                           INT32_MIN,
                           INT32_MIN + 1,
                           2147483,
                           2147484,
                           21474836,
                           21474837,
                           214748364,
                           214748365,
                           10000000,
                           100000000,
                           1000000000})
        for (int d = -2; d <= 2; ++d)
            s.push_back(static_cast<std::int32_t>(static_cast<std::int64_t>(v) + d));
    while (s.size() < n) {
        switch (rng() % 4) {
        case 0:
            s.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(rng())));
            break;
        case 1:
            s.push_back(static_cast<std::int32_t>(rng() % 9000000)); // DEM samples in mm
            break;
        case 2:
            s.push_back(static_cast<std::int32_t>(rng() % 100000) - 1000);
            break;
        default: // around powers of two
            s.push_back(static_cast<std::int32_t>((std::int64_t{1} << (rng() % 31)) +
                                                  static_cast<std::int64_t>(rng() % 7) - 3));
        }
    }
    return s;
}
} // namespace

TEST(OutputSamples, EveryUnitPairAndBaseLevelGivesTheGeneralPathsSamples) {
    std::mt19937_64 rng(2024);
    const std::vector<std::int32_t> samples = samples_to_try(rng, draws(1'000'000));
    std::vector<std::int32_t> wide(samples.size()), expected(samples.size());
    std::vector<std::uint16_t> narrow(samples.size());
    for (double unit : unit_factors) {
        const UnitFactor u = unit_factor(unit);
        for (std::uint64_t factor : output_factors) {
            for (double base : {sample_to_metres(1, unit), sample_to_metres(6139, unit), 1.0e7,
                                sample_to_metres(4000000, unit)}) {
                const SampleConversion c{unit, base, factor};
                output_samples(samples.data(), samples.size(), c, wide.data());
                output_samples(samples.data(), samples.size(), c, narrow.data());
                for (std::size_t k = 0; k < samples.size(); ++k) {
                    const std::int64_t s = output_sample(samples[k], c, u);
                    expected[k] = low32(s);
                    ASSERT_EQ(wide[k], low32(s))
                        << samples[k] << " unit " << unit << " x" << factor << " base " << base;
                    ASSERT_EQ(narrow[k], low16(s)) << samples[k] << " unit " << unit;
                }
                ASSERT_EQ(wide, expected);
            }
        }
    }
}

TEST(OutputSamples, MillimetresToMillimetresLoseTheMillimetreTheX87Loses) {
    // The sample times the double 0.001 is rounded below the exact thousandth for
    // some samples; times 1000 and truncated, they come back one less.
    const SampleConversion c{0.001, 0.001, 1000};
    std::int32_t in[] = {300106, 1000, 61, 708279};
    std::int32_t out[4];
    output_samples(in, 4, c, out);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(out[k], low32(metres_to_sample(sample_to_metres(in[k], 0.001), 1000.0)));
    EXPECT_EQ(out[0], 300105);
}
