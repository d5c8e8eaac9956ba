#include "app/MainWindow.h"
#include "app/Simulation.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

static const char kUsage[] =
    "Usage: kvvlx [--simulate[=K]] [--help]\n"
    "\n"
    "  --simulate[=K]  attach virtual kits: one on a pseudo-terminal, listed first by the\n"
    "                  Bluetooth serial set-up, and K on USB (default 1; serials SIM0001, ...)\n"
    "  --help          show this text\n";

int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }

    // QApplication takes Qt's own options (-platform, -style, ...) out of argv.
    QApplication app(argc, argv);

    SimulationOptions simulation;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--simulate")) {
            simulation.enabled = true;
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            bool ok = false;
            simulation.enabled = true;
            simulation.usbKits = arg.mid(11).toInt(&ok);
            if (!ok || simulation.usbKits < 0) {
                std::fprintf(stderr, "kvvlx: --simulate takes a count of kits, not '%s'\n",
                             qPrintable(arg.mid(11)));
                return 2;
            }
        } else {
            std::fprintf(stderr, "kvvlx: unknown option '%s'\n\n%s", qPrintable(arg), kUsage);
            return 2;
        }
    }

    if (simulation.enabled) {
        QString error;
        if (!startSimulation(simulation, &error)) {
            std::fprintf(stderr, "kvvlx: cannot start the virtual kits: %s\n", qPrintable(error));
            return 1;
        }
    }
    MainWindow window;
    window.show();
    // The selector was shown first; keep it in front of the main window.
    window.raiseSerSetup();
    return app.exec();
}
