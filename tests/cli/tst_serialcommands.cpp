// SPDX-License-Identifier: GPL-3.0-or-later
// kvvlx-cli --serial: the Bluetooth link from the command line, against virtual kits on
// pseudo-terminals.

#include "capture/DataFile.h"
#include "cli/CliApp.h"
#include "sim/BtPtyServer.h"
#include "sim/VirtualKit.h"
#include "support/CliRun.h"
#include "support/ReplyForms.h"

#include <QTemporaryDir>
#include <QtTest>

#include <QElapsedTimer>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using Run = CliRun;

Run cli(const QStringList &arguments) { return runCliInProcess(arguments); }

} // namespace

class CliSerialTest : public QObject
{
    Q_OBJECT
private slots:
    void queryPrintsTheFirstReply()
    {
        auto kit = std::make_shared<VirtualKit>();
        BtPtyServer server(kit);
        QVERIFY(server.start());
        const Run run = cli({"--serial", server.slavePath(), "query", "SWEEP:TYPE?$"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("TYPE:2:END\n"));
        QCOMPARE(kit->receivedCommands(), QStringList{"SWEEP:TYPE?$"});
    }

    void captureWritesTheDecodedFrame()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("frame.txt"));
        const Run run =
            cli({"--serial", "virtual", "capture", "-n", "1024", "--target", "2.0", "-o", file});
        QCOMPARE(run.status, 0);
        QVector<double> frame;
        QVERIFY(DataFile::read(file, &frame));
        QCOMPARE(frame.size(), 1024);

        const Run toStdout = cli({"--serial", "virtual", "capture", "-n", "8"});
        QCOMPARE(toStdout.status, 0);
        QCOMPARE(toStdout.out.count(QLatin1Char('\n')), 8);
    }

    void failuresAndUsage()
    {
        auto kit = std::make_shared<VirtualKit>();
        SimFaults quiet;
        quiet.noReply = true;
        kit->setFaults(quiet);
        BtPtyServer server(kit);
        QVERIFY(server.start());
        const Run silent = cli({"--serial", server.slavePath(), "capture", "-n", "4"});
        QCOMPARE(silent.status, 1);
        QVERIFY(silent.err.contains(QStringLiteral("no frame")));

        QCOMPARE(cli({"--serial", "/dev/kvvlx-no-such-port", "query", "X$"}).status, 1);
        QCOMPARE(cli({"--serial", "virtual", "capture", "-n", "0"}).status, 2);
        QCOMPARE(cli({"--serial", "virtual", "query"}).status, 2);
        QCOMPARE(cli({"--serial", "virtual", "list"}).status, 2);
        QCOMPARE(cli({"--serial", "/dev/ttyS0", "capture", "--target", "2"}).status, 2);
        QCOMPARE(cli({"--serial"}).status, 2);
        // The kit takes 1 to 4096 samples; a huge count must not turn into a wait of hours.
        QCOMPARE(cli({"--serial", "virtual", "capture", "-n", "4097"}).status, 2);
        QCOMPARE(cli({"--serial", "virtual", "capture", "-n", "2147483647"}).status, 2);
    }

    void badDataRepliesAreRefused_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("words");
        QTest::newRow("truncated payload")
            << int(SimBtFrameFault::TruncatedPayload) << "frame incomplete: 32 of 64 samples";
        // Garbage before a reply becomes part of its tag: still the data tag, far too long.
        QTest::newRow("zero glitch")
            << int(SimBtFrameFault::ZeroGlitch) << "frame too long: 564 samples for 64";
        QTest::newRow("noise") << int(SimBtFrameFault::Noise) << "frame too long: 564 samples";
        // An earlier tag wins, so no data reply ever comes.
        QTest::newRow("wrong tag") << int(SimBtFrameFault::WrongTag) << "no frame";
    }

    void badDataRepliesAreRefused()
    {
        QFETCH(int, fault);
        QFETCH(QString, words);
        auto kit = std::make_shared<VirtualKit>();
        SimFaults faults;
        faults.btFrameFault = SimBtFrameFault(fault);
        kit->setFaults(faults);
        BtPtyServer server(kit);
        QVERIFY(server.start());
        Run run = cli({"--serial", server.slavePath(), "capture", "-n", "64"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(words), qPrintable(run.err));

        run = cli({"--serial", server.slavePath(), "capture", "-n", "64"}); // the kit is well again
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.count(QLatin1Char('\n')), 64);
    }

    // The frame written is the one the kit sent, whatever form its reply took.
    void captureOfEveryReplyForm_data() { addReplyFormRows(); }

    void captureOfEveryReplyForm()
    {
        QFETCH(SimReplyForm, form);
        auto kit = std::make_shared<VirtualKit>();
        kit->setReplyForm(form);
        BtPtyServer server(kit);
        QVERIFY(server.start());
        const Run run = cli({"--serial", server.slavePath(), "capture", "-n", "64"});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QStringList expected;
        for (double v : sentVolts(*kit))
            expected << QString::number(v, 'g', 6);
        QCOMPARE(expected.size(), 64);
        QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }

    void vanishedPortEndsAtOnce()
    {
        auto kit = std::make_shared<VirtualKit>();
        SimFaults quiet;
        quiet.noReply = true;
        kit->setFaults(quiet);
        auto server = std::make_unique<BtPtyServer>(kit);
        QVERIFY(server->start());
        const QString path = server->slavePath();
        std::thread unplug([&server] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            server.reset();
        });
        QElapsedTimer clock;
        clock.start();
        const Run run = cli({"--serial", path, "capture", "-n", "4096"}); // waits up to 10 s
        unplug.join();
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("port closed")), qPrintable(run.err));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(CliSerialTest)
#include "tst_serialcommands.moc"
