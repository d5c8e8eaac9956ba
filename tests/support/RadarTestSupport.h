// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Virtual kits on the simulated USB bus, reached through the real command layer with the link's
// 10 ms pauses taken out.

#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "link/usbTMCabstraction.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <QStringList>

#include <memory>
#include <vector>

// A tab's start-up has run once the kit saw the sixteen tune commands and the restore.
inline bool startUpDone(VirtualKit &kit)
{
    int ramps = 0;
    for (const QString &c : kit.receivedCommands())
        ramps += c.startsWith(QLatin1String("SWEEP:RAMPTIME ")) ? 1 : 0;
    return ramps >= 17;
}

// The link's 10 ms pauses taken out, so tests wait for the kit and not for the clock.
inline void quietLink()
{
    WinUSBTMC::setDefaultPause([](unsigned long) {});
}

// The simulated bus emptied, and the device layer and the link's pauses as they were.
inline void resetLink()
{
    SimUsbBus::global().detachAll();
    setDeviceLayerFactory({});
    WinUSBTMC::setDefaultPause({});
}

struct SimKits
{
    explicit SimKits(int count = 1)
    {
        quietLink();
        setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
        SimUsbBus::global().detachAll();
        for (int i = 0; i < count; ++i) {
            auto kit = std::make_shared<VirtualKit>(
                QStringLiteral("SIM%1").arg(i + 1, 4, 10, QLatin1Char('0')));
            kit->setSeed(42 + i);
            kits.push_back(kit);
            SimUsbBus::global().attach(kit);
        }
        usb.getDeviceList(); // creates the connection, as the main window's discovery does
    }
    ~SimKits() { resetLink(); }
    SimKits(const SimKits &) = delete;
    SimKits &operator=(const SimKits &) = delete;

    VirtualKit &kit(int i = 0) { return *kits.at(size_t(i)); }
    QString target(int i = 0) { return SimUsbBus::pathFor(kit(i)); }

    // Commands the kit received over USB since the last clear.
    QStringList received(int i = 0) { return kit(i).receivedCommands(); }
    int count(const QString &command, int i = 0) { return received(i).count(command); }

    // A kit whose only reflector is at rangeM, standing still, with little noise.
    void singleTarget(double rangeM, double velocityMps = 0.0, int i = 0)
    {
        SimTarget t;
        t.rangeM = rangeM;
        t.velocityMps = velocityMps;
        t.amplitudeV = 0.5;
        kit(i).setTargets({t});
        kit(i).setNoiseVrms(0.001);
        kit(i).setManualClock(true);
    }

    std::vector<std::shared_ptr<VirtualKit>> kits;
    usbTMCabstraction usb;
};
