// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/WinUSBTMC.h"

#include "kit/KitCommands.h"
#include "link/LinkLogging.h"

#include <QThread>

#include <string>
#include <vector>

namespace {

constexpr unsigned long kPauseMs = 10;
constexpr int kHeaderSize = 12;
constexpr std::uint8_t kDevDepMsgOut = 1;
constexpr std::uint8_t kRequestDevDepMsgIn = 2;
constexpr int kIdnCapacity = 255;

WinUSBTMC::PauseFunction &defaultPause()
{
    static WinUSBTMC::PauseFunction pause;
    return pause;
}

void putLength(std::uint8_t *at, std::uint32_t value)
{
    at[0] = std::uint8_t(value);
    at[1] = std::uint8_t(value >> 8);
    at[2] = std::uint8_t(value >> 16);
    at[3] = std::uint8_t(value >> 24);
}

std::uint32_t getLength(const std::uint8_t *at)
{
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
           std::uint32_t(at[3]) << 24;
}

} // namespace

WinUSBTMC::WinUSBTMC(UsbDeviceLayerPtr deviceLayer, PauseFunction pauseFunction)
    : layer(std::move(deviceLayer)), pauseFn(std::move(pauseFunction))
{
}

// The owner deletes the backend without closing; the device layer releases the device itself.
WinUSBTMC::~WinUSBTMC() = default;

void WinUSBTMC::setDefaultPause(PauseFunction pause) { defaultPause() = std::move(pause); }

void WinUSBTMC::defaultPauseFor(unsigned long ms)
{
    if (defaultPause())
        defaultPause()(ms);
    else
        QThread::msleep(ms);
}

void WinUSBTMC::pause()
{
    if (pauseFn)
        pauseFn(kPauseMs);
    else
        defaultPauseFor(kPauseMs);
}

void WinUSBTMC::advanceTag()
{
    // 0 is not a valid tag, so 255 wraps to 1.
    tag = tag == 255 ? 1 : std::uint8_t(tag + 1);
}

// A transfer that failed or timed out may still be pending in the kit; end it there so that a
// late reply cannot answer a later request.
void WinUSBTMC::abortTransfer(bool bulkIn, std::uint8_t transferTag)
{
    const bool aborted =
        bulkIn ? layer->abortBulkIn(transferTag) : layer->abortBulkOut(transferTag);
    qCDebug(lcUsb, "%s %s transfer of tag %u", aborted ? "Aborted the" : "Could not abort the",
            bulkIn ? "bulk-IN" : "bulk-OUT", unsigned(transferTag));
}

int WinUSBTMC::initBackend() { return 0; }

void WinUSBTMC::releaseBackend() {}

bool WinUSBTMC::isAvailable() { return layer != nullptr; }

int WinUSBTMC::open(const QString &path)
{
    tag = 1;
    if (!layer)
        return -1;
    const bool opened = layer->open(path.toStdString());
    pause();
    if (!opened) {
        qCDebug(lcUsb) << "Error on handle open";
        qCDebug(lcUsb, "%ld", layer->lastError());
        const QString reason = QString::fromStdString(layer->lastErrorText());
        problem =
            QStringLiteral("%1 could not be opened: %2")
                .arg(path, reason.isEmpty() ? QStringLiteral("error %1").arg(layer->lastError())
                                            : reason);
        return -1;
    }
    problem.clear();
    return 0;
}

int WinUSBTMC::close()
{
    if (!layer)
        return -1;
    const bool closed = layer->close();
    pause();
    if (!closed) {
        qCDebug(lcUsb) << "Error closing file handle";
        qCDebug(lcUsb, "%ld", layer->lastError());
        return -1;
    }
    return 0;
}

int WinUSBTMC::write(const char *data, int length)
{
    if (!layer || length < 0 || (length > 0 && !data))
        return -1;
    const int padding = (4 - length % 4) % 4;
    const int total = kHeaderSize + length + padding;
    std::vector<std::uint8_t> message(std::size_t(total), 0);
    const std::uint8_t messageTag = tag;
    message[0] = kDevDepMsgOut;
    message[1] = tag;
    message[2] = std::uint8_t(~tag);
    putLength(&message[4], std::uint32_t(length));
    message[8] = 0x01; // EOM: the whole command is in this one message
    if (length > 0)
        std::copy(data, data + length, message.begin() + kHeaderSize);

    pause();
    int written = 0;
    const bool ok = layer->write(message.data(), total, written);
    advanceTag();
    pause();
    if (!ok) {
        qCDebug(lcUsb) << "Error Writing to USB device during send";
        qCDebug(lcUsb, "%ld", layer->lastError());
        abortTransfer(false, messageTag);
        return -1;
    }
    if (written != total) {
        qCDebug(lcUsb) << "Wrong number of bytes written";
        qCDebug(lcUsb, "%ld", long(written));
        abortTransfer(false, messageTag);
        return -2;
    }
    return total;
}

