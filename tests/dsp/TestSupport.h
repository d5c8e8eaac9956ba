// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/A_fft.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryFile>
#include <QVector>

#include <cmath>
#include <cstdio>
#include <unistd.h>

// Direct DFT in long double, with the engine's conventions: forward scaled by 1/N, inverse not.
inline QVector<ComplexSample> directDft(const QVector<ComplexSample> &x, int direction)
{
    const int n = int(x.size());
    const long double sign = direction == 1 ? -1.0L : 1.0L;
    const long double scale = direction == 1 ? 1.0L / n : 1.0L;
    const long double twoPi = 2.0L * 3.141592653589793238462643383279502884L;
    QVector<ComplexSample> out(n);
    for (int k = 0; k < n; ++k) {
        long double re = 0, im = 0;
        for (int j = 0; j < n; ++j) {
            const long double angle = sign * twoPi * ((static_cast<long long>(k) * j) % n) / n;
            re += x[j].re * std::cos(angle) - x[j].im * std::sin(angle);
            im += x[j].re * std::sin(angle) + x[j].im * std::cos(angle);
        }
        out[k] = {float(re * scale), float(im * scale)};
    }
    return out;
}

inline QVector<ComplexSample> randomSignal(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QVector<ComplexSample> x(n);
    for (ComplexSample &s : x)
        s = {float(rng.generateDouble() * 2 - 1), float(rng.generateDouble() * 2 - 1)};
    return x;
}

// Largest deviation between two complex arrays, relative to the largest magnitude of the second.
inline double relativeError(const QVector<ComplexSample> &a, const QVector<ComplexSample> &b)
{
    double worst = 0, scale = 1e-30;
    for (int i = 0; i < b.size(); ++i) {
        worst = std::max(worst, double(std::hypot(a[i].re - b[i].re, a[i].im - b[i].im)));
        scale = std::max(scale, double(std::hypot(b[i].re, b[i].im)));
    }
    return worst / scale;
}

// Collects what the code under test prints on standard output.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        file.open();
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        dup2(file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { release(); }
    QByteArray text()
    {
        release();
        file.seek(0);
        return file.readAll();
    }

private:
    void release()
    {
        if (saved < 0)
            return;
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        saved = -1;
    }
    QTemporaryFile file;
    int saved = -1;
};
