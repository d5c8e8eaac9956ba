// SPDX-License-Identifier: GPL-3.0-or-later
// kvvlx-cli capture and collect, run in-process over virtual kits.
#include "capture/DataFile.h"
#include "capture/Recording.h"
#include "cli/CliApp.h"
#include "dsp/PaddedFft.h"
#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"
#include "support/CliRun.h"
#include "support/FrameFiles.h"
#include "support/RadarTestSupport.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

using Run = CliRun;

Run cli(const QStringList &arguments) { return runCliInProcess(arguments); }

VirtualKit &onlyKit()
{
    const auto kits = SimUsbBus::global().kits();
    if (kits.size() != 1)
        qFatal("expected one virtual kit, found %d", int(kits.size()));
    return *kits.front();
}

} // namespace

class CliCaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quietLink(); }
    void init() { SimUsbBus::global().detachAll(); }
    void cleanupTestCase() { resetLink(); }
    void captureWritesOneFrameAsTheTabDoes();
    void captureToAFileSeesTheTarget();
    void badArguments_data();
    void badArguments();
    void collectWritesNumberedFiles();
    void collectKeepsItsInterval();
    void kitThatStopsAnswering();
    void everyFrameFaultIsRefusedAndTheNextCaptureWorks_data();
    void everyFrameFaultIsRefusedAndTheNextCaptureWorks();
    void collectionLeavesAGapAndGoesOn();
    void collectOntoAFullDiskFailsNamingTheFile();
    void hostileFilesAreRefusedAtOnce();
};

void CliCaptureTest::captureWritesOneFrameAsTheTabDoes()
{
    const Run r = cli({"--simulate", "capture", "-n", "1024"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out.count(QLatin1Char('\n')), 1024);
    const QVector<double> frame = DataFile::parse(r.out.toLatin1());
    QCOMPARE(frame.size(), 1024);
    QCOMPARE(QString::fromLatin1(DataFile::format(frame)), r.out); // exactly the file format
    const QStringList received = onlyKit().receivedCommands();
    const qsizetype first = received.indexOf(QStringLiteral("CAPT:FRAM 1024"));
    QVERIFY(first >= 0);
    QCOMPARE(received.mid(first + 1), QStringList(34, QStringLiteral("CAPT:FRAM?")));
}

void CliCaptureTest::captureToAFileSeesTheTarget()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new/frame.dat"));
    const Run r = cli({"--simulate", "capture", "-n", "2048", "-o", path, "--target", "2.0,0,0.5"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QString());
    QVector<double> frame;
    QVERIFY(DataFile::read(path, &frame));
    QCOMPARE(frame.size(), 2048);
    // Default sweep: 0.25 GHz in 1 ms up and 1 ms down, so 2 m beats at 2 * 2.5e11 * 2 / 3e8 Hz
    // within each ramp; the frame over many ramps holds lines 500 Hz apart, the strongest the
    // one nearest that beat.
    const QVector<double> p = paddedSpectrum(frame);
    const int peak = int(std::max_element(p.begin() + 1, p.end()) - p.begin());
    const double binHz = 20000.0 / (7 * 2048);
    QVERIFY(qAbs(peak * binHz - 2 * 2.5e11 * 2.0 / 3e8) <= 250 + binHz);
}

void CliCaptureTest::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no samples") << QStringList{"--simulate", "capture", "-n", "0"};
    QTest::newRow("too many") << QStringList{"--simulate", "capture", "-n", "5000"};
    QTest::newRow("not a number") << QStringList{"--simulate", "capture", "-n", "abc"};
    QTest::newRow("-n without value") << QStringList{"--simulate", "capture", "-n"};
    QTest::newRow("bad target") << QStringList{"--simulate", "capture", "--target", "x"};
    QTest::newRow("target without kits") << QStringList{"capture", "--target", "2"};
    QTest::newRow("collect without count")
        << QStringList{"--simulate", "collect", "-n", "10", "-i", "1"};
    QTest::newRow("negative interval")
        << QStringList{"--simulate", "collect", "-n", "10", "-c", "2", "-i", "-1"};
    QTest::newRow("capture takes no -c") << QStringList{"--simulate", "capture", "-c", "2"};
}

