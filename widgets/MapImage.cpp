// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapImage.h"

#include <algorithm>
#include <cmath>
#include <limits>

MapImage::MapImage(QCPAxis *keyAxis, QCPAxis *valueAxis, ScreenDecimation::Keep keep)
    : QCPColorMap(keyAxis, valueAxis), keep(keep)
{
}

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
    bool outside = false;
    for (int r = 0; r < rows; ++r) {
        histogram.remove(d->cell(key, r));
        d->setCell(key, r, values[r]);
        outside = !histogram.add(values[r]) || outside;
    }
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
    QCPColorMapData *d = data();
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    for (int k = 0; k < d->keySize(); ++k)
        for (int v = 0; v < d->valueSize(); ++v) {
            const double c = d->cell(k, v);
            if (std::isfinite(c)) {
                lowest = std::min(lowest, c);
                highest = std::max(highest, c);
            }
        }
    histogram.clear();
    if (!(lowest <= highest))
        return;
    double lower = 0, upper = 0;
    ColourSpan::Histogram::rangeFor(lowest, highest, &lower, &upper);
    histogram.reset(lower, upper);
    for (int k = 0; k < d->keySize(); ++k)
        for (int v = 0; v < d->valueSize(); ++v)
            histogram.add(d->cell(k, v));
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
    QCPColorMapData *d = data();
    const int values = d->valueSize();
    column.resize(size_t(values));
    for (int v = 0; v < values; ++v)
        column[size_t(v)] = d->cell(key, v);
    std::vector<double> out(static_cast<size_t>(rows));
    ScreenDecimation::column(column.data(), values, 1, out.data(), rows, keep);
    for (int r = 0; r < rows; ++r)
        thinned[size_t(r) * size_t(thinnedKeys) + size_t(key)] = out[size_t(r)];
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
    } else if (mMapImageInvalidated) {
        for (int k = 0; k < keys && anyStale; ++k)
            if (stale[size_t(k)])
                thinColumn(k, rows);
        colourAll();
    } else if (anyStale) {
        for (int k = 0; k < keys; ++k)
            if (stale[size_t(k)]) {
                thinColumn(k, rows);
                colourColumn(k);
            }
    }
    std::fill(stale.begin(), stale.end(), 0);
    anyStale = false;
    mMapImageInvalidated = false;
}

const QImage &MapImage::picture()
{
    updateMapImage();
    return mMapImage;
}
