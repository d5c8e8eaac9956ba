// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimScene.h"

#include "kit/RadarMath.h"
#include "sim/SweepPhysics.h"

#include <algorithm>
#include <cmath>

SimScene::SimScene()
{
    m_clock.start();
    setTargets(defaultScene());
}

QVector<SimTarget> SimScene::defaultScene()
{
    return {{1.2, 0.0, 0.5, 0.0}, {2.5, 0.3, 0.3, 1.0}, {4.2, 0.0, 0.2, 2.0}};
}

QVector<SimTarget> SimScene::targets() const
{
    QVector<SimTarget> out;
    for (const MovingTarget &t : m_targets)
        out << t.target;
    return out;
}

void SimScene::setTargets(const QVector<SimTarget> &targets)
{
    m_targets.clear();
    for (SimTarget t : targets) {
        t.rangeM = std::max(0.0, t.rangeM);
        m_targets.append({t, std::max(m_depthM, t.rangeM)});
    }
}

void SimScene::setDepthM(double metres)
{
    m_depthM = std::max(0.0, metres);
    for (MovingTarget &t : m_targets)
        t.limitM = std::max(m_depthM, t.target.rangeM);
}

void SimScene::setNoiseVrms(double volts)
{
    m_noiseVrms = std::isfinite(volts) ? std::max(0.0, volts) : 0.0;
}

void SimScene::setRampTransientV(double volts)
{
    m_rampTransientV = std::isfinite(volts) ? volts : 0.0;
}

void SimScene::setSeed(quint64 seed)
{
    m_rng.seed(seed);
    m_gauss.reset();
}

void SimScene::setManualClock(bool manual)
{
    m_manualClock = manual;
    m_manualSeconds = 0.0;
    m_lastFrameSeconds = -1.0;
}

void SimScene::advanceClock(double seconds) { m_manualSeconds += seconds; }

double SimScene::nowSeconds() const
{
    return m_manualClock ? m_manualSeconds : m_clock.nsecsElapsed() * 1e-9;
}

void SimScene::moveTargets()
{
    const double now = nowSeconds();
    const double dt = m_lastFrameSeconds < 0 ? 0.0 : now - m_lastFrameSeconds;
    m_lastFrameSeconds = now;
    if (dt <= 0)
        return;
    for (MovingTarget &m : m_targets)
        SweepPhysics::travel(m.target.rangeM, m.target.velocityMps, m.limitM, dt);
}

QVector<quint16> SimScene::capture(const SimSweep &sweep, bool radiating, double samplePeriodS,
                                   int n)
{
    n = std::clamp(n, 0, kMaxSamples);
    moveTargets();
    SweepPhysics::Setup setup;
    setup.sweep = {sweep.startGHz, sweep.stopGHz, sweep.rampMs};
    setup.type = sweep.type;
    setup.samplePeriodS = samplePeriodS;
    setup.rampTransientV = m_rampTransientV;
    std::vector<SweepPhysics::Reflector> reflectors;
    if (radiating)
        for (const MovingTarget &m : m_targets)
            reflectors.push_back(
                {m.target.rangeM, m.target.velocityMps, m.target.amplitudeV, m.target.phaseRad});
    const std::vector<double> beat = SweepPhysics::beatFrame(reflectors, setup, n);

    QVector<quint16> frame(n);
    for (int k = 0; k < n; ++k)
        frame[k] = RadarMath::voltsToCount(beat[size_t(k)] + m_noiseVrms * m_gauss(m_rng));
    return frame;
}
