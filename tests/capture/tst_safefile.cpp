// SPDX-License-Identifier: GPL-3.0-or-later
// Files that are never trusted and never half written: FIFOs, devices, huge and deeply nested
// files refused at once; sidecar numbers checked before they are converted; a failed write
// leaves the previous file and no part file.
#include "capture/DataFile.h"
#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "capture/SafeFile.h"

#include "support/SmallDisk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Hidden temporaries a failed write might have left.
QStringList partFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
}

QJsonObject goodSidecar()
{
    FrameMeta::Meta m;
    m.application = QStringLiteral("kvvlx");
    m.link = QStringLiteral("USB");
    m.sampleCount = 3;
    m.capturedUtc = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    m.inCollection = true;
    m.frameNumber = 2;
    return FrameMeta::toJson(m);
}

} // namespace

class SafeFileTest : public QObject
{
    Q_OBJECT

private slots:
    void hostileFilesRefusedAtOnce_data();
    void hostileFilesRefusedAtOnce();
    void sidecarNumbersChecked_data();
    void sidecarNumbersChecked();
    void frameAndSidecarWrittenTogether();
    void failedWriteKeepsTheGoodFile();
    void namesLeadingOutOfTheFolderLeftOut();
};

void SafeFileTest::hostileFilesRefusedAtOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "a FIFO";
    QTest::newRow("link to /dev/zero") << "zero"
                                       << "a device";
    QTest::newRow("2 GiB sparse file") << "sparse"
                                       << "too large";
    QTest::newRow("folder") << "folder"
                            << "a folder";
}

// Each hostile name as a frame, as a sidecar and as the collection index: every reader says no
// at once, naming the file, and reads nothing.
void SafeFileTest::hostileFilesRefusedAtOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    auto make = [&](const QString &path) {
        if (kind == QLatin1String("fifo"))
            return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
        if (kind == QLatin1String("zero"))
            return QFile::link(QStringLiteral("/dev/zero"), path);
        if (kind == QLatin1String("folder"))
            return QDir().mkdir(path);
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.resize(qint64(2) << 30);
    };
    const QString frame = dir.filePath(QStringLiteral("data0.txt"));
    QVERIFY(make(frame));
    QVERIFY(make(FrameMeta::sidecarPath(frame)));
    QVERIFY(make(Recording::indexPath(dir.path())));

    QElapsedTimer clock;
    clock.start();
    QVector<double> samples;
    QString error;
    QVERIFY(!DataFile::read(frame, &samples, &error));
    QVERIFY2(error.contains(reason) && error.contains(QStringLiteral("data0.txt")),
             qPrintable(error));

    const Recording::Frame loaded = Recording::load(frame);
    QVERIFY(!loaded.readOk);
    QVERIFY2(loaded.metaError.contains(reason), qPrintable(loaded.metaError));
    QVERIFY(Recording::loadNote(loaded).startsWith(QStringLiteral("Not loaded: ")));

    Recording::Index index;
    QCOMPARE(Recording::readIndex(dir.path(), &index, &error), FrameMeta::ReadResult::Invalid);
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(clock.elapsed() < 5000);
}

void SafeFileTest::sidecarNumbersChecked_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("json"); // the field's value as JSON text
    QTest::addColumn<QString>("reason");
    QTest::newRow("count 1e300") << QByteArray("samples") << QByteArray("count")
                                 << QByteArray("1e300") << "outside";
    QTest::newRow("count -5") << QByteArray("samples") << QByteArray("count") << QByteArray("-5")
                              << "outside";
    QTest::newRow("count 64.5") << QByteArray("samples") << QByteArray("count")
                                << QByteArray("64.5") << "not a whole number";
    QTest::newRow("count text") << QByteArray("samples") << QByteArray("count")
                                << QByteArray("\"many\"") << "not a number";
    QTest::newRow("formatVersion 1e300")
        << QByteArray() << QByteArray("formatVersion") << QByteArray("1e300") << "outside";
    QTest::newRow("sweepType 7") << QByteArray("settings") << QByteArray("sweepType")
                                 << QByteArray("7") << "outside";
    QTest::newRow("frame -1") << QByteArray("collection") << QByteArray("frame") << QByteArray("-1")
                              << "outside";
    QTest::newRow("numberWidth 1e9")
        << QByteArray("collection") << QByteArray("numberWidth") << QByteArray("1e9") << "outside";
    QTest::newRow("periodS 0") << QByteArray("samples") << QByteArray("periodS") << QByteArray("0")
                               << "above 0";
}

