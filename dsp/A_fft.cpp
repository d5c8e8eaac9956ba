// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/A_fft.h"

#include <QMutex>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

struct PlanSlot
{
    int size = 0;
    fftw_plan plans[2] = {}; // forward, inverse; null until first used
};

// The sizes the plots and the matched filter use most are preset; the other slots are claimed in
// order of first use and never released.
PlanSlot planTable[64] = {{32},   {64},    {128},   {256},   {512},    {1024},   {2048},  {4096},
                          {8192}, {16384}, {32768}, {65536}, {131072}, {262144}, {524288}};
fftw_complex *buffers[2];

} // namespace

fftw_complex *kvvlx::fft::buffer(int which)
{
    for (int i = 0; i < 2; ++i) {
        if (!buffers[i])
            buffers[i] = fftw_alloc_complex(size_t(A_fft_max_size)); // 8,388,608 bytes
        if (!buffers[i]) {
            std::printf("A_fft: failed to fftw_malloc %s with max FFT size=%d\n",
                        i == 0 ? "in" : "out", A_fft_max_size);
            std::fflush(stdout);
            std::exit(1);
        }
    }
    return buffers[which];
}

void kvvlx::fft::execute(int size, int direction)
{
    buffer(0);
    auto slot = std::find_if(std::begin(planTable), std::end(planTable),
                             [size](const PlanSlot &s) { return s.size == size || s.size == 0; });
    // With the table full a size still gets its transform, from a plan made for this call only.
    fftw_plan once = nullptr, *plan = &once;
    if (slot == std::end(planTable)) {
        std::printf("A_fft: unable to create tracked plan for FFT size %d\n", size);
        std::fflush(stdout);
    } else {
        slot->size = size;
        plan = &slot->plans[direction == 1 ? 0 : 1];
    }
    // FFTW_ESTIMATE does not touch the buffers while planning (nor fails), so the data copied in
    // survives.
    if (!*plan)
        *plan = fftw_plan_dft_1d(size, buffers[0], buffers[1],
                                 direction == 1 ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_ESTIMATE);
    fftw_execute(*plan);
    if (once)
        fftw_destroy_plan(once);
}

void A_fft(ComplexSample *data, int size, int direction)
{
    fftw_complex *in = kvvlx::fft::buffer(0), *out = kvvlx::fft::buffer(1);
    if (size < 2 || size > A_fft_max_size)
        return;
    for (int k = 0; k < size; ++k) {
        in[k][0] = data[k].re;
        in[k][1] = data[k].im;
    }
    kvvlx::fft::execute(size, direction);
    const double scale = direction == 1 ? 1.0 / size : 1.0;
    for (int k = 0; k < size; ++k)
        data[k] = {float(out[k][0] * scale), float(out[k][1] * scale)};
}

void A_fft_forward(ComplexSample *data, int size) { A_fft(data, size, 1); }

void A_fft_inverse(ComplexSample *data, int size) { A_fft(data, size, -1); }

void swap_halves(ComplexSample *data, int size)
{
    if (size / 2 > 0)
        std::swap_ranges(data, data + size / 2, data + size / 2);
}

QMutex &A_fft_mutex()
{
    static QMutex mutex;
    return mutex;
}
