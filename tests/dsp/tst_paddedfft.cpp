// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/ADCdataProcessing.h"
#include "dsp/A_fft.h"
#include "dsp/PaddedFft.h"

#include <QtTest>

#include <cmath>
#include <complex>

namespace {

QVector<double> tone(int n, double cycles, double offset = 0.0)
{
    QVector<double> w(n);
    for (int k = 0; k < n; ++k)
        w[k] = offset + std::sin(2 * M_PI * cycles * k / n);
    return w;
}

QVector<double> randomFrame(int n)
{
    QRandomGenerator rng{quint32(n)};
    QVector<double> w(n);
    for (double &v : w)
        v = rng.generateDouble() * 5 - 2.5;
    return w;
}

// Largest level among the bins at least `distance` bins from `peak`.
double skirt(const QVector<double> &p, int peak, int distance)
{
    double worst = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < p.size(); ++i)
        if (std::abs(i - peak) >= distance)
            worst = std::max(worst, p[i]);
    return worst;
}

} // namespace

class TestPaddedSpectrum : public QObject
{
    Q_OBJECT

private slots:
    void toneAtBinFrequencyPeaksAtThatBin();
    void equalsTheProcessingChain_data();
    void equalsTheProcessingChain();
    void windowedMatchesDirectDft_data();
    void windowedMatchesDirectDft();
    void oneSampleFrameWithAWindow();
    void windowsKeepTheToneAndLowerTheSkirts();
    void paddingIsZeroAfterOtherTransforms();
    void framesBeyondTheEngineAreTransformed();
};

void TestPaddedSpectrum::toneAtBinFrequencyPeaksAtThatBin()
{
    // 50 whole cycles in N = 1024 samples: bin 7 * 50 of the 7 N-point spectrum; the offset goes
    // with the mean.
    const QVector<double> p = paddedSpectrum(tone(1024, 50, 0.3));
    QCOMPARE(p.size(), 3584);
    QCOMPARE(int(std::max_element(p.begin(), p.end()) - p.begin()), 350);
    QVERIFY(std::abs(p[350] - 20 * std::log10(0.5 / 7)) < 1e-3); // half amplitude, 1/(7N) scaling
    QVERIFY(p[0] < -100);
    QVERIFY(paddedSpectrum({}).isEmpty());
    QCOMPARE(paddedSpectrum({0.4}).size(), 3); // L = 7 points, 3 bins
}

void TestPaddedSpectrum::equalsTheProcessingChain_data()
{
    QTest::addColumn<QVector<double>>("w");
    QTest::newRow("1 sample") << QVector<double>{0.4};
    QTest::newRow("2 samples") << QVector<double>{0.4, -1};
    QTest::newRow("odd 33") << randomFrame(33);
    QTest::newRow("1000") << randomFrame(1000);
    QTest::newRow("4096") << randomFrame(4096);
    QTest::newRow("constant: minus infinity throughout") << QVector<double>(64, 1.25);
}

// Without a window the plots show dB(complex_mag(FFT_data(v))) of the padded frame v.
void TestPaddedSpectrum::equalsTheProcessingChain()
{
    QFETCH(QVector<double>, w);
    ADCdataProcessing proc(QStringLiteral("none"));
    double mean = 0;
    for (double v : w)
        mean += v;
    mean /= w.size();
    QVector<double> v(7 * w.size(), 0.0);
    for (int k = 0; k < w.size(); ++k)
        v[k] = w[k] - mean;
    const QVector<double> chain =
        proc.dB(proc.complex_mag(proc.FFT_data(v))).mid(v.size() / 2, v.size() / 2);

    const QVector<double> p = paddedSpectrum(w);
    QCOMPARE(p.size(), chain.size());
    for (int i = 0; i < p.size(); ++i)
        if (!(p[i] == chain[i] || std::abs(p[i] - chain[i]) < 1e-6))
            QFAIL(qPrintable(
                QStringLiteral("bin %1: %2 dB, chain %3 dB").arg(i).arg(p[i]).arg(chain[i])));
    QCOMPARE(paddedSpectrum(w, SpectrumWindow::None), p);
}

void TestPaddedSpectrum::windowedMatchesDirectDft_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("n");
    QTest::newRow("Hann 33") << int(SpectrumWindow::Hann) << 33;
    QTest::newRow("Hann 128") << int(SpectrumWindow::Hann) << 128;
    QTest::newRow("Blackman-Harris 33") << int(SpectrumWindow::BlackmanHarris) << 33;
    QTest::newRow("Blackman-Harris 100") << int(SpectrumWindow::BlackmanHarris) << 100;
}

