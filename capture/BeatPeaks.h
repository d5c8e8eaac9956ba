// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"

#include <QVector>

#include <vector>

// The strongest reflectors of one frame in volts, as the peak table lists them under its default
// Hann window: for scripts (FETC:PEAK?) and for the annotations of exported recordings.
namespace BeatPeaks {

struct Peak
{
    double beatHz = 0.0;
    double rangeM = 0.0; // for the sweep of the axes; NaN when the sweep is unknown (zero ramp)
    double levelDb = 0.0; // dBV rms, as the spectrum pages read
};

// At most maxPeaks, strongest first: sidelobes, noise and the zero-frequency bins are never
// listed.
std::vector<Peak> find(const QVector<double> &frame, const RadarMath::FrameAxes &axes,
                       int maxPeaks = 5);

} // namespace BeatPeaks
