// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Demo.h"

#include "sim/BtPtyServer.h"
#include "sim/SimUsbBus.h"
#include "sim/VirtualKit.h"

#include <QMutex>
#include <QMutexLocker>

#include <vector>

namespace {

struct DemoServers
{
    QMutex mutex;
    std::vector<std::unique_ptr<BtPtyServer>> servers;
};

DemoServers &demoServers()
{
    static DemoServers s;
    return s;
}

} // namespace

void attachVirtualUsbKits(int count, const SimReplyForm &form)
{
    SimUsbBus &bus = SimUsbBus::global();
    for (int number = 1; count > 0 && number <= 9999; ++number) {
        const QString serial = QStringLiteral("SIM%1").arg(number, 4, 10, QLatin1Char('0'));
        if (bus.find(QStringLiteral("sim:") + serial))
            continue;
        auto kit = std::make_shared<VirtualKit>(serial);
        kit->setReplyForm(form);
        bus.attach(kit);
        --count;
    }
}

QString startVirtualBtKit(bool pace, QString *error, std::shared_ptr<VirtualKit> kit)
{
    BtPtyServer::Options options;
    options.pace = pace;
    auto server = std::make_unique<BtPtyServer>(
        kit ? std::move(kit) : std::make_shared<VirtualKit>(), options);
    if (!server->start(error))
        return {};
    const QString path = server->slavePath();
    DemoServers &d = demoServers();
    QMutexLocker lock(&d.mutex);
    d.servers.push_back(std::move(server));
    return path;
}

std::shared_ptr<VirtualKit> virtualBtKit(const QString &slavePath)
{
    DemoServers &d = demoServers();
    QMutexLocker lock(&d.mutex);
    for (const auto &s : d.servers)
        if (s->slavePath() == slavePath)
            return s->kit();
    return nullptr;
}

void stopVirtualBtKits()
{
    DemoServers &d = demoServers();
    QMutexLocker lock(&d.mutex);
    d.servers.clear();
}
