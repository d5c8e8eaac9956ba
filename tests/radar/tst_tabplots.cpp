// SPDX-License-Identifier: GPL-3.0-or-later
// The radar tab's plot pages: the line views, the colour maps over time, the axis modes and the
// zoom and reset controls; with frames from a virtual kit and with frames set directly.
#include "TabProbe.h"
#include "support/RadarTestSupport.h"
#include "widgets/PeakReadout.h"

#include <QRadioButton>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// Key of the highest point of graph 0.
double peakKey(QCustomPlot *plot)
{
    double best = -std::numeric_limits<double>::infinity();
    double key = qQNaN();
    for (const QCPGraphData &d : *plot->graph(0)->data()) {
        if (d.value > best) {
            best = d.value;
            key = d.key;
        }
    }
    return key;
}

// Value coordinate of the highest cell of one column of a colour map.
double peakRow(QCPColorMap *map, int column, int *rowOut = nullptr)
{
    QCPColorMapData *data = map->data();
    int best = 0;
    for (int r = 1; r < data->valueSize(); ++r)
        if (data->cell(column, r) > data->cell(column, best))
            best = r;
    double key = 0, value = 0;
    data->cellToCoord(column, best, &key, &value);
    if (rowOut)
        *rowOut = best;
    return value;
}

QVector<double> tone(int n, double cyclesPerSample, double amplitude = 1.0)
{
    QVector<double> v(n);
    for (int k = 0; k < n; ++k)
        v[k] = amplitude * std::cos(2 * M_PI * cyclesPerSample * k);
    return v;
}

void expectRange(const QCPRange &r, double lower, double upper)
{
    QVERIFY2(qFuzzyCompare(r.lower + 1, lower + 1) && qFuzzyCompare(r.upper, upper),
             qPrintable(QStringLiteral("%1 .. %2, expected %3 .. %4")
                            .arg(r.lower)
                            .arg(r.upper)
                            .arg(lower)
                            .arg(upper)));
}

} // namespace

class TabPlotsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rangeAndSpectrumPeaksAtTheTarget();
    void continuousWaveTargetShowsItsVelocity();
    void twoPulseCancellation();
    void rawViewAxes();
    void smallFramesAndTheRangeAxis();
    void rawMapUsesTheSamplePeriod();
    void axisModes();
    void zoomCheckBoxes();
    void resetButtons();
    void mousePress();

private:
    std::unique_ptr<SimKits> sim;
    std::unique_ptr<TR7310_tab> kitTab;
    usbTMCabstraction noLink;
};

void TabPlotsTest::initTestCase()
{
    quickStartUp();
    sim = std::make_unique<SimKits>();
    sim->kit().clearReceived();
    kitTab = std::make_unique<TR7310_tab>(&sim->usb, sim->target(), QStringLiteral("1.0.0"),
                                          QStringLiteral("KV7310"), QStringLiteral("SIM0001"));
    kitTab->setTunePause([](int) {});
    kitTab->resize(1000, 700);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim->kit()), 5000);
    TR7310_tabProbe p(*kitTab);
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("24"));
    QCOMPARE(p.text("stopFreq_txt"), QStringLiteral("24.25"));
    QCOMPARE(p.text("ramptime_txt"), QStringLiteral("1"));
}

void TabPlotsTest::cleanupTestCase()
{
    kitTab.reset();
    sim.reset();
}

