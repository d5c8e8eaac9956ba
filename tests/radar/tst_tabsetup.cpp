// SPDX-License-Identifier: GPL-3.0-or-later
// The radar tab's start-up and set-up commands against a virtual kit, through the command layer.
#include "TabProbe.h"
#include "support/RadarTestSupport.h"

#include "link/FakeDeviceLayer.h"

#include <QRadioButton>
#include <QtTest>

#include <memory>

namespace {

const QString kGreen = QStringLiteral("*{background-color:green}");
const QString kRed = QStringLiteral("*{background-color:red}");

// A tab on a scripted kit, for replies a virtual kit never gives.
struct ScriptedTab
{
    explicit ScriptedTab(const QMap<QByteArray, QByteArray> &replies)
    {
        wire->paths = {"fake0"};
        wire->answers["fake0"] = replies;
        answers()["*IDN?\n"] = kitIdn("F0001"); // discovery asks with a line feed
        setDeviceLayerFactory([w = wire] { return std::make_unique<FakeDeviceLayer>(w); });
        targets = usb.getDeviceList().second;
        tab = std::make_unique<TR7310_tab>(&usb, targets.value(0), QStringLiteral("1.0.0"),
                                           QStringLiteral("KV7310"), QStringLiteral("F0001"));
    }
    ~ScriptedTab()
    {
        tab.reset();
        setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    }
    QMap<QByteArray, QByteArray> &answers() { return wire->answers["fake0"]; }

    std::shared_ptr<FakeWire> wire = std::make_shared<FakeWire>();
    usbTMCabstraction usb;
    QStringList targets;
    std::unique_ptr<TR7310_tab> tab;
};

} // namespace

class TabSetupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void startUpReadsTheKitAndTunes();
    void noKitSendsNothing();
    void frequenciesAreSentAsTyped();
    void rampTimeIsSentAndAxisFollows();
    void sweepTypeClicks_data();
    void sweepTypeClicks();
    void rfPowerAndSweepButtons();
    void readBackFormatsAndBadValues();
    void readBacksEndedByAnyCharacter();
    void samplePeriodFollowsFirmware();

private:
    bool bracketClosed()
    {
        return sim->usb.openConnection(sim->target()) == 0 && sim->usb.closeConnection() == 0;
    }

    std::unique_ptr<SimKits> sim;
    std::unique_ptr<TR7310_tab> tab;
    std::unique_ptr<usbTMCabstraction> noLink;
    std::unique_ptr<TR7310_tab> noKitTab;
    QList<int> pauses;
    QStringList startUpLog;
};

void TabSetupTest::initTestCase()
{
    quickStartUp();
    sim = std::make_unique<SimKits>();
    SimSweep sweep;
    sweep.startGHz = 24.1;
    sweep.stopGHz = 24.35;
    sweep.rampMs = 1.5;
    sweep.type = 3;
    sweep.rfOn = true;
    sim->kit().setSweep(sweep);
    sim->kit().clearReceived();

    tab = std::make_unique<TR7310_tab>(&sim->usb, sim->target(), QStringLiteral("1.0.0"),
                                       QStringLiteral("KV7310"), QStringLiteral("SIM0001"));
    tab->setTunePause([this](int ms) { pauses << ms; });
    // A command layer that never listed a kit: every open fails with -10.
    noLink = std::make_unique<usbTMCabstraction>();
    noKitTab = std::make_unique<TR7310_tab>(noLink.get(), sim->target(), QStringLiteral("1.0.0"),
                                            QStringLiteral("KV7310"), QStringLiteral("SIM0001"));
    QVERIFY(sim->received().isEmpty()); // nothing before the start-up timers
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim->kit()), 5000);
    startUpLog = sim->received();
}

void TabSetupTest::cleanupTestCase()
{
    noKitTab.reset();
    tab.reset();
    sim.reset();
}

void TabSetupTest::init() { sim->kit().clearReceived(); }

void TabSetupTest::startUpReadsTheKitAndTunes()
{
    QStringList expected{"POWE:RF?", "SWEEP:FREQSTOP?", "SWEEP:FREQSTAR?", "SWEEP:RAMPTIME?",
                         "SWEEP:TYPE?"};
    for (int c = 1; c <= 8; ++c)
        expected << QStringLiteral("SWEEP:RAMPTIME %1").arg(c);
    for (int c = 8; c >= 1; --c)
        expected << QStringLiteral("SWEEP:RAMPTIME %1").arg(c);
    expected << QStringLiteral("SWEEP:RAMPTIME 1.5"); // the ramp time the form shows, restored
    QCOMPARE(startUpLog, expected);
    QCOMPARE(pauses, QList<int>(15, 100));

    TR7310_tabProbe p(*tab);
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("24.1"));
    QCOMPARE(p.text("stopFreq_txt"), QStringLiteral("24.35"));
    QCOMPARE(p.text("ramptime_txt"), QStringLiteral("1.5"));
    QVERIFY(p.w<QRadioButton>("continuousWave_rdbtn")->isChecked());
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), kGreen);
    QVERIFY(p.rfOn());
    QVERIFY(bracketClosed());
}

