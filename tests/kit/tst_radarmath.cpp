// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/RadarMath.h"

#include <QTest>

#include <cmath>

using namespace RadarMath;

class RadarMathTest : public QObject
{
    Q_OBJECT
private slots:
    // 250 MHz in 1 ms: slope 2.5e11 Hz/s, so a target at 3 m beats at 2·2.5e11·3/3e8 = 5 kHz.
    void rangeAndBeatFollowTheSweep()
    {
        const Sweep up{24.0, 24.25, 1.0};
        QCOMPARE(sweepSlope(up), 2.5e11);
        QCOMPARE(bandwidthHz(up), 2.5e8);
        QCOMPARE(beatForRange(3.0, up), 5000.0);
        QCOMPARE(rangeForBeat(5000.0, up), 3.0);
        QCOMPARE(metresPerHz(up), 6e-4);
        // A ramp of 2 ms halves the slope and doubles the range of the same beat.
        QCOMPARE(rangeForBeat(5000.0, Sweep{24.0, 24.25, 2.0}), 6.0);
    }

    void downChirpGivesTheSameRanges()
    {
        const Sweep up{24.0, 24.2, 1.0};
        const Sweep down{24.2, 24.0, 1.0};
        QVERIFY(sweepSlope(down) < 0);
        QCOMPARE(bandwidthHz(down), bandwidthHz(up));
        QCOMPARE(rangeForBeat(1234.0, down), rangeForBeat(1234.0, up));
        QVERIFY(rangeForBeat(1234.0, down) > 0);
    }

    void zeroRampOrBandwidthIsNotFinite()
    {
        QVERIFY(!std::isfinite(rangeForBeat(100.0, Sweep{24.0, 24.0, 1.0})));
        QCOMPARE(rangeForBeat(100.0, Sweep{24.0, 24.25, 0.0}), 0.0);
    }

    // At 24 GHz, 1 m/s towards the radar shifts by 2·24e9/3e8 = 160 Hz.
    void dopplerIsTwiceTheVelocityOverTheWavelength()
    {
        QCOMPARE(dopplerForVelocity(1.0, 24e9), 160.0);
        QCOMPARE(velocityForDoppler(320.0, 24e9), 2.0);
        QCOMPARE(velocityForDoppler(-160.0, 24e9), -1.0);
        QCOMPARE(carrierHz(Sweep{24.125, 24.2, 1}), 24.125e9);
    }

    void samplePeriodDependsOnTheFirmware()
    {
        QCOMPARE(samplePeriodForFirmware("1.1.0"), 4.505e-05);
        QCOMPARE(samplePeriodForFirmware("KV7310 fw 1.1.0 beta"), 4.505e-05);
        QCOMPARE(samplePeriodForFirmware("1.0.0"), 5e-05);
        QCOMPARE(samplePeriodForFirmware(""), 5e-05);
    }

    void paddedBins()
    {
        QCOMPARE(paddedLength(1024), 7168);
        QCOMPARE(binSpacingHz(20000.0, 1000), 20000.0 / 7000.0);
    }

    void countsAndVolts()
    {
        QCOMPARE(countToVolts(0), -2.5);
        QCOMPARE(countToVolts(0xFFFF), 2.5);
        QCOMPARE(countToVolts(0x8000, kCollectionCountDivisor), 0.0);
        QCOMPARE(voltsToCount(-3.0), std::uint16_t(0));
        QCOMPARE(voltsToCount(9.0), std::uint16_t(65535));
        QCOMPARE(voltsToCount(std::nan("")), std::uint16_t(0));
        for (int c : {0, 1, 12345, 32767, 32768, 65534, 65535})
            QCOMPARE(int(voltsToCount(countToVolts(std::uint16_t(c)))), c);
    }
};

QTEST_APPLESS_MAIN(RadarMathTest)
#include "tst_radarmath.moc"
