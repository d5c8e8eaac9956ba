// SPDX-License-Identifier: GPL-3.0-or-later
// The mixer output of the virtual kit against the FMCW relations: one clean tone inside a ramp,
// the comb of a frame over many ramps, and no better resolution than c / 2B.
#include "kit/RadarMath.h"
#include "sim/SweepPhysics.h"

#include <QtTest>

#include <cmath>
#include <complex>

namespace {

using SweepPhysics::Reflector;
using SweepPhysics::Setup;

// |DTFT| at hz of samples from..to-1 (Hann-tapered when asked), per sample.
double level(const std::vector<double> &x, double hz, double ts, size_t from = 0,
             size_t to = size_t(-1), bool hann = false)
{
    to = std::min(to, x.size());
    std::complex<double> acc;
    const double m = double(to - from);
    for (size_t i = from; i < to; ++i) {
        const double w = hann ? 0.5 - 0.5 * std::cos(2 * M_PI * (i - from) / (m - 1)) : 1.0;
        acc += w * x[i] * std::polar(1.0, -2 * M_PI * hz * double(i) * ts);
    }
    return std::abs(acc) / m;
}

// The frequency of the strongest tone within span Hz of guess, to 0.001 Hz.
double toneHz(const std::vector<double> &x, double guess, double span, double ts, size_t from = 0,
              size_t to = size_t(-1))
{
    double best = guess, bestLevel = -1;
    for (double step = span / 50; step > 1e-3; step /= 10) {
        const double centre = best;
        for (double f = centre - 50 * step; f <= centre + 50 * step; f += step) {
            const double l = level(x, f, ts, from, to, true);
            if (l > bestLevel) {
                bestLevel = l;
                best = f;
            }
        }
    }
    return best;
}

Setup setup(double startGHz, double stopGHz, double rampMs, int type)
{
    Setup s;
    s.sweep = {startGHz, stopGHz, rampMs};
    s.type = type;
    return s;
}

// Local maxima of the frame's comb lines (multiples of 1 / ramp) above half the strongest.
int combMaxima(const std::vector<double> &x, const Setup &s)
{
    const double spacing = 1000.0 / s.sweep.rampMs;
    std::vector<double> lines;
    for (double f = spacing; f < 0.5 / s.samplePeriodS; f += spacing)
        lines.push_back(level(x, f, s.samplePeriodS));
    const double top = *std::max_element(lines.begin(), lines.end());
    int maxima = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool left = i == 0 || lines[i] > lines[i - 1];
        const bool right = i + 1 == lines.size() || lines[i] > lines[i + 1];
        maxima += left && right && lines[i] > 0.5 * top;
    }
    return maxima;
}

} // namespace

