// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/TimeMaps.h"

#include "radar/ShownFrame.h"
#include "dsp/PaddedFft.h"
#include "dsp/PowerUnits.h"
#include "ui_TR7310_tab.h"
#include "widgets/ColourSpanControl.h"
#include "widgets/LinePlot.h"
#include "widgets/Logging.h"
#include "widgets/PlotTools.h"

#include <QGridLayout>

#include <qcustomplot.h>

namespace {

// Whether a map whose last capture is last takes capture: not when its page is only shown again.
bool takeOnce(quint64 &last, quint64 capture)
{
    if (capture == last)
        return false;
    last = capture;
    return true;
}

} // namespace

TimeMaps::TimeMaps(Ui::TR7310_tab &form, QObject *parent) : QObject(parent), ui(form)
{
    // Raw samples keep their sign on screen; a spectrum keeps its peaks.
    rawPage = std::make_unique<MapPage>(
        ui.rawTime_wdgt, new ColourSpanControl(ui.rawTime_wdgt->parentWidget()),
        ScreenDecimation::Keep::Extreme,
        new QCPTextElement(ui.rawTime_wdgt, QStringLiteral("Raw Vs Time"), LinePlot::titleFont()),
        QStringLiteral("Long Time (Capture Number)"), QStringLiteral("Short Time (s)"),
        QStringLiteral("Amplitude"), 100.0);
    vsTimeTitle = new QCPTextElement(ui.FrequencyVsTimePlot_wdgt, QStringLiteral("Range Vs Time"),
                                     LinePlot::titleFont());
    vsTimePage = std::make_unique<MapPage>(
        ui.FrequencyVsTimePlot_wdgt,
        new ColourSpanControl(ui.FrequencyVsTimePlot_wdgt->parentWidget()),
        ScreenDecimation::Keep::Highest, vsTimeTitle, QStringLiteral("Capture Number"),
        QStringLiteral("Frequency (Hz)"), QString::fromLatin1(kPowerLabel), 0.0);

    // The colour spans sit beside the maps' reset buttons.
    ui.plotLayout_4->addWidget(rawPage->colourControl(), 0, 1, 1, 4, Qt::AlignRight);
    ui.plotLayout_5->addWidget(vsTimePage->colourControl(), 0, 4, Qt::AlignRight);
    connect(rawPage->colourControl(), &ColourSpanControl::changed, this,
            [this] { rawPage->applyColours(); });
    connect(vsTimePage->colourControl(), &ColourSpanControl::changed, this,
            [this] { vsTimePage->applyColours(); });
    new PlotTools(ui.rawTime_wdgt, [this] { rawPage->resetAxes(); });
    new PlotTools(ui.FrequencyVsTimePlot_wdgt, [this] { vsTimePage->resetAxes(); });
}

TimeMaps::~TimeMaps() = default;

void TimeMaps::addRaw(const QVector<double> &w, const RadarMath::FrameAxes &axes,
                      quint64 capture)
{
    if (!takeOnce(rawCapture, capture))
        return;
    const int n = w.size();
    // The start-up layout is 50 x 50 for 100 rows; frames of 100 samples need the full layout too.
    if (!rawPage->laidOutFor(n, n)) {
        qCDebug(lcRadar, "startingOver");
        rawPage->setValueRange(QCPRange(0, n * axes.samplePeriodS));
        rawPage->layOut(n, n);
    }
    rawPage->addColumn(w.constData(), n);
}

void TimeMaps::addSpectrum(const QVector<double> &w, const RadarMath::FrameAxes &axes,
                           quint64 capture)
{
    if (!takeOnce(spectrumCapture, capture))
        return;
    const int n = w.size();
    const int rows = (7 * n) / 2;
    if (!vsTimePage->laidOutFor(n, rows)) {
        qCDebug(lcRadar, "startingOver");
        vsTimePage->layOut(n, rows);
        applyAxisMode(axes);
    } else if (!ShownFrame::sameAxes(axes, vsTimeAxes)) {
        applyAxisMode(axes); // the kit was set to another sweep: label the rows for it
    }
    const QVector<double> p = mapSpectrum(w);
    vsTimePage->addColumn(p.constData(), p.size());
}

void TimeMaps::axesChanged(const RadarMath::FrameAxes &axes)
{
    if (vsTimePage->frameLength() > 0)
        applyAxisMode(axes);
}

void TimeMaps::applyAxisMode(const RadarMath::FrameAxes &axes)
{
    vsTimeAxes = axes;
    // The map's rows run from 0 Hz up to half the sample rate (10 kHz at 20 kHz sampling).
    const double topHz = axes.sampleRateHz() / 2.0;
    QCustomPlot *plot = ui.FrequencyVsTimePlot_wdgt;
    if (ui.setFreqAxis_rdbn->isChecked()) {
        vsTimePage->setValueRange(QCPRange(0, topHz));
        plot->yAxis->setLabel(QStringLiteral("Frequency (Hz)"));
        vsTimeTitle->setText(QStringLiteral("Frequency Vs Time"));
    } else if (ui.setVelocityAxis_rdbn->isChecked()) {
        const double topMps =
            RadarMath::velocityForDoppler(topHz, RadarMath::carrierHz(axes.sweep));
        vsTimePage->setValueRange(QCPRange(0, topMps));
        plot->yAxis->setLabel(QStringLiteral("Velocity (m/s)"));
        vsTimeTitle->setText(QStringLiteral("Velocity Vs Time"));
    } else if (ui.setRangeAxis_rdbn->isChecked()) {
        vsTimePage->setValueRange(QCPRange(0, RadarMath::rangeForBeat(topHz, axes.sweep)));
        plot->yAxis->setLabel(QStringLiteral("Range (m)"));
        vsTimeTitle->setText(QStringLiteral("Range Vs Time"));
    }
    plot->replot(QCustomPlot::rpRefreshHint);
    vsTimePage->resetAxes();
}
