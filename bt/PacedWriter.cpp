// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/PacedWriter.h"

PacedWriter::PacedWriter(QObject *parent) : QObject(parent)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end the pause early
    connect(&timer, &QTimer::timeout, this, [this] {
        if (queue.isEmpty())
            emit busyChanged(false);
        else
            writeNext();
    });
}

void PacedWriter::setSink(std::function<void(const QByteArray &)> s) { sink = std::move(s); }

void PacedWriter::setPause(int ms) { pauseMs = qMax(0, ms); }

void PacedWriter::write(const QByteArray &message)
{
    const bool wasBusy = isBusy();
    queue.append(message);
    if (!wasBusy) {
        emit busyChanged(true);
        writeNext();
    }
}

void PacedWriter::writeNext()
{
    const QByteArray message = queue.takeFirst();
    if (sink)
        sink(message);
    timer.start(pauseMs);
}
