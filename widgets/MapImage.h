// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/ColourSpan.h"
#include "widgets/MapScreen.h"
#include "widgets/ScreenDecimation.h"

#include <qcustomplot.h>

#include <vector>

// A colour map over time that keeps its picture: a new column recolours one column of the
// image, not the whole map, and the image has no more rows than the map spans on screen (each
// pixel row shows the value that must stay visible, see ScreenDecimation). The cells stay whole
// in data() for read-outs and exports, and a histogram of them gives the colour span.
// Write cells through setColumn() and layOut(); a change of colours, colour span or zoom
// recolours the image once, as QCPColorMap would.
class MapImage : public QCPColorMap
{
public:
    MapImage(QCPAxis *keyAxis, QCPAxis *valueAxis, ScreenDecimation::Keep keep);

    // keys x values cells, none of them holding a value (NaN, drawn transparent).
    void layOut(int keys, int values);
    // Cells (key, 0 ... count - 1); rows beyond the map are ignored.
    void setColumn(int key, const double *values, int count);
    // The percentile span of the finite cells; false when there are none.
    bool colourSpan(double lowPercent, double highPercent, ColourSpan::Span *span) const;

    // The picture as drawn next (bringing it up to date first), one pixel per column and screen
    // row, the top row first.
    const QImage &picture();

protected:
    void updateMapImage() override;
    // On screen the picture is kept scaled (see MapScreen); exports draw as QCPColorMap does.
    void draw(QCPPainter *painter) override;

private:
    double *cells();
    int screenRows() const;
    void rebin();
    void thinColumn(int key, int rows);
    void colourColumn(int key);
    void colourAll();
    MapScreen::Placement placement(const QCPPainter *painter) const;

    ScreenDecimation::Keep keep;
    ColourSpan::Histogram histogram;
    std::vector<double> column;  // scratch: one column as shown
    std::vector<double> thinned; // the cells as shown: screen rows x keys, bottom row first
    std::vector<char> stale;     // per key: its thinned column must be made again
    int thinnedRows = 0;
    int thinnedKeys = 0;
    bool anyStale = false;
    MapScreen screen;
    std::vector<int> recoloured; // columns of the picture recoloured since the screen was drawn
    bool allRecoloured = true;   // ... or all of it, or its size changed
};
