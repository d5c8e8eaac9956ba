// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/BeatPeaks.h"

#include "dsp/PaddedFft.h"
#include "dsp/Peaks.h"

#include <cmath>
#include <limits>

namespace BeatPeaks {

namespace {
constexpr double kSpanDb = 40.0; // peaks this far under the strongest are not reflectors we list
}

std::vector<Peak> find(const QVector<double> &frame, const RadarMath::FrameAxes &axes, int maxPeaks)
{
    std::vector<Peak> out;
    if (frame.size() < 2 || maxPeaks < 1)
        return out;
    // Hann: a strong reflector's side lobes fall inside its own merge distance instead of being
    // listed as reflectors of their own; the window keeps a tone's height.
    QVector<double> db = paddedSpectrum(frame, SpectrumWindow::Hann);
    finishLinePlot(db);
    const int width = RadarMath::kPaddingFactor;
    const int first = qMin<int>(width, int(db.size()));
    const double hzPerBin = RadarMath::binSpacingHz(axes.sampleRateHz(), int(frame.size()));
    const bool sweepKnown = axes.sweep.rampMs > 0 && axes.sweep.stopGHz != axes.sweep.startGHz;
    const std::vector<Peaks::Peak> found =
        Peaks::strongest(db.constData() + first, int(db.size()) - first, maxPeaks, 3.0 * width);
    for (const Peaks::Peak &p : found) {
        if (p.levelDb < found.front().levelDb - kSpanDb)
            break; // the noise floor's ripples

        Peak peak;
        peak.beatHz = (first + p.bin) * hzPerBin;
        peak.rangeM = sweepKnown ? RadarMath::rangeForBeat(peak.beatHz, axes.sweep)
                                 : std::numeric_limits<double>::quiet_NaN();
        peak.levelDb = p.levelDb;
        out.push_back(peak);
    }
    return out;
}

} // namespace BeatPeaks
