// SPDX-License-Identifier: GPL-3.0-or-later
// Captures against a virtual kit through KitSession and CaptureSession alone: the loop, the timed
// collection, a kit that goes away, and results of a session that is gone.
#include "radar/CaptureSession.h"
#include "radar/KitSession.h"
#include "support/RadarTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using State = CaptureCycle::State;

class CaptureSessionTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loopStopsAfterTheFrameOnTheWire();
    void collectionNumbersItsFramesAndResumes();
    void aKitThatGoesAwayStopsTheLoopAndSaysWhy();
    void aRefusedSampleCountSendsNothing();
    void resultsOfAGoneSessionAreDropped();

private:
    int frameRequests() { return sim->count(QStringLiteral("CAPT:FRAM 64")); }
    std::unique_ptr<SimKits> sim;
    std::unique_ptr<KitSession> kit;
    std::unique_ptr<CaptureSession> session;
    bool countOk = true;
};

void CaptureSessionTest::init()
{
    sim = std::make_unique<SimKits>();
    kit = std::make_unique<KitSession>(&sim->usb, sim->target(), QStringLiteral("SIM0001"));
    countOk = true;
    session = std::make_unique<CaptureSession>(*kit, [this](int *n) {
        *n = 64;
        return countOk;
    });
}

void CaptureSessionTest::cleanup()
{
    session.reset();
    kit.reset();
    sim.reset();
}

void CaptureSessionTest::loopStopsAfterTheFrameOnTheWire()
{
    QSignalSpy live(session.get(), &CaptureSession::liveFrame);
    QSignalSpy status(session.get(), &CaptureSession::captureStatus);
    session->setContinuous(true);
    QCOMPARE(session->cycle().state(), State::Continuous);
    QTRY_VERIFY(live.size() >= 3);
    QVERIFY(status.last().first().toString().startsWith(QStringLiteral("Frame ")));
    session->setContinuous(false);
    // The frame on the wire (if any) still arrives; nothing is asked for after it.
    QTRY_COMPARE(session->cycle().state(), State::Idle);
    QTRY_COMPARE(kit->pending(), 0);
    const int requests = frameRequests();
    QTest::qWait(50);
    QCOMPARE(frameRequests(), requests);
    QCOMPARE(live.size(), requests);
    QCOMPARE(session->framesTaken(), requests);
}

void CaptureSessionTest::collectionNumbersItsFramesAndResumes()
{
    QSignalSpy begins(session.get(), &CaptureSession::collectionBegins);
    QSignalSpy frames(session.get(), &CaptureSession::collectionFrame);
    session->setPlan({3, 64, 0.0});
    session->toggleCollection();
    QCOMPARE(session->cycle().state(), State::Collecting);
    QTRY_COMPARE(session->cycle().state(), State::Idle);
    QCOMPARE(begins.size(), 1);
    QCOMPARE(frames.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(frames.at(i).at(1).toInt(), i);
    // Times run from the first frame's request.
    QVERIFY(frames.at(0).at(2).toDouble() < 0.01);
    QVERIFY(frames.at(2).at(2).toDouble() >= frames.at(1).at(2).toDouble());

    // Stopped after its first frame, a collection goes on from there without starting anew.
    frames.clear();
    session->setPlan({3, 64, 0.3});
    session->toggleCollection();
    QTRY_COMPARE(frames.size(), 1);
    session->toggleCollection();
    QTRY_COMPARE(session->cycle().state(), State::Idle);
    QCOMPARE(begins.size(), 2);
    session->toggleCollection();
    QTRY_COMPARE(frames.size(), 3);
    QCOMPARE(begins.size(), 2);
    QCOMPARE(frames.last().at(1).toInt(), 2);
}

void CaptureSessionTest::aKitThatGoesAwayStopsTheLoopAndSaysWhy()
{
    QSignalSpy live(session.get(), &CaptureSession::liveFrame);
    QSignalSpy stopped(session.get(), &CaptureSession::continuousStopped);
    QSignalSpy errors(session.get(), &CaptureSession::errorMessage);
    session->setContinuous(true);
    QTRY_VERIFY(live.size() >= 1);
    sim->kit().disconnect();
    QTRY_COMPARE(stopped.size(), 1);
    QCOMPARE(stopped.first().first().toString(),
             QStringLiteral("Continuous capture stopped: the kit could not be opened."));
    QCOMPARE(session->cycle().state(), State::Idle);
    QVERIFY(!errors.isEmpty()); // a frame cut short, or the kit not found by its serial
}

void CaptureSessionTest::aRefusedSampleCountSendsNothing()
{
    QSignalSpy stopped(session.get(), &CaptureSession::continuousStopped);
    countOk = false;
    session->collectOnce();
    session->setContinuous(true);
    QCOMPARE(stopped.size(), 2);
    QCOMPARE(session->cycle().state(), State::Idle);
    QCOMPARE(kit->pending(), 0);
    QCOMPARE(frameRequests(), 0);
}

void CaptureSessionTest::resultsOfAGoneSessionAreDropped()
{
    bool called = false;
    kit->query(QStringLiteral("*IDN?"), [&called](const KitSession::Reply &) { called = true; });
    session->collectOnce();
    session.reset();
    kit.reset(); // the queued query and the frame on the wire end without calling back
    QTest::qWait(100);
    QVERIFY(!called);
}

QTEST_MAIN(CaptureSessionTest)
#include "tst_capturesession.moc"
