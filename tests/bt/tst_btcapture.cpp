// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtCapture.h"

#include <QtTest>

class BtCaptureTest : public QObject
{
    Q_OBJECT
private slots:
    // Outside the loop every click asks; in it one request per frame, and only the frame's
    // arrival makes the next one due.
    void continuousAsksOncePerFrame()
    {
        BtCapture c;
        QVERIFY(c.mayRequest());
        c.requested(64);
        QVERIFY(c.mayRequest()); // single frames never block the button
        QVERIFY(!c.frameArrived().continueLoop);

        c.setContinuous(true);
        QVERIFY(c.continuousOn());
        QVERIFY(c.mayRequest()); // the user's click sends the first
        c.requested(64);
        QCOMPARE(c.requestedSamples(), 64);
        QVERIFY(!c.mayRequest());
        QVERIFY(!c.continueDue()); // a redraw meanwhile asks for nothing
        QVERIFY(c.frameArrived().continueLoop);
        QVERIFY(c.continueDue());
        // A second reply (one the console asked for) does not arm the loop again.
        QVERIFY(!c.frameArrived().continueLoop);
        c.requested(64);
        QVERIFY(!c.mayRequest());
    }

    // Stopping lets the frame on the wire arrive without asking for another; a frame that never
    // comes does not hold up the next loop.
    void stoppingAndAQuietKit()
    {
        BtCapture c;
        c.setContinuous(true);
        c.requested(16);
        c.setContinuous(false);
        QVERIFY(c.mayRequest());
        QVERIFY(!c.frameArrived().continueLoop);
        QVERIFY(!c.continueDue());

        c.setContinuous(true);
        c.requested(16);
        QVERIFY(c.frameOverdue()); // the loop was on: the tab tells the user
        QVERIFY(!c.loopAwaiting());
        c.setContinuous(false);

        // Stopped with a frame out that is then lost: the watchdog still clears it.
        c.setContinuous(true);
        c.requested(16);
        c.setContinuous(false);
        QVERIFY(!c.frameOverdue());
        c.setContinuous(true);
        QVERIFY(c.mayRequest());
    }

    // Each reply belongs to the step whose request it answers; a step no reply answered before
    // the next is a gap; the series ends after its last request's reply or next tick.
    void seriesNumbersRepliesAndGaps()
    {
        BtCapture c;
        QVERIFY(c.beginSeries(3));
        QVERIFY(!c.beginSeries(5));
        QCOMPARE(c.takeUnanswered(), -1);
        QCOMPARE(c.nextRequest(512), 0);
        QCOMPARE(c.requestedSamples(), 512);
        QCOMPARE(c.frameArrived().seriesNumber, 0);
        QCOMPARE(c.frameArrived().seriesNumber, -1); // a second reply is no step's
        QCOMPARE(c.takeUnanswered(), -1);
        QCOMPARE(c.nextRequest(512), 1);
        QCOMPARE(c.takeUnanswered(), 1); // no reply within the interval: a gap
        QCOMPARE(c.nextRequest(512), 2);
        QVERIFY(!c.seriesComplete());
        QCOMPARE(c.frameArrived().seriesNumber, 2);
        QVERIFY(c.seriesComplete());
        QCOMPARE(c.nextRequest(512), -1);
        c.endSeries();
        QVERIFY(!c.seriesRunning());
        QCOMPARE(c.frameArrived().seriesNumber, -1);
        QVERIFY(c.sinceFirstS(0) <= c.sinceFirstS(1));
        QVERIFY(c.sinceFirstS(1) <= c.sinceFirstS(2));
        QCOMPARE(c.sinceFirstS(7), 0.0);

        // A new series numbers from 0 again; one of no steps ends at its first tick.
        QVERIFY(c.beginSeries(0));
        QCOMPARE(c.nextRequest(512), -1);
    }

    // The loop and a series share the line but not their bookkeeping.
    void seriesAndLoopTogether()
    {
        BtCapture c;
        c.setContinuous(true);
        c.requested(16);
        QVERIFY(c.beginSeries(1));
        QCOMPARE(c.nextRequest(1024), 0);
        QCOMPARE(c.requestedSamples(), 1024);
        const BtCapture::Arrival a = c.frameArrived();
        QVERIFY(a.continueLoop);
        QCOMPARE(a.seriesNumber, 0);
    }
};

QTEST_APPLESS_MAIN(BtCaptureTest)
#include "tst_btcapture.moc"
