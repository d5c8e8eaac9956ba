// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/CommandSteps.h"

#include <QtGlobal>

#include <cmath>
#include <limits>
#include <utility>

CommandSteps::CommandSteps(QObject *parent) : QObject(parent)
{
    waitTimer.setSingleShot(true);
    connect(&waitTimer, &QTimer::timeout, this, &CommandSteps::next);
}

void CommandSteps::setPause(int ms) { pauseMs = qMax(0, ms); }

void CommandSteps::send(const QString &command)
{
    pending.append(command);
    next();
}

void CommandSteps::wait()
{
    pending.append(QString());
    next();
}

void CommandSteps::run(const QStringList &sequence)
{
    pending.append(sequence);
    next();
}

bool CommandSteps::busy() const { return timerRunning(waitTimer) || !pending.isEmpty(); }

void CommandSteps::next()
{
    while (!timerRunning(waitTimer) && !pending.isEmpty()) {
        const QString step = pending.takeFirst();
        if (step.isNull())
            startAfterLine(waitTimer, pauseMs);
        else
            emit command(step);
    }
    if (!busy())
        emit drained();
}

void CommandSteps::setLineBusy(bool busy)
{
    lineBusy = busy;
    if (busy)
        return;
    const QHash<QTimer *, int> due = std::exchange(afterLine, {});
    for (auto it = due.begin(); it != due.end(); ++it)
        it.key()->start(it.value());
}

void CommandSteps::startAfterLine(QTimer &timer, int ms)
{
    if (lineBusy)
        afterLine.insert(&timer, ms);
    else
        timer.start(ms);
}

void CommandSteps::stopTimer(QTimer &timer)
{
    afterLine.remove(&timer);
    timer.stop();
}

bool CommandSteps::timerRunning(const QTimer &timer) const
{
    return timer.isActive() || afterLine.contains(const_cast<QTimer *>(&timer));
}

int CommandSteps::timerMs(double ms)
{
    return int(qBound(0.0, std::trunc(ms), double(std::numeric_limits<int>::max())));
}
