// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual kit's Bluetooth command language: "$"-terminated settings and queries answered
// with tagged replies, and "CAPT:STRE" answered with one binary data reply, with the faults a
// serial line shows.

#include "sim/SimKitState.h"

#include <QByteArray>
#include <QString>

class SimBtServer
{
public:
    // The reply to one command, with its timing; empty bytes when the kit says nothing.
    SimBtReply handle(SimKitState &kit, const QByteArray &command);

private:
    static QByteArray query(const SimKitState &kit, const QString &header);
    QByteArray dataReply(SimKitState &kit, const QString &args);
    static QByteArray spoilDataReply(SimKitState &kit, const QByteArray &reply);

    quint8 m_counter = 0; // of data replies, as the kit numbers them
};
