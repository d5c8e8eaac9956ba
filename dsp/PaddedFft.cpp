// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PaddedFft.h"

#include "dsp/BinKernels.h"
#include "dsp/VectorAlloc.h"

QVector<double> paddedSpectrum(const QVector<double> &w)
{
    if (w.isEmpty())
        return {};
    QVector<double> p = kvvlx::uninitializedVector(7 * w.size() / 2);
    kvvlx::kernels::paddedSpectrumDb(w.constData(), int(w.size()), p.data());
    return p;
}

void finishLinePlot(QVector<double> &p)
{
    for (double &v : p)
        v += 3.0;
    if (p.size() >= 2)
        p[0] = p[1];
}
