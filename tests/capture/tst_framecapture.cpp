// SPDX-License-Identifier: GPL-3.0-or-later
// The frame transfer over the command layer, the conversion to volts and the data files.
#include "support/RadarTestSupport.h"

#include "capture/DataFile.h"
#include "capture/FrameCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class CaptureFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void queriesPerFrame_data();
    void queriesPerFrame();
    void transferJoinsRepliesWithoutTerminators();
    void lostRepliesAreCounted();
    void conversion();
    void formatIsOneValuePerLine();
    void parseAcceptsCrlfAndBadLines();
    void writeCreatesTheFolderAndReplacesWhole();
    void readMissingFile();
    void numberedNames();
};

void CaptureFilesTest::queriesPerFrame_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("queries");
    QTest::addColumn<int>("samples");
    QTest::newRow("1024") << 1024 << 34 << 1024;
    QTest::newRow("31, the second reply empty") << 31 << 2 << 31;
    QTest::newRow("4096") << 4096 << 133 << 4096;
    QTest::newRow("0 still asks once") << 0 << 1 << 0;
    QTest::newRow("-40 asks nothing") << -40 << 0 << 0;
}

void CaptureFilesTest::queriesPerFrame()
{
    QFETCH(int, n);
    QFETCH(int, queries);
    QFETCH(int, samples);
    SimKits sim;
    sim.kit().clearReceived();
    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    const FrameCapture::FrameText frame = FrameCapture::captureFrame(sim.usb, n);
    sim.usb.closeConnection();

    QCOMPARE(sim.received().first(), QStringLiteral("CAPT:FRAM %1").arg(n));
    QCOMPARE(sim.count(QStringLiteral("CAPT:FRAM?")), queries);
    QCOMPARE(frame.queries, queries);
    QCOMPARE(frame.lostReplies, 0);
    QCOMPARE(FrameCapture::hexToVolts(frame.hex).size(), samples);
}

void CaptureFilesTest::transferJoinsRepliesWithoutTerminators()
{
    SimKits sim;
    sim.singleTarget(2.0);
    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    const FrameCapture::FrameText frame = FrameCapture::captureFrame(sim.usb, 100);
    sim.usb.closeConnection();
    QCOMPARE(frame.hex.size(), 400);
    QVERIFY(!frame.hex.contains(QLatin1Char('\n')));
    for (QChar c : frame.hex)
        QVERIFY2(QStringLiteral("0123456789ABCDEF").contains(c), qPrintable(frame.hex));
}

void CaptureFilesTest::lostRepliesAreCounted()
{
    SimKits sim;
    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    SimFaults faults;
    faults.disconnectAfter = 10; // the kit drops off a few replies into the frame
    sim.kit().setFaults(faults);
    const FrameCapture::FrameText frame = FrameCapture::captureFrame(sim.usb, 1024);
    sim.usb.closeConnection();
    // The first dead read ends the frame: no more queries wait out their time-outs.
    QVERIFY(frame.queries < 34);
    QCOMPARE(frame.lostReplies, 1);
    QVERIFY(frame.hex.size() < 1024 * 4);
    QVERIFY(!frame.check.ok);
}

void CaptureFilesTest::conversion()
{
    // FFFF is exactly +2.5 V: the divisor is 65535.
    QCOMPARE(FrameCapture::countToVolts(0xFFFF), 2.5);
    QCOMPARE(FrameCapture::countToVolts(0), -2.5);
    QVERIFY(qAbs(FrameCapture::countToVolts(0x8000) - 3.8147e-05) < 1e-9);

    // Seven characters: the second sample comes from three digits; lower case parses.
    QVector<double> v = FrameCapture::hexToVolts(QStringLiteral("ffff0FF"));
    QCOMPARE(v.size(), 2);
    QCOMPARE(v[0], 2.5);
    QCOMPARE(v[1], FrameCapture::countToVolts(0x0FF));

    // Groups that are not hexadecimal count as 0, i.e. -2.5 V.
    v = FrameCapture::hexToVolts(QStringLiteral("12G4+001 0FF"));
    QCOMPARE(v, (QVector<double>{-2.5, -2.5, -2.5}));
    QVERIFY(FrameCapture::hexToVolts(QString()).isEmpty());
}

void CaptureFilesTest::formatIsOneValuePerLine()
{
    QCOMPARE(DataFile::format({-2.5, 0, 2.5}), QByteArray("-2.5\n0\n2.5\n"));
    QCOMPARE(DataFile::format({-2.5, 0, 2.5}).size(), 11);
    QCOMPARE(DataFile::format({1234567.8, 0.0123, 3.8147e-05}),
             QByteArray("1.23457e+06\n0.0123\n3.8147e-05\n"));
    QCOMPARE(DataFile::format({}), QByteArray());
    QCOMPARE(DataFile::parse("1.23457e+06\n"), QVector<double>{1234570.0});
}

void CaptureFilesTest::parseAcceptsCrlfAndBadLines()
{
    QCOMPARE(DataFile::parse("1\r\n-2.5\r\n3e-3\r\n"), (QVector<double>{1, -2.5, 0.003}));
    QCOMPARE(DataFile::parse("1\n-2.5\n3e-3"), (QVector<double>{1, -2.5, 0.003}));
    QCOMPARE(DataFile::parse("1\n\nabc\n2\n"), (QVector<double>{1, 0, 0, 2}));
    QVERIFY(DataFile::parse("").isEmpty());

    // A 1024-sample frame comes back equal to six significant digits.
    QVector<double> frame(1024);
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = 2.5 * std::sin(i * 0.37) + 1e-3 * i;
    const QVector<double> back = DataFile::parse(DataFile::format(frame));
    QCOMPARE(back.size(), frame.size());
    for (int i = 0; i < frame.size(); ++i)
        QVERIFY(qAbs(back[i] - frame[i]) <= 5e-6 * qMax(1e-3, qAbs(frame[i])));
}

void CaptureFilesTest::writeCreatesTheFolderAndReplacesWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data/sub/data.txt"));
    QString error;
    QVERIFY2(DataFile::write({-2.5, 0, 2.5}, path, &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("-2.5\n0\n2.5\n"));
    f.close();

    // Overwriting leaves exactly the new frame; an empty frame is an empty file.
    QVERIFY(DataFile::write({}, path));
    QCOMPARE(QFileInfo(path).size(), 0);
    QVector<double> back{1};
    QVERIFY(DataFile::read(path, &back));
    QVERIFY(back.isEmpty());
    // No temporary file stays behind.
    QCOMPARE(QDir(dir.filePath(QStringLiteral("Data/sub"))).entryList(QDir::Files),
             QStringList{"data.txt"});
}

void CaptureFilesTest::readMissingFile()
{
    QVector<double> data{1, 2};
    QString error;
    QVERIFY(!DataFile::read(QStringLiteral("/nonexistent/x.txt"), &data, &error));
    QVERIFY(data.isEmpty());
    QVERIFY(!error.isEmpty());
}

void CaptureFilesTest::numberedNames()
{
    QCOMPARE(DataFile::numberedName(QStringLiteral("data.txt"), 0), QStringLiteral("data0.txt"));
    QCOMPARE(DataFile::numberedName(QStringLiteral("run.dat"), 12), QStringLiteral("run12.dat"));
    QCOMPARE(DataFile::numberedName(QStringLiteral("ab"), 3), QStringLiteral("3ab"));
}

QTEST_GUILESS_MAIN(CaptureFilesTest)
#include "tst_framecapture.moc"
