#include "link/LinkLogging.h"

Q_LOGGING_CATEGORY(lcUsb, "kvvlx.usb", QtInfoMsg)
