// SPDX-License-Identifier: GPL-3.0-or-later
// Capture through the radar tab: Collect and Plot, history and average, continuous capture,
// timed collections and the data files, against a virtual kit through the command layer.
#include "TabProbe.h"
#include "support/FrameFiles.h"
#include "support/RadarTestSupport.h"

#include "capture/DataFile.h"
#include "widgets/FolderChooser.h"

#include <QDir>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QVector<double> readFile(const QString &path)
{
    QVector<double> data;
    DataFile::read(path, &data);
    return data;
}

} // namespace

class TabCaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void collectAndPlot_data();
    void collectAndPlot();
    void historyAndAverage();
    void continuousCaptureRunsAndStops();
    void continuousCaptureStopsVisiblyWhenTheKitGoesAway();
    void collectionWritesNumberedFiles();
    void startCollectionBecomesAStop();
    void collectionStartedDuringASingleFrameRuns();
    void collectionStopsWhenTheKitGoesAway();
    void replugOnAnotherPortIsFoundBySerial();
    void sampleCountField_data();
    void sampleCountField();
    void saveCreatesTheFolderAndTellsOnFailure();
    void cancelledDialogsKeepTheFolders();
    void loadPlaysFilesInTurn();
    void badEntriesAreToldAndKeepTheFrame();

private:
    TR7310_tabProbe probe() { return TR7310_tabProbe(*tab); }
    bool bracketClosed()
    {
        return sim->usb.openConnection(sim->target()) == 0 && sim->usb.closeConnection() == 0;
    }
    void setCollection(const QString &folder, const QString &name, int count,
                       const QString &interval);

    QTemporaryDir work;
    QString previousDir;
    std::unique_ptr<SimKits> sim;
    std::unique_ptr<TR7310_tab> tab;
    QString chosenFolder;
    QStringList chosenFiles;
};

void TabCaptureTest::initTestCase()
{
    quickStartUp();
    QVERIFY(work.isValid());
    previousDir = QDir::currentPath();
    QDir::setCurrent(work.path()); // the default folder "Data" is relative to the working directory
    sim = std::make_unique<SimKits>();
    sim->kit().clearReceived();
    tab = std::make_unique<TR7310_tab>(&sim->usb, sim->target(), QStringLiteral("1.0.0"),
                                       QStringLiteral("KV7310"), QStringLiteral("SIM0001"));
    tab->setTunePause([](int) {});
    FolderChooser::setDialog([this](QWidget *, const QString &caption) {
        return caption == QLatin1String("Save in...") ? chosenFolder : QString();
    });
    tab->setFilesChooser([this](QWidget *, const QString &caption) {
        return caption == QLatin1String("Load Data...") ? chosenFiles : QStringList();
    });
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim->kit()), 5000);
}

void TabCaptureTest::cleanupTestCase()
{
    FolderChooser::setDialog({});
    tab.reset();
    sim.reset();
    QDir::setCurrent(previousDir);
}

void TabCaptureTest::init()
{
    sim->kit().clearReceived();
    probe().dismissMessage();
}

void TabCaptureTest::collectAndPlot_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("queries");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QString>("fieldAfter");
    QTest::newRow("1024") << "1024" << 1024 << 34 << 1024 << "1024";
    QTest::newRow("31") << "31" << 31 << 2 << 31 << "31";
    QTest::newRow("5000 is cut to 4096") << "5000" << 4096 << 133 << 4096 << "4096";
    // Refused (sent -1): nothing goes to the kit and the field shows the last count used.
    QTest::newRow("0") << "0" << -1 << 0 << 0 << "4096";
    QTest::newRow("-40") << "-40" << -1 << 0 << 0 << "4096";
    QTest::newRow("text") << "abc" << -1 << 0 << 0 << "4096";
}

