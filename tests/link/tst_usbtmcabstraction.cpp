// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument command layer over virtual kits: brackets, locks, catalogue, recovery.

#include "LinkRig.h"
#include "LogCapture.h"

#include "link/usbTMCabstraction.h"

#include <QSignalSpy>
#include <QtTest>

class CommandLayerTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        SimUsbBus::global().detachAll();
        useVirtualKits();
    }
    void cleanupTestCase()
    {
        setDeviceLayerFactory({});
        WinUSBTMC::setDefaultPause({});
        SimUsbBus::global().detachAll();
    }

    void beforeTheFirstDeviceList();
    void deviceListOfVirtualKits();
    void secondOpenIsBusy();
    void unknownTargetGivesMinus2();
    void catalogueParsing();
    void biasGatesAndSetCommands();
    void retValEqualsResult();
    void recoveryAfterADroppedReply();
};

void CommandLayerTest::beforeTheFirstDeviceList()
{
    attachKit("SIM0001");
    usbTMCabstraction usb;
    QSignalSpy opened(&usb, &usbTMCabstraction::connectionOpened);
    QSignalSpy closed(&usb, &usbTMCabstraction::connectionClosed);
    QCOMPARE(usb.openConnection("sim:SIM0001"), -10);
    QCOMPARE(opened.takeFirst().at(0).toInt(), -10);
    QCOMPARE(usb.sendVISACommand("*IDN?"), -1);
    QCOMPARE(usb.readVISAResponseString().first, -1);
    QCOMPARE(usb.getInstDesc(), QStringLiteral("-1"));
    QCOMPARE(usb.getSerial(), QStringLiteral("Unknown"));
    usb.getDescriptions();
    QCOMPARE(usb.closeConnection(), 0); // holds nothing: emits only
    QCOMPARE(closed.size(), 1);
    QVERIFY(linkLock.tryLock());
    linkLock.unlock();
}

void CommandLayerTest::deviceListOfVirtualKits()
{
    auto first = attachKit("SIM0001");
    auto second = attachKit("SIM0002");
    second->setFirmwareVersion("1.1.0");
    usbTMCabstraction usb;
    const QPair<int, QStringList> list = usb.getDeviceList();
    QCOMPARE(list, (QPair<int, QStringList>(0, {"sim:SIM0001", "sim:SIM0002"})));
    // The identity describes the last kit listed; each was described once.
    QCOMPARE(usb.getSerial(), QStringLiteral("SIM0002"));
    QCOMPARE(usb.getVersion(), QStringLiteral("1.1.0"));
    QCOMPARE(second->receivedCommands().count("*IDN?\n"), 1); // the probe
    QCOMPARE(second->receivedCommands().count("*IDN?"), 1);   // one description
    QCOMPARE(first->malformedTransfers() + second->malformedTransfers(), 0);
    QCOMPARE(first->tagSequenceErrors() + second->tagSequenceErrors(), 0);

    // Discovery as the main window runs it.
    for (const QString &target : list.second) {
        QCOMPARE(usb.openConnection(target), 0);
        usb.getDescriptions();
        QCOMPARE(usb.getInstDesc(), target);
        QCOMPARE(usb.getMan(), QStringLiteral("Tamarin Works"));
        QVERIFY(usb.getProductName().startsWith("KV7310"));
        QCOMPARE(usb.closeConnection(), 0);
    }
}

void CommandLayerTest::secondOpenIsBusy()
{
    attachKit("SIM0001");
    usbTMCabstraction usb, other;
    usb.getDeviceList();
    other.getDeviceList();
    QSignalSpy opened(&usb, &usbTMCabstraction::connectionOpened);
    QCOMPARE(usb.openConnection("sim:SIM0001"), 0);
    QCOMPARE(usb.setPower(true), 0);
    QCOMPARE(usb.getDeviceList(), (QPair<int, QStringList>(-1, {})));
    QCOMPARE(other.openConnection("sim:SIM0001"), -1); // the link is taken process-wide
    QCOMPARE(usb.openConnection("sim:SIM0001"), -99);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(1).at(0).toInt(), -99);
    // The first open still stands, but the catalogue now answers as not connected.
    QCOMPARE(usb.setPower(true), -1);
    QVERIFY(usb.sendVISACommand("*IDN?") >= 0);
    QCOMPARE(usb.readVISAResponseString().second,
             QStringLiteral("Tamarin Works,KV7310,SIM0001,1.0.0\n"));
    QCOMPARE(usb.closeConnection(), 0);
    QCOMPARE(usb.openConnection("sim:SIM0001"), 0);
    QCOMPARE(usb.setPower(false), 0);
    QCOMPARE(usb.closeConnection(), 0);
}

void CommandLayerTest::unknownTargetGivesMinus2()
{
    attachKit("SIM0001");
    usbTMCabstraction usb;
    usb.getDeviceList();
    QCOMPARE(usb.openConnection("sim:NOSUCH"), -2);
    QCOMPARE(usb.getInstDesc(), QStringLiteral("-1"));
    QCOMPARE(usb.getDeviceList().second, QStringList{"sim:SIM0001"}); // lock and link were released
}

