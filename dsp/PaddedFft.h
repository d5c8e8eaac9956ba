#pragma once

#include <QVector>

// The spectrum of one frame w of N samples as the plots show it: w minus its mean, followed by 6 N
// zeros, through FFT_data, complex_mag and dB, keeping the H = floor(7 N / 2) bins of non-negative
// frequency (bin k at k * sampleRate / (7 N)). Gives exactly what that chain gives, without its
// intermediate copies. An empty frame gives an empty result.
//
// A window other than None multiplies the frame, after the mean is removed, by the symmetric window
// (Hann 0.5 - 0.5 cos(2 pi k / (N - 1)); 4-term Blackman-Harris 0.35875, 0.48829, 0.14128, 0.01168)
// divided by its mean, so that a tone reads the same height as without a window. N = 1 uses the
// weight 1.
enum class SpectrumWindow { None, Hann, BlackmanHarris };
QVector<double> paddedSpectrum(const QVector<double> &w,
                               SpectrumWindow window = SpectrumWindow::None);

// Finish of the line plots: +3.0 on every bin, then bin 0 takes the value of bin 1 (when there are
// at least two bins).
void finishLinePlot(QVector<double> &p);
