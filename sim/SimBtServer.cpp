// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimBtServer.h"

#include "sim/Logging.h"
#include "sim/SimCommandText.h"

#include <algorithm>

using namespace SimText;
namespace Kc = KitCommands;
namespace Key = KitCommands::Key;

namespace {

QByteArray tagged(Kc::BtTag tag, const QString &value)
{
    return QByteArray::fromStdString(Kc::reply(tag, value.toLatin1().toStdString()));
}

} // namespace

SimBtReply SimBtServer::handle(SimKitState &kit, const QByteArray &command)
{
    const Parsed c = parsed(Kc::parseBtCommand(command.toStdString()));
    SimBtReply reply;
    if (is(c.header, Key::Stream)) {
        reply.bytes = dataReply(kit, c.args);
    } else if (!kit.applySetting(c.header, c.args)) {
        reply.bytes = query(kit, c.header);
        if (reply.bytes.isEmpty())
            qCDebug(lcSim) << "no answer to" << c.header;
    }
    const SimFaults &f = kit.faults;
    if (reply.bytes.isEmpty() || f.noReply)
        return {};
    if (f.truncateBytes > 0)
        reply.bytes.chop(std::min<int>(f.truncateBytes, reply.bytes.size()));
    reply.bytes = f.lineGarbage + reply.bytes + f.extraBytes;
    reply.delayMs = std::max(0, f.lateReplyMs) + kit.form.replyDelayMs;
    reply.pieceBytes = kit.form.pieceBytes;
    reply.pieceGapMs = kit.form.pieceGapMs;
    return reply;
}

QByteArray SimBtServer::query(const SimKitState &kit, const QString &header)
{
    const SimSweep &s = kit.sweep;
    if (asks(header, Key::StartFreq))
        return tagged(Kc::BtTag::StartFreq, number(s.startGHz));
    if (asks(header, Key::StopFreq))
        return tagged(Kc::BtTag::StopFreq, number(s.stopGHz));
    if (asks(header, Key::RampTime))
        return tagged(Kc::BtTag::Ramp, number(s.rampMs));
    if (asks(header, Key::SweepType))
        return tagged(Kc::BtTag::Type, QString::number(s.type));
    if (asks(header, Key::RfPower))
        return tagged(Kc::BtTag::RfPower, QString::number(s.rfOn ? 1 : 0));
    if (asks(header, Key::Identify))
        return tagged(Kc::BtTag::Identity, kit.identity());
    return {};
}

QByteArray SimBtServer::dataReply(SimKitState &kit, const QString &args)
{
    bool ok = false;
    const int n = args.toInt(&ok);
    if (!ok)
        return {};
    return spoilDataReply(kit,
                          kit.form.dataReply(kit.captureFrame(n), m_counter++, &kit.lastFrame));
}

QByteArray SimBtServer::spoilDataReply(SimKitState &kit, const QByteArray &reply)
{
    SimFaults &f = kit.faults;
    if (f.btFrameFault == SimBtFrameFault::None || f.btFrameFaultFrames == 0)
        return reply;
    if (f.btFrameFaultFrames > 0)
        --f.btFrameFaultFrames;
    constexpr int kHeader = Kc::kDataHeaderBytes, kTerminator = int(Kc::kReplyEnd.size());
    const QByteArray header = reply.left(kHeader);
    const QByteArray payload = reply.mid(kHeader, reply.size() - kHeader - kTerminator);
    const QByteArray terminator = reply.right(kTerminator);
    switch (f.btFrameFault) {
    case SimBtFrameFault::TruncatedPayload:
        return header + payload.left(payload.size() / 2) + terminator;
    case SimBtFrameFault::ZeroGlitch:
        return QByteArray(1001, '\0') + reply;
    case SimBtFrameFault::Noise: {
        QByteArray noise(1000, '\0');
        for (char &c : noise) {
            c = char(kit.scene.randomBits() & 0xff);
            if (c == ':')
                c = ';';
        }
        return noise + reply;
    }
    case SimBtFrameFault::WrongTag:
        return "DIVDATA" + payload + terminator;
    default:
        return reply;
    }
}
