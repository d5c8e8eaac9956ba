// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

class BtCapture;
class CommandSteps;

// The requests of "Collect and Plot" and of the continuous loop through the kit. In the loop the
// next request is due only once the last frame was handled and the tab's waits are over, and a
// watchdog ends the loop when the kit stops sending frames.
class BtFrameRequests : public QObject
{
    Q_OBJECT
public:
    BtFrameRequests(BtCapture &capture, CommandSteps &steps, QObject *parent = nullptr);

    // Always outside the loop; once per frame in it.
    bool mayRequest() const;
    // Sends "CAPT:STRE n$" and the wait after it.
    void request(int samples);
    // A data reply came, whole or refused: the series step it answers, or -1.
    int frameArrived();

signals:
    // The loop's next frame is due: the tab reads its sample count and requests it.
    void nextDue();
    // The loop was on and the kit sent no frame in time.
    void overdue();

private:
    void continueLoop();
    void frameOverdue();

    BtCapture &capture;
    CommandSteps &steps;
    QTimer watchdog;
    bool afterSteps = false; // a loop frame arrived during a wait
};
