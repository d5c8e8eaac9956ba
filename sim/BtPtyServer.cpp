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

// The kit's side of the line: replies wait for their due time, then leave, at the line's speed
// when paced.
class OutgoingLine
{
public:
    OutgoingLine(const BtPtyServer::Options &options, double secondsPerByte)
        : m_pace(options.pace), m_byteTime(std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(secondsPerByte)))
    {
    }

    bool hasDue() const { return !m_out.isEmpty(); }
    bool isFree(Clock::time_point now) const { return !m_pace || m_nextByteDone <= now; }

    // Queues a reply after those before it, in the pieces the kit hands to its radio; false
    // when nobody has read the line for so long that it would overflow.
    bool enqueue(const SimBtReply &reply, Clock::time_point now)
    {
        if (queuedBytes() + reply.bytes.size() > kMaxQueuedBytes)
            return false;
        Clock::time_point due = std::max(now + std::chrono::milliseconds(reply.delayMs), m_lastDue);
        const int piece = reply.pieceBytes > 0 ? reply.pieceBytes : int(reply.bytes.size());
        for (int at = 0; at < reply.bytes.size(); at += piece) {
            if (at > 0)
                due += std::chrono::milliseconds(reply.pieceGapMs);
            m_late.push_back({reply.bytes.mid(at, piece), due});
        }
        m_lastDue = due;
        return true;
    }

    // Moves what has come due onto the line.
    void release(Clock::time_point now)
    {
        while (!m_late.empty() && m_late.front().due <= now) {
            if (m_out.isEmpty())
                m_nextByteDone = std::max(m_nextByteDone, now) + m_byteTime;
            m_out += m_late.front().bytes;
            m_late.pop_front();
        }
    }

    // How long the server may sleep: until the next reply comes due or the line frees; null
    // for as long as it takes.
    timespec *pollTimeout(Clock::time_point now, timespec &ts) const
    {
        Clock::time_point wakeAt = Clock::time_point::max();
        if (!m_late.empty())
            wakeAt = m_late.front().due;
        if (hasDue() && !isFree(now))
            wakeAt = std::min(wakeAt, m_nextByteDone);
        if (wakeAt == Clock::time_point::max())
            return nullptr;
        const auto left = std::max(Clock::duration::zero(), wakeAt - now);
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        ts.tv_sec = time_t(ns / 1000000000);
        ts.tv_nsec = long(ns % 1000000000);
        return &ts;
    }

    // Writes what the line takes now; the bytes written.
    qint64 sendTo(int fd, Clock::time_point now)
    {
        if (m_out.isEmpty())
            return 0;
        qint64 allowed = m_out.size();
        if (m_pace)
            allowed = std::min<qint64>(allowed, 1 + (now - m_nextByteDone) / m_byteTime);
        const ssize_t n = ::write(fd, m_out.constData(), size_t(allowed));
        if (n <= 0)
            return 0;
        m_out.remove(0, int(n));
        if (m_pace)
            m_nextByteDone += m_byteTime * n;
        return n;
    }

private:
    struct Pending
    {
        QByteArray bytes;
        Clock::time_point due;
    };

    qint64 queuedBytes() const
    {
        qint64 n = m_out.size();
        for (const Pending &p : m_late)
            n += p.bytes.size();
        return n;
    }

    const bool m_pace;
    const Clock::duration m_byteTime;
    QByteArray m_out;           // due now, waiting for the line
    std::deque<Pending> m_late; // replies not yet due, in order
    Clock::time_point m_lastDue;
    Clock::time_point m_nextByteDone; // when the byte now on the line has gone out
};

// Answers every whole command in `in` and leaves the rest for more bytes.
void serveCommands(VirtualKit &kit, QByteArray &in, OutgoingLine &line, Clock::time_point now)
{
    for (int end = in.indexOf(KitCommands::kBtEnd); end >= 0;
         end = in.indexOf(KitCommands::kBtEnd)) {
        const QByteArray command = in.left(end + 1);
        in.remove(0, end + 1);
        if (!kit.takeTransfer())
            continue; // out of reach: the command is lost
        const SimBtReply reply = kit.handleBtCommand(command);
        if (!reply.bytes.isEmpty() && !line.enqueue(reply, now))
            qCWarning(lcSim) << "nobody reads the line; reply dropped";
    }
    if (in.size() > kMaxCommandBytes) {
        qCDebug(lcSim) << "dropping" << in.size() << "bytes without a \"$\"";
        in.clear();
    }
}

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
    OutgoingLine line(m_options, secondsPerByte(m_options.baud));
    QByteArray in;
    for (;;) {
        Clock::time_point now = Clock::now();
        line.release(now);
        timespec ts{};
        const bool lineFree = line.isFree(now);
        pollfd fds[2] = {{m_master, short(POLLIN | (line.hasDue() && lineFree ? POLLOUT : 0)), 0},
                         {m_wake[0], POLLIN, 0}};
        const int ready = ::ppoll(fds, 2, line.pollTimeout(now, ts), nullptr);
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
            serveCommands(*m_kit, in, line, now);
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Should not happen while the slave is held open here; do not spin if it does.
            ::usleep(10000);
        }
        if (fds[0].revents & POLLOUT)
            m_bytesSent += line.sendTo(m_master, now);
    }
}
