// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Debug log of the USB link; the texts are short, fixed lines (codes follow on a line of their
// own).
Q_DECLARE_LOGGING_CATEGORY(lcUsb)
