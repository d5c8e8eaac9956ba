// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/Peaks.h"

#include "dsp/PaddedFft.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Peaks {

double parabolicOffset(double left, double centre, double right)
{
    const double bend = left - 2.0 * centre + right;
    if (!(bend < 0.0))
        return 0.0;
    const double d = 0.5 * (left - right) / bend;
    return std::clamp(d, -0.5, 0.5);
}

namespace {

// A plateau counts once, at its left end.
bool isLocalMax(const double *db, int n, int i)
{
    return std::isfinite(db[i]) && (i == 0 || !(db[i - 1] >= db[i])) &&
           (i == n - 1 || !(db[i + 1] > db[i]));
}

Peak refine(const double *db, int n, int i)
{
    Peak p{double(i), db[i]};
    if (i == 0 || i == n - 1 || !std::isfinite(db[i - 1]) || !std::isfinite(db[i + 1]))
        return p;
    const double d = parabolicOffset(db[i - 1], db[i], db[i + 1]);
    p.bin = i + d;
    p.levelDb = db[i] - 0.25 * (db[i - 1] - db[i + 1]) * d;
    return p;
}

// Keeps candidates (strongest first) that lie at least minSeparation from every one kept.
std::vector<Peak> pick(std::vector<Peak> candidates, int maxPeaks, double minSeparation)
{
    std::sort(candidates.begin(), candidates.end(),
              [](const Peak &a, const Peak &b) { return a.levelDb > b.levelDb; });
    if (minSeparation <= 0.0) { // every maximum stands apart from every other
        candidates.resize(std::min(candidates.size(), size_t(std::max(0, maxPeaks))));
        return candidates;
    }
    std::vector<Peak> kept;
    for (const Peak &c : candidates) {
        if (int(kept.size()) >= maxPeaks)
            break;
        const bool apart = std::all_of(kept.begin(), kept.end(), [&](const Peak &k) {
            return std::fabs(k.bin - c.bin) >= minSeparation;
        });
        if (apart)
            kept.push_back(c);
    }
    return kept;
}

} // namespace

std::vector<Peak> maxima(const double *db, int n, double aboveDb)
{
    std::vector<Peak> found;
    for (int i = 0; i < n; ++i)
        if (isLocalMax(db, n, i)) {
            const Peak p = refine(db, n, i);
            if (p.levelDb > aboveDb)
                found.push_back(p);
        }
    return found;
}

std::vector<Peak> strongest(const double *db, int n, int maxPeaks, double minSeparation)
{
    if (maxPeaks <= 0)
        return {};
    return pick(maxima(db, n, -std::numeric_limits<double>::infinity()), maxPeaks,
                minSeparation);
}

CfarResult cfar(const double *db, int n, const CfarSettings &settings, int cellWidth, int maxPeaks,
                double minSeparation)
{
    CfarResult result;
    if (n <= 0)
        return result;
    const int width = std::max(1, cellWidth);
    const int guard = std::max(0, settings.guardCells) * width;
    const int training = std::max(1, settings.trainingCells) * width;
    const double pfa = std::clamp(settings.falseAlarmRate, 1e-12, 1.0);

    // Running sums of the finite powers and their count, for O(1) window sums.
    std::vector<double> sum(size_t(n) + 1, 0.0);
    std::vector<int> count(size_t(n) + 1, 0);
    for (int i = 0; i < n; ++i) {
        const double p = std::pow(10.0, db[i] / 10.0);
        const bool ok = std::isfinite(p);
        sum[size_t(i) + 1] = sum[size_t(i)] + (ok ? p : 0.0);
        count[size_t(i) + 1] = count[size_t(i)] + (ok ? 1 : 0);
    }
    auto window = [&](int from, int to, double &s, int &c) { // bins from ... to-1, clipped
        from = std::clamp(from, 0, n);
        to = std::clamp(to, from, n);
        s += sum[size_t(to)] - sum[size_t(from)];
        c += count[size_t(to)] - count[size_t(from)];
    };

    result.thresholdDb.assign(size_t(n), std::nan(""));
    std::vector<Peak> candidates;
    for (int i = 0; i < n; ++i) {
        double s = 0.0;
        int c = 0;
        window(i - guard - training, i - guard, s, c);
        window(i + guard + 1, i + guard + 1 + training, s, c);
        if (c == 0)
            continue;
        const double cells = std::max(1.0, double(c) / width);
        const double t = powerDb(cells * (std::pow(pfa, -1.0 / cells) - 1.0) * s / c);
        result.thresholdDb[size_t(i)] = t;
        if (isLocalMax(db, n, i) && std::isfinite(t) && db[i] > t)
            candidates.push_back(refine(db, n, i));
    }
    result.detections = pick(std::move(candidates), maxPeaks, minSeparation);
    return result;
}

} // namespace Peaks
