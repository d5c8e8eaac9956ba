// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkLogging.h"

Q_LOGGING_CATEGORY(lcUsb, "kvvlx.usb", QtInfoMsg)
