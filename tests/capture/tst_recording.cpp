// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings without the GUI: sidecars written and validated, collection.json, the order of
// numbered names, and kvvlx-cli capture/collect/info/replay over a virtual kit.
#include "capture/DataFile.h"
#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "support/CliRun.h"
#include "support/RadarTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

// The documented fields of a sidecar, checked by hand rather than through the reader.
void expectDocumentedFields(const QJsonObject &j)
{
    QCOMPARE(j.value("format").toString(), QStringLiteral("kvvlx-frame"));
    QCOMPARE(j.value("formatVersion").toInt(), 1);
    QVERIFY(!j.value("application").toObject().value("name").toString().isEmpty());
    QCOMPARE(j.value("application").toObject().value("version").toString(),
             QStringLiteral(KVVLX_TEST_VERSION));
    for (const char *k : {"model", "serial", "firmware"})
        QVERIFY(j.value("kit").toObject().value(k).isString());
    QVERIFY(j.value("link").toString() == "USB" || j.value("link").toString() == "Bluetooth");
    const QJsonObject s = j.value("settings").toObject();
    for (const char *k : {"startGHz", "stopGHz", "rampMs", "sweepType", "rfPower"})
        QVERIFY2(s.contains(k), k);
    const QJsonObject samples = j.value("samples").toObject();
    QVERIFY(samples.value("count").isDouble());
    QVERIFY(samples.value("periodS").toDouble() > 0);
    QVERIFY(samples.value("voltsDivisor").toDouble() == 65535 ||
            samples.value("voltsDivisor").toDouble() == 65536);
    QVERIFY(j.value("processing").toObject().value("averaging").isString());
    QVERIFY(j.value("processing").toObject().value("twoPulseCancellation").isBool());
    const QString stamp = j.value("capturedUtc").toString();
    QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$")
                 .match(stamp)
                 .hasMatch(),
             qPrintable(stamp));
}

} // namespace

class RecordingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quietLink(); }
    void init() { SimUsbBus::global().detachAll(); }
    void cleanupTestCase() { resetLink(); }

    void sidecarRoundTripAndRejects();
    void numberedNamesSortInOrder();
    void framesOfUsesTheIndexElseNames();
    void recordedPace();
    void cliCollectWritesSidecarsAndIndex();
    void cliCsvAndInfo();
    void cliReplayFindsProblems();
    void killedCollectionLeavesWholeFiles();
};

void RecordingsTest::sidecarRoundTripAndRejects()
{
    QTemporaryDir dir;
    const QString frame = dir.filePath("f.txt");
    FrameMeta::Meta m;
    m.application = "kvvlx";
    m.applicationVersion = FrameMeta::applicationVersion();
    m.kitModel = "KV7310";
    m.kitSerial = "SIM0001";
    m.kitFirmware = "1.1.0";
    m.link = "USB";
    m.sweepKnown = true;
    m.sweep = {24.0, 24.25, 1.0};
    m.sweepType = 2;
    m.rfPower = 1;
    m.sampleCount = 3;
    m.samplePeriodS = 4.505e-05;
    m.averaging = FrameMeta::Averaging::MinusMeanOfTen;
    m.capturedUtc = QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0, 123), Qt::UTC);
    m.inCollection = true;
    m.frameNumber = 7;
    m.plannedIntervalS = 2;
    m.sinceFirstFrameS = 14.91;
    m.numberWidth = 4;
    QVERIFY(DataFile::write({-2.5, 0, 2.5}, frame));
    QVERIFY(FrameMeta::write(m, frame));
    QVERIFY(QFile::exists(dir.filePath("f.txt.json")));
    // The frame file keeps its headerless format.
    QFile f(frame);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("-2.5\n0\n2.5\n"));

    const QJsonObject j = readJson(dir.filePath("f.txt.json"));
    expectDocumentedFields(j);
    QCOMPARE(j.value("capturedUtc").toString(), QStringLiteral("2024-05-01T12:00:00.123Z"));
    QCOMPARE(j.value("collection").toObject().value("frame").toInt(), 7);

    FrameMeta::Meta back;
    QCOMPARE(FrameMeta::read(frame, &back), FrameMeta::ReadResult::Ok);
    QCOMPARE(back.samplePeriodS, 4.505e-05);
    QCOMPARE(back.sweep.stopGHz, 24.25);
    QCOMPARE(back.sweepType, 2);
    QCOMPARE(back.averaging, FrameMeta::Averaging::MinusMeanOfTen);
    QCOMPARE(back.capturedUtc, m.capturedUtc);
    QCOMPARE(back.sinceFirstFrameS, 14.91);
    QCOMPARE(back.numberWidth, 4);

    // No sidecar, a broken one, and one with an unknown divisor.
    QCOMPARE(FrameMeta::read(dir.filePath("none.txt"), &back), FrameMeta::ReadResult::Missing);
    QJsonObject bad = j;
    bad.insert("samples", QJsonObject{{"count", 3}, {"periodS", 5e-05}, {"voltsDivisor", 4096}});
    QString why;
    QVERIFY(!FrameMeta::fromJson(bad, &back, &why));
    QVERIFY(why.contains("voltsDivisor"));
    bad = j;
    bad.remove("kit");
    QVERIFY(!FrameMeta::fromJson(bad, &back, &why));
    QVERIFY(DataFile::writeBytes("{ not json", dir.filePath("g.txt.json")));
    QCOMPARE(FrameMeta::read(dir.filePath("g.txt"), &back), FrameMeta::ReadResult::Invalid);
}

