// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/RadarMath.h"

#include <cmath>

namespace RadarMath {

double sweepSlope(const Sweep &sweep)
{
    return (sweep.stopGHz - sweep.startGHz) * 1e9 / (sweep.rampMs / 1000.0);
}

double bandwidthHz(const Sweep &sweep) { return std::fabs(sweep.stopGHz - sweep.startGHz) * 1e9; }

double carrierHz(const Sweep &sweep) { return sweep.startGHz * 1e9; }

double metresPerHz(const Sweep &sweep)
{
    return kSpeedOfLight / (2.0 * std::fabs(sweepSlope(sweep)));
}

double rangeForBeat(double beatHz, const Sweep &sweep) { return beatHz * metresPerHz(sweep); }

double beatForRange(double rangeM, const Sweep &sweep) { return rangeM / metresPerHz(sweep); }

double mpsPerHz(double carrierHz) { return kSpeedOfLight / (2.0 * carrierHz); }

double velocityForDoppler(double dopplerHz, double carrierHz)
{
    return dopplerHz * mpsPerHz(carrierHz);
}

double dopplerForVelocity(double velocityMps, double carrierHz)
{
    return velocityMps / mpsPerHz(carrierHz);
}

double samplePeriodForFirmware(std::string_view version)
{
    return version.find("1.1.0") != std::string_view::npos ? 4.505e-05 : 5e-05;
}

int paddedLength(int frameLength) { return kPaddingFactor * frameLength; }

double binSpacingHz(double sampleRateHz, int frameLength)
{
    return sampleRateHz / paddedLength(frameLength);
}

double countToVolts(std::uint16_t count, double divisor) { return count / divisor * 5.0 - 2.5; }

std::uint16_t voltsToCount(double volts, double divisor)
{
    const double c = std::round((volts + 2.5) / 5.0 * divisor);
    if (!(c > 0.0))
        return 0;
    return c >= 65535.0 ? 65535 : std::uint16_t(c);
}

} // namespace RadarMath
