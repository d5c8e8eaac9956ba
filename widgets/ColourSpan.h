// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

// The colour span of a map that follows its data: the lowPercent and highPercent percentiles of
// its finite cells (cells not yet filled hold NaN, cancelled frames minus infinity). A few strong
// cells then no longer squeeze every other value into one colour.
namespace ColourSpan {

struct Span
{
    double lower = 0.0;
    double upper = 0.0;
};

// At most maxSamples cells are looked at, evenly spread, so that a 150-column map of a 4096-sample
// spectrum costs no more than a small one. Returns false when no cell is finite. A span of one
// value is widened by 1 either side.
bool percentiles(const double *cells, std::size_t count, double lowPercent, double highPercent,
                 Span *span, std::size_t maxSamples = 200000);

} // namespace ColourSpan
