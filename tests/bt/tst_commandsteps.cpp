// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/CommandSteps.h"

#include <QSignalSpy>
#include <QtTest>

class CommandStepsTest : public QObject
{
    Q_OBJECT

    static QStringList sent(const QSignalSpy &spy)
    {
        QStringList out;
        for (const QList<QVariant> &args : spy)
            out << args.at(0).toString();
        return out;
    }

private slots:
    // A command goes at once; a wait holds back what was queued after it, in order, and steps
    // queued during a wait never cut into the sequence before them.
    void commandsAndWaitsKeepTheirOrder()
    {
        CommandSteps steps;
        steps.setPause(200);
        QSignalSpy commands(&steps, &CommandSteps::command);
        QSignalSpy drained(&steps, &CommandSteps::drained);
        steps.send(QStringLiteral("A$"));
        steps.wait();
        steps.send(QStringLiteral("B$"));
        steps.wait();
        steps.send(QStringLiteral("C$")); // as a second slot would, during the first's wait
        QCOMPARE(sent(commands), QStringList{QStringLiteral("A$")});
        QVERIFY(steps.busy());
        QCOMPARE(drained.size(), 1); // after A, before its wait was queued
        QTRY_COMPARE(sent(commands), (QStringList{"A$", "B$"}));
        QCOMPARE(commands.size(), 2); // C waits for the second pause
        QTRY_COMPARE(sent(commands), (QStringList{"A$", "B$", "C$"}));
        QVERIFY(!steps.busy());
        QCOMPARE(drained.size(), 2);
    }

    // A wait that falls in the window's write pause starts when the line is free again, so the
    // line carries write pause plus wait between two commands.
    void waitsAndTimersStartOnlyOnceTheLineIsFree()
    {
        CommandSteps steps;
        steps.setPause(0);
        QSignalSpy commands(&steps, &CommandSteps::command);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        steps.setLineBusy(true);
        steps.send(QStringLiteral("A$"));
        steps.wait();
        steps.send(QStringLiteral("B$"));
        steps.startAfterLine(watchdog, 10000);
        QTest::qWait(30);
        QCOMPARE(commands.size(), 1);
        QVERIFY(!watchdog.isActive());
        QVERIFY(steps.timerRunning(watchdog)); // due, though not started yet
        steps.setLineBusy(false);
        QVERIFY(watchdog.isActive());
        QTRY_COMPARE(commands.size(), 2);

        // A timer stopped while it waited for the line never starts.
        steps.setLineBusy(true);
        steps.stopTimer(watchdog);
        steps.startAfterLine(watchdog, 10000);
        steps.stopTimer(watchdog);
        steps.setLineBusy(false);
        QVERIFY(!watchdog.isActive());
        QVERIFY(!steps.timerRunning(watchdog));
    }

    void negativePauseWaitsNotAtAll()
    {
        CommandSteps steps;
        steps.setPause(-5);
        QSignalSpy commands(&steps, &CommandSteps::command);
        steps.send(QStringLiteral("A$"));
        steps.wait();
        steps.send(QStringLiteral("B$"));
        QTRY_COMPARE(commands.size(), 2);
    }
};

QTEST_MAIN(CommandStepsTest)
#include "tst_commandsteps.moc"
