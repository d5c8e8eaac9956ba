// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/KitCommands.h"

#include <QByteArray>
#include <QList>

// Cuts the Bluetooth byte stream into messages that end in ":END\r\n".
namespace BtFraming {

inline constexpr const char *kTerminator = KitCommands::kReplyEnd.data();
inline constexpr int kTerminatorLength = int(KitCommands::kReplyEnd.size());
// A noisy or wrong device that never sends a terminator must not exhaust memory.
inline constexpr qsizetype kMaxPending = 1024 * 1024;

// Removes every complete message from the front of buffer, terminator included, in arrival
// order; bytes after the last terminator stay and begin the next message.
QList<QByteArray> takeMessages(QByteArray &buffer);

// Drops what the buffer holds when it exceeds kMaxPending without a terminator.
// Returns the number of bytes dropped (0 when within the bound).
qsizetype enforceBound(QByteArray &buffer);

// takeMessages for a link whose data replies may carry ":END\r\n" among their samples: told the
// samples last asked for with "CAPT:STRE n$", it does not cut a data reply inside its 2·n
// payload bytes. A data reply that ends early is held until the bytes of a whole one are in
// (then cut at its first terminator after all), or until release().
class Framer
{
public:
    // Every command written to the kit, console input included; "CAPT:STRE n$" sets n.
    void noteCommand(const QByteArray &command);
    int expectedSamples() const { return expected; }

    // Appends bytes from the line; the complete messages, in order. Bytes beyond kMaxPending
    // without a terminator are dropped and counted in *dropped.
    QList<QByteArray> feed(const QByteArray &bytes, qsizetype *dropped = nullptr);
    // Nothing more is coming for now: a held data reply goes out as the line cut it.
    QList<QByteArray> release();
    // A data reply waits for the rest of its payload.
    bool holding() const { return held; }
    // Drops what is pending (the link was lost); the sample count stays.
    void clear();
    const QByteArray &pending() const { return buffer; }

private:
    QList<QByteArray> take(bool hold);

    QByteArray buffer;
    int expected = -1;
    bool held = false;
};

} // namespace BtFraming
