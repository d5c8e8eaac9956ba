// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Debug-log categories, whose debug lines are off until QT_LOGGING_RULES (e.g.
// "kvvlx.*.debug=true") or --verbose turns them on; warnings always show.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcBt)
Q_DECLARE_LOGGING_CATEGORY(lcRadar)
