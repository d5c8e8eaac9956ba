// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/A_fft.h"

#include <QMutex>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct PlanSlot
{
    int size = 0;
    fftw_plan forward = nullptr, inverse = nullptr; // null until created
};

// The sizes the plots and the matched filter use most come first; the other slots are claimed in
// order of first use and never released.
PlanSlot planTable[kvvlx::fft::planSlots] = {
    {32},   {64},    {128},   {256},   {512},    {1024},   {2048},   {4096},
    {8192}, {16384}, {32768}, {65536}, {131072}, {262144}, {524288},
};

fftw_complex *inBuffer = nullptr, *outBuffer = nullptr;

void ensureBuffer(fftw_complex *&buffer, const char *which)
{
    if (!buffer)
        buffer = static_cast<fftw_complex *>(
            fftw_malloc(size_t(A_fft_max_size) * sizeof(fftw_complex))); // 8,388,608 bytes
    if (!buffer) {
        std::printf("A_fft: failed to fftw_malloc %s with max FFT size=%d\n", which,
                    A_fft_max_size);
        std::fflush(stdout);
        std::exit(1);
    }
}

void ensureBuffers()
{
    ensureBuffer(inBuffer, "in");
    ensureBuffer(outBuffer, "out");
}

fftw_plan makePlan(int size, int direction)
{
    // FFTW_ESTIMATE never touches the buffers while planning, so data already copied in survives.
    return fftw_plan_dft_1d(size, inBuffer, outBuffer,
                            direction == 1 ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_ESTIMATE);
}

} // namespace

namespace kvvlx::fft {

fftw_complex *inputBuffer()
{
    ensureBuffers();
    return inBuffer;
}

fftw_complex *outputBuffer()
{
    ensureBuffers();
    return outBuffer;
}

bool execute(int size, int direction)
{
    ensureBuffers();
    auto slot = std::find_if(std::begin(planTable), std::end(planTable),
                             [size](const PlanSlot &s) { return s.size == size || s.size == 0; });
    if (slot == std::end(planTable)) {
        // The table keeps its 64 sizes; an untracked size still gets its transform, from a plan
        // that lives for this call only, rather than silently none.
        std::printf("A_fft: unable to create tracked plan for FFT size %d\n", size);
        std::fflush(stdout);
        fftw_plan once = makePlan(size, direction);
        if (once) {
            fftw_execute(once);
            fftw_destroy_plan(once);
        }
        return once != nullptr;
    }
    slot->size = size;
    fftw_plan &plan = direction == 1 ? slot->forward : slot->inverse;
    if (!plan)
        plan = makePlan(size, direction);
    if (plan)
        fftw_execute(plan);
    return plan != nullptr;
}

std::vector<int> trackedSizes()
{
    std::vector<int> sizes;
    for (const PlanSlot &slot : planTable)
        if (slot.size != 0)
            sizes.push_back(slot.size);
    return sizes;
}

} // namespace kvvlx::fft

void A_fft(ComplexSample *data, int size, int direction)
{
    ensureBuffers();
    if (size < 2 || size > A_fft_max_size)
        return;
    for (int k = 0; k < size; ++k) {
        inBuffer[k][0] = data[k].re;
        inBuffer[k][1] = data[k].im;
    }
    if (!kvvlx::fft::execute(size, direction))
        return;
    const double scale = direction == 1 ? 1.0 / size : 1.0;
    for (int k = 0; k < size; ++k)
        data[k] = {float(outBuffer[k][0] * scale), float(outBuffer[k][1] * scale)};
}

void A_fft_forward(ComplexSample *data, int size) { A_fft(data, size, 1); }

void A_fft_inverse(ComplexSample *data, int size) { A_fft(data, size, -1); }

void swap_halves(ComplexSample *data, int size)
{
    const int h = size / 2;
    if (h > 0)
        std::swap_ranges(data, data + h, data + h);
}

QMutex &A_fft_mutex()
{
    static QMutex mutex;
    return mutex;
}
