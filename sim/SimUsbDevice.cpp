// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimUsbDevice.h"

#include "sim/Logging.h"
#include "sim/SimUsbBus.h"
#include "sim/VirtualKit.h"

#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint8 kDevDepMsgOut = 1;
constexpr quint8 kRequestDevDepMsgIn = 2;
constexpr int kHeaderSize = 12;

int padding(int n) { return (4 - n % 4) % 4; }

} // namespace

SimUsbDevice::SimUsbDevice() : SimUsbDevice(SimUsbBus::global()) {}

SimUsbDevice::SimUsbDevice(SimUsbBus &bus) : m_bus(bus) {}

SimUsbDevice::~SimUsbDevice() { close(); }

bool SimUsbDevice::fail(long code)
{
    m_error = code;
    return false;
}

bool SimUsbDevice::enumerate(std::vector<std::string> &paths)
{
    paths.clear();
    for (const auto &kit : m_bus.kits())
        if (kit->isConnected())
            paths.push_back(m_bus.pathOf(*kit).toStdString());
    m_error = ErrorNone;
    return true;
}

bool SimUsbDevice::open(const std::string &path)
{
    if (m_kit)
        close();
    std::shared_ptr<VirtualKit> kit = m_bus.find(QString::fromStdString(path));
    if (!kit || !kit->isConnected())
        return fail(kit ? ErrorNoDevice : ErrorNotFound);
    if (kit->faults().refuseOpen)
        return fail(ErrorIo);
    if (!kit->claimUsb())
        return fail(ErrorBusy);
    m_kit = std::move(kit);
    // INITIATE_CLEAR, CHECK_CLEAR_STATUS and clear halt: whatever an earlier user left unread goes.
    clearEndpoints();
    m_lastTag = 0;
    m_error = ErrorNone;
    return true;
}

bool SimUsbDevice::isOpen() const { return m_kit != nullptr; }

bool SimUsbDevice::close()
{
    if (!m_kit)
        return fail(ErrorNotFound);
    m_kit->releaseUsb();
    m_kit.reset();
    clearEndpoints();
    m_error = ErrorNone;
    return true;
}

long SimUsbDevice::lastError() const { return m_error; }

void SimUsbDevice::clearEndpoints()
{
    m_message.clear();
    m_requestPending = false;
    m_output.clear();
    m_inQueue.clear();
}

bool SimUsbDevice::write(const std::uint8_t *data, int length, int &written)
{
    written = 0;
    if (!m_kit)
        return fail(ErrorNotFound);
    if (!m_kit->takeTransfer())
        return fail(ErrorNoDevice);
    if (length < 0 || (length > 0 && !data))
        return fail(ErrorIo);
    // The bus takes every byte; the firmware then judges the header.
    written = length;
    m_error = ErrorNone;
    const QByteArray transfer(reinterpret_cast<const char *>(data), length);
    m_kit->noteBulkOut(transfer);
    handleBulkOut(transfer);
    return true;
}

void SimUsbDevice::handleBulkOut(const QByteArray &t)
{
    auto refuse = [this](const QString &reason) { m_kit->noteMalformed(reason); };
    if (t.size() < kHeaderSize)
        return refuse(
            QStringLiteral("transfer of %1 bytes is shorter than a header").arg(t.size()));
    const auto *b = reinterpret_cast<const quint8 *>(t.constData());
    const quint8 msgId = b[0], tag = b[1], inverse = b[2];
    if (msgId != kDevDepMsgOut && msgId != kRequestDevDepMsgIn)
        return refuse(QStringLiteral("unknown MsgID %1").arg(msgId));
    if (quint8(~tag) != inverse)
        return refuse(QStringLiteral("tag %1 with inverse %2").arg(tag).arg(inverse));
    if (tag == 0)
        return refuse(QStringLiteral("tag 0"));
    if (b[3] != 0)
        return refuse(QStringLiteral("reserved byte 3 is %1").arg(b[3]));
    if (t.size() % 4 != 0)
        return refuse(QStringLiteral("transfer of %1 bytes is not padded to 4").arg(t.size()));
    const quint32 size = qFromLittleEndian<quint32>(b + 4);

    // The host counts tags 1..255 and restarts at 1 on open; a break is noted, not refused.
    const int expected = m_lastTag == 0 || m_lastTag == 255 ? 1 : m_lastTag + 1;
    if (tag != expected)
        m_kit->noteTagSequenceError();
    m_lastTag = tag;

    if (msgId == kRequestDevDepMsgIn) {
        if (t.size() != kHeaderSize)
            return refuse(QStringLiteral("read request of %1 bytes").arg(t.size()));
        if (size == 0)
            return refuse(QStringLiteral("read request for 0 bytes"));
        if ((b[8] & 0x02) == 0 && b[9] != 0)
            return refuse(QStringLiteral("terminator character without TermCharEnabled"));
        if (b[10] != 0 || b[11] != 0)
            return refuse(QStringLiteral("reserved bytes of a read request are set"));
        m_requestPending = true;
        m_requestTag = tag;
        m_requestMax = size;
        return;
    }

    if (qint64(kHeaderSize) + size + padding(int(size % 4)) != t.size())
        return refuse(QStringLiteral("TransferSize %1 does not match a transfer of %2 bytes")
                          .arg(size)
                          .arg(t.size()));
    if (b[9] != 0 || b[10] != 0 || b[11] != 0)
        return refuse(QStringLiteral("reserved bytes 9..11 are set"));
    for (int i = kHeaderSize + int(size); i < t.size(); ++i)
        if (b[i] != 0)
            return refuse(QStringLiteral("padding byte %1 is not zero").arg(i));
    m_message += t.mid(kHeaderSize, int(size));
    if ((b[8] & 0x01) == 0)
        return; // more of this message follows
    const QByteArray command = m_message;
    m_message.clear();
    // A new command discards an answer nobody asked for, as an instrument's output queue does.
    m_output = m_kit->handleUsbCommand(command);
    m_outputDelayMs = m_kit->lastUsbReplyDelayMs();
}

