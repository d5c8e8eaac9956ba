// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "dsp/FrameHistory.h"
#include "kit/RadarMath.h"

#include <QString>
#include <QVector>

// What the kit last read back, for the axes of live frames and their sidecars.
struct KnownKit
{
    FrameMeta::Kit kit; // sweepType and rfPower -1 while unknown
    bool freqsKnown = false;
    bool rampKnown = false;

    FrameMeta::Meta liveMeta(FrameMeta::Averaging averaging, int sampleCount) const
    {
        FrameMeta::Kit k = kit;
        k.sweepKnown = freqsKnown && rampKnown;
        FrameMeta::Meta m = FrameMeta::live(k, averaging);
        m.sampleCount = sampleCount;
        return m;
    }
};

// The frame on show: its samples and the one before (for two-pulse cancel), the axes it is drawn
// on and its sidecar as Save Data writes it. A live frame has no file; a recorded one keeps the
// axes its sidecar gave.
struct ShownFrame
{
    QVector<double> samples;
    QVector<double> previous;
    RadarMath::FrameAxes axes;
    FrameMeta::Meta meta;
    QString file;
    quint64 number = 0; // counts the frames put on show: the maps take each one once

    bool live() const { return file.isEmpty(); }
    // The sidecar as Save Data writes it: of the samples on show.
    FrameMeta::Meta sidecar() const
    {
        FrameMeta::Meta m = meta;
        m.sampleCount = int(samples.size());
        return m;
    }
    // The same axes, samples and sweep: a frame drawn on one needs no new map rows on the other.
    static bool sameAxes(const RadarMath::FrameAxes &a, const RadarMath::FrameAxes &b)
    {
        return a.samplePeriodS == b.samplePeriodS && a.sweep.startGHz == b.sweep.startGHz &&
               a.sweep.stopGHz == b.sweep.stopGHz && a.sweep.rampMs == b.sweep.rampMs;
    }
    // A new frame after this one; the current one becomes the previous pulse.
    void replace(QVector<double> next)
    {
        previous = std::move(samples);
        samples = std::move(next);
        ++number;
    }
    // A live frame from the kit as it is set up now; previous stays as it is.
    void showLive(QVector<double> frame, const KnownKit &kit, FrameMeta::Averaging averaging);
    // A frame from a file: the axes of its sidecar, or the kit's when it has none. Returns the
    // text of the frame's label.
    QString showRecorded(const Recording::Frame &frame, const KnownKit &kit);
    // "Live frame (2026-05-04 10:00:00)"
    QString liveLabel() const;

    // What the pages draw.
    QVector<double> drawn(bool twoPulseCancel) const
    {
        return twoPulseCancel ? FrameHistory::twoPulse(samples, previous) : samples;
    }
};

