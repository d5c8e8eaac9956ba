// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtCapture.h"

#include <utility>

using Next = CaptureCycle::Next;

void BtCapture::setContinuous(bool on)
{
    if (on)
        loop.startContinuous(); // its request waits for the user's click
    else
        loop.stopContinuous(); // a frame on the wire is still drawn; none follows it
}

void BtCapture::requested(int samples)
{
    requestedCount = samples;
    if (continuousOn())
        loop.frameRequested();
}

bool BtCapture::frameOverdue()
{
    const bool wasOn = continuousOn();
    loop.linkFailed(); // the frame will not come: a new loop may ask again
    return wasOn;
}

BtCapture::Arrival BtCapture::frameArrived()
{
    Arrival a;
    if (loop.frameInFlight())
        a.continueLoop = loop.frameHandled(false) == Next::ArmContinuous;
    if (running)
        a.seriesNumber = std::exchange(awaiting, -1);
    return a;
}

bool BtCapture::beginSeries(int plannedSteps)
{
    if (running)
        return false;
    running = true;
    planned = plannedSteps;
    sent = 0;
    awaiting = -1;
    requestS.clear();
    firstRequest = std::chrono::steady_clock::now();
    return true;
}

int BtCapture::takeUnanswered() { return std::exchange(awaiting, -1); }

int BtCapture::nextRequest(int samples)
{
    if (!running || sent >= planned)
        return -1;
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - firstRequest;
    requestS.push_back(since.count());
    awaiting = sent++;
    requestedCount = samples;
    return awaiting;
}

void BtCapture::endSeries()
{
    running = false;
    awaiting = -1;
    sent = 0;
}

double BtCapture::sinceFirstS(int number) const
{
    return number >= 0 && std::size_t(number) < requestS.size() ? requestS[std::size_t(number)]
                                                                  : 0.0;
}
