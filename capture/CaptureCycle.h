// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a tab's capture is doing, in one named state with its transitions in one place: one frame
// at a time on the link, a continuous loop that asks for the next frame only after the last one
// was handled, and a timed collection whose steps may come due while a frame is still on the wire.
//
//              collectOnce                 frame handled
//   Idle ───────────────────────► Single ─────────────────► Idle
//    │  startContinuous                     stopContinuous, frame in flight
//    ├────────────────────────► Continuous ──────────────────────────► Stopping ──► Idle
//    │  startCollection                      (frame handled)            (frame handled)
//    └────────────────────────► Collecting ──► Idle (all frames taken, or stopCollection)
//
// The class only decides; the tab sends, arms its timers and draws. Plain C++ so both tabs and
// the tests drive it without a kit or an event loop.
class CaptureCycle
{
public:
    enum class State {
        Idle,       // nothing on the wire, no loop
        Single,     // one Collect and Plot frame on the wire
        Continuous, // the loop runs: a frame on the wire or the next one armed
        Collecting, // a timed collection runs
        Stopping,   // a loop was stopped; its last frame is still on the wire
    };

    // What the tab does next.
    enum class Next {
        Nothing,
        RequestFrame,      // ask the kit for a live frame now
        ArmContinuous,     // ask for the next live frame once the event loop has drawn this one
        RequestCollection, // ask for the collection's next frame now
        CollectionDone,    // every planned frame was taken
    };

    State state() const { return current; }
    bool frameInFlight() const { return inFlight; }

    // Which controls make sense now: a second kind of capture would only queue behind the first.
    bool canCollectOnce() const;
    bool canToggleContinuous() const { return current != State::Collecting; }
    bool canToggleCollection() const { return current != State::Continuous; }

    // "Collect and Plot": a frame unless one is on the wire or a loop already asks for frames.
    Next collectOnce();
    // The continuous switch. Starting with a frame on the wire waits for it; stopping lets the
    // frame on the wire arrive and be drawn, and asks for none after it.
    Next startContinuous();
    void stopContinuous();
    // The armed continuous timer fired: the next frame, unless the loop stopped meanwhile.
    Next continueLoop();

    // A collection of `planned` frames. One stopped early goes on after the frames it took
    // (resumes() tells beforehand); a finished one starts again from its first frame.
    Next startCollection(int planned);
    bool resumes() const { return taken > 0; }
    // The interval timer fired. With a frame still on the wire the step waits for it (frames then
    // follow back to back: see stepsBackToBack()).
    Next collectionStep();
    void stopCollection();
    int framesTaken() const { return taken; }
    int framesPlanned() const { return planned; }
    bool stepsBackToBack() const { return backToBack; }

    // The tab put a request on the wire.
    void frameRequested();
    // The frame requested last was handled (drawn, saved or dropped) or never came (the kit did
    // not open). A collection frame counts as taken either way: a gap is still a step.
    Next frameHandled(bool forCollection);
    // The kit could not be opened: no frame came, and no loop goes on without a kit.
    void linkFailed();
    // A fault that ends a loop after its frame was handled (the kit sent an empty frame).
    void abort();

private:
    State current = State::Idle;
    bool inFlight = false;
    bool stepDue = false;
    bool backToBack = false;
    int taken = 0;
    int planned = 0;
};
