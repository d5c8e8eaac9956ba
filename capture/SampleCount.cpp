// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SampleCount.h"

#include "capture/FrameCapture.h"

namespace SampleCount {

Checked check(const QString &text)
{
    Checked c;
    bool whole = false;
    const qlonglong v = text.trimmed().toLongLong(&whole);
    if (!whole) {
        // Digits too many for a 64-bit number are still "above the maximum", not a typo.
        const QString t = text.trimmed();
        bool digits = !t.isEmpty();
        for (qsizetype i = t.startsWith(QLatin1Char('+')) ? 1 : 0; i < t.size(); ++i)
            digits = digits && t.at(i).isDigit();
        if (!digits || t == QLatin1String("+"))
            return c;
        c.ok = c.clamped = true;
        c.n = FrameCapture::maxSamples;
        return c;
    }
    if (v < 1)
        return c;
    c.ok = true;
    c.clamped = v > FrameCapture::maxSamples;
    c.n = int(c.clamped ? FrameCapture::maxSamples : v);
    return c;
}

QString rangeMessage()
{
    return QStringLiteral("Number of samples must be an integer greater than zero and less than "
                          "%1")
        .arg(FrameCapture::maxSamples + 1);
}

} // namespace SampleCount
