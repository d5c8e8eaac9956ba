// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Puts the whole native path over virtual kits (or the recording fake) without sleeping.

#include "FakeDeviceLayer.h"

#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

inline int &pausesTaken()
{
    static int count = 0;
    return count;
}

inline void useVirtualKits()
{
    WinUSBTMC::setDefaultPause([](unsigned long) { ++pausesTaken(); });
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
}

inline void useFakeWire(const std::shared_ptr<FakeWire> &wire)
{
    WinUSBTMC::setDefaultPause([](unsigned long) { ++pausesTaken(); });
    setDeviceLayerFactory([wire] { return std::make_unique<FakeDeviceLayer>(wire); });
}

inline std::shared_ptr<VirtualKit> attachKit(const QString &serial)
{
    auto kit = std::make_shared<VirtualKit>(serial);
    SimUsbBus::global().attach(kit);
    return kit;
}