class TestSweepPhysics : public QObject
{
    Q_OBJECT

private slots:
    void rampAsLongAsTheFrameGivesTheBeatTone_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("stop");
        QTest::addColumn<double>("range");
        QTest::newRow("up-chirp, 2 m") << 24.0 << 26.0 << 2.0;
        QTest::newRow("down-chirp, 2 m") << 26.0 << 24.0 << 2.0;
        QTest::newRow("up-chirp, 4.3 m") << 24.0 << 25.0 << 4.3;
    }
    void rampAsLongAsTheFrameGivesTheBeatTone()
    {
        QFETCH(double, start);
        QFETCH(double, stop);
        QFETCH(double, range);
        const Setup s = setup(start, stop, 60.0, 0); // 60 ms ramp, 51.2 ms frame
        const auto x = SweepPhysics::beatFrame({{range, 0.0, 0.5, 0.7}}, s, 1024);
        const double expected = RadarMath::beatForRange(range, s.sweep);
        const double bin = 1.0 / (1024 * s.samplePeriodS);
        QCOMPARE_LE(std::fabs(toneHz(x, expected, 3 * bin, s.samplePeriodS) - expected),
                    0.02 * bin);
        QCOMPARE_LE(std::fabs(level(x, expected, s.samplePeriodS) - 0.25), 0.005); // A / 2
    }

    void twoWaySweepTurnsAtTheStopFrequency()
    {
        const Setup s = setup(24.0, 24.25, 10.0, 2);
        QCOMPARE(SweepPhysics::transmitHz(s, 0.0), 24.0e9);
        QCOMPARE_LE(std::fabs(SweepPhysics::transmitHz(s, 0.005) - 24.125e9), 1.0);
        QCOMPARE_LE(std::fabs(SweepPhysics::transmitHz(s, 0.015) - 24.125e9), 1.0);
        QVERIFY(SweepPhysics::transmitHz(s, 0.016) < SweepPhysics::transmitHz(s, 0.015));
        const Setup oneWay = setup(24.0, 24.25, 10.0, 0);
        QCOMPARE_LE(std::fabs(SweepPhysics::transmitHz(oneWay, 0.012) - 24.05e9), 1.0);

        // Up and down ramps each carry the beat of the range: |2 slope R / c|.
        const auto x = SweepPhysics::beatFrame({{3.0, 0.0, 0.5, 0.0}}, s, 400); // 20 ms
        const double expected = RadarMath::beatForRange(3.0, s.sweep);
        QCOMPARE_LE(std::fabs(toneHz(x, expected, 300, s.samplePeriodS, 0, 200) - expected), 1.0);
        QCOMPARE_LE(std::fabs(toneHz(x, expected, 300, s.samplePeriodS, 200, 400) - expected), 1.0);
    }

    void shortRampsMakeACombThatCannotResolveBelowCOver2B()
    {
        // 250 MHz: c / 2B = 0.6 m. 1 ms ramps in a 51.2 ms frame: lines 1 kHz apart.
        const Setup s = setup(24.0, 24.25, 1.0, 0);
        const auto one = SweepPhysics::beatFrame({{2.0, 0.0, 0.5, 0.0}}, s, 1024);
        const double beat = RadarMath::beatForRange(2.0, s.sweep); // 3333 Hz, between lines
        QVERIFY(level(one, 3000, s.samplePeriodS) > 5 * level(one, 3500, s.samplePeriodS));
        QVERIFY(level(one, beat, s.samplePeriodS) < level(one, 3000, s.samplePeriodS));

        const auto close =
            SweepPhysics::beatFrame({{2.0, 0.0, 0.5, 0.0}, {2.4, 0.0, 0.5, 0.0}}, s, 1024);
        QCOMPARE(combMaxima(close, s), 1);
        const auto apart =
            SweepPhysics::beatFrame({{2.0, 0.0, 0.5, 0.0}, {3.0, 0.0, 0.5, 0.0}}, s, 1024);
        QCOMPARE(combMaxima(apart, s), 2);
    }

    void continuousWaveIsPureDoppler()
    {
        Setup s = setup(24.0, 24.25, 1.0, 3);
        const auto x =
            SweepPhysics::beatFrame({{3.0, 1.0, 0.5, 0.0}, {1.0, 0.0, 0.5, 0.0}}, s, 1024);
        const double expected = RadarMath::dopplerForVelocity(1.0, 24e9); // 160 Hz
        QCOMPARE_LE(std::fabs(toneHz(x, expected, 40, s.samplePeriodS) - expected), 0.2);
        // The still reflector is a constant: no line anywhere but at 0 Hz.
        const auto still = SweepPhysics::beatFrame({{1.0, 0.0, 0.5, 0.0}}, s, 64);
        for (double v : still)
            QCOMPARE(v, still.front());
    }

    void rampResetTransientDecaysAfterEachRestart()
    {
        Setup s = setup(24.0, 24.25, 1.0, 0);
        s.rampTransientV = 0.2;
        const auto x = SweepPhysics::beatFrame({}, s, 60); // three ramps of 20 samples
        QCOMPARE(x[0], 0.2);
        QCOMPARE(x[20], 0.2);
        QCOMPARE(x[40], 0.2);
        QCOMPARE_LE(std::fabs(x[2] - 0.2 * std::exp(-1.0)), 1e-12); // 100 us later
        QVERIFY(x[19] < 0.01);
    }
};

QTEST_APPLESS_MAIN(TestSweepPhysics)
#include "tst_sweepphysics.moc"
