// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Internal to the dsp library: the per-element loops behind FFT_data, complex_mag, dB and the
// padded spectrum. They live in one translation unit so that the fused padded-spectrum loop and the
// step-by-step chain compute every bin with the very same operations and agree to the last bit.

namespace kvvlx::kernels {

// FFT_data on raw arrays: forward transform of n real samples (rounded to single precision), scaled
// by 1/n, rounded to single precision and laid out as swap_halves leaves it. For n outside
// 2 ... A_fft_max_size the rounded samples themselves are laid out that way.
void centredSpectrum(const double *samples, int n, double *re, double *im);

// out[i] = sqrt(re[i]^2 + im[i]^2).
void magnitude(const double *re, const double *im, int n, double *out);

// data[i] = 10 log10(data[i]^2), in place.
void decibels(double *data, int n);

// The H = floor(7n/2) non-negative bins, in dB, of the samples minus their mean followed by 6n
// zeros: what centredSpectrum, magnitude and decibels give for those bins, computed in one pass.
void paddedSpectrumDb(const double *w, int n, double *out);

} // namespace kvvlx::kernels
