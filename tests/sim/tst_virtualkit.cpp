// SPDX-License-Identifier: GPL-3.0-or-later
// The signals of the virtual kit: tones where the radar equations put them, noise, counts.
#include "sim/VirtualKit.h"

#include <QtTest>

#include <cmath>
#include <complex>

namespace {

constexpr double kC = 3e8;

// A frame fetched the way the USB tab fetches it, in volts by the tab's conversion.
QVector<double> captureOverUsb(VirtualKit &kit, int n)
{
    kit.handleUsbCommand("CAPT:FRAM " + QByteArray::number(n));
    QByteArray text;
    for (int q = 0; q < n / 31 + 1; ++q)
        text += kit.handleUsbCommand("CAPT:FRAM?").chopped(1);
    QVector<double> v;
    for (int i = 0; i < text.size(); i += 4)
        v << text.mid(i, 4).toUInt(nullptr, 16) / 65535.0 * 5.0 - 2.5;
    return v;
}

// Plain DFT magnitudes of bins 0..N/2 after removing the mean.
QVector<double> spectrum(const QVector<double> &x)
{
    const int n = int(x.size());
    double mean = 0;
    for (double v : x)
        mean += v / n;
    QVector<double> mag(n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k) {
        std::complex<double> acc;
        for (int i = 0; i < n; ++i)
            acc += (x[i] - mean) * std::polar(1.0, -2 * M_PI * k * i / n);
        mag[k] = std::abs(acc);
    }
    return mag;
}

int peakBin(const QVector<double> &mag)
{
    return int(std::max_element(mag.begin() + 1, mag.end()) - mag.begin());
}

double rms(const QVector<double> &x)
{
    double mean = 0, sq = 0;
    for (double v : x)
        mean += v / x.size();
    for (double v : x)
        sq += (v - mean) * (v - mean) / x.size();
    return std::sqrt(sq);
}

} // namespace

