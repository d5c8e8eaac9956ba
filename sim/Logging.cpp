#include "sim/Logging.h"

Q_LOGGING_CATEGORY(lcSim, "kvvlx.sim", QtInfoMsg)
