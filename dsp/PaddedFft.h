// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>

// The spectrum of one frame w of N samples as the plots show it: w minus its mean, followed by 6 N
// zeros, through FFT_data, complex_mag and dB, keeping the H = floor(7 N / 2) bins of non-negative
// frequency (bin k at k * sampleRate / (7 N)). Gives exactly what that chain gives, without its
// intermediate copies. An empty frame gives an empty result.
QVector<double> paddedSpectrum(const QVector<double> &w);

// Finish of the line plots: +3.0 on every bin, then bin 0 takes the value of bin 1 (when there are
// at least two bins).
void finishLinePlot(QVector<double> &p);
