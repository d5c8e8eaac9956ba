// SPDX-License-Identifier: GPL-3.0-or-later
// The one collection writer: numbering, sidecars, gaps and an index that lists only frames that
// are whole on disk, also when the disk fills up.
#include "capture/CollectionWriter.h"
#include "capture/DataFile.h"
#include "capture/Recording.h"

#include "support/SmallDisk.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

FrameMeta::Meta usbMeta()
{
    FrameMeta::Meta m;
    m.application = QStringLiteral("kvvlx");
    m.link = QStringLiteral("USB");
    m.capturedUtc = QDateTime::currentDateTimeUtc();
    return m;
}

CollectionWriter::Plan plan(const QString &folder, int planned, bool padded = false)
{
    CollectionWriter::Plan p;
    p.folder = folder;
    p.name = QStringLiteral("run.dat");
    p.planned = planned;
    p.intervalS = 2.0;
    p.zeroPadded = padded;
    p.link = QStringLiteral("USB");
    return p;
}

} // namespace

class CollectionWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void numbersFilesAndNotesGaps();
    void fullDiskEndsWithAnErrorAndWholeFrames();
};

void CollectionWriterTest::numbersFilesAndNotesGaps()
{
    QTemporaryDir dir;
    CollectionWriter w;
    w.begin(plan(dir.path(), 3));
    QVERIFY(w.addFrame(0, {0.1, 0.2}, usbMeta(), 0.0));
    QVERIFY(w.addGap(1, 2.0)); // step 1 wrote no file
    QCOMPARE(w.pathOf(2), dir.path() + QStringLiteral("/run2.dat"));
    QVERIFY(w.addFrame(2, {0.3, 0.4}, usbMeta(), 4.0));

    Recording::Index index;
    QCOMPARE(Recording::readIndex(dir.path(), &index), FrameMeta::ReadResult::Ok);
    QVERIFY(index.complete);
    QCOMPARE(index.files(), (QStringList{"run0.dat", "run2.dat"}));
    QCOMPARE(index.gaps(), 1);
    QCOMPARE(index.frames.at(2).sinceFirstS, 4.0);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("run1.dat"))));

    // Each frame's sidecar carries its place in the collection.
    const Recording::Frame f = Recording::load(dir.filePath(QStringLiteral("run2.dat")));
    QVERIFY(f.hasMeta);
    QCOMPARE(f.meta.frameNumber, 2);
    QCOMPARE(f.meta.sampleCount, 2);
    QCOMPARE(f.meta.plannedIntervalS, 2.0);
    QCOMPARE(f.meta.sinceFirstFrameS, 4.0);

    // Zero-padded: wide enough for the last number, never under four digits.
    w.begin(plan(dir.filePath(QStringLiteral("padded")), 12000, true));
    QCOMPARE(QFileInfo(w.pathOf(7)).fileName(), QStringLiteral("run00007.dat"));
    w.begin(plan(dir.filePath(QStringLiteral("padded")), 10, true));
    QCOMPARE(QFileInfo(w.pathOf(7)).fileName(), QStringLiteral("run0007.dat"));
}

// Needs a tmpfs mount (root); skipped otherwise.
void CollectionWriterTest::fullDiskEndsWithAnErrorAndWholeFrames()
{
    const SmallDisk disk;
    const QString mount = disk.path();
    if (mount.isEmpty())
        QSKIP("cannot mount a small tmpfs here");

    CollectionWriter w;
    w.begin(plan(mount, 100));
    const QVector<double> frame(1024, -1.23456); // 9 bytes a line
    QString error;
    int written = 0;
    while (written < 100 && w.addFrame(written, frame, usbMeta(), written * 2.0, &error))
        ++written;
    QVERIFY2(written > 0 && written < 100, qPrintable(QString::number(written)));
    QVERIFY2(error.contains(QStringLiteral("No space left on device")), qPrintable(error));
    QVERIFY2(error.contains(mount), qPrintable(error));

    // The index on disk is whole and lists only whole frames with their sidecars.
    Recording::Index index;
    QCOMPARE(Recording::readIndex(mount, &index), FrameMeta::ReadResult::Ok);
    QVERIFY(!index.complete);
    QVERIFY(!index.files().isEmpty());
    for (const QString &name : index.files()) {
        const Recording::Frame f = Recording::load(mount + QLatin1Char('/') + name);
        QVERIFY2(f.readOk && f.hasMeta, qPrintable(name));
        QCOMPARE(f.samples.size(), frame.size());
        QCOMPARE(f.meta.sampleCount, int(frame.size()));
    }
    // Nothing half written anywhere: every frame file on disk is whole, no part file.
    for (const QString &name : QDir(mount).entryList({QStringLiteral("run*.dat")}, QDir::Files))
        QCOMPARE(Recording::load(mount + QLatin1Char('/') + name).samples.size(), frame.size());
    QVERIFY(
        QDir(mount).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden).isEmpty());
}

QTEST_GUILESS_MAIN(CollectionWriterTest)
#include "tst_collectionwriter.moc"
