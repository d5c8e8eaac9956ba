// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Simulation.h"
#include "app/KVserialSetup.h"

#include "link/usbConnection.h"
#include "sim/Demo.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <memory>

bool startSimulation(const SimulationOptions &options, QString *error)
{
    // The native backend runs over the simulated device, so framing, tags and pauses are the
    // ones a real kit sees.
    attachVirtualUsbKits(options.usbKits, options.replyForm);
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });

    auto btKit = std::make_shared<VirtualKit>();
    btKit->setReplyForm(options.replyForm);
    const QString path = startVirtualBtKit(false, error, btKit);
    if (path.isEmpty())
        return false;
    addVirtualSerialPort({path, QStringLiteral("Virtual kit (%1)").arg(path)});
    return true;
}
