// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Logging.h"

Q_LOGGING_CATEGORY(lcSim, "kvvlx.sim", QtInfoMsg)