void CliCaptureTest::badArguments()
{
    QFETCH(QStringList, arguments);
    const Run r = cli(arguments);
    QCOMPARE(r.status, 2);
    QVERIFY(r.err.startsWith(QStringLiteral("kvvlx-cli: ")));
    QCOMPARE(r.out, QString());
}

void CliCaptureTest::collectWritesNumberedFiles()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("runs"));
    const Run r = cli({"--simulate", "collect", "-n", "100", "-c", "3", "-i", "0", "-d", folder,
                       "--name", "run.dat"});
    QCOMPARE(r.status, 0);
    QCOMPARE(frameFiles(folder), (QStringList{"run0.dat", "run1.dat", "run2.dat"}));
    QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{folder + "/run0.dat", folder + "/run1.dat", folder + "/run2.dat"}));
    for (int i = 0; i < 3; ++i) {
        QVector<double> frame;
        QVERIFY(DataFile::read(folder + QStringLiteral("/run%1.dat").arg(i), &frame));
        QCOMPARE(frame.size(), 100);
    }
    QCOMPARE(onlyKit().receivedCommands().count(QStringLiteral("CAPT:FRAM 100")), 3);
}

void CliCaptureTest::collectKeepsItsInterval()
{
    QTemporaryDir dir;
    QElapsedTimer clock;
    clock.start();
    const Run r =
        cli({"--simulate", "collect", "-n", "31", "-c", "3", "-i", "0.06", "-d", dir.path()});
    QCOMPARE(r.status, 0);
    QVERIFY(clock.elapsed() >= 120);
    QCOMPARE(frameFiles(dir.path()), (QStringList{"data0.txt", "data1.txt", "data2.txt"}));
}

void CliCaptureTest::kitThatStopsAnswering()
{
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    auto kit = std::make_shared<VirtualKit>(QStringLiteral("SIM0009"));
    SimUsbBus::global().attach(kit);
    SimFaults faults;
    faults.disconnectAfter = 200; // past the discovery, well inside a 4096-sample frame
    kit->setFaults(faults);
    Run r = cli({"capture", "-n", "4096"});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("kit not answering")), qPrintable(r.err));
    QCOMPARE(r.out, QString());

    QTemporaryDir dir;
    kit->reconnect();
    faults = SimFaults();
    faults.disconnectAfter = 2000; // a few frames in, the kit drops off
    kit->setFaults(faults);
    r = cli({"collect", "-n", "1024", "-c", "50", "-i", "0", "-d", dir.path()});
    QCOMPARE(r.status, 1);
    const int written = int(frameFiles(dir.path()).size());
    QVERIFY(written > 0 && written < 50);
    // The frame the kit dropped off in leaves a gap; the next cannot open the kit.
    QVERIFY2(r.err.contains(QStringLiteral("stopped after %1 of 50").arg(written + 1)),
             qPrintable(r.err));
}

void CliCaptureTest::everyFrameFaultIsRefusedAndTheNextCaptureWorks_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("words");
    QTest::newRow("lost reply") << int(SimFrameFault::LostReply) << "kit not answering";
    QTest::newRow("late reply") << int(SimFrameFault::LateReply) << "kit not answering";
    QTest::newRow("short body") << int(SimFrameFault::ShortBody) << "not whole samples";
    // Its last digit then counts as the terminator, leaving a sample short of its digits.
    QTest::newRow("no terminator") << int(SimFrameFault::NoTerminator) << "not whole samples";
    QTest::newRow("non-hex") << int(SimFrameFault::NonHex) << "not hexadecimal";
    QTest::newRow("hang") << int(SimFrameFault::Hang) << "kit not answering";
    QTest::newRow("unplug") << int(SimFrameFault::Unplug) << "kit not answering";
}

