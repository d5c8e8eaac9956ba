// SPDX-License-Identifier: GPL-3.0-or-later
// The reply forms of the virtual kit: each is one the protocol allows, and the options choose
// them.
#include "bt/BtProtocol.h"
#include "kit/KitCommands.h"
#include "kit/RadarMath.h"
#include "sim/KitOptions.h"
#include "sim/ReplyForm.h"
#include "sim/VirtualKit.h"

#include <QCommandLineParser>
#include <QtTest>

class ReplyFormTest : public QObject
{
    Q_OBJECT

    static bool apply(const QStringList &options, SimReplyForm &form, QString *error)
    {
        QCommandLineParser parser;
        addReplyFormOptions(parser);
        if (!parser.parse(QStringList{QStringLiteral("kvvlx-sim")} + options))
            return false;
        return applyReplyFormOptions(parser, form, error);
    }

private slots:
    // Every header is a data reply with its samples from byte 7; the odd byte and a terminator
    // spelled by the samples leave them as they were sent.
    void everyDataReplyIsOneTheProtocolAllows()
    {
        const QVector<quint16> frame{0x0000, 0x3a45, 0x4e44, 0x0d0a, 0xffff, 0x8000};
        using H = SimReplyForm::DataHeader;
        for (const H header :
             {H::Counter, H::ColonFirst, H::ColonInside, H::Prefixed, H::Binary, H::LetterFirst}) {
            for (const bool odd : {false, true}) {
                SimReplyForm form;
                form.dataHeader = header;
                form.oddByte = odd;
                QVector<quint16> sent;
                const QByteArray reply = form.dataReply(frame, 0x3a, &sent);
                QVERIFY(KitCommands::isDataReply(reply.toStdString()));
                QCOMPARE(reply.size(), 7 + 12 + (odd ? 1 : 0) + 6);
                QVERIFY(BtProtocol::checkDataReply(reply, 6).ok);
                QVector<double> volts;
                for (quint16 c : sent)
                    volts << RadarMath::countToVolts(c);
                QCOMPARE(BtProtocol::decodeSamples(reply), volts);
                // The samples here spell ":END\r\n" by chance; the kit nudges one word.
                QCOMPARE(reply.count(":END\r\n"), 1);
                QVERIFY(sent != frame);
            }
        }
        SimReplyForm spelled;
        spelled.endInPayload = true;
        QVector<quint16> sent;
        const QByteArray reply = spelled.dataReply(QVector<quint16>(8, 0x1234), 0, &sent);
        QCOMPARE(reply.count(":END\r\n"), 2);
        QCOMPARE(sent.mid(3, 3), (QVector<quint16>{0x3a45, 0x4e44, 0x0d0a}));
    }

    void usbRepliesTakeTheTerminatorAndCase()
    {
        SimReplyForm form;
        form.usbTerminator = '\x03';
        form.hexCase = SimReplyForm::HexCase::Mixed;
        QByteArray reply("0ABC12EF\n");
        form.shapeUsbReply(reply, true, 0);
        QCOMPARE(reply, QByteArray("0ABC12EF\x03"));
        reply = "0ABC12EF\n";
        form.shapeUsbReply(reply, true, 1);
        QCOMPARE(reply, QByteArray("0abc12ef\x03"));
        reply = "Tamarin Works,KV7310,SIM0001,1.0.0\n"; // text keeps its case
        form.hexCase = SimReplyForm::HexCase::Lower;
        form.shapeUsbReply(reply, false, 1);
        QCOMPARE(reply, QByteArray("Tamarin Works,KV7310,SIM0001,1.0.0\x03"));
    }

    void optionsChooseTheForm()
    {
        SimReplyForm form;
        QString error;
        QVERIFY(apply({"--data-header", "DATA+3", "--odd-byte", "--usb-terminator", "etx",
                       "--hex-case", "lower", "--reply-delay", "20", "--reply-pieces", "64,5"},
                      form, &error));
        QCOMPARE(form.dataHeader, SimReplyForm::DataHeader::Binary);
        QVERIFY(form.oddByte);
        QCOMPARE(form.usbTerminator, '\x03');
        QCOMPARE(form.hexCase, SimReplyForm::HexCase::Lower);
        QCOMPARE(form.replyDelayMs, 20);
        QCOMPARE(form.pieceBytes, 64);
        QCOMPARE(form.pieceGapMs, 5);
        QVERIFY(apply({"--usb-terminator", "0x0d"}, form, &error));
        QCOMPARE(form.usbTerminator, '\r');
        for (const QStringList &bad :
             {QStringList{"--data-header", "DATA"}, QStringList{"--usb-terminator", "0x41"},
              QStringList{"--hex-case", "title"}, QStringList{"--reply-delay", "-1"},
              QStringList{"--reply-pieces", "0"}, QStringList{"--reply-forms", "x"}}) {
            error.clear();
            QVERIFY2(!apply(bad, form, &error), qPrintable(bad.join(' ')));
            QVERIFY(!error.isEmpty());
        }
        // The same seed draws the same forms; options given beside it win.
        SimReplyForm a, b;
        QVERIFY(apply({"--reply-forms", "9"}, a, &error));
        QVERIFY(apply({"--reply-forms", "9", "--hex-case", "upper"}, b, &error));
        QCOMPARE(a.describe()
                     .replace(QStringLiteral("lower hex"), QStringLiteral("upper hex"))
                     .replace(QStringLiteral("mixed hex"), QStringLiteral("upper hex")),
                 b.describe());
        QCOMPARE(SimReplyForm::random(9).describe(), a.describe());
    }
};

QTEST_GUILESS_MAIN(ReplyFormTest)
#include "tst_replyform.moc"
