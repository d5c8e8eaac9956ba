// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CaptureCycle.h"
#include "capture/FrameCapture.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class KitSession;

// The tab's captures on its kit: Collect and Plot, the continuous loop and the timed collection,
// driven by one CaptureCycle. It asks the kit for frames and arms its timers; what a frame means
// (drawn, saved, refused) is the tab's, told by the signals below.
class CaptureSession : public QObject
{
    Q_OBJECT
public:
    // A timed collection as the form sets it; read at each step, so an edit counts from the next.
    struct Plan
    {
        int planned = 0;
        int samples = 0;
        double intervalS = 0.0;
    };
    // The sample count of a live frame, false when the field holds none the kit takes.
    using LiveCount = std::function<bool(int *n)>;

    CaptureSession(KitSession &kit, LiveCount liveCount, QObject *parent = nullptr);

    const CaptureCycle &cycle() const { return states; }
    void setPlan(const Plan &p) { plan = p; }

    void collectOnce();
    void setContinuous(bool on);
    // Stops the loop and tells why (the frame on the wire still arrives).
    void stopContinuous(const QString &reason);
    // Starts (or goes on with) the collection, or stops it while one runs.
    void toggleCollection();
    void stopCollection(const QString &reason);

    // Frames asked for since the tab opened, and of those refused by the frame check.
    int framesTaken() const { return framesAsked; }
    int framesDropped() const { return framesRefused; }

    // "Frame 132 · 0.47 frames/s", and the frames dropped if any.
    QString frameRateText() const;

signals:
    void changed(); // the cycle's state: the controls follow
    void transfer(int received, int expected);
    void liveFrame(const FrameCapture::FrameText &frame);
    // number counts from 0; sinceFirstS runs from the first frame's request.
    void collectionFrame(const FrameCapture::FrameText &frame, int number, double sinceFirstS);
    void collectionBegins();             // a new collection: the files start afresh
    void collectionStep(int taken, int planned); // the next frame is requested
    void collectionPaused();             // stopped by the user, to go on later
    void collectionBackToBack();         // the interval is shorter than a frame's transfer
    void collectionStopped(const QString &reason);
    void continuousStopped(const QString &reason);
    void captureStatus(const QString &text);
    void errorMessage(const QString &text);

private:
    void requestLive();
    void requestCollection();
    void request(int n, bool forCollection, int intervalMs);
    void act(CaptureCycle::Next next);
    void arrived(bool opened, const FrameCapture::FrameText &frame, bool forCollection);
    void openFailed(bool forCollection);

    KitSession &kit;
    LiveCount liveCount;
    CaptureCycle states;
    Plan plan;
    QTimer continuousTimer; // the next loop frame, once the event loop has drawn this one
    QTimer collectionTimer; // the collection's interval, from each frame's request
    QElapsedTimer loopClock;
    int loopFrames = 0;
    int framesAsked = 0;
    int framesRefused = 0;
    QElapsedTimer collectionClock;
    double sinceFirstS = 0.0; // the collection step in flight
};
