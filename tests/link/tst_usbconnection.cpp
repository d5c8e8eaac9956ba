// SPDX-License-Identifier: GPL-3.0-or-later
// The device connection: link lock, identification and module table, reply decoding.

#include "LinkRig.h"

#include <QtTest>

class ConnectionTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { SimUsbBus::global().detachAll(); }
    void cleanupTestCase()
    {
        setDeviceLayerFactory({});
        WinUSBTMC::setDefaultPause({});
        SimUsbBus::global().detachAll();
    }

    void linkLockIsTryLockedAcrossConnections();
    void describeKitAndModules();
    void portMasks_data();
    void portMasks();
    void identificationWithWrongFieldCount_data();
    void identificationWithWrongFieldCount();
    void zeroByteInReply();
};

void ConnectionTest::linkLockIsTryLockedAcrossConnections()
{
    useVirtualKits();
    usbConnection first, second;
    QCOMPARE(first.initLink(), 0);
    QCOMPARE(first.initLink(), -99);
    QCOMPARE(second.initLink(), -99);
    second.releaseLink(); // holds nothing, so frees nothing
    QCOMPARE(second.initLink(), -99);
    first.releaseLink();
    QCOMPARE(second.initLink(), 0);
    second.releaseLink();
    QVERIFY(linkLock.tryLock());
    linkLock.unlock();
}

void ConnectionTest::describeKitAndModules()
{
    useVirtualKits();
    auto kit = attachKit("SIM0001");
    SimModules modules;
    modules.portMask = 0;
    modules.lcdPresent = true;
    modules.lcdSerial = "LCD77";
    modules.lcdVersion = "2.0.1";
    modules.fpgaPresent = true;
    modules.fpgaCode = "7";
    kit->setModules(modules);

    usbConnection c;
    QCOMPARE(c.initLink(), 0);
    QCOMPARE(c.openKit("sim:SIM0001"), 0);
    QCOMPARE(c.identity.name, QStringLiteral("sim:SIM0001"));
    c.describe();
    QCOMPARE(c.identity.manufacturer, QStringLiteral("Tamarin Works"));
    QCOMPARE(c.identity.productName, QStringLiteral("KV7310"));
    QCOMPARE(c.identity.serial, QStringLiteral("SIM0001"));
    QCOMPARE(c.identity.version, QStringLiteral("1.0.0"));
    QCOMPARE(c.identity.firmwareId, QStringLiteral("0001")); // the terminator is no part of it
    QCOMPARE(c.modules.size(), 3);
    QCOMPARE(c.modules[0].name, QStringLiteral("LCD Micro"));
    QCOMPARE(c.modules[0].instDesc, QStringLiteral("11"));
    QCOMPARE(c.modules[0].serial, QStringLiteral("LCD77"));
    QCOMPARE(c.modules[0].version, QStringLiteral("2.0.1"));
    QCOMPARE(c.modules[0].firmwareId, QStringLiteral("0002"));
    QCOMPARE(c.modules[1].productName, QStringLiteral("LCD Screen"));
    QCOMPARE(c.modules[1].instDesc, QStringLiteral("10"));
    QCOMPARE(c.modules[1].firmwareId, QStringLiteral("0003"));
    QCOMPARE(c.modules[2].name, QStringLiteral("Altera FPGA"));
    QCOMPARE(c.modules[2].instDesc, QStringLiteral("12"));
    QCOMPARE(c.modules[2].serial, QStringLiteral("SIM0001"));
    QCOMPARE(c.modules[2].firmwareId, QStringLiteral("7"));
    c.describe(); // not cleared between runs
    QCOMPARE(c.modules.size(), 6);
    c.closeKit();
    QCOMPARE(c.identity.serial, QStringLiteral("SIM0001")); // readable after close
    c.releaseLink();
    QCOMPARE(kit->malformedTransfers(), 0);
    QCOMPARE(kit->tagSequenceErrors(), 0);
}

void ConnectionTest::portMasks_data()
{
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QList<int>>("ports");
    QTest::newRow("10: ports 1 and 3") << QByteArray("10\n") << QList<int>{1, 3};
    QTest::newRow("16: none") << QByteArray("16\n") << QList<int>{};
    QTest::newRow("garbage: none") << QByteArray("ports\n") << QList<int>{};
}

