// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/CaptureSession.h"

#include "capture/SampleCount.h"
#include "radar/KitSession.h"
#include "widgets/Logging.h"

#include <QPointer>

#include <cmath>
#include <limits>

using Next = CaptureCycle::Next;
using State = CaptureCycle::State;

CaptureSession::CaptureSession(KitSession &k, LiveCount count, QObject *parent)
    : QObject(parent), kit(k), liveCount(std::move(count))
{
    continuousTimer.setSingleShot(true);
    connect(&continuousTimer, &QTimer::timeout, this, [this] { act(states.continueLoop()); });
    collectionTimer.setSingleShot(true);
    connect(&collectionTimer, &QTimer::timeout, this, [this] { act(states.collectionStep()); });
}

void CaptureSession::collectOnce()
{
    if (!states.canCollectOnce())
        return; // one frame at a time; the one in flight is drawn when it arrives
    int n = 0;
    if (!liveCount(&n)) {
        // Nothing is sent and the frame on show stays; continuous capture, if on, stops.
        stopContinuous(SampleCount::rangeMessage());
        return;
    }
    states.collectOnce();
    request(n, false, 0);
}

void CaptureSession::setContinuous(bool on)
{
    if (on) {
        loopFrames = 0;
        loopClock.start();
        act(states.startContinuous()); // with a frame in flight, the loop goes on when it arrives
    } else {
        // The frame in flight still arrives and is drawn; nothing starts after it.
        states.stopContinuous();
        continuousTimer.stop();
    }
    emit changed();
}

void CaptureSession::stopContinuous(const QString &reason)
{
    qCDebug(lcRadar) << reason;
    states.stopContinuous();
    continuousTimer.stop();
    emit changed();
    emit continuousStopped(reason);
}

void CaptureSession::toggleCollection()
{
    if (states.state() == State::Collecting) {
        collectionTimer.stop();
        states.stopCollection();
        qCDebug(lcRadar) << "collection stopped by the user after" << states.framesTaken()
                         << "captures";
        emit collectionPaused();
        emit changed();
        return;
    }
    if (!states.canToggleCollection())
        return;
    // One that stopped early goes on in the same files; one that has all its frames starts anew.
    if (!states.resumes() || states.framesTaken() >= plan.planned) {
        emit collectionBegins();
        collectionClock.invalidate();
    }
    const Next next = states.startCollection(plan.planned);
    emit changed();
    act(next);
}

void CaptureSession::stopCollection(const QString &reason)
{
    collectionTimer.stop();
    states.stopCollection();
    emit changed();
    qCDebug(lcRadar) << reason;
    emit collectionStopped(reason);
}

void CaptureSession::act(Next next)
{
    switch (next) {
    case Next::RequestFrame:
        requestLive();
        break;
    case Next::ArmContinuous:
        continuousTimer.start(1);
        break;
    case Next::RequestCollection:
        requestCollection();
        break;
    case Next::CollectionDone:
        emit changed();
        break;
    case Next::Nothing:
        if (states.state() == State::Collecting && states.stepsBackToBack())
            emit collectionBackToBack();
        break;
    }
}

void CaptureSession::requestLive()
{
    int n = 0;
    if (!liveCount(&n)) {
        stopContinuous(SampleCount::rangeMessage());
        return;
    }
    request(n, false, 0);
}

void CaptureSession::requestCollection()
{
    emit collectionStep(states.framesTaken(), plan.planned);
    if (!collectionClock.isValid())
        collectionClock.start();
    sinceFirstS = collectionClock.nsecsElapsed() / 1e9;
    const double ms = std::trunc(plan.intervalS * 1000.0);
    request(plan.samples, true, int(qBound(0.0, ms, double(std::numeric_limits<int>::max()))));
}

void CaptureSession::request(int n, bool forCollection, int intervalMs)
{
    states.frameRequested();
    emit transfer(0, qMax(1, FrameCapture::queryCount(n)));
    emit changed();
    const QPointer<CaptureSession> self(this);
    KitSession::FrameCalls calls;
    if (forCollection) // the interval runs from the frame request
        calls.requested = [self, intervalMs] {
            if (self && self->states.state() == State::Collecting)
                self->collectionTimer.start(intervalMs);
        };
    calls.progress = [self](int received, int expected) {
        if (self)
            emit self->transfer(received, expected);
    };
    calls.done = [self, forCollection](bool opened, const FrameCapture::FrameText &frame) {
        if (self)
            self->arrived(opened, frame, forCollection);
    };
    kit.captureFrame(n, std::move(calls));
}

void CaptureSession::arrived(bool opened, const FrameCapture::FrameText &frame,
                             bool forCollection)
{
    if (!opened) {
        openFailed(forCollection);
        return;
    }
    const Next next = states.frameHandled(forCollection);
    ++framesAsked;
    if (!frame.check.ok) {
        // Neither drawn, saved nor entered in the history; a collection's index notes a gap.
        ++framesRefused;
        emit errorMessage(QStringLiteral("frame %1 %2").arg(framesAsked).arg(frame.check.reason));
    }
    if (forCollection)
        emit collectionFrame(frame, states.framesTaken() - 1, sinceFirstS);
    else if (frame.check.ok)
        emit liveFrame(frame); // may stop the loop (an empty frame)
    // The handling may have stopped the loop or the collection.
    if (next == Next::ArmContinuous) {
        if (states.state() == State::Continuous) {
            if (frame.check.ok && !forCollection)
                ++loopFrames;
            emit captureStatus(frameRateText());
            continuousTimer.start(1); // the next frame, once the event loop has drawn this one
        }
    } else if (next != Next::RequestCollection || states.state() == State::Collecting) {
        act(next);
    }
    emit changed();
}

void CaptureSession::openFailed(bool forCollection)
{
    const bool looping = states.state() == State::Continuous;
    const int taken = states.framesTaken();
    states.linkFailed();
    collectionTimer.stop();
    continuousTimer.stop();
    if (kit.kitMissing())
        emit errorMessage(QStringLiteral("kit SN:%1 not found").arg(kit.serial()));
    if (forCollection)
        stopCollection(QStringLiteral("The collection stopped after %1 of %2 captures: the kit "
                                      "could not be opened. Press Start Collection to go on "
                                      "from there.")
                           .arg(taken)
                           .arg(plan.planned));
    else if (looping)
        stopContinuous(QStringLiteral("Continuous capture stopped: the kit could not be opened."));
    emit changed();
}

QString CaptureSession::frameRateText() const
{
    const double seconds = loopClock.elapsed() / 1000.0;
    const double rate = seconds > 0 ? loopFrames / seconds : 0.0;
    QString text = QStringLiteral("Frame %1 \u00b7 %2 frames/s")
                       .arg(loopFrames)
                       .arg(QString::number(rate, 'f', 2));
    if (framesRefused > 0)
        text += QStringLiteral(" \u00b7 %1 dropped").arg(framesRefused);
    return text;
}