void TabCaptureTest::collectAndPlot()
{
    QFETCH(QString, typed);
    QFETCH(int, sent);
    QFETCH(int, queries);
    QFETCH(int, samples);
    QFETCH(QString, fieldAfter);
    TR7310_tabProbe p = probe();
    p.setText("numSamples_txt", typed);
    const QVector<double> before = p.samples();
    QTest::keyClick(p.w<QLineEdit>("numSamples_txt"), Qt::Key_Return); // Return collects
    QVERIFY(p.settle());
    if (sent < 0) {
        QVERIFY(sim->received().isEmpty());
        QVERIFY(p.messageShown());
        QVERIFY(p.message().contains(QStringLiteral("less than 4097")));
        QCOMPARE(p.samples(), before);
        QCOMPARE(p.text("numSamples_txt"), fieldAfter);
        p.setText("numSamples_txt", QStringLiteral("1024"));
        return;
    }
    QCOMPARE(sim->received().value(0), QStringLiteral("CAPT:FRAM %1").arg(sent));
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM?")), queries);
    QCOMPARE(sim->received().size(), queries + 1);
    QCOMPARE(p.samples().size(), samples);
    QCOMPARE(p.text("numSamples_txt"), fieldAfter);
    for (double v : p.samples())
        QVERIFY(v >= -2.5 && v <= 2.5);
    QVERIFY(bracketClosed());
    p.setText("numSamples_txt", QStringLiteral("1024"));
}

void TabCaptureTest::historyAndAverage()
{
    // Mean of ten: the first frame shares the mean with nine frames of zeros, so it shows at a
    // tenth of the kit's ±2.5 V at most; its sidecar says how it was averaged.
    TR7310_tabProbe p = probe();
    p.w<QCheckBox>("capAverage_btn")->click();
    p.setText("numSamples_txt", QStringLiteral("1024"));
    p.click("collect_btn");
    QCOMPARE(p.samples().size(), 1024);
    for (double v : p.samples())
        QVERIFY(qAbs(v) <= 0.25 + 1e-12);
    QCOMPARE(tab->shownMeta().averaging, FrameMeta::Averaging::MeanOfTen);

    // A new length starts the history again from zeros: a tenth again.
    p.setText("numSamples_txt", QStringLiteral("512"));
    p.click("collect_btn");
    QCOMPARE(p.samples().size(), 512);
    for (double v : p.samples())
        QVERIFY(qAbs(v) <= 0.25 + 1e-12);

    QMetaObject::invokeMethod(tab.get(), "on_subtractAverage_ckbx_clicked", Q_ARG(bool, true));
    p.click("collect_btn");
    QCOMPARE(tab->shownMeta().averaging, FrameMeta::Averaging::MinusMeanOfTen);

    QMetaObject::invokeMethod(tab.get(), "on_subtractAverage_ckbx_clicked", Q_ARG(bool, false));
    p.w<QCheckBox>("capAverage_btn")->click();
    p.click("collect_btn");
    QCOMPARE(tab->shownMeta().averaging, FrameMeta::Averaging::None);
    p.setText("numSamples_txt", QStringLiteral("1024"));
    QVERIFY(bracketClosed());
}

void TabCaptureTest::continuousCaptureRunsAndStops()
{
    TR7310_tabProbe p = probe();
    p.setText("numSamples_txt", QStringLiteral("62"));
    QPushButton *button = p.w<QPushButton>("continuousCapture_btn");
    button->click();
    QVERIFY(button->isChecked());
    QCOMPARE(button->text(), QStringLiteral("Stop Capture"));
    QVERIFY(p.continuousCapture());
    QTRY_VERIFY(sim->count(QStringLiteral("CAPT:FRAM 62")) >= 5);
    // Page switches plot as well; they must not start further capture chains.
    for (int page : {1, 2, 3, 0, 1, 0})
        p.showPage(page);

    button->click();
    QCOMPARE(button->text(), QStringLiteral("Start Continuous Capture"));
    QVERIFY(!p.continuousCapture());
    const int atStop = sim->count(QStringLiteral("CAPT:FRAM 62"));
    QTest::qWait(20); // a capture armed before the click may still come, once
    const int frames = sim->count(QStringLiteral("CAPT:FRAM 62"));
    QVERIFY(frames <= atStop + 1);
    QTest::qWait(50);
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM 62")), frames);
    QVERIFY(!p.messageShown());
    QVERIFY(bracketClosed());
    p.setText("numSamples_txt", QStringLiteral("1024"));
}

