// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtFraming.h"

#include "kit/KitCommands.h"

#include <string_view>

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

void Framer::noteCommand(const QByteArray &command)
{
    const KitCommands::Command c =
        KitCommands::parseBtCommand(std::string_view(command.constData(), size_t(command.size())));
    if (c.header != KitCommands::Key::Stream)
        return;
    bool ok = false;
    const int n = QByteArray::fromStdString(c.args).toInt(&ok);
    expected = ok && n >= 0 ? n : -1;
}

QList<QByteArray> Framer::feed(const QByteArray &bytes, qsizetype *dropped)
{
    buffer.append(bytes);
    QList<QByteArray> messages = take(true);
    const qsizetype lost = enforceBound(buffer);
    if (lost)
        held = false;
    if (dropped)
        *dropped = lost;
    return messages;
}

QList<QByteArray> Framer::release() { return take(false); }

void Framer::clear()
{
    buffer.clear();
    held = false;
}

QList<QByteArray> Framer::take(bool hold)
{
    QList<QByteArray> messages;
    const QByteArrayView terminator(kTerminator, kTerminatorLength);
    qsizetype start = 0;
    held = false;
    for (;;) {
        qsizetype end = buffer.indexOf(terminator, start);
        if (end < 0)
            break;
        end += kTerminatorLength;
        const qsizetype whole = KitCommands::kDataHeaderBytes + 2 * qsizetype(expected) +
                                kTerminatorLength; // a data reply of the samples asked for
        const std::string_view first(buffer.constData() + start, size_t(end - start));
        if (hold && expected >= 0 && end - start < whole && KitCommands::isDataReply(first)) {
            // The first terminator lies inside the payload, or the reply is short: the samples
            // decide once a whole reply (or one with an odd byte) could be in.
            const qsizetype have = buffer.size() - start;
            const auto endsAt = [&](qsizetype length) {
                return have >= length && buffer.mid(start + length - kTerminatorLength,
                                                    kTerminatorLength) == terminator;
            };
            if (endsAt(whole))
                end = start + whole;
            else if (endsAt(whole + 1))
                end = start + whole + 1;
            else if (have <= whole) {
                held = true;
                break;
            }
        }
        messages.append(buffer.mid(start, end - start));
        start = end;
    }
    // One removal at the end keeps a read holding many messages linear in its length.
    if (start > 0)
        buffer.remove(0, start);
    return messages;
}

} // namespace BtFraming
