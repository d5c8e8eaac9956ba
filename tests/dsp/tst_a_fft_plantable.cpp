// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/A_fft.h"

#include <QtTest>

// Fills the process-wide plan table, so it runs alone in this executable and in this order.
class TestFftPlanTable : public QObject
{
    Q_OBJECT

private slots:
    void presetSizesComeFirst();
    void fortyNineFurtherSizesAreTracked();
    void fiftiethSizeIsReportedButStillTransformed();
    void trackedSizesKeepWorking();

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

void TestFftPlanTable::presetSizesComeFirst()
{
    QCOMPARE(trackedSizes(), (QVector<int>{32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384,
                                           32768, 65536, 131072, 262144, 524288}));
}

void TestFftPlanTable::fortyNineFurtherSizesAreTracked()
{
    StdoutCapture out;
    for (int size = 150; size < 199; ++size) // none of them a preset size
        QVERIFY2(transformsCorrectly(size), qPrintable(QString::number(size)));
    QCOMPARE(out.text(), QByteArray());
    const QVector<int> tracked = trackedSizes();
    QCOMPARE(tracked.size(), kvvlx::fft::planSlots);
    QCOMPARE(tracked[15], 150);
    QCOMPARE(tracked[63], 198);
}

void TestFftPlanTable::fiftiethSizeIsReportedButStillTransformed()
{
    StdoutCapture out;
    QVERIFY(transformsCorrectly(199));
    QCOMPARE(out.text(), QByteArray("A_fft: unable to create tracked plan for FFT size 199\n"
                                    "A_fft: unable to create tracked plan for FFT size 199\n"));
    QCOMPARE(trackedSizes().size(), kvvlx::fft::planSlots);
    QVERIFY(!trackedSizes().contains(199));
}

void TestFftPlanTable::trackedSizesKeepWorking()
{
    StdoutCapture out;
    QVERIFY(transformsCorrectly(1024));
    QVERIFY(transformsCorrectly(150));
    QVERIFY(transformsCorrectly(198));
    QCOMPARE(out.text(), QByteArray());
}

QTEST_GUILESS_MAIN(TestFftPlanTable)
#include "tst_a_fft_plantable.moc"
