// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// kvvlx-cli --serial PORT: the kit over its Bluetooth serial link, as the Bluetooth tab reaches it.

#include <QString>
#include <QStringList>

class CliSession;

// query TEXT | capture [-n N] [-o FILE] [--target SPEC]...; PORT "virtual" serves a virtual
// kit on a pseudo-terminal for the run.
int runSerial(CliSession &session, const QString &port, const QStringList &arguments);