void TabSetupTest::noKitSendsNothing()
{
    TR7310_tabProbe p(*noKitTab);
    // Its start-up timers have fired during initTestCase: the fields keep the form's defaults.
    QCOMPARE(p.text("startFreq_txt"), QString());
    QCOMPARE(p.text("stopFreq_txt"), QString());
    QCOMPARE(p.text("ramptime_txt"), QString());
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), QString());

    p.click("rf_power_btn");
    p.click("rf_power_btn");
    p.click("setFreqs_btn");
    p.click("twoWaySingle_rdbtn");
    p.click("collect_btn");
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), QString());
    QVERIFY(p.samples().isEmpty());
    QVERIFY(sim->received().isEmpty());
}

void TabSetupTest::frequenciesAreSentAsTyped()
{
    TR7310_tabProbe p(*tab);
    p.setText("startFreq_txt", QStringLiteral("24.05"));
    p.setText("stopFreq_txt", QStringLiteral("24.2"));
    p.click("setFreqs_btn");
    QCOMPARE(sim->received(), (QStringList{"SWEEP:FREQSTAR 24.05", "SWEEP:FREQSTOP 24.2",
                                           "SWEEP:FREQSTOP?", "SWEEP:FREQSTAR?"}));
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("24.05"));
    QCOMPARE(p.text("stopFreq_txt"), QStringLiteral("24.2"));
    QVERIFY(bracketClosed());

    // Text the kit refuses goes out unchanged; the fields then show what the kit kept.
    sim->kit().clearReceived();
    p.setText("startFreq_txt", QStringLiteral("24,1"));
    QTest::keyClick(p.w<QLineEdit>("stopFreq_txt"), Qt::Key_Return); // Return sends both
    QVERIFY(p.settle());
    QCOMPARE(sim->received().mid(0, 2),
             (QStringList{"SWEEP:FREQSTAR 24,1", "SWEEP:FREQSTOP 24.2"}));
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("24.05"));

    // Back to the kit's defaults for the tests that follow.
    p.setText("startFreq_txt", QStringLiteral("24"));
    p.setText("stopFreq_txt", QStringLiteral("24.25"));
    p.click("setFreqs_btn");
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("24"));
}

void TabSetupTest::rampTimeIsSentAndAxisFollows()
{
    TR7310_tabProbe p(*tab);
    p.setText("ramptime_txt", QStringLiteral("2.5"));
    QTest::keyClick(p.w<QLineEdit>("ramptime_txt"), Qt::Key_Return);
    QVERIFY(p.settle());
    QCOMPARE(sim->received(), (QStringList{"SWEEP:RAMPTIME 2.5", "SWEEP:RAMPTIME?"}));
    QCOMPARE(p.text("ramptime_txt"), QStringLiteral("2.5"));
    // Range mode: top of the value axis = c * 10 kHz / K with K = 2 * 0.25 GHz / 2.5 ms.
    const double k = 2 * 0.25e9 / 2.5e-3;
    QCOMPARE(p.vsTimeMap()->data()->valueRange().upper, 3e12 / k);
    QCOMPARE(p.vsTimeTitle()->text(), QStringLiteral("Range Vs Time"));
    QVERIFY(bracketClosed());
}

void TabSetupTest::sweepTypeClicks_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("code");
    QTest::newRow("2 way single") << "twoWaySingle_rdbtn" << 1;
    QTest::newRow("1 way single") << "oneWaySingle_rdbtn" << 0;
    QTest::newRow("1 way single again") << "oneWaySingle_rdbtn" << 0;
    QTest::newRow("continuous wave") << "continuousWave_rdbtn" << 3;
    QTest::newRow("2 way continuous") << "twoWayCont_rdbtn" << 2;
}

void TabSetupTest::sweepTypeClicks()
{
    QFETCH(QString, button);
    QFETCH(int, code);
    TR7310_tabProbe p(*tab);
    p.click(button.toLatin1().constData());
    QCOMPARE(sim->received(),
             (QStringList{QStringLiteral("SWEEP:TYPE %1").arg(code), "SWEEP:START"}));
    QCOMPARE(sim->kit().sweep().type, code);
    QVERIFY(bracketClosed());
}

void TabSetupTest::rfPowerAndSweepButtons()
{
    TR7310_tabProbe p(*tab);
    QVERIFY(p.rfOn());
    p.click("rf_power_btn");
    QCOMPARE(sim->received(), (QStringList{"POWE:RF 0", "POWE:RF?"}));
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), kRed);
    QVERIFY(!sim->kit().sweep().rfOn);
    sim->kit().clearReceived();
    p.click("rf_power_btn");
    QCOMPARE(sim->received(), (QStringList{"POWE:RF 1", "POWE:RF?"}));
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), kGreen);

    sim->kit().clearReceived();
    p.click("stop_btn");
    p.click("start_btn");
    QCOMPARE(sim->received(), (QStringList{"SWEEP:STOP", "POWE:RF?", "SWEEP:START", "POWE:RF?"}));
    QVERIFY(sim->kit().sweep().sweeping);
    QVERIFY(bracketClosed());
}

