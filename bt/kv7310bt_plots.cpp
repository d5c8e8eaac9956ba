// SPDX-License-Identifier: GPL-3.0-or-later
// The Bluetooth tab's plot pages: set-up, axis resets and the sample period they are drawn with.
#include "bt/kv7310bt_tab.h"
#include "ui_kv7310bt_tab.h"

#include "bt/FirmwareChoice.h"
#include "widgets/DopplerView.h"
#include "widgets/LinePlot.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotTools.h"

#include <qcustomplot.h>

void kv7310bt_tab::setUpPlots()
{
    // The pages' empty layouts get the plots the tab draws its frames on.
    QGridLayout *layouts[4] = {ui->plot_layout, ui->spectrum_layout, ui->range_layout,
                               ui->doppler_layout};
    const char *names[4] = {"rawPlot_wdgt", "spectrum_wdgt", "rangeSpectrum_wdgt",
                            "dopplerPlot_wdgt"};
    for (int i = 0; i < 4; ++i) {
        plots[i] = new QCustomPlot(this);
        plots[i]->setObjectName(QLatin1String(names[i]));
        plots[i]->setMinimumSize(380, 300);
        layouts[i]->addWidget(plots[i], 0, 0);
    }
    LinePlot::setUp(plots[RawPage], QStringLiteral("Raw Data"), QStringLiteral("Time (s)"),
                    QStringLiteral("Amplitude (V)"));
    LinePlot::setUp(plots[SpectrumPage], QStringLiteral("Beat Frequency Spectrum Plot"),
                    QStringLiteral("Frequency (Hz)"), QString::fromLatin1(kPowerLabel));
    LinePlot::setUp(plots[RangePage], QStringLiteral("Range Plot"), QStringLiteral("Range (m)"),
                    QString::fromLatin1(kPowerLabel));
    LinePlot::setUp(plots[DopplerPage], QStringLiteral("Doppler Plot"),
                    QStringLiteral("Radial Velocity (m/s)"), QString::fromLatin1(kPowerLabel));
    plots[RawPage]->yAxis->setRange(-2.5, 2.5);
    for (int i = SpectrumPage; i <= DopplerPage; ++i)
        plots[i]->yAxis->setRange(-120, 0);
    const PeakReadout::Page kinds[4] = {PeakReadout::Page::Spectrum, PeakReadout::Page::Spectrum,
                                        PeakReadout::Page::Range,
                                        PeakReadout::Page::DopplerVelocity};
    for (int i = SpectrumPage; i <= DopplerPage; ++i) {
        readouts[i] = new PeakReadout(plots[i], kinds[i], this);
        layouts[i]->addWidget(readouts[i], 1, 0);
        connect(readouts[i], &PeakReadout::settingsChanged, this, [this] { plotData(); });
    }
    for (int i = RawPage; i <= DopplerPage; ++i)
        new PlotTools(plots[i], [this, i] { resetAxes(i); });

    firmwareChoice = new FirmwareChoice(this);
    ui->control_layout->addWidget(firmwareChoice, 21, 0, 1, 4);
    connect(firmwareChoice, &FirmwareChoice::changed, this, &kv7310bt_tab::takeSamplePeriod);
}

void kv7310bt_tab::takeSamplePeriod()
{
    samplePeriod = firmwareChoice->samplePeriodS();
    sampleRate = 1.0 / samplePeriod;
    kitAxes.samplePeriodS = samplePeriod;
    frameAxes.samplePeriodS = samplePeriod; // the frame held came from the same kit
    for (int &length : plottedLength)
        length = -1; // refit the axes to the new period
    plotData();
}

void kv7310bt_tab::resetAxes(int page)
{
    QCustomPlot *plot = plots[page];
    if (page == RawPage)
        plot->yAxis->setRange(-2.5, 2.5);
    else
        plot->yAxis->setRange(-120, 0);
    if (QCPGraph *graph = plot->graph(0)) {
        bool found = false;
        const QCPRange keys = graph->getKeyRange(found);
        if (found && keys.upper > 0)
            plot->xAxis->setRange(0, page == DopplerPage
                                         ? DopplerView::resetTop(plot, kitSweepType, keys.upper)
                                         : keys.upper);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}
