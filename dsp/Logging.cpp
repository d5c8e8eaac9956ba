// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/Logging.h"

Q_LOGGING_CATEGORY(lcDsp, "kvvlx.dsp", QtInfoMsg)
