// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
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
    bool hasRange() const { return perBin > 0.0; }
    // Non-finite values are not counted. add() refuses a value outside the range (and returns
    // false); remove() expects a value that was added.
    bool add(double v)
    {
        if (!std::isfinite(v))
            return true;
        const int b = bin(v);
        if (b < 0)
            return false;
        ++counts[size_t(b)];
        sums[size_t(b)] += v;
        ++total;
        return true;
    }
    void remove(double v)
    {
        const int b = std::isfinite(v) ? bin(v) : -1;
        if (b < 0 || counts[size_t(b)] == 0)
            return;
        --total;
        if (--counts[size_t(b)] == 0)
            sums[size_t(b)] = 0.0L; // no rounding residue survives an empty bin
        else
            sums[size_t(b)] -= v;
    }
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
    // The bin of v, or -1 outside the range (or without one).
    int bin(double v) const
    {
        const double b = (v - lower) * perBin;
        if (!(b >= 0.0) || b > double(kBins) || !hasRange())
            return -1;
        return b < double(kBins) ? int(b) : kBins - 1; // the upper end belongs to the last bin
    }
    double valueOfRank(std::size_t rank) const;

    double lower = 0.0;
    double perBin = 0.0; // bins per unit of value; 0 while there is no range
    std::size_t total = 0;
    std::vector<std::size_t> counts;
    std::vector<long double> sums; // long double keeps the means of repeated values exact
};

} // namespace ColourSpan
