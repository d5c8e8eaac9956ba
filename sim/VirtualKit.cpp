// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/VirtualKit.h"

#include "sim/Logging.h"
#include "sim/SweepPhysics.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// What the kit's synthesiser and ramp generator accept; other values leave the setting as it was.
constexpr double kMinFreqGHz = 23.0;
constexpr double kMaxFreqGHz = 26.0;
constexpr double kMinRampMs = 0.1;
constexpr double kMaxRampMs = 100.0;
constexpr int kMaxLog = 100000;
constexpr int kMaxBulkOutLog = 4096;

QString number(double v) { return QString::number(v, 'g', 10); }

QByteArray line(const QString &text) { return text.toLatin1() + '\n'; }

template <typename T> QString joinNumbers(const QList<T> &values)
{
    QStringList parts;
    for (const T &v : values)
        parts << QString::number(v);
    return parts.join(',');
}

namespace Kc = KitCommands;
namespace Key = KitCommands::Key;

QByteArray btReply(Kc::BtTag tag, const QString &value)
{
    return QByteArray::fromStdString(Kc::reply(tag, value.toLatin1().toStdString()));
}

QString latin1(const std::string &s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

// The header and arguments of a command as the kit reads them; keywords in any case.
void splitCommand(const Kc::Command &command, QString &header, QString &args)
{
    header = latin1(command.header);
    args = latin1(command.args);
}

// The header is that keyword, or its query.
bool is(const QString &header, std::string_view key)
{
    return header == QLatin1String(key.data(), qsizetype(key.size()));
}
bool asks(const QString &header, std::string_view key)
{
    return header.size() == qsizetype(key.size()) + 1 && header.endsWith(QLatin1Char('?')) &&
           header.startsWith(QLatin1String(key.data(), qsizetype(key.size())));
}

std::optional<int> portOf(const QString &header, std::string_view key, bool asQuery)
{
    return Kc::modulePort(header.toLatin1().toStdString(), key, asQuery);
}

} // namespace

VirtualKit::VirtualKit(const QString &serial) : m_serial(serial), m_rng(1)
{
    m_clock.start();
    setTargets(defaultScene());
}

QString VirtualKit::serial() const
{
    QMutexLocker lock(&m_mutex);
    return m_serial;
}

void VirtualKit::setSerial(const QString &serial)
{
    QMutexLocker lock(&m_mutex);
    m_serial = serial;
}

QString VirtualKit::firmwareVersion() const
{
    QMutexLocker lock(&m_mutex);
    return m_version;
}

void VirtualKit::setFirmwareVersion(const QString &version)
{
    QMutexLocker lock(&m_mutex);
    m_version = version;
}

QString VirtualKit::firmwareId() const
{
    QMutexLocker lock(&m_mutex);
    return m_firmwareId;
}

void VirtualKit::setFirmwareId(const QString &id)
{
    QMutexLocker lock(&m_mutex);
    m_firmwareId = id;
}

double VirtualKit::samplePeriodFor(const QString &version)
{
    return RadarMath::samplePeriodForFirmware(version.toStdString());
}

double VirtualKit::samplePeriod() const
{
    QMutexLocker lock(&m_mutex);
    return samplePeriodFor(m_version);
}

SimSweep VirtualKit::sweep() const
{
    QMutexLocker lock(&m_mutex);
    return m_sweep;
}

void VirtualKit::setSweep(const SimSweep &sweep)
{
    QMutexLocker lock(&m_mutex);
    m_sweep = sweep;
}

SimCatalogue VirtualKit::catalogue() const
{
    QMutexLocker lock(&m_mutex);
    return m_catalogue;
}

void VirtualKit::setCatalogue(const SimCatalogue &catalogue)
{
    QMutexLocker lock(&m_mutex);
    m_catalogue = catalogue;
}

SimModules VirtualKit::modules() const
{
    QMutexLocker lock(&m_mutex);
    return m_modules;
}

