// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/BinKernels.h"

#include "dsp/A_fft.h"
#include "dsp/FftEngine.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

// The loops below are written so that the compiler vectorises them (no branches, no calls but
// sqrt). On x86-64 Linux they are also built for AVX2 and picked at load time; the AVX2 code
// uses the same IEEE operations (no FMA), so both give identical results.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define KVVLX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#define KVVLX_COPY_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KVVLX_VECTOR_CLONES
#define KVVLX_COPY_CLONES
#endif

namespace {

inline double fromBits(std::uint64_t u)
{
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

inline std::uint64_t toBits(double d)
{
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// 10 log10(t) for a square t (so t >= 0 or NaN). The library log10 is a scalar call that costs
// twice the FFT in the padded spectrum, so this is the classic reduction to a mantissa in
// [sqrt(2)/2, sqrt(2)) with a minimax log1p polynomial and split constants, written without
// branches; it stays within about one unit in the last place of log10.
inline double decibelsOfSquare(double t)
{
    constexpr double two54 = 0x1p54;
    constexpr double Lg1 = 0x1.5555555555593p-1, Lg2 = 0x1.999999997fa04p-2,
                     Lg3 = 0x1.2492494229359p-2, Lg4 = 0x1.c71c51d8e78afp-3,
                     Lg5 = 0x1.7466496cb03dep-3, Lg6 = 0x1.39a09d078c69fp-3,
                     Lg7 = 0x1.2f112df3e5244p-3;
    constexpr double ivln10hi = 0x1.bcb7b152p-2, ivln10lo = 0x1.b9438ca9aadd5p-36;
    constexpr double log10_2hi = 0x1.34413509f6p-2, log10_2lo = 0x1.9fef311f12b36p-42;
    constexpr double inf = std::numeric_limits<double>::infinity();

    // Subnormals are scaled into the normal range first.
    const bool tiny = t < 0x1p-1022;
    const double scaled = t * two54;
    const double x = tiny ? scaled : t;
    const std::uint64_t bits = toBits(x);
    const std::uint64_t exponent = (bits >> 52) & 0x7ff;
    // Mantissas from sqrt(2) up are halved and the exponent raised by one.
    const std::uint64_t half = (((bits >> 32) & 0xfffff) + 0x95f64) & 0x100000;
    const double m = fromBits((bits & 0x000fffffffffffffull) | ((half ^ 0x3ff00000) << 32));
    // The exponent as a double without an integer conversion (which would not vectorise).
    const double k = fromBits(0x4330000000000000ull | (exponent + (half >> 20))) -
                     (0x1p52 + 1023.0) - (tiny ? 54.0 : 0.0);

    const double f = m - 1.0;
    const double hfsq = 0.5 * f * f;
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double w = z * z;
    const double t1 = w * (Lg2 + w * (Lg4 + w * Lg6));
    const double t2 = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
    const double r = s * (hfsq + (t2 + t1));

    const double hi = fromBits(toBits(f - hfsq) & 0xffffffff00000000ull);
    const double lo = (f - hi) - hfsq + r;
    const double y2 = k * log10_2hi;
    double valHi = hi * ivln10hi;
    double valLo = k * log10_2lo + (lo + hi) * ivln10lo + lo * ivln10hi;
    const double sum = y2 + valHi;
    valLo += (y2 - sum) + valHi;
    valHi = sum;
    double lg = valLo + valHi;

    lg = t == 0.0 ? -inf : lg;
    lg = t < inf ? lg : t; // +inf stays +inf, NaN stays NaN
    return 10.0 * lg;
}

inline double single(double v) { return double(float(v)); }

} // namespace

namespace kvvlx::kernels {

KVVLX_COPY_CLONES
void centredSpectrum(const double *__restrict samples, int n, double *__restrict re,
                     double *__restrict im)
{
    const int h = n / 2;
    bool transformed = false;
    if (n >= 2 && n <= A_fft_max_size) {
        fftw_complex *in = kvvlx::fft::inputBuffer();
        for (int k = 0; k < n; ++k) {
            in[k][0] = single(samples[k]);
            in[k][1] = 0.0;
        }
        kvvlx::fft::inputWritten(n);
        transformed = kvvlx::fft::execute(n, 1);
    }
    if (!transformed) {
        // Untransformed, as the engine leaves such sizes, but still in the half-swapped layout.
        for (int j = 0; j < n; ++j) {
            const int src = j < h ? j + h : (j < 2 * h ? j - h : j);
            re[j] = single(samples[src]);
            im[j] = 0.0;
        }
        return;
    }

    const fftw_complex *out = kvvlx::fft::outputBuffer();

    const double r = 1.0 / n;
    for (int j = 0; j < h; ++j) {
        re[j] = single(out[h + j][0] * r);
        im[j] = single(out[h + j][1] * r);
    }
    for (int j = 0; j < h; ++j) {
        re[h + j] = single(out[j][0] * r);
        im[h + j] = single(out[j][1] * r);
    }
    if (n & 1) {
        re[n - 1] = single(out[n - 1][0] * r);
        im[n - 1] = single(out[n - 1][1] * r);
    }
}

KVVLX_VECTOR_CLONES
void magnitude(const double *__restrict re, const double *__restrict im, int n,
               double *__restrict out)
{
    for (int i = 0; i < n; ++i)
        out[i] = std::sqrt(re[i] * re[i] + im[i] * im[i]);
}

KVVLX_VECTOR_CLONES
void decibels(double *data, int n)
{
    for (int i = 0; i < n; ++i)
        data[i] = decibelsOfSquare(data[i] * data[i]);
}

namespace {

// The upper half of dB(complex_mag(FFT_data(v))) for L values v, step by step.
void chain(const double *v, int L, double *out)
{
    const int H = L / 2;
    std::vector<double> re(size_t(L), 0.0), im(size_t(L), 0.0);
    centredSpectrum(v, L, re.data(), im.data());
    magnitude(re.data() + H, im.data() + H, H, out);
    decibels(out, H);
}

} // namespace

KVVLX_VECTOR_CLONES
void paddedSpectrumDb(const double *w, int n, double *out)
{
    if (n <= 0)
        return;
    const std::int64_t L = 7 * std::int64_t(n);
    const int H = int(L / 2);

    double sum = 0.0;
    for (int k = 0; k < n; ++k)
        sum += w[k];
    const double mean = sum / n;

    if (L <= A_fft_max_size) {
        fftw_complex *in = kvvlx::fft::inputBuffer();
        const fftw_complex *spectrum = kvvlx::fft::outputBuffer();
        for (int k = 0; k < n; ++k) {
            in[k][0] = single(w[k] - mean);
            in[k][1] = 0.0;
        }
        kvvlx::fft::inputWritten(n);
        kvvlx::fft::zeroInput(n, int(L));
        if (kvvlx::fft::execute(int(L), 1)) {
            // Bins 0 ... H-1 are the upper half of the centred layout.
            const double r = 1.0 / double(L);
            for (int i = 0; i < H; ++i) {
                const double a = single(spectrum[i][0] * r);
                const double b = single(spectrum[i][1] * r);
                const double mag = std::sqrt(a * a + b * b);
                out[i] = decibelsOfSquare(mag * mag);
            }
            return;
        }
    }

    // Too long for the engine: the chain step by step, which leaves the samples untransformed.
    std::vector<double> v(size_t(L), 0.0);
    for (int k = 0; k < n; ++k)
        v[k] = w[k] - mean;
    chain(v.data(), int(L), out);
}

} // namespace kvvlx::kernels
