// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PeakPicking.h"
#include "dsp/PowerUnits.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr int kWidth = 7; // padded bins per frame bin

struct Tone
{
    double cycles;
    double amplitude;
};

// Tones plus, when asked, a deterministic noise of about noiseRms volts.
QVector<double> frame(int n, const QVector<Tone> &tones, double noiseRms = 0.0)
{
    QVector<double> w(n, 0.0);
    for (int k = 0; k < n; ++k) {
        for (const Tone &t : tones)
            w[k] += t.amplitude * std::cos(2 * M_PI * t.cycles * k / n + 0.7);
        const double h = std::sin(k * 12.9898 + 78.233) * 43758.5453;
        w[k] += noiseRms * std::sqrt(12.0) * (h - std::floor(h) - 0.5);
    }
    return w;
}

std::vector<Peaks::Peak> reflectorsOf(const QVector<double> &w, SpectrumWindow window)
{
    const DisplaySpectrum s = displaySpectrum(w, window);
    const SpectrumWindow detectionWindow =
        window == SpectrumWindow::None ? SpectrumWindow::Hann : window;
    return Peaks::reflectors(s.shown.constData(), s.detection.constData(), int(s.shown.size()),
                             detectionWindow, kWidth, 5);
}

} // namespace

class TestPeakPicking : public QObject
{
    Q_OBJECT

private slots:
    void leakageBoundsByHand();
    void oneToneOneEntry_data();
    void oneToneOneEntry();
    void weakReflectorBesideAStrongOneIsKept();
    void untaperedSidelobesAreNotTargets();
    void sidelobesOfAnUnresolvedPairAreNotTargets();
    void signalExtentEndsWhereTheSignalDoes();
};

void TestPeakPicking::leakageBoundsByHand()
{
    // Untapered: 1/(pi d), -13.5 dB at 1.5 bins; Hann: 1/(pi d (d^2 - 1)), -32.31 dB at 2.5 bins.
    QCOMPARE_LE(std::fabs(Peaks::leakageBoundDb(SpectrumWindow::None, 1.5) + 13.46), 0.01);
    QCOMPARE_LE(std::fabs(Peaks::leakageBoundDb(SpectrumWindow::Hann, -2.5) + 32.31), 0.01);
    QVERIFY(std::isinf(Peaks::leakageBoundDb(SpectrumWindow::Hann, 1.9)));
    QVERIFY(std::isinf(Peaks::leakageBoundDb(SpectrumWindow::BlackmanHarris, 3.9)));
}

void TestPeakPicking::oneToneOneEntry_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<double>("cycles");
    QTest::addColumn<double>("noise");
    const char *names[] = {"none", "hann", "blackman-harris"};
    for (int w = 0; w < 3; ++w)
        for (double cycles : {150.0, 150.37})
            for (double noise : {0.0, 0.002})
                QTest::addRow("%s, %g cycles, noise %g", names[w], cycles, noise)
                    << w << cycles << noise;
}

void TestPeakPicking::oneToneOneEntry()
{
    QFETCH(int, window);
    QFETCH(double, cycles);
    QFETCH(double, noise);
    const auto found = reflectorsOf(frame(1024, {{cycles, 0.5}}, noise), SpectrumWindow(window));
    QCOMPARE(int(found.size()), 1);
    // Where the tone is, to a tenth of a frame bin, at its rms level in dBV.
    QCOMPARE_LE(std::fabs(found.front().bin / kWidth - cycles), 0.1);
    QCOMPARE_LE(std::fabs(found.front().levelDb - 20 * std::log10(0.5 / std::sqrt(2.0))), 0.1);
}

void TestPeakPicking::weakReflectorBesideAStrongOneIsKept()
{
    // A taper keeps a reflector 40 dB down and 12 bins away clear of the strong one's skirt (Hann's
    // is near -66 dB there). Untapered, the skirt stands at 1/(12 pi) = -31.5 dB and would hide it;
    // 20 dB down and 30 bins away (skirt -39.5 dB) it shows on that curve too, pulled by the skirt
    // by up to 0.15 bin.
    const struct
    {
        SpectrumWindow window;
        double offset, ratioDb, binTolerance;
    } cases[] = {{SpectrumWindow::Hann, 12, 40, 0.1},
                 {SpectrumWindow::BlackmanHarris, 12, 40, 0.1},
                 {SpectrumWindow::None, 30, 20, 0.15}};
    for (const auto &c : cases) {
        const double weak = 0.5 * std::pow(10.0, -c.ratioDb / 20);
        const auto found =
            reflectorsOf(frame(1024, {{200.0, 0.5}, {200.0 + c.offset, weak}}, 1e-5), c.window);
        QCOMPARE(int(found.size()), 2);
        QCOMPARE_LE(std::fabs(found[1].bin / kWidth - 200.0 - c.offset), c.binTolerance);
        QCOMPARE_LE(std::fabs(found[1].levelDb - found[0].levelDb + c.ratioDb), 0.5);
    }
}

void TestPeakPicking::untaperedSidelobesAreNotTargets()
{
    // The untapered spectrum of a tone between bins has sidelobes at -13, -18, -21 dB: every one is
    // a maximum, none a reflector.
    const DisplaySpectrum s = displaySpectrum(frame(512, {{80.5, 0.5}}), SpectrumWindow::None);
    std::vector<Peaks::Peak> maxima =
        Peaks::strongest(s.shown.constData(), int(s.shown.size()), 6, kWidth / 2.0);
    QCOMPARE(int(maxima.size()), 6);
    const auto kept = Peaks::clearOfLeakage(maxima, SpectrumWindow::None, kWidth);
    QCOMPARE(int(kept.size()), 1);
    QCOMPARE_LE(std::fabs(kept.front().bin / kWidth - 80.5), 0.1);
}

void TestPeakPicking::sidelobesOfAnUnresolvedPairAreNotTargets()
{
    // Two reflectors 1.5 bins apart make one broad lobe whose sidelobes, roughened by noise, stand
    // higher than one tone's would: none of them is listed, whether the pair is or not.
    for (double second : {21.5, 21.0}) {
        const auto found =
            reflectorsOf(frame(1024, {{20.0, 0.5}, {second, 0.5}}, 0.001), SpectrumWindow::Hann);
        QVERIFY(!found.empty() && found.size() <= 2);
        for (const Peaks::Peak &p : found)
            QVERIFY2(p.bin / kWidth > 19.0 && p.bin / kWidth < 22.5,
                     qPrintable(QString::number(p.bin / kWidth)));
    }
}

void TestPeakPicking::signalExtentEndsWhereTheSignalDoes()
{
    const DisplaySpectrum s =
        displaySpectrum(frame(1024, {{30.0, 0.5}}, 0.001), SpectrumWindow::Hann);
    const int last = Peaks::signalExtent(s.shown.constData(), int(s.shown.size()));
    // The Hann main lobe ends 2 bins past the tone; its skirt sinks into the floor soon after.
    QVERIFY2(last >= 32 * kWidth && last <= 40 * kWidth, qPrintable(QString::number(last)));
    const QVector<double> floorOnly(100, -120.0);
    QCOMPARE(Peaks::signalExtent(floorOnly.constData(), 100), -1);
}

QTEST_APPLESS_MAIN(TestPeakPicking)
#include "tst_peakpicking.moc"
