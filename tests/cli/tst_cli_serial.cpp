// SPDX-License-Identifier: GPL-3.0-or-later
// kvvlx-cli --serial: the Bluetooth link from the command line, against virtual kits on
// pseudo-terminals.

#include "cli/CliApp.h"
#include "radar/DataFile.h"
#include "sim/BtPtyServer.h"
#include "sim/VirtualKit.h"
#include "support/CliRun.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
    }
};

QTEST_GUILESS_MAIN(CliSerialTest)
#include "tst_cli_serial.moc"
