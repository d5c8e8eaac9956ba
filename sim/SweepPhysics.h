// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"

#include <vector>

// What the kit's mixer puts out while it sweeps: for each reflector the transmit frequency at
// that instant times the round trip, 4 pi f_tx(t) R(t) / c, so the beat tone restarts with every
// ramp, reverses its slope on the way down of a two-way sweep and is pure Doppler without a sweep.
// A frame starts with a ramp; a frame inside one ramp holds one clean tone per reflector, one
// spanning many ramps the comb of lines 1 / ramp apart that the kit really shows.
namespace SweepPhysics {

struct Reflector
{
    double rangeM = 0.0;      // at the frame's first sample
    double velocityMps = 0.0; // positive moves away
    double amplitudeV = 0.0;  // peak volts at the ADC
    double phaseRad = 0.0;    // of the reflection itself
};

struct Setup
{
    RadarMath::Sweep sweep;
    int type = 2; // 0 one way, 1 and 2 two way (up, then down), 3 continuous wave
    double samplePeriodS = 5e-05;
    double rampTransientV = 0.0; // step at each restart of the ramp, decaying over kTransientS
};

// Decay time of the ramp-reset transient.
constexpr double kTransientS = 1e-4;

// Moves a reflector dt seconds along its line of sight; it turns back at 0 m and at limitM (a
// limit of 0 or less holds it at 0 m).
void travel(double &rangeM, double &velocityMps, double limitM, double dt);

// The transmit frequency in Hz, t seconds after the frame's first sample.
double transmitHz(const Setup &setup, double t);

// n samples of beat volts of the reflectors (no noise), sample k at k times the sample period.
std::vector<double> beatFrame(const std::vector<Reflector> &reflectors, const Setup &setup, int n);

} // namespace SweepPhysics
