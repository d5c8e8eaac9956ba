// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// The virtual kit's debug log; turn it on with QT_LOGGING_RULES="kvvlx.sim.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcSim)
