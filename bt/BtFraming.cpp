// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtFraming.h"

namespace BtFraming {

int countTerminators(const QByteArray &buffer)
{
    return static_cast<int>(buffer.count(QByteArrayView(kTerminator, kTerminatorLength)));
}

QList<QByteArray> takeMessages(QByteArray &buffer)
{
    QList<QByteArray> messages;
    const QByteArrayView terminator(kTerminator, kTerminatorLength);
    qsizetype start = 0;
    for (;;) {
        const qsizetype i = buffer.indexOf(terminator, start);
        if (i < 0)
            break;
        messages.append(buffer.mid(start, i + kTerminatorLength - start));
        start = i + kTerminatorLength;
    }
    // One removal at the end keeps a read holding many messages linear in its length.
    if (start > 0)
        buffer.remove(0, start);
    return messages;
}

qsizetype enforceBound(QByteArray &buffer)
{
    if (buffer.size() <= kMaxPending)
        return 0;
    const qsizetype dropped = buffer.size();
    buffer.clear();
    return dropped;
}

} // namespace BtFraming
