// SPDX-License-Identifier: GPL-3.0-or-later
// The tab as scripts drive it: each call works the form's own controls, then waits for the link
// thread, whose jobs run in order, so that the read-back a control asked for has been shown.
#include "radar/TR7310_tab.h"

#include "ui_TR7310_tab.h"
#include "widgets/PlotMarkers.h"

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
    onLink([done](LinkThread::Job &) -> LinkThread::Done { return done; });
}

void TR7310_tab::readSetting(Setting setting, std::function<void(const QString &)> done)
{
    // What the kit reported before this read-back does not count as an answer.
    auto answer = [this, setting, done] {
        switch (setting) {
        case Setting::StartGHz:
            return done(kitFreqsKnown ? number(kitAxes.sweep.startGHz) : QString());
        case Setting::StopGHz:
            return done(kitFreqsKnown ? number(kitAxes.sweep.stopGHz) : QString());
        case Setting::RampMs:
            return done(kitRampKnown ? number(kitAxes.sweep.rampMs) : QString());
        case Setting::SweepType:
            return done(kitSweepType >= 0 ? QString::number(kitSweepType) : QString());
        case Setting::RfPower:
            return done(kitRfPower >= 0 ? QString::number(kitRfPower) : QString());
        }
    };
    switch (setting) {
    case Setting::StartGHz:
    case Setting::StopGHz:
        kitFreqsKnown = false;
        readFreqs();
        break;
    case Setting::RampMs:
        kitRampKnown = false;
        readRamptime();
        break;
    case Setting::SweepType:
        kitSweepType = -1;
        readSweepType();
        break;
    case Setting::RfPower:
        kitRfPower = -1;
        update_RFPower();
        break;
    }
    onLink([answer](LinkThread::Job &) -> LinkThread::Done { return answer; });
}

int TR7310_tab::sampleCount() const { return ui->numSamples_txt->text().toInt(); }

void TR7310_tab::setSampleCount(int n) { ui->numSamples_txt->setText(QString::number(n)); }

void TR7310_tab::collectOne(std::function<void(bool)> done)
{
    if (captureInFlight || continuousCapture || collectionRunning)
        return done(false);
    const int taken = framesTaken;
    const int dropped = framesDropped;
    on_collect_btn_clicked();
    onLink([this, taken, dropped, done](LinkThread::Job &) -> LinkThread::Done {
        return
            [this, taken, dropped, done] { done(framesTaken > taken && framesDropped == dropped); };
    });
}

FrameMeta::Meta TR7310_tab::shownMeta() const
{
    FrameMeta::Meta meta = samplesMeta;
    meta.sampleCount = int(samples.size());
    meta.markers = PlotMarkers::json(
        {ui->spectrum_wdgt, ui->rangeSpectrum_wdgt, ui->dopplerPlot_wdgt, ui->rawPlot_wdgt});
    return meta;
}
