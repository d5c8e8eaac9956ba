// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Continuous capture over Bluetooth, as one state: one "CAPT:STRE" per frame. Only a data reply
// makes the next request due, so redraws, page switches and clicks never add one; replies
// would overlap on the line otherwise.
class ContinuousCapture
{
public:
    enum class State {
        Off,
        Ready,    // on; the next request may go (the first one on the user's click)
        Awaiting, // on; a request is out and its data reply not yet in
    };

    State state() const { return current; }
    bool isOn() const { return current != State::Off; }

    void start() { current = State::Ready; }
    void stop() { current = State::Off; }
    // Whether a request may leave now: always while off, once per frame while on.
    bool mayRequest() const { return current != State::Awaiting; }
    void requested()
    {
        if (current == State::Ready)
            current = State::Awaiting;
    }
    // A data reply came, whole or refused; true when the loop should ask for the next frame.
    bool frameArrived()
    {
        if (current != State::Awaiting)
            return false;
        current = State::Ready;
        return true;
    }

private:
    State current = State::Off;
};