QByteArray SimUsbDevice::buildReply()
{
    const SimFaults faults = m_kit->faults();
    const int n = int(std::min<qint64>(m_output.size(), m_requestMax));
    const QByteArray payload = m_output.left(n);
    m_output.remove(0, n);
    const bool eom = m_output.isEmpty();
    const quint8 tag = faults.wrongTag ? quint8(m_requestTag % 255 + 1) : m_requestTag;

    QByteArray t(kHeaderSize, '\0');
    t[0] = char(kRequestDevDepMsgIn);
    t[1] = char(tag);
    t[2] = char(~tag);
    qToLittleEndian<quint32>(quint32(n), t.data() + 4);
    t[8] = eom ? 0x01 : 0x00;
    t += payload;
    t += QByteArray(padding(n), '\0');
    if (faults.truncateBytes > 0)
        t.truncate(std::max(0, kHeaderSize + n - faults.truncateBytes));
    t += faults.extraBytes;
    return t;
}

bool SimUsbDevice::read(std::uint8_t *data, int capacity, int &received)
{
    received = 0;
    if (!m_kit)
        return fail(ErrorNotFound);
    if (!m_kit->takeTransfer())
        return fail(ErrorNoDevice);

    QByteArray t;
    if (!m_inQueue.isEmpty()) {
        t = m_inQueue.takeFirst();
    } else {
        if (!m_requestPending || m_output.isEmpty()) {
            // Nothing asked for or nothing to say: the host's read runs into its time-out; it
            // aborts the transfer, so the request is gone.
            m_requestPending = false;
            return fail(ErrorTimeout);
        }
        t = buildReply();
        m_requestPending = false;
        const int late = m_outputDelayMs;
        if (late > m_timeoutMs) {
            // Too late for this read; the transfer waits in the endpoint for the next one.
            m_inQueue.append(t);
            return fail(ErrorTimeout);
        }
        if (late > 0)
            QThread::msleep(late);
    }

    const int n = std::min<int>(t.size(), std::max(0, capacity));
    if (n > 0)
        std::memcpy(data, t.constData(), size_t(n));
    received = n;
    if (t.size() > capacity)
        return fail(ErrorOverflow);
    m_error = ErrorNone;
    return true;
}

// The kit drops the transfer in progress, as after INITIATE_ABORT_BULK_IN and a
// CHECK_ABORT_BULK_IN_STATUS that reports success: the request and whatever it would still
// have sent, also a late reply already waiting in the endpoint.
bool SimUsbDevice::abortBulkIn(std::uint8_t tag)
{
    if (!m_kit)
        return fail(ErrorNotFound);
    if (!m_kit->isConnected())
        return fail(ErrorNoDevice);
    m_kit->noteAbort(true, tag);
    m_requestPending = false;
    m_output.clear();
    m_inQueue.clear();
    m_error = ErrorNone;
    return true;
}

bool SimUsbDevice::abortBulkOut(std::uint8_t tag)
{
    if (!m_kit)
        return fail(ErrorNotFound);
    if (!m_kit->isConnected())
        return fail(ErrorNoDevice);
    m_kit->noteAbort(false, tag);
    m_message.clear();
    m_error = ErrorNone;
    return true;
}
