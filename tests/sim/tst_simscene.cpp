// SPDX-License-Identifier: GPL-3.0-or-later
// The scene in front of the virtual kit: its noise, its clock and what it accepts.
#include "sim/SimScene.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double kVoltsPerCount = 5.0 / 65535.0; // 16-bit ADC over -2.5..+2.5 V

struct Stats
{
    double meanV = 0;
    double rmsV = 0;
};

Stats stats(const QVector<quint16> &frame)
{
    Stats s;
    for (quint16 c : frame)
        s.meanV += (c * kVoltsPerCount - 2.5) / frame.size();
    for (quint16 c : frame)
        s.rmsV += std::pow(c * kVoltsPerCount - 2.5 - s.meanV, 2) / frame.size();
    s.rmsV = std::sqrt(s.rmsV);
    return s;
}

} // namespace

class SimSceneTest : public QObject
{
    Q_OBJECT

private slots:
    void silentKitShowsOnlyItsNoise()
    {
        SimScene scene;
        scene.setNoiseVrms(0.1);
        // Not radiating: the reflectors are there but the kit does not see them.
        const Stats s = stats(scene.capture(SimSweep(), false, 5e-5, 20000));
        QVERIFY(std::abs(s.meanV) < 0.005); // 0.1 V / sqrt(20000) = 0.7 mV standard error
        QVERIFY(std::abs(s.rmsV - 0.1) < 0.003);

        scene.setNoiseVrms(0.0);
        const Stats quiet = stats(scene.capture(SimSweep(), false, 5e-5, 1000));
        QVERIFY(quiet.rmsV < kVoltsPerCount);
    }

    void seedRestartsTheNoiseSequence()
    {
        SimScene a, b;
        a.setTargets({});
        b.setTargets({});
        a.setSeed(42);
        b.setSeed(42);
        const QVector<quint16> first = a.capture(SimSweep(), true, 5e-5, 256);
        QCOMPARE(b.capture(SimSweep(), true, 5e-5, 256), first);
        QVERIFY(a.capture(SimSweep(), true, 5e-5, 256) != first); // the sequence goes on
        a.setSeed(42);
        QCOMPARE(a.capture(SimSweep(), true, 5e-5, 256), first);
        b.setSeed(43);
        QVERIFY(b.capture(SimSweep(), true, 5e-5, 256) != first);
    }

    void manualClockMovesTargetsBetweenFrames()
    {
        SimScene scene;
        scene.setManualClock(true);
        scene.setDepthM(3.0);
        scene.setTargets({{1.0, 0.5, 0.5, 0.0}});
        scene.capture(SimSweep(), true, 5e-5, 8); // the first frame only starts the clock
        QCOMPARE(scene.targets().value(0).rangeM, 1.0);
        scene.advanceClock(2.0);
        scene.capture(SimSweep(), true, 5e-5, 8);
        QCOMPARE(scene.targets().value(0).rangeM, 2.0);
        scene.advanceClock(3.0); // 1.5 m more: out to the 3 m wall and 0.5 m back
        scene.capture(SimSweep(), true, 5e-5, 8);
        QCOMPARE(scene.targets().value(0).rangeM, 2.5);
        QVERIFY(scene.targets().value(0).velocityMps < 0);
    }

    void refusesWhatNoSceneCanBe()
    {
        SimScene scene;
        scene.setTargets({{-1.0, 0.0, 0.5, 0.0}});
        QCOMPARE(scene.targets().value(0).rangeM, 0.0);
        scene.setNoiseVrms(std::nan(""));
        QCOMPARE(scene.noiseVrms(), 0.0);
        scene.setNoiseVrms(-1.0);
        QCOMPARE(scene.noiseVrms(), 0.0);
        QCOMPARE(scene.capture(SimSweep(), true, 5e-5, -5).size(), 0);
        QCOMPARE(scene.capture(SimSweep(), true, 5e-5, 100000).size(), SimScene::kMaxSamples);
    }
};

QTEST_GUILESS_MAIN(SimSceneTest)
#include "tst_simscene.moc"
