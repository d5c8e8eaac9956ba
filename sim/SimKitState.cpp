// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimKitState.h"

#include "kit/RadarMath.h"
#include "sim/Logging.h"
#include "sim/SimCommandText.h"

#include <optional>

using namespace SimText;
namespace Kc = KitCommands;
namespace Key = KitCommands::Key;

namespace {

// What the kit's synthesiser and ramp generator accept.
constexpr double kMinFreqGHz = 23.0;
constexpr double kMaxFreqGHz = 26.0;
constexpr double kMinRampMs = 0.1;
constexpr double kMaxRampMs = 100.0;

// "a,b" as two integers, or nothing.
std::optional<std::pair<int, int>> intPair(const QString &args)
{
    const QStringList p = args.split(',');
    bool okA = false, okB = false;
    const int a = p.value(0).trimmed().toInt(&okA);
    const int b = p.value(1).trimmed().toInt(&okB);
    if (p.size() != 2 || !okA || !okB)
        return std::nullopt;
    return std::make_pair(a, b);
}

// A 0 or 1 argument, or nothing.
std::optional<bool> onOff(const QString &args)
{
    bool ok = false;
    const int v = args.toInt(&ok);
    if (!ok || (v != 0 && v != 1))
        return std::nullopt;
    return v == 1;
}

} // namespace

QString SimKitState::identity() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(manufacturer(), model(), serial, version);
}

double SimKitState::samplePeriod() const
{
    return RadarMath::samplePeriodForFirmware(version.toStdString());
}

QString SimKitState::moduleIdn(int port) const
{
    if (!modules.portIdn[port].isEmpty())
        return modules.portIdn[port];
    return QStringLiteral("Tamarin Works,RFM24,%1-P%2,1.0.0").arg(serial).arg(port);
}

QVector<quint16> SimKitState::captureFrame(int n)
{
    const bool radiating = catalogue.systemPower && sweep.rfOn && sweep.sweeping;
    return scene.capture(sweep, radiating, samplePeriod(), n);
}

void SimKitState::resetSettings()
{
    sweep = SimSweep();
    catalogue = SimCatalogue();
}

bool SimKitState::applySetting(const QString &header, const QString &args)
{
    if (applySweepSetting(header, args) || applyCatalogueSetting(header, args) ||
        applyModuleSend(header, args))
        return true;
    if (is(header, Key::Reset)) {
        resetSettings();
        return true;
    }
    return is(header, Key::ClearStatus);
}

bool SimKitState::applySweepSetting(const QString &header, const QString &args)
{
    bool ok = false;
    if (is(header, Key::StartFreq) || is(header, Key::StopFreq)) {
        const double v = args.toDouble(&ok);
        if (ok && v >= kMinFreqGHz && v <= kMaxFreqGHz)
            (is(header, Key::StartFreq) ? sweep.startGHz : sweep.stopGHz) = v;
        else
            qCDebug(lcSim) << "frequency refused:" << args;
    } else if (is(header, Key::RampTime)) {
        const double v = args.toDouble(&ok);
        if (ok && v >= kMinRampMs && v <= kMaxRampMs)
            sweep.rampMs = v;
        else
            qCDebug(lcSim) << "ramp time refused:" << args;
    } else if (is(header, Key::SweepType)) {
        const int v = args.toInt(&ok);
        if (ok && v >= 0 && v <= 3)
            sweep.type = v;
    } else if (is(header, Key::SweepStart) || is(header, Key::SweepStop)) {
        sweep.sweeping = is(header, Key::SweepStart);
    } else if (is(header, Key::RfPower)) {
        if (const std::optional<bool> on = onOff(args))
            sweep.rfOn = *on;
    } else {
        return false;
    }
    return true;
}

bool SimKitState::applyCatalogueSetting(const QString &header, const QString &args)
{
    if (is(header, Key::SystemPower)) {
        if (const std::optional<bool> on = onOff(args))
            catalogue.systemPower = *on;
    } else if (is(header, Key::Attenuators)) {
        const auto p = intPair(args); // channel 1..4, value 0..31 dB
        if (p && p->first >= 1 && p->first <= catalogue.attenuators.size() && p->second >= 0 &&
            p->second <= 31)
            catalogue.attenuators[p->first - 1] = p->second;
    } else if (is(header, Key::BiasGate)) {
        const auto p = intPair(args); // channel 1..5, device 0..4; 22 gates in all
        const int index = p ? (p->first - 1) * 5 + p->second : -1;
        if (p && p->first >= 1 && p->first <= 5 && p->second >= 0 && p->second <= 4 && index <= 21)
            catalogue.biasGate = index;
    } else {
        return false;
    }
    return true;
}

bool SimKitState::applyModuleSend(const QString &header, const QString &args)
{
    const std::optional<int> port = portOf(header, Key::ModuleSend, false);
    if (!port)
        return false;
    if (hasModule(*port)) {
        const QString text = latin1(std::string(Kc::unquote(args.toLatin1().toStdString())));
        // A module answers its identification and nothing else.
        moduleReply[*port] =
            text.trimmed() == latin1(Kc::identify()) ? line(moduleIdn(*port)) : QByteArray();
    }
    return true;
}