// A direct DFT of the padded, windowed frame, the window written out from its definition.
void TestPaddedSpectrum::windowedMatchesDirectDft()
{
    QFETCH(int, window);
    QFETCH(int, n);
    const QVector<double> w = randomFrame(n);
    const QVector<double> p = paddedSpectrum(w, SpectrumWindow(window));

    double mean = 0;
    for (double v : w)
        mean += v;
    mean /= n;
    std::vector<double> g(n);
    double gain = 0;
    for (int k = 0; k < n; ++k) {
        const double x = 2 * M_PI * k / (n - 1);
        g[k] = window == int(SpectrumWindow::Hann)
                   ? 0.5 * (1 - std::cos(x))
                   : 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                         0.01168 * std::cos(3 * x);
        gain += g[k] / n;
    }
    const int L = 7 * n;
    QCOMPARE(p.size(), L / 2);
    std::vector<double> amplitude(L / 2);
    double peak = 0;
    for (int i = 0; i < L / 2; ++i) {
        std::complex<double> sum = 0;
        for (int k = 0; k < n; ++k)
            sum += (w[k] - mean) * g[k] / gain * std::polar(1.0, -2 * M_PI * double(i) * k / L);
        amplitude[i] = std::abs(sum) / L;
        peak = std::max(peak, amplitude[i]);
    }
    // Compared as amplitudes against the peak: the samples pass through single precision.
    for (int i = 0; i < L / 2; ++i)
        QVERIFY2(std::abs(std::pow(10.0, p[i] / 20) - amplitude[i]) < 1e-6 * peak,
                 qPrintable(QString::number(i)));
}

// A one-sample frame is flat once its mean is taken away, whatever the window.
void TestPaddedSpectrum::oneSampleFrameWithAWindow()
{
    for (SpectrumWindow window : {SpectrumWindow::Hann, SpectrumWindow::BlackmanHarris})
        QCOMPARE(paddedSpectrum({0.4}, window),
                 QVector<double>(3, -std::numeric_limits<double>::infinity()));
}

void TestPaddedSpectrum::windowsKeepTheToneAndLowerTheSkirts()
{
    // A tone on a bin of the unpadded frame: 40 cycles in 512 samples, padded bin 280. Ten bins of
    // the frame are 70 padded bins.
    const QVector<double> w = tone(512, 40);
    const QVector<double> none = paddedSpectrum(w);
    QCOMPARE(int(std::max_element(none.begin(), none.end()) - none.begin()), 280);
    for (SpectrumWindow window : {SpectrumWindow::Hann, SpectrumWindow::BlackmanHarris}) {
        const QVector<double> p = paddedSpectrum(w, window);
        QCOMPARE(int(std::max_element(p.begin(), p.end()) - p.begin()), 280);
        QVERIFY(std::abs(p[280] - none[280]) < 0.1);
        QVERIFY2(skirt(p, 280, 70) < skirt(none, 280, 70) - 30,
                 qPrintable(QStringLiteral("%1 against %2 dB")
                                .arg(skirt(p, 280, 70))
                                .arg(skirt(none, 280, 70))));
    }
}

// Nothing another transform leaves behind reaches the padding.
void TestPaddedSpectrum::paddingIsZeroAfterOtherTransforms()
{
    QVector<double> w(1000), shortFrame(100, 0.5);
    for (int k = 0; k < w.size(); ++k)
        w[k] = std::cos(0.05 * k);
    const QVector<double> reference = paddedSpectrum(w);
    QVector<ComplexSample> noise(5000, ComplexSample{3.0f, -2.0f});
    A_fft_forward(noise.data(), 5000);
    QCOMPARE(paddedSpectrum(w), reference);
    paddedSpectrum(shortFrame, SpectrumWindow::Hann);
    QCOMPARE(paddedSpectrum(w), reference);
    ADCdataProcessing proc(QStringLiteral("none"));
    proc.FFT_data(QVector<double>(6000, 1.0));
    QCOMPARE(paddedSpectrum(w), reference);
}

// 7 N beyond the engine's largest transform still gives the spectrum, not the samples in dB.
void TestPaddedSpectrum::framesBeyondTheEngineAreTransformed()
{
    const int n = 80000; // 7 N = 560,000 > A_fft_max_size
    const QVector<double> p = paddedSpectrum(tone(n, 1000));
    QCOMPARE(p.size(), 7 * n / 2);
    QCOMPARE(int(std::max_element(p.begin(), p.end()) - p.begin()), 7000);
    QVERIFY(std::abs(p[7000] - 20 * std::log10(0.5 / 7)) < 1e-3);
}

QTEST_GUILESS_MAIN(TestPaddedSpectrum)
#include "tst_paddedfft.moc"
