// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtPlotPages.h"

#include "dsp/PowerUnits.h"
#include "widgets/DopplerView.h"
#include "widgets/LinePlot.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotMarkers.h"
#include "widgets/PlotTools.h"

#include <qcustomplot.h>

#include <cmath>

namespace {
constexpr double kRawVolts = 2.5;    // the kit's ADC spans ±2.5 V
constexpr double kFloorDb = -120.0;

void setValueRange(QCustomPlot *plot, int page)
{
    if (page == BtPlotPages::RawPage)
        plot->yAxis->setRange(-kRawVolts, kRawVolts);
    else
        plot->yAxis->setRange(kFloorDb, 0);
}
} // namespace

BtPlotPages::BtPlotPages(QWidget *owner, QGridLayout *const (&layouts)[PageCount])
    : QObject(owner)
{
    const char *names[PageCount] = {"rawPlot_wdgt", "spectrum_wdgt", "rangeSpectrum_wdgt",
                                    "dopplerPlot_wdgt"};
    for (int i = 0; i < PageCount; ++i) {
        plots[i] = new QCustomPlot(owner);
        plots[i]->setObjectName(QLatin1String(names[i]));
        plots[i]->setMinimumSize(380, 300);
        layouts[i]->addWidget(plots[i], 0, 0);
    }
    const QString power = QString::fromLatin1(kPowerLabel);
    LinePlot::setUp(plots[RawPage], QStringLiteral("Raw Data"), QStringLiteral("Time (s)"),
                    QStringLiteral("Amplitude (V)"));
    LinePlot::setUp(plots[SpectrumPage], QStringLiteral("Beat Frequency Spectrum Plot"),
                    QStringLiteral("Frequency (Hz)"), power);
    LinePlot::setUp(plots[RangePage], QStringLiteral("Range Plot"), QStringLiteral("Range (m)"),
                    power);
    LinePlot::setUp(plots[DopplerPage], QStringLiteral("Doppler Plot"),
                    QStringLiteral("Radial Velocity (m/s)"), power);
    const PeakReadout::Page kinds[PageCount] = {
        PeakReadout::Page::Spectrum, PeakReadout::Page::Spectrum, PeakReadout::Page::Range,
        PeakReadout::Page::DopplerVelocity};
    for (int i = RawPage; i < PageCount; ++i) {
        setValueRange(plots[i], i);
        if (i != RawPage) {
            readouts[i] = new PeakReadout(plots[i], kinds[i], owner);
            layouts[i]->addWidget(readouts[i], 1, 0);
            connect(readouts[i], &PeakReadout::settingsChanged, this, &BtPlotPages::redrawWanted);
        }
        new PlotTools(plots[i], [this, i] { resetAxes(i); });
    }
}

void BtPlotPages::draw(int page, const QVector<double> &samples, const RadarMath::FrameAxes &axes,
                       int sweepType)
{
    if (page < RawPage || page >= PageCount)
        return;
    shownSweepType = sweepType;
    QCustomPlot *plot = plots[page];
    const int n = int(samples.size());
    QVector<double> keys;
    QVector<double> values;
    DisplaySpectrum spectrum;
    if (page == RawPage) {
        keys.resize(n);
        for (int i = 0; i < n; ++i)
            keys[i] = i * axes.samplePeriodS;
        values = samples;
    } else {
        spectrum = displaySpectrum(samples, readouts[page]->window());
        values = spectrum.shown;
        keys = readouts[page]->keys(int(values.size()), axes, n);
    }
    LinePlot::setData(plot, keys, values);
    if (page == DopplerPage)
        readouts[page]->setNote(DopplerView::note(sweepType));
    if (readouts[page])
        readouts[page]->show(spectrum, axes, n);
    LinePlot::refresh(plot);
    if (plottedLength[page] != n && !keys.isEmpty() && std::isfinite(keys.last()) &&
        keys.last() > 0) {
        plot->xAxis->setRange(0, keys.last());
        plot->replot(QCustomPlot::rpQueuedReplot);
        plottedLength[page] = n;
    }
}

void BtPlotPages::refitAll()
{
    for (int &length : plottedLength)
        length = -1;
}

QJsonArray BtPlotPages::markers() const
{
    return PlotMarkers::json({plots[RawPage], plots[SpectrumPage], plots[RangePage],
                              plots[DopplerPage]});
}

void BtPlotPages::resetAxes(int page)
{
    QCustomPlot *plot = plots[page];
    setValueRange(plot, page);
    if (QCPGraph *graph = plot->graph(0)) {
        bool found = false;
        const QCPRange keys = graph->getKeyRange(found);
        if (found && keys.upper > 0)
            plot->xAxis->setRange(0, page == DopplerPage
                                         ? DopplerView::resetTop(plot, shownSweepType, keys.upper)
                                         : keys.upper);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}
