// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The plain values a virtual kit is described by: its scene, settings, faults and what it heard.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

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