// The kit ends each reply with one character of its choosing; the form shows the number alone.
void TabSetupTest::readBacksEndedByAnyCharacter()
{
    ScriptedTab scripted({{"POWE:RF?", "1\x03"},
                          {"SWEEP:FREQSTOP?", QByteArray("24.25\0", 6)},
                          {"SWEEP:FREQSTAR?", "24.05\r"},
                          {"SWEEP:RAMPTIME?", "2.5;"},
                          {"SWEEP:TYPE?", "1\x04"}});
    QCOMPARE(scripted.targets.size(), 1);
    TR7310_tab &fake = *scripted.tab;
    TR7310_tabProbe p(fake);
    for (const char *slot : {"update_RFPower", "readFreqs", "readRamptime", "readSweepType"}) {
        QVERIFY(QMetaObject::invokeMethod(&fake, slot));
        QVERIFY(p.settle());
    }
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), kGreen);
    QCOMPARE(p.text("stopFreq_txt"), QStringLiteral("24.25"));
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("24.05"));
    QCOMPARE(p.text("ramptime_txt"), QStringLiteral("2.5"));
    QVERIFY(p.w<QRadioButton>("twoWaySingle_rdbtn")->isChecked());
}

void TabSetupTest::readBackFormatsAndBadValues()
{
    ScriptedTab scripted({{"POWE:RF?", "2\n"},
                          {"SWEEP:FREQSTOP?", "1234567\n"},
                          {"SWEEP:FREQSTAR?", "0.5\n"},
                          {"SWEEP:RAMPTIME?", "abc\n"},
                          {"SWEEP:TYPE?", "7\n"}});
    QCOMPARE(scripted.targets.size(), 1);
    TR7310_tab &fake = *scripted.tab;
    auto &answers = scripted.answers();
    auto &wire = scripted.wire;
    TR7310_tabProbe p(fake);
    {
        RadarLogOn log;
        QTest::ignoreMessage(QtDebugMsg, "rfPowerCheck: bad return value");
        QVERIFY(QMetaObject::invokeMethod(&fake, "update_RFPower"));
        QVERIFY(p.settle());
    }
    QCOMPARE(p.w<QPushButton>("rf_power_btn")->styleSheet(), QString());

    QVERIFY(QMetaObject::invokeMethod(&fake, "readFreqs"));
    QVERIFY(p.settle());
    QCOMPARE(p.text("stopFreq_txt"), QStringLiteral("1.23457e+06"));
    QCOMPARE(p.text("startFreq_txt"), QStringLiteral("0.5"));
    QVERIFY(QMetaObject::invokeMethod(&fake, "readRamptime"));
    QVERIFY(p.settle());
    QCOMPARE(p.text("ramptime_txt"), QStringLiteral("0"));
    QVERIFY(QMetaObject::invokeMethod(&fake, "readSweepType"));
    QVERIFY(p.settle());
    QVERIFY(p.w<QRadioButton>("twoWayCont_rdbtn")->isChecked());

    // No reply to the stop frequency: the start frequency is not asked either.
    answers.remove("SWEEP:FREQSTOP?");
    wire->commands.clear();
    QVERIFY(QMetaObject::invokeMethod(&fake, "readFreqs"));
    QVERIFY(p.settle());
    QCOMPARE(wire->commands, (QList<QByteArray>{"SWEEP:FREQSTOP?"}));
    QCOMPARE(p.text("stopFreq_txt"), QStringLiteral("1.23457e+06"));
}

void TabSetupTest::samplePeriodFollowsFirmware()
{
    usbTMCabstraction none;
    const QList<QPair<QString, double>> cases{{"1.1.0", 4.505e-05},
                                              {"v1.1.0-beta", 4.505e-05},
                                              {"1.10", 5e-05},
                                              {"1.1", 5e-05},
                                              {"1.0.0", 5e-05}};
    for (const auto &c : cases) {
        TR7310_tab t(&none, QString(), c.first, QString(), QString());
        TR7310_tabProbe p(t);
        // Defaults of the form and of the constructor.
        QCOMPARE(p.text("saveLoc_txt"), QStringLiteral("Data"));
        QCOMPARE(p.text("save_fileName_txt"), QStringLiteral("data.txt"));
        QCOMPARE(p.text("saveFolderCapture_txt"), QString());
        QVERIFY(!p.w<QCheckBox>("subtractAverage_ckbx")->isVisibleTo(&t));
        // Seen where it counts: the raw trace's time step and the spectrum's bin spacing
        // (the sample rate over the frame padded to seven times its length).
        p.show({0.1, 0.4, -0.2, 0.3});
        p.showPage(1);
        QCOMPARE(p.plotWidget("spectrum_wdgt")->graph(0)->data()->at(1)->key, 1.0 / c.second / 28);
        p.showPage(0);
        QCOMPARE(p.plotWidget("rawPlot_wdgt")->graph(0)->data()->at(1)->key, c.second);
    }
}

QTEST_MAIN(TabSetupTest)
#include "tst_tabsetup.moc"
