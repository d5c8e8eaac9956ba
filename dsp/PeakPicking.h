// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/PaddedFft.h"
#include "dsp/Peaks.h"

#include <vector>

// Which maxima of a spectrum are reflectors: not the sidelobes of a stronger tone, not the noise.
namespace Peaks {

// A maximum must stand this far above the leakage bound of each stronger peak (the bound is one
// tone's; reflectors close together interfere and lift the skirt above their peaks' bound by up
// to about 10 dB)...
constexpr double kSkirtMarginDb = 10.0;
// ... and this far above the median level (the floor): noise alone passes it in about one
// frame in a few hundred.
constexpr double kFloorMarginDb = 13.0;

// ... and this far above the valleys that part it from higher ground on either side.
constexpr double kProminenceDb = 6.0;
// Inside a stronger peak's main lobe, a maximum parted from it by a valley is a reflector only
// within this many dB of it: further down lie the sidelobes (Hann's highest is -31.5 dB).
constexpr double kInsideLobeDb = 20.0;

// Upper bound, in dB relative to a tone's peak, of the leakage of the window frameBins frame bins
// from the tone; +infinity inside the main lobe.
double leakageBoundDb(SpectrumWindow window, double frameBins);

// Keeps, strongest first, the peaks that stand kSkirtMarginDb above the leakage of every stronger
// peak (kept or not) and of every source (peaks known to be there but not to be listed, such as
// what the mean removal leaves at 0 Hz). Inside a stronger peak's main lobe a maximum is kept only
// when partedByValleys says every peak handed in stands clear of its neighbours by a valley (as
// reflectors() makes sure) and it lies within kInsideLobeDb of that peak. Positions are in array
// bins, cellWidth of them to a frame bin.
std::vector<Peak> clearOfLeakage(std::vector<Peak> peaks, SpectrumWindow window, int cellWidth,
                                 const std::vector<Peak> &sources = {},
                                 bool partedByValleys = false);

// What the removal of a frame's mean leaves at 0 Hz of a spectrum db (bin 0 at 0 Hz), as a source
// of leakage; empty when db has no finite bin 0.
std::vector<Peak> zeroHzSource(const double *db, int n);

// The maxPeaks strongest reflectors of a spectrum whose bin 0 is 0 Hz, strongest first: found on
// detection (tapered by detectionWindow) from the second frame bin to the band's end (exclusive),
// above its floor and clear of leakage (0 Hz's included), then placed and levelled on shown, the
// curve the user reads (the highest point within one frame bin, refined between bins).
std::vector<Peak> reflectors(const double *shown, const double *detection, int n,
                             SpectrumWindow detectionWindow, int cellWidth, int maxPeaks);

// The last index of db that stands kFloorMarginDb above its median (the signal's extent), or -1.
int signalExtent(const double *db, int n);

} // namespace Peaks
