// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "radar/ShownFrame.h"

#include <QObject>

#include <functional>

class KitSession;
class QAbstractButton;
class QButtonGroup;
namespace Ui {
class TR7310_tab;
}

// The kit's set-up as the form shows it: read-backs go into the set-up fields and buttons and into
// what the kit is known to run (KnownKit); the sweep buttons carry the kit's sweep-type codes.
class KitSettings : public QObject
{
    Q_OBJECT
public:
    KitSettings(Ui::TR7310_tab &ui, KitSession &kit, const FrameMeta::Kit &identity,
                QObject *parent = nullptr);

    const KnownKit &readback() const { return known; }
    // Forgets a setting, so that only a new read-back answers for it.
    void forgetFreqs() { known.freqsKnown = false; }
    void forgetRamp() { known.rampKnown = false; }
    void forgetSweepType() { known.kit.sweepType = -1; }
    void forgetRfPower() { known.kit.rfPower = -1; }

    // The set-up buttons: each sends what the form shows, then reads the setting back.
    void setRfPower(bool on);
    void applyFreqs(std::function<void()> then);
    void applyRamp(std::function<void()> then);
    void runSweep(bool run);

    void readRfPower();
    void readFreqs(std::function<void()> then = {});
    void readRamp(std::function<void()> then = {});
    void readSweepType();
    // A sweep button was clicked: its type, then a start of the sweep.
    void pickSweep(QAbstractButton *button);
    QButtonGroup *sweepButtons() const { return sweepGroup; }

signals:
    void rfPowerRead(bool on);
    // The kit answered with its sweep: live frames are drawn on it.
    void sweepRead();

private:
    Ui::TR7310_tab &ui;
    KitSession &kit;
    KnownKit known;
    QButtonGroup *sweepGroup = nullptr;
};
