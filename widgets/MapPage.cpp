// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/MapPage.h"

#include "widgets/ColourSpanControl.h"
#include "widgets/MapImage.h"

#include <qcustomplot.h>

namespace {

// Jet, with the cells of captures not yet taken (NaN) left transparent: a cleared cell of 0 would
// read as 0 V, or on a dB scale as the strongest return of all.
QCPColorGradient mapGradient()
{
    QCPColorGradient jet(QCPColorGradient::gpJet);
    jet.setNanHandling(QCPColorGradient::nhTransparent);
    return jet;
}

} // namespace

MapPage::MapPage(QCustomPlot *plot, ColourSpanControl *colours, ScreenDecimation::Keep keep,
                 QCPTextElement *title, const QString &xLabel, const QString &yLabel,
                 const QString &scaleLabel, double rows)
    : widget(plot), colours(colours)
{
    image = new MapImage(plot->xAxis, plot->yAxis, keep); // registers with the plot
    // The map and the grid behind it are the one buffered layer at the bottom, which a new column
    // redraws; everything above shares one buffer (the overlay holds nothing here), so a paint
    // blends two buffers.
    plot->addLayer(QStringLiteral("map"), plot->layer(QStringLiteral("background")),
                   QCustomPlot::limBelow);
    mapLayer = plot->layer(QStringLiteral("map"));
    mapLayer->setMode(QCPLayer::lmBuffered);
    plot->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    plot->xAxis->grid()->setLayer(mapLayer);
    plot->yAxis->grid()->setLayer(mapLayer);
    image->setLayer(mapLayer); // after the grid, so drawn over it
    image->data()->setSize(50, 50);
    image->data()->setRange(QCPRange(0, kColumns - 1), QCPRange(0, rows));
    image->data()->fill(0.0);
    image->rescaleDataRange(true);
    plot->rescaleAxes();

    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, title);
    plot->yAxis->setLabel(yLabel);
    plot->xAxis->setLabel(xLabel);

    colourScale = new QCPColorScale(plot);
    plot->plotLayout()->addElement(1, 1, colourScale);
    colourScale->setLabel(scaleLabel);
    image->setColorScale(colourScale);
    image->setGradient(mapGradient()); // after the scale, which would give the map its own
    plot->replot(QCustomPlot::rpRefreshHint);
}

bool MapPage::laidOutFor(int frameLength, int rows) const
{
    const QCPColorMapData *d = image->data();
    return length == frameLength && d->keySize() == kColumns && d->valueSize() == rows;
}

void MapPage::layOut(int frameLength, int rows)
{
    length = frameLength;
    image->layOut(kColumns, rows);
    next = 0;
}

void MapPage::setValueRange(const QCPRange &values)
{
    image->data()->setRange(QCPRange(0, kColumns - 1), values);
}

void MapPage::addColumn(const double *values, int count)
{
    image->setColumn(next, values, count);
    next = next == kColumns - 1 ? 0 : next + 1;
    const bool spanMoved = colours->apply(image, colourScale);
    if (rescalePending) {
        widget->rescaleAxes();
        rescalePending = false;
    } else if (!spanMoved) {
        mapLayer->replot(); // axes and colour scale stay as drawn
        return;
    }
    widget->replot(QCustomPlot::rpRefreshHint);
}

void MapPage::resetAxes()
{
    widget->rescaleAxes();
    colours->fit(image, colourScale);
    widget->replot(QCustomPlot::rpRefreshHint);
}

void MapPage::applyColours()
{
    colours->apply(image, colourScale);
    widget->replot(QCustomPlot::rpQueuedReplot);
}
