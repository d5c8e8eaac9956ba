// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated USB bus: the virtual kits that SimUsbDevice enumerates and opens.

#include <QMutex>
#include <QString>

#include <memory>
#include <vector>

class VirtualKit;

class SimUsbBus
{
public:
    static SimUsbBus &global();

    // Kits appear as "sim:<serial>", in attach order; a kit moved to another port appears as
    // "sim:<serial>@<port>".
    void attach(std::shared_ptr<VirtualKit> kit);
    // Unplugs the kit and plugs it into another port: it keeps its serial number but gets a new
    // path, at the end of the list, as a real kit does.
    void replugElsewhere(const std::shared_ptr<VirtualKit> &kit);
    void detach(const std::shared_ptr<VirtualKit> &kit);
    void detachAll();
    std::vector<std::shared_ptr<VirtualKit>> kits() const;
    std::shared_ptr<VirtualKit> find(const QString &path) const;

    QString pathOf(const VirtualKit &kit) const;
    static QString pathFor(const VirtualKit &kit) { return global().pathOf(kit); }

private:
    mutable QMutex m_mutex;
    QString pathOfLocked(const VirtualKit &kit) const;

    std::vector<std::shared_ptr<VirtualKit>> m_kits;
    std::vector<int> m_ports; // beside m_kits; 0 is the port a kit was first attached to
};
