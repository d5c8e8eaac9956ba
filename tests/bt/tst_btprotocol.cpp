// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtProtocol.h"

#include <QRandomGenerator>
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

    void dataReplyCheck_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("requested");
        QTest::addColumn<QString>("reason");
        const QByteArray four("\x00\x01\x02\x03\x04\x05\x06\x07", 8);
        QTest::newRow("whole") << "DATA1F:" + four + ":END\r\n" << 4 << QString();
        QTest::newRow("count unknown") << "DATA1F:" + four + ":END\r\n" << -1 << QString();
        QTest::newRow("payload holds a colon and a zero")
            << "DATA00:" + QByteArray(1, '\0') + "::::END\r\n"
            << 2 << QString();
        QTest::newRow("short") << "DATA1F:" + four + ":END\r\n"
                               << 5 << "incomplete: 4 of 5 samples";
        QTest::newRow("long") << "DATA1F:" + four + ":END\r\n" << 3 << "too long: 4 samples for 3";
        // The kit fills the header as it likes, as long as its tag is the data tag.
        for (const char *header : {"DATA:00", "DATA0:0", "xDATA::", "ADATA0:", "DATA\x01\x3a\xff"})
            QTest::newRow(header) << QByteArray(header, 7) + four + ":END\r\n" << 4 << QString();
        QTest::newRow("odd byte ignored") << "DATA1F:" + four + "x:END\r\n" << 4 << QString();
        QTest::newRow("odd byte, one sample")
            << QByteArray("DATA1F:\x80\x00\x07:END\r\n", 16) << 1 << QString();
        QTest::newRow("two extra bytes") << "DATA1F:" + four + "xy:END\r\n"
                                         << 4 << "too long: 5 samples for 4";
        QTest::newRow("earlier tag wins") << "RAMP_DATA:" + four + ":END\r\n"
                                          << 4 << "garbled: tag \"RAMP_DATA\" is not a data tag";
        QTest::newRow("too short for a header")
            << QByteArray("DATA:END\r\n") << 0 << "garbled: too short for a data header";
        QTest::newRow("no terminator") << "DATA1F:" + four << 4 << "garbled: no terminator";
    }
    void dataReplyCheck()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, requested);
        QFETCH(QString, reason);
        const BtProtocol::DataCheck check = BtProtocol::checkDataReply(message, requested);
        QCOMPARE(check.reason, reason);
        QCOMPARE(check.ok, reason.isEmpty());
    }

    // Random bytes around a good reply: the check never crashes, and passes only replies of
    // exactly the form asked for.
    void dataReplyCheckOnRandomBytes()
    {
        QRandomGenerator rng(7);
        for (int round = 0; round < 20000; ++round) {
            QByteArray m = "DATA00:";
            const int n = int(rng.bounded(20));
            for (int i = 0; i < 2 * n; ++i)
                m += char(rng.bounded(256));
            m += ":END\r\n";
            const int cut = int(rng.bounded(m.size() + 1));
            if (rng.bounded(2))
                m.insert(cut, char(rng.bounded(256)));
            else if (cut < m.size())
                m.remove(cut, 1);
            const BtProtocol::DataCheck check = BtProtocol::checkDataReply(m, n);
            if (check.ok) {
                QVERIFY(m.size() == 7 + 2 * n + 6 || m.size() == 7 + 2 * n + 7);
                QVERIFY(m.left(m.indexOf(':')).contains("DATA") && m.endsWith(":END\r\n"));
            }
        }
    }
};

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_btprotocol.moc"
