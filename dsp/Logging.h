// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Debug-log category of the signal-processing library ("kvvlx.dsp").
Q_DECLARE_LOGGING_CATEGORY(lcDsp)
