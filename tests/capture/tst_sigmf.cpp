// SPDX-License-Identifier: GPL-3.0-or-later
// SigMF recordings: what we write (checked against the published schema and by hand), what we
// read back, foreign recordings of other sample types and those we refuse, and the peaks of a
// reflector at a known range.
#include "capture/BeatPeaks.h"
#include "capture/DataFile.h"
#include "capture/Recording.h"
#include "capture/Sigmf.h"
#include "kit/RadarMath.h"
#include "support/CliRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kC = 299792458.0;

// A reflector at rangeM as the kit sees it: a sine at the beat frequency 2 |slope| R / c.
QVector<double> reflector(double rangeM, const RadarMath::FrameAxes &axes, int n, double volts)
{
    const double slope =
        (axes.sweep.stopGHz - axes.sweep.startGHz) * 1e9 / (axes.sweep.rampMs * 1e-3);
    const double fb = 2.0 * slope * rangeM / kC;
    QVector<double> w(n);
    for (int k = 0; k < n; ++k)
        w[k] = volts * std::sin(2 * M_PI * fb * k * axes.samplePeriodS + 0.3);
    return w;
}

FrameMeta::Meta kitMeta(int frame = -1)
{
    FrameMeta::Meta m;
    m.application = QStringLiteral("kvvlx");
    m.applicationVersion = QStringLiteral("9.9");
    m.kitModel = QStringLiteral("KV7310");
    m.kitSerial = QStringLiteral("SIM0001");
    m.kitFirmware = QStringLiteral("1.0.0");
    m.link = QStringLiteral("USB");
    m.sweepKnown = true;
    m.sweep = {24.0, 24.25, 1.0};
    m.sweepType = 2;
    m.rfPower = 1;
    m.samplePeriodS = 5e-05;
    m.capturedUtc = QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0, 250 * (frame + 1)), Qt::UTC);
    if (frame >= 0) {
        m.inCollection = true;
        m.frameNumber = frame;
        m.plannedIntervalS = 0.25;
        m.sinceFirstFrameS = 0.25 * frame;
    }
    return m;
}

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void writeForeignMeta(const QString &base, const QJsonObject &global,
                      const QJsonArray &captures = {})
{
    writeRaw(base + ".sigmf-meta", QJsonDocument(QJsonObject{{"global", global},
                                                             {"captures", captures},
                                                             {"annotations", QJsonArray()}})
                                       .toJson());
}

// A Python with jsonschema, Debian's first.
QString pythonWithJsonschema()
{
    for (const QString &candidate :
         {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        const QString exe = QStandardPaths::findExecutable(candidate);
        if (exe.isEmpty() && !QFile::exists(candidate))
            continue;
        if (QProcess::execute(candidate, {"-c", "import jsonschema"}) == 0)
            return candidate;
    }
    return {};
}

} // namespace

class TestSigmf : public QObject
{
    Q_OBJECT
private slots:
    void collectionRoundTripKeepsSamplesTimesAndGaps();
    void metadataFollowsTheSchemaAndTheExtension();
    void peaksSitAtTheReflectorsRange();
    void foreignRealTypesAreRead_data();
    void foreignRealTypesAreRead();
    void unshowableRecordingsAreRefusedWithTheReason_data();
    void unshowableRecordingsAreRefusedWithTheReason();
    void hostileFilesAreRefusedWithoutWaiting();
    void framesOpenOneByOneForReplay();
    void exportOfTextFramesKeepsTheirValues();
};

void TestSigmf::collectionRoundTripKeepsSamplesTimesAndGaps()
{
    QTemporaryDir dir;
    const RadarMath::FrameAxes axes = kitMeta().axes();
    Sigmf::Dataset ds;
    Sigmf::addFrame(ds, reflector(2.0, axes, 256, 0.5), kitMeta(0));
    Sigmf::addGap(ds, 1);
    Sigmf::addFrame(ds, reflector(3.0, axes, 256, 0.25), kitMeta(2));
    const QString base = dir.filePath("run");
    QVERIFY(Sigmf::write(ds, base));
    QCOMPARE(QFileInfo(base + ".sigmf-data").size(), qint64(2 * 256 * 4));

    Sigmf::Dataset back;
    QString why;
    QVERIFY2(Sigmf::read(base + ".sigmf-data", &back, &why), qPrintable(why));
    QVERIFY(back.ours);
    QCOMPARE(back.frameCount(), 2);
    QCOMPARE(back.gaps, QList<int>{1});
    for (int k = 0; k < 2; ++k) {
        const QVector<double> want = ds.frame(k), got = back.frame(k);
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < want.size(); ++i)
            QVERIFY(std::abs(got[i] - want[i]) < 1e-7); // float32 of volts under 1 V
    }
    // The file holds frames 0 and 2; the stream they came from had frame 1 between them.
    QCOMPARE(back.captures.at(1).sampleStart, qint64(256));
    QCOMPARE(back.captures.at(1).globalIndex, qint64(512));
    QCOMPARE(back.captures.at(1).datetime, kitMeta(2).capturedUtc);
    QCOMPARE(back.meta.sweep.stopGHz, 24.25);
    QCOMPARE(back.meta.samplePeriodS, 5e-05);
    QCOMPARE(back.meta.sweepType, 2);
}

