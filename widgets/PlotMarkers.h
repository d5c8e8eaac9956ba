// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

class QCPGraph;
class QCPItemText;
class QCPItemTracer;
class QCustomPlot;
class QMouseEvent;

// Two markers on the trace of a line plot (graph 0): a click (press and release without a drag)
// or a pick from a peak table places marker 1, then 2, then 1 again. Each sits on the data point
// nearest where it was placed and reads the trace's value there, frame after frame; a box shows
// both and their difference. A child of its plot.
class PlotMarkers : public QObject
{
    Q_OBJECT
public:
    explicit PlotMarkers(QCustomPlot *plot);
    // The markers of plot, or null when it has none.
    static PlotMarkers *of(QCustomPlot *plot);

    // The data point of graph nearest key (in key); false when the graph is empty.
    static bool snap(const QCPGraph *graph, double key, double *x, double *y);

    void place(double key);
    void clear();

    struct Marker
    {
        int number = 0; // 1 or 2
        double x = 0.0;
        double y = 0.0;
    };
    // The markers set, 1 before 2, on the trace as it is now.
    QVector<Marker> markers() const;
    // What the box shows: one line per marker, and the difference when both are set.
    QString text() const;
    // Comment lines for a CSV export: a header, one line per marker, the difference.
    QStringList csvLines() const;
    // One object per marker for a frame's sidecar.
    QJsonArray json() const;
    // Those of every plot given that has markers.
    static QJsonArray json(const QList<QCustomPlot *> &plots);

private:
    void mousePressed(QMouseEvent *event);
    void mouseReleased(QMouseEvent *event);
    void refresh();

    QCustomPlot *plot;
    std::optional<double> keys[2];
    int next = 0;
    std::optional<QPointF> pressedAt;
    QCPItemTracer *tracers[2];
    QCPItemText *labels[2];
    QCPItemText *box;
};
