// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/FrameCapture.h"

#include "kit/RadarMath.h"
#include "link/usbTMCabstraction.h"

namespace FrameCapture {

int queryCount(int n)
{
    const int q = n / samplesPerReply; // truncates toward zero, as the kit's protocol counts
    return q < 0 ? 0 : q + 1;
}

void requestFrame(usbTMCabstraction &inst, int n)
{
    inst.sendVISACommand(QString::fromStdString(KitCommands::requestFrame(n)));
}

FrameText fetchFrame(usbTMCabstraction &inst, int n) { return fetchFrame(inst, n, Progress()); }

FrameText fetchFrame(usbTMCabstraction &inst, int n, const Progress &progress)
{
    FrameText frame;
    const QString query = QString::fromStdString(KitCommands::queryFrame());
    const int queries = queryCount(n);
    frame.hex.reserve(queries * samplesPerReply * 4);
    frame.replies.reserve(queries);
    for (int i = 0; i < queries; ++i) {
        if (progress && !progress(i, queries)) {
            frame.abandoned = true;
            frame.check = checkFrame(frame.replies, n);
            return frame;
        }
        inst.sendVISACommand(query);
        ++frame.queries;
        const Reply reply = inst.readVISAResponseString();
        frame.replies.append(reply);
        if (reply.first < 0) {
            ++frame.lostReplies;
            break;
        }
        frame.hex += replyText(reply);
    }
    if (progress)
        progress(queries, queries);
    frame.check = checkFrame(frame.replies, n);
    return frame;
}

FrameText captureFrame(usbTMCabstraction &inst, int n)
{
    requestFrame(inst, n);
    return fetchFrame(inst, n);
}

double countToVolts(quint16 count) { return RadarMath::countToVolts(count); }

static int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

FrameCheck checkFrame(const QVector<Reply> &replies, int n)
{
    FrameCheck check;
    const int wanted = qMax(n, 0);
    auto fail = [&check](const QString &reason) {
        check.ok = false;
        check.reason = reason;
        return check;
    };
    for (int i = 0; i < replies.size(); ++i) {
        const Reply &reply = replies.at(i);
        const int number = i + 1;
        const bool pastTheEnd = check.samples >= wanted;
        if (reply.first < 0) {
            if (pastTheEnd)
                break; // the query past the end went unanswered; the frame is whole
            return fail(QStringLiteral("incomplete: kit not answering after %1 of %2 samples")
                            .arg(check.samples)
                            .arg(wanted));
        }
        if (reply.first == 0 && pastTheEnd)
            continue;
        // A zero byte cuts the text short of the count the kit sent; as the terminator it is
        // the kit's choice like any other.
        if (reply.second.size() < reply.first - 1)
            return fail(QStringLiteral("garbled: reply %1 holds a zero byte").arg(number));
        // The kit picks its terminator character; a reply of no bytes has none.
        if (reply.first == 0)
            return fail(QStringLiteral("garbled: reply %1 has no line terminator").arg(number));
        const QString body = replyText(reply);
        const int digits = int(body.size());
        for (int k = 0; k < digits; ++k)
            if (hexDigit(body.at(k)) < 0)
                return fail(QStringLiteral("garbled: reply %1 holds text that is not hexadecimal")
                                .arg(number));
        if (digits % 4 != 0)
            return fail(QStringLiteral("garbled: reply %1 holds %2 digits, not whole samples")
                            .arg(number)
                            .arg(digits));
        if (digits > samplesPerReply * 4)
            return fail(QStringLiteral("garbled: reply %1 holds %2 samples, more than %3")
                            .arg(number)
                            .arg(digits / 4)
                            .arg(samplesPerReply));
        check.samples += digits / 4;
    }
    if (check.samples < wanted)
        return fail(QStringLiteral("incomplete: %1 of %2 samples").arg(check.samples).arg(wanted));
    if (check.samples > wanted)
        return fail(QStringLiteral("too long: %1 samples for %2").arg(check.samples).arg(wanted));
    return check;
}

QVector<double> hexToVolts(const QString &hex)
{
    QVector<double> volts;
    const int len = hex.size();
    volts.reserve((len + 3) / 4);
    for (int start = 0; start < len; start += 4) {
        const int end = qMin(start + 4, len);
        uint count = 0;
        for (int i = start; i < end; ++i) {
            const int d = hexDigit(hex.at(i));
            if (d < 0) {
                count = 0;
                break;
            }
            count = count * 16 + uint(d);
        }
        volts.append(countToVolts(quint16(count)));
    }
    return volts;
}

} // namespace FrameCapture

namespace FrameCapture {

QString findKitBySerial(usbTMCabstraction &inst, const QString &serial, const QStringList &targets)
{
    for (const QString &target : targets) {
        if (inst.openConnection(target) < 0)
            continue;
        inst.getDescriptions();
        const bool match = inst.getSerial() == serial;
        inst.closeConnection();
        if (match)
            return target;
    }
    return QString();
}

QString findKitBySerial(usbTMCabstraction &inst, const QString &serial)
{
    const QPair<int, QStringList> list = inst.getDeviceList();
    if (list.first < 0)
        return QString();
    return findKitBySerial(inst, serial, list.second);
}

} // namespace FrameCapture
