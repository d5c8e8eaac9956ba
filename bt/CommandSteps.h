// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

// The Bluetooth tab's commands and the waits after them, as steps of a queue run by a timer: the
// window stays live and an idle wait costs nothing. Steps keep the order they were given in, so a
// slot called during a wait runs its commands after it, not in the middle of another sequence.
//
// The window's write pause runs on its own timer; waits (and any timer started through
// startAfterLine) begin only once the line is free again, which keeps the spacing on the line
// (write pause + wait) that the kit expects.
class CommandSteps : public QObject
{
    Q_OBJECT
public:
    explicit CommandSteps(QObject *parent = nullptr);

    // The wait after most commands, 100 ms unless replaced (tests shorten it).
    void setPause(int ms);
    void send(const QString &command);
    void wait();
    // Commands in order, a null string where a wait goes.
    void run(const QStringList &sequence);
    // A wait runs or steps are queued.
    bool busy() const;

    void setLineBusy(bool busy);
    // Starts the timer now, or once the line is free.
    void startAfterLine(QTimer &timer, int ms);
    void stopTimer(QTimer &timer);
    bool timerRunning(const QTimer &timer) const;
    // A timer interval from computed milliseconds: QTimer refuses negative ones and an int
    // cannot hold every double.
    static int timerMs(double ms);

signals:
    void command(const QString &text);
    // Every queued step has gone and no wait runs.
    void drained();

private:
    void next();

    QStringList pending; // commands, and waits as null strings
    QTimer waitTimer;
    int pauseMs = 100;
    bool lineBusy = false;
    QHash<QTimer *, int> afterLine; // timers to start, with their intervals, once the line is free
};
