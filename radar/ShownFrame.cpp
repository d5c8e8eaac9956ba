// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/ShownFrame.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString localTime(const QDateTime &utc)
{
    return FrameMeta::timeStamp(utc).replace(QLatin1Char('T'), QLatin1Char(' '));
}

} // namespace

void ShownFrame::showLive(QVector<double> frame, const KnownKit &kit,
                          FrameMeta::Averaging averaging)
{
    samples = std::move(frame);
    ++number;
    meta = kit.liveMeta(averaging, int(samples.size()));
    file.clear();
    axes = kit.kit.axes;
}

QString ShownFrame::showRecorded(const Recording::Frame &frame, const KnownKit &kit)
{
    replace(frame.samples);
    file = frame.path;
    if (frame.hasMeta) {
        meta = frame.meta;
        axes = frame.meta.axes();
        if (!frame.meta.sweepKnown)
            axes.sweep = kit.kit.axes.sweep; // a frame saved before the kit answered
        return QStringLiteral("Showing %1 (%2)")
            .arg(QDir::toNativeSeparators(frame.path), localTime(frame.meta.capturedUtc));
    }
    // A file without a usable sidecar is taken to come from this kit as it is set up now.
    meta = kit.liveMeta(FrameMeta::Averaging::None, int(samples.size()));
    meta.capturedUtc = QFileInfo(frame.path).lastModified().toUTC();
    axes = kit.kit.axes;
    return QStringLiteral("Showing %1 (no metadata)").arg(QDir::toNativeSeparators(frame.path));
}

QString ShownFrame::liveLabel() const
{
    return QStringLiteral("Live frame (%1)").arg(localTime(meta.capturedUtc));
}
