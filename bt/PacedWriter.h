// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

// Writes messages to the Bluetooth port one at a time, with a quiet pause after each write
// (100 ms unless replaced), driven by a timer so the window stays live. Messages given while a
// pause runs wait their turn, in order.
class PacedWriter : public QObject
{
    Q_OBJECT
public:
    explicit PacedWriter(QObject *parent = nullptr);

    // What one write does (the window writes to its port and flushes it).
    void setSink(std::function<void(const QByteArray &)> sink);
    void setPause(int ms);
    int pause() const { return pauseMs; }
    // A write or its pause is under way, or messages wait.
    bool isBusy() const { return timer.isActive() || !queue.isEmpty(); }
    // Drops the messages still waiting (their link is gone); a pause under way still ends.
    void discardPending() { queue.clear(); }

public slots:
    void write(const QByteArray &message);

signals:
    // True when a write starts on an idle line; false when the pause after the last one ends.
    void busyChanged(bool busy);

private:
    void writeNext();

    std::function<void(const QByteArray &)> sink;
    QList<QByteArray> queue;
    QTimer timer;
    int pauseMs = 100;
};
