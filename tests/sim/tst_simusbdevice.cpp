// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual kit on the simulated USB bus: USBTMC device side and the USB command language.
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <QtEndian>
#include <QtTest>

namespace {

// The host side of the framing, written out here so the test does not lean on the link code.
QByteArray msgOut(quint8 tag, const QByteArray &payload, bool eom = true)
{
    QByteArray t(12, '\0');
    t[0] = 1;
    t[1] = char(tag);
    t[2] = char(~tag);
    qToLittleEndian<quint32>(quint32(payload.size()), t.data() + 4);
    t[8] = eom ? 1 : 0;
    t += payload;
    t += QByteArray((4 - payload.size() % 4) % 4, '\0');
    return t;
}

QByteArray requestIn(quint8 tag, quint32 max)
{
    QByteArray t(12, '\0');
    t[0] = 2;
    t[1] = char(tag);
    t[2] = char(~tag);
    qToLittleEndian<quint32>(max, t.data() + 4);
    return t;
}

struct Host
{
    SimUsbDevice dev;
    quint8 tag = 1;

    quint8 nextTag()
    {
        const quint8 t = tag;
        tag = tag == 255 ? 1 : tag + 1;
        return t;
    }
    bool raw(const QByteArray &t)
    {
        int written = -1;
        return dev.write(reinterpret_cast<const std::uint8_t *>(t.constData()), int(t.size()),
                         written) &&
               written == t.size();
    }
    bool send(const QByteArray &cmd) { return raw(msgOut(nextTag(), cmd)); }
    // One read request and one bulk-IN transfer; returns the whole transfer, or a null array on
    // failure.
    QByteArray readTransfer(quint32 max = 255, quint8 *requestTag = nullptr)
    {
        const quint8 t = nextTag();
        if (requestTag)
            *requestTag = t;
        if (!raw(requestIn(t, max)))
            return {};
        QByteArray buf(int(max) + 16, '\0');
        int received = -1;
        if (!dev.read(reinterpret_cast<std::uint8_t *>(buf.data()), int(buf.size()), received))
            return {};
        return buf.left(received);
    }
    QByteArray payloadOf(const QByteArray &t)
    {
        return t.mid(12, int(qFromLittleEndian<quint32>(t.constData() + 4)));
    }
    QByteArray query(const QByteArray &cmd)
    {
        if (!send(cmd))
            return {};
        const QByteArray t = readTransfer();
        return t.isNull() ? QByteArray() : payloadOf(t);
    }
    bool readFails(long expectedError)
    {
        QByteArray buf(300, '\0');
        int received = -1;
        const bool ok =
            dev.read(reinterpret_cast<std::uint8_t *>(buf.data()), int(buf.size()), received);
        return !ok && received == 0 && dev.lastError() == expectedError;
    }
};

} // namespace

class SimUsbTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<VirtualKit> kit;
    std::unique_ptr<Host> host;

    void openHost()
    {
        host = std::make_unique<Host>();
        QVERIFY(host->dev.open("sim:SIM0001"));
    }

