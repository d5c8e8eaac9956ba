// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtProtocol.h"

#include <QtTest>

using BtProtocol::Tag;

static QByteArray dataReply(const QByteArray &payload)
{
    return QByteArray("DATA:00") + payload + QByteArray(":END\r\n");
}

class ProtocolTest : public QObject
{
    Q_OBJECT
private slots:
    void tagsInOrder_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("value");
        QTest::newRow("start") << QByteArray("STARTF:24.125:END\r\n") << int(Tag::StartFreq)
                               << "24.125";
        QTest::newRow("start wins over data")
            << QByteArray("DATASTARTF:1:END\r\n") << int(Tag::StartFreq) << "1";
        QTest::newRow("stop inside a tag")
            << QByteArray("xSTOPFy:24.25:END\r\n") << int(Tag::StopFreq) << "24.25";
        QTest::newRow("ramp without value")
            << QByteArray("RAMP:END\r\n") << int(Tag::Ramp) << "END\r\n";
        QTest::newRow("type") << QByteArray("TYPE:2:END\r\n") << int(Tag::Type) << "2";
        QTest::newRow("rf power") << QByteArray("RFPOW:1:END\r\n") << int(Tag::RfPower) << "1";
        QTest::newRow("freq after rfpow") << QByteArray("FREQ:1:END\r\n") << int(Tag::Freq) << "1";
        QTest::newRow("fram before data")
            << QByteArray("FRAMDATA:1:END\r\n") << int(Tag::Fram) << "1";
        QTest::newRow("terminator alone") << QByteArray(":END\r\n") << int(Tag::None) << "END\r\n";
        QTest::newRow("no colon") << QByteArray("garbage") << int(Tag::None) << "";
        QTest::newRow("unknown") << QByteArray("IDN:x:END\r\n") << int(Tag::None) << "x";
        QTest::newRow("case matters") << QByteArray("type:2:END\r\n") << int(Tag::None) << "2";
    }
    void tagsInOrder()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, tag);
        QFETCH(QString, value);
        const auto reply = BtProtocol::parseReply(message);
        QCOMPARE(int(reply.tag), tag);
        QCOMPARE(reply.value, value);
    }

    void valueStopsAtZeroByte()
    {
        const auto reply = BtProtocol::parseReply(QByteArray("RAMP:1\0"
                                                             "5:END\r\n",
                                                             13));
        QCOMPARE(reply.value, QStringLiteral("1"));
    }

    void integerValues()
    {
        QCOMPARE(BtProtocol::intValue(QStringLiteral("3")), 3);
        QCOMPARE(BtProtocol::intValue(QStringLiteral("x")), 0);
        QCOMPARE(BtProtocol::intValue(QStringLiteral("END\r\n")), 0);
    }

    void payloadDecoding()
    {
        QByteArray payload;
        for (int i = 0; i < 1024; ++i)
            payload.append(char(i >> 8)).append(char(i & 0xFF));
        const QByteArray full = dataReply(payload);
        QCOMPARE(full.size(), 7 + 2048 + 6);
        const QVector<double> samples = BtProtocol::decodeSamples(full);
        QCOMPARE(samples.size(), 1024);
        QCOMPARE(samples[0], -2.5);
        QCOMPARE(samples[1023], 1023 / 65535.0 * 5 - 2.5);

        const auto mid = BtProtocol::decodeSamples(dataReply(QByteArray("\x80\x00", 2)));
        QCOMPARE(mid, QVector<double>{32768 / 65535.0 * 5 - 2.5});
        const auto top = BtProtocol::decodeSamples(dataReply(QByteArray("\xFF\xFF\x12", 3)));
        QCOMPARE(top, QVector<double>{2.5}); // the odd byte is ignored
        // A ":" inside the payload does not disturb the samples.
        const auto colon = BtProtocol::decodeSamples(dataReply(QByteArray(":::\x00", 4)));
        QCOMPARE(colon.size(), 2);
        QCOMPARE(colon[0], (0x3A3A) / 65535.0 * 5 - 2.5);
        QVERIFY(BtProtocol::decodeSamples(QByteArray("DATA:00:END\r\n")).isEmpty());
        QVERIFY(BtProtocol::decodeSamples(QByteArray("DATA")).isEmpty());
    }

    void linkTimeOfAFrame()
    {
        QVERIFY(qAbs(BtProtocol::replySeconds(1024) - 2061 * 10 / 9600.0) < 1e-12);
        QCOMPARE(BtProtocol::replySeconds(-5), 13 * 10 / 9600.0);
    }
};

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
