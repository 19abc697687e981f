// The base-level figures gathered in one pass (from elevations, or from raw
// samples and the unit) against the scans done one after another over every
// cell's elevation: range, count of the minimum, base level, and the range of
// the raised grid.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "number/extended_arith.hpp"
#include "number/figures.hpp"
#include "test_support.hpp"

namespace {
// The figures as separate scans over the cells find them: range from 1.0e7
// and 0, then the count of cells equal to the minimum, then the base level,
// then the range of the grid with every cell below the base level raised.
struct Scanned {
    double min = 1.0e7, max = 0.0, base = 1.0e7, out_min = 1.0e7, out_max = 0.0;
    std::uint64_t count = 0;
};

Scanned scan(const std::vector<double> &cells) {
    Scanned s;
    for (double v : cells) {
        if (s.min > v) s.min = v;
        if (s.max < v) s.max = v;
    }
    for (double v : cells)
        if (v == s.min) ++s.count;
    for (double v : cells)
        if (v > 0.0 && s.base > v) s.base = v;
    std::vector<double> out = cells;
    for (std::size_t k = 0; k < cells.size(); ++k)
        if (cells[k] < s.base) out[k] = s.base;
    for (double v : out) {
        if (s.out_min > v) s.out_min = v;
        if (s.out_max < v) s.out_max = v;
    }
    return s;
}

void expect_same(const Scanned &s, const ElevationFigures &f, const std::string &what) {
    EXPECT_TRUE(same_bits(f.min, s.min)) << what << ": min " << f.min << " vs " << s.min;
    EXPECT_TRUE(same_bits(f.max, s.max)) << what << ": max " << f.max << " vs " << s.max;
    EXPECT_EQ(f.min_cells, s.count) << what;
    EXPECT_TRUE(same_bits(f.base, s.base)) << what << ": base " << f.base << " vs " << s.base;
    const Range r = raised_range(f, f.base);
    EXPECT_TRUE(same_bits(r.min, s.out_min))
        << what << ": out min " << r.min << " vs " << s.out_min;
    EXPECT_TRUE(same_bits(r.max, s.out_max))
        << what << ": out max " << r.max << " vs " << s.out_max;
}

ElevationFigures gathered(const std::vector<double> &cells) {
    ElevationFigures f;
    for (double v : cells)
        add_elevation(f, v);
    return f;
}

// The same gathered in two parts, cut before cell cut, then put together.
ElevationFigures gathered_in_two(const std::vector<double> &cells, std::size_t cut) {
    ElevationFigures f =
        gathered({cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(cut)});
    add_figures(f, gathered({cells.begin() + static_cast<std::ptrdiff_t>(cut), cells.end()}));
    return f;
}

const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
} // namespace

TEST(Figures, GridsOfEveryKindMatchTheScansWholeAndCutAnywhere) {
    const std::vector<std::vector<double>> grids = {
        {},
        {0, 0, 5, 3, -2},
        {0, 0.5},
        {-1, -4, -4, 0},
        {0, 0, 0},
        {-0.0, 0.0, 3},
        {0.0, -0.0, 3},
        {1.0e7, 1.0e7, 2.0e7},
        {2.0e7, 3.0e7},
        {1.0e7, 0, 5},
        {nan_value, 2, inf, -inf, 0, 3},
        {nan_value, nan_value},
        {nan_value, -3},
        {inf, 1.0e8},
        {-inf, -inf, 4},
        {9999999.999999998, 1.0e7, 0},
        {5e-324, 0, -5e-324},
    };
    // Then random grids drawn from the same kinds of values.
    std::mt19937_64 rng(31);
    const double pool[] = {0.0, -0.0, 1.0e7, 2.5e7, nan_value, inf, -inf, -1.0, 0.25};
    for (std::size_t k = 0; k < grids.size() + draws(20000); ++k) {
        std::vector<double> g = k < grids.size() ? grids[k] : std::vector<double>(rng() % 40);
        for (double &v : g) {
            if (k < grids.size()) break;
            switch (rng() % 4) {
            case 0:
                v = pool[rng() % std::size(pool)];
                break;
            case 1:
                v = static_cast<double>(static_cast<std::int64_t>(rng() % 20000) - 5000) / 4;
                break;
            case 2:
                v = random_double(rng);
                break;
            default:
                v = std::ldexp(static_cast<double>(rng() % 1000),
                               static_cast<int>(rng() % 40) - 10);
            }
        }
        const std::string what = "grid " + std::to_string(k);
        expect_same(scan(g), gathered(g), what);
        for (std::size_t cut = 0; cut <= g.size(); ++cut)
            expect_same(scan(g), gathered_in_two(g, cut), what + " cut at " + std::to_string(cut));
        if (::testing::Test::HasFailure()) return;
    }
}

