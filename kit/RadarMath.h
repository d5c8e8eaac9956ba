// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

// The radar relations of the kit in one place: sweep slope, beat frequency and range, Doppler
// shift and radial velocity, the padded spectrum's bin spacing, the sample period of a firmware
// version and ADC counts in volts. Both tabs, the Bluetooth protocol, the command-line tool and
// the virtual kit compute these here and nowhere else.
namespace RadarMath {

// The propagation speed the program has always used for its axes (3e8 m/s, not 299 792 458):
// ranges drawn by earlier versions and saved plots stay comparable.
constexpr double kSpeedOfLight = 3e8;
// Frames are zero-padded to seven times their length before the transform.
constexpr int kPaddingFactor = 7;
// Full-scale divisor of the volts conversion; timed collections of the original program used
// 65536, which saved files may carry.
constexpr double kCountDivisor = 65535.0;
constexpr double kCollectionCountDivisor = 65536.0;

// A sweep as the kit reports it: start and stop frequency in GHz, ramp time in ms.
struct Sweep
{
    double startGHz = 0.0;
    double stopGHz = 0.0;
    double rampMs = 0.0;
};

// What puts one frame on its axes: the sample period it was taken with and the sweep it saw.
struct FrameAxes
{
    double samplePeriodS = 5e-05;
    Sweep sweep;
    double sampleRateHz() const { return 1.0 / samplePeriodS; }
};

// Signed sweep slope in Hz/s: negative for a down-chirp, infinite or NaN for a zero ramp.
double sweepSlope(const Sweep &sweep);
// Swept bandwidth in Hz, always non-negative.
double bandwidthHz(const Sweep &sweep);
// Carrier used for Doppler: the start frequency in Hz.
double carrierHz(const Sweep &sweep);

// A target at range R beats at 2·|slope|·R/c, whichever way the sweep runs.
double rangeForBeat(double beatHz, const Sweep &sweep);
double beatForRange(double rangeM, const Sweep &sweep);
// Metres per hertz of beat frequency: c / (2·|slope|).
double metresPerHz(const Sweep &sweep);

// A radial velocity v shifts the carrier f0 by 2·v·f0/c.
double velocityForDoppler(double dopplerHz, double carrierHz);
double dopplerForVelocity(double velocityMps, double carrierHz);
// Metres per second per hertz of Doppler shift: c / (2·f0).
double mpsPerHz(double carrierHz);

// Sample period in seconds of a kit whose version text contains "1.1.0" (4.505e-05 s) or any
// other (5e-05 s).
double samplePeriodForFirmware(std::string_view version);

// Length of the padded frame and the spacing of its spectrum's bins in Hz.
int paddedLength(int frameLength);
double binSpacingHz(double sampleRateHz, int frameLength);

// ADC count in volts: count / divisor × 5 − 2.5.
double countToVolts(std::uint16_t count, double divisor = kCountDivisor);
// The count that gives these volts, rounded and held to 0 … 65535.
std::uint16_t voltsToCount(double volts, double divisor = kCountDivisor);

} // namespace RadarMath
