// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KVserialSetup.h"
#include "app/MainWindow.h"
#include "bt/BtProtocol.h"
#include "bt/kv7310bt_tab.h"
#include "capture/DataFile.h"
#include "kit/RadarMath.h"
#include "sim/BtPtyServer.h"
#include "sim/VirtualKit.h"
#include "widgets/FolderChooser.h"
#include "widgets/Logging.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotMarkers.h"

#include "widgets/StartUpDelays.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include "support/ReplyForms.h"
#include "support/TopLevel.h"

#include <memory>

// The Bluetooth tab through the main window, a real pseudo-terminal and a virtual kit.
class BtTabTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<VirtualKit> kit;
    std::unique_ptr<BtPtyServer> server;
    std::unique_ptr<MainWindow> window;
    kv7310bt_tab *tab = nullptr;
    QTemporaryDir workDir;

    template <typename T> T *w(const char *name)
    {
        return tab->findChild<T *>(QLatin1String(name));
    }

    QStringList commands() const
    {
        QStringList out;
        for (const SimCommandRecord &r : kit->receivedLog())
            if (r.channel == SimChannel::Bluetooth)
                out << r.text;
        return out;
    }

    QStringList capturesSent() const { return commands().filter(QStringLiteral("CAPT:STRE")); }

    bool connectKit()
    {
        window = std::make_unique<MainWindow>();
        window->setWritePause(1); // as the tab's pause below
        window->configureBT();
        KVserialSetup *setup = visibleTopLevel<KVserialSetup>();
        if (!setup)
            return false;
        setup->findChild<QComboBox *>(QStringLiteral("availPorts_cmb"))
            ->setEditText(server->slavePath());
        setup->findChild<QPushButton *>(QStringLiteral("connect_btn"))->click();
        tab = window->findChild<kv7310bt_tab *>();
        if (tab)
            tab->setCommandPause(1); // the order of commands and waits is what counts here
        return tab != nullptr;
    }

    // The start-up queries are over once both frequencies have been asked for and answered.
    void waitForStartUp()
    {
        QTRY_VERIFY_WITH_TIMEOUT(commands().contains(QStringLiteral("SWEEP:FREQSTAR?$")), 3000);
        QTRY_VERIFY(!w<QLineEdit>("startFreq_txt")->text().isEmpty());
        kit->clearReceived();
    }

    static QVector<double> readFile(const QString &path)
    {
        QVector<double> data;
        return DataFile::read(path, &data) ? data : QVector<double>();
    }

