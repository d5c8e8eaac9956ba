// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtFraming.h"

#include "kit/KitCommands.h"

#include <string_view>

namespace BtFraming {

namespace {

// Removes the complete messages from the front of buffer. With expected >= 0 and hold set, a
// data reply shorter than expected samples is not cut at a terminator inside its payload: it
// waits (*held) until the bytes of a whole reply are in.
QList<QByteArray> cut(QByteArray &buffer, int expected, bool hold, bool *held)
{
    QList<QByteArray> messages;
    const QByteArrayView terminator(kTerminator, kTerminatorLength);
    const qsizetype whole =
        KitCommands::kDataHeaderBytes + 2 * qsizetype(expected) + kTerminatorLength;
    qsizetype start = 0;
    for (;;) {
        qsizetype end = buffer.indexOf(terminator, start);
        if (end < 0)
            break;
        end += kTerminatorLength;
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
                *held = true;
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

} // namespace

QList<QByteArray> takeMessages(QByteArray &buffer) { return cut(buffer, -1, false, nullptr); }

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
    held = false;
    return cut(buffer, expected, hold, &held);
}

} // namespace BtFraming
