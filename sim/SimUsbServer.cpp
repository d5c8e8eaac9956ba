// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimUsbServer.h"

#include "sim/Logging.h"
#include "sim/SimCommandText.h"

#include <algorithm>
#include <optional>
#include <utility>

using namespace SimText;
namespace Key = KitCommands::Key;

QByteArray SimUsbServer::handle(SimKitState &kit, const QByteArray &message)
{
    m_lastDelayMs = std::max(0, kit.faults.lateReplyMs);
    const Parsed command = parsed(KitCommands::parseCommand(message.toStdString()));
    if (is(command.header, Key::Frame)) {
        armFrame(kit, command.args);
        return {};
    }
    if (kit.applySetting(command.header, command.args) || kit.faults.noReply)
        return {};
    QByteArray reply = query(kit, command.header);
    if (reply.isEmpty())
        qCDebug(lcSim) << "no answer to" << command.header;
    kit.form.shapeUsbReply(reply, asks(command.header, Key::Frame), m_query);
    m_lastDelayMs += kit.form.replyDelayMs;
    return reply;
}

void SimUsbServer::dropFrame()
{
    m_frame.clear();
    m_pos = 0;
}

void SimUsbServer::armFrame(SimKitState &kit, const QString &args)
{
    bool ok = false;
    const int n = args.toInt(&ok);
    if (!ok)
        return;
    m_frame = kit.lastFrame = kit.captureFrame(n);
    m_pos = 0;
    m_query = 0;
    SimFaults &f = kit.faults;
    m_faulty = f.frameFault != SimFrameFault::None && f.frameFaultFrames != 0;
    if (m_faulty && f.frameFaultFrames > 0)
        --f.frameFaultFrames;
}

QByteArray SimUsbServer::query(SimKitState &kit, const QString &header)
{
    if (asks(header, Key::Frame))
        return frameReply(kit);
    if (asks(header, Key::Identify))
        return line(kit.identity());
    if (asks(header, Key::FirmwareId))
        return line(kit.firmwareId);
    if (asks(header, Key::Firmware))
        return line(kit.version);
    if (asks(header, Key::Time))
        return line(QString::number(kit.scene.nowSeconds(), 'f', 3));
    QByteArray reply = sweepQuery(kit, header);
    if (reply.isEmpty())
        reply = catalogueQuery(kit, header);
    return reply.isEmpty() ? moduleQuery(kit, header) : reply;
}

QByteArray SimUsbServer::sweepQuery(const SimKitState &kit, const QString &header)
{
    const SimSweep &s = kit.sweep;
    if (asks(header, Key::StartFreq))
        return line(number(s.startGHz));
    if (asks(header, Key::StopFreq))
        return line(number(s.stopGHz));
    if (asks(header, Key::RampTime))
        return line(number(s.rampMs));
    if (asks(header, Key::SweepType))
        return line(QString::number(s.type));
    if (asks(header, Key::RfPower))
        return line(QString::number(s.rfOn ? 1 : 0));
    return {};
}

QByteArray SimUsbServer::catalogueQuery(const SimKitState &kit, const QString &header)
{
    const SimCatalogue &c = kit.catalogue;
    if (asks(header, Key::Temperatures))
        return line(joinNumbers(c.temperaturesC));
    if (asks(header, Key::Currents)) {
        QList<int> currents = c.currentsMa;
        if (!c.systemPower)
            std::fill(currents.begin(), currents.end(), 0);
        return line(joinNumbers(currents));
    }
    if (asks(header, Key::Attenuators))
        return line(joinNumbers(c.attenuators));
    return {};
}

QByteArray SimUsbServer::moduleQuery(SimKitState &kit, const QString &header)
{
    const SimModules &m = kit.modules;
    if (asks(header, Key::Modules))
        return line(QString::number(m.portMask));
    if (asks(header, Key::ModuleStatus)) {
        QList<int> status;
        for (int p = 0; p < 4; ++p)
            status << (kit.hasModule(p) ? 1 : 0);
        return line(joinNumbers(status));
    }
    if (asks(header, Key::Lcd))
        return line(QString::number(m.lcdPresent ? 1 : 0));
    if (asks(header, Key::LcdSerial) && m.lcdPresent)
        return line(m.lcdSerial);
    if (asks(header, Key::LcdVersion) && m.lcdPresent)
        return line(m.lcdVersion);
    if (asks(header, Key::Fpga))
        return line(m.fpgaPresent ? m.fpgaCode : QStringLiteral("0"));

    // Per-port queries: what a module answered (read once), and its firmware ID.
    if (const std::optional<int> port = portOf(header, Key::ModuleRead, true); port && *port < 4)
        return kit.hasModule(*port) ? std::exchange(kit.moduleReply[*port], {}) : QByteArray();
    if (const std::optional<int> port = portOf(header, Key::FirmwareId, true); port && *port < 4) {
        const QString id = m.portFirmwareId[*port];
        return kit.hasModule(*port) ? line(id.isEmpty() ? QStringLiteral("0100") : id)
                                    : QByteArray();
    }
    return {};
}

QByteArray SimUsbServer::frameReply(SimKitState &kit)
{
    const int query = m_query++;
    const SimFaults &f = kit.faults;
    const SimFrameFault fault =
        m_faulty && query >= f.frameFaultReply ? f.frameFault : SimFrameFault::None;
    if (fault == SimFrameFault::Hang)
        return {};
    if (fault == SimFrameFault::Unplug) {
        qCDebug(lcSim) << kit.serial << "unplugged mid-frame";
        kit.connected = false;
        return {};
    }
    const int count = std::min<int>(kSamplesPerReply, m_frame.size() - m_pos);
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out(count * 4 + 1, '\n');
    for (int i = 0; i < count; ++i) {
        const quint16 s = m_frame[m_pos + i];
        for (int d = 0; d < 4; ++d)
            out[4 * i + d] = digits[(s >> (12 - 4 * d)) & 0xf];
    }
    m_pos += count;
    return query == f.frameFaultReply ? spoilFrameReply(fault, out) : out;
}

QByteArray SimUsbServer::spoilFrameReply(SimFrameFault fault, QByteArray reply)
{
    switch (fault) {
    case SimFrameFault::LostReply:
        return {};
    case SimFrameFault::LateReply:
        m_lastDelayMs = 60 * 60 * 1000;
        break;
    case SimFrameFault::ShortBody:
        if (reply.size() >= 3)
            reply.remove(reply.size() - 3, 2);
        break;
    case SimFrameFault::NoTerminator:
        reply.chop(1);
        break;
    case SimFrameFault::NonHex:
        reply.replace(0, std::min<int>(4, reply.size() - 1), "-?.x");
        break;
    default:
        break;
    }
    return reply;
}