namespace {
// The figures of raw samples through the reader's blocks, with zeros for
// the cells past the end of a short file.
ElevationFigures of_samples(const std::vector<std::int32_t> &samples, std::uint64_t zeros,
                            double factor, std::mt19937_64 &rng) {
    SampleFigures f;
    std::size_t k = 0;
    while (k < samples.size()) {
        const std::size_t n = std::min<std::size_t>(1 + rng() % 7, samples.size() - k);
        add_samples(f, samples.data() + k, n);
        k += n;
    }
    add_zero_samples(f, zeros);
    return figures_of_samples(f, unit_factor(factor));
}

std::vector<double> elevations(const std::vector<std::int32_t> &samples, std::uint64_t zeros,
                               double factor) {
    std::vector<double> cells;
    for (std::int32_t s : samples)
        cells.push_back(sample_to_metres(s, factor));
    cells.insert(cells.end(), zeros, 0.0);
    return cells;
}
} // namespace

TEST(Figures, RawSamplesInEveryUnitMatchTheScansOfTheirElevations) {
    const double factors[] = {1.0, 0.1, 0.01, 0.001};
    // Samples whose elevation is exactly 1.0e7 in some unit, and their neighbours:
    // the minimum search starts there.
    const std::int32_t edges[] = {0,          1,          -1,        9999999,   10000000,
                                  10000001,   99999999,   100000000, 100000001, 999999999,
                                  1000000000, 1000000001, INT32_MAX, INT32_MIN, 65535};
    std::mt19937_64 rng(7);
    for (int k = 0; k < draws(40000); ++k) {
        std::vector<std::int32_t> samples(rng() % 30);
        for (std::int32_t &s : samples) {
            switch (rng() % 4) {
            case 0:
                s = edges[rng() % std::size(edges)];
                break;
            case 1:
                s = static_cast<std::int32_t>(rng() % 2000) - 500;
                break;
            case 2:
                s = static_cast<std::int32_t>(static_cast<std::uint32_t>(rng()));
                break;
            default:
                s = static_cast<std::int32_t>(1000000000 + rng() % 3 - 1) / (1 << (rng() % 3));
            }
        }
        const std::uint64_t zeros = rng() % 4 == 0 ? rng() % 5 : 0;
        for (double factor : factors) {
            std::mt19937_64 blocks(static_cast<unsigned long>(k));
            expect_same(scan(elevations(samples, zeros, factor)),
                        of_samples(samples, zeros, factor, blocks),
                        "samples " + std::to_string(k) + " at factor " + std::to_string(factor));
        }
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(Figures, ZerosPastTheEndOfAShortFileAreCountedWithoutBeingVisited) {
    SampleFigures f;
    const std::int32_t s[] = {5, 7};
    add_samples(f, s, 2);
    add_zero_samples(f, 3999999999999999998ULL);
    const ElevationFigures e = figures_of_samples(f, unit_factor(1.0));
    EXPECT_EQ(e.min, 0.0);
    EXPECT_EQ(e.min_cells, 3999999999999999998ULL);
    EXPECT_EQ(e.max, 7.0);
    EXPECT_EQ(e.base, 5.0);
    EXPECT_EQ(f.cells, 4000000000000000000ULL);
}

namespace {
// The figures of samples taken in blocks of random sizes up to 2500.
template <class T> SampleFigures in_blocks(const std::vector<T> &samples, std::mt19937_64 &rng) {
    SampleFigures f;
    for (std::size_t at = 0; at < samples.size();) {
        const std::size_t n = std::min<std::size_t>(1 + rng() % 2500, samples.size() - at);
        add_samples(f, samples.data() + at, n);
        at += n;
    }
    return f;
}
} // namespace

TEST(Figures, LargeBlocksOfSamplesMatchTheScans) {
    // Blocks of hundreds and thousands of samples: the vector forms' sweeps and
    // their tails, in both widths, 16 bits in every unit.
    std::mt19937_64 rng(77);
    for (int k = 0; k < draws(800); ++k) {
        std::vector<std::int32_t> wide(1 + rng() % 6000);
        const int kind = k % 4;
        for (auto &s : wide) {
            if (kind == 0)
                s = rng() % 4 == 0 ? 0 : static_cast<std::int32_t>(rng() % 70000) - 3000;
            else if (kind == 1)
                s = static_cast<std::int32_t>(static_cast<std::uint32_t>(rng()));
            else if (kind == 2)
                s = static_cast<std::int32_t>(rng() % 65536);
            else // a third zeros, the others of every size up to 16 bits
                s = rng() % 3 == 0 ? 0 : static_cast<std::uint16_t>(rng() >> (rng() % 60));
        }
        const SampleFigures f = in_blocks(wide, rng);
        expect_same(scan(elevations(wide, 0, 0.01)), figures_of_samples(f, unit_factor(0.01)),
                    std::string("32-bit blocks ").append(std::to_string(k)));
        if (kind >= 2) {
            const SampleFigures g =
                in_blocks(std::vector<std::uint16_t>(wide.begin(), wide.end()), rng);
            for (double factor : {1.0, 0.1, 0.01, 0.001})
                expect_same(scan(elevations(wide, 0, factor)),
                            figures_of_samples(g, unit_factor(factor)),
                            "16-bit blocks " + std::to_string(k) + " at " + std::to_string(factor));
        }
        if (::testing::Test::HasFailure()) return;
    }
}