class SimPhysicsTest : public QObject
{
    Q_OBJECT

private slots:
    void beatToneOfATargetAt2m_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<double>("period");
        QTest::newRow("1.0.0") << "1.0.0" << 5e-05;
        QTest::newRow("1.1.0 inside a longer text") << "v1.1.0-rc" << 4.505e-05;
        QTest::newRow("1.10 is not 1.1.0") << "1.10" << 5e-05;
    }
    void beatToneOfATargetAt2m()
    {
        QFETCH(QString, version);
        QFETCH(double, period);
        VirtualKit kit;
        kit.setFirmwareVersion(version);
        QCOMPARE(kit.samplePeriod(), period);
        kit.setTargets({{2.0, 0.0, 0.5, 0.0}});
        // A ramp longer than the frame: one clean tone (short ramps make a comb, see below).
        kit.handleUsbCommand("SWEEP:FREQSTOP 26");
        kit.handleUsbCommand("SWEEP:RAMPTIME 60");
        const int n = 1024;
        const QVector<double> frame = captureOverUsb(kit, n);
        QCOMPARE(frame.size(), n);
        const double slope = (26.0 - 24.0) * 1e9 / (60.0 / 1000);
        const double expectedBin = 2 * slope * 2.0 / kC * n * period;
        QVERIFY2(std::abs(peakBin(spectrum(frame)) - expectedBin) <= 1.0,
                 qPrintable(QString::number(expectedBin)));
    }

    void sweepSettingsMoveTheTone()
    {
        // The slope, bandwidth over ramp time, sets the bin; halving the ramp doubles it.
        VirtualKit kit;
        kit.setNoiseVrms(0.001);
        kit.setTargets({{3.0, 0.0, 0.5, 0.0}});
        kit.handleUsbCommand("SWEEP:FREQSTOP 26");
        kit.handleUsbCommand("SWEEP:RAMPTIME 60"); // both ramps outlast the 25.6 ms frame
        const double slope = 2e9 / 60e-3;
        const int base = peakBin(spectrum(captureOverUsb(kit, 512)));
        QVERIFY(std::abs(base - 2 * slope * 3.0 / kC * 512 * 5e-05) <= 1);
        kit.handleUsbCommand("SWEEP:RAMPTIME 30");
        const int doubled = peakBin(spectrum(captureOverUsb(kit, 512)));
        QVERIFY(std::abs(doubled - 2 * base) <= 2);
    }

    void shortRampsShowTheCombOfTheirRestarts()
    {
        // 1 ms one-way ramps: each restarts the beat, so a 51.2 ms frame holds lines 1 kHz apart
        // around the 3333 Hz beat of 2 m, the strongest at 3 kHz, none at the beat itself.
        VirtualKit kit;
        kit.setNoiseVrms(0.0);
        kit.handleUsbCommand("SWEEP:TYPE 0");
        kit.setTargets({{2.0, 0.0, 0.5, 0.0}});
        const QVector<double> mag = spectrum(captureOverUsb(kit, 1024));
        const double hzPerBin = 1.0 / (1024 * 5e-05);
        QCOMPARE_LE(std::abs(peakBin(mag) * hzPerBin - 3000.0), hzPerBin);
        QVERIFY(mag[qRound(3333.3 / hzPerBin)] < 0.5 * mag[peakBin(mag)]);
    }

    void continuousWaveShowsDoppler()
    {
        VirtualKit kit;
        kit.setManualClock(true);
        kit.setTargets(
            {{3.0, 1.0, 0.5, 0.0}, {1.0, 0.0, 0.5, 0.0}}); // the still one has no Doppler
        kit.handleUsbCommand("SWEEP:TYPE 3");
        const int n = 1024;
        const QVector<double> mag = spectrum(captureOverUsb(kit, n));
        const double expectedBin = 2 * 1.0 * 24e9 / kC * n * 5e-05;
        QVERIFY2(std::abs(peakBin(mag) - expectedBin) <= 1.0,
                 qPrintable(QString::number(peakBin(mag))));
    }

    void silentWhenNotRadiating_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("RF off") << QByteArray("POWE:RF 0");
        QTest::newRow("sweep stopped") << QByteArray("SWEEP:STOP");
        QTest::newRow("system power off") << QByteArray("SYST:POWE 0");
    }
    void silentWhenNotRadiating()
    {
        QFETCH(QByteArray, command);
        VirtualKit kit;
        kit.setNoiseVrms(0.01);
        QVERIFY(rms(captureOverUsb(kit, 1024)) > 0.1); // the default scene
        kit.handleUsbCommand(command);
        const QVector<double> frame = captureOverUsb(kit, 1024);
        QVERIFY(std::abs(rms(frame) - 0.01) < 0.002);
        kit.handleUsbCommand("POWE:RF 1");
        kit.handleUsbCommand("SWEEP:START");
        kit.handleUsbCommand("SYST:POWE 1");
        QVERIFY(rms(captureOverUsb(kit, 1024)) > 0.1);
    }

    void seedDecidesTheFrames()
    {
        VirtualKit a, b, c;
        for (VirtualKit *k : {&a, &b, &c})
            k->setManualClock(true);
        a.setSeed(42);
        b.setSeed(42);
        c.setSeed(43);
        for (int frame = 0; frame < 3; ++frame) {
            const QVector<quint16> fa = a.captureFrame(256);
            QCOMPARE(b.captureFrame(256), fa);
            QVERIFY(c.captureFrame(256) != fa);
            for (VirtualKit *k : {&a, &b, &c})
                k->advanceClock(0.1);
        }
        // Reseeding starts the sequence again.
        VirtualKit d;
        d.setManualClock(true);
        d.setSeed(42);
        const QVector<quint16> first = d.captureFrame(256);
        d.setSeed(42);
        d.setTargets(VirtualKit::defaultScene());
        d.setManualClock(true);
        QCOMPARE(d.captureFrame(256), first);
    }

    void targetsMoveAndTurnBack()
    {
        VirtualKit kit;
        kit.setManualClock(true);
        kit.setSceneDepthM(5.0);
        kit.setTargets({{2.0, 0.5, 0.5, 0.0}, {1.0, -1.0, 0.5, 0.0}, {8.0, 0.0, 0.5, 0.0}});
        kit.captureFrame(16);
        kit.advanceClock(2.0);
        kit.captureFrame(16);
        QVector<SimTarget> t = kit.targets();
        QCOMPARE(t[0].rangeM, 3.0);
        QCOMPARE(t[1].rangeM, 1.0); // through 0 and back
        QCOMPARE(t[1].velocityMps, 1.0);
        QCOMPARE(t[2].rangeM, 8.0);
        kit.advanceClock(6.0); // 3 m + 3 m: out to 5 m and back to 4 m
        kit.captureFrame(16);
        t = kit.targets();
        QCOMPARE(t[0].rangeM, 4.0);
        QCOMPARE(t[0].velocityMps, -0.5);

        // The default scene stays inside the default sweep's 0..6 m and one target moves.
        int moving = 0;
        for (const SimTarget &d : VirtualKit::defaultScene()) {
            QVERIFY(d.rangeM > 0 && d.rangeM < 6.0);
            moving += d.velocityMps != 0;
        }
        QCOMPARE(moving, 1);
    }

    void countsFollowTheTabsConversion()
    {
        QCOMPARE(VirtualKit::voltsToCount(-2.5), quint16(0));
        QCOMPARE(VirtualKit::voltsToCount(2.5), quint16(65535));
        QCOMPARE(VirtualKit::voltsToCount(-9.0), quint16(0));
        QCOMPARE(VirtualKit::voltsToCount(9.0), quint16(65535));
        QCOMPARE(VirtualKit::voltsToCount(std::nan("")), quint16(0));
        for (double v : {-1.234, 0.0, 0.3, 2.1})
            QVERIFY(std::abs(VirtualKit::countToVolts(VirtualKit::voltsToCount(v)) - v) <=
                    2.5 / 65535);

        VirtualKit kit;
        kit.setTargets({{2.0, 0.0, 4.0, 0.0}}); // beyond the ADC: clipped, not wrapped
        const QVector<quint16> f = kit.captureFrame(512);
        QCOMPARE(*std::min_element(f.begin(), f.end()), quint16(0));
        QCOMPARE(*std::max_element(f.begin(), f.end()), quint16(65535));
        QCOMPARE(kit.captureFrame(1 << 20).size(), VirtualKit::kMaxFrameSamples);
    }
};

QTEST_GUILESS_MAIN(SimPhysicsTest)
#include "tst_virtualkit.moc"
