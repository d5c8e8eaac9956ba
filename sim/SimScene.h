// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What stands in front of a virtual kit: reflectors that move on the scene's clock, and the
// receiver noise. Turns a sweep set-up into the ADC counts of one frame. Not thread-safe; the
// kit that owns it serialises access.

#include "sim/SimKitTypes.h"

#include <QElapsedTimer>
#include <QVector>

#include <random>

class SimScene
{
public:
    SimScene();

    // Inside the 0..6 m the default sweep shows; the middle one walks.
    static QVector<SimTarget> defaultScene();
    QVector<SimTarget> targets() const; // where they are now
    void setTargets(const QVector<SimTarget> &targets);
    // Moving targets turn back at 0 m and at this depth (or their own start range if farther).
    void setDepthM(double metres);

    double noiseVrms() const { return m_noiseVrms; }
    void setNoiseVrms(double volts);
    // The step the mixer shows at each restart of the ramp (0 for none).
    void setRampTransientV(double volts);
    void setSeed(quint64 seed); // restarts the noise sequence
    // Raw bits of the noise generator, for line noise that shares the kit's one sequence.
    quint64 randomBits() { return m_rng(); }

    // Time: real by default; a manual clock only moves by advanceClock().
    void setManualClock(bool manual);
    void advanceClock(double seconds);
    double nowSeconds() const;
    qint64 elapsedMs() const { return m_clock.elapsed(); } // real time since the scene was made

    // n (at most maxSamples) counts as the kit captures them now: the targets move to now first;
    // only a radiating kit sees them, the ramp transient and the noise are always there.
    QVector<quint16> capture(const SimSweep &sweep, bool radiating, double samplePeriodS, int n);

    static constexpr int kMaxSamples = 65535;

private:
    struct MovingTarget
    {
        SimTarget target;
        double limitM;
    };

    void moveTargets();

    QVector<MovingTarget> m_targets;
    double m_depthM = 5.5;
    double m_noiseVrms = 0.004;
    double m_rampTransientV = 0.0;
    std::mt19937_64 m_rng{1};
    std::normal_distribution<double> m_gauss{0.0, 1.0};

    QElapsedTimer m_clock;
    bool m_manualClock = false;
    double m_manualSeconds = 0.0;
    double m_lastFrameSeconds = -1.0;
};
