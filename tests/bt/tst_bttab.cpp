// SPDX-License-Identifier: GPL-3.0-or-later
#include "BtTabFixture.h"

// Set-up, replies and frame requests, through the form and the bytes on the wire.
class BtTabTest : public QObject, BtTabFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(setUpCase()); }
    void init() { QVERIFY(startKit()); }
    void cleanup() { BtTabFixture::cleanup(); }

    void startUpAsksInOrderAndFillsTheFields()
    {
        QTRY_COMPARE_WITH_TIMEOUT(commands().size(), 5, 3000);
        QCOMPARE(commands(), (QStringList{"POWE:RF?$", "SWEEP:RAMPTIME?$", "SWEEP:TYPE?$",
                                          "SWEEP:FREQSTOP?$", "SWEEP:FREQSTAR?$"}));
        QTRY_COMPARE(w<QLineEdit>("startFreq_txt")->text().toDouble(), 24.0);
        QCOMPARE(w<QLineEdit>("stopFreq_txt")->text().toDouble(), 24.25);
        QCOMPARE(w<QLineEdit>("ramptime_txt")->text().toDouble(), 1.0);
        QVERIFY(w<QRadioButton>("twoWayCont_rdbtn")->isChecked());
        QCOMPARE(w<QPushButton>("rf_power_btn")->styleSheet(),
                 QStringLiteral("*{background-color:green}"));
        // tune() sends nothing.
        QTest::qWait(200);
        QCOMPARE(commands().size(), 5);
    }

    void sweepTypeClickSetsTypeThenStarts()
    {
        waitForStartUp();
        w<QRadioButton>("twoWaySingle_rdbtn")->click();
        QTRY_COMPARE(commands(), (QStringList{"SWEEP:TYPE 1$", "SWEEP:START$"}));
        QCOMPARE(kit->sweep().type, 1);

        // A "TYPE" reply checks its button and sends nothing.
        tab->parseBTmsg("TYPE:3:END\r\n");
        QVERIFY(w<QRadioButton>("continuousWave_rdbtn")->isChecked());
        tab->parseBTmsg("TYPE:x:END\r\n");
        QVERIFY(w<QRadioButton>("oneWaySingle_rdbtn")->isChecked());
        QTest::qWait(150);
        QCOMPARE(commands().size(), 2);
    }

    void rfPowerFollowsTheKit()
    {
        waitForStartUp();
        auto *rf = w<QPushButton>("rf_power_btn");
        tab->parseBTmsg("RFPOW:0:END\r\n");
        QCOMPARE(rf->styleSheet(), QStringLiteral("*{background-color:red}"));
        const_cast<QLoggingCategory &>(lcBt()).setEnabled(QtDebugMsg, true);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^received: ")));
        QTest::ignoreMessage(QtDebugMsg, "rfPowerCheck: bad return value");
        tab->parseBTmsg("RFPOW:7:END\r\n");
        const_cast<QLoggingCategory &>(lcBt()).setEnabled(QtDebugMsg, false);
        QCOMPARE(rf->styleSheet(), QStringLiteral("*{background-color:red}"));

        rf->click(); // rfOn is false: switch on, then ask
        QTRY_COMPARE(commands(), (QStringList{"POWE:RF 1$", "POWE:RF?$"}));
        QTRY_COMPARE(rf->styleSheet(), QStringLiteral("*{background-color:green}"));
        rf->click();
        QTRY_COMPARE(commands().mid(2), (QStringList{"POWE:RF 0$", "POWE:RF?$"}));
        QTRY_COMPARE(rf->styleSheet(), QStringLiteral("*{background-color:red}"));
    }

    void setFrequenciesAndRampThenReadBack()
    {
        waitForStartUp();
        w<QLineEdit>("startFreq_txt")->setText(QStringLiteral("24.05"));
        w<QLineEdit>("stopFreq_txt")->setText(QStringLiteral("24.2"));
        w<QPushButton>("setFreqs_btn")->click();
        QTRY_COMPARE(commands(), (QStringList{"SWEEP:FREQSTAR 24.05$", "SWEEP:FREQSTOP 24.2$",
                                              "SWEEP:FREQSTOP?$", "SWEEP:FREQSTAR?$"}));
        QTRY_COMPARE(w<QLineEdit>("startFreq_txt")->text().toDouble(), 24.05);
        w<QLineEdit>("ramptime_txt")->setText(QStringLiteral("2"));
        w<QPushButton>("setRamp_btn")->click();
        QTRY_COMPARE(commands().mid(4), (QStringList{"SWEEP:RAMPTIME 2$", "SWEEP:RAMPTIME?$"}));
        QCOMPARE(kit->sweep().rampMs, 2.0);
    }

    void sampleCountCheck()
    {
        waitForStartUp();
        auto *field = w<QLineEdit>("numSampleCapture_txt");
        field->setText(QStringLiteral("12.5"));
        QMetaObject::invokeMethod(tab, "on_numSampleCapture_txt_editingFinished");
        auto *dialog = tab->findChild<QDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("label"))->text(),
                 QStringLiteral(
                     "Number of samples must be an integer greater than zero and less than 4097"));
        // A refused entry gives way to the last good count.
        QCOMPARE(field->text(), QStringLiteral("1024"));
        dialog->hide();
        field->setText(QStringLiteral("-3"));
        QMetaObject::invokeMethod(tab, "on_numSampleCapture_txt_editingFinished");
        QVERIFY(dialog->isVisible());
        QCOMPARE(field->text(), QStringLiteral("1024"));
        dialog->hide();

        // Capture with a refused count: told, nothing sent; above 4096 is cut to 4096.
        w<QLineEdit>("numSamples_txt")->setText(QStringLiteral("abc"));
        w<QPushButton>("collect_btn")->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(w<QLineEdit>("numSamples_txt")->text(), QStringLiteral("1024"));
        QVERIFY(capturesSent().isEmpty());
        dialog->hide();

        // The series asks for the last good count.
        w<QLineEdit>("numCaptures_txt")->setText(QStringLiteral("1"));
        QMetaObject::invokeMethod(tab, "on_numCaptures_txt_editingFinished");
        w<QCheckBox>("saveData_ckbx")->click();
        // A negative interval runs the steps at once, so a series whose reply never comes still
        // ends and the next one starts.
        SimFaults quiet;
        quiet.noReply = true;
        kit->setFaults(quiet);
        w<QLineEdit>("captureInterval_txt")->setText(QStringLiteral("-1"));
        w<QPushButton>("startCapture_btn")->click();
        QTRY_COMPARE(capturesSent(), QStringList{"CAPT:STRE 1024$"});

        QTest::qWait(300);
        w<QPushButton>("startCapture_btn")->click();
        QTRY_COMPARE(capturesSent().size(), 2);
    }

    void badDataReplyIsDroppedWithAMessage()
    {
        waitForStartUp();
        w<QLineEdit>("numSamples_txt")->setText(QStringLiteral("64"));
        auto *raw = tab->findChild<QCustomPlot *>(QStringLiteral("rawPlot_wdgt"));
        w<QPushButton>("collect_btn")->click();
        QTRY_COMPARE_WITH_TIMEOUT(raw->graph(0)->data()->size(), 64, 3000);
        const double firstValue = raw->graph(0)->data()->at(5)->value;

        QByteArrayList arrived;
        connect(window.get(), &MainWindow::msgReceived, this,
                [&](const QByteArray &m) { arrived << m; });
        SimFaults faults;
        faults.btFrameFault = SimBtFrameFault::TruncatedPayload;
        kit->setFaults(faults);
        w<QPushButton>("collect_btn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->statusBar()->currentMessage().contains(
                                     QStringLiteral("ERROR: frame 2 incomplete: 32 of 64 samples")),
                                 3000);
        QCOMPARE(arrived.size(), 1);                 // the console and the tab saw what arrived
        QCOMPARE(raw->graph(0)->data()->size(), 64); // the last good frame stays on show
        QCOMPARE(raw->graph(0)->data()->at(5)->value, firstValue);

        w<QPushButton>("collect_btn")->click(); // the kit is well again
        QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 2, 3000);
        QTRY_VERIFY(raw->graph(0)->data()->at(5)->value != firstValue);
    }

    void reconnectAfterThePortVanished()
    {
        // A link name of our own stands for the port name the system gives the kit again.
        cleanup();
        kit = std::make_shared<VirtualKit>();
        server = std::make_unique<BtPtyServer>(kit);
        QVERIFY(server->start());
        const QString link = workDir.filePath(QStringLiteral("ttyKIT"));
        QFile::remove(link);
        QVERIFY(QFile::link(server->slavePath(), link));
        window = std::make_unique<MainWindow>();
        window->setWritePause(1); // as the tab's pause below
        window->configureBT();
        KVserialSetup *setup = visibleTopLevel<KVserialSetup>();
        QVERIFY(setup);
        setup->findChild<QComboBox *>(QStringLiteral("availPorts_cmb"))->setEditText(link);
        setup->findChild<QPushButton *>(QStringLiteral("connect_btn"))->click();
        tab = window->findChild<kv7310bt_tab *>();
        QVERIFY(tab);
        tab->setCommandPause(1);
        waitForStartUp();
        auto *reconnect = window->findChild<QPushButton *>(QStringLiteral("reconnect_btn"));
        QVERIFY(reconnect);
        QVERIFY(reconnect->isHidden());

        server.reset(); // the kit goes away
        QTRY_VERIFY_WITH_TIMEOUT(
            window->statusBar()->currentMessage().contains(QStringLiteral("ERROR: port closed")),
            3000);
        QVERIFY(!reconnect->isHidden());

        kit = std::make_shared<VirtualKit>();
        server = std::make_unique<BtPtyServer>(kit);
        QVERIFY(server->start());
        QFile::remove(link);
        QVERIFY(QFile::link(server->slavePath(), link));
        reconnect->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Connected over BT"));
        QVERIFY(reconnect->isHidden());

        w<QLineEdit>("numSamples_txt")->setText(QStringLiteral("16"));
        w<QPushButton>("collect_btn")->click();
        auto *raw = tab->findChild<QCustomPlot *>(QStringLiteral("rawPlot_wdgt"));
        QTRY_COMPARE_WITH_TIMEOUT(raw->graph(0)->data()->size(), 16, 3000);
    }

    void continuousCaptureStopsVisiblyWhenTheKitGoesQuiet()
    {
        waitForStartUp();
        w<QLineEdit>("numSamples_txt")->setText(QStringLiteral("16"));
        auto *button = w<QPushButton>("continuousCapture_btn");
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Stop Capture"));
        w<QPushButton>("collect_btn")->click();
        QTRY_VERIFY(capturesSent().size() >= 3); // the loop runs through the kit
        SimFaults quiet;
        quiet.noReply = true;
        kit->setFaults(quiet);
        QTRY_VERIFY_WITH_TIMEOUT(!button->isChecked(), 4000);
        QCOMPARE(button->text(), QStringLiteral("Start Continuous Capture"));
        QVERIFY(tab->findChild<QDialog *>()->isVisible());
        const int sent = capturesSent().size();
        QTest::qWait(300);
        QCOMPARE(capturesSent().size(), sent);
    }

    // One request per frame, whatever the user does meanwhile: a slow kit's reply is awaited
    // through page switches and clicks on "Collect and Plot".
    void continuousCaptureAsksOncePerFrame()
    {
        waitForStartUp();
        SimReplyForm slow;
        slow.replyDelayMs = 300;
        kit->setReplyForm(slow);
        int frames = 0;
        connect(window.get(), &MainWindow::msgReceived, this, [&frames](const QByteArray &m) {
            frames += BtProtocol::parseReply(m).tag == BtProtocol::Tag::Data;
        });
        w<QLineEdit>("numSamples_txt")->setText(QStringLiteral("16"));
        w<QPushButton>("continuousCapture_btn")->click();
        w<QPushButton>("collect_btn")->click();
        for (int frame = 1; frame <= 3; ++frame) {
            QTRY_COMPARE_WITH_TIMEOUT(frames, frame, 3000);
            QTRY_COMPARE(capturesSent().size(), frame + 1); // the next frame's request
            for (int page = 0; page < 6; ++page) {
                w<QTabWidget>("plot_tab")->setCurrentIndex((page + frame) % 4);
                QTest::qWait(10);
            }
            w<QPushButton>("collect_btn")->click();
            QTest::qWait(20);
            QCOMPARE(capturesSent().size(), frame + 1);
        }
        w<QPushButton>("continuousCapture_btn")->click();
        QTRY_COMPARE_WITH_TIMEOUT(frames, 4, 3000);
        QTest::qWait(50);
        QCOMPARE(capturesSent().size(), 4);
    }
};

QTEST_MAIN(BtTabTest)
#include "tst_bttab.moc"