void VirtualKit::setModules(const SimModules &modules)
{
    QMutexLocker lock(&m_mutex);
    m_modules = modules;
}

void VirtualKit::reset()
{
    QMutexLocker lock(&m_mutex);
    m_sweep = SimSweep();
    m_catalogue = SimCatalogue();
    m_usbFrame.clear();
    m_usbFramePos = 0;
    for (QByteArray &r : m_moduleReply)
        r.clear();
}

QVector<SimTarget> VirtualKit::defaultScene()
{
    // Inside the 0..6 m the default sweep shows; the middle one walks slowly so the
    // waterfall pages show motion.
    return {{1.2, 0.0, 0.5, 0.0}, {2.5, 0.3, 0.3, 1.0}, {4.2, 0.0, 0.2, 2.0}};
}

QVector<SimTarget> VirtualKit::targets() const
{
    QMutexLocker lock(&m_mutex);
    QVector<SimTarget> out;
    for (const MovingTarget &t : m_targets)
        out << t.target;
    return out;
}

void VirtualKit::setTargets(const QVector<SimTarget> &targets)
{
    QMutexLocker lock(&m_mutex);
    m_targets.clear();
    for (SimTarget t : targets) {
        t.rangeM = std::max(0.0, t.rangeM);
        m_targets.append({t, std::max(m_sceneDepthM, t.rangeM)});
    }
}

void VirtualKit::setRampTransientV(double volts)
{
    QMutexLocker lock(&m_mutex);
    m_rampTransientV = std::isfinite(volts) ? volts : 0.0;
}

double VirtualKit::noiseVrms() const
{
    QMutexLocker lock(&m_mutex);
    return m_noiseVrms;
}

void VirtualKit::setNoiseVrms(double volts)
{
    QMutexLocker lock(&m_mutex);
    m_noiseVrms = std::isfinite(volts) ? std::max(0.0, volts) : 0.0;
}

void VirtualKit::setSeed(quint64 seed)
{
    QMutexLocker lock(&m_mutex);
    m_rng.seed(seed);
    m_gauss.reset();
}

void VirtualKit::setSceneDepthM(double metres)
{
    QMutexLocker lock(&m_mutex);
    m_sceneDepthM = std::max(0.0, metres);
    for (MovingTarget &t : m_targets)
        t.limitM = std::max(m_sceneDepthM, t.target.rangeM);
}

void VirtualKit::setManualClock(bool manual)
{
    QMutexLocker lock(&m_mutex);
    m_manualClock = manual;
    m_manualSeconds = 0.0;
    m_lastFrameSeconds = -1.0;
}

void VirtualKit::advanceClock(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_manualSeconds += seconds;
}

double VirtualKit::nowSecondsLocked() const
{
    return m_manualClock ? m_manualSeconds : m_clock.nsecsElapsed() * 1e-9;
}

void VirtualKit::moveTargetsLocked()
{
    const double now = nowSecondsLocked();
    const double dt = m_lastFrameSeconds < 0 ? 0.0 : now - m_lastFrameSeconds;
    m_lastFrameSeconds = now;
    if (dt <= 0)
        return;
    for (MovingTarget &m : m_targets)
        SweepPhysics::travel(m.target.rangeM, m.target.velocityMps, m.limitM, dt);
}

quint16 VirtualKit::voltsToCount(double volts) { return RadarMath::voltsToCount(volts); }

QVector<quint16> VirtualKit::captureFrame(int n)
{
    QMutexLocker lock(&m_mutex);
    return captureFrameLocked(n);
}

