// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A raw pseudo-terminal pair: the test holds the master side, the application opens the slave.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            return;
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        // Keep a slave descriptor only until the application has opened it, so that closing the
        // master later looks like a vanished device.
        slaveFd_ = slave;
        slavePath_ = QString::fromLocal8Bit(name);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        closeSlave();
        closeMaster();
    }

    bool isValid() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }

    void closeSlave()
    {
        if (slaveFd_ >= 0)
            ::close(slaveFd_);
        slaveFd_ = -1;
    }
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    bool write(const QByteArray &bytes)
    {
        return ::write(master_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads what the application wrote, waiting up to timeoutMs for at least minBytes bytes
    // while the event loop runs.
    QByteArray read(int minBytes, int timeoutMs = 2000)
    {
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (out.size() < minBytes && timer.elapsed() < timeoutMs) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
            else
                QTest::qWait(5);
        }
        return out;
    }

private:
    int master_ = -1;
    int slaveFd_ = -1;
    QString slavePath_;
};