void TabCaptureTest::continuousCaptureStopsVisiblyWhenTheKitGoesAway()
{
    TR7310_tabProbe p = probe();
    p.setText("numSamples_txt", QStringLiteral("62"));
    QPushButton *button = p.w<QPushButton>("continuousCapture_btn");
    button->click();
    QTRY_VERIFY(sim->count(QStringLiteral("CAPT:FRAM 62")) >= 3);
    sim->kit().disconnect();
    QTRY_VERIFY(!button->isChecked());
    QCOMPARE(button->text(), QStringLiteral("Start Continuous Capture"));
    QVERIFY(!p.continuousCapture());
    QVERIFY(p.messageShown());
    QVERIFY(p.message().contains(QStringLiteral("Continuous capture stopped")));
    sim->kit().reconnect();

    // A count that cannot be sent stops it the same way, before anything is sent.
    p.dismissMessage();
    sim->kit().clearReceived();
    p.setText("numSamples_txt", QStringLiteral("-40"));
    button->click();
    QTRY_VERIFY(!button->isChecked());
    QVERIFY(p.messageShown());
    QVERIFY(p.message().contains(QStringLiteral("less than 4097")));
    QVERIFY(sim->received().isEmpty());
    p.setText("numSamples_txt", QStringLiteral("1024"));
    QVERIFY(bracketClosed());
}

void TabCaptureTest::setCollection(const QString &folder, const QString &name, int count,
                                   const QString &interval)
{
    TR7310_tabProbe p = probe();
    chosenFolder = folder;
    p.click("browsCollection_btn");
    QCOMPARE(p.text("saveFolderCapture_txt"), folder);
    p.finishEditing("saveNameCapture_txt", name);
    p.finishEditing("numCaptures_txt", QString::number(count));
    p.finishEditing("captureInterval_txt", interval);
    p.finishEditing("numSampleCapture_txt", QStringLiteral("1024"));
}

void TabCaptureTest::collectionWritesNumberedFiles()
{
    TR7310_tabProbe p = probe();
    const QString folder = work.filePath(QStringLiteral("runs"));
    setCollection(folder, QStringLiteral("run.dat"), 3, QStringLiteral("0"));
    p.click("startCapture_btn");
    QTRY_VERIFY(!p.collectionRunning());
    // Each frame has its sidecar, and the folder its index.
    QCOMPARE(QDir(folder).entryList(QDir::Files),
             (QStringList{"collection.json", "run0.dat", "run0.dat.json", "run1.dat",
                          "run1.dat.json", "run2.dat", "run2.dat.json"}));
    for (const QString &f : QDir(folder).entryList({QStringLiteral("*.dat")}, QDir::Files))
        QCOMPARE(readFile(folder + QLatin1Char('/') + f).size(), 1024);
    // The last file holds the frame the tab shows, to the file's six digits.
    const QVector<double> last = readFile(folder + QStringLiteral("/run2.dat"));
    QVERIFY(qAbs(last[10] - p.samples()[10]) < 1e-5);
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM 1024")), 3);
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM?")), 3 * 34);
    QCOMPARE(p.w<QProgressBar>("collectionProgress_wdgt")->value(), 3);
    QVERIFY2(!p.messageShown(), qPrintable(p.message()));
    QVERIFY(bracketClosed());

    // Without "Save Data" the captures run and nothing is written.
    p.w<QCheckBox>("saveData_ckbx")->click();
    setCollection(work.filePath(QStringLiteral("nosave")), QStringLiteral("x.dat"), 2,
                  QStringLiteral("0"));
    p.click("startCapture_btn");
    QTRY_VERIFY(!p.collectionRunning());
    QVERIFY(!QDir(work.filePath(QStringLiteral("nosave"))).exists());
    p.w<QCheckBox>("saveData_ckbx")->click();
}

void TabCaptureTest::startCollectionBecomesAStop()
{
    TR7310_tabProbe p = probe();
    const QString folder = work.filePath(QStringLiteral("twice"));
    setCollection(folder, QStringLiteral("data.txt"), 3, QStringLiteral("0.4"));
    auto *button = p.w<QPushButton>("startCapture_btn");
    p.click("startCapture_btn");
    QCOMPARE(button->text(), QStringLiteral("Stop Collection"));
    QCOMPARE(p.w<QProgressBar>("collectionProgress_wdgt")->text(), QStringLiteral("1/3"));
    p.click("startCapture_btn"); // stops the run before its next step
    QVERIFY(!p.collectionRunning());
    QCOMPARE(button->text(), QStringLiteral("Start Collection"));
    QTest::qWait(600);
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM 1024")), 1);
    QCOMPARE(frameFiles(folder), QStringList{"data0.txt"});

    // Starting again goes on with the next number; nothing is written over.
    p.click("startCapture_btn");
    QTRY_VERIFY(!p.collectionRunning());
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM 1024")), 3);
    QCOMPARE(frameFiles(folder), (QStringList{"data0.txt", "data1.txt", "data2.txt"}));
}