QVector<quint16> VirtualKit::captureFrameLocked(int n)
{
    n = std::clamp(n, 0, kMaxFrameSamples);
    moveTargetsLocked();
    const bool radiating = m_catalogue.systemPower && m_sweep.rfOn && m_sweep.sweeping;
    SweepPhysics::Setup setup;
    setup.sweep = {m_sweep.startGHz, m_sweep.stopGHz, m_sweep.rampMs};
    setup.type = m_sweep.type;
    setup.samplePeriodS = samplePeriodFor(m_version);
    setup.rampTransientV = m_rampTransientV;
    std::vector<SweepPhysics::Reflector> reflectors;
    if (radiating)
        for (const MovingTarget &m : m_targets)
            reflectors.push_back(
                {m.target.rangeM, m.target.velocityMps, m.target.amplitudeV, m.target.phaseRad});
    const std::vector<double> beat = SweepPhysics::beatFrame(reflectors, setup, n);

    QVector<quint16> frame(n);
    for (int k = 0; k < n; ++k)
        frame[k] = voltsToCount(beat[size_t(k)] + m_noiseVrms * m_gauss(m_rng));
    return frame;
}

void VirtualKit::record(SimChannel channel, const QByteArray &text)
{
    if (m_log.size() >= kMaxLog)
        m_log.removeFirst();
    m_log.append({channel, QString::fromUtf8(text), m_clock.elapsed()});
    qCDebug(lcSim) << m_serial << (channel == SimChannel::Usb ? "usb <<" : "bt <<") << text;
}

QString VirtualKit::moduleIdnLocked(int port) const
{
    if (!m_modules.portIdn[port].isEmpty())
        return m_modules.portIdn[port];
    return QStringLiteral("Tamarin Works,RFM24,%1-P%2,1.0.0").arg(m_serial).arg(port);
}

bool VirtualKit::applySetting(const QString &header, const QString &args)
{
    bool ok = false;
    if (is(header, Key::StartFreq) || is(header, Key::StopFreq)) {
        const double v = args.toDouble(&ok);
        if (ok && v >= kMinFreqGHz && v <= kMaxFreqGHz)
            (is(header, Key::StartFreq) ? m_sweep.startGHz : m_sweep.stopGHz) = v;
        else
            qCDebug(lcSim) << "frequency refused:" << args;
        return true;
    }
    if (is(header, Key::RampTime)) {
        const double v = args.toDouble(&ok);
        if (ok && v >= kMinRampMs && v <= kMaxRampMs)
            m_sweep.rampMs = v;
        else
            qCDebug(lcSim) << "ramp time refused:" << args;
        return true;
    }
    if (is(header, Key::SweepType)) {
        const int v = args.toInt(&ok);
        if (ok && v >= 0 && v <= 3)
            m_sweep.type = v;
        return true;
    }
    if (is(header, Key::SweepStart)) {
        m_sweep.sweeping = true;
        return true;
    }
    if (is(header, Key::SweepStop)) {
        m_sweep.sweeping = false;
        return true;
    }
    if (is(header, Key::RfPower)) {
        const int v = args.toInt(&ok);
        if (ok && (v == 0 || v == 1))
            m_sweep.rfOn = v == 1;
        return true;
    }
    if (is(header, Key::SystemPower)) {
        const int v = args.toInt(&ok);
        if (ok && (v == 0 || v == 1))
            m_catalogue.systemPower = v == 1;
        return true;
    }
    if (is(header, Key::Attenuators)) {
        const QStringList p = args.split(',');
        bool okc = false, okv = false;
        const int ch = p.value(0).trimmed().toInt(&okc);
        const int val = p.value(1).trimmed().toInt(&okv);
        if (p.size() == 2 && okc && okv && ch >= 1 && ch <= m_catalogue.attenuators.size() &&
            val >= 0 && val <= 31)
            m_catalogue.attenuators[ch - 1] = val;
        return true;
    }
    if (is(header, Key::BiasGate)) {
        const QStringList p = args.split(',');
        bool okc = false, okd = false;
        const int ch = p.value(0).trimmed().toInt(&okc);
        const int dev = p.value(1).trimmed().toInt(&okd);
        const int index = (ch - 1) * 5 + dev;
        if (p.size() == 2 && okc && okd && ch >= 1 && ch <= 5 && dev >= 0 && dev <= 4 &&
            index <= 21)
            m_catalogue.biasGate = index;
        return true;
    }
    if (const std::optional<int> sendPort = portOf(header, Key::ModuleSend, false)) {
        const int port = *sendPort;
        if (port < 4 && (m_modules.portMask >> port & 1)) {
            const QString text = latin1(std::string(Kc::unquote(args.toLatin1().toStdString())));
            // A module answers its identification and nothing else.
            m_moduleReply[port] = text.trimmed() == latin1(Kc::identify())
                                      ? line(moduleIdnLocked(port))
                                      : QByteArray();
        }
        return true;
    }
    if (is(header, Key::Frame)) {
        const int n = args.toInt(&ok);
        if (ok) {
            m_usbFrame = m_lastFrame = captureFrameLocked(n);
            m_usbFramePos = 0;
            m_usbFrameQuery = 0;
            m_frameFaulty =
                m_faults.frameFault != SimFrameFault::None && m_faults.frameFaultFrames != 0;
            if (m_frameFaulty && m_faults.frameFaultFrames > 0)
                --m_faults.frameFaultFrames;
        }
        return true;
    }
    if (is(header, Key::Reset)) {
        m_sweep = SimSweep();
        m_catalogue = SimCatalogue();
        return true;
    }
    return is(header, Key::ClearStatus);
}

