// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimUsbBus.h"

#include "sim/VirtualKit.h"

#include <QMutexLocker>

#include <algorithm>

SimUsbBus &SimUsbBus::global()
{
    static SimUsbBus bus;
    return bus;
}

void SimUsbBus::attach(std::shared_ptr<VirtualKit> kit)
{
    if (!kit)
        return;
    QMutexLocker lock(&m_mutex);
    if (std::find(m_kits.begin(), m_kits.end(), kit) == m_kits.end())
        m_kits.push_back(std::move(kit));
}

void SimUsbBus::detach(const std::shared_ptr<VirtualKit> &kit)
{
    QMutexLocker lock(&m_mutex);
    m_kits.erase(std::remove(m_kits.begin(), m_kits.end(), kit), m_kits.end());
}

void SimUsbBus::detachAll()
{
    QMutexLocker lock(&m_mutex);
    m_kits.clear();
}

std::vector<std::shared_ptr<VirtualKit>> SimUsbBus::kits() const
{
    QMutexLocker lock(&m_mutex);
    return m_kits;
}

std::shared_ptr<VirtualKit> SimUsbBus::find(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    for (const auto &kit : m_kits)
        if (pathFor(*kit) == path)
            return kit;
    return nullptr;
}

QString SimUsbBus::pathFor(const VirtualKit &kit) { return QStringLiteral("sim:") + kit.serial(); }
