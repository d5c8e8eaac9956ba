// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliApp.h"

#include "KvvlxVersion.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvvlx-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVVLX_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runCli(app.arguments().mid(1), out, err);
}
