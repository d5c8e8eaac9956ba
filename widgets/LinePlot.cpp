// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LinePlot.h"

#include <QApplication>

#include <qcustomplot.h>

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
