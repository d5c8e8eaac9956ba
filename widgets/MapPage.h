// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/ScreenDecimation.h"

#include <QString>

class ColourSpanControl;
class MapImage;
class QCPColorScale;
class QCPLayer;
class QCPRange;
class QCPTextElement;
class QCustomPlot;

// A page that shows frames over time as a colour map of 150 columns: each frame fills the next
// column, and after the last the next frame overwrites the first. The page owns the map, its
// colour scale and the span its colour control follows; the tab decides when to lay it out.
class MapPage
{
public:
    static constexpr int kColumns = 150;

    // Sets plot up with the title element (owned by the plot), the axis and scale labels and a
    // start-up layout of 50 x 50 empty cells over values 0 ... rows.
    MapPage(QCustomPlot *plot, ColourSpanControl *colours, ScreenDecimation::Keep keep,
            QCPTextElement *title, const QString &xLabel, const QString &yLabel,
            const QString &scaleLabel, double rows);

    MapImage *map() const { return image; }
    QCPColorScale *scale() const { return colourScale; }
    QCustomPlot *plot() const { return widget; }
    ColourSpanControl *colourControl() const { return colours; }
    // The column the next frame fills.
    int column() const { return next; }
    // The frame length the map was laid out for, 0 before the first.
    int frameLength() const { return length; }
    bool laidOutFor(int frameLength, int rows) const;

    // Clears every cell and starts again at column 0.
    void layOut(int frameLength, int rows);
    // The value range of the rows (keys stay 0 ... 149).
    void setValueRange(const QCPRange &values);
    // Writes the next column (rows beyond the map are ignored), follows the colour span, rescales
    // the axes for the first frame, and replots.
    void addColumn(const double *values, int count);
    // The page's "Reset Axes": the whole map in view, the colours fitted to it.
    void resetAxes();
    // The span the colour control holds, applied and drawn.
    void applyColours();

private:
    QCustomPlot *widget;
    ColourSpanControl *colours;
    MapImage *image;
    QCPLayer *mapLayer; // the map alone, so that a new column redraws only the map
    QCPColorScale *colourScale;
    int next = 0;
    int length = 0;
    bool rescalePending = true;
};
