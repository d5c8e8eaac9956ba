// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/KitCommands.h"

#include <QPair>
#include <QString>
#include <QVector>

#include <QStringList>
#include <functional>

class usbTMCabstraction;

// The kit's frame transfer over the command layer, shared by the USB radar tab and the
// command-line tool so that both ask for a frame, check it and convert it the same way.
namespace FrameCapture {

// Largest frame the kit delivers; Collect and Plot cuts larger requests to this.
constexpr int maxSamples = 4096;
constexpr int samplesPerReply = KitCommands::kSamplesPerFrameReply;

// One reply as the command layer returns it: byte count (terminator included, -1 when the read
// failed) and text.
using Reply = QPair<int, QString>;

// The verdict on one frame. reason reads after "frame" or "frame 132", e.g.
// "incomplete: 993 of 1024 samples"; it is empty when the frame is whole.
struct FrameCheck
{
    bool ok = true;
    int samples = 0; // samples the replies carry
    QString reason;
};

// Checks the replies of one frame of n samples: every reply body a whole number of samples
// (a multiple of four hexadecimal digits in either case, at most 31 samples) ended by one
// terminator character of the kit's choosing, and exactly n samples in all. An empty or missing
// reply after the n-th sample is no fault: for n a multiple of 31 the protocol asks once more than
// the frame holds.
FrameCheck checkFrame(const QVector<Reply> &replies, int n);

// The concatenated reply bodies of one frame.
struct FrameText
{
    QString hex;
    int queries = 0;        // "CAPT:FRAM?" queries sent
    int lostReplies = 0;    // replies whose read failed: the kit stopped answering or went away
    bool abandoned = false; // the caller stopped the transfer before its last query
    QVector<Reply> replies; // as read, in order
    FrameCheck check;       // the verdict of checkFrame on replies
};

// Number of "CAPT:FRAM?" queries for a frame of n samples: n / 31 + 1, none when n <= -31.
int queryCount(int n);

// Sends "CAPT:FRAM <n>". Runs inside an open bracket of the command layer.
void requestFrame(usbTMCabstraction &inst, int n);

// Fetches a frame already requested with requestFrame(n): up to queryCount(n) queries, each
// reply's terminator dropped (replyText), the bodies joined in reply order, and the result checked.
// The first read that fails ends the loop: a kit that did not answer within the time-out will not
// answer the next query either, and each one would hold the caller for another time-out.
FrameText fetchFrame(usbTMCabstraction &inst, int n);

// Told the replies received so far and the replies expected, first with none received and then
// after every reply; returning false ends the transfer there (the frame is then abandoned).
using Progress = std::function<bool(int received, int expected)>;
FrameText fetchFrame(usbTMCabstraction &inst, int n, const Progress &progress);

// requestFrame and fetchFrame in one.
FrameText captureFrame(usbTMCabstraction &inst, int n);

// One ADC count in volts: c / 65535 x 5 - 2.5, so 0000 is -2.5 V and FFFF is +2.5 V.
double countToVolts(quint16 count);

// Cuts the text into groups of four hexadecimal digits from its start (a shorter last group is
// read as well) and converts each to volts; a group that is not hexadecimal counts as 0.
QVector<double> hexToVolts(const QString &hex);

// Lists the kits and returns the target of the one whose serial number is serial, or an empty
// string when none is; for finding a kit again after it was plugged into another port. Runs
// outside any bracket (it opens and closes each kit itself).
QString findKitBySerial(usbTMCabstraction &inst, const QString &serial);
// The same over targets already listed.
QString findKitBySerial(usbTMCabstraction &inst, const QString &serial, const QStringList &targets);

} // namespace FrameCapture
