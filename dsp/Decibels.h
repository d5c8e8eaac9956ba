// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

namespace kvvlx {

// The magnitude of one spectrum bin and its level in decibels, 10 log10(m^2) (0 gives minus
// infinity), shared by complex_mag, dB and the padded spectrum so every plot reads the same.
inline double magnitude(double re, double im) { return std::sqrt(re * re + im * im); }
inline double decibels(double m) { return 10.0 * std::log10(m * m); }

} // namespace kvvlx
