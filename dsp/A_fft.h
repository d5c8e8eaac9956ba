// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// In-place complex FFT of single-precision arrays, computed by FFTW in double precision through two
// shared 8 MB buffers and a table of 64 tracked plan sizes. Not re-entrant: every caller runs on
// the GUI thread. The forward transform is scaled by 1/N, the inverse is not.

#include <fftw3.h>

class QMutex;

struct ComplexSample
{
    float re, im;
};

constexpr int A_fft_max_size = 524288; // 2^19 complex values fill one buffer

// Transforms the first size elements of data in place; direction 1 = forward, anything else =
// inverse. Sizes outside 2 ... A_fft_max_size leave data unchanged.
void A_fft(ComplexSample *data, int size, int direction);
void A_fft_forward(ComplexSample *data, int size);
void A_fft_inverse(ComplexSample *data, int size);
// Exchanges the two halves of data (an odd size keeps its last element in place), so that after
// a forward transform of even size bin 0 sits at index size/2.
void swap_halves(ComplexSample *data, int size);
// Process-wide lock that the matched filter holds around its inverse transform.
QMutex &A_fft_mutex();

// For FFT_data, which fills and reads the buffers from its double vectors. buffer(0) is the input,
// buffer(1) the output (if they cannot be allocated the process says so and exits with status 1);
// execute() is the unscaled transform of the first size (2 ... A_fft_max_size) inputs into the
// output with the plan of that size and direction.
namespace kvvlx::fft {
fftw_complex *buffer(int which);
void execute(int size, int direction);
} // namespace kvvlx::fft
