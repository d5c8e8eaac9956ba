// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CaptureCycle.h"

#include <QtTest>

using State = CaptureCycle::State;
using Next = CaptureCycle::Next;

class tst_CaptureCycle : public QObject
{
    Q_OBJECT
private slots:
    // One frame at a time: a second click while a frame is on the wire asks for nothing.
    void singleFrame()
    {
        CaptureCycle c;
        QCOMPARE(c.collectOnce(), Next::RequestFrame);
        c.frameRequested();
        QCOMPARE(c.state(), State::Single);
        QVERIFY(!c.canCollectOnce());
        QCOMPARE(c.collectOnce(), Next::Nothing);
        QCOMPARE(c.frameHandled(false), Next::Nothing);
        QCOMPARE(c.state(), State::Idle);
        QVERIFY(c.canCollectOnce());
    }

    // The loop asks for exactly one frame per frame handled, however often the timer fires or
    // the user clicks meanwhile; stopping lets the frame on the wire arrive and asks for no more.
    void continuousLoop()
    {
        CaptureCycle c;
        QCOMPARE(c.startContinuous(), Next::RequestFrame);
        c.frameRequested();
        QCOMPARE(c.continueLoop(), Next::Nothing);
        QCOMPARE(c.collectOnce(), Next::Nothing);
        QVERIFY(!c.canToggleCollection());
        QCOMPARE(c.frameHandled(false), Next::ArmContinuous);
        QCOMPARE(c.continueLoop(), Next::RequestFrame);
        c.frameRequested();
        c.stopContinuous();
        QCOMPARE(c.state(), State::Stopping);
        QCOMPARE(c.continueLoop(), Next::Nothing);
        QCOMPARE(c.frameHandled(false), Next::Nothing);
        QCOMPARE(c.state(), State::Idle);
    }

    // Switched on again before the last frame arrived: that frame carries the loop on.
    void continuousRestartedWhileStopping()
    {
        CaptureCycle c;
        c.startContinuous();
        c.frameRequested();
        c.stopContinuous();
        QCOMPARE(c.startContinuous(), Next::Nothing);
        QCOMPARE(c.state(), State::Continuous);
        QCOMPARE(c.frameHandled(false), Next::ArmContinuous);
        // Started while a Collect and Plot frame is on the wire: the same.
        CaptureCycle d;
        d.collectOnce();
        d.frameRequested();
        QCOMPARE(d.startContinuous(), Next::Nothing);
        QCOMPARE(d.frameHandled(false), Next::ArmContinuous);
    }

    // Three frames, the second step due while the first is still on the wire: frames follow
    // back to back, each step is taken once, and the run ends at the step after the last frame.
    void collectionBackToBack()
    {
        CaptureCycle c;
        QVERIFY(!c.resumes());
        QCOMPARE(c.startCollection(3), Next::RequestCollection);
        c.frameRequested();
        QVERIFY(!c.canCollectOnce());
        QVERIFY(!c.canToggleContinuous());
        QCOMPARE(c.collectionStep(), Next::Nothing);
        QVERIFY(c.stepsBackToBack());
        QCOMPARE(c.frameHandled(true), Next::RequestCollection);
        c.frameRequested();
        QCOMPARE(c.frameHandled(true), Next::Nothing); // on time: wait for the timer
        QCOMPARE(c.collectionStep(), Next::RequestCollection);
        c.frameRequested();
        QCOMPARE(c.frameHandled(true), Next::Nothing);
        QCOMPARE(c.framesTaken(), 3);
        QCOMPARE(c.collectionStep(), Next::CollectionDone);
        QCOMPARE(c.state(), State::Idle);
        QCOMPARE(c.framesTaken(), 0);
        QCOMPARE(c.collectionStep(), Next::Nothing); // a late timer does nothing
    }

    // Stopped with a frame on the wire: it still counts, and Start goes on from there.
    void collectionStopAndResume()
    {
        CaptureCycle c;
        c.startCollection(4);
        c.frameRequested();
        c.frameHandled(true);
        c.collectionStep();
        c.frameRequested();
        c.stopCollection();
        QCOMPARE(c.state(), State::Stopping);
        QCOMPARE(c.collectionStep(), Next::Nothing);
        QCOMPARE(c.frameHandled(true), Next::Nothing);
        QCOMPARE(c.state(), State::Idle);
        QCOMPARE(c.framesTaken(), 2);
        QVERIFY(c.resumes());
        QCOMPARE(c.startCollection(4), Next::RequestCollection);
        QCOMPARE(c.framesTaken(), 2);
    }

    // No kit, no loop: nothing is counted, and the controls come back.
    void linkFailureEndsLoops()
    {
        CaptureCycle c;
        c.startContinuous();
        c.frameRequested();
        c.linkFailed();
        QCOMPARE(c.state(), State::Idle);
        QVERIFY(c.canCollectOnce());

        c.startCollection(5);
        c.frameRequested();
        c.linkFailed();
        QCOMPARE(c.state(), State::Idle);
        QCOMPARE(c.framesTaken(), 0);
        QVERIFY(c.canToggleContinuous());

        // An empty frame ends the loop after it was handled.
        c.startContinuous();
        c.frameRequested();
        c.frameHandled(false);
        c.abort();
        QCOMPARE(c.state(), State::Idle);
        QCOMPARE(c.continueLoop(), Next::Nothing);
    }
};

QTEST_APPLESS_MAIN(tst_CaptureCycle)
#include "tst_capturecycle.moc"
