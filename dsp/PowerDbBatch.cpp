// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PowerDbBatch.h"

#include "dsp/PaddedFft.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// x = 2^e m with m in [1, 2); slice i of m's top 8 bits has reciprocal r_i of its middle, so
// that m r_i = 1 + t with |t| <= 2^-9, and log2 x = e - log2 r_i + ln(1 + t) / ln 2, where seven
// terms of ln(1 + t) leave an error below 1e-19.
struct Log2Table
{
    alignas(32) double reciprocal[256];
    alignas(32) double minusLog2Reciprocal[256];
    Log2Table()
    {
        for (int i = 0; i < 256; ++i) {
            reciprocal[i] = 1.0 / (1.0 + (i + 0.5) / 256.0);
            minusLog2Reciprocal[i] = double(-std::log2(static_cast<long double>(reciprocal[i])));
        }
    }
};

const Log2Table table;

__attribute__((target("avx2,fma"))) void fourAtATime(double *p, int n)
{
    const __m256d magic = _mm256_castsi256_pd(_mm256_set1_epi64x(0x4330000000000000ll));
    const __m256d bias = _mm256_set1_pd(4503599627370496.0 + 1023.0); // 2^52 + exponent bias
    const __m256i mantissa = _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll);
    const __m256i one = _mm256_set1_epi64x(0x3FF0000000000000ll);
    const __m256i sliceMask = _mm256_set1_epi64x(0xFF);
    const __m256d lowest = _mm256_set1_pd(std::numeric_limits<double>::min());
    const __m256d highest = _mm256_set1_pd(std::numeric_limits<double>::max());
    const __m256d c[7] = {_mm256_set1_pd(1.0),        _mm256_set1_pd(-1.0 / 2),
                          _mm256_set1_pd(1.0 / 3),    _mm256_set1_pd(-1.0 / 4),
                          _mm256_set1_pd(1.0 / 5),    _mm256_set1_pd(-1.0 / 6),
                          _mm256_set1_pd(1.0 / 7)};
    const __m256d log2e = _mm256_set1_pd(1.4426950408889634074);
    const __m256d dbPerOctave = _mm256_set1_pd(3.0102999566398120);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d x = _mm256_loadu_pd(p + i);
        const __m256i bits = _mm256_castpd_si256(x);
        const __m256d e = _mm256_sub_pd(
            _mm256_or_pd(_mm256_castsi256_pd(_mm256_srli_epi64(bits, 52)), magic), bias);
        const __m256i slice = _mm256_and_si256(_mm256_srli_epi64(bits, 44), sliceMask);
        const __m256d m =
            _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(bits, mantissa), one));
        const __m256d r = _mm256_i64gather_pd(table.reciprocal, slice, 8);
        const __m256d l = _mm256_i64gather_pd(table.minusLog2Reciprocal, slice, 8);
        const __m256d t = _mm256_fmsub_pd(m, r, c[0]);
        __m256d s = c[6];
        for (int k = 5; k >= 0; --k)
            s = _mm256_fmadd_pd(s, t, c[k]);
        s = _mm256_mul_pd(s, t); // ln(1 + t)
        const __m256d level = _mm256_mul_pd(dbPerOctave, _mm256_fmadd_pd(s, log2e, _mm256_add_pd(e, l)));
        _mm256_storeu_pd(p + i, level);
        const int normal = _mm256_movemask_pd(_mm256_and_pd(_mm256_cmp_pd(x, lowest, _CMP_GE_OQ),
                                                            _mm256_cmp_pd(x, highest, _CMP_LE_OQ)));
        if (normal != 0xF)
            for (int k = 0; k < 4; ++k)
                if (!(normal & (1 << k)))
                    p[i + k] = powerDb(reinterpret_cast<const double *>(&x)[k]);
    }
    for (; i < n; ++i)
        p[i] = powerDb(p[i]);
}

bool haveAvx2Fma()
{
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return have;
}

} // namespace

void powerDbInPlace(double *p, int n)
{
    if (haveAvx2Fma()) {
        fourAtATime(p, n);
        return;
    }
    for (int i = 0; i < n; ++i)
        p[i] = powerDb(p[i]);
}

#else

void powerDbInPlace(double *p, int n)
{
    for (int i = 0; i < n; ++i)
        p[i] = powerDb(p[i]);
}

#endif
