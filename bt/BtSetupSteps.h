// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The Bluetooth tab's set-up commands with the waits after them, in the order the kit expects:
// a setting is followed by a wait, then by the query that reads it back, so the form ends up
// showing what the kit reports. A null string in a sequence is a wait (see CommandSteps).
namespace BtSetupSteps {

using Steps = QStringList;

// Typed texts go to the kit as typed (the kit decides what it accepts).
Steps setFreqs(const QString &startGHz, const QString &stopGHz);
Steps readFreqs();
Steps setRamp(const QString &ms);
Steps setRamp(int ms);
Steps readRamp();
Steps setSweepType(int type);
Steps readSweepType(); // no wait after it
Steps startSweep();
Steps stopSweep();
Steps switchRf(bool on);
Steps readRfPower();

} // namespace BtSetupSteps
