// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtCapture.h"
#include "bt/BtSeriesRun.h"
#include "bt/CommandSteps.h"
#include "capture/CollectionIndex.h"
#include "capture/DataFile.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// A series driven as the tab drives it, with replies handed in by hand instead of a kit.
class BtSeriesRunTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        BtCapture capture;
        CommandSteps steps;
        QVector<double> held;
        BtSeriesRun run{capture, steps, [this](QVector<double> *d, FrameMeta::Meta *m) {
                            *d = held;
                            *m = FrameMeta::live(FrameMeta::Kit{});
                        }};
        QSignalSpy commands{&steps, &CommandSteps::command};
        QSignalSpy failures{&run, &BtSeriesRun::failed};

        // A data reply as the tab passes it on.
        void reply(double value, bool good = true)
        {
            held = QVector<double>(8, value);
            run.replied(capture.frameArrived().seriesNumber, good);
        }
    };

    static BtSeriesRun::Settings settings(const QString &folder, int planned, double intervalS)
    {
        BtSeriesRun::Settings s;
        s.plan.folder = folder;
        s.plan.planned = planned;
        s.plan.intervalS = intervalS;
        s.plan.link = QStringLiteral("Bluetooth");
        s.samples = 8;
        return s;
    }

private slots:
    // Replies land under the step that asked for them, a refused reply and a step without a
    // reply are gaps, and the run asks exactly as often as planned.
    void repliesGapsAndTheEnd()
    {
        QTemporaryDir dir;
        Rig r;
        QVERIFY(r.run.start(settings(dir.path(), 3, 0.05)));
        QVERIFY(!r.run.start(settings(dir.path(), 3, 0.05))); // one run at a time
        QCOMPARE(r.commands.size(), 1);
        QCOMPARE(r.commands.at(0).at(0).toString(), QStringLiteral("CAPT:STRE 8$"));
        r.reply(1.0);
        QVERIFY(r.commands.wait(2000)); // returns as the next request goes
        QCOMPARE(r.commands.size(), 2);
        r.reply(2.0, false); // refused by its check
        QVERIFY(r.commands.wait(2000));
        QCOMPARE(r.commands.size(), 3);
        // Step 2 gets no reply: the next tick writes its gap and ends the run.
        QTRY_VERIFY(!r.capture.seriesRunning());
        QTest::qWait(150);
        QCOMPARE(r.commands.size(), 3);
        QVERIFY(r.failures.isEmpty());

        QVector<double> saved;
        QVERIFY(DataFile::read(dir.filePath(QStringLiteral("data0.txt")), &saved));
        QCOMPARE(saved, QVector<double>(8, 1.0));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("data1.txt"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("data2.txt"))));
    }

    // A folder that takes no file ends the run at its first failed step, with one message.
    void aFailedWriteEndsTheRun()
    {
        QTemporaryDir dir;
        const QString notAFolder = dir.filePath(QStringLiteral("file"));
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        Rig r;
        QVERIFY(r.run.start(settings(notAFolder, 5, 10.0)));
        r.reply(1.0);
        QCOMPARE(r.failures.size(), 1);
        QVERIFY(r.failures.at(0).at(0).toString().startsWith(QStringLiteral("Could not save")));
        QVERIFY(r.failures.at(0).at(1).toString().startsWith(
            QStringLiteral("The series stopped after 1 of 5 captures.")));
        QVERIFY(!r.capture.seriesRunning());
        QTest::qWait(50);
        QCOMPARE(r.commands.size(), 1);
    }

    void requestsWithoutFilesWhenNotSaving()
    {
        QTemporaryDir dir;
        Rig r;
        BtSeriesRun::Settings s = settings(dir.path(), 2, 0.0);
        s.save = false;
        QVERIFY(r.run.start(s));
        r.reply(1.0);
        QTRY_COMPARE(r.commands.size(), 2);
        r.reply(2.0);
        QVERIFY(!r.capture.seriesRunning());
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
};

QTEST_MAIN(BtSeriesRunTest)
#include "tst_btseriesrun.moc"
