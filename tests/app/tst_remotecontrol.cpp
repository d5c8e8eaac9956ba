// SPDX-License-Identifier: GPL-3.0-or-later
// "kvvlx --simulate=2 --remote PORT" driven as a script would: the kits are found without a
// click, settings reach the kit and the form, a frame taken remotely is the one shown and saved,
// and its peaks sit at the reflector's range.
#include "support/RadarTestSupport.h"

#include "app/MainWindow.h"
#include "app/RemoteControl.h"
#include "app/SigmfExport.h"
#include "app/Simulation.h"
#include "capture/DataFile.h"
#include "capture/Sigmf.h"
#include "radar/TR7310_tab.h"
#include "sim/Demo.h"
#include "sim/SimUsbBus.h"
#include "sim/VirtualKit.h"
#include "widgets/StartUpDelays.h"

#include <QHostAddress>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Client and window share this thread: wait with the event loop running.
bool waitForLine(QTcpSocket &s, int ms = 20000)
{
    for (int waited = 0; !s.canReadLine() && waited < ms; waited += 10)
        QTest::qWait(10);
    return s.canReadLine();
}

QByteArray ask(QTcpSocket &s, const QByteArray &line)
{
    s.write(line + '\n');
    return waitForLine(s) ? s.readLine().chopped(1) : QByteArray("<no reply>");
}

// The block of FETC:FRAM?: "#", digits, length, float32 little-endian, then the line end.
QVector<double> fetchFrame(QTcpSocket &s)
{
    s.write("FETC:FRAM?\n");
    QByteArray in;
    auto need = [&](qsizetype n) {
        for (int waited = 0; in.size() < n && waited < 20000; waited += 10) {
            in += s.readAll();
            if (in.size() < n)
                QTest::qWait(10);
        }
        return in.size() >= n;
    };
    if (!need(2) || in.at(0) != '#')
        return {};
    const int digits = in.at(1) - '0';
    if (!need(2 + digits))
        return {};
    const int length = in.mid(2, digits).toInt();
    if (!need(2 + digits + length + 1) || in.at(2 + digits + length) != '\n')
        return {};
    QVector<double> v;
    for (int i = 0; i < length / 4; ++i)
        v << double(qFromLittleEndian<float>(in.constData() + 2 + digits + 4 * i));
    return v;
}

} // namespace

class RemoteControlTest : public QObject
{
    Q_OBJECT
private slots:
    // One script, in order: each step starts where the one before left the window and kits.
    void initTestCase();
    void kitsAreFoundAndSelected();
    void settingsReachTheSelectedKitAndForm();
    void remoteFrameIsTheFrameShown();
    void sigmfExportWritesTheFrameShown();
    void cleanupTestCase();

private:
    std::vector<std::shared_ptr<VirtualKit>> kits;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<RemoteControl> remote;
    QTcpSocket s;
    TR7310_tab *tab = nullptr;
    QTemporaryDir dir;
    QVector<double> shown;
};

void RemoteControlTest::initTestCase()
{
    quietLink();
    StartUpDelays::setScale(0.01);
    SimUsbBus::global().detachAll();
    QString error;
    QVERIFY2(startSimulation(SimulationOptions{true, 2}, &error), qPrintable(error));
    for (const auto &kit : SimUsbBus::global().kits()) {
        kit->setTargets({SimTarget{2.0, 0.0, 0.5}});
        kits.push_back(kit);
    }
    window = std::make_unique<MainWindow>();
    window->show();
    remote = std::make_unique<RemoteControl>(window.get());
    QVERIFY2(remote->listen(0, &error), qPrintable(error));
    s.connectToHost(QHostAddress::LocalHost, remote->port());
    QVERIFY(s.waitForConnected(5000));
}

void RemoteControlTest::kitsAreFoundAndSelected()
{
    QVERIFY(ask(s, "*IDN?").contains("KVVLX"));
    QCOMPARE(ask(s, "KIT:LIST?"), QByteArray("SIM0001,SIM0002")); // the search ran for it
    QCOMPARE(ask(s, "KIT:SEL?"), QByteArray("SIM0001"));
    s.write("KIT:SEL SIM0002\n");
    QCOMPARE(ask(s, "KIT:SEL?"), QByteArray("SIM0002"));
    for (TR7310_tab *t : window->findChildren<TR7310_tab *>())
        if (t->serial() == QLatin1String("SIM0002"))
            tab = t;
    QVERIFY(tab);
    QCOMPARE(window->findChild<QTabWidget *>("activityTabs_tab")->currentWidget(), tab);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(*kits[0]) && startUpDone(*kits[1]), 10000);
}

