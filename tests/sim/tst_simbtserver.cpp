// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual kit's Bluetooth command language, spoken directly: tagged answers, numbered data
// replies that carry the frame, and the line faults.
#include "sim/SimBtServer.h"

#include "kit/KitCommands.h"

#include <QtTest>

namespace {

QVector<quint16> samplesOf(const QByteArray &reply, int n)
{
    QVector<quint16> out;
    for (int i = 0; i < n; ++i) {
        const int at = KitCommands::kDataHeaderBytes + 2 * i;
        out << quint16(quint8(reply[at]) << 8 | quint8(reply[at + 1]));
    }
    return out;
}

} // namespace

class SimBtServerTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsAreSilentQueriesTagged()
    {
        SimKitState kit;
        kit.serial = "B7";
        SimBtServer bt;
        QVERIFY(bt.handle(kit, "SWEEP:RAMPTIME 2.5$").bytes.isEmpty());
        QCOMPARE(bt.handle(kit, "SWEEP:RAMPTIME?$").bytes, QByteArray("RAMP:2.5:END\r\n"));
        QCOMPARE(bt.handle(kit, "*IDN?$").bytes,
                 QByteArray("IDN:Tamarin Works,KV7310,B7,1.0.0:END\r\n"));
        QVERIFY(bt.handle(kit, "SYST:TEMP?$").bytes.isEmpty()); // not in this language
    }

    void dataRepliesAreNumberedAndCarryTheFrame()
    {
        SimKitState kit;
        SimBtServer bt;
        for (int counter = 0; counter < 2; ++counter) {
            const QByteArray reply = bt.handle(kit, "CAPT:STRE 40$").bytes;
            QVERIFY(reply.startsWith(QByteArray::fromStdString(KitCommands::dataHeader(counter))));
            QVERIFY(reply.endsWith(QByteArray::fromStdString(std::string(KitCommands::kReplyEnd))));
            QCOMPARE(kit.lastFrame.size(), 40);
            QCOMPARE(samplesOf(reply, 40), kit.lastFrame);
        }
        QVERIFY(bt.handle(kit, "CAPT:STRE many$").bytes.isEmpty());
    }

    void dataFaultsStrikeTheChosenNumberOfReplies_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("truncated") << int(SimBtFrameFault::TruncatedPayload);
        QTest::newRow("zero glitch") << int(SimBtFrameFault::ZeroGlitch);
        QTest::newRow("noise") << int(SimBtFrameFault::Noise);
        QTest::newRow("wrong tag") << int(SimBtFrameFault::WrongTag);
    }
    void dataFaultsStrikeTheChosenNumberOfReplies()
    {
        QFETCH(int, fault);
        SimKitState kit;
        SimBtServer clean, bt;
        SimKitState twin; // the same kit without the fault, for the reply it should have sent
        const QByteArray intact = clean.handle(twin, "CAPT:STRE 64$").bytes;
        kit.faults.btFrameFault = SimBtFrameFault(fault);
        kit.faults.btFrameFaultFrames = 1;
        const QByteArray spoiled = bt.handle(kit, "CAPT:STRE 64$").bytes;
        const int prefix = int(spoiled.size() - intact.size());
        switch (SimBtFrameFault(fault)) {
        case SimBtFrameFault::TruncatedPayload:
            QCOMPARE(spoiled.size(), intact.size() - 64);
            break;
        case SimBtFrameFault::ZeroGlitch:
            QCOMPARE(spoiled.left(prefix), QByteArray(1001, '\0'));
            QCOMPARE(spoiled.mid(prefix), intact);
            break;
        case SimBtFrameFault::Noise:
            QCOMPARE(prefix, 1000);
            QVERIFY(!spoiled.left(prefix).contains(':')); // noise never reads as a tag
            break;
        default:
            QVERIFY(spoiled.startsWith("DIV"));
            QVERIFY(!KitCommands::isDataReply(spoiled.toStdString()));
            break;
        }
        const QByteArray next = bt.handle(kit, "CAPT:STRE 64$").bytes;
        QCOMPARE(next.size(), intact.size());
        QVERIFY(KitCommands::isDataReply(next.toStdString()));
    }

    void lineFaultsWrapEveryReply()
    {
        SimKitState kit;
        SimBtServer bt;
        kit.faults.lineGarbage = "~~";
        kit.faults.extraBytes = "!";
        kit.faults.truncateBytes = 2; // of the reply itself, before the wrapping
        kit.faults.lateReplyMs = 30;
        kit.form.replyDelayMs = 5;
        const SimBtReply reply = bt.handle(kit, "SWEEP:TYPE?$");
        QCOMPARE(reply.bytes, QByteArray("~~TYPE:2:END!"));
        QCOMPARE(reply.delayMs, 35);
        kit.faults.noReply = true;
        QVERIFY(bt.handle(kit, "SWEEP:TYPE?$").bytes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SimBtServerTest)
#include "tst_simbtserver.moc"
