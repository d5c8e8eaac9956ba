// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/DopplerView.h"

#include "dsp/PeakPicking.h"

#include <qcustomplot.h>

#include <vector>

namespace DopplerView {

QString note(int sweepType)
{
    if (sweepType < 0 || sweepType >= kContinuousWave)
        return QString();
    return QObject::tr("Velocity needs a Continuous Wave sweep.");
}

double resetTop(QCustomPlot *plot, int sweepType, double fallback)
{
    QCPGraph *graph = plot->graph(0);
    if (sweepType != kContinuousWave || !graph || graph->data()->isEmpty())
        return fallback;
    std::vector<double> keys, values;
    for (const QCPGraphData &d : *graph->data()) {
        keys.push_back(d.key);
        values.push_back(d.value);
    }
    const int last = Peaks::signalExtent(values.data(), int(values.size()));
    if (last < 1)
        return fallback;
    // Half as much again as the signal spans, so its skirt and the floor beyond show too.
    return qMin(keys.back(), 1.5 * keys[size_t(last)]);
}

} // namespace DopplerView