// A sidecar whose numbers are out of range, of the wrong kind or not JSON at all is named and
// set aside; the frame beside it still loads as plain samples.
void SafeFileTest::sidecarNumbersChecked()
{
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString frame = dir.filePath(QStringLiteral("f.txt"));
    QVERIFY(DataFile::write({-2.5, 0, 2.5}, frame));

    // The value goes in as text, so that numbers JSON parsers round (1e300) arrive as written.
    QJsonObject j = goodSidecar();
    const QByteArray marker("\"@@\"");
    if (group.isEmpty()) {
        j.insert(QString::fromLatin1(field), QStringLiteral("@@"));
    } else {
        QJsonObject inner = j.value(QString::fromLatin1(group)).toObject();
        inner.insert(QString::fromLatin1(field), QStringLiteral("@@"));
        j.insert(QString::fromLatin1(group), inner);
    }
    QByteArray text = QJsonDocument(j).toJson();
    text.replace(marker, json);
    QVERIFY(DataFile::writeBytes(text, FrameMeta::sidecarPath(frame)));

    const Recording::Frame f = Recording::load(frame);
    QVERIFY(f.readOk);
    QCOMPARE(f.samples, (QVector<double>{-2.5, 0, 2.5}));
    QVERIFY(!f.hasMeta);
    QVERIFY2(f.metaError.contains(QString::fromLatin1(field)) && f.metaError.contains(reason),
             qPrintable(f.metaError));
    QVERIFY(Recording::loadNote(f).contains(QStringLiteral("invalid metadata: ")));
}

void SafeFileTest::frameAndSidecarWrittenTogether()
{
    QTemporaryDir dir;
    const QString frame = dir.filePath(QStringLiteral("Data/data.txt")); // folder made
    FrameMeta::Meta m;
    m.link = QStringLiteral("USB");
    m.capturedUtc = QDateTime::currentDateTimeUtc();
    QString error;
    QVERIFY2(DataFile::save({0.5, -0.25}, frame, &m, &error), qPrintable(error));
    QCOMPARE(fileBytes(frame), QByteArray("0.5\n-0.25\n"));
    FrameMeta::Meta back;
    QCOMPARE(FrameMeta::read(frame, &back), FrameMeta::ReadResult::Ok);
    QCOMPARE(back.sampleCount, 2); // the count of what was written
    QVERIFY(partFiles(dir.filePath(QStringLiteral("Data"))).isEmpty());

    // A sidecar that cannot be put in place takes the frame with it.
    const QString blocked = dir.filePath(QStringLiteral("b.txt"));
    QVERIFY(QDir().mkdir(FrameMeta::sidecarPath(blocked)));
    QVERIFY(!DataFile::save({1.0}, blocked, &m, &error));
    QVERIFY2(error.contains(QStringLiteral("b.txt.json")), qPrintable(error));
    QVERIFY(!QFile::exists(blocked));
    QVERIFY(partFiles(dir.path()).isEmpty());
}

// A small full file system: the write fails with the system's reason, the good file of the same
// name stays as it was, and no part file is left. Needs a tmpfs mount (root); skipped otherwise.
void SafeFileTest::failedWriteKeepsTheGoodFile()
{
    const SmallDisk disk;
    const QString mount = disk.path();
    if (mount.isEmpty())
        QSKIP("cannot mount a small tmpfs here");
    const QString path = mount + QStringLiteral("/data.txt");
    QVERIFY(DataFile::write({1, 2, 3}, path));
    const QVector<double> big(40000, 1.23456); // about 320 kB
    QString error;
    QVERIFY(!DataFile::write(big, path, &error));
    QVERIFY2(error.contains(QStringLiteral("data.txt")) &&
                 error.contains(QStringLiteral("No space left on device")),
             qPrintable(error));
    QCOMPARE(fileBytes(path), QByteArray("1\n2\n3\n"));
    QVERIFY(partFiles(mount).isEmpty());
}

void SafeFileTest::namesLeadingOutOfTheFolderLeftOut()
{
    QTemporaryDir dir;
    const QString rec = dir.filePath(QStringLiteral("rec"));
    QVERIFY(QDir().mkdir(rec));
    QVERIFY(DataFile::write({1}, dir.filePath(QStringLiteral("secret1.txt"))));
    QVERIFY(DataFile::write({1}, rec + QStringLiteral("/data0.txt")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("secret1.txt")),
                        rec + QStringLiteral("/data1.txt")));
    QVERIFY(QFile::link(rec + QStringLiteral("/data0.txt"), rec + QStringLiteral("/data2.txt")));
    QString error;
    QCOMPARE(Recording::framesOf(rec, &error),
             (QStringList{rec + QStringLiteral("/data0.txt"), rec + QStringLiteral("/data2.txt")}));
    QVERIFY2(error.contains(QStringLiteral("data1.txt")), qPrintable(error));

    // An index naming a file outside by ".." is refused as a whole.
    QVERIFY(DataFile::writeBytes(R"({"format":"kvvlx-collection","formatVersion":1,
        "frames":[{"frame":0,"file":"../secret1.txt","sinceFirstFrameS":0}]})",
                                 Recording::indexPath(rec)));
    Recording::Index index;
    QCOMPARE(Recording::readIndex(rec, &index, &error), FrameMeta::ReadResult::Invalid);
    QVERIFY2(error.contains(QStringLiteral("not a name inside the folder")), qPrintable(error));

    // Nesting is bounded before a parser sees it.
    QVERIFY(DataFile::writeBytes(QByteArray(200, '[') + QByteArray(200, ']'),
                                 Recording::indexPath(rec)));
    QCOMPARE(Recording::readIndex(rec, &index, &error), FrameMeta::ReadResult::Invalid);
    QVERIFY2(error.contains(QStringLiteral("nested deeper")), qPrintable(error));
}

QTEST_GUILESS_MAIN(SafeFileTest)
#include "tst_safefile.moc"
