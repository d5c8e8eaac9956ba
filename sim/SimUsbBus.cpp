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
    if (std::find(m_kits.begin(), m_kits.end(), kit) == m_kits.end()) {
        m_kits.push_back(std::move(kit));
        m_ports.push_back(0);
    }
}

void SimUsbBus::replugElsewhere(const std::shared_ptr<VirtualKit> &kit)
{
    if (!kit)
        return;
    kit->disconnect();
    {
        QMutexLocker lock(&m_mutex);
        const auto it = std::find(m_kits.begin(), m_kits.end(), kit);
        if (it == m_kits.end())
            return;
        const std::size_t i = std::size_t(it - m_kits.begin());
        const int port = m_ports[i] + 1;
        m_kits.erase(it);
        m_ports.erase(m_ports.begin() + std::ptrdiff_t(i));
        m_kits.push_back(kit);
        m_ports.push_back(port);
    }
    kit->reconnect();
}

void SimUsbBus::detach(const std::shared_ptr<VirtualKit> &kit)
{
    QMutexLocker lock(&m_mutex);
    const auto it = std::find(m_kits.begin(), m_kits.end(), kit);
    if (it == m_kits.end())
        return;
    m_ports.erase(m_ports.begin() + (it - m_kits.begin()));
    m_kits.erase(it);
}

void SimUsbBus::detachAll()
{
    QMutexLocker lock(&m_mutex);
    m_kits.clear();
    m_ports.clear();
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
        if (pathOfLocked(*kit) == path)
            return kit;
    return nullptr;
}

QString SimUsbBus::pathOf(const VirtualKit &kit) const
{
    QMutexLocker lock(&m_mutex);
    return pathOfLocked(kit);
}

QString SimUsbBus::pathOfLocked(const VirtualKit &kit) const
{
    QString path = QStringLiteral("sim:") + kit.serial();
    for (std::size_t i = 0; i < m_kits.size(); ++i)
        if (m_kits[i].get() == &kit && m_ports[i] > 0)
            path += QLatin1Char('@') + QString::number(m_ports[i]);
    return path;
}
