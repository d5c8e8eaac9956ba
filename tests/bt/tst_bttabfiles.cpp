// SPDX-License-Identifier: GPL-3.0-or-later
#include "BtTabFixture.h"

// Series, saved files and what the plot pages show.
class BtTabFilesTest : public QObject, BtTabFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(setUpCase()); }
    void init() { QVERIFY(startKit()); }
    void cleanup() { BtTabFixture::cleanup(); }

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

QTEST_MAIN(BtTabFilesTest)
#include "tst_bttabfiles.moc"
