// SPDX-License-Identifier: GPL-3.0-or-later
// The kit's set-up through the tab's form against a virtual kit: read-backs into the fields and
// into what is known of the kit, sweep buttons by their codes, and a kit that does not answer.
#include "radar/KitSession.h"
#include "radar/KitSettings.h"
#include "support/RadarTestSupport.h"
#include "ui_TR7310_tab.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class KitSettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readBacksFillTheFormAndTheKnownSweep();
    void sweepButtonsSendTheirCodes();
    void aSilentKitLeavesTheFormAsItWas();

private:
    bool settle() { return QTest::qWaitFor([this] { return kit->pending() == 0; }, 10000); }
    std::unique_ptr<SimKits> sim;
    std::unique_ptr<KitSession> kit;
    QWidget widget;
    Ui::TR7310_tab ui;
    std::unique_ptr<KitSettings> settings;
};

void KitSettingsTest::init()
{
    sim = std::make_unique<SimKits>();
    SimSweep sweep = sim->kit().sweep();
    sweep.stopGHz = 24.5;
    sweep.rampMs = 2.0;
    sim->kit().setSweep(sweep);
    kit = std::make_unique<KitSession>(&sim->usb, sim->target(), QStringLiteral("SIM0001"));
    ui.setupUi(&widget);
    FrameMeta::Kit identity;
    identity.serial = QStringLiteral("SIM0001");
    settings = std::make_unique<KitSettings>(ui, *kit, identity);
}

void KitSettingsTest::cleanup()
{
    settings.reset();
    kit.reset();
    sim.reset();
}

void KitSettingsTest::readBacksFillTheFormAndTheKnownSweep()
{
    QSignalSpy sweepRead(settings.get(), &KitSettings::sweepRead);
    QSignalSpy rf(settings.get(), &KitSettings::rfPowerRead);
    bool thenRan = false;
    settings->readFreqs([&thenRan] { thenRan = true; });
    settings->readRamp();
    settings->readRfPower();
    QVERIFY(settle());
    QVERIFY(thenRan);
    QCOMPARE(ui.startFreq_txt->text(), QStringLiteral("24"));
    QCOMPARE(ui.stopFreq_txt->text(), QStringLiteral("24.5"));
    QCOMPARE(ui.ramptime_txt->text(), QStringLiteral("2"));
    const KnownKit &known = settings->readback();
    QVERIFY(known.freqsKnown && known.rampKnown);
    QCOMPARE(known.kit.axes.sweep.rampMs, 2.0);
    QCOMPARE(sweepRead.size(), 2);
    QCOMPARE(rf.size(), 1);
    QCOMPARE(rf.first().first().toBool(), true);
    QCOMPARE(known.kit.rfPower, 1);

    // Set sends what the fields show, then reads it back.
    ui.stopFreq_txt->setText(QStringLiteral("24.75"));
    settings->applyFreqs({});
    QVERIFY(settle());
    QCOMPARE(sim->kit().sweep().stopGHz, 24.75);
    QCOMPARE(settings->readback().kit.axes.sweep.stopGHz, 24.75);
}

void KitSettingsTest::sweepButtonsSendTheirCodes()
{
    // Whatever the buttons say, each carries the code the kit takes.
    ui.continuousWave_rdbtn->setText(QStringLiteral("CW"));
    settings->pickSweep(ui.continuousWave_rdbtn);
    QVERIFY(settle());
    QCOMPARE(sim->kit().sweep().type, 3);
    QCOMPARE(settings->readback().kit.sweepType, 3);
    settings->pickSweep(ui.oneWaySingle_rdbtn);
    QVERIFY(settle());
    QCOMPARE(sim->kit().sweep().type, 0);

    // The kit's own type checks its button.
    settings->readSweepType();
    QVERIFY(settle());
    QVERIFY(ui.oneWaySingle_rdbtn->isChecked());
}

void KitSettingsTest::aSilentKitLeavesTheFormAsItWas()
{
    sim->kit().disconnect();
    QSignalSpy sweepRead(settings.get(), &KitSettings::sweepRead);
    ui.startFreq_txt->setText(QStringLiteral("23"));
    bool thenRan = false;
    settings->readFreqs([&thenRan] { thenRan = true; });
    settings->readRamp();
    QVERIFY(settle());
    QVERIFY(thenRan); // the caller goes on, with nothing new
    QCOMPARE(ui.startFreq_txt->text(), QStringLiteral("23"));
    QVERIFY(sweepRead.isEmpty());
    QVERIFY(!settings->readback().freqsKnown);
    QVERIFY(kit->kitMissing());
}

QTEST_MAIN(KitSettingsTest)
#include "tst_kitsettings.moc"
