// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A KV7310 kit in software: what it is (SimKitState: settings and a scene of reflectors it turns
// into ADC frames), its two command languages (SimUsbServer, SimBtServer), and what the links
// saw (commands, aborts, framing faults). Thread-safe: the Bluetooth server answers on its own
// thread while tests read the command log on theirs.

#include "kit/KitCommands.h"
#include "kit/RadarMath.h"
#include "sim/ReplyForm.h"
#include "sim/SimBtServer.h"
#include "sim/SimKitState.h"
#include "sim/SimKitTypes.h"
#include "sim/SimUsbServer.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

class VirtualKit
{
public:
    static constexpr int kMaxFrameSamples = SimScene::kMaxSamples;
    static constexpr int kSamplesPerUsbReply = SimUsbServer::kSamplesPerReply;

    explicit VirtualKit(const QString &serial = QStringLiteral("SIM0001"));

    // Identity
    QString manufacturer() const { return SimKitState::manufacturer(); }
    QString model() const { return SimKitState::model(); }
    QString serial() const;
    void setSerial(const QString &serial);
    QString firmwareVersion() const;
    void setFirmwareVersion(const QString &version);
    QString firmwareId() const;
    void setFirmwareId(const QString &id);
    // The application's rule: a version containing "1.1.0" samples every 4.505e-05 s.
    static double samplePeriodFor(const QString &version);
    double samplePeriod() const;

    // Settings and catalogue
    SimSweep sweep() const;
    void setSweep(const SimSweep &sweep);
    SimCatalogue catalogue() const;
    void setCatalogue(const SimCatalogue &catalogue);
    SimModules modules() const;
    void setModules(const SimModules &modules);
    void reset(); // settings back to power-up values; the scene stays

    // Scene
    static QVector<SimTarget> defaultScene();
    QVector<SimTarget> targets() const; // where they are now
    void setTargets(const QVector<SimTarget> &targets);
    double noiseVrms() const;
    void setNoiseVrms(double volts);
    // The step the mixer shows at each restart of the ramp (0, the default, for none).
    void setRampTransientV(double volts);
    void setSeed(quint64 seed); // restarts the noise sequence
    // Moving targets turn back at 0 m and at this depth (or their own start range if farther).
    void setSceneDepthM(double metres);

    // Time: real by default; a manual clock only moves by advanceClock().
    void setManualClock(bool manual);
    void advanceClock(double seconds);

    // One frame of n ADC counts as the kit would capture it now (moves the targets first).
    QVector<quint16> captureFrame(int n);
    static quint16 voltsToCount(double volts);
    static double countToVolts(quint16 count) { return RadarMath::countToVolts(count); }

    // Command languages. The USB reply is empty when there is nothing to read.
    QByteArray handleUsbCommand(const QByteArray &message);
    SimBtReply handleBtCommand(const QByteArray &command);
    // The data reply to "CAPT:STRE": the header, the samples big-endian, ":END\r\n"; the
    // header and what else the protocol leaves open as form chooses.
    static QByteArray encodeBtFrame(const QVector<quint16> &frame, quint8 counter,
                                    const SimReplyForm &form = SimReplyForm())
    {
        return form.dataReply(frame, counter);
    }

    // How the kit fills in what the protocol leaves open.
    SimReplyForm replyForm() const;
    void setReplyForm(const SimReplyForm &form);
    // The samples of the last frame exactly as they went onto the wire (either link).
    QVector<quint16> lastFrameSent() const;

    // Faults and connection
    SimFaults faults() const;
    void setFaults(const SimFaults &faults);
    void disconnect();
    void reconnect();
    bool isConnected() const;
    // Spends one transfer (or Bluetooth command) of the link; false once the kit has dropped off.
    bool takeTransfer();

    // Delay of the USB reply last produced by handleUsbCommand.
    int lastUsbReplyDelayMs() const;
    // USBTMC INITIATE_ABORT_BULK_IN/OUT requests the kit received, as "IN <tag>" or "OUT <tag>".
    void noteAbort(bool bulkIn, quint8 tag);
    QStringList abortLog() const;

    // Exclusive USB claim, as a real device allows one open handle.
    bool claimUsb();
    void releaseUsb();

    // What the kit received, in order, over either link.
    QStringList receivedCommands() const;
    QList<SimCommandRecord> receivedLog() const;
    void clearReceived();

    // USBTMC framing faults of the host, counted by the device side.
    void noteMalformed(const QString &reason);
    int malformedTransfers() const;
    QString lastMalformedReason() const;
    void noteTagSequenceError();
    int tagSequenceErrors() const;
    // Every bulk-OUT transfer as it arrived (the latest 4096).
    QList<QByteArray> bulkOutLog() const;
    void noteBulkOut(const QByteArray &transfer);
    void clearCounters();

private:
    void record(SimChannel channel, const QByteArray &text);

    mutable QMutex m_mutex;
    SimKitState m_kit;
    SimUsbServer m_usb;
    SimBtServer m_bt;

    QStringList m_aborts;
    int m_transfersLeft = -1;
    bool m_usbClaimed = false;

    QList<SimCommandRecord> m_log;
    int m_malformed = 0;
    QString m_lastMalformed;
    int m_tagErrors = 0;
    QList<QByteArray> m_bulkOut;
};