void CliCaptureTest::everyFrameFaultIsRefusedAndTheNextCaptureWorks()
{
    QFETCH(int, fault);
    QFETCH(QString, words);
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    auto kit = std::make_shared<VirtualKit>(QStringLiteral("SIM0010"));
    SimUsbBus::global().attach(kit);
    SimFaults faults;
    faults.frameFault = SimFrameFault(fault);
    faults.frameFaultReply = 20;
    kit->setFaults(faults);
    Run r = cli({"capture", "-n", "1024"});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith(QStringLiteral("kvvlx-cli: sim:SIM0010: frame ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(words), qPrintable(r.err));

    if (!kit->isConnected())
        kit->reconnect();
    r = cli({"capture", "-n", "1024"});
    QCOMPARE(r.status, 0);
    QCOMPARE(DataFile::parse(r.out.toLatin1()).size(), 1024);
}

void CliCaptureTest::collectionLeavesAGapAndGoesOn()
{
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    auto kit = std::make_shared<VirtualKit>(QStringLiteral("SIM0011"));
    SimUsbBus::global().attach(kit);
    QTemporaryDir dir;
    // The second frame (after the discovery's none) loses a reply in its middle.
    SimFaults faults;
    faults.frameFault = SimFrameFault::ShortBody;
    faults.frameFaultReply = 3;
    kit->setFaults(faults);
    Run r = cli({"collect", "-n", "100", "-c", "3", "-i", "0", "-d", dir.path()});
    QCOMPARE(r.status, 1);
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.txt")}, QDir::Files),
             (QStringList{"data1.txt", "data2.txt"}));
    QVERIFY2(r.err.contains(QStringLiteral("frame 0 garbled")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("1 of 3 frames dropped")), qPrintable(r.err));

    // 62 samples: the kit may leave the query past the end unanswered; the frame is whole.
    faults = SimFaults();
    faults.frameFault = SimFrameFault::LostReply;
    faults.frameFaultReply = 2;
    faults.frameFaultFrames = -1;
    kit->setFaults(faults);
    QTemporaryDir dir62;
    r = cli({"collect", "-n", "62", "-c", "2", "-i", "0", "-d", dir62.path()});
    QCOMPARE(r.status, 0);
    QVector<double> frame;
    QVERIFY(DataFile::read(dir62.filePath(QStringLiteral("data1.txt")), &frame));
    QCOMPARE(frame.size(), 62);
}

// Needs a tmpfs mount (root); skipped otherwise.
void CliCaptureTest::collectOntoAFullDiskFailsNamingTheFile()
{
    const SmallDisk disk;
    const QString mount = disk.path();
    if (mount.isEmpty())
        QSKIP("cannot mount a small tmpfs here");
    const Run r = cli({"--simulate", "collect", "-n", "4096", "-c", "20", "-i", "0", "-d", mount});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("No space left on device")) &&
                 r.err.contains(mount + QStringLiteral("/data")),
             qPrintable(r.err));
    Recording::Index index;
    QCOMPARE(Recording::readIndex(mount, &index), FrameMeta::ReadResult::Ok);
    QVERIFY(!index.complete);
    for (const QString &name : index.files()) {
        QVector<double> frame;
        QVERIFY(DataFile::read(mount + QLatin1Char('/') + name, &frame));
        QCOMPARE(frame.size(), 4096);
    }
}

void CliCaptureTest::hostileFilesAreRefusedAtOnce()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("data0.txt"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("data1.txt"))));
    QElapsedTimer clock;
    clock.start();
    Run r = cli({"info", fifo});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("not a regular file (a FIFO)")), qPrintable(r.err));
    r = cli({"replay", dir.path()});
    QCOMPARE(r.status, 1);
    // The link to /dev/zero leads out of the folder; the FIFO is no regular file.
    QVERIFY2(r.out.contains(QStringLiteral("leading out of the folder: data1.txt")) &&
                 r.out.contains(QStringLiteral("data0.txt: not a regular file (a FIFO)")),
             qPrintable(r.out));
    QVERIFY(clock.elapsed() < 5000);
}

QTEST_GUILESS_MAIN(CliCaptureTest)
#include "tst_capturecommands.moc"