QByteArray VirtualKit::usbQuery(const QString &header, const QString &args)
{
    Q_UNUSED(args);
    if (asks(header, Key::Frame))
        return frameReplyLocked();
    if (asks(header, Key::Identify))
        return line(
            QStringLiteral("%1,%2,%3,%4").arg(manufacturer(), model(), m_serial, m_version));
    if (asks(header, Key::StartFreq))
        return line(number(m_sweep.startGHz));
    if (asks(header, Key::StopFreq))
        return line(number(m_sweep.stopGHz));
    if (asks(header, Key::RampTime))
        return line(number(m_sweep.rampMs));
    if (asks(header, Key::SweepType))
        return line(QString::number(m_sweep.type));
    if (asks(header, Key::RfPower))
        return line(QString::number(m_sweep.rfOn ? 1 : 0));
    if (asks(header, Key::FirmwareId))
        return line(m_firmwareId);
    if (asks(header, Key::Modules))
        return line(QString::number(m_modules.portMask));
    if (asks(header, Key::Firmware))
        return line(m_version);
    if (asks(header, Key::Time))
        return line(QString::number(nowSecondsLocked(), 'f', 3));
    if (asks(header, Key::Temperatures))
        return line(joinNumbers(m_catalogue.temperaturesC));
    if (asks(header, Key::Currents)) {
        QList<int> currents = m_catalogue.currentsMa;
        if (!m_catalogue.systemPower)
            std::fill(currents.begin(), currents.end(), 0);
        return line(joinNumbers(currents));
    }
    if (asks(header, Key::ModuleStatus)) {
        QList<int> status;
        for (int p = 0; p < 4; ++p)
            status << (m_modules.portMask >> p & 1);
        return line(joinNumbers(status));
    }
    if (asks(header, Key::Attenuators))
        return line(joinNumbers(m_catalogue.attenuators));
    if (asks(header, Key::Lcd))
        return line(QString::number(m_modules.lcdPresent ? 1 : 0));
    if (asks(header, Key::LcdSerial) && m_modules.lcdPresent)
        return line(m_modules.lcdSerial);
    if (asks(header, Key::LcdVersion) && m_modules.lcdPresent)
        return line(m_modules.lcdVersion);
    if (asks(header, Key::Fpga))
        return line(m_modules.fpgaPresent ? m_modules.fpgaCode : QStringLiteral("0"));

    // Per-port queries: what a module answered, and its firmware ID.
    const std::optional<int> readPort = portOf(header, Key::ModuleRead, true);
    const std::optional<int> idPort = portOf(header, Key::FirmwareId, true);
    if ((readPort && *readPort < 4) || (idPort && *idPort < 4)) {
        const int port = readPort ? *readPort : *idPort;
        if (!(m_modules.portMask >> port & 1))
            return {};
        if (readPort) {
            const QByteArray reply = m_moduleReply[port];
            m_moduleReply[port].clear();
            return reply;
        }
        const QString id = m_modules.portFirmwareId[port];
        return line(id.isEmpty() ? QStringLiteral("0100") : id);
    }
    return {};
}