void TabPlotsTest::rangeAndSpectrumPeaksAtTheTarget()
{
    TR7310_tabProbe p(*kitTab);
    sim->singleTarget(2.0);
    // A ramp longer than the frame (51.2 ms) gives one clean tone; 2 GHz keeps it well off 0 Hz.
    SimSweep sweep = sim->kit().sweep();
    const SimSweep before = sweep;
    sweep.stopGHz = 26.0;
    sweep.rampMs = 60.0;
    sim->kit().setSweep(sweep);
    p.readBack();
    const int n = 1024;
    const double fs = 20000.0;
    const double binHz = fs / (7 * n);
    const double k = 2 * 2e9 / 60e-3;
    const double binM = binHz * 3e8 / k;

    p.showPage(2);
    p.setText("numSamples_txt", QString::number(n));
    p.click("collect_btn");
    QCustomPlot *range = p.plotWidget("rangeSpectrum_wdgt");
    QCOMPARE(range->graph(0)->data()->size(), 7 * n / 2);
    QVERIFY2(qAbs(peakKey(range) - 2.0) <= binM, qPrintable(QString::number(peakKey(range))));
    // The first range plot resets the axes to the whole profile.
    const double lastBinM = (7 * n / 2 - 1) * binHz * 3e8 / k;
    QCOMPARE(p.maxRange(), lastBinM);
    expectRange(range->xAxis->range(), 0, lastBinM);
    expectRange(range->yAxis->range(), -120, 0);

    // The zero bin takes its neighbour's value.
    auto it = range->graph(0)->data()->constBegin();
    QCOMPARE(it->value, (it + 1)->value);

    // Switching the page draws the same frame as a spectrum, without a capture.
    sim->kit().clearReceived();
    p.showPage(1);
    QVERIFY(sim->received().isEmpty());
    QCustomPlot *spectrum = p.plotWidget("spectrum_wdgt");
    const double beat = 2 * (2e9 / 60e-3) * 2.0 / 3e8;
    QVERIFY2(qAbs(peakKey(spectrum) - beat) <= binHz,
             qPrintable(QString::number(peakKey(spectrum))));
    QCOMPARE(spectrum->xAxis->label(), QStringLiteral("Frequency (Hz)"));
    QCOMPARE(spectrum->yAxis->label(), QStringLiteral("Power (dBV rms)"));

    // The vs-time page in range mode puts the target at 2 m as well.
    p.showPage(5);
    QCOMPARE(p.vsTimeMap()->data()->valueSize(), 7 * n / 2);
    QVERIFY(qAbs(peakRow(p.vsTimeMap(), 0) - 2.0) <= 2 * binM);
    // Its colour span is that of the spectrum it shows; columns not yet captured hold no value.
    const QCPRange colours = p.vsTimeScale()->dataRange();
    // The top of the span (its 99.9th percentile) lies just under the 0.5 V tone's level,
    // 20 log10(0.5 / sqrt(2)) = -9.03 dBV.
    const double toneDb = 20 * std::log10(0.5 / std::sqrt(2.0));
    QVERIFY2(colours.upper > toneDb - 3 && colours.upper <= toneDb + 0.5 && colours.lower < -60,
             qPrintable(QString::number(colours.upper)));
    QVERIFY(qIsNaN(p.vsTimeMap()->data()->cell(1, 100)));
    // A capture is one column, however often its page is shown again.
    const int next = p.vsTimeColumn();
    p.showPage(1);
    p.showPage(5);
    QCOMPARE(p.vsTimeColumn(), next);
    QVERIFY(qIsNaN(p.vsTimeMap()->data()->cell(1, 100)));
    p.showPage(0);
    sim->kit().setSweep(before);
    p.readBack();
}

