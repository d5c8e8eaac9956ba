// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// In-place complex FFT of single-precision arrays, computed by FFTW in double precision through two
// shared 8 MB buffers and a table of tracked plans. Not re-entrant: every caller runs on the GUI
// thread. The forward transform is scaled by 1/N, the inverse is not, so forward then inverse
// returns the input.

class QMutex;

struct ComplexSample
{
    float re;
    float im;
};
static_assert(sizeof(ComplexSample) == 2 * sizeof(float),
              "ComplexSample must be two packed floats");

// Largest transform size (2^19 complex values fill one 8,388,608-byte buffer).
constexpr int A_fft_max_size = 524288;

// Transforms the first size elements of data in place; direction 1 = forward, anything else =
// inverse. Sizes outside 2 ... A_fft_max_size leave data unchanged.
void A_fft(ComplexSample *data, int size, int direction);
void A_fft_forward(ComplexSample *data, int size);
void A_fft_inverse(ComplexSample *data, int size);

// Exchanges the first and second half of data (an odd size keeps its last element in place), so
// that a forward transform of even size puts bin 0 at index size/2.
void swap_halves(ComplexSample *data, int size);

// Process-wide lock that the matched filter holds around its inverse transform.
QMutex &A_fft_mutex();