void TabCaptureTest::collectionStartedDuringASingleFrameRuns()
{
    // Collect and Plot's frame is still on the wire when the collection starts: its first step
    // waits for that frame, then the collection runs to its end.
    TR7310_tabProbe p = probe();
    const QString folder = work.filePath(QStringLiteral("behind"));
    setCollection(folder, QStringLiteral("data.txt"), 2, QStringLiteral("0"));
    p.setText("numSamples_txt", QStringLiteral("2048"));
    p.w<QPushButton>("collect_btn")->click();
    p.w<QPushButton>("startCapture_btn")->click();
    QVERIFY(p.collectionRunning());
    QTRY_VERIFY(!p.collectionRunning());
    QCOMPARE(p.samples().size(), 1024);
    QCOMPARE(sim->count(QStringLiteral("CAPT:FRAM 2048")), 1);
    QCOMPARE(frameFiles(folder), (QStringList{"data0.txt", "data1.txt"}));
    p.setText("numSamples_txt", QStringLiteral("1024"));
}

void TabCaptureTest::collectionStopsWhenTheKitGoesAway()
{
    TR7310_tabProbe p = probe();
    const QString folder = work.filePath(QStringLiteral("lost"));
    setCollection(folder, QStringLiteral("data.txt"), 5, QStringLiteral("0.2"));
    p.click("startCapture_btn");
    QTRY_VERIFY(frameFiles(folder).size() >= 2);
    sim->kit().disconnect();
    QTRY_VERIFY(!p.collectionRunning());
    const int done = p.w<QProgressBar>("collectionProgress_wdgt")->value();
    QVERIFY(done >= 2 && done < 5);
    // No file for the capture that did not happen (a frame cut short by the unplug is a gap),
    // and the user is told.
    const int filesBefore = int(frameFiles(folder).size());
    QVERIFY(filesBefore <= done && filesBefore >= done - 1);
    QVERIFY(p.messageShown());
    QVERIFY(p.message().contains(QStringLiteral("stopped after %1 of 5").arg(done)));

    // A kit that opens but stops answering mid-frame leaves gaps: no file for those steps, a
    // message each, and the run goes on to its end.
    sim->kit().reconnect();
    SimFaults silent;
    silent.noReply = true;
    sim->kit().setFaults(silent);
    QSignalSpy refused(&p.t, SIGNAL(errorMessage(QString)));
    p.click("startCapture_btn");
    QTRY_VERIFY(!p.collectionRunning());
    QCOMPARE(frameFiles(folder).size(), filesBefore);
    QCOMPARE(refused.size(), 5 - done);
    QVERIFY(refused.first().first().toString().contains(QStringLiteral("not answering")));
    sim->kit().setFaults(SimFaults());
    QVERIFY(bracketClosed());
}

void TabCaptureTest::replugOnAnotherPortIsFoundBySerial()
{
    TR7310_tabProbe p = probe();
    QSignalSpy errors(&p.t, SIGNAL(errorMessage(QString)));
    p.setText("numSamples_txt", QStringLiteral("100"));
    SimUsbBus::global().replugElsewhere(sim->kits.at(0));
    p.click("collect_btn");
    QVERIFY(p.settle());
    QCOMPARE(p.samples().size(), 100); // the next operation reached the kit on its new port
    QVERIFY(errors.isEmpty());

    // Gone for good: the status bar names the kit.
    sim->kit().disconnect();
    p.click("collect_btn");
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors.first().first().toString(), QStringLiteral("kit SN:SIM0001 not found"));
    sim->kit().reconnect();
    p.setText("numSamples_txt", QStringLiteral("1024"));
}

void TabCaptureTest::sampleCountField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("message");
    QTest::newRow("4096") << "4096"
                          << "4096" << false;
    QTest::newRow("1") << "1"
                       << "1" << false;
    // Refused entries give way to the last good count (1024); a larger count is cut to 4096.
    QTest::newRow("12.5") << "12.5"
                          << "1024" << true;
    QTest::newRow("-2.5") << "-2.5"
                          << "1024" << true;
    QTest::newRow("abc") << "abc"
                         << "1024" << true;
    QTest::newRow("5000") << "5000"
                          << "4096" << true;
    QTest::newRow("0") << "0"
                       << "1024" << true;
}

