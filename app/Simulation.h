// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/ReplyForm.h"

#include <QString>

// Demo mode: virtual kits stand in for hardware, over the same code paths a real kit uses.
// Only the programs and tests compile this, so the libraries never link the virtual kit.

struct SimulationOptions
{
    SimulationOptions() = default;
    SimulationOptions(bool on, int kits) : enabled(on), usbKits(kits) {}

    bool enabled = false;
    int usbKits = 1;
    SimReplyForm replyForm; // how every virtual kit fills in what the protocol leaves open
};

// Starts a Bluetooth virtual kit on a pseudo-terminal and usbKits virtual kits on the USB bus.
// Returns false with a reason when the virtual kits cannot be started.
bool startSimulation(const SimulationOptions &options, QString *error = nullptr);