QByteArray VirtualKit::frameReplyLocked()
{
    const int query = m_usbFrameQuery++;
    const SimFrameFault fault = m_frameFaulty && query >= m_faults.frameFaultReply
                                    ? m_faults.frameFault
                                    : SimFrameFault::None;
    if (fault == SimFrameFault::Hang)
        return {};
    if (fault == SimFrameFault::Unplug) {
        qCDebug(lcSim) << m_serial << "unplugged mid-frame";
        m_connected = false;
        return {};
    }
    const bool strikes = query == m_faults.frameFaultReply;
    const int count = std::min<int>(kSamplesPerUsbReply, m_usbFrame.size() - m_usbFramePos);
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out(count * 4 + 1, '\n');
    for (int i = 0; i < count; ++i) {
        const quint16 s = m_usbFrame[m_usbFramePos + i];
        for (int d = 0; d < 4; ++d)
            out[4 * i + d] = digits[(s >> (12 - 4 * d)) & 0xf];
    }
    m_usbFramePos += count;
    if (!strikes)
        return out;
    switch (fault) {
    case SimFrameFault::LostReply:
        return {};
    case SimFrameFault::LateReply:
        m_lastUsbDelayMs = 60 * 60 * 1000;
        break;
    case SimFrameFault::ShortBody:
        if (out.size() >= 3)
            out.remove(out.size() - 3, 2);
        break;
    case SimFrameFault::NoTerminator:
        out.chop(1);
        break;
    case SimFrameFault::NonHex:
        out.replace(0, std::min<int>(4, out.size() - 1), "-?.x");
        break;
    default:
        break;
    }
    return out;
}

int VirtualKit::lastUsbReplyDelayMs() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastUsbDelayMs;
}

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

QByteArray VirtualKit::handleUsbCommand(const QByteArray &message)
{
    QMutexLocker lock(&m_mutex);
    m_lastUsbDelayMs = std::max(0, m_faults.lateReplyMs);
    record(SimChannel::Usb, message);
    QString header, args;
    splitCommand(Kc::parseCommand(message.toStdString()), header, args);
    if (applySetting(header, args) || m_faults.noReply)
        return {};
    QByteArray reply = usbQuery(header, args);
    if (reply.isEmpty())
        qCDebug(lcSim) << "no answer to" << header;
    m_form.shapeUsbReply(reply, asks(header, Key::Frame), m_usbFrameQuery);
    m_lastUsbDelayMs += m_form.replyDelayMs;
    return reply;
}

QByteArray VirtualKit::btQuery(const QString &header, const QString &args)
{
    if (asks(header, Key::StartFreq))
        return btReply(Kc::BtTag::StartFreq, number(m_sweep.startGHz));
    if (asks(header, Key::StopFreq))
        return btReply(Kc::BtTag::StopFreq, number(m_sweep.stopGHz));
    if (asks(header, Key::RampTime))
        return btReply(Kc::BtTag::Ramp, number(m_sweep.rampMs));
    if (asks(header, Key::SweepType))
        return btReply(Kc::BtTag::Type, QString::number(m_sweep.type));
    if (asks(header, Key::RfPower))
        return btReply(Kc::BtTag::RfPower, QString::number(m_sweep.rfOn ? 1 : 0));
    if (asks(header, Key::Identify))
        return btReply(
            Kc::BtTag::Identity,
            QStringLiteral("%1,%2,%3,%4").arg(manufacturer(), model(), m_serial, m_version));
    if (is(header, Key::Stream)) {
        bool ok = false;
        const int n = args.toInt(&ok);
        if (!ok)
            return {};
        return spoilBtFrameLocked(
            m_form.dataReply(captureFrameLocked(n), m_btFrameCounter++, &m_lastFrame));
    }
    return {};
}

