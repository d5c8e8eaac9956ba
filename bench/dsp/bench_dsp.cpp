// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the spectrum path against FFTW alone, and of a range-Doppler dwell with its files.

#include "bench/BenchMain.h"
#include "dsp/ADCdataProcessing.h"
#include "dsp/PaddedFft.h"
#include "dsp/PowerDbBatch.h"

#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A beat tone with a little noise, in volts, like a captured frame.
QVector<double> frame(int n, unsigned seed = 1)
{
    QVector<double> w(n);
    unsigned state = seed;
    for (int k = 0; k < n; ++k) {
        state = state * 1664525u + 1013904223u;
        w[k] = 0.8 * std::sin(0.37 * k + 0.001 * k * k / n) +
               1e-3 * (double(state >> 8) / (1 << 24) - 0.5);
    }
    return w;
}

ADCdataProcessing &processor()
{
    static ADCdataProcessing p(QStringLiteral("none"));
    return p;
}

void BM_FftwExecute(benchmark::State &state)
{
    const int n = int(state.range(0));
    auto *in = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * size_t(n)));
    auto *out = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * size_t(n)));
    fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    const QVector<double> w = frame(n);
    for (int k = 0; k < n; ++k) {
        in[k][0] = w[k];
        in[k][1] = 0.0;
    }
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

// The bare real-input transform of the padded length, the floor of the padded spectrum's cost.
void BM_FftwRealInput(benchmark::State &state)
{
    const int n = int(state.range(0));
    double *in = fftw_alloc_real(size_t(n));
    fftw_complex *out = fftw_alloc_complex(size_t(n) / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    const QVector<double> w = frame(n);
    std::copy(w.begin(), w.end(), in);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

void BM_FftData(benchmark::State &state)
{
    const QVector<double> w = frame(int(state.range(0)));
    processor().FFT_data(w); // plans once, as the first frame of a run does
    for (auto _ : state) {
        auto spectrum = processor().FFT_data(w);
        benchmark::DoNotOptimize(spectrum.first.data());
        benchmark::DoNotOptimize(spectrum.second.data());
    }
}

void BM_PaddedSpectrum(benchmark::State &state)
{
    const QVector<double> w = frame(int(state.range(0)));
    paddedSpectrum(w);
    for (auto _ : state) {
        QVector<double> p = paddedSpectrum(w);
        benchmark::DoNotOptimize(p.data());
    }
}

// The decibel conversion alone over the H = L/2 bins of a padded spectrum, as the padded spectrum
// makes it: powers first, then their levels in one batch.
void BM_PowerDb(benchmark::State &state)
{
    const QVector<double> p = frame(int(state.range(0)));
    QVector<double> level(p.size());
    for (auto _ : state) {
        for (qsizetype i = 0; i < p.size(); ++i)
            level[i] = p[i] * p[i] + 1e-12;
        powerDbInPlace(level.data(), int(level.size()));
        benchmark::DoNotOptimize(level.data());
    }
}

const char *const diagnosticFiles[] = {
    "RX.txt",           "CAL.txt",         "RX_fft.txt",        "CAL_fft.txt",
    "Z_beforeIFFT.txt", "Z_afterIFFT.txt", "Z_AfterReOrder.txt"};

// Argument 1: the seven diagnostic files are written into a temporary directory. Argument 0: the
// same dwell where every file name is taken by a directory, so nothing can be written; the
// difference is what the files cost.
void BM_RangeDoppler(benchmark::State &state)
{
    const bool files = state.range(0) != 0;
    const QString previous = QDir::currentPath();
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    if (!files)
        for (const char *name : diagnosticFiles)
            QDir().mkdir(QString::fromLatin1(name));

    QList<QVector<double>> pulses;
    for (int i = 0; i < 64; ++i)
        pulses.append(frame(1024, unsigned(i + 2)));
    ADCdataProcessing p(QStringLiteral("none"));
    p.reference = frame(1024);
    for (auto _ : state) {
        auto map = p.range_doppler(pulses);
        benchmark::DoNotOptimize(map.size());
    }
    QDir::setCurrent(previous);
}

} // namespace

// Many short repetitions: the ratios take the fastest of each, which on a shared machine is the
// most repeatable figure.
BENCHMARK(BM_FftwExecute)
    ->Arg(7168)
    ->Arg(28672)
    ->Repetitions(12)
    ->MinTime(0.1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwRealInput)
    ->Arg(7168)
    ->Arg(28672)
    ->Repetitions(12)
    ->MinTime(0.1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftData)
    ->Arg(7168)
    ->Arg(28672)
    ->Repetitions(12)
    ->MinTime(0.1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaddedSpectrum)
    ->Arg(1024)
    ->Arg(4096)
    ->Repetitions(12)
    ->MinTime(0.1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerDb)
    ->Arg(3584)
    ->Arg(14336)
    ->Repetitions(12)
    ->MinTime(0.1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RangeDoppler)
    ->Arg(1)
    ->Arg(0)
    ->Repetitions(3)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // The dsp debug lines (a file name per dump) would be timed along with the work.
    QLoggingCategory::setFilterRules(QStringLiteral("kvvlx.*.debug=false"));
    return kvvlx::bench::runWithRatios(
        argc, argv,
        {{"FFT_data / fftw_execute, 7168 points", "BM_FftData/7168", "BM_FftwExecute/7168", 1.3},
         {"FFT_data / fftw_execute, 28672 points", "BM_FftData/28672", "BM_FftwExecute/28672", 1.3},
         {"paddedSpectrum N=1024 / real-input fftw_execute 7168 points", "BM_PaddedSpectrum/1024",
          "BM_FftwRealInput/7168", 2.0},
         {"paddedSpectrum N=4096 / real-input fftw_execute 28672 points", "BM_PaddedSpectrum/4096",
          "BM_FftwRealInput/28672", 2.0},
         {"of which dB of 3584 bins / real-input fftw_execute 7168 points", "BM_PowerDb/3584",
          "BM_FftwRealInput/7168", 0},
         {"of which dB of 14336 bins / real-input fftw_execute 28672 points", "BM_PowerDb/14336",
          "BM_FftwRealInput/28672", 0}},
        [](const kvvlx::bench::RatioReporter &r) {
            const double with = r.seconds("BM_RangeDoppler/1");
            const double without = r.seconds("BM_RangeDoppler/0");
            if (with > 0 && without > 0)
                std::printf(
                    "range_doppler 64 pulses x 1024 samples: %.1f ms CPU with the diagnostic "
                    "files, %.1f ms without (files %.0f%%)\n",
                    with * 1e3, without * 1e3, 100.0 * (with - without) / with);
        });
}
