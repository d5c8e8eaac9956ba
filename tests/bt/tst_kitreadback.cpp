// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/KitReadback.h"

#include <QtTest>

using Effect = KitReadback::Effect;

static Effect feed(KitReadback &kit, const char *message)
{
    return kit.take(BtProtocol::parseReply(QByteArray(message)));
}

class KitReadbackTest : public QObject
{
    Q_OBJECT
private slots:
    // Each field shows the value exactly as the kit sent it; the sweep counts as known only once
    // all three came as numbers.
    void fieldsShowTheKitsTextAndTheSweepIsKnownWhenAllThreeCame()
    {
        KitReadback kit;
        Effect e = feed(kit, "STARTF:24.125:END\r\n");
        QCOMPARE(e.field, Effect::Field::StartFreq);
        QCOMPARE(e.text, QStringLiteral("24.125"));
        e = feed(kit, "xSTOPFy:24.250:END\r\n");
        QCOMPARE(e.field, Effect::Field::StopFreq);
        QCOMPARE(e.text, QStringLiteral("24.250"));
        QVERIFY(!kit.sweepKnown());
        e = feed(kit, "RAMP:1.5:END\r\n");
        QCOMPARE(e.field, Effect::Field::Ramp);
        QVERIFY(kit.sweepKnown());
        QCOMPARE(kit.sweep().startGHz, 24.125);
        QCOMPARE(kit.sweep().stopGHz, 24.25);
        QCOMPARE(kit.sweep().rampMs, 1.5);
        QVERIFY(!e.frame);
        QCOMPARE(e.sweepType, -1);
        QCOMPARE(e.rf, Effect::Rf::Unchanged);

        // A ramp that is no number still shows, but the sidecar no longer claims a known sweep.
        e = feed(kit, "RAMP:END\r\n");
        QCOMPARE(e.text, QStringLiteral("END\r\n"));
        QVERIFY(!kit.sweepKnown());
    }

    void sweepTypeSelectsOnlyTheFourTypes_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("button");
        QTest::newRow("one way") << QByteArray("TYPE:0:END\r\n") << 0;
        QTest::newRow("two way continuous") << QByteArray("TYPE:2:END\r\n") << 2;
        QTest::newRow("continuous wave") << QByteArray("TYPE:3:END\r\n") << 3;
        QTest::newRow("not a number counts as 0") << QByteArray("TYPE:x:END\r\n") << 0;
        QTest::newRow("out of range") << QByteArray("TYPE:7:END\r\n") << -1;
        QTest::newRow("negative") << QByteArray("TYPE:-1:END\r\n") << -1;
    }

    void sweepTypeSelectsOnlyTheFourTypes()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, button);
        KitReadback kit;
        kit.sweepTypeSent(1);
        const Effect e = kit.take(BtProtocol::parseReply(message));
        QCOMPARE(e.sweepType, button);
        QCOMPARE(e.field, Effect::Field::None);
        QCOMPARE(kit.sweepType(), button); // an unknown type is not kept as the last one
    }

    void sweepTypeSentIsRememberedOnlyWhenValid()
    {
        KitReadback kit;
        QCOMPARE(kit.sweepType(), -1);
        kit.sweepTypeSent(3);
        QCOMPARE(kit.sweepType(), 3);
        kit.sweepTypeSent(9);
        QCOMPARE(kit.sweepType(), 3);
    }

    void rfPowerOnOffOrBad()
    {
        KitReadback kit;
        QCOMPARE(kit.rfPower(), -1);
        QCOMPARE(feed(kit, "RFPOW:1:END\r\n").rf, Effect::Rf::On);
        QCOMPARE(kit.rfPower(), 1);
        QCOMPARE(feed(kit, "RFPOW:0:END\r\n").rf, Effect::Rf::Off);
        QCOMPARE(kit.rfPower(), 0);
        QCOMPARE(feed(kit, "RFPOW:7:END\r\n").rf, Effect::Rf::BadValue);
        QCOMPARE(kit.rfPower(), -1);
        QCOMPARE(feed(kit, "RFPOW:on:END\r\n").rf, Effect::Rf::Off); // not a number: 0
    }

    // Only a data reply is a frame; tags the tab ignores, and replies without a tag, change
    // nothing the tab keeps.
    void dataIsAFrameAndIgnoredTagsChangeNothing()
    {
        KitReadback kit;
        feed(kit, "STARTF:24:END\r\n");
        QVERIFY(feed(kit, "DATA:00\x80\x01:END\r\n").frame);
        QVERIFY(!feed(kit, "STARTFDATA:1:END\r\n").frame);
        for (const char *m : {"LOCK:1:END\r\n", "PLLM:1:END\r\n", "FRAM:2:END\r\n",
                              "IDN:kit:END\r\n", ":END\r\n", "garbage"}) {
            const Effect e = feed(kit, m);
            QVERIFY2(!e.frame && e.field == Effect::Field::None && e.sweepType == -1 &&
                         e.rf == Effect::Rf::Unchanged,
                     m);
        }
        QCOMPARE(kit.sweep().startGHz, 1.0);
    }
};

QTEST_APPLESS_MAIN(KitReadbackTest)
#include "tst_kitreadback.moc"
