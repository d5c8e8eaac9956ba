// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PaddedFft.h"

#include "dsp/Decibels.h"

#include <fftw3.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

namespace {

// A real-input plan with its own buffers, kept while frames keep their length (they do for a whole
// run of captures), so that only a change of length pays for planning.
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
    }
    return p;
}

} // namespace

std::vector<double> spectrumWindowWeights(SpectrumWindow window, int n)
{
    std::vector<double> weights(size_t(std::max(n, 0)), 1.0);
    if (window == SpectrumWindow::None || n < 2)
        return weights;
    const double pi = std::acos(-1.0);
    for (int k = 0; k < n; ++k) {
        const double x = 2 * pi * k / (n - 1);
        weights[k] = window == SpectrumWindow::Hann
                         ? 0.5 - 0.5 * std::cos(x)
                         : 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                               0.01168 * std::cos(3 * x);
    }
    return weights;
}

QVector<double> paddedSpectrum(const QVector<double> &w, SpectrumWindow window)
{
    if (w.isEmpty() || w.size() > INT_MAX / 7)
        return {};
    const int n = int(w.size());
    const int L = 7 * n;
    const double mean = std::accumulate(w.begin(), w.end(), 0.0) / n;
    const std::vector<double> weights = spectrumWindowWeights(window, n);
    const double gain = std::accumulate(weights.begin(), weights.end(), 0.0) / n;

    RealPlan &p = realPlan(L);
    if (!p.plan)
        return {};
    // Samples and bins are rounded to single precision as the FFT engine's samples are, so that
    // this equals the FFT_data, complex_mag and dB chain on the padded frame.
    for (int k = 0; k < n; ++k)
        p.in[k] = float((w[k] - mean) * weights[k] / gain);
    std::fill(p.in + n, p.in + L, 0.0);
    fftw_execute(p.plan);

    QVector<double> spectrum(L / 2);
    double *level = spectrum.data();
    const double r = 1.0 / L;
    for (int i = 0; i < L / 2; ++i)
        level[i] =
            kvvlx::decibels(kvvlx::magnitude(float(p.out[i][0] * r), float(p.out[i][1] * r)));
    return spectrum;
}

void finishLinePlot(QVector<double> &p)
{
    for (double &v : p)
        v += 3.0;
    if (p.size() >= 2)
        p[0] = p[1];
}
