// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PowerUnits.h"

#include "kit/RadarMath.h"

#include <cmath>

double dbvRmsOffsetDb(int frameLength, int fftLength, double coherentGain)
{
    return 20.0 * std::log10(std::sqrt(2.0) * fftLength / (double(frameLength) * coherentGain));
}

namespace {

// paddedSpectrum divides the window by its mean, so its output has a coherent gain of 1.
void toDbvRms(QVector<double> &p, int frameLength)
{
    const double offset = dbvRmsOffsetDb(frameLength, RadarMath::paddedLength(frameLength), 1.0);
    for (double &v : p)
        v += offset;
}

} // namespace

DisplaySpectrum displaySpectrum(const QVector<double> &frame, SpectrumWindow window)
{
    DisplaySpectrum s;
    const int n = int(frame.size());
    s.shown = paddedSpectrum(frame, window);
    toDbvRms(s.shown, n);
    if (s.shown.size() >= 2)
        s.shown[0] = s.shown[1]; // the mean was removed: bin 0 holds nothing worth showing
    if (window == SpectrumWindow::None) {
        s.detection = paddedSpectrum(frame, SpectrumWindow::Hann);
        toDbvRms(s.detection, n);
    } else {
        s.detection = s.shown;
    }
    return s;
}

QVector<double> mapSpectrum(const QVector<double> &frame)
{
    QVector<double> p = paddedSpectrum(frame);
    toDbvRms(p, int(frame.size()));
    return p;
}
