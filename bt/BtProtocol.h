// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/KitCommands.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The kit's replies on the Bluetooth link: "<tag>:<value>:END\r\n", or a data reply: a 7-byte
// header (the message's tag holds "DATA", see KitCommands::isDataReply) followed by big-endian
// 16-bit samples.
namespace BtProtocol {

// In the order the tags are tested; the first tag the reply's tag contains wins.
using Tag = KitCommands::BtTag;

struct Reply
{
    Tag tag = Tag::None;
    QByteArray tagText; // the bytes before the first ":"
    QString value;      // the second field up to its first zero byte, one character per byte
};

// Splits a framed reply; a message with fewer than two fields gives Tag::None.
Reply parseReply(const QByteArray &message);

// The integer of a "TYPE" or "RFPOW" value; anything that is not a number counts as 0.
int intValue(const QString &value);

constexpr int kHeaderBytes = KitCommands::kDataHeaderBytes;
constexpr int kTerminatorBytes = int(KitCommands::kReplyEnd.size());

// The samples of a data reply in volts: floor((length - 13) / 2) big-endian words from offset 7;
// an odd byte before the terminator is ignored.
QVector<double> decodeSamples(const QByteArray &message);

// The verdict on one data reply. reason reads after "frame" or "frame 12", for example
// "incomplete: 512 of 1024 samples"; it is empty when the reply is whole.
struct DataCheck
{
    bool ok = true;
    int samples = 0; // whole samples the payload holds
    QString reason;
};

// Checks a framed data reply against the samples requested: its tag is the data tag, the
// payload holds exactly 2 bytes per requested sample (one odd byte before the terminator is
// ignored), and the terminator follows. requested < 0 (the tab did not ask, the console did)
// accepts any number of samples.
DataCheck checkDataReply(const QByteArray &message, int requested);

// Seconds the serial link (9600 baud, 10 bits a byte) needs to carry the data reply of n samples.
double replySeconds(int samples);

} // namespace BtProtocol
