// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtSetupSteps.h"

#include "kit/KitCommands.h"

namespace Kc = KitCommands;

namespace BtSetupSteps {
namespace {
const QString kWait;

QString command(const std::string &text)
{
    return QString::fromStdString(Kc::Bt::terminated(text));
}
// One command and the wait after it.
Steps waited(const std::string &text) { return {command(text), kWait}; }
} // namespace

Steps setFreqs(const QString &startGHz, const QString &stopGHz)
{
    return waited(Kc::setStartFreq(startGHz.toStdString())) +
           waited(Kc::setStopFreq(stopGHz.toStdString())) + readFreqs();
}

Steps readFreqs() { return {command(Kc::queryStopFreq()), kWait, command(Kc::queryStartFreq())}; }

Steps setRamp(const QString &ms) { return waited(Kc::setRampTime(ms.toStdString())) + readRamp(); }

Steps setRamp(int ms) { return waited(Kc::setRampTime(std::to_string(ms))); }

Steps readRamp() { return waited(Kc::queryRampTime()); }

Steps setSweepType(int type) { return waited(Kc::setSweepType(type)); }

Steps readSweepType() { return {command(Kc::querySweepType())}; }

Steps startSweep() { return waited(Kc::startSweep()); }

Steps stopSweep() { return waited(Kc::stopSweep()); }

Steps switchRf(bool on) { return waited(Kc::setRfPower(on)) + readRfPower(); }

Steps readRfPower() { return waited(Kc::queryRfPower()); }

} // namespace BtSetupSteps
