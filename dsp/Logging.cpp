#include "dsp/Logging.h"

Q_LOGGING_CATEGORY(lcDsp, "kvvlx.dsp", QtInfoMsg)