void TabPlotsTest::continuousWaveTargetShowsItsVelocity()
{
    TR7310_tabProbe p(*kitTab);
    sim->singleTarget(3.0, 1.0);
    p.click("continuousWave_rdbtn");
    QCOMPARE(sim->kit().sweep().type, 3);
    p.click("setVelocityAxis_rdbn");
    // v = f_d c / (2 f0): 10 kHz at 24 GHz is 62.5 m/s.
    expectRange(p.vsTimeMap()->data()->valueRange(), 0, 62.5);
    QCOMPARE(p.vsTimeTitle()->text(), QStringLiteral("Velocity Vs Time"));
    p.showPage(5);
    p.setText("numSamples_txt", QStringLiteral("2048"));
    p.click("collect_btn");
    const int column = p.vsTimeColumn() == 0 ? 149 : p.vsTimeColumn() - 1;
    const double binMps = 20000.0 / (7 * 2048) * 3e8 / (2 * 24e9);
    const double v = peakRow(p.vsTimeMap(), column);
    QVERIFY2(qAbs(v - 1.0) <= 1.5 * binMps, qPrintable(QString::number(v)));

    // The Doppler page shows the shift itself: 2 v f0 / c = 160 Hz.
    p.showPage(3);
    const double fd = peakKey(p.plotWidget("dopplerPlot_wdgt"));
    QVERIFY2(qAbs(fd - 160.0) <= 20000.0 / (7 * 2048), qPrintable(QString::number(fd)));
    // Its reset view fits the band that holds the signal, not the whole 10 kHz.
    p.click("resetDopplerAxes_btn");
    const QCPRange shown = p.plotWidget("dopplerPlot_wdgt")->xAxis->range();
    QVERIFY2(shown.lower == 0 && shown.upper > 170 && shown.upper < 600,
             qPrintable(QString::number(shown.upper)));

    // In an FMCW sweep the page lists no speeds and its reset shows the whole band.
    p.click("twoWayCont_rdbtn");
    p.click("collect_btn");
    QVERIFY(p.plotWidget("dopplerPlot_wdgt")
                ->parentWidget()
                ->findChild<PeakReadout *>()
                ->rows()
                .empty());
    p.click("resetDopplerAxes_btn");
    QCOMPARE(p.plotWidget("dopplerPlot_wdgt")->xAxis->range().upper, 10000.0);
    p.click("setRangeAxis_rdbn");
    p.setText("numSamples_txt", QStringLiteral("1024"));
    p.showPage(0);
}

void TabPlotsTest::twoPulseCancellation()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    p.w<QCheckBox>("twoPulseCancellation_btn")->click();

    // No previous frame of the same length: the frame is drawn unchanged.
    p.show(QVector<double>(10, 1.0));
    p.show(tone(64, 0.1));
    QCPGraphDataContainer::const_iterator it =
        p.plotWidget("rawPlot_wdgt")->graph(0)->data()->constBegin();
    QCOMPARE(it->value, 1.0);

    // Equal frames cancel: zeros, and minus infinity on the spectrum pages.
    p.show(p.samples());
    for (const QCPGraphData &d : *p.plotWidget("rawPlot_wdgt")->graph(0)->data())
        QCOMPARE(d.value, 0.0);
    p.showPage(1);
    for (const QCPGraphData &d : *p.plotWidget("spectrum_wdgt")->graph(0)->data())
        QVERIFY(std::isinf(d.value) && d.value < 0);

    // Off again: the frame itself.
    p.w<QCheckBox>("twoPulseCancellation_btn")->click();
    p.plot();
    QVERIFY(!std::isinf(p.plotWidget("spectrum_wdgt")->graph(0)->data()->at(20)->value));
}

void TabPlotsTest::rawViewAxes()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    QCustomPlot *raw = p.plotWidget("rawPlot_wdgt");
    expectRange(raw->yAxis->range(), -2.5, 2.5);

    // One sample at t = 0 leaves the time axis alone.
    const QCPRange before = raw->xAxis->range();
    p.show({0.5});
    QCOMPARE(raw->graph(0)->data()->size(), 1);
    QCOMPARE(raw->xAxis->range(), before);

    p.show(tone(1000, 0.01));
    QCOMPARE(raw->xAxis->label(), QStringLiteral("Time (s)"));
    QCOMPARE(raw->yAxis->label(), QStringLiteral("Amplitude (V)"));
    expectRange(raw->xAxis->range(), 0, 0.04995);
    raw->xAxis->setRange(0.01, 0.02);
    raw->yAxis->setRange(-1, 1);
    p.click("zoomRaw2Fit_btn");
    expectRange(raw->xAxis->range(), 0, 0.04995);
    expectRange(raw->yAxis->range(), -2.5, 2.5);

    // Empty frames draw nothing.
    p.show({});
    QCOMPARE(raw->graph(0)->data()->size(), 1000);
}

