// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PeakPicking.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Peaks {

double leakageBoundDb(SpectrumWindow window, double frameBins)
{
    const double d = std::fabs(frameBins);
    // Inside the main lobe (half widths 1, 2 and 4 bins) anything goes; beyond it, the transforms'
    // envelopes normalised to the tone: 1/(pi d) untapered, 1/(pi d (d^2 - 1)) for Hann; the
    // 4-term Blackman-Harris sidelobes stay under -92 dB.
    const double halfWidth = window == SpectrumWindow::None   ? 1.0
                             : window == SpectrumWindow::Hann ? 2.0
                                                              : 4.0;
    if (d < halfWidth)
        return std::numeric_limits<double>::infinity();
    const double pi = 3.14159265358979323846;
    switch (window) {
    case SpectrumWindow::None:
        return 20 * std::log10(1 / (pi * d));
    case SpectrumWindow::Hann:
        return 20 * std::log10(1 / (pi * d * (d * d - 1)));
    case SpectrumWindow::BlackmanHarris:
        return -92.0;
    }
    return 0.0;
}

std::vector<Peak> clearOfLeakage(std::vector<Peak> peaks, SpectrumWindow window, int cellWidth,
                                 const std::vector<Peak> &sources, bool partedByValleys)
{
    std::sort(peaks.begin(), peaks.end(),
              [](const Peak &a, const Peak &b) { return a.levelDb > b.levelDb; });
    const double width = std::max(1, cellWidth);
    auto above = [&](const Peak &p, const Peak &k) {
        const double bound = leakageBoundDb(window, (p.bin - k.bin) / width);
        if (std::isinf(bound))
            return partedByValleys && p.levelDb > k.levelDb - kInsideLobeDb;
        return p.levelDb > k.levelDb + bound + kSkirtMarginDb;
    };
    // Every stronger maximum leaks, listed or not (a reflector inside another's main lobe is not
    // listed, yet its sidelobes are there).
    std::vector<Peak> kept;
    for (auto p = peaks.begin(); p != peaks.end(); ++p) {
        const bool clear =
            std::all_of(sources.begin(), sources.end(),
                        [&](const Peak &s) { return above(*p, s); }) &&
            std::all_of(peaks.begin(), p, [&](const Peak &k) { return above(*p, k); });
        if (clear)
            kept.push_back(*p);
    }
    return kept;
}

std::vector<Peak> zeroHzSource(const double *db, int n)
{
    if (n <= 0 || !std::isfinite(db[0]))
        return {};
    return {Peak{0.0, db[0]}};
}

namespace {

double medianDb(const double *db, int n)
{
    std::vector<double> finite;
    finite.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        if (std::isfinite(db[i]))
            finite.push_back(db[i]);
    if (finite.empty())
        return -std::numeric_limits<double>::infinity();
    auto mid = finite.begin() + std::ptrdiff_t(finite.size() / 2);
    std::nth_element(finite.begin(), mid, finite.end());
    return *mid;
}

} // namespace

int signalExtent(const double *db, int n)
{
    const double floor = medianDb(db, n) + kFloorMarginDb;
    for (int i = n - 1; i >= 0; --i)
        if (std::isfinite(db[i]) && db[i] > floor)
            return i;
    return -1;
}

std::vector<Peak> reflectors(const double *shown, const double *detection, int n,
                             SpectrumWindow detectionWindow, int cellWidth, int maxPeaks)
{
    const int width = std::max(1, cellWidth);
    if (n <= width || maxPeaks <= 0)
        return {};
    // The zero-frequency frame bin is never a target, nor is a maximum at either end of the band:
    // it is only the skirt of what lies beyond (0 Hz, or a tone past the band's end).
    const double floor = medianDb(detection + width, n - width) + kFloorMarginDb;
    // A reflector rises kProminenceDb above the deeper of the two valleys that part it from
    // higher ground (or the band's ends) on either side; noise riding on a stronger skirt does
    // not, nor does the weaker of two reflectors too close to be told apart.
    // Each side's walk ends at the first bin deep enough, which lies within the peak's lobe.
    auto fallsAway = [&](const Peak &p, int step) {
        for (int j = int(std::lround(p.bin)) + step; j >= width && j < n; j += step) {
            if (detection[j] > p.levelDb)
                return false; // higher ground first
            if (p.levelDb - detection[j] >= kProminenceDb)
                return true;
        }
        return false;
    };
    auto prominent = [&](const Peak &p) { return fallsAway(p, -1) && fallsAway(p, +1); };
    // What is not prominent still leaks: it stays a source against which weaker maxima are judged.
    std::vector<Peak> candidates, sources = zeroHzSource(detection, n);
    for (Peak p : maxima(detection + width, n - width, floor)) {
        p.bin += width;
        if (p.bin > width && p.bin < n - 1.0)
            (prominent(p) ? candidates : sources).push_back(p);
    }
    std::vector<Peak> found =
        clearOfLeakage(std::move(candidates), detectionWindow, width, sources, true);
    if (int(found.size()) > maxPeaks)
        found.resize(size_t(maxPeaks));
    if (shown == detection)
        return found;
    for (Peak &p : found) {
        const int centre = int(std::lround(p.bin));
        const int from = std::max(width, centre - width), to = std::min(n, centre + width + 1);
        const std::vector<Peak> top = strongest(shown + from, to - from, 1, 0.0);
        if (!top.empty())
            p = {from + top.front().bin, top.front().levelDb};
    }
    return found;
}

} // namespace Peaks
