// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

// The colour span of a map that follows its data: the lowPercent and highPercent percentiles of
// its finite cells (cells not yet filled hold NaN, cancelled frames minus infinity). A few strong
// cells then no longer squeeze every other value into one colour.
namespace ColourSpan {

struct Span
{
    double lower = 0.0;
    double upper = 0.0;
};

// The cells of a map as a histogram that a new column updates in O(its rows): the old cells are
// taken out and the new ones put in, so the span never needs a pass over the whole map. A
// percentile is the mean of the bin it falls in, exact when that bin holds one distinct value and
// otherwise within one bin width (1/8192 of the range binned).
class Histogram
{
public:
    static constexpr int kBins = 8192;

    // No values and no range.
    void clear();
    // Empty, binning [lower, upper] from now on.
    void reset(double lower, double upper);
    bool hasRange() const { return binWidth > 0.0; }
    // Non-finite values are not counted. add() refuses a value outside the range (and returns
    // false); remove() expects a value that was added.
    bool add(double v);
    void remove(double v);
    std::size_t count() const { return total; }
    // True when the values fill less than a sixteenth of the range (after the extremes that set it
    // were overwritten): binning them again over their own range gives a finer span.
    bool coarse() const;
    // The span of the lowPercent and highPercent percentiles; false without finite values. A span
    // of one value is widened by 1 either side.
    bool percentiles(double lowPercent, double highPercent, Span *span) const;

    // A range for values from lowest to highest with room to grow by half their spread.
    static void rangeFor(double lowest, double highest, double *lower, double *upper);

private:
    int bin(double v) const;
    double valueOfRank(std::size_t rank) const;

    double lower = 0.0;
    double binWidth = 0.0; // 0 while there is no range
    std::size_t total = 0;
    std::vector<std::size_t> counts;
    std::vector<long double> sums; // long double keeps the means of repeated values exact
};

} // namespace ColourSpan
