// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

class usbTMCabstraction;

// The kit's frame transfer over the command layer, shared by the USB radar tab and the
// command-line tool so that both ask for a frame and convert it the same way.
namespace FrameCapture {

// Largest frame the kit delivers; Collect and Plot cuts larger requests to this.
constexpr int maxSamples = 4096;
// Samples the kit packs into one "CAPT:FRAM?" reply, four hexadecimal digits each.
constexpr int samplesPerReply = 31;

// The concatenated reply bodies of one frame.
struct FrameText
{
    QString hex;
    int queries = 0;     // "CAPT:FRAM?" queries sent
    int lostReplies = 0; // replies whose read failed: the kit stopped answering or went away
};

// Number of "CAPT:FRAM?" queries for a frame of n samples: n / 31 + 1, none when n <= -31.
int queryCount(int n);

// Sends "CAPT:FRAM <n>". Runs inside an open bracket of the command layer.
void requestFrame(usbTMCabstraction &inst, int n);

// Fetches a frame already requested with requestFrame(n): queryCount(n) queries, each reply's
// terminator dropped, the bodies joined in reply order.
FrameText fetchFrame(usbTMCabstraction &inst, int n);

// requestFrame and fetchFrame in one.
FrameText captureFrame(usbTMCabstraction &inst, int n);

// One ADC count in volts: c / 65535 x 5 - 2.5, so 0000 is -2.5 V and FFFF is +2.5 V.
double countToVolts(quint16 count);

// Cuts the text into groups of four hexadecimal digits from its start (a shorter last group is
// read as well) and converts each to volts; a group that is not hexadecimal counts as 0.
QVector<double> hexToVolts(const QString &hex);

} // namespace FrameCapture
