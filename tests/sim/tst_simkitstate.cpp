// SPDX-License-Identifier: GPL-3.0-or-later
// The settings a virtual kit takes from either link: what it accepts, what it refuses, and what
// a reset brings back.
#include "sim/SimKitState.h"

#include <QtTest>

class SimKitStateTest : public QObject
{
    Q_OBJECT

private slots:
    void acceptsOnlyWhatTheHardwareCan_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("args");
        QTest::addColumn<bool>("changes");
        QTest::newRow("start at the band's edge") << "SWEEP:FREQSTAR"
                                                  << "23" << true;
        QTest::newRow("start below the band") << "SWEEP:FREQSTAR"
                                              << "22.99" << false;
        QTest::newRow("stop above the band") << "SWEEP:FREQSTOP"
                                             << "26.01" << false;
        QTest::newRow("start not a number") << "SWEEP:FREQSTAR"
                                            << "24GHz" << false;
        QTest::newRow("ramp 0.1 ms") << "SWEEP:RAMPTIME"
                                     << "0.1" << true;
        QTest::newRow("ramp over 100 ms") << "SWEEP:RAMPTIME"
                                          << "100.5" << false;
        QTest::newRow("sweep type 3") << "SWEEP:TYPE"
                                      << "3" << true;
        QTest::newRow("sweep type 4") << "SWEEP:TYPE"
                                      << "4" << false;
        QTest::newRow("RF power 2") << "POWE:RF"
                                    << "2" << false;
        QTest::newRow("attenuator 4 at 31 dB") << "SYST:ATTN"
                                               << "4,31" << true;
        QTest::newRow("attenuator 5") << "SYST:ATTN"
                                      << "5,3" << false;
        QTest::newRow("attenuator at 32 dB") << "SYST:ATTN"
                                             << "1,32" << false;
        QTest::newRow("bias gate 21 (5,1)") << "FACT:BIASGATE"
                                            << "5,1" << true;
        QTest::newRow("bias gate 22 (5,2)") << "FACT:BIASGATE"
                                            << "5,2" << false;
        QTest::newRow("bias gate of one number") << "FACT:BIASGATE"
                                                 << "3" << false;
    }
    void acceptsOnlyWhatTheHardwareCan()
    {
        QFETCH(QString, header);
        QFETCH(QString, args);
        QFETCH(bool, changes);
        SimKitState kit;
        const SimKitState before;
        QVERIFY(kit.applySetting(header, args)); // a setting, taken or not, is never answered
        const bool changed =
            kit.sweep.startGHz != before.sweep.startGHz ||
            kit.sweep.stopGHz != before.sweep.stopGHz || kit.sweep.rampMs != before.sweep.rampMs ||
            kit.sweep.type != before.sweep.type || kit.sweep.rfOn != before.sweep.rfOn ||
            kit.catalogue.attenuators != before.catalogue.attenuators ||
            kit.catalogue.biasGate != before.catalogue.biasGate;
        QCOMPARE(changed, changes);
    }

    void resetBringsBackPowerUpValues()
    {
        SimKitState kit;
        kit.applySetting("SWEEP:FREQSTAR", "24.1");
        kit.applySetting("SYST:POWE", "0");
        kit.applySetting("SWEEP:STOP", "");
        QVERIFY(!kit.sweep.sweeping);
        QVERIFY(kit.applySetting("*RST", ""));
        QCOMPARE(kit.sweep.startGHz, SimSweep().startGHz);
        QVERIFY(kit.catalogue.systemPower);
        QVERIFY(kit.sweep.sweeping);
        QVERIFY(kit.applySetting("*CLS", ""));
        QVERIFY(!kit.applySetting("SWEEP:FREQSTAR?", "")); // a query is no setting
    }

    void aKitThatDoesNotRadiateSeesNoReflector()
    {
        // With no noise, what is left when the RF is off is the mixer at rest: mid-scale.
        SimKitState kit;
        kit.scene.setNoiseVrms(0.0);
        kit.scene.setTargets({{2.0, 0.0, 1.0, 0.0}});
        kit.applySetting("POWE:RF", "0");
        for (quint16 c : kit.captureFrame(256))
            QVERIFY(c == 32767 || c == 32768);
        kit.applySetting("POWE:RF", "1");
        const QVector<quint16> on = kit.captureFrame(256);
        QVERIFY(*std::max_element(on.begin(), on.end()) > 32768 + 10000); // a 1 V tone
    }
};

QTEST_GUILESS_MAIN(SimKitStateTest)
#include "tst_simkitstate.moc"
