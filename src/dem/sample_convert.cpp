// The block conversion of raw samples to output samples, with an exact vector
// form where the processor has fused multiply-add.
//
// The vector form, per sample s (an int, exact as a double):
//  - metres: p = s * f rounded once to double. The x87 rounds the exact product
//    P to 64 bits first, then to 53; that differs from p only where the 64-bit
//    value falls exactly halfway between two doubles, which needs the error
//    e = P - p (exact, by fused multiply-add) within 2^-11 half-ulps of half an
//    ulp, or p a power of two (where the spacing below is half as wide). Those
//    cells are left to the general path, as are any with e that close.
//  - raised to the base level, v >= base > 0.
//  - the sample: the exact X = v * F truncated. With q = v * F rounded, the
//    truncations of X and q differ only where q is a whole number and X lies
//    just below it (q is the double nearest X, so no whole number lies between
//    them otherwise); the exact r = X - q tells which. Values of 2^31 or more are
//    left to the general path.
#include "dem/sample_convert.hpp"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define GZ_VECTOR_FORM 1

// Four samples at a time; where a cell can't be decided, its index goes to
// redo (returns how many). The cells of a tail shorter than four are all redone.
template <class T>
__attribute__((target("avx2,fma"))) std::size_t vector_form(const std::int32_t *in, std::size_t n,
                                                            const SampleConversion &c, T *out,
                                                            std::uint32_t *redo) {
    const __m256d f = _mm256_set1_pd(c.unit_factor), base = _mm256_set1_pd(c.base);
    const __m256d big_f = _mm256_set1_pd(static_cast<double>(c.factor));
    const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m256i exponent = _mm256_set1_epi64x(0x7FF0000000000000);
    const __m256i fraction = _mm256_set1_epi64x(0x000FFFFFFFFFFFFF);
    const __m256d margin = _mm256_set1_pd(0x1p-53 * (1.0 - 0x1p-10)); // of a half ulp, in ulps
    const __m256d limit = _mm256_set1_pd(2147483648.0);
    const __m128i low_halves =
        _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    std::size_t redone = 0, k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d x =
            _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i *>(in + k)));
        const __m256d p = _mm256_mul_pd(x, f);
        const __m256d e = _mm256_fmsub_pd(x, f, p);
        const __m256i p_bits = _mm256_castpd_si256(p);
        const __m256d half_ulp_margin =
            _mm256_mul_pd(_mm256_castsi256_pd(_mm256_and_si256(p_bits, exponent)), margin);
        const __m256d clear = _mm256_andnot_pd(
            _mm256_castsi256_pd(
                _mm256_cmpeq_epi64(_mm256_and_si256(p_bits, fraction), _mm256_setzero_si256())),
            _mm256_cmp_pd(_mm256_and_pd(e, magnitude), half_ulp_margin, _CMP_LT_OQ));
        __m256d ok = _mm256_or_pd(_mm256_cmp_pd(e, zero, _CMP_EQ_OQ), clear);
        const __m256d v = _mm256_blendv_pd(p, base, _mm256_cmp_pd(p, base, _CMP_LT_OQ));
        const __m256d q = _mm256_mul_pd(v, big_f);
        __m256d t = _mm256_round_pd(q, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const __m256d r = _mm256_fmsub_pd(v, big_f, q);
        const __m256d below =
            _mm256_and_pd(_mm256_cmp_pd(q, t, _CMP_EQ_OQ), _mm256_cmp_pd(r, zero, _CMP_LT_OQ));
        t = _mm256_sub_pd(t, _mm256_and_pd(below, one));
        const __m256d fits = _mm256_cmp_pd(t, limit, _CMP_LT_OQ);
        ok = _mm256_and_pd(ok, fits);
        const __m128i samples = _mm256_cvttpd_epi32(_mm256_and_pd(t, fits));
        if constexpr (sizeof(T) == 2)
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + k),
                             _mm_shuffle_epi8(samples, low_halves));
        else
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + k), samples);
        const int decided = _mm256_movemask_pd(ok);
        if (decided != 0xF)
            for (int j = 0; j < 4; ++j)
                if ((decided & (1 << j)) == 0) redo[redone++] = static_cast<std::uint32_t>(k + j);
    }
    for (; k < n; ++k)
        redo[redone++] = static_cast<std::uint32_t>(k);
    return redone;
}

bool has_vector_form() {
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return available;
}
#else
#define GZ_VECTOR_FORM 0 // other processors take the general path only
#endif
} // namespace

template <class T>
void output_samples(const std::int32_t *in, std::size_t n, const SampleConversion &c, T *out) {
    const UnitFactor unit = unit_factor(c.unit_factor);
#if GZ_VECTOR_FORM
    if (has_vector_form()) {
        constexpr std::size_t chunk = 4096;
        std::uint32_t redo[chunk];
        for (std::size_t k = 0; k < n; k += chunk) {
            const std::size_t m = n - k < chunk ? n - k : chunk;
            const std::size_t redone = vector_form(in + k, m, c, out + k, redo);
            for (std::size_t j = 0; j < redone; ++j)
                out[k + redo[j]] = narrow<T>(output_sample(in[k + redo[j]], c, unit));
        }
        return;
    }
#endif
    for (std::size_t k = 0; k < n; ++k) // the general path
        out[k] = narrow<T>(output_sample(in[k], c, unit));
}
template void output_samples(const std::int32_t *, std::size_t, const SampleConversion &,
                             std::uint16_t *);
template void output_samples(const std::int32_t *, std::size_t, const SampleConversion &,
                             std::int32_t *);
