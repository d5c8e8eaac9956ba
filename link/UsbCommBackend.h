// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPair>
#include <QString>
#include <QStringList>

// The transport under the device connection: finds kits, opens one, moves whole messages.
// Results are values: 0 or a count on success, negative on failure.
class UsbCommBackend
{
public:
    virtual ~UsbCommBackend() = default;

    virtual int initBackend() = 0;
    virtual void releaseBackend() = 0;
    virtual int open(const QString &path) = 0;
    virtual int close() = 0;
    // Sends one complete message; non-negative on success.
    virtual int write(const char *data, int length) = 0;
    // Fetches one reply into buffer (at most capacity bytes); the payload length, or -1.
    virtual int read(char *buffer, int capacity) = 0;
    virtual QPair<int, QStringList> findDevices() = 0;
    virtual bool isAvailable() = 0;
    // Why the last kit could not be opened, for the user; empty when nothing failed.
    virtual QString lastProblem() const { return {}; }
};
