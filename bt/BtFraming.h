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

int countTerminators(const QByteArray &buffer);

// Removes every complete message from the front of buffer, terminator included, in arrival
// order; bytes after the last terminator stay and begin the next message.
QList<QByteArray> takeMessages(QByteArray &buffer);

// Drops what the buffer holds when it exceeds kMaxPending without a terminator.
// Returns the number of bytes dropped (0 when within the bound).
qsizetype enforceBound(QByteArray &buffer);

} // namespace BtFraming
