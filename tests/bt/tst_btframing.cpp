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
        QCOMPARE(BtFraming::countTerminators(buffer), 2);
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
};

QTEST_APPLESS_MAIN(FramingTest)
#include "tst_btframing.moc"
