// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"

#include <QVector>

#include <vector>

// The strongest reflectors of one frame in volts, found on its Hann-windowed padded spectrum:
// for scripts (FETC:PEAK?) and for the annotations of exported recordings.
namespace BeatPeaks {

struct Peak
{
    double beatHz = 0.0;
    double rangeM = 0.0; // for the sweep of the axes; NaN when the sweep is unknown (zero ramp)
    double levelDb = 0.0;
};

// At most maxPeaks, strongest first, none more than 40 dB under the strongest; the
// zero-frequency bins are never a target. Peaks closer than three frame bins to a stronger one
// belong to it.
std::vector<Peak> find(const QVector<double> &frame, const RadarMath::FrameAxes &axes,
                       int maxPeaks = 5);

} // namespace BeatPeaks
