// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtFrameRequests.h"

#include "bt/BtCapture.h"
#include "bt/BtProtocol.h"
#include "bt/CommandSteps.h"
#include "kit/KitCommands.h"

#include <cmath>
#include <utility>

namespace {
// The reply's time on the line and a margin for the kit to start sending.
constexpr double kWatchdogMarginS = 2.0;
} // namespace

BtFrameRequests::BtFrameRequests(BtCapture &capture, CommandSteps &steps, QObject *parent)
    : QObject(parent), capture(capture), steps(steps)
{
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, &BtFrameRequests::frameOverdue);
    connect(&steps, &CommandSteps::drained, this, [this] {
        if (std::exchange(afterSteps, false))
            QTimer::singleShot(1, this, &BtFrameRequests::continueLoop);
    });
}

bool BtFrameRequests::mayRequest() const { return capture.mayRequest(); }

void BtFrameRequests::request(int samples)
{
    capture.requested(samples);
    steps.send(QString::fromStdString(KitCommands::Bt::requestStream(samples)));
    if (capture.loopAwaiting()) {
        const double s = BtProtocol::replySeconds(samples) + kWatchdogMarginS;
        steps.startAfterLine(watchdog, CommandSteps::timerMs(std::ceil(s * 1000.0)));
    }
    steps.wait();
}

int BtFrameRequests::frameArrived()
{
    steps.stopTimer(watchdog);
    const BtCapture::Arrival arrival = capture.frameArrived();
    // The one place that asks for the next frame; it leaves once this one is handled.
    if (arrival.continueLoop)
        QTimer::singleShot(1, this, &BtFrameRequests::continueLoop);
    return arrival.seriesNumber;
}

void BtFrameRequests::continueLoop()
{
    if (!capture.continueDue())
        return;
    // A frame that arrives during a wait requests the next one after it.
    if (steps.busy()) {
        afterSteps = true;
        return;
    }
    emit nextDue();
}

void BtFrameRequests::frameOverdue()
{
    if (capture.frameOverdue())
        emit overdue();
}