int WinUSBTMC::read(char *buffer, int capacity)
{
    if (!layer || capacity < 0 || !buffer)
        return -1;
    const std::uint8_t requestTag = tag;
    std::uint8_t request[kHeaderSize] = {};
    request[0] = kRequestDevDepMsgIn;
    request[1] = requestTag;
    request[2] = std::uint8_t(~requestTag);
    putLength(&request[4], std::uint32_t(capacity));

    pause();
    int written = 0;
    const bool sent = layer->write(request, kHeaderSize, written);
    advanceTag();
    pause();
    if (!sent) {
        qCDebug(lcUsb) << "Error Writing to USB device";
        qCDebug(lcUsb, "%ld", layer->lastError());
        abortTransfer(false, requestTag);
        return -1;
    }
    if (written != kHeaderSize) {
        qCDebug(lcUsb) << "Couldn't send the right number of bytes";
        abortTransfer(false, requestTag);
        return -1;
    }

    std::vector<std::uint8_t> reply(std::size_t(capacity) + 16, 0);
    int received = 0;
    pause();
    const bool got = layer->read(reply.data(), int(reply.size()), received);
    pause();
    if (!got) {
        qCDebug(lcUsb) << "Error Reading from USB device";
        qCDebug(lcUsb, "%ld", layer->lastError());
        abortTransfer(true, requestTag);
        return -1;
    }
    if (received < kHeaderSize) {
        qCDebug(lcUsb) << "Read data not long enough";
        return -1;
    }
    const std::uint32_t announced = getLength(&reply[4]);
    // A reply announcing more than we asked for would overrun the caller's buffer.
    if (reply[0] != kRequestDevDepMsgIn || reply[1] != std::uint8_t(~reply[2]) ||
        reply[1] != requestTag || announced > std::uint32_t(capacity)) {
        qCDebug(lcUsb) << "Read packet looks invalid";
        return -1;
    }
    if (std::uint64_t(received) < std::uint64_t(announced) + kHeaderSize) {
        qCDebug(lcUsb) << "Read data not long enough after processing size";
        return -1;
    }
    std::copy(reply.begin() + kHeaderSize, reply.begin() + kHeaderSize + announced, buffer);
    return int(announced);
}

QPair<int, QStringList> WinUSBTMC::findDevices()
{
    if (!layer)
        return {-1, {}};
    pause();
    problem.clear();
    std::vector<std::string> paths;
    const bool listed = layer->enumerate(paths);
    const long enumerationError = layer->lastError();
    pause();
    if (!listed) {
        qCDebug(lcUsb) << "Error getting devices";
        qCDebug(lcUsb, "0x%lX", enumerationError);
        return {-1, {}};
    }

    QStringList found;
    QString unopened; // the last kit that would not open, reported when no kit is found
    for (const std::string &candidate : paths) {
        const QString path = QString::fromStdString(candidate);
        qCDebug(lcUsb) << "Got a handle!";
        qCDebug(lcUsb) << "Now interrogating";
        pause();
        if (open(path) < 0) {
            qCDebug(lcUsb) << "Error opening that handle";
            unopened = problem;
            continue;
        }
        pause();
        static const std::string idn = KitCommands::identify() + '\n';
        // A kit that misses one identification is asked once more before it goes unlisted.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (write(idn.data(), int(idn.size())) < 0)
                break;
            char reply[kIdnCapacity + 1] = {};
            const int n = read(reply, kIdnCapacity);
            if (n <= 0)
                continue;
            const QStringList parts = QString::fromUtf8(reply, n).trimmed().split(
                QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
            if (parts.size() == 4 && parts.first() == QLatin1String("Tamarin Works")) {
                qCDebug(lcUsb) << "It's an TWX device";
                found.append(path);
            }
            break;
        }
        close();
    }

    qCDebug(lcUsb) << "Enumeration done";
    qCDebug(lcUsb, "0x%lX", enumerationError);
    qCDebug(lcUsb, "For comparison, the expected value is 0x%lX", 259L);
    qCDebug(lcUsb) << "Finished initialization";
    problem = unopened;
    return {int(found.size()), found};
}