void ConnectionTest::portMasks()
{
    QFETCH(QByteArray, mask);
    QFETCH(QList<int>, ports);
    auto wire = std::make_shared<FakeWire>();
    auto &a = wire->answers["k"];
    a["*IDN?"] = kitIdn("P1");
    a["SYST:FIRMID?"] = "0001\n";
    a["SYST:MODU?"] = mask;
    a["SYST:READSTR:1?"] = "Tamarin Works,RFM24,M1,1.0\n";
    a["SYST:FIRMID:1?"] = "0100\n";
    a["SYST:READSTR:3?"] = "Tamarin Works,RFM24,M3\n"; // 3 fields: a failed module
    a["LCD:LCD?"] = "0\n";
    a["SYST:ALTERA?"] = "0\n";
    useFakeWire(wire);
    usbConnection c;
    QCOMPARE(c.initLink(), 0);
    QCOMPARE(c.openKit("k"), 0);
    c.describe();
    QList<int> asked;
    for (const QByteArray &command : wire->commands)
        if (command.startsWith("SYST:SENDSTR:"))
            asked << command.mid(13, 1).toInt();
    QCOMPARE(asked, ports);
    QCOMPARE(c.modules.size(), ports.size());
    if (!ports.isEmpty()) {
        QVERIFY(wire->commands.contains("SYST:SENDSTR:1 \"*IDN?\""));
        QCOMPARE(c.modules[0].name, QStringLiteral("Port 1"));
        QCOMPARE(c.modules[0].instDesc, QStringLiteral("1"));
        QCOMPARE(c.modules[0].serial, QStringLiteral("M1"));
        QCOMPARE(c.modules[0].firmwareId, QStringLiteral("0100"));
        QCOMPARE(c.modules[1], DeviceDescription());
    }
    QCOMPARE(wire->commands.last(), QByteArray("SYST:ALTERA?"));
    c.closeKit();
    c.releaseLink();
}

void ConnectionTest::identificationWithWrongFieldCount_data()
{
    QTest::addColumn<QByteArray>("idn");
    QTest::newRow("3 fields") << QByteArray("Tamarin Works,KV7310,S1\n");
    QTest::newRow("5 fields") << QByteArray("Tamarin Works,KV7310,S1,1.0,x\n");
}

void ConnectionTest::identificationWithWrongFieldCount()
{
    QFETCH(QByteArray, idn);
    auto wire = std::make_shared<FakeWire>();
    wire->answers["k"]["*IDN?"] = idn;
    useFakeWire(wire);
    usbConnection c;
    QCOMPARE(c.initLink(), 0);
    QCOMPARE(c.openKit("k"), 0);
    c.describe();
    DeviceDescription expected;
    expected.name = expected.instDesc = "k";
    QCOMPARE(c.identity, expected);
    QCOMPARE(wire->commands, QList<QByteArray>{"*IDN?"});
    c.closeKit();
    c.releaseLink();
}

void ConnectionTest::zeroByteInReply()
{
    auto wire = std::make_shared<FakeWire>();
    wire->answers["k"]["Z?"] = QByteArray("AB\0CD\n", 6);
    wire->answers["k"]["*IDN?"] = "Tamarin Works, KV 7310 ,S 1,1.0\n";
    useFakeWire(wire);
    usbConnection c;
    QCOMPARE(c.initLink(), 0);
    QCOMPARE(c.openKit("k"), 0);
    QCOMPARE(c.sendString("Z?"), 16);
    QCOMPARE(c.readString(), (QPair<int, QString>(6, "AB")));
    QCOMPARE(c.sendBytes("Z?"), 16);
    QCOMPARE(c.readBytes(), (QPair<int, QByteArray>(6, QByteArray("AB\0CD\n", 6))));
    c.describe(); // inner spaces of a field stay
    QCOMPARE(c.identity.productName, QStringLiteral(" KV 7310 "));
    QCOMPARE(c.identity.serial, QStringLiteral("S 1"));
    c.closeKit();
    c.releaseLink();
}

QTEST_GUILESS_MAIN(ConnectionTest)
#include "tst_usbconnection.moc"