void RemoteControlTest::settingsReachTheSelectedKitAndForm()
{
    QVERIFY(tab);
    // A setting goes the form's way to the second kit only, and the form shows the read-back.
    kits[0]->clearReceived();
    kits[1]->clearReceived();
    s.write("SWEEP:RAMPTIME 2;SWEEP:TYPE 3\n");
    QCOMPARE(ask(s, "SWEEP:RAMPTIME?"), QByteArray("2"));
    QCOMPARE(tab->findChild<QLineEdit *>("ramptime_txt")->text(), QStringLiteral("2"));
    QVERIFY(kits[1]->receivedCommands().contains("SWEEP:RAMPTIME 2"));
    QVERIFY(kits[0]->receivedCommands().isEmpty());
    QCOMPARE(ask(s, "SWEEP:TYPE?"), QByteArray("3"));
    QVERIFY(tab->findChild<QRadioButton *>("continuousWave_rdbtn")->isChecked());
    s.write("SWEEP:TYPE 2;SWEEP:FREQSTAR 30;SWEEP:FREQSTAR 24.1\n");
    QCOMPARE(ask(s, "SWEEP:FREQSTAR?"), QByteArray("24.1"));
    QCOMPARE(ask(s, "SYST:ERR?"), QByteArray("-222,\"Data out of range\""));
    QVERIFY(!kits[1]->receivedCommands().contains("SWEEP:FREQSTAR 30")); // never sent
    // A ramp longer than the frame holds one clean beat tone per reflector (2 GHz in 30 ms).
    s.write("SWEEP:FREQSTAR 24;SWEEP:FREQSTOP 26;SWEEP:RAMPTIME 30\n");
}

void RemoteControlTest::remoteFrameIsTheFrameShown()
{
    QVERIFY(tab);
    // A frame taken remotely is the frame shown, fetched and saved alike.
    QCOMPARE(ask(s, "FETC:FRAM?;*OPC?"), QByteArray("1")); // nothing shown yet: no block
    QVERIFY(ask(s, "SYST:ERR?").startsWith("-230,"));
    s.write("CAPT:POIN 512;INIT\n");
    const QVector<double> fetched = fetchFrame(s);
    QCOMPARE(fetched.size(), 512);
    shown = tab->shownFrame();
    QCOMPARE(shown.size(), 512);
    for (int i = 0; i < 512; ++i)
        QVERIFY(std::abs(fetched[i] - shown[i]) < 1e-6);
    s.write("MMEM:STOR:FRAM \"" + dir.filePath("f.txt").toUtf8() + "\"\n");
    QCOMPARE(ask(s, "*OPC?"), QByteArray("1"));
    QVector<double> saved;
    QVERIFY(DataFile::read(dir.filePath("f.txt"), &saved));
    QCOMPARE(saved.size(), 512);
    for (int i = 0; i < 512; ++i)
        QVERIFY(std::abs(saved[i] - fetched[i]) < 1e-5); // six digits in the file
    QVERIFY(QFile::exists(dir.filePath("f.txt.json")));

    // 2 GHz in 30 ms: the reflector at 2 m is the strongest peak, at 2 * slope * R / c = 889.5 Hz.
    const QList<QByteArray> peaks = ask(s, "FETC:PEAK?").split(',');
    QVERIFY(peaks.size() >= 3);
    QVERIFY2(std::abs(peaks[1].toDouble() - 2.0) < 0.05, peaks[1].constData());
    QVERIFY(std::abs(peaks[0].toDouble() - 889.5) < 25);
    QCOMPARE(ask(s, "SYST:ERR?"), QByteArray("0,\"No error\""));
}

void RemoteControlTest::sigmfExportWritesTheFrameShown()
{
    QCOMPARE(shown.size(), 512);
    // File > Export Frame as SigMF… writes the frame shown, with its kit and sweep.
    QMenu menu;
    QString reported;
    SigmfExport::Dialogs dialogs;
    dialogs.saveBase = [&](QWidget *) { return dir.filePath("shown"); };
    SigmfExport::addActions(
        menu.addMenu("File"), window->findChild<QTabWidget *>("activityTabs_tab"), window.get(),
        [&](const QString &text, bool) { reported = text; }, dialogs);
    menu.findChild<QAction *>("exportFrameSigmf_act")->trigger(); // ours, not the window's dialogs
    QVERIFY2(reported.startsWith("Exported 1 frame(s)"), qPrintable(reported));
    Sigmf::Dataset ds;
    QVERIFY(Sigmf::read(dir.filePath("shown.sigmf-meta"), &ds));
    QCOMPARE(ds.samples.size(), 512);
    for (int i = 0; i < 512; ++i)
        QVERIFY(std::abs(ds.samples[i] - shown[i]) < 1e-6);
    QCOMPARE(ds.meta.kitSerial, QStringLiteral("SIM0002"));
    QCOMPARE(ds.meta.sweep.rampMs, 30.0);
    QCOMPARE(ds.meta.sweep.stopGHz, 26.0);
}

void RemoteControlTest::cleanupTestCase()
{
    s.abort();
    remote.reset();
    if (window)
        window->close();
    window.reset();
    stopVirtualBtKits();
}

QTEST_MAIN(RemoteControlTest)
#include "tst_remotecontrol.moc"
