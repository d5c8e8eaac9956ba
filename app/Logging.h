#pragma once

#include <QLoggingCategory>

// Debug-log categories; turn them on with QT_LOGGING_RULES, e.g. "kvvlx.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcBt)
Q_DECLARE_LOGGING_CATEGORY(lcRadar)
