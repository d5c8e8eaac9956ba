// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/FrameHistory.h"

#include <QtTest>

class tst_FrameHistory : public QObject
{
    Q_OBJECT
private slots:
    // Right after start nine zero frames share the mean: the first frame shows at a tenth.
    void meanStartsFromZeros()
    {
        FrameHistory h(4);
        const QVector<double> f{1.0, -2.0, 0.5, 3.0};
        h.add(f);
        const QVector<double> mean = h.averaged(f, FrameHistory::Averaging::MeanOfTen);
        QCOMPARE(mean, (QVector<double>{0.1, -0.2, 0.05, 0.3}));
        const QVector<double> minus = h.averaged(f, FrameHistory::Averaging::MinusMeanOfTen);
        QCOMPARE(minus, (QVector<double>{0.9, -1.8, 0.45, 2.7}));
        QCOMPARE(h.averaged(f, FrameHistory::Averaging::None), f);
    }

    // Eleven frames: the oldest has left; the history keeps raw frames, newest first.
    void keepsTheLastTen()
    {
        FrameHistory h(2);
        for (int k = 1; k <= 11; ++k)
            h.add(QVector<double>{double(k), 0.0});
        QCOMPARE(h.frames().size(), FrameHistory::depth);
        QCOMPARE(h.frames().first().first(), 11.0);
        QCOMPARE(h.frames().last().first(), 2.0);
        // (2 + 3 + ... + 11) / 10 = 6.5
        QCOMPARE(h.averaged({11.0, 0.0}, FrameHistory::Averaging::MeanOfTen).first(), 6.5);
    }

    // A frame of another length starts the mean again from nine zeros.
    void lengthChangeRefills()
    {
        FrameHistory h(2);
        for (int k = 0; k < 10; ++k)
            h.add(QVector<double>{5.0, 5.0});
        const QVector<double> f{2.0, 4.0, 6.0};
        h.add(f);
        QCOMPARE(h.frames().size(), FrameHistory::depth);
        QCOMPARE(h.frames().at(1), QVector<double>(3, 0.0));
        QCOMPARE(h.averaged(f, FrameHistory::Averaging::MeanOfTen), (QVector<double>{0.2, 0.4, 0.6}));
    }

    void twoPulseDifference()
    {
        QCOMPARE(FrameHistory::twoPulse({1.0, 2.0}, {0.5, 3.0}), (QVector<double>{0.5, -1.0}));
        // No previous frame of this length: the frame itself.
        QCOMPARE(FrameHistory::twoPulse({1.0, 2.0}, {}), (QVector<double>{1.0, 2.0}));
    }
};

QTEST_APPLESS_MAIN(tst_FrameHistory)
#include "tst_framehistory.moc"
