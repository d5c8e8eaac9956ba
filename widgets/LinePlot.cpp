// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LinePlot.h"

#include <QApplication>

#include <qcustomplot.h>

namespace {

const QString kTraceLayer = QStringLiteral("trace");

// What the layers under the trace show: when none of it changed since the plot was last drawn
// whole, a new frame redraws the trace layer alone.
struct Look
{
    QRect viewport;
    QCPRange x, y;
    QString xLabel, yLabel;

    static Look of(const QCustomPlot *plot)
    {
        return {plot->viewport(), plot->xAxis->range(), plot->yAxis->range(),
                plot->xAxis->label(), plot->yAxis->label()};
    }
    bool operator==(const Look &o) const
    {
        return viewport == o.viewport && x == o.x && y == o.y && xLabel == o.xLabel &&
               yLabel == o.yLabel;
    }
};

// Remembers the look of the plot's last whole replot, whoever asked for it (a zoom, a resize, a
// reset, a frame).
class LookDrawn : public QObject
{
public:
    explicit LookDrawn(QCustomPlot *plot) : QObject(plot)
    {
        setObjectName(QStringLiteral("lookDrawn"));
        connect(plot, &QCustomPlot::afterReplot, this, [this, plot] {
            look = Look::of(plot);
            drawn = true;
        });
    }
    bool unchanged(const QCustomPlot *plot) const { return drawn && look == Look::of(plot); }

private:
    Look look;
    bool drawn = false;
};

} // namespace

namespace LinePlot {

QFont titleFont()
{
    QFont font = QApplication::font();
    font.setPointSize(10);
    font.setBold(true);
    return font;
}

QCPTextElement *setUp(QCustomPlot *plot, const QString &title, const QString &xLabel,
                      const QString &yLabel)
{
    plot->clearGraphs();
    QCPGraph *graph = plot->addGraph();
    graph->setPen(QPen(QColor(0, 0, 255), 1));
    graph->setAntialiased(false);
    graph->setAdaptiveSampling(true);
    // 1-pixel lines without antialiasing look the same drawn segment by segment, which is faster.
    plot->setPlottingHint(QCP::phFastPolylines, true);
    // The trace and everything that marks it (peaks, markers) go on a buffered layer of their
    // own on top, so that a frame redraws only that; all the rest shares the one buffer beneath
    // (the overlay holds nothing here), and a paint blends two buffers.
    if (!plot->layer(kTraceLayer)) {
        plot->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
        plot->addLayer(kTraceLayer, plot->layer(QStringLiteral("overlay")), QCustomPlot::limAbove);
        plot->layer(kTraceLayer)->setMode(QCPLayer::lmBuffered);
        new LookDrawn(plot);
    }
    plot->setCurrentLayer(kTraceLayer);
    graph->setLayer(kTraceLayer);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);

    plot->plotLayout()->insertRow(0);
    auto *titleElement = new QCPTextElement(plot, title, titleFont());
    plot->plotLayout()->addElement(0, 0, titleElement);

    if (!xLabel.isEmpty())
        plot->xAxis->setLabel(xLabel);
    if (!yLabel.isEmpty())
        plot->yAxis->setLabel(yLabel);
    return titleElement;
}

void show(QCustomPlot *plot, const QVector<double> &keys, const QVector<double> &values)
{
    setData(plot, keys, values);
    refresh(plot);
}

void refresh(QCustomPlot *plot)
{
    const auto *look = dynamic_cast<const LookDrawn *>(
        plot->findChild<QObject *>(QStringLiteral("lookDrawn"), Qt::FindDirectChildrenOnly));
    QCPLayer *trace = plot->layer(kTraceLayer);
    if (look && trace && look->unchanged(plot))
        trace->replot(); // the whole plot still, if its buffers were invalidated (a resize)
    else
        plot->replot(QCustomPlot::rpRefreshHint);
}

void setData(QCustomPlot *plot, const QVector<double> &keys, const QVector<double> &values)
{
    QCPGraph *graph = plot->graph(0);
    if (!graph)
        return;
    const int n = qMin(keys.size(), values.size());
    QSharedPointer<QCPGraphDataContainer> data = graph->data();
    QVector<QCPGraphData> points(n);
    for (int i = 0; i < n; ++i) {
        points[i].key = keys[i];
        points[i].value = values[i];
    }
    data->set(points, true);
}

} // namespace LinePlot
