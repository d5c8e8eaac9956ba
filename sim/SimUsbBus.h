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

    // Kits appear as "sim:<serial>", in attach order.
    void attach(std::shared_ptr<VirtualKit> kit);
    void detach(const std::shared_ptr<VirtualKit> &kit);
    void detachAll();
    std::vector<std::shared_ptr<VirtualKit>> kits() const;
    std::shared_ptr<VirtualKit> find(const QString &path) const;

    static QString pathFor(const VirtualKit &kit);

private:
    mutable QMutex m_mutex;
    std::vector<std::shared_ptr<VirtualKit>> m_kits;
};
