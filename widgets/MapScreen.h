// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QTransform>

#include <vector>

// A colour map's picture as it lies on screen, kept between paints. Scaling the whole picture onto
// the plot (smoothly, so that neighbouring columns blend) costs more than everything else a new
// column does; kept, only the strip that a changed column and its blending neighbours cover is
// drawn again, and the rest is copied. The pixels are those of drawing the whole picture afresh:
// the strip is drawn by the same call with the same hints, only clipped.
class MapScreen
{
public:
    // Where and how the picture goes, as the colour map draws it.
    struct Placement
    {
        QRectF imageRect;     // the whole picture, in the painter's coordinates
        QTransform transform; // the painter's, a shift at most
        QRectF clip;          // what the painter may paint (the axis rectangle), unshifted
        bool mirrorX = false; // the picture as the axes run
        bool mirrorY = false;
        QPainter::RenderHints hints;
        QSize deviceSize; // of the painter's device, in its pixels
        qreal pixelRatio = 1.0;

        bool operator==(const Placement &o) const;
    };

    // Draws picture with painter as placed. changedColumns are the picture's columns recoloured
    // since the last draw; wholeChanged says that anything else about it changed.
    void draw(QPainter *painter, const Placement &placement, const QImage &picture,
              const std::vector<int> &changedColumns, bool wholeChanged);
    // Nothing is kept: the next draw draws all of it.
    void forget() { keptValid = false; }

private:
    void redraw(const QRectF &region, const QImage &picture);

    QImage kept;
    Placement keptFor;
    bool keptValid = false;
};
