// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ScreenDecimation.h"

#include <cmath>
#include <limits>

namespace ScreenDecimation {

void column(const double *in, int n, int stride, double *out, int pixels, Keep keep)
{
    for (int j = 0; j < pixels; ++j) {
        const long long from = (long long)(j)*n / pixels;
        const long long to = (long long)(j + 1) * n / pixels;
        double best = std::numeric_limits<double>::quiet_NaN();
        for (long long i = from; i < to; ++i) {
            const double v = in[i * stride];
            if (std::isnan(v))
                continue;
            if (std::isnan(best) ||
                (keep == Keep::Highest ? v > best : std::abs(v) > std::abs(best)))
                best = v;
        }
        out[j] = best;
    }
}

} // namespace ScreenDecimation
