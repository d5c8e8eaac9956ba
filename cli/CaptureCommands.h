// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// kvvlx-cli capture and collect: frames taken exactly as the USB radar tab takes them, written
// in its data file format.

#include <QStringList>

class CliSession;
namespace Sigmf {
struct Dataset;
}

// capture [-n N] [-o FILE] [--kit T] [--target R[,V[,A]]]...
int runCapture(CliSession &session, const QStringList &arguments);
// collect -n N -c COUNT -i SECONDS [-d DIR] [--name NAME] [--kit T] [--target R[,V[,A]]]...
int runCollect(CliSession &session, const QStringList &arguments);
// Writes a SigMF recording BASE.sigmf-data and BASE.sigmf-meta; the exit status.
int writeSigmf(CliSession &session, const Sigmf::Dataset &ds, const QString &base);
