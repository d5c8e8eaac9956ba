// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QCustomPlot;

// What the Doppler pages of both tabs make of the sweep type: a velocity only means something in
// Continuous Wave; in an FMCW sweep the page holds the beat of each range.
namespace DopplerView {

// The sweep type of Continuous Wave.
constexpr int kContinuousWave = 3;

// The note shown instead of speeds for an FMCW sweep type (0, 1, 2); empty for Continuous Wave
// or an unknown type.
QString note(int sweepType);

// The top of the Doppler page's reset view in the units of its x axis: in Continuous Wave, a
// little beyond the highest point of graph 0 that stands clear of the floor (walking speeds are
// tens to hundreds of hertz, not the 10 kHz of the whole page); otherwise, or with no signal,
// fallback.
double resetTop(QCustomPlot *plot, int sweepType, double fallback);

} // namespace DopplerView
