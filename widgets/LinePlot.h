// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>
#include <QVector>

class QCustomPlot;
class QCPTextElement;

// Line plots of frames and spectra, shared by the radar tabs: one graph, a title row above the
// axis rectangle, optional axis labels, mouse drag and wheel zoom on both axes.
namespace LinePlot {

// The plot titles' font: the application's family, so that titles never fall back to a serif.
QFont titleFont();

// Sets plot up from scratch and returns its title element (owned by the plot). The graph gets a
// 1-pixel pen without antialiasing and keeps adaptive sampling on: a 4096-sample spectrum has
// 14,336 points, and a wider or antialiased pen makes every replot take hundreds of ms.
QCPTextElement *setUp(QCustomPlot *plot, const QString &title, const QString &xLabel = QString(),
                      const QString &yLabel = QString());

// Replaces the data of graph 0 (keys ascending) and replots. Only the first
// min(keys, values) points are used, so a longer key axis can be shared between calls.
void show(QCustomPlot *plot, const QVector<double> &keys, const QVector<double> &values);
// The same without the replot, for pages that add markers before they replot.
void setData(QCustomPlot *plot, const QVector<double> &keys, const QVector<double> &values);
// Draws a new frame: the trace layer alone while the axes and their labels are as last drawn,
// else the whole plot. Plottables and items created after setUp() are on the trace layer.
void refresh(QCustomPlot *plot);

} // namespace LinePlot
