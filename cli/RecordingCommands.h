// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// kvvlx-cli info and replay: what a saved frame's sidecar says, and whether a collection folder
// is whole.

#include <QStringList>

class CliSession;

// info FILE
int runInfo(CliSession &session, const QStringList &arguments);
// replay DIR
int runReplay(CliSession &session, const QStringList &arguments);
// export SRC --format sigmf -o BASE: a frame file or a recording folder as one SigMF recording.
int runExport(CliSession &session, const QStringList &arguments);
