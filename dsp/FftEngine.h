// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Internal to the dsp library: direct access to the engine's shared buffers and plans, so that the
// spectrum routines can fill and read the FFTW buffers without an intermediate array.

#include <fftw3.h>

#include <QVector>

namespace kvvlx::fft {

// The shared input and output buffers (A_fft_max_size complex values each). Allocated on first
// use; if that fails the process prints a message to standard output and exits with status 1.
fftw_complex *inputBuffer();
fftw_complex *outputBuffer();

// Transforms the first size values of the input buffer into the output buffer, unscaled, with the
// tracked plan of that size and direction (1 = forward, anything else = inverse). size must be
// within 2 ... A_fft_max_size. When the table is full and size is not tracked, the transform runs
// on a plan made for this call only. False if FFTW could not make a plan (output not written).
bool execute(int size, int direction);

// Whoever writes the first count values of the input buffer reports it here, so that the engine
// knows which part of the buffer still holds zeros (the transforms never change their input).
void inputWritten(int count);

// Makes input values from ... to-1 zero, skipping the work when they are known to be zero still:
// a stream of padded spectra of one size clears its padding once, not on every frame.
void zeroInput(int from, int to);

// Sizes held by the occupied slots of the tracked plan table, in slot order.
QVector<int> trackedSizes();

constexpr int planSlots = 64;

} // namespace kvvlx::fft
