// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PaddedFft.h"

#include "dsp/PowerDbBatch.h"

#include <fftw3.h>

#include <algorithm>
#include <climits>
#include <numeric>

namespace {

// A real-input plan with its own buffers, kept while frames keep their length (they do for a whole
// run of captures), so that only a change of length pays for planning. The transform keeps its
// input, so the padding stays zero from allocation on.
struct RealPlan
{
    int size = 0;
    double *in = nullptr;
    fftw_complex *out = nullptr;
    fftw_plan plan = nullptr;
};

RealPlan &realPlan(int size)
{
    static RealPlan p;
    if (p.size != size) {
        if (p.plan)
            fftw_destroy_plan(p.plan);
        fftw_free(p.in);
        fftw_free(p.out);
        p.in = fftw_alloc_real(size_t(size));
        p.out = fftw_alloc_complex(size_t(size) / 2 + 1);
        p.plan = p.in && p.out ? fftw_plan_dft_r2c_1d(size, p.in, p.out, FFTW_ESTIMATE) : nullptr;
        p.size = p.plan ? size : 0;
        if (p.plan)
            std::fill(p.in, p.in + size, 0.0);
    }
    return p;
}

double weight(SpectrumWindow window, int k, int n)
{
    if (window == SpectrumWindow::None || n < 2)
        return 1.0;
    const double x = 2 * std::acos(-1.0) * k / (n - 1);
    if (window == SpectrumWindow::Hann)
        return 0.5 - 0.5 * std::cos(x);
    return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}

} // namespace

QVector<double> paddedSpectrum(const QVector<double> &w, SpectrumWindow window)
{
    if (w.isEmpty() || w.size() > INT_MAX / 7)
        return {};
    const int n = int(w.size()), L = 7 * n;
    RealPlan &p = realPlan(L);
    if (!p.plan)
        return {};
    const double mean = std::accumulate(w.begin(), w.end(), 0.0) / n;
    double gain = 1.0; // the window's mean, by which it is divided so that a tone keeps its height
    if (window != SpectrumWindow::None) {
        gain = 0.0;
        for (int k = 0; k < n; ++k)
            gain += weight(window, k, n) / n;
    }
    // Samples and bins are rounded to single precision as the FFT engine's samples are, so that
    // this equals the FFT_data, complex_mag and dB chain on the padded frame.
    if (window == SpectrumWindow::None)
        for (int k = 0; k < n; ++k)
            p.in[k] = float(w[k] - mean);
    else
        for (int k = 0; k < n; ++k)
            p.in[k] = float((w[k] - mean) * weight(window, k, n) / gain);
    fftw_execute(p.plan);

    QVector<double> spectrum(L / 2);
    double *level = spectrum.data();
    const double r = 1.0 / L;
    for (int i = 0; i < L / 2; ++i) {
        const double re = float(p.out[i][0] * r), im = float(p.out[i][1] * r);
        level[i] = re * re + im * im;
    }
    powerDbInPlace(level, L / 2);
    return spectrum;
}
