// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/VirtualKit.h"

#include "sim/Logging.h"

#include <QMutexLocker>

namespace {

constexpr int kMaxLog = 100000;
constexpr int kMaxBulkOutLog = 4096;

} // namespace

VirtualKit::VirtualKit(const QString &serial) { m_kit.serial = serial; }

// Identity

QString VirtualKit::serial() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.serial;
}

void VirtualKit::setSerial(const QString &serial)
{
    QMutexLocker lock(&m_mutex);
    m_kit.serial = serial;
}

QString VirtualKit::firmwareVersion() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.version;
}

void VirtualKit::setFirmwareVersion(const QString &version)
{
    QMutexLocker lock(&m_mutex);
    m_kit.version = version;
}

QString VirtualKit::firmwareId() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.firmwareId;
}

void VirtualKit::setFirmwareId(const QString &id)
{
    QMutexLocker lock(&m_mutex);
    m_kit.firmwareId = id;
}

double VirtualKit::samplePeriodFor(const QString &version)
{
    return RadarMath::samplePeriodForFirmware(version.toStdString());
}

double VirtualKit::samplePeriod() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.samplePeriod();
}

// Settings and catalogue

SimSweep VirtualKit::sweep() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.sweep;
}

void VirtualKit::setSweep(const SimSweep &sweep)
{
    QMutexLocker lock(&m_mutex);
    m_kit.sweep = sweep;
}

SimCatalogue VirtualKit::catalogue() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.catalogue;
}

void VirtualKit::setCatalogue(const SimCatalogue &catalogue)
{
    QMutexLocker lock(&m_mutex);
    m_kit.catalogue = catalogue;
}

SimModules VirtualKit::modules() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.modules;
}

void VirtualKit::setModules(const SimModules &modules)
{
    QMutexLocker lock(&m_mutex);
    m_kit.modules = modules;
}

void VirtualKit::reset()
{
    QMutexLocker lock(&m_mutex);
    m_kit.resetSettings();
    m_usb.dropFrame();
    for (QByteArray &r : m_kit.moduleReply)
        r.clear();
}

// Scene

QVector<SimTarget> VirtualKit::defaultScene() { return SimScene::defaultScene(); }

QVector<SimTarget> VirtualKit::targets() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.scene.targets();
}

void VirtualKit::setTargets(const QVector<SimTarget> &targets)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.setTargets(targets);
}

double VirtualKit::noiseVrms() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.scene.noiseVrms();
}

void VirtualKit::setNoiseVrms(double volts)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.setNoiseVrms(volts);
}

void VirtualKit::setRampTransientV(double volts)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.setRampTransientV(volts);
}

void VirtualKit::setSeed(quint64 seed)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.setSeed(seed);
}

void VirtualKit::setSceneDepthM(double metres)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.setDepthM(metres);
}

void VirtualKit::setManualClock(bool manual)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.setManualClock(manual);
}

void VirtualKit::advanceClock(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_kit.scene.advanceClock(seconds);
}

QVector<quint16> VirtualKit::captureFrame(int n)
{
    QMutexLocker lock(&m_mutex);
    return m_kit.captureFrame(n);
}

quint16 VirtualKit::voltsToCount(double volts) { return RadarMath::voltsToCount(volts); }

// Command languages

void VirtualKit::record(SimChannel channel, const QByteArray &text)
{
    if (m_log.size() >= kMaxLog)
        m_log.removeFirst();
    m_log.append({channel, QString::fromUtf8(text), m_kit.scene.elapsedMs()});
    qCDebug(lcSim) << m_kit.serial << (channel == SimChannel::Usb ? "usb <<" : "bt <<") << text;
}

QByteArray VirtualKit::handleUsbCommand(const QByteArray &message)
{
    QMutexLocker lock(&m_mutex);
    record(SimChannel::Usb, message);
    return m_usb.handle(m_kit, message);
}

SimBtReply VirtualKit::handleBtCommand(const QByteArray &command)
{
    QMutexLocker lock(&m_mutex);
    record(SimChannel::Bluetooth, command);
    return m_bt.handle(m_kit, command);
}

