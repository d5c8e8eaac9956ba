// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Simulation.h"

#include "link/usbConnection.h"
#include "sim/Demo.h"
#include "sim/SimUsbDevice.h"

#include <memory>

static QList<VirtualSerialPort> &registry()
{
    static QList<VirtualSerialPort> ports;
    return ports;
}

QList<VirtualSerialPort> virtualSerialPorts() { return registry(); }

void addVirtualSerialPort(const VirtualSerialPort &port) { registry().append(port); }

bool startSimulation(const SimulationOptions &options, QString *error)
{
    // The native backend runs over the simulated device, so framing, tags and pauses are the
    // ones a real kit sees.
    attachVirtualUsbKits(options.usbKits);
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });

    const QString path = startVirtualBtKit(false, error);
    if (path.isEmpty())
        return false;
    addVirtualSerialPort({path, QStringLiteral("Virtual kit (%1)").arg(path)});
    return true;
}
