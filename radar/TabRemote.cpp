// SPDX-License-Identifier: GPL-3.0-or-later
// The tab as scripts drive it: each call works the form's own controls, then waits for the link
// thread, whose jobs run in order, so that the read-back a control asked for has been shown.
#include "radar/TR7310_tab.h"

#include "radar/CaptureSession.h"
#include "radar/KitSession.h"
#include "radar/KitSettings.h"
#include "ui_TR7310_tab.h"

#include <QRadioButton>

namespace {

QString number(double v) { return QString::number(v, 'g', 6); }

} // namespace

void TR7310_tab::applySetting(Setting setting, double value, std::function<void()> done)
{
    switch (setting) {
    case Setting::StartGHz:
        ui->startFreq_txt->setText(number(value));
        on_setFreqs_btn_clicked();
        break;
    case Setting::StopGHz:
        ui->stopFreq_txt->setText(number(value));
        on_setFreqs_btn_clicked();
        break;
    case Setting::RampMs:
        ui->ramptime_txt->setText(number(value));
        on_setRamp_btn_clicked();
        break;
    case Setting::SweepType: {
        QRadioButton *buttons[] = {ui->oneWaySingle_rdbtn, ui->twoWaySingle_rdbtn,
                                   ui->twoWayCont_rdbtn, ui->continuousWave_rdbtn};
        const int code = int(value);
        if (code >= 0 && code <= 3) {
            buttons[code]->setChecked(true);
            sweepBtnClicked(buttons[code]);
        }
        readSweepType(); // the buttons do not read back; the kit has the last word
        break;
    }
    case Setting::RfPower:
        if ((value != 0) != rfOn)
            on_rf_power_btn_clicked(); // a toggle, followed by its read-back
        else
            update_RFPower();
        break;
    }
    kit->whenIdle(done);
}

void TR7310_tab::readSetting(Setting setting, std::function<void(const QString &)> done)
{
    // What the kit reported before this read-back does not count as an answer.
    auto answer = [this, setting, done] {
        const KnownKit &known = settings->readback();
        const RadarMath::FrameAxes &axes = known.kit.axes;
        const int sweep = known.kit.sweepType;
        const int rf = known.kit.rfPower;
        switch (setting) {
        case Setting::StartGHz:
            return done(known.freqsKnown ? number(axes.sweep.startGHz) : QString());
        case Setting::StopGHz:
            return done(known.freqsKnown ? number(axes.sweep.stopGHz) : QString());
        case Setting::RampMs:
            return done(known.rampKnown ? number(axes.sweep.rampMs) : QString());
        case Setting::SweepType:
            return done(sweep >= 0 ? QString::number(sweep) : QString());
        case Setting::RfPower:
            return done(rf >= 0 ? QString::number(rf) : QString());
        }
    };
    switch (setting) {
    case Setting::StartGHz:
    case Setting::StopGHz:
        settings->forgetFreqs();
        readFreqs();
        break;
    case Setting::RampMs:
        settings->forgetRamp();
        readRamptime();
        break;
    case Setting::SweepType:
        settings->forgetSweepType();
        readSweepType();
        break;
    case Setting::RfPower:
        settings->forgetRfPower();
        update_RFPower();
        break;
    }
    kit->whenIdle(answer);
}

int TR7310_tab::sampleCount() const { return ui->numSamples_txt->text().toInt(); }

void TR7310_tab::setSampleCount(int n) { ui->numSamples_txt->setText(QString::number(n)); }

void TR7310_tab::collectOne(std::function<void(bool)> done)
{
    if (!capture->cycle().canCollectOnce())
        return done(false);
    const int taken = capture->framesTaken();
    const int dropped = capture->framesDropped();
    on_collect_btn_clicked();
    kit->whenIdle([this, taken, dropped, done] {
        done(capture->framesTaken() > taken && capture->framesDropped() == dropped);
    });
}

