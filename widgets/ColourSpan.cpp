// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ColourSpan.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ColourSpan {

bool percentiles(const double *cells, std::size_t count, double lowPercent, double highPercent,
                 Span *span, std::size_t maxSamples)
{
    const std::size_t stride = maxSamples > 0 && count > maxSamples ? count / maxSamples + 1 : 1;
    std::vector<double> v;
    v.reserve(count / stride + 1);
    for (std::size_t i = 0; i < count; i += stride)
        if (std::isfinite(cells[i]))
            v.push_back(cells[i]);
    if (v.empty())
        return false;
    auto at = [&v](double percent) {
        const double p = std::clamp(percent, 0.0, 100.0) / 100.0;
        const auto k = std::size_t(std::lround(p * double(v.size() - 1)));
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
        return v[k];
    };
    double lo = at(lowPercent);
    double hi = at(highPercent);
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

} // namespace ColourSpan
