// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/A_fft.h"

#include <QtTest>

class TestFft : public QObject
{
    Q_OBJECT

private slots:
    void matchesDirectDft_data();
    void matchesDirectDft();
    void forwardThenInverseRestoresInput();
    void constantInputGivesValueInBinZero();
    void sizesOutsideRangeLeaveDataAlone();
    void largestSizeIsTransformed();
    void swapHalves();
};

void TestFft::matchesDirectDft_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("2") << 2;
    QTest::newRow("power of two 64") << 64;
    QTest::newRow("preset 1024") << 1024;
    QTest::newRow("odd 45") << 45;
    QTest::newRow("prime 101") << 101;
    QTest::newRow("7 N, N = 100") << 700;
    QTest::newRow("7 N, N = 128") << 896;
}

void TestFft::matchesDirectDft()
{
    QFETCH(int, size);
    const QVector<ComplexSample> x = randomSignal(size, quint32(size));
    for (int direction : {1, -1}) {
        QVector<ComplexSample> y = x;
        A_fft(y.data(), size, direction);
        const QVector<ComplexSample> expected = directDft(x, direction);
        QVERIFY2(relativeError(y, expected) < 1e-6, qPrintable(QString::number(direction)));
    }
}

void TestFft::forwardThenInverseRestoresInput()
{
    for (int size : {8, 63, 1000, 4096}) {
        const QVector<ComplexSample> x = randomSignal(size, 7);
        QVector<ComplexSample> y = x;
        A_fft_forward(y.data(), size);
        A_fft_inverse(y.data(), size);
        QVERIFY2(relativeError(y, x) < 1e-6, qPrintable(QString::number(size)));
    }
}

void TestFft::constantInputGivesValueInBinZero()
{
    // The 1/N scaling puts the value itself, not N times it, into bin 0.
    QVector<ComplexSample> x(12, ComplexSample{2.5f, -1.0f});
    A_fft_forward(x.data(), 12);
    QCOMPARE(x[0].re, 2.5f);
    QCOMPARE(x[0].im, -1.0f);
    for (int k = 1; k < 12; ++k)
        QVERIFY(std::abs(x[k].re) < 1e-6f && std::abs(x[k].im) < 1e-6f);
}

void TestFft::sizesOutsideRangeLeaveDataAlone()
{
    QVector<ComplexSample> x = randomSignal(A_fft_max_size + 1, 3);
    const QVector<ComplexSample> before = x;
    for (int size : {0, 1, -5, A_fft_max_size + 1}) {
        A_fft_forward(x.data(), size);
        A_fft_inverse(x.data(), size);
    }
    QVERIFY(std::memcmp(x.constData(), before.constData(),
                        size_t(x.size()) * sizeof(ComplexSample)) == 0);
}

void TestFft::largestSizeIsTransformed()
{
    QVector<ComplexSample> x(A_fft_max_size, ComplexSample{0.75f, 0.0f});
    x[1] = {1.75f, 0.0f}; // adds an impulse of 1 at sample 1
    A_fft_forward(x.data(), A_fft_max_size);
    QVERIFY(std::abs(x[0].re - (0.75f + 1.0f / A_fft_max_size)) < 1e-7f);
    const double angle = -2 * M_PI * 5 / A_fft_max_size; // bin 5 holds e^(-2 pi i 5/N) / N
    QVERIFY(std::abs(x[5].re - std::cos(angle) / A_fft_max_size) < 1e-9);
    QVERIFY(std::abs(x[5].im - std::sin(angle) / A_fft_max_size) < 1e-9);
}

void TestFft::swapHalves()
{
    auto swapped = [](QVector<float> values) {
        QVector<ComplexSample> x;
        for (float v : values)
            x.append({v, -v});
        swap_halves(x.data(), int(x.size()));
        QVector<float> re;
        for (const ComplexSample &s : x) {
            if (s.im != -s.re)
                return QVector<float>{}; // real and imaginary parts travel together
            re.append(s.re);
        }
        return re;
    };
    QCOMPARE(swapped({1, 2, 3, 4}), (QVector<float>{3, 4, 1, 2}));
    QCOMPARE(swapped({1, 2, 3, 4, 5}), (QVector<float>{3, 4, 1, 2, 5}));
    QCOMPARE(swapped({1}), (QVector<float>{1}));
}

QTEST_GUILESS_MAIN(TestFft)
#include "tst_a_fft.moc"
