// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/BeatPeaks.h"

#include "dsp/PeakPicking.h"
#include "dsp/PowerUnits.h"

#include <cmath>
#include <limits>

namespace BeatPeaks {

std::vector<Peak> find(const QVector<double> &frame, const RadarMath::FrameAxes &axes, int maxPeaks)
{
    std::vector<Peak> out;
    if (frame.size() < 2 || maxPeaks < 1)
        return out;
    // The peak table's rule under its default window, so that a script and an exported
    // recording list the reflectors the user sees, with the same levels.
    const DisplaySpectrum s = displaySpectrum(frame, SpectrumWindow::Hann);
    const double hzPerBin = RadarMath::binSpacingHz(axes.sampleRateHz(), int(frame.size()));
    const bool sweepKnown = axes.sweep.rampMs > 0 && axes.sweep.stopGHz != axes.sweep.startGHz;
    for (const Peaks::Peak &p :
         Peaks::reflectors(s.shown.constData(), s.detection.constData(), int(s.shown.size()),
                           SpectrumWindow::Hann, RadarMath::kPaddingFactor, maxPeaks)) {
        Peak peak;
        peak.beatHz = p.bin * hzPerBin;
        peak.rangeM = sweepKnown ? RadarMath::rangeForBeat(peak.beatHz, axes.sweep)
                                 : std::numeric_limits<double>::quiet_NaN();
        peak.levelDb = p.levelDb;
        out.push_back(peak);
    }
    return out;
}

} // namespace BeatPeaks
