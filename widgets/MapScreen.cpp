// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapScreen.h"

#include <algorithm>

bool MapScreen::Placement::operator==(const Placement &o) const
{
    return imageRect == o.imageRect && transform == o.transform && clip == o.clip &&
           mirrorX == o.mirrorX && mirrorY == o.mirrorY && hints == o.hints &&
           deviceSize == o.deviceSize && pixelRatio == o.pixelRatio;
}

void MapScreen::draw(QPainter *painter, const Placement &placement, const QImage &picture,
                     const std::vector<int> &changedColumns, bool wholeChanged)
{
    if (!keptValid || wholeChanged || !(placement == keptFor) || picture.isNull()) {
        keptFor = placement;
        kept = QImage(placement.deviceSize, QImage::Format_ARGB32_Premultiplied);
        kept.setDevicePixelRatio(placement.pixelRatio);
        kept.fill(Qt::transparent);
        redraw(placement.clip, picture);
        keptValid = true;
    } else {
        // With smooth scaling a screen pixel blends the two columns nearest its centre: a column
        // shows in its own cells and half a cell into each neighbour. One cell either side, and a
        // pixel for rounding, holds all of it.
        const double cell = placement.imageRect.width() / std::max(1, picture.width());
        const double pixel = 1.0 / placement.pixelRatio;
        for (int column : changedColumns) {
            const int shown = placement.mirrorX ? picture.width() - 1 - column : column;
            const double left = placement.imageRect.left() + (shown - 1) * cell - pixel;
            const double right = placement.imageRect.left() + (shown + 2) * cell + pixel;
            redraw(placement.transform.mapRect(QRectF(left, placement.imageRect.top(), right - left,
                                                      placement.imageRect.height())),
                   picture);
        }
    }
    painter->save();
    painter->resetTransform(); // kept is unshifted
    painter->drawImage(QPointF(0, 0), kept);
    painter->restore();
}

// Draws the whole picture again with the colour map's own call and shift, clipped to region
// (unshifted, and within the painter's clip), in place of what was kept there.
void MapScreen::redraw(const QRectF &region, const QImage &picture)
{
    const qreal r = keptFor.pixelRatio;
    // Whole device pixels, so that the strip's edges are those of the pixels drawn before.
    const QRectF device(region.left() * r, region.top() * r, region.width() * r,
                        region.height() * r);
    const QRect pixels = device.toAlignedRect();
    const QRectF area =
        QRectF(pixels.left() / r, pixels.top() / r, pixels.width() / r, pixels.height() / r)
            .intersected(keptFor.clip);
    if (area.isEmpty())
        return;
    QPainter p(&kept);
    p.setClipRect(area); // the same pixels cleared and drawn
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(area, Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setTransform(keptFor.transform);
    p.setRenderHints(keptFor.hints);
    p.drawImage(keptFor.imageRect, picture.mirrored(keptFor.mirrorX, keptFor.mirrorY));
}
