// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/StartUpDelays.h"

#include <algorithm>
#include <cmath>

namespace {
double factor = 1.0;
}

namespace StartUpDelays {

void setScale(double scale) { factor = std::max(0.0, scale); }

int scaled(int ms) { return int(std::lround(std::max(0, ms) * factor)); }

} // namespace StartUpDelays
