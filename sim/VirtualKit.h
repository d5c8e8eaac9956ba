// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A KV7310 kit in software: its settings, a scene of reflectors that it turns into ADC frames,
// and its two command languages (USB text commands, Bluetooth "$" commands). Thread-safe: the
// Bluetooth server answers on its own thread while tests read the command log on theirs.

#include "kit/KitCommands.h"
#include "kit/RadarMath.h"
#include "sim/ReplyForm.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <random>

// One reflector in front of the kit.
struct SimTarget
{
    double rangeM = 2.0;
    double velocityMps = 0.0; // positive moves away from the kit
    double amplitudeV = 0.5;  // peak volts of its tone at the ADC
    double phaseRad = 0.0;
};

// Ways one USB frame transfer can go wrong, as real hardware does.
enum class SimFrameFault {
    None,
    LostReply,    // one "CAPT:FRAM?" goes unanswered; its samples are gone
    LateReply,    // one reply leaves after the host's read time-out
    ShortBody,    // one reply body lacks its last two hexadecimal digits
    NoTerminator, // one reply lacks its line terminator
    NonHex,       // one sample of a reply is text that is not hexadecimal
    Hang,         // the kit answers nothing more of the frame until it is cleared
    Unplug,       // the kit drops off the bus
};

// Ways one Bluetooth data reply can go wrong.
enum class SimBtFrameFault {
    None,
    TruncatedPayload, // half the samples are missing, the terminator follows
    ZeroGlitch,       // 1001 zero bytes on the line before the reply
    Noise,            // line noise without ":" before the reply
    WrongTag,         // a tag that holds "DATA" after an earlier tag ("DIV"), so it is not data
};

// Misbehaviour a kit can be told to show, for the reliability tests of the link and the tabs.
struct SimFaults
{
    // USB: the fault strikes the reply to query number frameFaultReply (from 0) of the next
    // frameFaultFrames frames (-1: every frame); Hang and Unplug strike from that query on.
    SimFrameFault frameFault = SimFrameFault::None;
    int frameFaultReply = 0;
    int frameFaultFrames = 1;
    // Bluetooth: the fault strikes the next btFrameFaultFrames data replies (-1: every one).
    SimBtFrameFault btFrameFault = SimBtFrameFault::None;
    int btFrameFaultFrames = 1;

    bool noReply = false;   // commands are carried out, queries never answered
    int lateReplyMs = 0;    // every reply leaves this much later; over USB a delay beyond the read
                            // time-out makes the read time out and leaves the reply in the endpoint
    bool wrongTag = false;  // USB: replies carry a tag other than the request's
    int truncateBytes = 0;  // every reply stops this many bytes short of its end
    QByteArray extraBytes;  // appended after every reply (USB: after the padded transfer)
    QByteArray lineGarbage; // Bluetooth: written to the line before every reply
    int disconnectAfter =
        -1; // the kit drops off after this many more transfers or commands; -1 never
    bool refuseOpen = false; // USB: the kit is listed but cannot be opened
};

struct SimSweep
{
    double startGHz = 24.0;
    double stopGHz = 24.25;
    double rampMs = 1.0;
    int type = 2; // 0, 1, 2: FMCW sweeps; 3: continuous wave
    bool rfOn = true;
    bool sweeping = true;
};

// Values of the system command catalogue.
struct SimCatalogue
{
    bool systemPower = true;
    QList<int> attenuators{0, 0, 0, 0}; // channels 1..4
    QList<double> temperaturesC{31.5, 28.25};
    QList<int> currentsMa{420, 180};
    int biasGate = -1; // index 0..21 of the last bias gate selected
};

// What the identification query finds besides the kit itself.
struct SimModules
{
    int portMask = 0;          // bit p: a module on port p (0..3)
    QString portIdn[4];        // "*IDN?" answer of each module; empty gives a default
    QString portFirmwareId[4]; // empty gives "0100"
    bool lcdPresent = false;
    QString lcdSerial = "LCD00001";
    QString lcdVersion = "2.0.1";
    bool fpgaPresent = true;
    QString fpgaCode = "1";
};

enum class SimChannel { Usb, Bluetooth };

struct SimCommandRecord
{
    SimChannel channel;
    QString text; // exactly as received (Bluetooth commands keep their "$")
    qint64 atMs;  // since the kit was made
};

struct SimBtReply
{
    QByteArray bytes;
    int delayMs = 0;
    int pieceBytes = 0; // > 0: the bytes go out in pieces of this size,
    int pieceGapMs = 0; // this far apart
};

class VirtualKit
{
public:
    static constexpr int kMaxFrameSamples = 65535;
    static constexpr int kSamplesPerUsbReply = KitCommands::kSamplesPerFrameReply;

    explicit VirtualKit(const QString &serial = QStringLiteral("SIM0001"));

    // Identity
    QString manufacturer() const { return QStringLiteral("Tamarin Works"); }
    QString model() const { return QStringLiteral("KV7310"); }
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
    struct MovingTarget
    {
        SimTarget target;
        double limitM;
    };

    void record(SimChannel channel, const QByteArray &text);
    bool applySetting(const QString &header, const QString &args);
    QByteArray usbQuery(const QString &header, const QString &args);
    QByteArray btQuery(const QString &header, const QString &args);
    QByteArray frameReplyLocked();
    QByteArray spoilBtFrameLocked(const QByteArray &reply);
    QVector<quint16> captureFrameLocked(int n);
    void moveTargetsLocked();
    double nowSecondsLocked() const;
    QString moduleIdnLocked(int port) const;

    mutable QMutex m_mutex;
    QString m_serial;
    QString m_version = QStringLiteral("1.0.0");
    QString m_firmwareId = QStringLiteral("0001");
    SimSweep m_sweep;
    SimCatalogue m_catalogue;
    SimModules m_modules;
    QByteArray m_moduleReply[4];

    QVector<MovingTarget> m_targets;
    double m_sceneDepthM = 5.5;
    double m_noiseVrms = 0.004;
    double m_rampTransientV = 0.0;
    std::mt19937_64 m_rng;
    std::normal_distribution<double> m_gauss{0.0, 1.0};

    QElapsedTimer m_clock;
    bool m_manualClock = false;
    double m_manualSeconds = 0.0;
    double m_lastFrameSeconds = -1.0;

    SimReplyForm m_form;
    QVector<quint16> m_lastFrame;
    QVector<quint16> m_usbFrame;
    int m_usbFramePos = 0;
    int m_usbFrameQuery = 0;    // "CAPT:FRAM?" queries answered for the current frame
    bool m_frameFaulty = false; // the current frame carries the frame fault
    int m_lastUsbDelayMs = 0;
    QStringList m_aborts;
    quint8 m_btFrameCounter = 0;

    SimFaults m_faults;
    bool m_connected = true;
    int m_transfersLeft = -1;
    bool m_usbClaimed = false;

    QList<SimCommandRecord> m_log;
    int m_malformed = 0;
    QString m_lastMalformed;
    int m_tagErrors = 0;
    QList<QByteArray> m_bulkOut;
};