void RecordingsTest::numberedNamesSortInOrder()
{
    QCOMPARE(DataFile::numberedName("data.txt", 7), QStringLiteral("data7.txt"));
    QCOMPARE(DataFile::numberedName("data.txt", 7, 4), QStringLiteral("data0007.txt"));
    QCOMPARE(DataFile::numberedName("data.txt", 12345, 4), QStringLiteral("data12345.txt"));
    const QStringList names{"data10.txt", "data2.txt", "data1.txt", "data0.txt", "data11.txt"};
    QCOMPARE(Recording::naturallySorted(names),
             (QStringList{"data0.txt", "data1.txt", "data2.txt", "data10.txt", "data11.txt"}));
    QVERIFY(Recording::naturalLess("run9.dat", "run0010.dat"));
    QVERIFY(!Recording::naturalLess("b1", "a2"));
}

void RecordingsTest::framesOfUsesTheIndexElseNames()
{
    QTemporaryDir dir;
    for (int i : {0, 1, 2, 10})
        QVERIFY(DataFile::write({double(i)}, dir.filePath(QString("data%1.txt").arg(i))));
    QVERIFY(DataFile::writeBytes("{}", dir.filePath("data1.txt.json")));
    QCOMPARE(Recording::framesOf(dir.path()),
             (QStringList{dir.filePath("data0.txt"), dir.filePath("data1.txt"),
                          dir.filePath("data2.txt"), dir.filePath("data10.txt")}));

    // The index decides: its order, its frames, gaps skipped, names outside the folder refused.
    Recording::Index index;
    index.frames = {{0, "data10.txt", 0}, {1, QString(), 2}, {2, "data0.txt", 4}};
    QVERIFY(Recording::writeIndex(dir.path(), index));
    QCOMPARE(Recording::framesOf(dir.path()),
             (QStringList{dir.filePath("data10.txt"), dir.filePath("data0.txt")}));
    QJsonObject j = Recording::toJson(index);
    QCOMPARE(j.value("frames").toArray().at(1).toObject().value("file").isNull(), true);
    index.frames = {{0, "../x.txt", 0}};
    QVERIFY(!Recording::fromJson(Recording::toJson(index), &index));
}

void RecordingsTest::recordedPace()
{
    Recording::Frame a, b;
    QCOMPARE(Recording::paceSeconds(a, b, 0.7), 0.7); // no sidecars
    a.hasMeta = b.hasMeta = true;
    a.meta.capturedUtc = QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0, 0), Qt::UTC);
    b.meta.capturedUtc = a.meta.capturedUtc.addMSecs(2130);
    QCOMPARE(Recording::paceSeconds(a, b, 0.7), 2.13);
    a.meta.inCollection = b.meta.inCollection = true;
    a.meta.sinceFirstFrameS = 4.0;
    b.meta.sinceFirstFrameS = 6.31;
    QCOMPARE(Recording::paceSeconds(a, b, 0.7), 6.31 - 4.0);
    QCOMPARE(Recording::paceSeconds(b, a, 0.7), 0.7); // backwards: fallback, no stall
}

void RecordingsTest::cliCollectWritesSidecarsAndIndex()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("runs");
    const CliRun r = runCliInProcess(
        {"--simulate", "collect", "-n", "64", "-c", "3", "-i", "0.05", "-d", folder});
    QCOMPARE(r.status, 0);
    const QJsonObject index = readJson(folder + "/collection.json");
    QCOMPARE(index.value("format").toString(), QStringLiteral("kvvlx-collection"));
    QCOMPARE(index.value("complete").toBool(), true);
    QCOMPARE(index.value("plannedCount").toInt(), 3);
    const QJsonArray frames = index.value("frames").toArray();
    QCOMPARE(frames.size(), 3);
    double previous = -1;
    for (int i = 0; i < 3; ++i) {
        const QJsonObject e = frames.at(i).toObject();
        QCOMPARE(e.value("file").toString(), QString("data%1.txt").arg(i));
        const QJsonObject side = readJson(folder + QString("/data%1.txt.json").arg(i));
        expectDocumentedFields(side);
        QCOMPARE(side.value("kit").toObject().value("serial").toString(),
                 QStringLiteral("SIM0001"));
        QCOMPARE(side.value("settings").toObject().value("stopGHz").toDouble(), 24.25);
        QCOMPARE(side.value("samples").toObject().value("count").toInt(), 64);
        const double since =
            side.value("collection").toObject().value("sinceFirstFrameS").toDouble();
        QVERIFY(since > previous);
        if (i > 0)
            QVERIFY(since - previous >= 0.05);
        previous = since;
    }
    const CliRun check = runCliInProcess({"replay", folder});
    QCOMPARE(check.status, 0);
    QVERIFY2(check.out.contains("frames: 3 present, 0 gaps, 3 with metadata"),
             qPrintable(check.out));
    QVERIFY(check.out.contains("samples per frame: 64"));
    QVERIFY(check.out.contains("result: OK"));
}

