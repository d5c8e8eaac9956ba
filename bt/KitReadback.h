// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bt/BtProtocol.h"
#include "kit/RadarMath.h"

#include <QString>

// What the kit last told the Bluetooth tab, and what each of its replies changes on the form.
// Plain, so the reply table is tested without a form or a kit; the tab only applies the effect.
class KitReadback
{
public:
    struct Effect
    {
        enum class Field { None, StartFreq, StopFreq, Ramp };
        enum class Rf { Unchanged, On, Off, BadValue };
        Field field = Field::None;
        QString text;       // what the field shows: the value as the kit sent it
        int sweepType = -1; // 0..3: the sweep-type button to check; others check none
        Rf rf = Rf::Unchanged;
        bool frame = false; // a data reply: the tab checks and takes its samples
    };

    Effect take(const BtProtocol::Reply &reply);
    // Settings have no reply; the kit takes each of the four sweep types it is sent.
    void sweepTypeSent(int type);

    const RadarMath::Sweep &sweep() const { return kitSweep; }
    // All three of start, stop and ramp came as numbers.
    bool sweepKnown() const { return startKnown && stopKnown && rampKnown; }
    int sweepType() const { return type; }   // 0..3, or -1 while unknown
    int rfPower() const { return rfPowerOn; } // 0 or 1, or -1 while unknown

private:
    RadarMath::Sweep kitSweep;
    bool startKnown = false;
    bool stopKnown = false;
    bool rampKnown = false;
    int type = -1;
    int rfPowerOn = -1;
};
