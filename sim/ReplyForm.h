// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the kit's protocol leaves open, as one kit fills it in: the data reply's header and an
// odd byte after its samples, the USB terminator character and hexadecimal case, and the pace of
// the replies. A real kit may choose any of these; the host must read them all the same.

#include <QByteArray>
#include <QString>
#include <QVector>

class QCommandLineParser;

struct SimReplyForm
{
    // The 7 header bytes of a Bluetooth data reply; nn is the kit's frame counter.
    enum class DataHeader {
        Counter,     // "DATAnn:"
        ColonFirst,  // "DATA:nn"
        ColonInside, // "DATAn:n"
        Prefixed,    // "xDATA::"
        Binary,      // "DATA" and three bytes of its own, no ":" among them
        LetterFirst, // "ADATAn:"
    };
    enum class HexCase { Upper, Lower, Mixed }; // Mixed: alternates from reply to reply

    DataHeader dataHeader = DataHeader::Counter;
    bool oddByte = false;      // one byte of its own between the samples and the terminator
    bool endInPayload = false; // the samples spell ":END\r\n" in the middle of the frame
    char usbTerminator = '\n'; // ends every USB reply
    HexCase hexCase = HexCase::Upper;
    int replyDelayMs = 0; // every reply leaves this much later (well within the host's time-outs)
    int pieceBytes = 0;   // Bluetooth: replies go out in pieces of this many bytes,
    int pieceGapMs = 0;   // this far apart; 0: in one go

    // Every choice drawn at random; the same seed gives the same form.
    static SimReplyForm random(quint64 seed);
    // One line for a test log or --verbose: "header DATA:nn, odd byte, terminator 0x03, ...".
    QString describe() const;

    QByteArray dataHeaderBytes(quint8 counter) const;
    // The whole data reply of a frame: header, samples big-endian, odd byte, ":END\r\n";
    // *sent, when given, gets the samples as they went out.
    QByteArray dataReply(const QVector<quint16> &frame, quint8 counter,
                         QVector<quint16> *sent = nullptr) const;
    // Turns a USB reply made with "\n" and upper-case digits into this form; frame replies get
    // the hexadecimal case. number counts the frame replies for the mixed case.
    void shapeUsbReply(QByteArray &reply, bool frameReply, int number) const;
};

// --data-header, --odd-byte, --end-in-payload, --usb-terminator, --hex-case, --reply-delay,
// --reply-pieces, --reply-forms.
void addReplyFormOptions(QCommandLineParser &parser);
// The form the options ask for, starting from base; false with *error on a bad value.
bool applyReplyFormOptions(const QCommandLineParser &parser, SimReplyForm &form, QString *error);
// Takes those options (with their values) out of arguments wherever they stand, for a command
// line that carries others too, and applies them to form; *given says whether there were any.
// False with *error on a bad one.
bool takeReplyFormOptions(QStringList &arguments, SimReplyForm &form, bool *given,
                          QString *error);
