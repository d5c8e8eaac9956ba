// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A sample count typed by the user, checked before anything is sent: a whole number from 1 to
// FrameCapture::maxSamples; a larger one is cut to the maximum (the field then shows it), any
// other entry is refused with a message that names the range.
namespace SampleCount {

struct Checked
{
    bool ok = false;      // n may be sent
    int n = 0;            // the count to use; when refused, the caller keeps its last good one
    bool clamped = false; // the entry was above the maximum and n is the maximum
};

Checked check(const QString &text);

// The message of a refused count.
QString rangeMessage();

} // namespace SampleCount