void TabPlotsTest::smallFramesAndTheRangeAxis()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    p.setSweep(24.0, 24.25, 1);

    p.show({0.3});
    p.showPage(1);
    QCOMPARE(p.plotWidget("spectrum_wdgt")->graph(0)->data()->size(), 3);

    p.show(tone(1000, 0.05));
    p.showPage(2);
    QCOMPARE(p.maxRange(), 3499 * (20000.0 / 7000) * 3e8 / 5e11);
    // A pure tone at a bin frequency peaks there: 0.05 cycles/sample is 1000 Hz, bin 350.
    p.showPage(1);
    QCOMPARE(peakKey(p.plotWidget("spectrum_wdgt")), 350 * 20000.0 / 7000);
}

void TabPlotsTest::rawMapUsesTheSamplePeriod()
{
    for (const QString &version : {QStringLiteral("1.0.0"), QStringLiteral("1.1.0")}) {
        TR7310_tab tab(&noLink, QString(), version, QString(), QString());
        TR7310_tabProbe p(tab);
        p.showPage(4);
        p.show(QVector<double>(1000, 0.0));
        const double period = version == QLatin1String("1.1.0") ? 4.505e-05 : 5e-05;
        expectRange(p.rawTimeMap()->data()->valueRange(), 0, 1000 * period);
        expectRange(p.rawTimeMap()->data()->keyRange(), 0, 149);
    }
}

void TabPlotsTest::axisModes()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    p.setSweep(24.0, 24.25, 1);
    QCustomPlot *plot = p.plotWidget("FrequencyVsTimePlot_wdgt");
    QVERIFY(p.w<QRadioButton>("setRangeAxis_rdbn")->isChecked());

    p.click("setFreqAxis_rdbn");
    expectRange(p.vsTimeMap()->data()->valueRange(), 0, 10000);
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Frequency (Hz)"));
    QCOMPARE(p.vsTimeTitle()->text(), QStringLiteral("Frequency Vs Time"));

    p.click("setVelocityAxis_rdbn");
    expectRange(p.vsTimeMap()->data()->valueRange(), 0, 62.5);
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Velocity (m/s)"));

    p.click("setRangeAxis_rdbn");
    expectRange(p.vsTimeMap()->data()->valueRange(), 0, 6);
    expectRange(p.vsTimeMap()->data()->keyRange(), 0, 149);
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Range (m)"));
    QCOMPARE(p.vsTimeTitle()->text(), QStringLiteral("Range Vs Time"));

    // No mode checked: nothing is relabelled.
    for (const char *name : {"setRangeAxis_rdbn", "setVelocityAxis_rdbn", "setFreqAxis_rdbn"}) {
        p.w<QRadioButton>(name)->setAutoExclusive(false);
        p.w<QRadioButton>(name)->setChecked(false);
    }
    p.setSweep(12, 24.25, 1);
    QMetaObject::invokeMethod(&tab, "on_setRangeAxis_rdbn_clicked");
    expectRange(p.vsTimeMap()->data()->valueRange(), 0, 6);
    QCOMPARE(plot->yAxis->label(), QStringLiteral("Range (m)"));

    // Firmware 1.1.0 samples faster: the rows reach half its sample rate.
    TR7310_tab fast(&noLink, QString(), QStringLiteral("1.1.0"), QString(), QString());
    TR7310_tabProbe q(fast);
    q.click("setFreqAxis_rdbn");
    expectRange(q.vsTimeMap()->data()->valueRange(), 0, 0.5 / 4.505e-05);
}

