// SPDX-License-Identifier: GPL-3.0-or-later
// kvvlx-cli: the subcommands in-process over virtual kits, and the program as a user runs it.

#include "cli/CliApp.h"
#include "support/CliRun.h"

#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include "KvvlxVersion.h"

#include <QProcess>
#include <QtTest>

namespace {

using Run = CliRun;

Run cli(const QStringList &arguments) { return runCliInProcess(arguments); }

Run program(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_LOGGING_RULES")); // the program's own default applies
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KVVLX_CLI_PATH), arguments);
    Run run;
    if (!process.waitForFinished(30000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        WinUSBTMC::setDefaultPause([](unsigned long) {});
        setVisaLibraryNames({QStringLiteral("kvvlx-no-such-visa-library")});
    }
    void cleanup()
    {
        SimUsbBus::global().detachAll();
        setDeviceLayerFactory({});
    }

    void usageErrors_data();
    void usageErrors();
    void listVirtualKits();
    void queryPicksKitByTargetOrSerial();
    void sendWithoutReading();
    void deviceErrors();
    void programAsAUserRunsIt();
    void optionsAnywhereAndVersion();
    void repliesPrintedWithoutTheirTerminator();
};

// Whatever one character a kit ends its replies with, query and list print the text alone.
void CliTest::repliesPrintedWithoutTheirTerminator()
{
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    for (const char t : {'\n', '\r', '\x03', '\0'}) {
        SimUsbBus::global().detachAll();
        auto kit = std::make_shared<VirtualKit>();
        SimReplyForm form;
        form.usbTerminator = t;
        kit->setReplyForm(form);
        SimUsbBus::global().attach(kit);
        QCOMPARE(cli({"query", "SWEEP:FREQSTAR?"}).out, QStringLiteral("24\n"));
        QCOMPARE(cli({"list"}).out,
                 QStringLiteral("sim:SIM0001\tTamarin Works\tKV7310\tSIM0001\t1.0.0\n"));
    }
    // The same forms chosen on the command line for --simulate, wherever they stand; a frame in
    // lower-case digits ended by ETX reads as the kit sent it.
    SimUsbBus::global().detachAll();
    setDeviceLayerFactory({});
    Run run = cli({"--usb-terminator", "etx", "--simulate", "query", "SWEEP:FREQSTAR?",
                   "--hex-case=lower"});
    QCOMPARE(run.out, QStringLiteral("24\n"));
    const std::shared_ptr<VirtualKit> kit = SimUsbBus::global().kits().front();
    QCOMPARE(kit->replyForm().usbTerminator, '\x03');
    QCOMPARE(kit->replyForm().hexCase, SimReplyForm::HexCase::Lower);
    run = cli({"capture", "-n", "40", "--usb-terminator", "cr", "--hex-case", "mixed"});
    QCOMPARE(run.status, 2); // without --simulate they are no options of capture
    SimUsbBus::global().detachAll();
    run = cli({"--simulate", "capture", "-n", "40", "--usb-terminator", "cr", "--hex-case",
               "mixed"});
    QCOMPARE(run.status, 0);
    const QVector<quint16> sent = SimUsbBus::global().kits().front()->lastFrameSent();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 40);
    for (int i = 0; i < 40; ++i) // six significant digits in the file
        QVERIFY(qAbs(lines[i].toDouble() - (sent[i] / 65535.0 * 5 - 2.5)) < 5e-5);
    QCOMPARE(cli({"--simulate", "list", "--usb-terminator", "tab"}).status, 2);
}

void CliTest::optionsAnywhereAndVersion()
{
    Run run = cli({"list", "--simulate=2"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.count('\n'), 2);
    SimUsbBus::global().detachAll();

    run = cli({"query", "*IDN?", "--simulate"});
    QCOMPARE(run.out, QStringLiteral("Tamarin Works,KV7310,SIM0001,1.0.0\n"));
    SimUsbBus::global().detachAll();

    run = cli({"--version"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("kvvlx-cli " KVVLX_VERSION "\n"));
    // "--version" before a command word stays the program's version, not a firmware value.
    QCOMPARE(cli({"--version", "list"}).out, run.out);

    // The virtual kit's firmware option keeps its old spelling, with a note.
    run = cli({"--serial", "virtual", "capture", "-n", "8", "--version", "1.1.0"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.count('\n'), 8);
    QVERIFY(run.err.contains("--firmware"));
}

void CliTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"capture-everything"};
    QTest::newRow("zero kits") << QStringList{"--simulate=0", "list"};
    QTest::newRow("query without text") << QStringList{"--simulate", "query"};
    QTest::newRow("list with arguments") << QStringList{"--simulate", "list", "extra"};
}

void CliTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    const Run run = cli(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.startsWith("kvvlx-cli: "));
}

void CliTest::listVirtualKits()
{
    const Run run = cli({"--simulate=3", "list"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("sim:SIM0001\tTamarin Works\tKV7310\tSIM0001\t1.0.0\n"
                                     "sim:SIM0002\tTamarin Works\tKV7310\tSIM0002\t1.0.0\n"
                                     "sim:SIM0003\tTamarin Works\tKV7310\tSIM0003\t1.0.0\n"));
    QCOMPARE(cli({"--help"}).status, 0);
}

void CliTest::queryPicksKitByTargetOrSerial()
{
    Run run = cli({"--simulate=2", "query", "*IDN?"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("Tamarin Works,KV7310,SIM0001,1.0.0\n"));
    SimUsbBus::global().detachAll();

    run = cli({"--simulate=2", "query", "--kit", "SIM0002", "*IDN?"});
    QCOMPARE(run.out, QStringLiteral("Tamarin Works,KV7310,SIM0002,1.0.0\n"));
    SimUsbBus::global().detachAll();

    run = cli({"--simulate=2", "query", "--kit=sim:SIM0002", "SWEEP:TYPE?"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("2\n"));
}

void CliTest::sendWithoutReading()
{
    auto kit = std::make_shared<VirtualKit>(QStringLiteral("SN42"));
    SimUsbBus::global().attach(kit);
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    const Run run = cli({"send", "--kit", "SN42", "SWEEP:TYPE", "1"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(kit->sweep().type, 1);
    QCOMPARE(kit->receivedCommands().last(), QStringLiteral("SWEEP:TYPE 1"));
}

void CliTest::deviceErrors()
{
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    Run run = cli({"query", "*IDN?"}); // no kit attached
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("no kit found"));

    auto kit = std::make_shared<VirtualKit>(QStringLiteral("SIM0001"));
    SimUsbBus::global().attach(kit);
    run = cli({"query", "--kit", "SIM0009", "*IDN?"});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("SIM0009"));

    SimFaults silent;
    silent.noReply = true;
    kit->setFaults(silent);
    run = cli({"list"}); // a kit that does not answer is not one of ours
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.isEmpty());
    kit->setFaults(SimFaults());
    run = cli({"query", "SWEEP:TYPE 1"}); // a setting has no reply
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("no reply from sim:SIM0001"));
}

void CliTest::programAsAUserRunsIt()
{
    Run run = program({"--simulate=2", "list"});
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith("sim:SIM0001\tTamarin Works\tKV7310\tSIM0001\t"));
    QVERIFY(lines[1].startsWith("sim:SIM0002\tTamarin Works\tKV7310\tSIM0002\t"));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err)); // no debug log by default

    run = program({"--simulate", "query", "*IDN?"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("Tamarin Works,KV7310,SIM0001,"));

    run = program({"query"});
    QCOMPARE(run.status, 2);
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cliapp.moc"
