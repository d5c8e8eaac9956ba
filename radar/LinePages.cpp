// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/LinePages.h"

#include "dsp/PaddedFft.h"
#include "dsp/PowerUnits.h"
#include "ui_TR7310_tab.h"
#include "widgets/DopplerView.h"
#include "widgets/LinePlot.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotMarkers.h"
#include "widgets/PlotTools.h"

#include <QCheckBox>
#include <QGridLayout>

#include <qcustomplot.h>

LinePages::LinePages(Ui::TR7310_tab &form, std::function<int()> shownSweepType, QObject *parent)
    : QObject(parent), ui(form), sweepType(std::move(shownSweepType))
{
    LinePlot::setUp(ui.rawPlot_wdgt, QStringLiteral("Raw Data"));
    LinePlot::setUp(ui.spectrum_wdgt, QStringLiteral("Beat Frequency Spectrum Plot"));
    LinePlot::setUp(ui.rangeSpectrum_wdgt, QStringLiteral("Range Plot"),
                    QStringLiteral("Range (m)"), QString::fromLatin1(kPowerLabel));
    LinePlot::setUp(ui.dopplerPlot_wdgt, QStringLiteral("Doppler Plot"),
                    QStringLiteral("Doppler Shift (Hz)"), QString::fromLatin1(kPowerLabel));
    for (QCustomPlot *p : {ui.spectrum_wdgt, ui.rangeSpectrum_wdgt, ui.dopplerPlot_wdgt}) {
        p->yAxis->setRange(-120, 0);
        p->xAxis->setRange(0, 10000);
    }
    resetRaw();

    // The read-outs sit in a row of their own under the spectrum pages.
    struct Row
    {
        QCustomPlot *plot;
        QGridLayout *layout;
        PeakReadout::Page kind;
        PeakReadout **readout;
    };
    const Row rows[] = {
        {ui.spectrum_wdgt, ui.plotLayout_1, PeakReadout::Page::Spectrum, &spectrumPeaks},
        {ui.rangeSpectrum_wdgt, ui.plotLayout_2, PeakReadout::Page::Range, &rangePeaks},
        {ui.dopplerPlot_wdgt, ui.plotLayout_3, PeakReadout::Page::DopplerShift, &dopplerPeaks}};
    for (const Row &row : rows) {
        auto *readout = new PeakReadout(row.plot, row.kind, row.plot->parentWidget());
        row.layout->addWidget(readout, 3, 0, 1, 5);
        connect(readout, &PeakReadout::settingsChanged, this, &LinePages::settingsChanged);
        *row.readout = readout;
    }
    new PlotTools(ui.rawPlot_wdgt, [this] { resetRaw(); });
    new PlotTools(ui.spectrum_wdgt, [this] { resetSpectrum(); });
    new PlotTools(ui.rangeSpectrum_wdgt, [this] { resetRange(); });
    new PlotTools(ui.dopplerPlot_wdgt, [this] { resetDoppler(); });
}

void LinePages::draw(Page page, const QVector<double> &w, const RadarMath::FrameAxes &axes)
{
    if (page == Raw) {
        drawRaw(w, axes.samplePeriodS);
        return;
    }
    PeakReadout *readout = page == Spectrum ? spectrumPeaks : page == Range ? rangePeaks : dopplerPeaks;
    QCustomPlot *plot = page == Spectrum ? ui.spectrum_wdgt
                        : page == Range  ? ui.rangeSpectrum_wdgt
                                         : ui.dopplerPlot_wdgt;
    const DisplaySpectrum s = displaySpectrum(w, readout->window());
    // A range is a distance: a down-chirp gives the same ascending axis as an up-chirp.
    const QVector<double> keys = readout->keys(s.shown.size(), axes, w.size());
    if (page == Spectrum) {
        plot->yAxis->setLabel(QString::fromLatin1(kPowerLabel));
        plot->xAxis->setLabel(QStringLiteral("Frequency (Hz)"));
    }
    LinePlot::setData(plot, keys, s.shown);
    if (page == Doppler)
        readout->setNote(DopplerView::note(sweepType()));
    showPeaks(readout, plot, s, axes, w.size());
    if (page == Range) {
        if (!keys.isEmpty())
            rangeTop = keys.last();
        if (resetRangePending) {
            resetRange();
            resetRangePending = false;
        }
    }
}

void LinePages::drawRaw(const QVector<double> &w, double samplePeriodS)
{
    const int n = w.size();
    QVector<double> t(n);
    for (int k = 0; k < n; ++k)
        t[k] = k * samplePeriodS;
    QCustomPlot *p = ui.rawPlot_wdgt;
    p->xAxis->setLabel(QStringLiteral("Time (s)"));
    p->yAxis->setLabel(QStringLiteral("Amplitude (V)"));
    if (t.last() != lastRawTime) {
        lastRawTime = t.last();
        p->xAxis->setRange(0, lastRawTime);
    }
    LinePlot::show(p, t, w);
}

void LinePages::showPeaks(PeakReadout *readout, QCustomPlot *plot, const DisplaySpectrum &s,
                          const RadarMath::FrameAxes &axes, int n)
{
    readout->show(s, axes, n);
    LinePlot::refresh(plot);
}

void LinePages::resetRaw()
{
    ui.rawPlot_wdgt->yAxis->setRange(-2.5, 2.5);
    ui.rawPlot_wdgt->xAxis->setRange(0, lastRawTime);
    ui.rawPlot_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void LinePages::resetSpectrum()
{
    ui.spectrum_wdgt->yAxis->setRange(-120, 0);
    ui.spectrum_wdgt->xAxis->setRange(0, 10000);
    ui.spectrum_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void LinePages::resetRange()
{
    ui.rangeSpectrum_wdgt->yAxis->setRange(-120, 0);
    ui.rangeSpectrum_wdgt->xAxis->setRange(0, rangeTop);
    ui.rangeSpectrum_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void LinePages::resetDoppler()
{
    ui.dopplerPlot_wdgt->yAxis->setRange(-120, 0);
    ui.dopplerPlot_wdgt->xAxis->setRange(
        0, DopplerView::resetTop(ui.dopplerPlot_wdgt, sweepType(), 10000));
    ui.dopplerPlot_wdgt->replot(QCustomPlot::rpRefreshHint);
}

void LinePages::setZoom(QCustomPlot *plot, QCheckBox *xBox, QCheckBox *yBox)
{
    Qt::Orientations zoom;
    if (xBox->isChecked())
        zoom |= Qt::Horizontal;
    if (yBox->isChecked())
        zoom |= Qt::Vertical;
    if (zoom) {
        plot->setInteraction(QCP::iRangeZoom, true);
        plot->axisRect()->setRangeZoom(zoom);
    } else {
        plot->axisRect()->setRangeZoom(Qt::Vertical);
        plot->setInteraction(QCP::iRangeZoom, false);
    }
}

QJsonArray LinePages::markers() const
{
    return PlotMarkers::json(
        {ui.spectrum_wdgt, ui.rangeSpectrum_wdgt, ui.dopplerPlot_wdgt, ui.rawPlot_wdgt});
}
