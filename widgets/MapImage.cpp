// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapImage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The cells with their storage in reach: a column is written and read directly rather than
// through a checked call per cell.
class Cells : public QCPColorMapData
{
public:
    Cells() : QCPColorMapData(10, 10, QCPRange(0, 5), QCPRange(0, 5)) {}
    double *raw() { return mData; }
    // What QCPColorMapData::setCell records, so that the map draws its picture again.
    void touch() { mDataModified = true; }
};

} // namespace

MapImage::MapImage(QCPAxis *keyAxis, QCPAxis *valueAxis, ScreenDecimation::Keep keep)
    : QCPColorMap(keyAxis, valueAxis), keep(keep)
{
    setData(new Cells); // owned by the map
}

// Cell (key, value) at [value * keySize + key], as QCPColorMapData lays them out.
double *MapImage::cells() { return static_cast<Cells *>(data())->raw(); }

void MapImage::layOut(int keys, int values)
{
    data()->setSize(keys, values);
    data()->fill(std::numeric_limits<double>::quiet_NaN());
    histogram.clear();
    thinnedRows = 0; // rebuilt at the next draw
    mMapImageInvalidated = true;
}

void MapImage::setColumn(int key, const double *values, int count)
{
    QCPColorMapData *d = data();
    if (key < 0 || key >= d->keySize())
        return;
    const int rows = std::min(count, d->valueSize());
    const int keys = d->keySize();
    double *cell = cells() + key;
    bool outside = false;
    for (int r = 0; r < rows; ++r, cell += keys) {
#if defined(__GNUC__)
        // The cells of a column lie a row apart: fetch a few rows ahead of their use.
        __builtin_prefetch(cell + 16 * keys, 1);
#endif
        histogram.remove(*cell);
        *cell = values[r];
        outside = !histogram.add(values[r]) || outside;
    }
    static_cast<Cells *>(d)->touch();
    if (outside || histogram.coarse())
        rebin();
    if (key < int(stale.size())) {
        stale[size_t(key)] = 1;
        anyStale = true;
    }
}

// Bins every cell again over the range they take now: when a new value falls outside the range
// binned, or the values fill only a sliver of it. Rare: a steady scene keeps its range.
void MapImage::rebin()
{
    const double *all = cells();
    const size_t count = size_t(data()->keySize()) * size_t(data()->valueSize());
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    for (size_t i = 0; i < count; ++i)
        if (std::isfinite(all[i])) {
            lowest = std::min(lowest, all[i]);
            highest = std::max(highest, all[i]);
        }
    histogram.clear();
    if (!(lowest <= highest))
        return;
    double lower = 0, upper = 0;
    ColourSpan::Histogram::rangeFor(lowest, highest, &lower, &upper);
    histogram.reset(lower, upper);
    for (size_t i = 0; i < count; ++i)
        histogram.add(all[i]);
}

bool MapImage::colourSpan(double lowPercent, double highPercent, ColourSpan::Span *span) const
{
    return histogram.percentiles(lowPercent, highPercent, span);
}

// Rows of the map on screen: one per pixel the whole value range spans at the present zoom, and
// never more than the map has.
int MapImage::screenRows() const
{
    const QCPColorMapData *d = mMapData;
    const QCPRange range = d->valueRange();
    const double pixels = std::abs(valueAxis()->coordToPixel(range.upper) -
                                   valueAxis()->coordToPixel(range.lower));
    const int fallback = valueAxis()->axisRect() ? valueAxis()->axisRect()->height() : 1;
    const double wanted = std::isfinite(pixels) ? std::ceil(pixels) + 1 : fallback;
    return int(std::clamp<double>(wanted, 1, std::max(1, d->valueSize())));
}

void MapImage::thinColumn(int key, int rows)
{
    column.resize(size_t(rows));
    ScreenDecimation::column(cells() + key, data()->valueSize(), data()->keySize(), column.data(),
                             rows, keep);
    for (int r = 0; r < rows; ++r)
        thinned[size_t(r) * size_t(thinnedKeys) + size_t(key)] = column[size_t(r)];
}

void MapImage::colourColumn(int key)
{
    std::vector<QRgb> colours(static_cast<size_t>(thinnedRows));
    mGradient.colorize(thinned.data() + key, mDataRange, colours.data(), thinnedRows, thinnedKeys,
                       mDataScaleType == QCPAxis::stLogarithmic);
    for (int r = 0; r < thinnedRows; ++r)
        reinterpret_cast<QRgb *>(mMapImage.scanLine(thinnedRows - 1 - r))[key] = colours[size_t(r)];
}

