// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/A_fft.h"

#include "dsp/FftEngine.h"

#include <QMutex>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t bufferBytes = size_t(A_fft_max_size) * sizeof(fftw_complex); // 8,388,608

struct PlanSlot
{
    int size;
    fftw_plan forward;
    bool forwardCreated;
    fftw_plan inverse;
    bool inverseCreated;
};

// Slots 0 ... 14 start with the sizes the plots and the matched filter use most; the rest are
// claimed in order of first use and never released.
PlanSlot planTable[kvvlx::fft::planSlots] = {
    {32, nullptr, false, nullptr, false},     {64, nullptr, false, nullptr, false},
    {128, nullptr, false, nullptr, false},    {256, nullptr, false, nullptr, false},
    {512, nullptr, false, nullptr, false},    {1024, nullptr, false, nullptr, false},
    {2048, nullptr, false, nullptr, false},   {4096, nullptr, false, nullptr, false},
    {8192, nullptr, false, nullptr, false},   {16384, nullptr, false, nullptr, false},
    {32768, nullptr, false, nullptr, false},  {65536, nullptr, false, nullptr, false},
    {131072, nullptr, false, nullptr, false}, {262144, nullptr, false, nullptr, false},
    {524288, nullptr, false, nullptr, false},
};

fftw_complex *inBuffer = nullptr;
fftw_complex *outBuffer = nullptr;
// Input values zeroBegin ... zeroEnd-1 are known to be zero (an empty range when begin >= end).
int zeroBegin = 0;
int zeroEnd = 0;

void ensureBuffers()
{
    if (!inBuffer) {
        inBuffer = static_cast<fftw_complex *>(fftw_malloc(bufferBytes));
        if (!inBuffer) {
            std::printf("A_fft: failed to fftw_malloc in with max FFT size=%d\n", A_fft_max_size);
            std::fflush(stdout);
            std::exit(1);
        }
    }
    if (!outBuffer) {
        outBuffer = static_cast<fftw_complex *>(fftw_malloc(bufferBytes));
        if (!outBuffer) {
            std::printf("A_fft: failed to fftw_malloc out with max FFT size=%d\n", A_fft_max_size);
            std::fflush(stdout);
            std::exit(1);
        }
    }
}

fftw_plan makePlan(int size, int direction)
{
    // FFTW_ESTIMATE never touches the buffers while planning, so the caller's data already copied
    // in survives.
    return fftw_plan_dft_1d(size, inBuffer, outBuffer,
                            direction == 1 ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_ESTIMATE);
}

PlanSlot *findSlot(int size)
{
    for (PlanSlot &slot : planTable) {
        if (slot.size == size)
            return &slot;
        if (slot.size == 0) {
            slot.size = size;
            return &slot;
        }
    }
    return nullptr;
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
    PlanSlot *slot = findSlot(size);
    if (!slot) {
        // The table keeps its 64 sizes; an untracked size still gets the right result from a plan
        // that lives for this call only.
        std::printf("A_fft: unable to create tracked plan for FFT size %d\n", size);
        std::fflush(stdout);
        fftw_plan once = makePlan(size, direction);
        if (!once)
            return false;
        fftw_execute(once);
        fftw_destroy_plan(once);
        return true;
    }
    fftw_plan &plan = direction == 1 ? slot->forward : slot->inverse;
    bool &created = direction == 1 ? slot->forwardCreated : slot->inverseCreated;
    if (!created) {
        plan = makePlan(size, direction);
        created = plan != nullptr;
    }
    if (created)
        fftw_execute(plan);
    return created;
}

void inputWritten(int count) { zeroBegin = std::max(zeroBegin, count); }

void zeroInput(int from, int to)
{
    ensureBuffers();
    if (from >= to || (zeroBegin <= from && zeroEnd >= to && zeroBegin < zeroEnd))
        return;
    std::memset(static_cast<void *>(inBuffer + from), 0, size_t(to - from) * sizeof(fftw_complex));
    // Keep a known-zero stretch that the new one touches.
    const bool joins = zeroBegin < zeroEnd && zeroBegin <= to && zeroEnd >= from;
    zeroEnd = joins ? std::max(zeroEnd, to) : to;
    zeroBegin = joins ? std::min(zeroBegin, from) : from;
}

QVector<int> trackedSizes()
{
    QVector<int> sizes;
    for (const PlanSlot &slot : planTable) {
        if (slot.size == 0)
            break;
        sizes.append(slot.size);
    }
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
    kvvlx::fft::inputWritten(size);
    if (!kvvlx::fft::execute(size, direction))
        return;

    if (direction == 1) {
        const double r = 1.0 / size;
        for (int k = 0; k < size; ++k) {
            data[k].re = float(outBuffer[k][0] * r);
            data[k].im = float(outBuffer[k][1] * r);
        }
    } else {
        for (int k = 0; k < size; ++k) {
            data[k].re = float(outBuffer[k][0]);
            data[k].im = float(outBuffer[k][1]);
        }
    }
}

void A_fft_forward(ComplexSample *data, int size) { A_fft(data, size, 1); }

void A_fft_inverse(ComplexSample *data, int size) { A_fft(data, size, -1); }

void swap_halves(ComplexSample *data, int size)
{
    const int h = size / 2;
    if (h <= 0)
        return;
    std::swap_ranges(data, data + h, data + h);
}

QMutex &A_fft_mutex()
{
    static QMutex mutex;
    return mutex;
}
