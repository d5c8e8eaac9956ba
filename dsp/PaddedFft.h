// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>

#include <cmath>

// The level in dB of a power, 10 log10(p) (0 gives minus infinity), shared by dB and the padded
// spectrum so every plot reads the same. Through log2, which the C library computes about twice as
// fast as log10, to within 1e-15 relative.
inline double powerDb(double p) { return 3.0102999566398120 * std::log2(p); } // 10 log10(2)

// Taper applied to a frame before its spectrum: none, Hann, or 4-term Blackman-Harris, each
// symmetric over the N samples of the frame (all 1 for N = 1).
enum class SpectrumWindow { None, Hann, BlackmanHarris };

// The spectrum of one frame w of N samples as the plots show it: w minus its mean, times the
// window divided by its mean (so a tone keeps its height), followed by 6 N zeros, transformed,
// scaled by 1/(7 N) and put in dB as FFT_data, complex_mag and dB would; only the H = floor(7 N /
// 2) bins of non-negative frequency are kept (bin k at k * sampleRate / (7 N)). An empty frame
// gives an empty result.
QVector<double> paddedSpectrum(const QVector<double> &w,
                               SpectrumWindow window = SpectrumWindow::None);

