// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtCapture.h"
#include "bt/BtFrameRequests.h"
#include "bt/CommandSteps.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class BtFrameRequestsTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        explicit Rig(int pauseMs) { steps.setPause(pauseMs); }
        BtCapture capture;
        CommandSteps steps;
        BtFrameRequests requests{capture, steps};
        QSignalSpy sent{&steps, &CommandSteps::command};
        QSignalSpy due{&requests, &BtFrameRequests::nextDue};
        QSignalSpy overdue{&requests, &BtFrameRequests::overdue};
    };

private slots:
    // In the loop the next frame is due once per reply, and never during the wait after the
    // last command: the kit would see the request inside the pause it needs.
    void nextFrameDueOncePerReplyAfterTheWaits()
    {
        Rig r(200);
        auto &[capture, steps, requests, sent, due, overdue] = r;
        capture.setContinuous(true);
        QVERIFY(requests.mayRequest());
        QElapsedTimer clock;
        clock.start();
        requests.request(16);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("CAPT:STRE 16$"));
        QVERIFY(!requests.mayRequest());
        QCOMPARE(requests.frameArrived(), -1);
        requests.frameArrived(); // a stray second reply arms nothing more
        QTRY_COMPARE(due.size(), 1);
        // Not during the wait after the request (a coarse timer may end up to 5 % early).
        QVERIFY2(clock.elapsed() >= 190, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(50);
        QCOMPARE(due.size(), 1);
    }

    void outsideTheLoopNothingFollows()
    {
        Rig r(0);
        auto &[capture, steps, requests, sent, due, overdue] = r;
        requests.request(16);
        requests.request(16); // each click asks
        QVERIFY(requests.mayRequest());
        requests.frameArrived();
        QTest::qWait(50);
        QVERIFY(due.isEmpty());
        QVERIFY(overdue.isEmpty());
    }

    // A quiet kit ends the loop after the reply's time on the line and a margin, not before.
    void aQuietKitIsOverdue()
    {
        Rig r(0);
        auto &[capture, steps, requests, sent, due, overdue] = r;
        capture.setContinuous(true);
        QElapsedTimer clock;
        clock.start();
        requests.request(16); // 45 bytes at 960 bytes/s: under 0.05 s, plus 2 s
        QVERIFY(overdue.wait(5000));
        QVERIFY(clock.elapsed() >= 2000);
        QVERIFY(requests.mayRequest()); // the lost frame does not block the next loop
    }
};

QTEST_MAIN(BtFrameRequestsTest)
#include "tst_btframerequests.moc"
