// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/BtPtyServer.h"

#include "kit/KitCommands.h"

#include "sim/Logging.h"
#include "sim/VirtualKit.h"

#include <QByteArray>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxCommandBytes = 64 * 1024; // a line without "$" this long is noise
constexpr qint64 kMaxQueuedBytes = 8 << 20; // replies nobody reads

} // namespace

BtPtyServer::BtPtyServer(std::shared_ptr<VirtualKit> kit) : BtPtyServer(std::move(kit), Options())
{
}

BtPtyServer::BtPtyServer(std::shared_ptr<VirtualKit> kit, Options options)
    : m_kit(std::move(kit)), m_options(options)
{
    if (m_options.baud <= 0)
        m_options.baud = 9600;
}

BtPtyServer::~BtPtyServer() { stop(); }

void BtPtyServer::closeFds()
{
    for (int *fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool BtPtyServer::start(QString *error)
{
    auto failed = [&](const char *what) {
        const QString text = QStringLiteral("%1: %2").arg(
            QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        qCWarning(lcSim) << text;
        if (error)
            *error = text;
        closeFds();
        return false;
    };
    if (isRunning())
        return true;
    if (!m_kit) {
        if (error)
            *error = QStringLiteral("no kit to serve");
        return false;
    }
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return failed("openpty");
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0)
        return failed("tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return failed("tcsetattr");
    if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0 ||
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(m_slave, F_SETFD, FD_CLOEXEC) != 0)
        return failed("fcntl");
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return failed("pipe2");
    m_slavePath = QString::fromLocal8Bit(name);
    m_thread = std::thread([this] { run(); });
    qCDebug(lcSim) << "serving" << m_kit->serial() << "on" << m_slavePath
                   << (m_options.pace ? "paced" : "");
    return true;
}

void BtPtyServer::stop()
{
    if (m_thread.joinable()) {
        const char c = 'q';
        while (::write(m_wake[1], &c, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    closeFds();
}

void BtPtyServer::run()
{
    struct Pending
    {
        QByteArray bytes;
        Clock::time_point due;
    };
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(secondsPerByte(m_options.baud)));

    QByteArray in;
    QByteArray out;            // due now, waiting for the line
    std::deque<Pending> queue; // late replies, in order
    auto queuedBytes = [&] {
        qint64 n = out.size();
        for (const Pending &p : queue)
            n += p.bytes.size();
        return n;
    };
    Clock::time_point lastDue;
    Clock::time_point nextByteDone; // when the byte now on the line has gone out

    for (;;) {
        Clock::time_point now = Clock::now();
        while (!queue.empty() && queue.front().due <= now) {
            if (out.isEmpty())
                nextByteDone = std::max(nextByteDone, now) + byteTime;
            out += queue.front().bytes;
            queue.pop_front();
        }

        Clock::time_point wakeAt = Clock::time_point::max();
        if (!queue.empty())
            wakeAt = queue.front().due;
        const bool lineFree = !m_options.pace || nextByteDone <= now;
        if (!out.isEmpty() && !lineFree)
            wakeAt = std::min(wakeAt, nextByteDone);
        timespec ts{};
        timespec *timeout = nullptr;
        if (wakeAt != Clock::time_point::max()) {
            const auto left = std::max(Clock::duration::zero(), wakeAt - now);
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = time_t(ns / 1000000000);
            ts.tv_nsec = long(ns % 1000000000);
            timeout = &ts;
        }

        pollfd fds[2] = {{m_master, short(POLLIN | (!out.isEmpty() && lineFree ? POLLOUT : 0)), 0},
                         {m_wake[0], POLLIN, 0}};
        const int ready = ::ppoll(fds, 2, timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSim) << "poll failed:" << std::strerror(errno);
            return;
        }
        if (fds[1].revents)
            return;
        now = Clock::now();

        if (fds[0].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                in.append(buf, int(n));
            for (int end = in.indexOf(KitCommands::kBtEnd); end >= 0;
                 end = in.indexOf(KitCommands::kBtEnd)) {
                const QByteArray command = in.left(end + 1);
                in.remove(0, end + 1);
                if (!m_kit->takeTransfer())
                    continue; // out of reach: the command is lost
                SimBtReply reply = m_kit->handleBtCommand(command);
                if (reply.bytes.isEmpty())
                    continue;
                if (queuedBytes() + reply.bytes.size() > kMaxQueuedBytes) {
                    qCWarning(lcSim) << "nobody reads the line; reply dropped";
                    continue;
                }
                Clock::time_point due =
                    std::max(now + std::chrono::milliseconds(reply.delayMs), lastDue);
                // A kit may hand its reply to the radio in pieces, with pauses between them.
                const int piece = reply.pieceBytes > 0 ? reply.pieceBytes : int(reply.bytes.size());
                for (int at = 0; at < reply.bytes.size(); at += piece) {
                    if (at > 0)
                        due += std::chrono::milliseconds(reply.pieceGapMs);
                    queue.push_back({reply.bytes.mid(at, piece), due});
                }
                lastDue = due;
            }
            if (in.size() > kMaxCommandBytes) {
                qCDebug(lcSim) << "dropping" << in.size() << "bytes without a \"$\"";
                in.clear();
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Should not happen while the slave is held open here; do not spin if it does.
            ::usleep(10000);
        }
        if ((fds[0].revents & POLLOUT) && !out.isEmpty()) {
            qint64 allowed = out.size();
            if (m_options.pace)
                allowed = std::min<qint64>(allowed, 1 + (now - nextByteDone) / byteTime);
            const ssize_t n = ::write(m_master, out.constData(), size_t(allowed));
            if (n > 0) {
                out.remove(0, int(n));
                m_bytesSent += n;
                if (m_options.pace)
                    nextByteDone += byteTime * n;
            }
        }
    }
}
