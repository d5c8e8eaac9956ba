// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureCycle.h"

using State = CaptureCycle::State;
using Next = CaptureCycle::Next;

bool CaptureCycle::canCollectOnce() const
{
    return !inFlight && current != State::Continuous && current != State::Collecting;
}

Next CaptureCycle::collectOnce()
{
    if (!canCollectOnce())
        return Next::Nothing;
    current = State::Single;
    return Next::RequestFrame;
}

Next CaptureCycle::startContinuous()
{
    if (!canToggleContinuous())
        return Next::Nothing;
    current = State::Continuous;
    // A frame already on the wire keeps the loop going when it arrives.
    return inFlight ? Next::Nothing : Next::RequestFrame;
}

void CaptureCycle::stopContinuous()
{
    if (current == State::Continuous)
        current = inFlight ? State::Stopping : State::Idle;
}

Next CaptureCycle::continueLoop()
{
    return current == State::Continuous && !inFlight ? Next::RequestFrame : Next::Nothing;
}

Next CaptureCycle::startCollection(int plannedFrames)
{
    if (!canToggleCollection())
        return Next::Nothing;
    if (taken >= plannedFrames)
        taken = 0;
    planned = plannedFrames;
    backToBack = false;
    stepDue = false;
    current = State::Collecting;
    return collectionStep();
}

Next CaptureCycle::collectionStep()
{
    if (current != State::Collecting)
        return Next::Nothing;
    if (inFlight) {
        stepDue = true;
        backToBack = true;
        return Next::Nothing;
    }
    if (taken >= planned) {
        taken = 0;
        current = State::Idle;
        return Next::CollectionDone;
    }
    return Next::RequestCollection;
}

void CaptureCycle::stopCollection()
{
    if (current != State::Collecting)
        return;
    stepDue = false;
    current = inFlight ? State::Stopping : State::Idle;
}

void CaptureCycle::frameRequested() { inFlight = true; }

Next CaptureCycle::frameHandled(bool forCollection)
{
    inFlight = false;
    if (forCollection)
        ++taken;
    switch (current) {
    case State::Single:
    case State::Stopping:
        current = State::Idle;
        return Next::Nothing;
    case State::Continuous:
        return Next::ArmContinuous;
    case State::Collecting:
        if (stepDue) {
            stepDue = false;
            return collectionStep();
        }
        return Next::Nothing;
    case State::Idle:
        break;
    }
    return Next::Nothing;
}

void CaptureCycle::linkFailed()
{
    inFlight = false;
    stepDue = false;
    current = State::Idle;
}

void CaptureCycle::abort()
{
    stepDue = false;
    current = inFlight ? State::Stopping : State::Idle;
}