void TabPlotsTest::zoomCheckBoxes()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    QCustomPlot *spectrum = p.plotWidget("spectrum_wdgt");
    QCOMPARE(spectrum->axisRect()->rangeZoom(), Qt::Horizontal | Qt::Vertical);
    QVERIFY(spectrum->interactions().testFlag(QCP::iRangeZoom));

    p.click("specPlot_zoomY");
    QCOMPARE(spectrum->axisRect()->rangeZoom(), Qt::Orientations(Qt::Horizontal));
    QVERIFY(spectrum->interactions().testFlag(QCP::iRangeZoom));
    p.click("specPlot_zoomX");
    QVERIFY(!spectrum->interactions().testFlag(QCP::iRangeZoom));
    p.click("specPlot_zoomY");
    QCOMPARE(spectrum->axisRect()->rangeZoom(), Qt::Orientations(Qt::Vertical));
    QVERIFY(spectrum->interactions().testFlag(QCP::iRangeZoom));
    QVERIFY(spectrum->interactions().testFlag(QCP::iRangeDrag)); // dragging is never switched off

    const QList<QPair<const char *, const char *>> pairs{
        {"rawPlot_zoomX", "rawPlot_wdgt"},
        {"rangePlot_zoomX", "rangeSpectrum_wdgt"},
        {"doppler_zoomX", "dopplerPlot_wdgt"},
        {"rawTime_zoomX", "rawTime_wdgt"},
        {"freqVtime_zoomX", "FrequencyVsTimePlot_wdgt"}};
    for (const auto &pair : pairs) {
        p.click(pair.first); // only the y box stays checked
        QCOMPARE(p.plotWidget(pair.second)->axisRect()->rangeZoom(),
                 Qt::Orientations(Qt::Vertical));
    }
    QCOMPARE(p.w<QCheckBox>("doppler_zoomX")->text(), QStringLiteral("x-Axis"));
}

void TabPlotsTest::resetButtons()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    for (const char *name : {"spectrum_wdgt", "dopplerPlot_wdgt"}) {
        QCustomPlot *plot = p.plotWidget(name);
        plot->xAxis->setRange(100, 200);
        plot->yAxis->setRange(-50, -40);
    }
    p.click("specPlot_axesReset_btn");
    p.click("resetDopplerAxes_btn");
    for (const char *name : {"spectrum_wdgt", "dopplerPlot_wdgt"}) {
        expectRange(p.plotWidget(name)->xAxis->range(), 0, 10000);
        expectRange(p.plotWidget(name)->yAxis->range(), -120, 0);
    }

    p.setSweep(24.0, 24.25, 1);
    p.show(tone(512, 0.1));
    p.showPage(2);
    QCustomPlot *range = p.plotWidget("rangeSpectrum_wdgt");
    range->xAxis->setRange(1, 2);
    p.show(tone(512, 0.2));
    expectRange(range->xAxis->range(), 1, 2); // reset automatically only once
    p.click("resetRangeAxes_btn");
    // The last bin of 512 samples padded to 3584: 1791 bins of 20 kHz / 3584, at 0.25 GHz/ms.
    expectRange(range->xAxis->range(), 0, 1791 * (20000.0 / 3584) * 3e8 / 5e11);

    p.showPage(4);
    QCustomPlot *rawTime = p.plotWidget("rawTime_wdgt");
    rawTime->xAxis->setRange(40, 50);
    p.click("resetRawTimeAxes_btn");
    QVERIFY(rawTime->xAxis->range().lower <= 0 && rawTime->xAxis->range().upper >= 149);

    p.showPage(5);
    QCustomPlot *vs = p.plotWidget("FrequencyVsTimePlot_wdgt");
    vs->yAxis->setRange(1, 2);
    p.vsTimeScale()->setDataRange(QCPRange(-1, 1));
    p.click("resetFreqVTimeAxes_btn");
    QVERIFY(vs->yAxis->range().upper > 5);
    QVERIFY(p.vsTimeScale()->dataRange().lower < -1);
}

void TabPlotsTest::mousePress()
{
    TR7310_tab tab(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(tab);
    tab.show();
    RadarLogOn log;
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QTest::ignoreMessage(QtDebugMsg, "mouse event");
    p.mousePress(&left);
    QVERIFY(!p.rubberBand() || !p.rubberBand()->isVisible());

    QMouseEvent right(QEvent::MouseButtonPress, QPointF(20, 30), QPointF(20, 30), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QTest::ignoreMessage(QtDebugMsg, "mouse event");
    QTest::ignoreMessage(QtDebugMsg, "right click");
    p.mousePress(&right);
    QVERIFY(p.rubberBand() && p.rubberBand()->isVisible());
    QCOMPARE(p.rubberBand()->pos(), QPoint(20, 30));
}

QTEST_MAIN(TabPlotsTest)
#include "tst_tabplots.moc"
