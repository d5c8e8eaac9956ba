// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CaptureCycle.h"

#include <chrono>
#include <vector>

// What the Bluetooth tab's captures are doing, in one place: the continuous loop (the shared
// CaptureCycle), the timed series, and the sample count the last "CAPT:STRE" asked for.
//
// The loop sends exactly one request per frame: only a data reply (or the kit going quiet)
// makes the next one due, so redraws, page switches and clicks never add one; replies would
// overlap on the line otherwise. Outside the loop "Collect and Plot" asks whenever clicked.
//
// A series asks on its interval whatever came back: each reply is saved under the number of
// the request it answers, and a request no reply answered before the next step is a gap.
// Plain C++: the tab sends, arms its timers and writes files.
class BtCapture
{
public:
    // ---- Continuous loop ----
    bool continuousOn() const { return loop.state() == CaptureCycle::State::Continuous; }
    // Switching on asks for nothing: the user's click on "Collect and Plot" sends the first.
    void setContinuous(bool on);
    // Whether "Collect and Plot" may send now: always outside the loop, once per frame in it.
    bool mayRequest() const { return !continuousOn() || !loop.frameInFlight(); }
    // A loop frame is on the wire, with no reply yet.
    bool loopAwaiting() const { return loop.frameInFlight(); }
    // The loop's next request, once the frame just handled is drawn.
    bool continueDue() const { return continuousOn() && !loop.frameInFlight(); }
    // The tab sent "CAPT:STRE" for this many samples (from the button or the loop).
    void requested(int samples);
    // The kit did not answer the loop's request in time; true when the loop was on.
    bool frameOverdue();

    // Samples the last request asked for; -1 before the first. A data reply must carry exactly
    // this many.
    int requestedSamples() const { return requestedCount; }

    // A data reply came, whole or refused. What follows from it:
    struct Arrival
    {
        bool continueLoop = false; // arm the loop's next request
        int seriesNumber = -1;     // the series step it answers, or -1
    };
    Arrival frameArrived();

    // ---- Timed series ----
    // False while one runs: a second would share the numbering with the first.
    bool beginSeries(int planned);
    bool seriesRunning() const { return running; }
    // The interval timer fired: the step still awaiting a reply (a gap), or -1. It awaits no
    // more afterwards.
    int takeUnanswered();
    // The next step's number, its request time noted; -1 when every request went (the series
    // ends).
    int nextRequest(int samples);
    // Every request went and none awaits a reply.
    bool seriesComplete() const { return running && sent >= planned && awaiting < 0; }
    void endSeries();
    int seriesPlanned() const { return planned; }
    // Seconds from the series' first request to the request of step number.
    double sinceFirstS(int number) const;

private:
    CaptureCycle loop;
    int requestedCount = -1;

    bool running = false;
    int planned = 0;
    int sent = 0;
    int awaiting = -1;
    std::chrono::steady_clock::time_point firstRequest;
    std::vector<double> requestS;
};
