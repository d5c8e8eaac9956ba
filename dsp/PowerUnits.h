// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/PaddedFft.h"

#include <QVector>

// The absolute unit of every spectrum the user reads: dBV rms, so that a sine of amplitude A volts
// peaks at 20 log10(A / sqrt(2)) whatever the frame length, the padding and the window.

// The axis and export label of that unit.
inline constexpr const char kPowerLabel[] = "Power (dBV rms)";

// dB to add to 10 log10 |X[k] / fftLength|^2, where X is the transform of a frame of frameLength
// samples tapered by a window whose mean (coherent gain) is coherentGain, so that a tone on a bin
// reads its rms value in dBV: a tone A cos(wn) gives |X| = A frameLength coherentGain / 2, hence
// the offset 20 log10(sqrt(2) fftLength / (frameLength coherentGain)).
double dbvRmsOffsetDb(int frameLength, int fftLength, double coherentGain);

// A frame's spectrum as the line pages show it, in dBV rms (zero-frequency bin copied from its
// neighbour), and the spectrum peaks are looked for in: the same when a window is shown;
// Hann-tapered when none is, so that one tone's sidelobes are not taken for targets.
struct DisplaySpectrum
{
    QVector<double> shown;
    QVector<double> detection;
};
DisplaySpectrum displaySpectrum(const QVector<double> &frame, SpectrumWindow window);

// A frame's untapered spectrum in dBV rms, as a column of the spectrum map.
QVector<double> mapSpectrum(const QVector<double> &frame);