void CommandLayerTest::catalogueParsing()
{
    auto wire = std::make_shared<FakeWire>();
    wire->paths = {"k"};
    auto &a = wire->answers["k"];
    a["*IDN?\n"] = kitIdn("F1");
    a["SYST:ATTN?"] = "";
    a["SYST:CURR?"] = "1,,3\n";
    a["SYST:TEMP?"] = "20.5, x ,-4\r\n";
    a["SYST:TIME?"] = "soon\n";
    useFakeWire(wire);
    usbTMCabstraction usb;
    QCOMPARE(usb.getTemps(), QList<float>()); // not connected
    QCOMPARE(usb.getTime(), -1.0f);
    QVERIFY(usb.getFirmVer().isNull());
    QCOMPARE(usb.getDeviceList().second, QStringList{"k"});
    QCOMPARE(usb.openConnection("k"), 0);
    QCOMPARE(usb.getAttens(), QList<int>{0});
    QCOMPARE(usb.getCurrents(), (QList<int>{1, 0, 3}));
    QCOMPARE(usb.getTemps(), (QList<float>{20.5f, 0.0f, -4.0f}));
    QCOMPARE(usb.getTime(), -1.0f);
    QCOMPARE(usb.getStatus(), QList<int>()); // no reply
    usb.closeConnection();
}

void CommandLayerTest::biasGatesAndSetCommands()
{
    auto kit = attachKit("SIM0001");
    usbTMCabstraction usb;
    usb.getDeviceList();
    QCOMPARE(usb.biasGateVoltage(1, 0), -1);
    QCOMPARE(usb.biasGateVoltageIndex(0), -1);
    QCOMPARE(usb.openConnection("sim:SIM0001"), 0);
    kit->clearReceived();
    QCOMPARE(usb.biasGateVoltage(5, 2), -2);
    QCOMPARE(usb.biasGateVoltage(0, 0), -2);
    QCOMPARE(usb.biasGateVoltage(1, 5), -2);
    QCOMPARE(usb.biasGateVoltageIndex(-1), -2);
    QCOMPARE(usb.biasGateVoltageIndex(22), -2);
    QVERIFY(kit->receivedCommands().isEmpty());
    QCOMPARE(usb.biasGateVoltage(5, 1), 0);
    QCOMPARE(usb.biasGateVoltageIndex(21), 0);
    QCOMPARE(usb.biasGateVoltageIndex(7), 0);
    QCOMPARE(usb.setPower(true), 0);
    QCOMPARE(kit->receivedCommands(), (QStringList{"FACT:BIASGATE 5,1", "FACT:BIASGATE 5,1",
                                                   "FACT:BIASGATE 2,2", "SYST:POWE 1"}));
    kit->disconnect(); // set commands ignore the send result
    QCOMPARE(usb.setPower(false), 0);
    QCOMPARE(usb.setAtten(1, 3), 0);
    usb.closeConnection();
}

void CommandLayerTest::retValEqualsResult()
{
    attachKit("SIM0001");
    usbTMCabstraction usb;
    QSignalSpy spy(&usb, &usbTMCabstraction::retVal);
    QCOMPARE(usb.sendVISACommand("X"), -1);
    usb.getDeviceList();
    QCOMPARE(usb.openConnection("sim:SIM0001"), 0);
    QCOMPARE(usb.sendVISACommand("SWEEP:TYPE 2"), 24);
    usb.closeConnection();
    QCOMPARE(usb.sendVISACommand("X"), -1);
    QCOMPARE(spy.size(), 3);
    QCOMPARE(spy.at(0).at(0).toInt(), -1);
    QCOMPARE(spy.at(1).at(0).toInt(), 24);
    QCOMPARE(spy.at(2).at(0).toInt(), -1);
}

void CommandLayerTest::recoveryAfterADroppedReply()
{
    auto kit = attachKit("SIM0001");
    usbTMCabstraction usb;
    usb.getDeviceList();
    QCOMPARE(usb.openConnection("sim:SIM0001"), 0);
    SimFaults late;
    late.lateReplyMs = 6000; // past the read time-out: the reply stays in the endpoint
    kit->setFaults(late);
    usb.sendVISACommand("*IDN?");
    QCOMPARE(usb.readVISAResponseString().first, -1);
    // The timed-out read request (tag 2) was aborted, and the late reply with it.
    QCOMPARE(kit->abortLog(), QStringList{"IN 2"});
    kit->setFaults(SimFaults());
    usb.sendVISACommand("SYST:FIRM?");
    QCOMPARE(usb.readVISAResponseString(), (QPair<int, QString>(6, "1.0.0\n")));
    usb.closeConnection();

    // The next bracket clears the kit on open and works.
    QCOMPARE(usb.openConnection("sim:SIM0001"), 0);
    usb.sendVISACommand("SYST:FIRM?");
    QCOMPARE(usb.readVISAResponseString(), (QPair<int, QString>(6, "1.0.0\n")));
    usb.sendVISACommand("*IDN?");
    QCOMPARE(usb.readVISAResponseString().second,
             QStringLiteral("Tamarin Works,KV7310,SIM0001,1.0.0\n"));
    usb.closeConnection();
}

QTEST_GUILESS_MAIN(CommandLayerTest)
#include "tst_usbtmcabstraction.moc"