void MapImage::colourAll()
{
    for (int r = 0; r < thinnedRows; ++r)
        mGradient.colorize(thinned.data() + size_t(r) * size_t(thinnedKeys), mDataRange,
                           reinterpret_cast<QRgb *>(mMapImage.scanLine(thinnedRows - 1 - r)),
                           thinnedKeys, 1, mDataScaleType == QCPAxis::stLogarithmic);
}

void MapImage::updateMapImage()
{
    QCPColorMapData *d = data();
    if (!keyAxis() || !valueAxis() || d->isEmpty())
        return;
    if (keyAxis()->orientation() != Qt::Horizontal) {
        QCPColorMap::updateMapImage(); // the maps of this program run their keys across
        allRecoloured = true;
        return;
    }
    const int keys = d->keySize();
    const int rows = screenRows();
    if (rows != thinnedRows || keys != thinnedKeys ||
        mMapImage.size() != QSize(keys, rows)) {
        thinnedRows = rows;
        thinnedKeys = keys;
        thinned.assign(size_t(rows) * size_t(keys), 0.0);
        stale.assign(size_t(keys), 0);
        anyStale = false;
        mMapImage = QImage(keys, rows, QImage::Format_ARGB32_Premultiplied);
        for (int k = 0; k < keys; ++k)
            thinColumn(k, rows);
        colourAll();
        allRecoloured = true;
    } else if (mMapImageInvalidated) {
        for (int k = 0; k < keys && anyStale; ++k)
            if (stale[size_t(k)])
                thinColumn(k, rows);
        colourAll();
        allRecoloured = true;
    } else if (anyStale) {
        for (int k = 0; k < keys; ++k)
            if (stale[size_t(k)]) {
                thinColumn(k, rows);
                colourColumn(k);
                recoloured.push_back(k);
            }
    }
    std::fill(stale.begin(), stale.end(), 0);
    anyStale = false;
    mMapImageInvalidated = false;
}

void MapImage::draw(QCPPainter *painter)
{
    const bool exporting = painter->modes().testFlag(QCPPainter::pmVectorized) ||
                         painter->modes().testFlag(QCPPainter::pmNoCaching);
    const bool onScreen = !exporting && painter->transform().type() <= QTransform::TxTranslate &&
                          !mTightBoundary && keyAxis() && valueAxis() &&
                          keyAxis()->orientation() == Qt::Horizontal && !data()->isEmpty();
    if (!onScreen) {
        QCPColorMap::draw(painter);
        return;
    }
    applyDefaultAntialiasingHint(painter);
    updateMapImage();
    std::sort(recoloured.begin(), recoloured.end());
    recoloured.erase(std::unique(recoloured.begin(), recoloured.end()), recoloured.end());
    screen.draw(painter, placement(painter), mMapImage, recoloured, allRecoloured);
    recoloured.clear();
    allRecoloured = false;
}

// Where QCPColorMap puts the picture: over the cells' range, half a cell beyond it at each end
// (cells are centred on the range's ends), as the axes run.
MapScreen::Placement MapImage::placement(const QCPPainter *painter) const
{
    const QCPColorMapData *d = mMapData;
    QRectF rect = QRectF(coordsToPixels(d->keyRange().lower, d->valueRange().lower),
                         coordsToPixels(d->keyRange().upper, d->valueRange().upper))
                      .normalized();
    const double halfWidth = d->keySize() > 1 ? 0.5 * rect.width() / (d->keySize() - 1) : 0.0;
    const double halfHeight =
        d->valueSize() > 1 ? 0.5 * rect.height() / (d->valueSize() - 1) : 0.0;
    rect.adjust(-halfWidth, -halfHeight, halfWidth, halfHeight);

    MapScreen::Placement p;
    p.imageRect = rect;
    const QPaintDevice *device = painter->device();
    p.deviceSize = QSize(device->width(), device->height());
    p.pixelRatio = device->devicePixelRatioF();
    // An antialiased QCPPainter is shifted by half a pixel; the clip was set before the shift.
    p.transform = painter->transform();
    p.clip = painter->hasClipping()
                 ? p.transform.mapRect(painter->clipBoundingRect())
                 : QRectF(QPointF(0, 0), QSizeF(p.deviceSize) / p.pixelRatio);
    p.mirrorX = keyAxis()->rangeReversed();
    p.mirrorY = valueAxis()->rangeReversed();
    p.hints = painter->renderHints();
    p.hints.setFlag(QPainter::SmoothPixmapTransform, mInterpolate);
    return p;
}

const QImage &MapImage::picture()
{
    updateMapImage();
    return mMapImage;
}
