// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the application's demo mode needs: virtual kits on the simulated USB bus and one on a
// pseudo-terminal for the Bluetooth path.

#include "sim/KitOptions.h"
#include "sim/ReplyForm.h"

#include <QString>

#include <memory>

class VirtualKit;

// Attaches count kits to SimUsbBus::global(), serials SIM0001, SIM0002, ... (numbers already on
// the bus are skipped), each replying in the form given.
void attachVirtualUsbKits(int count, const SimReplyForm &form = SimReplyForm());

// Starts a kit on a pseudo-terminal and returns the slave path to open, empty on failure. It
// serves until stopVirtualBtKits() or the end of the process. Pass a kit to serve a prepared one.
QString startVirtualBtKit(bool pace = false, QString *error = nullptr,
                          std::shared_ptr<VirtualKit> kit = nullptr);
// The kit served on a path that startVirtualBtKit returned, or null.
std::shared_ptr<VirtualKit> virtualBtKit(const QString &slavePath);
void stopVirtualBtKits();
