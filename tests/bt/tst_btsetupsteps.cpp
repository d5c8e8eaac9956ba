// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtSetupSteps.h"

#include <QtTest>

namespace S = BtSetupSteps;

// The exact bytes and waits each set-up action puts on the line, as the kit expects them.
class BtSetupStepsTest : public QObject
{
    Q_OBJECT
private slots:
    void sequences_data()
    {
        const QString w; // a wait
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("frequencies set, then both read back")
            << S::setFreqs(QStringLiteral("24.1"), QStringLiteral(" 24.35x"))
            << QStringList{"SWEEP:FREQSTAR 24.1$", w, "SWEEP:FREQSTOP  24.35x$", w,
                           "SWEEP:FREQSTOP?$", w, "SWEEP:FREQSTAR?$"};
        QTest::newRow("ramp as typed, then read back")
            << S::setRamp(QStringLiteral("1.5"))
            << QStringList{"SWEEP:RAMPTIME 1.5$", w, "SWEEP:RAMPTIME?$", w};
        QTest::newRow("ramp as a number") << S::setRamp(-3)
                                          << QStringList{"SWEEP:RAMPTIME -3$", w};
        QTest::newRow("sweep type") << S::setSweepType(1) << QStringList{"SWEEP:TYPE 1$", w};
        QTest::newRow("sweep type query, no wait") << S::readSweepType()
                                                   << QStringList{"SWEEP:TYPE?$"};
        QTest::newRow("start") << S::startSweep() << QStringList{"SWEEP:START$", w};
        QTest::newRow("stop") << S::stopSweep() << QStringList{"SWEEP:STOP$", w};
        QTest::newRow("RF on, then read back")
            << S::switchRf(true) << QStringList{"POWE:RF 1$", w, "POWE:RF?$", w};
        QTest::newRow("RF off, then read back")
            << S::switchRf(false) << QStringList{"POWE:RF 0$", w, "POWE:RF?$", w};
    }

    void sequences()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QCOMPARE(steps, expected);
        for (int i = 0; i < steps.size(); ++i) // a wait is null, never merely empty
            QCOMPARE(steps[i].isNull(), expected[i].isEmpty());
    }
};

QTEST_APPLESS_MAIN(BtSetupStepsTest)
#include "tst_btsetupsteps.moc"