SimReplyForm VirtualKit::replyForm() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.form;
}

void VirtualKit::setReplyForm(const SimReplyForm &form)
{
    QMutexLocker lock(&m_mutex);
    m_kit.form = form;
}

QVector<quint16> VirtualKit::lastFrameSent() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.lastFrame;
}

int VirtualKit::lastUsbReplyDelayMs() const
{
    QMutexLocker lock(&m_mutex);
    return m_usb.lastReplyDelayMs();
}

// Faults and connection

SimFaults VirtualKit::faults() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.faults;
}

void VirtualKit::setFaults(const SimFaults &faults)
{
    QMutexLocker lock(&m_mutex);
    m_kit.faults = faults;
    m_transfersLeft = faults.disconnectAfter;
}

void VirtualKit::disconnect()
{
    QMutexLocker lock(&m_mutex);
    m_kit.connected = false;
}

void VirtualKit::reconnect()
{
    QMutexLocker lock(&m_mutex);
    m_kit.connected = true;
    m_transfersLeft = -1;
    m_kit.faults.disconnectAfter = -1;
}

bool VirtualKit::isConnected() const
{
    QMutexLocker lock(&m_mutex);
    return m_kit.connected;
}

bool VirtualKit::takeTransfer()
{
    QMutexLocker lock(&m_mutex);
    if (!m_kit.connected)
        return false;
    if (m_transfersLeft == 0) {
        qCDebug(lcSim) << m_kit.serial << "drops off the link";
        m_kit.connected = false;
        return false;
    }
    if (m_transfersLeft > 0)
        --m_transfersLeft;
    return true;
}

bool VirtualKit::claimUsb()
{
    QMutexLocker lock(&m_mutex);
    if (m_usbClaimed)
        return false;
    m_usbClaimed = true;
    return true;
}

void VirtualKit::releaseUsb()
{
    QMutexLocker lock(&m_mutex);
    m_usbClaimed = false;
}

// What the links saw

void VirtualKit::noteAbort(bool bulkIn, quint8 tag)
{
    QMutexLocker lock(&m_mutex);
    m_aborts << QStringLiteral("%1 %2").arg(bulkIn ? "IN" : "OUT").arg(tag);
}

QStringList VirtualKit::abortLog() const
{
    QMutexLocker lock(&m_mutex);
    return m_aborts;
}

QStringList VirtualKit::receivedCommands() const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const SimCommandRecord &r : m_log)
        out << r.text;
    return out;
}

QList<SimCommandRecord> VirtualKit::receivedLog() const
{
    QMutexLocker lock(&m_mutex);
    return m_log;
}

void VirtualKit::clearReceived()
{
    QMutexLocker lock(&m_mutex);
    m_log.clear();
}

void VirtualKit::noteMalformed(const QString &reason)
{
    QMutexLocker lock(&m_mutex);
    ++m_malformed;
    m_lastMalformed = reason;
    qCWarning(lcSim) << m_kit.serial << "refused a bulk-OUT transfer:" << reason;
}

int VirtualKit::malformedTransfers() const
{
    QMutexLocker lock(&m_mutex);
    return m_malformed;
}

QString VirtualKit::lastMalformedReason() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastMalformed;
}

void VirtualKit::noteTagSequenceError()
{
    QMutexLocker lock(&m_mutex);
    ++m_tagErrors;
}

int VirtualKit::tagSequenceErrors() const
{
    QMutexLocker lock(&m_mutex);
    return m_tagErrors;
}

QList<QByteArray> VirtualKit::bulkOutLog() const
{
    QMutexLocker lock(&m_mutex);
    return m_bulkOut;
}

void VirtualKit::noteBulkOut(const QByteArray &transfer)
{
    QMutexLocker lock(&m_mutex);
    if (m_bulkOut.size() >= kMaxBulkOutLog)
        m_bulkOut.removeFirst();
    m_bulkOut.append(transfer);
}

void VirtualKit::clearCounters()
{
    QMutexLocker lock(&m_mutex);
    m_malformed = 0;
    m_lastMalformed.clear();
    m_tagErrors = 0;
    m_bulkOut.clear();
}
