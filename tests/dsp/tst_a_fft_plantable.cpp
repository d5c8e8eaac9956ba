// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/A_fft.h"

#include <QtTest>

// Fills the process-wide plan table, so it runs alone in this executable and in this order. The
// table is seen from outside: a size that finds no slot is reported on standard output.
class TestFftPlanTable : public QObject
{
    Q_OBJECT

private slots:
    void sizesOutsideTheRangeTakeNoSlot();
    void fortyNineFurtherSizesAreTracked();
    void fiftiethSizeIsReportedButStillTransformed();
    void presetAndTrackedSizesKeepWorking();

private:
    static bool transformsCorrectly(int size)
    {
        const QVector<ComplexSample> x = randomSignal(size, quint32(size) * 31u);
        QVector<ComplexSample> y = x;
        A_fft_forward(y.data(), size);
        if (relativeError(y, directDft(x, 1)) > 1e-6)
            return false;
        A_fft_inverse(y.data(), size);
        return relativeError(y, x) < 1e-6;
    }
};

void TestFftPlanTable::sizesOutsideTheRangeTakeNoSlot()
{
    StdoutCapture out;
    QVector<ComplexSample> x(8, ComplexSample{1.0f, 2.0f});
    for (int size : {0, 1, -5, A_fft_max_size + 1, A_fft_max_size * 2})
        A_fft_forward(x.data(), size);
    QCOMPARE(out.text(), QByteArray());
}

// 15 preset sizes, none of them used yet, and 49 new ones fill the 64 slots. Had the sizes above
// or the presets not been in the table, these would not fill it.
void TestFftPlanTable::fortyNineFurtherSizesAreTracked()
{
    StdoutCapture out;
    for (int size = 150; size < 199; ++size)
        QVERIFY2(transformsCorrectly(size), qPrintable(QString::number(size)));
    QCOMPARE(out.text(), QByteArray());
}

void TestFftPlanTable::fiftiethSizeIsReportedButStillTransformed()
{
    StdoutCapture out;
    QVERIFY(transformsCorrectly(199));
    QCOMPARE(out.text(), QByteArray("A_fft: unable to create tracked plan for FFT size 199\n"
                                    "A_fft: unable to create tracked plan for FFT size 199\n"));
}

void TestFftPlanTable::presetAndTrackedSizesKeepWorking()
{
    StdoutCapture out;
    for (int size : {32, 1024, 150, 198})
        QVERIFY2(transformsCorrectly(size), qPrintable(QString::number(size)));
    QVector<ComplexSample> x(A_fft_max_size, ComplexSample{0.5f, 0.0f});
    for (int size = 2048; size <= A_fft_max_size; size *= 2)
        A_fft_forward(x.data(), size);
    QCOMPARE(out.text(), QByteArray());
}

QTEST_GUILESS_MAIN(TestFftPlanTable)
#include "tst_a_fft_plantable.moc"
