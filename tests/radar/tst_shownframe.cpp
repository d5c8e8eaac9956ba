// SPDX-License-Identifier: GPL-3.0-or-later
// The frame on show: the axes and sidecar it is drawn and saved with, live or from a file.
#include "radar/ShownFrame.h"

#include <QtTest>

class ShownFrameTest : public QObject
{
    Q_OBJECT
private slots:
    void liveFramesTakeTheKitsSweep();
    void recordedFramesKeepTheirOwnAxes();
    void twoPulseCancelNeedsAPreviousOfTheSameLength();
};

namespace {

KnownKit kit(double startGHz, double stopGHz, double rampMs, bool known = true)
{
    KnownKit k;
    k.kit.link = QStringLiteral("USB");
    k.kit.serial = QStringLiteral("SIM0001");
    k.kit.axes.samplePeriodS = 5e-05;
    k.kit.axes.sweep = {startGHz, stopGHz, rampMs};
    k.kit.sweepType = 2;
    k.freqsKnown = known;
    k.rampKnown = known;
    return k;
}

} // namespace

void ShownFrameTest::liveFramesTakeTheKitsSweep()
{
    ShownFrame f;
    f.file = QStringLiteral("old.txt");
    f.showLive({0.1, 0.2, 0.3}, kit(24.0, 24.25, 1.0), FrameMeta::Averaging::MeanOfTen);
    QVERIFY(f.live());
    QCOMPARE(f.axes.sweep.stopGHz, 24.25);
    QCOMPARE(f.meta.sampleCount, 3);
    QVERIFY(f.meta.sweepKnown);
    QCOMPARE(f.meta.sweepType, 2);
    QCOMPARE(f.meta.averaging, FrameMeta::Averaging::MeanOfTen);
    QVERIFY(f.liveLabel().startsWith(QStringLiteral("Live frame (")));

    // Until the kit has answered both its frequencies and its ramp, the sweep is not claimed.
    f.showLive({0.1}, kit(24.0, 24.25, 1.0, false), FrameMeta::Averaging::None);
    QVERIFY(!f.meta.sweepKnown);
}

void ShownFrameTest::recordedFramesKeepTheirOwnAxes()
{
    ShownFrame f;
    f.showLive({1.0, 1.0}, kit(24.0, 24.25, 1.0), FrameMeta::Averaging::None);

    Recording::Frame file;
    file.readOk = true;
    file.path = QStringLiteral("/tmp/run/data3.txt");
    file.samples = {0.5, 0.25};
    file.hasMeta = true;
    file.meta.sweepKnown = true;
    file.meta.sweep = {24.0, 25.0, 60.0};
    file.meta.samplePeriodS = 4.505e-05;
    file.meta.capturedUtc = QDateTime(QDate(2026, 5, 4), QTime(10, 0), Qt::UTC);
    const QString label = f.showRecorded(file, kit(24.0, 24.25, 1.0));
    QVERIFY(!f.live());
    QCOMPARE(f.axes.sweep.rampMs, 60.0);
    QCOMPARE(f.axes.samplePeriodS, 4.505e-05);
    QCOMPARE(f.previous, (QVector<double>{1.0, 1.0}));
    QVERIFY(label.contains(QStringLiteral("data3.txt")));
    QVERIFY(label.contains(QStringLiteral("2026-05-04")));

    // Saved before the kit answered: its samples on the kit's sweep now.
    file.meta.sweepKnown = false;
    f.showRecorded(file, kit(24.0, 24.25, 1.0));
    QCOMPARE(f.axes.sweep.stopGHz, 24.25);
    QCOMPARE(f.axes.samplePeriodS, 4.505e-05);

    // No sidecar at all: this kit as it is set up now, and said so.
    file.hasMeta = false;
    QVERIFY(f.showRecorded(file, kit(23.0, 24.0, 2.0)).endsWith(QStringLiteral("(no metadata)")));
    QCOMPARE(f.axes.sweep.startGHz, 23.0);
    QCOMPARE(f.sidecar().sampleCount, 2);
}

void ShownFrameTest::twoPulseCancelNeedsAPreviousOfTheSameLength()
{
    ShownFrame f;
    f.replace({1.0, 2.0, 3.0});
    QCOMPARE(f.drawn(true), (QVector<double>{1.0, 2.0, 3.0})); // nothing before it
    f.replace({1.5, 2.0, 2.0});
    QCOMPARE(f.drawn(true), (QVector<double>{0.5, 0.0, -1.0}));
    QCOMPARE(f.drawn(false), (QVector<double>{1.5, 2.0, 2.0}));
    f.replace({1.0});
    QCOMPARE(f.drawn(true), (QVector<double>{1.0}));
    QVERIFY(ShownFrame::sameAxes(f.axes, f.axes));
    RadarMath::FrameAxes other = f.axes;
    other.sweep.rampMs += 1;
    QVERIFY(!ShownFrame::sameAxes(f.axes, other));
}

QTEST_MAIN(ShownFrameTest)
#include "tst_shownframe.moc"
