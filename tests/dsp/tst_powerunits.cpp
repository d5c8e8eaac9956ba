// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PowerUnits.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

QVector<double> sine(int n, double cycles, double amplitude)
{
    QVector<double> w(n);
    for (int k = 0; k < n; ++k)
        w[k] = amplitude * std::cos(2 * M_PI * cycles * k / n + 0.3);
    return w;
}

double highest(const QVector<double> &p) { return *std::max_element(p.begin(), p.end()); }

} // namespace

class TestPowerUnits : public QObject
{
    Q_OBJECT

private slots:
    void offsetByHand();
    void sineReadsItsRmsInDbv_data();
    void sineReadsItsRmsInDbv();
    void detectionIsTaperedWhenNoWindowIsShown();
};

void TestPowerUnits::offsetByHand()
{
    // Unpadded, untapered: |X/N| = A/2 must read A/sqrt(2), so +3.01 dB.
    QCOMPARE_LE(std::fabs(dbvRmsOffsetDb(8, 8, 1.0) - 3.0103), 1e-4);
    // Seven-fold padding: |X/7N| = A/14, so 20 log10(14 / sqrt(2)) = 19.912 dB.
    QCOMPARE_LE(std::fabs(dbvRmsOffsetDb(1024, 7168, 1.0) - 19.9123), 1e-4);
    // A Hann taper (coherent gain 0.5) costs 6.02 dB that the offset gives back.
    QCOMPARE_LE(std::fabs(dbvRmsOffsetDb(64, 64, 0.5) - 9.0309), 1e-4);
}

void TestPowerUnits::sineReadsItsRmsInDbv_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("window");
    QTest::addColumn<double>("binOffset");
    const char *names[] = {"none", "hann", "blackman-harris"};
    for (int n : {1024, 4096})
        for (int w = 0; w < 3; ++w)
            for (double off : {0.0, 0.5})
                QTest::addRow("N=%d %s %s", n, names[w], off == 0.0 ? "on bin" : "between bins")
                    << n << w << off;
}

void TestPowerUnits::sineReadsItsRmsInDbv()
{
    QFETCH(int, n);
    QFETCH(int, window);
    QFETCH(double, binOffset);
    const double expected = 20 * std::log10(0.5 / std::sqrt(2.0)); // -9.03 dBV
    const DisplaySpectrum s =
        displaySpectrum(sine(n, n / 8 + binOffset, 0.5), SpectrumWindow(window));
    // Between frame bins the padded grid still falls within 1/14 of a bin of the tone: the
    // untapered window loses at most 0.073 dB there, the tapers less.
    const double tolerance = binOffset == 0.0 ? 0.01 : 0.08;
    QCOMPARE_LE(std::fabs(highest(s.shown) - expected), tolerance);
    QCOMPARE_LE(std::fabs(highest(s.detection) - expected), tolerance);
    QCOMPARE(s.shown[0], s.shown[1]);
}

void TestPowerUnits::detectionIsTaperedWhenNoWindowIsShown()
{
    const QVector<double> w = sine(256, 40.5, 1.0);
    const DisplaySpectrum none = displaySpectrum(w, SpectrumWindow::None);
    // 20 frame bins from the tone an untapered skirt stands near -35 dB below it, Hann's far lower.
    const int far = 7 * 60;
    QCOMPARE_GT(none.shown[far] - none.detection[far], 30.0);
    const DisplaySpectrum hann = displaySpectrum(w, SpectrumWindow::Hann);
    QCOMPARE(hann.detection, hann.shown);
    QCOMPARE(mapSpectrum(w).size(), none.shown.size());
}

QTEST_APPLESS_MAIN(TestPowerUnits)
#include "tst_powerunits.moc"
