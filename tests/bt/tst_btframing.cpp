// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtFraming.h"

#include <QtTest>

class FramingTest : public QObject
{
    Q_OBJECT
private slots:
    void splitAcrossReads()
    {
        QByteArray buffer("TYPE:2:EN");
        QVERIFY(BtFraming::takeMessages(buffer).isEmpty());
        QCOMPARE(buffer, QByteArray("TYPE:2:EN"));
        buffer.append("D\r\n");
        const auto messages = BtFraming::takeMessages(buffer);
        QCOMPARE(messages, QList<QByteArray>{QByteArray("TYPE:2:END\r\n")});
        QVERIFY(buffer.isEmpty());
    }

    void severalInOneReadKeepOrderAndRest()
    {
        QByteArray buffer("RAMP:1:END\r\nRFPOW:1:END\r\nSTAR");
        const auto messages = BtFraming::takeMessages(buffer);
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0], QByteArray("RAMP:1:END\r\n"));
        QCOMPARE(messages[1], QByteArray("RFPOW:1:END\r\n"));
        QCOMPARE(buffer, QByteArray("STAR"));
    }

    void binaryPayloadWithZerosAndColons()
    {
        QByteArray payload("DATA:  ");
        payload.append(QByteArray("\x00\x01:\x80\x00", 5));
        payload.append(":END\r\n");
        QByteArray buffer = payload;
        const auto messages = BtFraming::takeMessages(buffer);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0], payload);
    }

    void terminatorAloneIsAMessage()
    {
        QByteArray buffer(":END\r\n");
        QCOMPARE(BtFraming::takeMessages(buffer), QList<QByteArray>{QByteArray(":END\r\n")});
    }

    void boundDropsOnlyPastOneMebibyte()
    {
        QByteArray buffer(BtFraming::kMaxPending, 'x');
        QCOMPARE(BtFraming::enforceBound(buffer), qsizetype(0));
        QCOMPARE(buffer.size(), BtFraming::kMaxPending);
        buffer.append('y');
        QCOMPARE(BtFraming::enforceBound(buffer), BtFraming::kMaxPending + 1);
        QVERIFY(buffer.isEmpty());
        // Framing goes on with what comes next.
        buffer.append("TYPE:1:END\r\n");
        QCOMPARE(BtFraming::takeMessages(buffer).size(), 1);
    }

    // Samples may spell the terminator: a data reply of the size asked for arrives whole, even
    // one byte at a time, and what follows it is cut as usual.
    void dataReplyHoldingTheTerminatorArrivesWhole()
    {
        BtFraming::Framer framer;
        framer.noteCommand("CAPT:STRE 4$");
        QCOMPARE(framer.expectedSamples(), 4);
        const QByteArray reply = QByteArray("DATA:00") + ":END\r\nab" + ":END\r\n";
        const QByteArray odd = QByteArray("xDATA::") + "12:END\r\n" + "!" + ":END\r\n";
        QList<QByteArray> got;
        for (const char c : reply + odd + "RAMP:1:END\r\n")
            got += framer.feed(QByteArray(1, c));
        QCOMPARE(got, (QList<QByteArray>{reply, odd, "RAMP:1:END\r\n"}));
        QVERIFY(!framer.holding());
        QVERIFY(framer.pending().isEmpty());
    }

    void shortDataReplyIsCutWhereTheLineCutsIt()
    {
        BtFraming::Framer framer;
        framer.noteCommand("CAPT:STRE 4$");
        // Enough bytes behind it to tell: no terminator where a whole reply would end.
        QCOMPARE(framer.feed("DATA00:ab:END\r\nRAMP:1:END\r\nTYPE:2:END\r\n"),
                 (QList<QByteArray>{"DATA00:ab:END\r\n", "RAMP:1:END\r\n", "TYPE:2:END\r\n"}));
        // Alone on a quiet line it waits until the window gives up on the rest.
        QVERIFY(framer.feed("DATA00:ab:END\r\n").isEmpty());
        QVERIFY(framer.holding());
        QCOMPARE(framer.release(), QList<QByteArray>{"DATA00:ab:END\r\n"});
        QVERIFY(!framer.holding());
        // Text replies never wait, and a lost link forgets what was pending.
        QCOMPARE(framer.feed("STOPF:24.25:END\r\n").size(), 1);
        framer.feed("DATA00:");
        framer.clear();
        QCOMPARE(framer.feed("RAMP:1:END\r\n"), QList<QByteArray>{"RAMP:1:END\r\n"});
        // Any other command leaves the count; a new request replaces it.
        framer.noteCommand("SWEEP:TYPE?$");
        QCOMPARE(framer.expectedSamples(), 4);
        framer.noteCommand("capt:stre 1$");
        QCOMPARE(framer.expectedSamples(), 1);
    }
};

QTEST_APPLESS_MAIN(FramingTest)
#include "tst_btframing.moc"
