// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual kit's USB command language: settings, queries, and a frame handed out 31 samples
// of hexadecimal text per "CAPT:FRAM?", with the frame faults real transfers show.

#include "kit/KitCommands.h"
#include "sim/SimKitState.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class SimUsbServer
{
public:
    static constexpr int kSamplesPerReply = KitCommands::kSamplesPerFrameReply;

    // The reply to one command message; empty when there is nothing to read.
    QByteArray handle(SimKitState &kit, const QByteArray &message);
    // How much later than at once the last reply leaves.
    int lastReplyDelayMs() const { return m_lastDelayMs; }
    void dropFrame(); // a reset forgets the frame being read out

private:
    void armFrame(SimKitState &kit, const QString &args);
    QByteArray query(SimKitState &kit, const QString &header);
    static QByteArray sweepQuery(const SimKitState &kit, const QString &header);
    static QByteArray catalogueQuery(const SimKitState &kit, const QString &header);
    static QByteArray moduleQuery(SimKitState &kit, const QString &header);
    QByteArray frameReply(SimKitState &kit);
    QByteArray spoilFrameReply(SimFrameFault fault, QByteArray reply);

    QVector<quint16> m_frame;
    int m_pos = 0;
    int m_query = 0;       // "CAPT:FRAM?" queries answered for the current frame
    bool m_faulty = false; // the current frame carries the frame fault
    int m_lastDelayMs = 0;
};
