// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameHistory.h"

FrameHistory::FrameHistory(int initialLength) { refill(initialLength); }

void FrameHistory::refill(int length)
{
    history.clear();
    for (int i = 0; i < depth; ++i)
        history.append(QVector<double>(length, 0.0));
}

void FrameHistory::add(const QVector<double> &frame)
{
    if (history.first().size() != frame.size())
        refill(frame.size());
    history.removeLast();
    history.prepend(frame);
}

QVector<double> FrameHistory::averaged(const QVector<double> &frame, Averaging mode) const
{
    if (mode == Averaging::None || history.first().size() != frame.size())
        return frame;
    QVector<double> out(frame.size(), 0.0);
    for (const QVector<double> &entry : history)
        for (int i = 0; i < out.size(); ++i)
            out[i] += entry[i];
    for (int i = 0; i < out.size(); ++i) {
        const double mean = out[i] / depth;
        out[i] = mode == Averaging::MinusMeanOfTen ? frame[i] - mean : mean;
    }
    return out;
}

QVector<double> FrameHistory::twoPulse(const QVector<double> &current,
                                       const QVector<double> &previous)
{
    if (previous.size() != current.size())
        return current;
    QVector<double> out(current.size());
    for (int k = 0; k < current.size(); ++k)
        out[k] = current[k] - previous[k];
    return out;
}
