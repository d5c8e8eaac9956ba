// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SweepPhysics.h"

#include <algorithm>
#include <cmath>

namespace SweepPhysics {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool sweeps(const Setup &setup)
{
    return setup.type != 3 && setup.sweep.rampMs > 0 && std::isfinite(setup.sweep.rampMs);
}

double rampS(const Setup &setup) { return setup.sweep.rampMs / 1000.0; }

// Seconds since the ramp (one way) or the up-and-down pair (two way) last began. A sample that
// falls on a restart within rounding belongs to the new ramp.
double sinceRestart(const Setup &setup, double t)
{
    const double period = (setup.type == 0 ? 1.0 : 2.0) * rampS(setup);
    const double cycles = std::floor(t / period + 1e-9);
    return std::max(0.0, t - cycles * period);
}

} // namespace

void travel(double &rangeM, double &velocityMps, double limitM, double dt)
{
    if (velocityMps == 0.0)
        return;
    if (limitM <= 0) {
        rangeM = 0;
        return;
    }
    // Fold the straight path into [0, limit]: the reflector turns back at both ends.
    double p = std::fmod(rangeM + velocityMps * dt, 2 * limitM);
    if (p < 0)
        p += 2 * limitM;
    if (p <= limitM) {
        rangeM = p;
    } else {
        rangeM = 2 * limitM - p;
        velocityMps = -velocityMps;
    }
}

double transmitHz(const Setup &setup, double t)
{
    const double start = setup.sweep.startGHz * 1e9;
    if (!sweeps(setup))
        return start;
    const double slope = RadarMath::sweepSlope(setup.sweep);
    const double u = sinceRestart(setup, t);
    const double ramp = rampS(setup);
    if (u < ramp)
        return start + slope * u;
    return setup.sweep.stopGHz * 1e9 - slope * (u - ramp); // the way down of a two-way sweep
}

std::vector<double> beatFrame(const std::vector<Reflector> &reflectors, const Setup &setup, int n)
{
    std::vector<double> v(size_t(n > 0 ? n : 0), 0.0);
    const double k = 4 * kPi / RadarMath::kSpeedOfLight;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) * setup.samplePeriodS;
        const double f = transmitHz(setup, t);
        double s = 0.0;
        for (const Reflector &r : reflectors) {
            const double range = r.rangeM + r.velocityMps * t;
            s += r.amplitudeV * std::cos(k * f * range + r.phaseRad);
        }
        if (setup.rampTransientV != 0.0 && sweeps(setup))
            s += setup.rampTransientV * std::exp(-sinceRestart(setup, t) / kTransientS);
        v[i] = s;
    }
    return v;
}

} // namespace SweepPhysics
