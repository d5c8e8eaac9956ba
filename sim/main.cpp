// SPDX-License-Identifier: GPL-3.0-or-later
// kvvlx-sim: one virtual KV7310 on a pseudo-terminal, for the Bluetooth path of the application
// or any terminal program. The slave path is the first line of standard output.
#include "kit/KitCommands.h"
#include "sim/BtPtyServer.h"
#include "sim/KitOptions.h"
#include "sim/VirtualKit.h"

#include "KvvlxVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// --background: the caller gets the path (and the kit's process id) and its prompt back at once,
// so that P=$(kvvlx-sim --background | head -1) returns; the kit runs on in a child process
// whose standard output is closed. Returns in the child with the write end of the pipe the
// parent reads the path from; the parent never returns.
int detach()
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        std::perror("kvvlx-sim: pipe");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("kvvlx-sim: fork");
        std::exit(1);
    }
    if (child == 0) {
        close(pipeEnds[0]);
        setsid(); // a Ctrl+C in the caller's terminal no longer reaches the kit
        return pipeEnds[1];
    }
    close(pipeEnds[1]);
    std::string path;
    char c;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n')
        path += c;
    if (path.empty()) { // the child stopped before serving: pass its status on
        int status = 0;
        waitpid(child, &status, 0);
        std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    std::printf("%s\n%ld\n", path.c_str(), long(child));
    std::exit(0);
}

// Blocks the stop signals before any thread starts, so that only sigwait in main receives them.
// SIGINT and SIGHUP stay ignored when the caller ignores them (background jobs, nohup); SIGTERM
// always stops the kit.
sigset_t blockStopSignals()
{
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral(
            "Serves a virtual KV7310 radar kit on a pseudo-terminal and prints the terminal's path "
            "on the first line. Open that path as the Bluetooth serial port, or talk to it with "
            "any terminal program (commands end in \"%1\", e.g. %2 or %3). Stop it with Ctrl+C, "
            "or with kill and the process id that --background prints.")
            .arg(QString(QLatin1Char(KitCommands::kBtEnd)),
                 QString::fromStdString(KitCommands::Bt::terminated(KitCommands::queryRampTime())),
                 QString::fromStdString(KitCommands::Bt::requestStream(1024))));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("version"), QStringLiteral("Show the program's version.")});
    addKitOptions(parser);
    parser.addOption({QStringLiteral("pace"),
                      QStringLiteral("Send replies at the real link's speed (9600 baud).")});
    parser.addOption({QStringLiteral("verbose"),
                      QStringLiteral("Log every command the kit receives to standard error.")});
    parser.addOption({QStringLiteral("background"),
                      QStringLiteral("Print the path and, on the second line, the process id of "
                                     "the kit, then return while the kit runs on.")});
}

// Tells the caller the slave path: on standard output, or through the pipe of --background.
bool announce(const QString &slavePath, int pathPipe, bool verbose)
{
    const QByteArray line = slavePath.toLocal8Bit() + '\n';
    if (pathPipe < 0) {
        std::fputs(line.constData(), stdout);
        std::fflush(stdout);
        return true;
    }
    if (write(pathPipe, line.constData(), size_t(line.size())) < 0)
        return false;
    close(pathPipe);
    // Nobody reads our output any more (a --verbose log still goes to standard error); the
    // caller's $(...) returns once no copy of its pipe stays open here.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        if (!verbose)
            dup2(null, STDERR_FILENO);
        close(null);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    int pathPipe = -1;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--background") == 0)
            pathPipe = detach(); // before any thread starts
    sigset_t stopSignals = blockStopSignals();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvvlx-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVVLX_VERSION));

    QCommandLineParser parser;
    addOptions(parser);
    QString note;
    const QStringList arguments = withFirmwareSpelling(app.arguments(), {}, &note);
    if (!note.isEmpty())
        std::fprintf(stderr, "kvvlx-sim: note: %s\n", qPrintable(note));
    parser.process(arguments);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kvvlx-sim: unexpected argument \"%s\"; see --help\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    // Quiet unless asked; QT_LOGGING_RULES still has the last word.
    const bool verbose = parser.isSet(QStringLiteral("verbose"));
    if (verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("kvvlx.sim.debug=true"));

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
    if (!announce(server.slavePath(), pathPipe, verbose))
        return 1;

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
