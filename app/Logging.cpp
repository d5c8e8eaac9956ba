#include "app/Logging.h"

Q_LOGGING_CATEGORY(lcApp, "kvvlx.app")
Q_LOGGING_CATEGORY(lcBt, "kvvlx.bt")
Q_LOGGING_CATEGORY(lcRadar, "kvvlx.radar")
