// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/FrameCapture.h"

#include "link/usbTMCabstraction.h"
#include "radar/RadarMath.h"

namespace FrameCapture {

int queryCount(int n)
{
    const int q = n / samplesPerReply; // truncates toward zero, as the kit's protocol counts
    return q < 0 ? 0 : q + 1;
}

void requestFrame(usbTMCabstraction &inst, int n)
{
    inst.sendVISACommand(QStringLiteral("CAPT:FRAM ") + QString::number(n));
}

FrameText fetchFrame(usbTMCabstraction &inst, int n)
{
    FrameText frame;
    frame.queries = queryCount(n);
    frame.hex.reserve(frame.queries * samplesPerReply * 4);
    for (int i = 0; i < frame.queries; ++i) {
        inst.sendVISACommand(QStringLiteral("CAPT:FRAM?"));
        const QPair<int, QString> reply = inst.readVISAResponseString();
        if (reply.first < 0)
            ++frame.lostReplies;
        // The byte count includes the one terminator character the kit ends each reply with.
        if (reply.first > 0)
            frame.hex += reply.second.left(reply.first - 1);
        else
            frame.hex += reply.second;
    }
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