void TabCaptureTest::sampleCountField()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, message);
    TR7310_tabProbe p = probe();
    p.finishEditing("numSampleCapture_txt", typed);
    QCOMPARE(p.text("numSampleCapture_txt"), shown);
    QCOMPARE(p.messageShown(), message);
    if (message)
        QCOMPARE(p.message(),
                 QStringLiteral(
                     "Number of samples must be an integer greater than zero and less than 4097"));
    p.finishEditing("numSampleCapture_txt", QStringLiteral("1024"));
}

void TabCaptureTest::saveCreatesTheFolderAndTellsOnFailure()
{
    TR7310_tabProbe p = probe();
    QVERIFY(!QDir(QStringLiteral("Data")).exists()); // a fresh start has no save folder
    p.show({-2.5, 0, 2.5});
    p.click("save_btn");
    QFile f(QStringLiteral("Data/data.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("-2.5\n0\n2.5\n"));
    QVERIFY(!p.messageShown());

    // A folder that cannot be made (below a regular file): the user hears of it.
    QFile plain(work.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    chosenFolder = work.filePath(QStringLiteral("plain/sub"));
    p.click("browse_btn");
    QCOMPARE(p.text("saveLoc_txt"), chosenFolder);
    p.click("save_btn");
    QVERIFY(p.messageShown());
    QVERIFY(p.message().contains(QStringLiteral("data.txt")));

    // A collection into it tells once, not once per file.
    p.dismissMessage();
    int shown = 0;
    setCollection(chosenFolder, QStringLiteral("data.txt"), 3, QStringLiteral("0"));
    // Each failed file would bring its own text; watch the dialog between the steps.
    QString lastMessage;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (p.messageShown() && p.message() != lastMessage) {
            ++shown;
            lastMessage = p.message();
        }
    });
    watch.start(0);
    p.click("startCapture_btn");
    QTRY_VERIFY(!p.collectionRunning());
    watch.stop();
    QCOMPARE(shown, 1);
    QVERIFY(p.message().contains(QStringLiteral("data0.txt")));

    chosenFolder = work.filePath(QStringLiteral("Data"));
    p.click("browse_btn");
}

void TabCaptureTest::cancelledDialogsKeepTheFolders()
{
    TR7310_tabProbe p = probe();
    chosenFolder = work.filePath(QStringLiteral("kept"));
    p.click("browse_btn");
    p.click("browsCollection_btn");
    chosenFolder.clear(); // the user cancels both dialogs
    p.click("browse_btn");
    p.click("browsCollection_btn");
    QCOMPARE(p.text("saveFolderCapture_txt"), work.filePath(QStringLiteral("kept")));
    QCOMPARE(p.text("saveLoc_txt"), work.filePath(QStringLiteral("kept")));
    p.show({1.0});
    p.click("save_btn");
    QVERIFY(QFileInfo::exists(work.filePath(QStringLiteral("kept/data.txt"))));

    // A folder typed by hand survives a cancelled dialog too.
    const QString typed = work.filePath(QStringLiteral("typedKept"));
    p.setText("saveLoc_txt", typed);
    p.click("browse_btn");
    QCOMPARE(p.text("saveLoc_txt"), typed);
}

void TabCaptureTest::loadPlaysFilesInTurn()
{
    TR7310_tabProbe p = probe();
    const QString a = work.filePath(QStringLiteral("load/a0.txt"));
    const QString b = work.filePath(QStringLiteral("load/a1.txt"));
    const QString c = work.filePath(QStringLiteral("load/a2.txt"));
    QVERIFY(DataFile::write({0.1, 0.2, 0.3}, a));
    QVERIFY(DataFile::write({1.1, 1.2, 1.3}, b));
    QFile crlf(c); // written on Windows
    QVERIFY(crlf.open(QIODevice::WriteOnly));
    crlf.write("2.1\r\n2.2\r\n2.3\r\n");
    crlf.close();

    p.showPage(0);
    chosenFiles = {a, b, c};
    p.click("load_btn");
    QCOMPARE(p.samples(), (QVector<double>{2.1, 2.2, 2.3}));
    QCOMPARE(p.previousSamples(), (QVector<double>{1.1, 1.2, 1.3}));
    QCOMPARE(p.plotWidget("rawPlot_wdgt")->graph(0)->data()->size(), 3);

    // A file that vanished, prose and an empty file are refused with a message naming the
    // file; the frame on show stays.
    QFile prose(work.filePath(QStringLiteral("load/notes.txt")));
    QVERIFY(prose.open(QIODevice::WriteOnly));
    prose.write("Radar notes\nnothing here is a number\n");
    prose.close();
    QFile empty(work.filePath(QStringLiteral("load/empty.txt")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    for (const char *name : {"load/gone.txt", "load/notes.txt", "load/empty.txt"}) {
        chosenFiles = {work.filePath(QLatin1String(name))};
        p.click("load_btn");
        QVERIFY(p.messageShown());
        QVERIFY2(p.message().contains(QFileInfo(QLatin1String(name)).fileName()),
                 qPrintable(p.message()));
        p.dismissMessage();
        QCOMPARE(p.samples(), (QVector<double>{2.1, 2.2, 2.3}));
    }

    // Mostly numbers: loaded, the others as 0, and the status line counts them.
    QSignalSpy status(tab.get(), &TR7310_tab::captureStatus);
    QFile mixed(work.filePath(QStringLiteral("load/mixed.txt")));
    QVERIFY(mixed.open(QIODevice::WriteOnly));
    mixed.write("0.5\nNaN?\n0.25\n");
    mixed.close();
    chosenFiles = {mixed.fileName()};
    p.click("load_btn");
    QCOMPARE(p.samples(), (QVector<double>{0.5, 0, 0.25}));
    QVERIFY(!status.isEmpty());
    QVERIFY2(status.last().first().toString().contains(QStringLiteral("1 of 3 lines")),
             qPrintable(status.last().first().toString()));

    chosenFiles.clear(); // cancelled
    p.click("load_btn");
    QCOMPARE(p.samples(), (QVector<double>{0.5, 0, 0.25}));
}

void TabCaptureTest::badEntriesAreToldAndKeepTheFrame()
{
    TR7310_tabProbe p = probe();
    QSignalSpy status(tab.get(), &TR7310_tab::captureStatus);
    p.setText("numSamples_txt", QStringLiteral("64"));
    p.click("collect_btn");
    QVERIFY(p.settle());
    p.show({0.5, -0.5});
    for (const char *typed : {"abc", "0", "-3"}) {
        p.setText("numSamples_txt", QLatin1String(typed));
        p.click("collect_btn");
        QVERIFY(p.messageShown());
        QVERIFY(p.message().contains(QStringLiteral("less than 4097")));
        p.dismissMessage();
        QCOMPARE(p.text("numSamples_txt"), QStringLiteral("64")); // the last good count
    }
    QTest::qWait(50); // nothing was sent, so nothing arrives
    QCOMPARE(p.samples(), (QVector<double>{0.5, -0.5}));

    // A folder typed into "Save Location:" is used, and the status bar says where.
    const QString typed = work.filePath(QStringLiteral("typed"));
    p.finishEditing("saveLoc_txt", typed);
    p.click("save_btn");
    QVERIFY(!p.messageShown());
    QCOMPARE(status.last().first().toString(),
             QStringLiteral("Saved %1 (2 samples)")
                 .arg(QDir::toNativeSeparators(typed + QStringLiteral("/data.txt"))));
    p.click("save_btn"); // the same name again: replaced, and told
    QVERIFY(status.last().first().toString().contains(QStringLiteral("replaced")));
    QVERIFY(QFileInfo::exists(typed + QStringLiteral("/data.txt.json")));

    // So is one typed into "Save Folder:".
    const QString series = work.filePath(QStringLiteral("typedSeries"));
    p.setText("saveFolderCapture_txt", series);
    p.finishEditing("numCaptures_txt", QStringLiteral("1"));
    p.finishEditing("captureInterval_txt", QStringLiteral("0"));
    p.click("startCapture_btn");
    QTRY_VERIFY(!p.collectionRunning());
    QVERIFY(QFileInfo::exists(series + QStringLiteral("/data0.txt")));
    chosenFolder = work.filePath(QStringLiteral("Data"));
    p.click("browsCollection_btn");
}

QTEST_MAIN(TabCaptureTest)
#include "tst_tabcapture.moc"
