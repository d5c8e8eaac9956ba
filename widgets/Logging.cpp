// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/Logging.h"

Q_LOGGING_CATEGORY(lcApp, "kvvlx.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBt, "kvvlx.bt", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRadar, "kvvlx.radar", QtInfoMsg)