void TestSigmf::metadataFollowsTheSchemaAndTheExtension()
{
    QTemporaryDir dir;
    Sigmf::Dataset ds;
    // A marker the user set on the range page rides along as an annotation of its own.
    FrameMeta::Meta marked = kitMeta(0);
    marked.markers = QJsonArray{QJsonObject{{"plot", "rangeSpectrum_wdgt"}, {"marker", 1},
                                            {"xLabel", "Range (m)"}, {"x", 2.0},
                                            {"yLabel", "Power (dBV rms)"}, {"y", -9.03}}};
    Sigmf::addFrame(ds, reflector(2.0, kitMeta().axes(), 512, 0.5), marked);
    Sigmf::addGap(ds, 1);
    const QString base = dir.filePath("frame");
    QVERIFY(Sigmf::write(ds, base));
    const QJsonObject meta = readJson(base + ".sigmf-meta");
    QJsonObject markerNote;
    for (const QJsonValue &a : meta.value("annotations").toArray())
        if (a.toObject().value("core:label").toString() == QStringLiteral("marker M1"))
            markerNote = a.toObject();
    QCOMPARE(markerNote.value("kvvlx:marker").toObject().value("x").toDouble(), 2.0);
    QCOMPARE(markerNote.value("core:sample_count").toInteger(), 512);
    Sigmf::Dataset back;
    QVERIFY(Sigmf::read(base + ".sigmf-meta", &back));
    QCOMPARE(std::count_if(back.annotations.begin(), back.annotations.end(),
                           [](const Sigmf::Annotation &a) { return !a.marker.isEmpty(); }),
             1);
    const QJsonObject g = meta.value("global").toObject();
    QCOMPARE(g.value("core:datatype").toString(), QStringLiteral("rf32_le"));
    QCOMPARE(g.value("core:sample_rate").toDouble(), 20000.0);
    QVERIFY(g.value("core:hw").toString().contains("SIM0001"));
    const QJsonObject extension = g.value("core:extensions").toArray().first().toObject();
    QCOMPARE(extension.value("name").toString(), QStringLiteral("kvvlx"));
    QCOMPARE(g.value("kvvlx:start_frequency_hz").toDouble(), 24e9);
    QCOMPARE(g.value("kvvlx:ramp_time_s").toDouble(), 1e-3);
    QCOMPARE(g.value("kvvlx:link").toString(), QStringLiteral("USB"));
    QCOMPARE(g.value("kvvlx:gaps").toArray(), QJsonArray{1});
    QCOMPARE(meta.value("captures").toArray().first().toObject().value("core:datetime").toString(),
             QStringLiteral("2024-05-01T12:00:00.250Z"));

    const QString schemas = QStringLiteral(KVVLX_SIGMF_SCHEMAS);
    if (!QFile::exists(schemas + "/sigmf-schema.json"))
        QSKIP("no SigMF schema beside the repository (../shared/sigmf)");
    const QString python = pythonWithJsonschema();
    if (python.isEmpty())
        QSKIP("python3-jsonschema is not installed");
    QProcess p;
    p.start(python,
            {"-c",
             "import json,sys,jsonschema\n"
             "jsonschema.validate(json.load(open(sys.argv[2])), json.load(open(sys.argv[1])))",
             schemas + "/sigmf-schema.json", base + ".sigmf-meta"});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

void TestSigmf::peaksSitAtTheReflectorsRange()
{
    // 250 MHz in 1 ms and 50 us samples: 2 m beats at 3335.6 Hz, 3.5 m at 5837.3 Hz.
    const RadarMath::FrameAxes axes = kitMeta().axes();
    QVector<double> w = reflector(2.0, axes, 1024, 0.5);
    const QVector<double> far = reflector(3.5, axes, 1024, 0.1);
    for (int i = 0; i < w.size(); ++i)
        w[i] += far[i];
    const std::vector<BeatPeaks::Peak> peaks = BeatPeaks::find(w, axes);
    QCOMPARE(int(peaks.size()), 2); // no side lobes listed as reflectors
    QVERIFY(std::abs(peaks[0].rangeM - 2.0) < 0.02);
    QVERIFY(std::abs(peaks[0].beatHz - 3335.6) < 5);
    QVERIFY(std::abs(peaks[1].rangeM - 3.5) < 0.02);
    // Levels keep the amplitudes' ratio: 0.5 V over 0.1 V is 14 dB, whatever the dB reference.
    QVERIFY(std::abs(peaks[0].levelDb - peaks[1].levelDb - 20 * std::log10(5.0)) < 0.5);
}

void TestSigmf::foreignRealTypesAreRead_data()
{
    QTest::addColumn<QString>("datatype");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVector<double>>("values");
    QTest::newRow("ri16_le") << "ri16_le" << QByteArray("\x01\x00\xff\xff\x00\x80", 6)
                             << QVector<double>{1, -1, -32768};
    QTest::newRow("ri16_be") << "ri16_be" << QByteArray("\x00\x01\xff\xfe", 4)
                             << QVector<double>{1, -2};
    QTest::newRow("ru8") << "ru8" << QByteArray("\x00\x80\xff", 3) << QVector<double>{0, 128, 255};
    QByteArray f64(16, 0);
    qToBigEndian(0.5, f64.data());
    qToBigEndian(-2.25, f64.data() + 8);
    QTest::newRow("rf64_be") << "rf64_be" << f64 << QVector<double>{0.5, -2.25};
}

void TestSigmf::foreignRealTypesAreRead()
{
    QFETCH(QString, datatype);
    QFETCH(QByteArray, bytes);
    QFETCH(QVector<double>, values);
    QTemporaryDir dir;
    const QString base = dir.filePath("other");
    writeRaw(base + ".sigmf-data", bytes);
    writeForeignMeta(base, QJsonObject{{"core:datatype", datatype},
                                       {"core:version", "1.2.0"},
                                       {"core:sample_rate", 1e6}});
    Sigmf::Dataset ds;
    QString why;
    QVERIFY2(Sigmf::read(base + ".sigmf-meta", &ds, &why), qPrintable(why));
    QVERIFY(!ds.ours);
    QCOMPARE(ds.samples, values);
    QCOMPARE(ds.frameCount(), 1); // no segments: one from the first sample
    QCOMPARE(ds.meta.samplePeriodS, 1e-6);
    QVERIFY(!ds.meta.sweepKnown);
}

void TestSigmf::unshowableRecordingsAreRefusedWithTheReason_data()
{
    QTest::addColumn<QJsonObject>("global");
    QTest::addColumn<int>("dataBytes");
    QTest::addColumn<QString>("reason");
    const QJsonObject base{{"core:version", "1.2.0"}, {"core:datatype", "rf32_le"}};
    QJsonObject complex = base;
    complex["core:datatype"] = "cf32_le";
    QTest::newRow("complex") << complex << 16 << "complex";
    QJsonObject channels = base;
    channels["core:num_channels"] = 2;
    QTest::newRow("two channels") << channels << 16 << "2 channels";
    QTest::newRow("torn data file") << base << 6 << "whole number";
    QTest::newRow("no samples") << base << 0 << "no samples";
}

void TestSigmf::unshowableRecordingsAreRefusedWithTheReason()
{
    QFETCH(QJsonObject, global);
    QFETCH(int, dataBytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString base = dir.filePath("foreign");
    writeRaw(base + ".sigmf-data", QByteArray(dataBytes, '\0'));
    writeForeignMeta(base, global);
    Sigmf::Dataset ds;
    QString why;
    QVERIFY(!Sigmf::read(base + ".sigmf-meta", &ds, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    // info says why and fails, whichever file it is given.
    const CliRun run = runCliInProcess({"info", base + ".sigmf-data"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
}

// A FIFO would block a plain read for ever; a data file linked out of the folder is not followed.
void TestSigmf::hostileFilesAreRefusedWithoutWaiting()
{
    QTemporaryDir dir;
    const QJsonObject global{{"core:version", "1.2.0"}, {"core:datatype", "rf32_le"}};
    Sigmf::Dataset ds;
    QString why;

    const QString fifoMeta = dir.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifoMeta + ".sigmf-meta").constData(), 0600), 0);
    writeRaw(fifoMeta + ".sigmf-data", QByteArray(16, '\0'));
    QVERIFY(!Sigmf::read(fifoMeta + ".sigmf-meta", &ds, &why));
    QVERIFY2(why.contains("not a regular file"), qPrintable(why));

    const QString fifoData = dir.filePath("fifodata");
    writeForeignMeta(fifoData, global);
    QCOMPARE(::mkfifo(QFile::encodeName(fifoData + ".sigmf-data").constData(), 0600), 0);
    QVERIFY(!Sigmf::read(fifoData + ".sigmf-meta", &ds, &why));
    QVERIFY2(why.contains("not a regular file"), qPrintable(why));

    QTemporaryDir elsewhere;
    writeRaw(elsewhere.filePath("outside.sigmf-data"), QByteArray(16, '\0'));
    const QString linked = dir.filePath("linked");
    writeForeignMeta(linked, global);
    QVERIFY(QFile::link(elsewhere.filePath("outside.sigmf-data"), linked + ".sigmf-data"));
    QVERIFY(!Sigmf::read(linked + ".sigmf-meta", &ds, &why));
    QVERIFY2(why.contains("leads out of"), qPrintable(why));
}

void TestSigmf::framesOpenOneByOneForReplay()
{
    QTemporaryDir dir;
    Sigmf::Dataset ds;
    const RadarMath::FrameAxes axes = kitMeta().axes();
    Sigmf::addFrame(ds, reflector(1.0, axes, 64, 0.5), kitMeta(0));
    Sigmf::addFrame(ds, reflector(2.0, axes, 64, 0.5), kitMeta(1));
    QVERIFY(Sigmf::write(ds, dir.filePath("r")));
    // Both files of one recording picked: its frames once; a text frame stays as it is.
    QVERIFY(DataFile::write({1.0, 2.0}, dir.filePath("plain.txt")));
    const QStringList refs = Sigmf::expandFrames(
        {dir.filePath("r.sigmf-data"), dir.filePath("r.sigmf-meta"), dir.filePath("plain.txt")});
    QCOMPARE(refs.size(), 3);
    QCOMPARE(refs.last(), dir.filePath("plain.txt"));
    const Recording::Frame second = Recording::load(refs.at(1));
    QVERIFY(second.readOk && second.hasMeta);
    QVector<double> stored; // the frame as float32 holds it
    for (double v : ds.frame(1))
        stored << double(float(v));
    QCOMPARE(second.samples, stored);
    QCOMPARE(second.meta.frameNumber, 1);
    // The recorded pace is the recording's own clock.
    QCOMPARE(Recording::paceSeconds(Recording::loadMeta(refs.at(0)), second, 9.0), 0.25);
}

void TestSigmf::exportOfTextFramesKeepsTheirValues()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("Data");
    const RadarMath::FrameAxes axes = kitMeta().axes();
    Recording::Index index;
    index.name = "data.txt";
    index.planned = 3;
    for (int k : {0, 2}) {
        const QString name = DataFile::numberedName("data.txt", k);
        FrameMeta::Meta meta = kitMeta(k);
        meta.sampleCount = 128;
        QVERIFY(DataFile::write(reflector(2.0, axes, 128, 0.5), folder + "/" + name));
        QVERIFY(FrameMeta::write(meta, folder + "/" + name));
        index.frames.append({k, name, 0.25 * k});
        if (k == 0)
            index.frames.append({1, QString(), 0.25});
    }
    QVERIFY(Recording::writeIndex(folder, index));

    const QString base = dir.filePath("out");
    const CliRun run = runCliInProcess({"export", folder, "--format", "sigmf", "-o", base});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    Sigmf::Dataset ds;
    QVERIFY(Sigmf::read(base, &ds));
    QCOMPARE(ds.frameCount(), 2);
    QCOMPARE(ds.gaps, QList<int>{1});
    QVector<double> text;
    QVERIFY(DataFile::read(folder + "/data2.txt", &text));
    const QVector<double> frame2 = ds.frame(1);
    for (int i = 0; i < text.size(); ++i)
        QVERIFY(std::abs(frame2[i] - text[i]) < 1e-7);
    QVERIFY(!ds.annotations.isEmpty());
    QVERIFY(std::abs(ds.annotations.first().rangeM - 2.0) < 0.05);
    // Not a recording: a usage or a device error, never a file.
    QCOMPARE(runCliInProcess({"export", dir.filePath("none"), "-o", base + "2"}).status, 1);
    QVERIFY(!QFile::exists(base + "2.sigmf-meta"));
}

QTEST_GUILESS_MAIN(TestSigmf)
#include "tst_sigmf.moc"
