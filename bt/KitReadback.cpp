// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/KitReadback.h"

using Tag = BtProtocol::Tag;
using Effect = KitReadback::Effect;

namespace {
bool validSweepType(int t) { return t >= 0 && t <= 3; }
} // namespace

Effect KitReadback::take(const BtProtocol::Reply &reply)
{
    Effect e;
    switch (reply.tag) {
    case Tag::StartFreq:
        e.field = Effect::Field::StartFreq;
        kitSweep.startGHz = reply.value.toDouble(&startKnown);
        break;
    case Tag::StopFreq:
        e.field = Effect::Field::StopFreq;
        kitSweep.stopGHz = reply.value.toDouble(&stopKnown);
        break;
    case Tag::Ramp:
        e.field = Effect::Field::Ramp;
        kitSweep.rampMs = reply.value.toDouble(&rampKnown);
        break;
    case Tag::Type: {
        const int t = BtProtocol::intValue(reply.value);
        type = validSweepType(t) ? t : -1;
        e.sweepType = type;
        break;
    }
    case Tag::RfPower: {
        const int on = BtProtocol::intValue(reply.value);
        rfPowerOn = on == 0 || on == 1 ? on : -1;
        e.rf = on == 1 ? Effect::Rf::On : on == 0 ? Effect::Rf::Off : Effect::Rf::BadValue;
        break;
    }
    case Tag::Data:
        e.frame = true;
        break;
    default:
        break;
    }
    if (e.field != Effect::Field::None)
        e.text = reply.value;
    return e;
}

void KitReadback::sweepTypeSent(int t)
{
    if (validSweepType(t))
        type = t;
}
