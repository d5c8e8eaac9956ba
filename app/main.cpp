// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "app/RemoteControl.h"
#include "app/Simulation.h"

#include "KvvlxVersion.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLoggingCategory>

#include <cstdio>
#include <memory>

namespace {

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Control and display application of the KV7310 FMCW radar kit, over USB or Bluetooth."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("simulate"),
                      QStringLiteral("Attach K virtual kits on USB (serials SIM0001, ...) and one "
                                     "on a pseudo-terminal, which the Bluetooth serial set-up "
                                     "lists first. --simulate alone means one."),
                      QStringLiteral("K")});
    parser.addOption({QStringLiteral("remote"),
                      QStringLiteral("Serve SCPI-style remote control on 127.0.0.1:PORT (off "
                                     "unless given)."),
                      QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("verbose"),
                      QStringLiteral("Write the debug log (all kvvlx.* categories) to standard "
                                     "error.")});
    // How the virtual kits of --simulate fill in what the kit's protocol leaves open.
    addReplyFormOptions(parser);
}

// "--simulate" alone attaches one kit; the parser only knows options that always take a value.
QStringList withSimulateCount(QStringList arguments)
{
    for (QString &argument : arguments)
        if (argument == QLatin1String("--simulate") || argument == QLatin1String("-simulate"))
            argument = QStringLiteral("--simulate=1");
    return arguments;
}

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("kvvlx"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVVLX_VERSION));
}

// --remote PORT; false, told on standard error, when PORT is no TCP port.
bool readRemotePort(const QCommandLineParser &parser, quint16 &remotePort)
{
    if (!parser.isSet(QStringLiteral("remote")))
        return true;
    bool ok = false;
    const uint port = parser.value(QStringLiteral("remote")).toUInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        std::fprintf(stderr, "kvvlx: --remote takes a TCP port from 1 to 65535, not '%s'\n",
                     qPrintable(parser.value(QStringLiteral("remote"))));
        return false;
    }
    remotePort = quint16(port);
    return true;
}

// --simulate K; false, told on standard error, when K is no count.
bool readSimulation(const QCommandLineParser &parser, SimulationOptions &simulation)
{
    if (!parser.isSet(QStringLiteral("simulate")))
        return true;
    const QString count = parser.value(QStringLiteral("simulate"));
    bool ok = false;
    simulation.enabled = true;
    simulation.usbKits = count.toInt(&ok);
    if (!ok || simulation.usbKits < 0) {
        std::fprintf(stderr, "kvvlx: --simulate takes a count of kits, not '%s'\n",
                     qPrintable(count));
        return false;
    }
    QString error;
    if (!applyReplyFormOptions(parser, simulation.replyForm, &error)) {
        std::fprintf(stderr, "kvvlx: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version are answered before QApplication, which needs a display.
    {
        QCoreApplication probe(argc, argv);
        setIdentity();
        QCommandLineParser parser;
        describeOptions(parser);
        parser.parse(withSimulateCount(probe.arguments())); // errors wait for the real parse
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
    }

    // QApplication takes Qt's own options (-platform, -style, ...) out of argv.
    QApplication app(argc, argv);
    setIdentity();
    QApplication::setDesktopFileName(QStringLiteral("io.github.kvvlx.kvvlx"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Images/kvvlx.png")));

    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(withSimulateCount(app.arguments()))) {
        std::fprintf(stderr, "kvvlx: %s\nTry 'kvvlx --help'.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kvvlx: unexpected argument '%s'\nTry 'kvvlx --help'.\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("verbose")))
        QLoggingCategory::setFilterRules(QStringLiteral("kvvlx.*.debug=true"));

    quint16 remotePort = 0;
    SimulationOptions simulation;
    if (!readRemotePort(parser, remotePort) || !readSimulation(parser, simulation))
        return 2;

    if (simulation.enabled) {
        QString error;
        if (!startSimulation(simulation, &error)) {
            std::fprintf(stderr, "kvvlx: cannot start the virtual kits: %s\n", qPrintable(error));
            return 1;
        }
    }
    MainWindow window;
    std::unique_ptr<RemoteControl> remote;
    if (remotePort != 0) {
        remote = std::make_unique<RemoteControl>(&window);
        QString error;
        if (!remote->listen(remotePort, &error)) {
            std::fprintf(stderr, "kvvlx: cannot serve remote control on 127.0.0.1:%u: %s\n",
                         unsigned(remotePort), qPrintable(error));
            return 1;
        }
    }
    window.show();
    // The selector was shown first; keep it in front of the main window.
    window.raiseSerSetup();
    return app.exec();
}