SimReplyForm VirtualKit::replyForm() const
{
    QMutexLocker lock(&m_mutex);
    return m_form;
}

void VirtualKit::setReplyForm(const SimReplyForm &form)
{
    QMutexLocker lock(&m_mutex);
    m_form = form;
}

QVector<quint16> VirtualKit::lastFrameSent() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastFrame;
}

QByteArray VirtualKit::spoilBtFrameLocked(const QByteArray &reply)
{
    if (m_faults.btFrameFault == SimBtFrameFault::None || m_faults.btFrameFaultFrames == 0)
        return reply;
    if (m_faults.btFrameFaultFrames > 0)
        --m_faults.btFrameFaultFrames;
    constexpr int kHeader = Kc::kDataHeaderBytes, kTerminator = int(Kc::kReplyEnd.size());
    const QByteArray header = reply.left(kHeader);
    const QByteArray payload = reply.mid(kHeader, reply.size() - kHeader - kTerminator);
    const QByteArray terminator = reply.right(kTerminator);
    switch (m_faults.btFrameFault) {
    case SimBtFrameFault::TruncatedPayload:
        return header + payload.left(payload.size() / 2) + terminator;
    case SimBtFrameFault::ZeroGlitch:
        return QByteArray(1001, '\0') + reply;
    case SimBtFrameFault::Noise: {
        QByteArray noise(1000, '\0');
        for (char &c : noise) {
            c = char(m_rng() & 0xff);
            if (c == ':')
                c = ';';
        }
        return noise + reply;
    }
    case SimBtFrameFault::WrongTag:
        return "DIVDATA" + payload + terminator;
    default:
        return reply;
    }
}

SimBtReply VirtualKit::handleBtCommand(const QByteArray &command)
{
    QMutexLocker lock(&m_mutex);
    record(SimChannel::Bluetooth, command);
    QString header, args;
    splitCommand(Kc::parseBtCommand(command.toStdString()), header, args);
    SimBtReply reply;
    if (is(header, Key::Stream)) {
        reply.bytes = btQuery(header, args);
    } else if (!applySetting(header, args)) {
        reply.bytes = btQuery(header, args);
        if (reply.bytes.isEmpty())
            qCDebug(lcSim) << "no answer to" << header;
    }
    if (reply.bytes.isEmpty() || m_faults.noReply)
        return {};
    if (m_faults.truncateBytes > 0)
        reply.bytes.chop(std::min<int>(m_faults.truncateBytes, reply.bytes.size()));
    reply.bytes = m_faults.lineGarbage + reply.bytes + m_faults.extraBytes;
    reply.delayMs = std::max(0, m_faults.lateReplyMs) + m_form.replyDelayMs;
    reply.pieceBytes = m_form.pieceBytes;
    reply.pieceGapMs = m_form.pieceGapMs;
    return reply;
}

SimFaults VirtualKit::faults() const
{
    QMutexLocker lock(&m_mutex);
    return m_faults;
}

void VirtualKit::setFaults(const SimFaults &faults)
{
    QMutexLocker lock(&m_mutex);
    m_faults = faults;
    m_transfersLeft = faults.disconnectAfter;
}

void VirtualKit::disconnect()
{
    QMutexLocker lock(&m_mutex);
    m_connected = false;
}

void VirtualKit::reconnect()
{
    QMutexLocker lock(&m_mutex);
    m_connected = true;
    m_transfersLeft = -1;
    m_faults.disconnectAfter = -1;
}

bool VirtualKit::isConnected() const
{
    QMutexLocker lock(&m_mutex);
    return m_connected;
}

bool VirtualKit::takeTransfer()
{
    QMutexLocker lock(&m_mutex);
    if (!m_connected)
        return false;
    if (m_transfersLeft == 0) {
        qCDebug(lcSim) << m_serial << "drops off the link";
        m_connected = false;
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
    qCWarning(lcSim) << m_serial << "refused a bulk-OUT transfer:" << reason;
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
