// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs kvvlx-cli in-process and keeps what it printed.

#include "cli/CliApp.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

inline CliRun runCliInProcess(const QStringList &arguments)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = runCli(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}
