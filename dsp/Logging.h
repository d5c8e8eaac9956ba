#pragma once

#include <QLoggingCategory>

// Debug-log category of the signal-processing library ("kvvlx.dsp").
Q_DECLARE_LOGGING_CATEGORY(lcDsp)