private slots:
    void initTestCase()
    {
        // The start-up queries in their order, a tenth of their usual delays apart.
        StartUpDelays::setScale(0.1);
        QVERIFY(workDir.isValid());
        QDir::setCurrent(workDir.path());
    }

    void init()
    {
        kit = std::make_shared<VirtualKit>();
        server = std::make_unique<BtPtyServer>(kit);
        QVERIFY(server->start());
        QVERIFY(connectKit());
    }

    void cleanup()
    {
        FolderChooser::setDialog({});
        window.reset();
        server.reset();
        kit.reset();
        tab = nullptr;
    }

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

    void seriesSavesEachReplyUnderItsCommand()
    {
        waitForStartUp();
        QTemporaryDir out;
        FolderChooser::setDialog([&](QWidget *, const QString &) { return out.path(); });
        w<QPushButton>("browsCollection_btn")->click();
        QCOMPARE(w<QLineEdit>("saveFolderCapture_txt")->text(), out.path());
        w<QLineEdit>("numCaptures_txt")->setText(QStringLiteral("3"));
        QMetaObject::invokeMethod(tab, "on_numCaptures_txt_editingFinished");
        w<QLineEdit>("numSampleCapture_txt")->setText(QStringLiteral("64"));
        QMetaObject::invokeMethod(tab, "on_numSampleCapture_txt_editingFinished");
        w<QLineEdit>("captureInterval_txt")->setText(QStringLiteral("0.3"));

        QList<QVector<double>> frames;
        connect(window.get(), &MainWindow::msgReceived, this, [&](const QByteArray &m) {
            if (BtProtocol::parseReply(m).tag == BtProtocol::Tag::Data)
                frames << BtProtocol::decodeSamples(m);
        });
        w<QPushButton>("startCapture_btn")->click();
        w<QPushButton>("startCapture_btn")->click(); // ignored while the series runs
        QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 3, 5000);
        QTest::qWait(500);
        QCOMPARE(capturesSent().size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QString path = out.filePath(QStringLiteral("data%1.txt").arg(i));
            QVERIFY2(QFile::exists(path), qPrintable(path));
            QCOMPARE(DataFile::format(readFile(path)), DataFile::format(frames[i]));
        }
        QVERIFY(frames[0] != frames[1]);
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("data3.txt"))));
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

    void seriesWritesNoFileForALostReply()
    {
        waitForStartUp();
        QTemporaryDir out;
        FolderChooser::setDialog([&](QWidget *, const QString &) { return out.path(); });
        w<QPushButton>("browsCollection_btn")->click();
        w<QLineEdit>("numCaptures_txt")->setText(QStringLiteral("3"));
        QMetaObject::invokeMethod(tab, "on_numCaptures_txt_editingFinished");
        w<QLineEdit>("numSampleCapture_txt")->setText(QStringLiteral("32"));
        QMetaObject::invokeMethod(tab, "on_numSampleCapture_txt_editingFinished");
        w<QLineEdit>("captureInterval_txt")->setText(QStringLiteral("0.3"));

        // The kit goes silent for the second command only.
        QList<QVector<double>> frames;
        connect(window.get(), &MainWindow::msgReceived, this, [&](const QByteArray &m) {
            if (BtProtocol::parseReply(m).tag != BtProtocol::Tag::Data)
                return;
            frames << BtProtocol::decodeSamples(m);
            if (frames.size() == 1) {
                SimFaults f;
                f.noReply = true;
                kit->setFaults(f);
            }
        });
        w<QPushButton>("startCapture_btn")->click();
        // The kit decides on a reply as it logs the command: once the second is logged, the
        // third may be answered again.
        QTRY_COMPARE_WITH_TIMEOUT(capturesSent().size(), 2, 5000);
        kit->setFaults(SimFaults());
        QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 2, 5000);
        QTest::qWait(500);
        QCOMPARE(capturesSent().size(), 3);
        QCOMPARE(DataFile::format(readFile(out.filePath("data0.txt"))),
                 DataFile::format(frames[0]));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("data1.txt"))));
        QCOMPARE(DataFile::format(readFile(out.filePath("data2.txt"))),
                 DataFile::format(frames[1]));
    }

    void saveDataCreatesTheFolderAndKeepsItOnCancel()
    {
        waitForStartUp();
        w<QPushButton>("collect_btn")->click();
        QTRY_VERIFY(!tab->findChild<QCustomPlot *>(QStringLiteral("rawPlot_wdgt"))
                         ->graph(0)
                         ->data()
                         ->isEmpty());
        // The default folder "Data" does not exist in the fresh working directory.
        QVERIFY(!QDir(QStringLiteral("Data")).exists());
        w<QPushButton>("save_btn")->click();
        QCOMPARE(readFile(QStringLiteral("Data/data.txt")).size(), 1024);

        FolderChooser::setDialog([](QWidget *, const QString &) { return QString(); });
        w<QPushButton>("browse_btn")->click();
        QCOMPARE(w<QLineEdit>("saveLoc_txt")->text(), QStringLiteral("Data"));

        // A folder that cannot be made tells the user once.
        QFile blocker(QStringLiteral("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        FolderChooser::setDialog(
            [](QWidget *, const QString &) { return QStringLiteral("blocker/sub"); });
        w<QPushButton>("browse_btn")->click();
        w<QPushButton>("save_btn")->click();
        auto *dialog = tab->findChild<QDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!QFile::exists(QStringLiteral("blocker/sub/data.txt")));
    }

    // Folders typed by hand are used; the status bar says where each save went.
    void typedFoldersAreUsedAndSavesTold()
    {
        waitForStartUp();
        QSignalSpy status(tab, SIGNAL(captureStatus(QString)));
        QTemporaryDir out;
        const QString typed = out.filePath(QStringLiteral("typed"));
        w<QLineEdit>("saveLoc_txt")->setText(typed);
        w<QPushButton>("save_btn")->click();
        QVERIFY(QFile::exists(typed + QStringLiteral("/data.txt")));
        QCOMPARE(status.last().first().toString(),
                 QStringLiteral("Saved %1 (0 samples)").arg(typed + QStringLiteral("/data.txt")));
        w<QPushButton>("save_btn")->click();
        QVERIFY(status.last().first().toString().contains(QStringLiteral("replaced")));
        QVERIFY2(window->statusBar()->currentMessage().startsWith(QStringLiteral("Saved ")),
                 qPrintable(window->statusBar()->currentMessage()));

        const QString series = out.filePath(QStringLiteral("series"));
        w<QLineEdit>("saveFolderCapture_txt")->setText(series);
        w<QLineEdit>("numCaptures_txt")->setText(QStringLiteral("2"));
        QMetaObject::invokeMethod(tab, "on_numCaptures_txt_editingFinished");
        w<QLineEdit>("captureInterval_txt")->setText(QStringLiteral("0.3"));
        w<QPushButton>("startCapture_btn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(series + QStringLiteral("/data1.txt")), 5000);
        QVERIFY(QFile::exists(series + QStringLiteral("/collection.json")));
    }

    void statedFirmwareSetsTheSamplePeriod()
    {
        waitForStartUp();
        const int n = 1000;
        tab->parseBTmsg(VirtualKit::encodeBtFrame(QVector<quint16>(n, 30000), 1));
        auto *raw = tab->findChild<QCustomPlot *>(QStringLiteral("rawPlot_wdgt"));
        auto lastKey = [raw] { return (raw->graph(0)->data()->constEnd() - 1)->key; };
        QVERIFY(qAbs(lastKey() - (n - 1) * 5e-05) < 1e-12);
        // Firmware 1.1.0 samples every 45.05 us: the frame held is redrawn on that axis.
        w<QComboBox>("firmware_cmb")->setCurrentText(QStringLiteral("1.1.0"));
        QVERIFY(qAbs(lastKey() - (n - 1) * 4.505e-05) < 1e-12);
        QCOMPARE(w<QLabel>("samplePeriod_lbl")->text(), QStringLiteral("45.05 µs"));
        // The sidecar says what the axes used, with the marker set on the page.
        PlotMarkers::of(raw)->place(0.01);
        w<QPushButton>("save_btn")->click();
        FrameMeta::Meta meta;
        QCOMPARE(FrameMeta::read(QStringLiteral("Data/data.txt"), &meta),
                 FrameMeta::ReadResult::Ok);
        QCOMPARE(meta.kitFirmware, QStringLiteral("1.1.0"));
        QCOMPARE(meta.samplePeriodS, 4.505e-05);
        QCOMPARE(meta.markers.size(), 1);
        QVERIFY(qAbs(meta.markers.at(0).toObject().value(QStringLiteral("x")).toDouble() -
                     222 * 4.505e-05) < 1e-12);
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

    // Every header, odd byte, pace and piece size a kit may choose: the frame the window hands
    // on, and the file the tab saves, are what the kit sent.
    void everyReplyFormGivesTheFrameTheKitSent_data() { addReplyFormRows(); }

    void everyReplyFormGivesTheFrameTheKitSent()
    {
        QFETCH(SimReplyForm, form);
        waitForStartUp();
        kit->setReplyForm(form);
        QByteArrayList data;
        connect(window.get(), &MainWindow::msgReceived, this, [&data](const QByteArray &m) {
            if (BtProtocol::parseReply(m).tag == BtProtocol::Tag::Data)
                data << m;
        });
        QSignalSpy refused(tab, &kv7310bt_tab::errorMessage);
        w<QLineEdit>("numSamples_txt")->setText(QStringLiteral("64"));
        for (int frame = 1; frame <= 2; ++frame) {
            w<QPushButton>("collect_btn")->click();
            QTRY_COMPARE_WITH_TIMEOUT(data.size(), frame, 3000);
            const QVector<double> sent = sentVolts(*kit);
            QCOMPARE(sent.size(), 64);
            QCOMPARE(BtProtocol::decodeSamples(data.last()), sent);
            QCOMPARE(refused.count(), 0);

            QFile::remove(QStringLiteral("Data/data.txt"));
            w<QPushButton>("save_btn")->click();
            QFile file(QStringLiteral("Data/data.txt"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QStringList expected;
            for (double v : sent)
                expected << QString::number(v, 'g', 6);
            QCOMPARE(QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts), expected);
        }
    }

    // The four pages' axes from the radar equations: a 1000 Hz tone sampled every 50 us is a
    // target at f c / (2 |slope|) on the Range page and a mover at f c / (2 f0) on the Doppler
    // page; the raw page's axis is in seconds.
    void pagesPutAToneOnItsAxes_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("stop");
        QTest::newRow("up-chirp") << QByteArray("24.1") << QByteArray("24.35");
        QTest::newRow("down-chirp") << QByteArray("24.35") << QByteArray("24.1");
    }

    void pagesPutAToneOnItsAxes()
    {
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, stop);
        waitForStartUp();
        tab->parseBTmsg("STARTF:" + start + ":END\r\n");
        tab->parseBTmsg("STOPF:" + stop + ":END\r\n");
        tab->parseBTmsg("RAMP:2:END\r\n");
        tab->parseBTmsg("TYPE:3:END\r\n"); // velocities mean something in Continuous Wave only
        const int n = 1000;
        const double f = 1000.0, ts = 5e-05;
        QVector<quint16> counts(n);
        for (int k = 0; k < n; ++k)
            counts[k] = RadarMath::voltsToCount(0.5 * std::cos(2 * M_PI * f * k * ts));
        tab->parseBTmsg(VirtualKit::encodeBtFrame(counts, 1));

        const double slope = 0.25e9 / 2e-3;
        const double f0 = start.toDouble() * 1e9;
        const double binHz = 20000.0 / (7 * n);
        const struct
        {
            const char *plot;
            double expected;
            double bin;
            const char *label;
        } pages[] = {
            {"spectrum_wdgt", f, binHz, "Frequency (Hz)"},
            {"rangeSpectrum_wdgt", f * 3e8 / (2 * slope), binHz * 3e8 / (2 * slope), "Range (m)"},
            {"dopplerPlot_wdgt", f * 3e8 / (2 * f0), binHz * 3e8 / (2 * f0),
             "Radial Velocity (m/s)"}};
        for (int page = 1; page <= 3; ++page) {
            w<QTabWidget>("plot_tab")->setCurrentIndex(page);
            auto *plot = tab->findChild<QCustomPlot *>(QLatin1String(pages[page - 1].plot));
            QCOMPARE(plot->xAxis->label(), QLatin1String(pages[page - 1].label));
            double bestKey = 0, bestValue = -1e300;
            for (const QCPGraphData &d : *plot->graph(0)->data())
                if (d.value > bestValue)
                    bestValue = d.value, bestKey = d.key;
            QVERIFY2(qAbs(bestKey - pages[page - 1].expected) <= 0.5 * pages[page - 1].bin,
                     qPrintable(QStringLiteral("%1: %2").arg(page).arg(bestKey)));
            auto *readout = plot->parentWidget()->findChild<PeakReadout *>();
            QVERIFY(readout && !readout->rows().empty());
            QVERIFY(qAbs(readout->rows().front().position - pages[page - 1].expected) <=
                    0.1 * pages[page - 1].bin);
        }
        // In an FMCW sweep the Doppler page says so instead of listing speeds.
        tab->parseBTmsg("TYPE:2:END\r\n");
        w<QTabWidget>("plot_tab")->setCurrentIndex(0);
        w<QTabWidget>("plot_tab")->setCurrentIndex(3);
        auto *doppler = tab->findChild<QCustomPlot *>(QStringLiteral("dopplerPlot_wdgt"));
        auto *dopplerReadout = doppler->parentWidget()->findChild<PeakReadout *>();
        QVERIFY(dopplerReadout->rows().empty());
        QVERIFY(dopplerReadout->findChild<QLabel *>(QStringLiteral("peakNote_lbl"))
                    ->text()
                    .contains(QStringLiteral("Continuous Wave")));
        w<QTabWidget>("plot_tab")->setCurrentIndex(0);
        auto *raw = tab->findChild<QCustomPlot *>(QStringLiteral("rawPlot_wdgt"));
        QCOMPARE(raw->xAxis->label(), QStringLiteral("Time (s)"));
        QCOMPARE(raw->graph(0)->data()->size(), n);
        QVERIFY(qAbs((raw->graph(0)->data()->constEnd() - 1)->key - (n - 1) * ts) < 1e-12);
    }

    void rangePageShowsATargetWhereItIs()
    {
        kit->setTargets({SimTarget{2.0, 0.0, 0.8, 0.0}});
        kit->setNoiseVrms(0.001);
        SimSweep sweep = kit->sweep(); // a ramp longer than the frame: one clean tone
        sweep.stopGHz = 26.0;
        sweep.rampMs = 60.0;
        kit->setSweep(sweep);
        waitForStartUp();
        w<QTabWidget>("plot_tab")->setCurrentIndex(2);
        w<QPushButton>("collect_btn")->click();
        auto *plot = tab->findChild<QCustomPlot *>(QStringLiteral("rangeSpectrum_wdgt"));
        QTRY_VERIFY(!plot->graph(0)->data()->isEmpty());
        const auto data = plot->graph(0)->data();
        double bestKey = 0, bestValue = -1e300;
        for (auto it = data->constBegin(); it != data->constEnd(); ++it)
            if (it->value > bestValue)
                bestValue = it->value, bestKey = it->key;
        // 1024 samples at 20 kHz padded to 7168; 2 GHz in 60 ms.
        const double binMetres = 20000.0 / 7168 * 3e8 / (2 * 2e9 / 60e-3);
        QVERIFY2(qAbs(bestKey - 2.0) <= binMetres, qPrintable(QString::number(bestKey)));
        QCOMPARE(plot->xAxis->label(), QStringLiteral("Range (m)"));
    }
};

QTEST_MAIN(BtTabTest)
#include "tst_bttab.moc"
