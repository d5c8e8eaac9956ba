// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ColourSpan.h"

#include <algorithm>
#include <cmath>

namespace ColourSpan {

void Histogram::clear()
{
    perBin = 0.0;
    total = 0;
    counts.clear();
    sums.clear();
}

void Histogram::reset(double lowest, double highest)
{
    clear();
    if (!(highest > lowest) || !std::isfinite(highest - lowest))
        return;
    lower = lowest;
    perBin = kBins / (highest - lowest);
    counts.assign(kBins, 0);
    sums.assign(kBins, 0.0L);
}

bool Histogram::coarse() const
{
    if (total == 0)
        return false;
    const auto first = std::find_if(counts.begin(), counts.end(), [](size_t c) { return c > 0; });
    const auto last = std::find_if(counts.rbegin(), counts.rend(), [](size_t c) { return c > 0; });
    const auto filled = (counts.rend() - last) - (first - counts.begin());
    return filled < kBins / 16;
}

double Histogram::valueOfRank(std::size_t rank) const
{
    // From the nearer end: the percentiles a map uses lie in its tails.
    if (rank < total / 2) {
        std::size_t seen = 0;
        for (int b = 0; b < kBins; ++b) {
            seen += counts[size_t(b)];
            if (seen > rank)
                return double(sums[size_t(b)] / counts[size_t(b)]);
        }
    } else {
        std::size_t above = 0;
        for (int b = kBins - 1; b >= 0; --b) {
            above += counts[size_t(b)];
            if (above >= total - rank)
                return double(sums[size_t(b)] / counts[size_t(b)]);
        }
    }
    return lower;
}

bool Histogram::percentiles(double lowPercent, double highPercent, Span *span) const
{
    if (total == 0)
        return false;
    auto rank = [this](double percent) {
        const double p = std::clamp(percent, 0.0, 100.0) / 100.0;
        return std::size_t(std::lround(p * double(total - 1)));
    };
    double lo = valueOfRank(rank(lowPercent));
    double hi = valueOfRank(rank(highPercent));
    if (lo > hi)
        std::swap(lo, hi);
    if (lo == hi) {
        lo -= 1.0;
        hi += 1.0;
    }
    span->lower = lo;
    span->upper = hi;
    return true;
}

void Histogram::rangeFor(double lowest, double highest, double *lowerOut, double *upperOut)
{
    const double room = highest > lowest ? (highest - lowest) / 2 : std::max(1.0, std::abs(lowest));
    *lowerOut = lowest - room;
    *upperOut = highest + room;
}

} // namespace ColourSpan
