// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serves one virtual kit on a pseudo-terminal: the kit holds the master side, and the slave path
// is what the application's serial port, or any terminal program, opens. The kit answers on a
// thread of its own, so a caller that blocks (the application sleeps after each write) does not
// hold the kit up.

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

class VirtualKit;

class BtPtyServer
{
public:
    struct Options
    {
        bool pace = false; // replies leave at the real link's speed
        int baud = 9600;   // 10 bits a byte on the line
    };

    explicit BtPtyServer(std::shared_ptr<VirtualKit> kit);
    BtPtyServer(std::shared_ptr<VirtualKit> kit, Options options);
    ~BtPtyServer();
    BtPtyServer(const BtPtyServer &) = delete;
    BtPtyServer &operator=(const BtPtyServer &) = delete;

    // Opens the pseudo-terminal (raw mode, so no byte is translated) and starts serving.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    QString slavePath() const { return m_slavePath; }
    std::shared_ptr<VirtualKit> kit() const { return m_kit; }
    qint64 bytesSent() const { return m_bytesSent.load(); }

    static double secondsPerByte(int baud) { return 10.0 / baud; }

private:
    void run();
    void closeFds();

    std::shared_ptr<VirtualKit> m_kit;
    Options m_options;
    QString m_slavePath;
    int m_master = -1;
    int m_slave = -1; // kept open so the master never sees a hang-up between clients
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<qint64> m_bytesSent{0};
};
