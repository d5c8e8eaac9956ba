// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QVector>

// The last ten captured frames, newest first, and what the tab derives from them: the mean of
// ten and the two-pulse difference. Frames missing after a start or a change of length count as
// zeros, so a fresh average rises over ten captures instead of jumping.
class FrameHistory
{
public:
    static constexpr int depth = 10;

    enum class Averaging { None, MeanOfTen, MinusMeanOfTen };

    explicit FrameHistory(int initialLength = 1024);

    // Enters a raw frame (newest); a frame of another length first refills the history with zeros.
    void add(const QVector<double> &frame);

    // The frame as shown under `mode`: itself, the mean of the history, or itself minus that mean.
    QVector<double> averaged(const QVector<double> &frame, Averaging mode) const;

    const QList<QVector<double>> &frames() const { return history; }

    // current − previous, sample by sample; current unchanged when the lengths differ (no
    // previous frame yet, or the frame length changed).
    static QVector<double> twoPulse(const QVector<double> &current,
                                    const QVector<double> &previous);

private:
    void refill(int length);
    QList<QVector<double>> history;
};
