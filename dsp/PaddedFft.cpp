#include "dsp/PaddedFft.h"

#include "dsp/BinKernels.h"
#include "dsp/VectorAlloc.h"

#include <cmath>
#include <vector>

namespace {

QVector<double> windowWeights(int n, SpectrumWindow window)
{
    QVector<double> g(n, 1.0);
    if (n < 2)
        return g;
    const double step = 2.0 * M_PI / (n - 1);
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const double x = step * k;
        if (window == SpectrumWindow::Hann)
            g[k] = 0.5 - 0.5 * std::cos(x);
        else
            g[k] = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                   0.01168 * std::cos(3 * x);
        sum += g[k];
    }
    const double coherentGain = sum / n;
    for (double &v : g)
        v /= coherentGain;
    return g;
}

// The windowed frame, padded, through the FFT_data chain; bins 0 ... H-1 of the centred layout.
QVector<double> windowedSpectrum(const QVector<double> &w, SpectrumWindow window)
{
    const int n = int(w.size());
    const int L = 7 * n;
    double mean = 0.0;
    for (double x : w)
        mean += x;
    mean /= n;
    const QVector<double> g = windowWeights(n, window);
    std::vector<double> v(size_t(L), 0.0);
    std::vector<double> re(static_cast<size_t>(L));
    std::vector<double> im(static_cast<size_t>(L));
    for (int k = 0; k < n; ++k)
        v[size_t(k)] = (w[k] - mean) * g[k];
    kvvlx::kernels::centredSpectrum(v.data(), L, re.data(), im.data());
    const int H = L / 2;
    QVector<double> p(H);
    kvvlx::kernels::magnitude(re.data() + L / 2, im.data() + L / 2, H, p.data());
    kvvlx::kernels::decibels(p.data(), H);
    return p;
}

} // namespace

QVector<double> paddedSpectrum(const QVector<double> &w, SpectrumWindow window)
{
    if (w.isEmpty())
        return {};
    if (window != SpectrumWindow::None)
        return windowedSpectrum(w, window);
    QVector<double> p = kvvlx::uninitializedVector(7 * w.size() / 2);
    kvvlx::kernels::paddedSpectrumDb(w.constData(), int(w.size()), p.data());
    return p;
}

void finishLinePlot(QVector<double> &p)
{
    for (double &v : p)
        v += 3.0;
    if (p.size() >= 2)
        p[0] = p[1];
}
