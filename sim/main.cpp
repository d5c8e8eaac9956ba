// kvvlx-sim: one virtual KV7310 on a pseudo-terminal, for the Bluetooth path of the application
// or any terminal program. The slave path is the first line of standard output.
#include "sim/BtPtyServer.h"
#include "sim/KitOptions.h"
#include "sim/VirtualKit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <memory>

#include <pthread.h>

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread starts, so that only sigwait below receives them.
    // SIGINT and SIGHUP stay ignored when the caller ignores them (background jobs, nohup);
    // SIGTERM always stops the kit.
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvvlx-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves a virtual KV7310 radar kit on a pseudo-terminal and prints the terminal's path on "
        "the first "
        "line. Open that path as the Bluetooth serial port, or talk to it with any terminal "
        "program "
        "(commands end in \"$\", e.g. SWEEP:RAMPTIME?$ or CAPT:STRE 1024$). Stop it with Ctrl+C."));
    parser.addHelpOption();
    addKitOptions(parser);
    parser.addOption({QStringLiteral("pace"),
                      QStringLiteral("Send replies at the real link's speed (9600 baud).")});
    parser.addOption({QStringLiteral("verbose"),
                      QStringLiteral("Log every command the kit receives to standard error.")});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kvvlx-sim: unexpected argument \"%s\"; see --help\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    // Quiet unless asked; QT_LOGGING_RULES still has the last word.
    QLoggingCategory::setFilterRules(parser.isSet(QStringLiteral("verbose"))
                                         ? QStringLiteral("kvvlx.sim.debug=true")
                                         : QStringLiteral("kvvlx.sim.debug=false"));

    auto kit = std::make_shared<VirtualKit>();
    QString error;
    if (!applyKitOptions(parser, *kit, &error)) {
        std::fprintf(stderr, "kvvlx-sim: %s\n", qPrintable(error));
        return 2;
    }

    BtPtyServer::Options options;
    options.pace = parser.isSet(QStringLiteral("pace"));
    BtPtyServer server(kit, options);
    if (!server.start(&error)) {
        std::fprintf(stderr, "kvvlx-sim: cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
