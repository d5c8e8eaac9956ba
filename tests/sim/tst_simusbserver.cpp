// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual kit's USB command language, spoken directly: frame read-out and its faults,
// module messages, and a kit told not to answer.
#include "sim/SimUsbServer.h"

#include <QtTest>

namespace {

QVector<quint16> fromHex(QByteArray reply)
{
    if (reply.endsWith('\n'))
        reply.chop(1);
    QVector<quint16> out;
    for (int i = 0; i + 4 <= reply.size(); i += 4)
        out << quint16(reply.mid(i, 4).toUInt(nullptr, 16));
    return out;
}

} // namespace

class SimUsbServerTest : public QObject
{
    Q_OBJECT

private slots:
    void frameIsReadOut31SamplesAtATime()
    {
        SimKitState kit;
        SimUsbServer usb;
        QVERIFY(usb.handle(kit, "CAPT:FRAM 70").isEmpty());
        QCOMPARE(kit.lastFrame.size(), 70);
        QVector<quint16> got;
        const int sizes[] = {31, 31, 8, 0}; // then only the terminator is left
        for (int size : sizes) {
            const QByteArray reply = usb.handle(kit, "CAPT:FRAM?");
            QCOMPARE(reply.size(), size * 4 + 1);
            QVERIFY(reply.endsWith('\n'));
            got += fromHex(reply);
        }
        QCOMPARE(got, kit.lastFrame);
    }

    void frameFaultStrikesTheChosenReplyOfTheChosenFrames()
    {
        SimKitState kit;
        SimUsbServer usb;
        kit.faults.frameFault = SimFrameFault::LostReply;
        kit.faults.frameFaultReply = 1;
        kit.faults.frameFaultFrames = 1;
        usb.handle(kit, "CAPT:FRAM 62");
        const QVector<quint16> frame = kit.lastFrame;
        QCOMPARE(fromHex(usb.handle(kit, "CAPT:FRAM?")), frame.mid(0, 31));
        QVERIFY(usb.handle(kit, "CAPT:FRAM?").isEmpty()); // its samples are gone
        QCOMPARE(usb.handle(kit, "CAPT:FRAM?"), QByteArray("\n"));

        usb.handle(kit, "CAPT:FRAM 62"); // the next frame comes through whole
        QCOMPARE(usb.handle(kit, "CAPT:FRAM?").size(), 31 * 4 + 1);
        QCOMPARE(usb.handle(kit, "CAPT:FRAM?").size(), 31 * 4 + 1);
    }

    void spoiledReplies_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("size"); // of the spoiled reply to a 31-sample query
        QTest::addColumn<bool>("terminated");
        QTest::newRow("short body") << int(SimFrameFault::ShortBody) << 123 << true;
        QTest::newRow("no terminator") << int(SimFrameFault::NoTerminator) << 124 << false;
        QTest::newRow("not hexadecimal") << int(SimFrameFault::NonHex) << 125 << true;
        QTest::newRow("late") << int(SimFrameFault::LateReply) << 125 << true;
    }
    void spoiledReplies()
    {
        QFETCH(int, fault);
        QFETCH(int, size);
        QFETCH(bool, terminated);
        SimKitState kit;
        SimUsbServer usb;
        kit.faults.frameFault = SimFrameFault(fault);
        usb.handle(kit, "CAPT:FRAM 31");
        const QByteArray reply = usb.handle(kit, "CAPT:FRAM?");
        QCOMPARE(reply.size(), size);
        QCOMPARE(reply.endsWith('\n'), terminated);
        QCOMPARE(reply.startsWith("-?.x"), SimFrameFault(fault) == SimFrameFault::NonHex);
        // Late means after any read time-out a host would choose.
        QCOMPARE(usb.lastReplyDelayMs() >= 60000, SimFrameFault(fault) == SimFrameFault::LateReply);
    }

    void unplugAndHangSilenceTheRestOfTheFrame()
    {
        SimKitState kit;
        SimUsbServer usb;
        kit.faults.frameFault = SimFrameFault::Hang;
        usb.handle(kit, "CAPT:FRAM 100");
        QVERIFY(usb.handle(kit, "CAPT:FRAM?").isEmpty());
        QVERIFY(usb.handle(kit, "CAPT:FRAM?").isEmpty());
        QVERIFY(kit.connected);

        kit.faults.frameFault = SimFrameFault::Unplug;
        kit.faults.frameFaultFrames = 1;
        usb.handle(kit, "CAPT:FRAM 100");
        QVERIFY(usb.handle(kit, "CAPT:FRAM?").isEmpty());
        QVERIFY(!kit.connected);
    }

    void moduleAnswersItsIdentificationOnce()
    {
        SimKitState kit;
        kit.serial = "K1";
        kit.modules.portMask = 0b0100; // a module on port 2 only
        SimUsbServer usb;
        usb.handle(kit, "SYST:SENDSTR:2 \"*IDN?\"");
        QCOMPARE(usb.handle(kit, "SYST:READSTR:2?"),
                 QByteArray("Tamarin Works,RFM24,K1-P2,1.0.0\n"));
        QVERIFY(usb.handle(kit, "SYST:READSTR:2?").isEmpty());
        usb.handle(kit, "SYST:SENDSTR:2 \"FREQ?\""); // nothing else gets an answer
        QVERIFY(usb.handle(kit, "SYST:READSTR:2?").isEmpty());
        QCOMPARE(usb.handle(kit, "SYST:MODULESTATUS?"), QByteArray("0,0,1,0\n"));
        QCOMPARE(usb.handle(kit, "SYST:FIRMID:2?"), QByteArray("0100\n"));
        QVERIFY(usb.handle(kit, "SYST:FIRMID:1?").isEmpty()); // no module there
    }

    void noReplyKitStillCarriesOutSettings()
    {
        SimKitState kit;
        SimUsbServer usb;
        kit.faults.noReply = true;
        QVERIFY(usb.handle(kit, "SWEEP:FREQSTAR 24.1").isEmpty());
        QVERIFY(usb.handle(kit, "SWEEP:FREQSTAR?").isEmpty());
        QCOMPARE(kit.sweep.startGHz, 24.1);
        kit.faults.noReply = false;
        QCOMPARE(usb.handle(kit, "SWEEP:FREQSTAR?"), QByteArray("24.1\n"));
    }
};

QTEST_GUILESS_MAIN(SimUsbServerTest)
#include "tst_simusbserver.moc"