private slots:
    void init()
    {
        SimUsbBus::global().detachAll();
        kit = std::make_shared<VirtualKit>();
        SimUsbBus::global().attach(kit);
        openHost();
    }
    void cleanup()
    {
        host.reset();
        SimUsbBus::global().detachAll();
    }

    void enumeratesInAttachOrderAndOpensByPath()
    {
        SimUsbBus::global().attach(std::make_shared<VirtualKit>("SIM0002"));
        SimUsbDevice dev;
        std::vector<std::string> paths;
        QVERIFY(dev.enumerate(paths));
        QCOMPARE(paths, (std::vector<std::string>{"sim:SIM0001", "sim:SIM0002"}));
        QVERIFY(!dev.open("sim:NOPE"));
        QCOMPARE(dev.lastError(), long(SimUsbDevice::ErrorNotFound));
        QVERIFY(!dev.open("sim:SIM0001")); // held by the fixture's host
        QCOMPARE(dev.lastError(), long(SimUsbDevice::ErrorBusy));
        QVERIFY(dev.open("sim:SIM0002"));
        QVERIFY(dev.isOpen());
        QVERIFY(dev.close());
        QVERIFY(!dev.isOpen());
    }

    void replyTransfersAreByteExact_data()
    {
        QTest::addColumn<quint32>("max");
        QTest::newRow("whole reply") << quint32(255);
        QTest::newRow("exactly the reply") << quint32(35);
        QTest::newRow("chunks of 8") << quint32(8);
        QTest::newRow("chunks of 5") << quint32(5);
        QTest::newRow("single bytes") << quint32(1);
    }
    void replyTransfersAreByteExact()
    {
        QFETCH(quint32, max);
        const QByteArray idn = "Tamarin Works,KV7310,SIM0001,1.0.0\n";
        QCOMPARE(idn.size(), 35);
        QVERIFY(host->send("*IDN?"));
        QByteArray gathered;
        for (int guard = 0; guard < 64 && gathered.size() < idn.size(); ++guard) {
            quint8 reqTag = 0;
            const QByteArray t = host->readTransfer(max, &reqTag);
            QVERIFY(!t.isNull());
            const int n = std::min<int>(int(max), idn.size() - int(gathered.size()));
            QByteArray expected(12, '\0');
            expected[0] = 2;
            expected[1] = char(reqTag);
            expected[2] = char(~reqTag);
            qToLittleEndian<quint32>(quint32(n), expected.data() + 4);
            expected[8] = gathered.size() + n == idn.size() ? 1 : 0; // EOM on the last piece only
            expected += idn.mid(gathered.size(), n);
            expected += QByteArray((4 - n % 4) % 4, '\0');
            QCOMPARE(t.toHex(), expected.toHex());
            gathered += idn.mid(gathered.size(), n);
        }
        QCOMPARE(gathered, idn);
        QVERIFY(host->readFails(SimUsbDevice::ErrorTimeout));
        QCOMPARE(kit->malformedTransfers(), 0);
        QCOMPARE(kit->tagSequenceErrors(), 0);
    }

    void messageSplitOverTransfersIsJoinedAtEom()
    {
        QVERIFY(host->raw(msgOut(host->nextTag(), "*ID", false)));
        QVERIFY(host->raw(msgOut(host->nextTag(), "N?", true)));
        QCOMPARE(kit->receivedCommands(), QStringList{"*IDN?"});
        QVERIFY(host->payloadOf(host->readTransfer()).startsWith("Tamarin Works,KV7310,"));
    }

    void malformedTransfersAreRefusedAndCounted_data()
    {
        QTest::addColumn<QByteArray>("transfer");
        QTest::addColumn<QString>("reason");
        QByteArray good = msgOut(5, "*IDN?");
        QByteArray t;
        t = good, t[0] = 3;
        QTest::newRow("wrong MsgID") << t << "MsgID";
        t = good, t[2] = char(0x55);
        QTest::newRow("inverse not matching") << t << "inverse";
        t = good, qToLittleEndian<quint32>(9, t.data() + 4);
        QTest::newRow("size larger than sent") << t << "TransferSize";
        t = good, qToLittleEndian<quint32>(2, t.data() + 4);
        QTest::newRow("size smaller than sent") << t << "TransferSize";
        QTest::newRow("not padded to 4") << good.left(17) << "padded";
        t = good, t[19] = 'x';
        QTest::newRow("padding not zero") << t << "padding";
        QTest::newRow("short header") << good.left(8) << "shorter";
        QTest::newRow("read request too long")
            << requestIn(5, 255) + QByteArray(4, '\0') << "read request";
        t = msgOut(0, "*IDN?"), t[2] = char(0xff);
        QTest::newRow("tag 0") << t << "tag 0";
    }
    void malformedTransfersAreRefusedAndCounted()
    {
        QFETCH(QByteArray, transfer);
        QFETCH(QString, reason);
        QVERIFY(host->raw(transfer)); // the bus takes the bytes; the firmware drops them
        QCOMPARE(kit->malformedTransfers(), 1);
        QVERIFY2(kit->lastMalformedReason().contains(reason),
                 qPrintable(kit->lastMalformedReason()));
        QVERIFY(kit->receivedCommands().isEmpty());
        host->tag = 6;
        QVERIFY(host->readTransfer().isNull()); // nothing to answer
        QCOMPARE(host->dev.lastError(), long(SimUsbDevice::ErrorTimeout));
    }

    void tagOutOfSequenceIsNotedButServed()
    {
        host->tag = 7; // the first message after open should carry 1
        QVERIFY(host->query("*IDN?").startsWith("Tamarin"));
        QCOMPARE(kit->tagSequenceErrors(), 1);
        QCOMPARE(kit->malformedTransfers(), 0);
    }

    void readWithNothingToAnswerTimesOut()
    {
        QVERIFY(host->readFails(SimUsbDevice::ErrorTimeout)); // no request at all
        QVERIFY(host->send("SWEEP:START"));                   // no reply to a command
        QVERIFY(host->readTransfer().isNull());
        QCOMPARE(host->dev.lastError(), long(SimUsbDevice::ErrorTimeout));
        QVERIFY(host->send("SWEEP:BOGUS?")); // an unknown query leaves nothing to read
        QVERIFY(host->readTransfer().isNull());
        QVERIFY(host->send("*IDN?")); // a reply without a read request is not sent
        QVERIFY(host->readFails(SimUsbDevice::ErrorTimeout));
    }

    void openClearsStaleReplies()
    {
        QVERIFY(host->send("*IDN?"));
        QVERIFY(host->dev.close());
        QVERIFY(host->dev.open("sim:SIM0001"));
        host->tag = 1;
        QVERIFY(host->readTransfer().isNull());

        // A reply too late for its read waits in the endpoint and then answers the next request
        // with the old tag; a fresh open drops it.
        SimFaults f;
        f.lateReplyMs = 10;
        kit->setFaults(f);
        host->dev.setReadTimeoutMs(5);
        quint8 firstTag = 0;
        QVERIFY(host->send("*IDN?"));
        QVERIFY(host->readTransfer(255, &firstTag).isNull());
        quint8 secondTag = 0;
        const QByteArray stale = host->readTransfer(255, &secondTag);
        QCOMPARE(quint8(stale.at(1)), firstTag);
        QVERIFY(firstTag != secondTag);
        QVERIFY(host->send("*IDN?"));
        QVERIFY(host->readTransfer().isNull());
        QVERIFY(host->dev.close());
        QVERIFY(host->dev.open("sim:SIM0001"));
        host->tag = 1;
        QVERIFY(host->readTransfer().isNull());
    }

    void faultsShapeTheReplyTransfer()
    {
        SimFaults f;
        f.wrongTag = true;
        kit->setFaults(f);
        quint8 reqTag = 0;
        QVERIFY(host->send("POWE:RF?"));
        QByteArray t = host->readTransfer(255, &reqTag);
        QVERIFY(quint8(t.at(1)) != reqTag);
        QCOMPARE(quint8(t.at(2)), quint8(~quint8(t.at(1))));

        f = SimFaults();
        f.truncateBytes = 1;
        kit->setFaults(f);
        QVERIFY(host->send("POWE:RF?"));
        t = host->readTransfer();
        QCOMPARE(t.size(), 13); // "1\n" announced, one byte of it sent
        QCOMPARE(qFromLittleEndian<quint32>(t.constData() + 4), 2u);

        f = SimFaults();
        f.extraBytes = "junk";
        kit->setFaults(f);
        QVERIFY(host->send("POWE:RF?"));
        t = host->readTransfer();
        QCOMPARE(t.size(), 20);
        QCOMPARE(t.mid(12), QByteArray("1\n\0\0junk", 8));

        f = SimFaults();
        f.lateReplyMs = 1;
        kit->setFaults(f);
        QCOMPARE(host->query("POWE:RF?"), QByteArray("1\n"));

        f = SimFaults();
        f.noReply = true;
        kit->setFaults(f);
        QVERIFY(host->send("POWE:RF 0"));
        QVERIFY(host->send("POWE:RF?"));
        QVERIFY(host->readTransfer().isNull());
        QCOMPARE(kit->sweep().rfOn, false); // commands still act
    }

    void disconnectAfterTransfers()
    {
        SimFaults f;
        f.disconnectAfter = 3;
        kit->setFaults(f);
        QCOMPARE(host->query("*IDN?").left(7), QByteArray("Tamarin")); // three transfers
        QVERIFY(!host->send("*IDN?"));
        QCOMPARE(host->dev.lastError(), long(SimUsbDevice::ErrorNoDevice));
        QVERIFY(host->readFails(SimUsbDevice::ErrorNoDevice));
        host->dev.close();
        QVERIFY(!host->dev.open("sim:SIM0001"));
        std::vector<std::string> paths;
        QVERIFY(host->dev.enumerate(paths));
        QVERIFY(paths.empty()); // unplugged

        kit->reconnect();
        f = SimFaults();
        f.refuseOpen = true;
        kit->setFaults(f);
        QVERIFY(host->dev.enumerate(paths));
        QCOMPARE(paths.size(), size_t(1));
        QVERIFY(!host->dev.open("sim:SIM0001"));
    }

    void identificationAndModules()
    {
        QCOMPARE(host->query("*IDN?\n"), QByteArray("Tamarin Works,KV7310,SIM0001,1.0.0\n"));
        QCOMPARE(host->query("SYST:FIRMID?"), QByteArray("0001\n"));
        QCOMPARE(host->query("SYST:MODU?"), QByteArray("0\n"));
        QCOMPARE(host->query("LCD:LCD?"), QByteArray("0\n"));
        QCOMPARE(host->query("SYST:ALTERA?"), QByteArray("1\n"));

        SimModules m;
        m.portMask = 10;
        m.lcdPresent = true;
        kit->setModules(m);
        QCOMPARE(host->query("SYST:MODU?"), QByteArray("10\n"));
        for (int port : {1, 3}) {
            QVERIFY(host->send(QStringLiteral("SYST:SENDSTR:%1 \"*IDN?\"").arg(port).toLatin1()));
            const QList<QByteArray> fields =
                host->query(QStringLiteral("SYST:READSTR:%1?").arg(port).toLatin1())
                    .trimmed()
                    .split(',');
            QCOMPARE(fields.size(), 4);
            QCOMPARE(fields[0], QByteArray("Tamarin Works"));
            QCOMPARE(host->query(QStringLiteral("SYST:FIRMID:%1?").arg(port).toLatin1()),
                     QByteArray("0100\n"));
        }
        QVERIFY(host->send("SYST:SENDSTR:0 \"*IDN?\"")); // no module on port 0
        QVERIFY(host->send("SYST:READSTR:0?"));
        QVERIFY(host->readTransfer().isNull());
        QCOMPARE(host->query("LCD:LCD?"), QByteArray("1\n"));
        QCOMPARE(host->query("LCD:SERNUM?"), QByteArray("LCD00001\n"));
        QCOMPARE(host->query("SYST:MODULESTATUS?"), QByteArray("0,1,0,1\n"));
    }

    void sweepSettingsReadBack()
    {
        QCOMPARE(host->query("SWEEP:FREQSTAR?"), QByteArray("24\n"));
        QCOMPARE(host->query("SWEEP:FREQSTOP?"), QByteArray("24.25\n"));
        QCOMPARE(host->query("SWEEP:RAMPTIME?"), QByteArray("1\n"));
        QCOMPARE(host->query("SWEEP:TYPE?"), QByteArray("2\n"));
        QCOMPARE(host->query("POWE:RF?"), QByteArray("1\n"));

        for (const char *cmd : {"SWEEP:FREQSTAR 24.05", "SWEEP:FREQSTOP 24.2", "SWEEP:RAMPTIME 2.5",
                                "SWEEP:TYPE 3", "POWE:RF 0", "SWEEP:STOP"})
            QVERIFY(host->send(cmd));
        QCOMPARE(host->query("SWEEP:FREQSTAR?"), QByteArray("24.05\n"));
        QCOMPARE(host->query("SWEEP:FREQSTOP?"), QByteArray("24.2\n"));
        QCOMPARE(host->query("SWEEP:RAMPTIME?"), QByteArray("2.5\n"));
        QCOMPARE(host->query("SWEEP:TYPE?"), QByteArray("3\n"));
        QCOMPARE(host->query("POWE:RF?"), QByteArray("0\n"));
        QVERIFY(!kit->sweep().sweeping);

        // What the kit cannot do leaves the setting as it was.
        for (const char *cmd : {"SWEEP:FREQSTAR 24,1", "SWEEP:FREQSTOP 99", "SWEEP:RAMPTIME 0",
                                "SWEEP:RAMPTIME abc", "SWEEP:TYPE 4", "POWE:RF 2"})
            QVERIFY(host->send(cmd));
        const SimSweep s = kit->sweep();
        QCOMPARE(s.startGHz, 24.05);
        QCOMPARE(s.stopGHz, 24.2);
        QCOMPARE(s.rampMs, 2.5);
        QCOMPARE(s.type, 3);
        QCOMPARE(s.rfOn, false);

        // The ramp-time tune sequence ends on the restored value.
        for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 8, 7, 6, 5, 4, 3, 2, 1})
            QVERIFY(host->send("SWEEP:RAMPTIME " + QByteArray::number(code)));
        QVERIFY(host->send("SWEEP:RAMPTIME 2.5"));
        QCOMPARE(host->query("SWEEP:RAMPTIME?"), QByteArray("2.5\n"));
        QCOMPARE(kit->receivedCommands().last(), QStringLiteral("SWEEP:RAMPTIME?"));
    }

    void catalogue()
    {
        QCOMPARE(host->query("SYST:FIRM?"), QByteArray("1.0.0\n"));
        QCOMPARE(host->query("SYST:TEMP?"), QByteArray("31.5,28.25\n"));
        QCOMPARE(host->query("SYST:CURR?"), QByteArray("420,180\n"));
        QVERIFY(host->send("SYST:ATTN 2,12"));
        QVERIFY(host->send("SYST:ATTN 9,12")); // no such channel
        QCOMPARE(host->query("SYST:ATTN?"), QByteArray("0,12,0,0\n"));
        QVERIFY(host->send("FACT:BIASGATE 5,1"));
        QVERIFY(host->send("FACT:BIASGATE 5,2")); // past the 22nd gate
        QCOMPARE(kit->catalogue().biasGate, 21);
        QVERIFY(host->send("SYST:POWE 0"));
        QCOMPARE(host->query("SYST:CURR?"), QByteArray("0,0\n"));
        bool ok = false;
        host->query("SYST:TIME?").trimmed().toDouble(&ok);
        QVERIFY(ok);
    }

    void frameTransfer_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("queries");
        QTest::newRow("1024") << 1024 << 34;
        QTest::newRow("31") << 31 << 2;
        QTest::newRow("4096") << 4096 << 133;
        QTest::newRow("0") << 0 << 1;
    }
    void frameTransfer()
    {
        QFETCH(int, n);
        QFETCH(int, queries);
        QVERIFY(host->send("CAPT:FRAM " + QByteArray::number(n)));
        QByteArray text;
        for (int q = 0; q < queries; ++q) {
            const QByteArray reply = host->query("CAPT:FRAM?");
            QVERIFY(reply.endsWith('\n'));
            QVERIFY(reply.size() <= 125);
            QVERIFY(reply.size() == 1 || reply.size() % 4 == 1);
            text += reply.chopped(1);
        }
        QCOMPARE(text.size(), 4 * n);
        QVERIFY(QRegularExpression("^[0-9A-F]*$").match(QString::fromLatin1(text)).hasMatch());
        QCOMPARE(host->query("CAPT:FRAM?"), QByteArray("\n")); // used up
    }
};

QTEST_GUILESS_MAIN(SimUsbTest)
#include "tst_simusbdevice.moc"
