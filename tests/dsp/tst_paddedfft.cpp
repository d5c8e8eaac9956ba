// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ADCdataProcessing.h"
#include "dsp/A_fft.h"
#include "dsp/PaddedFft.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>

class TestPaddedSpectrum : public QObject
{
    Q_OBJECT

private slots:
    void toneAtBinFrequencyPeaksAtThatBin();
    void equalsTheProcessingChain_data();
    void equalsTheProcessingChain();
    void paddingIsZeroAfterOtherTransforms();
    void finishLinePlot();
};

void TestPaddedSpectrum::toneAtBinFrequencyPeaksAtThatBin()
{
    // 50 whole cycles in N = 1024 samples: bin 7 * 50 of the 7 N-point spectrum.
    QVector<double> w(1024);
    for (int k = 0; k < w.size(); ++k)
        w[k] = 0.3 + std::sin(2 * M_PI * 50 * k / 1024.0); // the offset is removed as the mean
    const QVector<double> p = paddedSpectrum(w);
    QCOMPARE(p.size(), 3584);
    QCOMPARE(int(std::max_element(p.begin(), p.end()) - p.begin()), 350);
    QVERIFY(std::abs(p[350] - 20 * std::log10(0.5 / 7)) <
            1e-3); // a half-amplitude line, 1/(7N) scaling
    QVERIFY(p[0] < -100);
    QVERIFY(paddedSpectrum({}).isEmpty());
}

void TestPaddedSpectrum::equalsTheProcessingChain_data()
{
    QTest::addColumn<QVector<double>>("w");
    auto random = [](int n) {
        QRandomGenerator rng{quint32(n)};
        QVector<double> w(n);
        for (double &v : w)
            v = rng.generateDouble() * 5 - 2.5;
        return w;
    };
    QTest::newRow("1 sample") << QVector<double>{0.4};
    QTest::newRow("2 samples") << QVector<double>{0.4, -1};
    QTest::newRow("odd 33") << random(33);
    QTest::newRow("1000") << random(1000);
    QTest::newRow("4096") << random(4096);
    QTest::newRow("constant: minus infinity throughout") << QVector<double>(64, 1.25);
}

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
    QVERIFY(std::memcmp(p.constData(), chain.constData(), size_t(p.size()) * sizeof(double)) == 0);
}

// The padding is cleared only when something may have written into it since the last spectrum.
void TestPaddedSpectrum::paddingIsZeroAfterOtherTransforms()
{
    QVector<double> w(1000), shortFrame(100, 0.5);
    for (int k = 0; k < w.size(); ++k)
        w[k] = std::cos(0.05 * k);
    const QVector<double> reference = paddedSpectrum(w);
    QVector<ComplexSample> noise(5000, ComplexSample{3.0f, -2.0f});
    A_fft_forward(noise.data(), 5000);
    QCOMPARE(paddedSpectrum(w), reference);
    paddedSpectrum(shortFrame);
    QCOMPARE(paddedSpectrum(w), reference);
    ADCdataProcessing proc(QStringLiteral("none"));
    proc.FFT_data(QVector<double>(6000, 1.0));
    QCOMPARE(paddedSpectrum(w), reference);
    QCOMPARE(paddedSpectrum(w), reference);
}

void TestPaddedSpectrum::finishLinePlot()
{
    QVector<double> p = {-50, -40, -45};
    ::finishLinePlot(p);
    QCOMPARE(p, (QVector<double>{-37, -37, -42}));
    QVector<double> one = {-50};
    ::finishLinePlot(one);
    QCOMPARE(one, QVector<double>{-47});
    QVector<double> none;
    ::finishLinePlot(none);
    QVERIFY(none.isEmpty());
}

QTEST_GUILESS_MAIN(TestPaddedSpectrum)
#include "tst_paddedfft.moc"
