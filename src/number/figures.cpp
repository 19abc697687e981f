// The figures of the base-level stage from raw samples, and the range of the
// raised elevations.
#include "number/figures.hpp"

#include <algorithm>

#include "number/always_inline.hpp"

// Attributes by name: pmccabe, which measures every function for CI, reads
// none whose head spells them out.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define GZ_AVX2 __attribute__((target("avx2")))
#endif

namespace {
// Takes in a block of n samples: its extremes, its smallest positive sample
// (INT32_MAX for none) and at_lo, its cells at lo, which the caller counts
// only when counts_at(f, lo) says they matter.
bool counts_at(const SampleFigures &f, std::int32_t lo) {
    return lo <= f.smallest;
}

void merge_block(SampleFigures &f, std::uint64_t n, std::int32_t lo, std::int32_t hi,
                 std::int32_t positive, std::uint64_t at_lo) {
    if (hi > 0) {
        f.smallest_positive = std::min(f.smallest_positive, positive);
        f.any_positive = true;
    }
    if (counts_at(f, lo)) {
        if (lo < f.smallest) {
            f.smallest = lo;
            f.smallest_cells = 0;
        }
        f.smallest_cells += at_lo;
    }
    f.largest = std::max(f.largest, hi);
    f.cells += n;
}

// One block of samples: extremes and smallest positive in one sweep each (the
// loops vectorise), then the cells at the block's smallest when it matters.
template <class T> GZ_ALWAYS_INLINE void add_block(SampleFigures &f, const T *s, std::size_t n) {
    if (n == 0) return;
    T lo = s[0], hi = s[0];
    for (std::size_t k = 1; k < n; ++k) {
        lo = s[k] < lo ? s[k] : lo;
        hi = s[k] > hi ? s[k] : hi;
    }
    const auto block_lo = static_cast<std::int32_t>(lo), block_hi = static_cast<std::int32_t>(hi);
    // The smallest positive sample: non-positive ones count as the largest
    // value (for 16 bits, 0 wraps to it when 1 is taken away).
    std::int32_t positive = INT32_MAX;
    if (block_hi > 0) {
        if constexpr (sizeof(T) == 2) {
            std::uint16_t below = 0xFFFF;
            for (std::size_t k = 0; k < n; ++k) {
                const auto v = static_cast<std::uint16_t>(s[k] - 1);
                below = v < below ? v : below;
            }
            positive = below + 1;
        } else {
            for (std::size_t k = 0; k < n; ++k) {
                const std::int32_t v = s[k] > 0 ? s[k] : INT32_MAX;
                positive = v < positive ? v : positive;
            }
        }
    }
    std::uint32_t at_lo = 0; // a block holds far fewer than 2^32 cells
    if (counts_at(f, block_lo))
        for (std::size_t k = 0; k < n; ++k)
            at_lo += s[k] == lo ? 1u : 0u;
    merge_block(f, n, block_lo, block_hi, positive, at_lo);
}

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
// The same figures with AVX2, where the processor has it: 8 or 16 samples an
// instruction, extremes and smallest positive in one sweep.
GZ_AVX2 std::int32_t horizontal(__m256i v, bool smallest) {
    alignas(32) std::int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i *>(lanes), v);
    std::int32_t r = lanes[0];
    for (int k = 1; k < 8; ++k)
        r = smallest ? std::min(r, lanes[k]) : std::max(r, lanes[k]);
    return r;
}

GZ_AVX2 void add_block_avx2(SampleFigures &f, const std::int32_t *s, std::size_t n) {
    if (n < 8) return add_block(f, s, n);
    const __m256i none = _mm256_set1_epi32(INT32_MAX), zero = _mm256_setzero_si256();
    __m256i lo = none, hi = _mm256_set1_epi32(INT32_MIN), positive = none;
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + k));
        lo = _mm256_min_epi32(lo, x);
        hi = _mm256_max_epi32(hi, x);
        positive =
            _mm256_min_epi32(positive, _mm256_blendv_epi8(none, x, _mm256_cmpgt_epi32(x, zero)));
    }
    std::int32_t block_lo = horizontal(lo, true), block_hi = horizontal(hi, false);
    std::int32_t block_positive = horizontal(positive, true);
    for (std::size_t j = k; j < n; ++j) {
        block_lo = std::min(block_lo, s[j]);
        block_hi = std::max(block_hi, s[j]);
        if (s[j] > 0) block_positive = std::min(block_positive, s[j]);
    }
    std::uint64_t at_lo = 0;
    if (counts_at(f, block_lo)) {
        const __m256i target = _mm256_set1_epi32(block_lo);
        __m256i counts = zero; // each lane counts up to n / 8 cells
        for (k = 0; k + 8 <= n; k += 8) {
            const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + k));
            counts = _mm256_sub_epi32(counts, _mm256_cmpeq_epi32(x, target));
        }
        alignas(32) std::uint32_t lanes[8];
        _mm256_store_si256(reinterpret_cast<__m256i *>(lanes), counts);
        for (std::uint32_t c : lanes)
            at_lo += c;
        for (; k < n; ++k)
            at_lo += s[k] == block_lo ? 1u : 0u;
    }
    merge_block(f, n, block_lo, block_hi, block_positive, at_lo);
}

// 16-bit samples: the same loops, which the compiler turns into AVX2 itself.
GZ_AVX2 void add_block_avx2(SampleFigures &f, const std::uint16_t *s, std::size_t n) {
    add_block(f, s, n);
}
#endif
} // namespace

template <class T> void add_samples(SampleFigures &f, const T *samples, std::size_t n) {
#ifdef GZ_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return add_block_avx2(f, samples, n);
#endif
    add_block(f, samples, n);
}
template void add_samples(SampleFigures &f, const std::uint16_t *samples, std::size_t n);
template void add_samples(SampleFigures &f, const std::int32_t *samples, std::size_t n);

void add_zero_samples(SampleFigures &f, std::uint64_t n) {
    if (n != 0) merge_block(f, n, 0, 0, INT32_MAX, n);
}

ElevationFigures figures_of_samples(const SampleFigures &f, UnitFactor factor) {
    ElevationFigures e;
    if (f.cells == 0) return e;
    const double lo = sample_to_metres_fast(f.smallest, factor);
    const double hi = sample_to_metres_fast(f.largest, factor);
    if (e.min > lo) e.min = lo;
    // Cells equal to the minimum: those of the smallest sample, unless its
    // elevation lies above the search start and no cell equals the minimum.
    e.min_cells = lo <= search_start ? f.smallest_cells : 0;
    if (e.max < hi) e.max = hi;
    if (f.any_positive) {
        const double positive = sample_to_metres_fast(f.smallest_positive, factor);
        if (e.base > positive) e.base = positive;
    }
    e.any = true;
    return e;
}

void add_elevations(ElevationFigures &f, const double *v, std::size_t n) {
    ElevationFigures held = f;
    for (std::size_t k = 0; k < n; ++k)
        add_elevation(held, v[k]);
    f = held;
}

Range raised_range(const ElevationFigures &f, double base) {
    Range r{search_start, 0.0};
    if (!f.any) return r;
    // The smallest raised elevation is the raised minimum (a minimum held at
    // the search start raises to itself, the base level lying at or below it);
    // the largest is the raised maximum, or the base level when no elevation
    // is above 0 (the maximum then stands at 0 and raises to the base level).
    const double lo = raised(f.min, base), hi = raised(f.max, base);
    if (r.min > lo) r.min = lo;
    if (r.max < hi) r.max = hi;
    return r;
}
