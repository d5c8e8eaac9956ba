#include "app/Simulation.h"

static QList<VirtualSerialPort> &registry()
{
    static QList<VirtualSerialPort> ports;
    return ports;
}

QList<VirtualSerialPort> virtualSerialPorts() { return registry(); }

void addVirtualSerialPort(const VirtualSerialPort &port) { registry().append(port); }

bool startSimulation(const SimulationOptions &, QString *error)
{
    if (error)
        *error = QStringLiteral("this build has no virtual kit");
    return false;
}
