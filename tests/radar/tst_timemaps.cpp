// SPDX-License-Identifier: GPL-3.0-or-later
// The two colour maps over time on their own form: columns wrap after 150 captures, a frame of
// another length lays a map out again, and the spectrum map's rows follow the axis buttons.
#include "radar/TimeMaps.h"
#include "widgets/MapImage.h"

#include "ui_TR7310_tab.h"

#include <QRadioButton>
#include <QtTest>

#include <qcustomplot.h>

#include <cmath>

namespace {

QVector<double> tone(int n, double cyclesPerSample)
{
    QVector<double> v(n);
    for (int k = 0; k < n; ++k)
        v[k] = 0.2 * std::sin(2 * M_PI * cyclesPerSample * k);
    return v;
}

RadarMath::FrameAxes axes(double startGHz, double stopGHz, double rampMs)
{
    RadarMath::FrameAxes a;
    a.samplePeriodS = 5e-05;
    a.sweep = {startGHz, stopGHz, rampMs};
    return a;
}

// The tab's form on a plain widget, for the maps to draw on.
struct Form
{
    Form() : maps((ui.setupUi(&widget), ui)) {}
    QWidget widget;
    Ui::TR7310_tab ui{}; // zeroed: setupUi fills it before TimeMaps reads it
    TimeMaps maps;
    const RadarMath::FrameAxes a = axes(24.0, 24.25, 1.0);
};

} // namespace

class TimeMapsTest : public QObject
{
    Q_OBJECT
private slots:
    void rawMapWrapsAndLaysOutAgain();
    void spectrumMapRowsAndLabels();
};

void TimeMapsTest::rawMapWrapsAndLaysOutAgain()
{
    Form f;
    TimeMaps &maps = f.maps;
    const RadarMath::FrameAxes &a = f.a;
    for (int i = 0; i < 150; ++i)
        maps.addRaw(QVector<double>(64, i / 150.0), a, quint64(i) + 1);
    QCPColorMapData *raw = maps.raw().map()->data();
    QCOMPARE(raw->keySize(), 150);
    QCOMPARE(raw->valueSize(), 64);
    QCOMPARE(maps.raw().column(), 0);
    // The value axis is the frame's time: 64 samples of 50 us.
    QCOMPARE(raw->valueRange().upper, 64 * 5e-05);
    QCOMPARE(raw->cell(149, 10), 149 / 150.0);
    maps.addRaw(QVector<double>(64, -1.0), a, 151);
    maps.addRaw(QVector<double>(64, -1.0), a, 151); // the same capture again: no new column
    QCOMPARE(raw->cell(0, 10), -1.0); // the 151st frame overwrites the oldest column
    QCOMPARE(raw->cell(1, 10), 1 / 150.0);
    QCOMPARE(maps.raw().column(), 1);

    // A frame of another length starts over, the columns not yet captured empty.
    maps.addRaw(QVector<double>(32, 0.5), a, 152);
    QCOMPARE(raw->valueSize(), 32);
    QCOMPARE(raw->cell(0, 5), 0.5);
    QVERIFY(std::isnan(raw->cell(1, 5)));
    QCOMPARE(maps.raw().column(), 1);
}

void TimeMapsTest::spectrumMapRowsAndLabels()
{
    // floor(3.5 N) rows; the same wrap.
    Form f;
    for (int i = 0; i < 151; ++i)
        f.maps.addSpectrum(tone(31, 0.2), f.a, quint64(i) + 1);
    TimeMaps &maps = f.maps;
    Ui::TR7310_tab &ui = f.ui;
    const RadarMath::FrameAxes &a = f.a;
    QCPColorMapData *vs = maps.spectrum().map()->data();
    QCOMPARE(vs->valueSize(), 108);
    QCOMPARE(maps.spectrum().column(), 1);
    maps.addSpectrum(tone(40, 0.2), a, 152);
    QCOMPARE(vs->valueSize(), 140);

    // Rows up to half the sample rate: 10 kHz; as range, R = f c / (2 k) with
    // k = 0.25 GHz / 1 ms: 10 kHz is 6 m; as velocity at 24 GHz, v = f c / (2 f0) = 62.5 m/s.
    ui.setFreqAxis_rdbn->setChecked(true);
    maps.applyAxisMode(a);
    QCOMPARE(vs->valueRange().upper, 10000.0);
    QCOMPARE(maps.spectrumTitle()->text(), QStringLiteral("Frequency Vs Time"));
    ui.setRangeAxis_rdbn->setChecked(true);
    maps.applyAxisMode(a);
    QVERIFY(qAbs(vs->valueRange().upper - 6.0) < 1e-9);
    QCOMPARE(ui.FrequencyVsTimePlot_wdgt->yAxis->label(), QStringLiteral("Range (m)"));
    ui.setVelocityAxis_rdbn->setChecked(true);
    maps.applyAxisMode(a);
    QVERIFY(qAbs(vs->valueRange().upper - 62.5) < 0.1);
    // A sweep twice as steep halves the range of the rows, once the map holds frames.
    ui.setRangeAxis_rdbn->setChecked(true);
    maps.axesChanged(axes(24.0, 24.5, 1.0));
    QVERIFY(qAbs(vs->valueRange().upper - 3.0) < 1e-9);
}

QTEST_MAIN(TimeMapsTest)
#include "tst_timemaps.moc"