void RecordingsTest::cliCsvAndInfo()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("one.csv");
    CliRun r =
        runCliInProcess({"--simulate", "capture", "-n", "40", "-o", file, "--format", "csv"});
    QCOMPARE(r.status, 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("time_s,volts"));
    QCOMPARE(lines.size(), 1 + 40 + 1); // header, rows, the empty piece after the last LF
    QVERIFY(lines.at(2).startsWith("5e-05,"));
    Recording::Frame frame = Recording::load(file);
    QVERIFY(frame.hasMeta);
    QCOMPARE(frame.samples.size(), 40);

    r = runCliInProcess({"info", file});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.contains("serial SIM0001"));
    QVERIFY(r.out.contains("data format: csv"));
    QVERIFY(r.out.contains("sample period (s): 5e-05"));

    QVERIFY(DataFile::write({1, 2}, dir.filePath("old.txt")));
    r = runCliInProcess({"info", dir.filePath("old.txt")});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.contains("no metadata"));
    QCOMPARE(runCliInProcess({"capture", "--format", "xml"}).status, 2);
}

void RecordingsTest::cliReplayFindsProblems()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("c");
    QCOMPARE(runCliInProcess({"--simulate", "collect", "-n", "31", "-c", "3", "-i", "0", "-d",
                              folder, "--name", "run.dat"})
                 .status,
             0);
    QVERIFY(QFile::remove(folder + "/run1.dat"));
    QVERIFY(DataFile::write({1, 2, 3}, folder + "/run2.dat"));
    const CliRun r = runCliInProcess({"replay", folder});
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.contains("problem: run1.dat is listed but missing"));
    QVERIFY(r.out.contains("problem: run2.dat holds 3 samples, its metadata says 31"));
    QVERIFY(r.out.contains("result: PROBLEMS"));

    // Old collections without an index are checked by their numbered names.
    const QString old = dir.filePath("old");
    for (int i = 0; i < 11; ++i)
        QVERIFY(DataFile::write({0.1, 0.2}, old + QString("/data%1.txt").arg(i)));
    const CliRun o = runCliInProcess({"replay", old});
    QCOMPARE(o.status, 0);
    QVERIFY(o.out.contains("frames: 11 present, 0 gaps, 0 with metadata"));
}

void RecordingsTest::killedCollectionLeavesWholeFiles()
{
    QTemporaryDir dir;
    QProcess cli;
    cli.start(QStringLiteral(KVVLX_CLI_PATH),
              {"--simulate", "collect", "-n", "64", "-c", "500", "-i", "0", "-d", dir.path()});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.path()).entryList({"*.txt"}, QDir::Files).size() >= 3, 30000);
    cli.kill();
    QVERIFY(cli.waitForFinished());
    // Every file under a final name is whole: frames of 64 values, sidecars and index parse.
    const QStringList frames = QDir(dir.path()).entryList({"*.txt"}, QDir::Files);
    for (const QString &name : frames) {
        QVector<double> v;
        QVERIFY(DataFile::read(dir.filePath(name), &v));
        QCOMPARE(v.size(), 64);
    }
    for (const QString &name : QDir(dir.path()).entryList({"*.txt.json"}, QDir::Files)) {
        FrameMeta::Meta m;
        QCOMPARE(FrameMeta::read(dir.filePath(name.chopped(5)), &m), FrameMeta::ReadResult::Ok);
    }
    Recording::Index index;
    QCOMPARE(Recording::readIndex(dir.path(), &index), FrameMeta::ReadResult::Ok);
    QVERIFY(!index.complete);
    // The index lags the frame files by at most the one being written when killed.
    QVERIFY(index.files().size() == frames.size() || index.files().size() + 1 == frames.size());
    for (const QString &name : index.files())
        QVERIFY(frames.contains(name));
}

QTEST_GUILESS_MAIN(RecordingsTest)
#include "tst_recording.moc"
