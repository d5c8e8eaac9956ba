// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/KitSettings.h"

#include "kit/KitCommands.h"
#include "link/UsbReply.h"
#include "radar/KitSession.h"
#include "ui_TR7310_tab.h"
#include "widgets/Logging.h"

#include <QButtonGroup>

namespace {

namespace Kc = KitCommands;
QString command(const std::string &text) { return QString::fromStdString(text); }

// Read-back numbers are shown as the kit's single-precision value in 'g', 6.
QString displayNumber(const KitSession::Reply &reply)
{
    return QString::number(replyText(reply).trimmed().toFloat(), 'g', 6);
}

} // namespace

KitSettings::KitSettings(Ui::TR7310_tab &form, KitSession &session,
                         const FrameMeta::Kit &identity, QObject *parent)
    : QObject(parent), ui(form), kit(session)
{
    known.kit = identity;
    // The sweep type is the button's id: the code the kit takes.
    sweepGroup = new QButtonGroup(this);
    sweepGroup->addButton(ui.oneWaySingle_rdbtn, 0);
    sweepGroup->addButton(ui.twoWaySingle_rdbtn, 1);
    sweepGroup->addButton(ui.twoWayCont_rdbtn, 2);
    sweepGroup->addButton(ui.continuousWave_rdbtn, 3);
}

void KitSettings::setRfPower(bool on)
{
    kit.send({command(Kc::setRfPower(on))});
    readRfPower();
}

void KitSettings::applyFreqs(std::function<void()> then)
{
    kit.send({command(Kc::setStartFreq(ui.startFreq_txt->text().toStdString())),
              command(Kc::setStopFreq(ui.stopFreq_txt->text().toStdString()))});
    readFreqs(std::move(then));
}

void KitSettings::applyRamp(std::function<void()> then)
{
    kit.send({command(Kc::setRampTime(ui.ramptime_txt->text().toStdString()))});
    readRamp(std::move(then));
}

void KitSettings::runSweep(bool run)
{
    kit.send({command(run ? Kc::startSweep() : Kc::stopSweep())});
    readRfPower();
}

void KitSettings::readRfPower()
{
    kit.query(command(Kc::queryRfPower()), [this](const KitSession::Reply &reply) {
        if (reply.first < 0)
            return;
        const quint8 state = quint8(replyText(reply).trimmed().toInt());
        if (state > 1) {
            qCDebug(lcRadar, "rfPowerCheck: bad return value");
            return;
        }
        known.kit.rfPower = state;
        emit rfPowerRead(state == 1);
    });
}

void KitSettings::readFreqs(std::function<void()> then)
{
    kit.queryTwo(command(Kc::queryStopFreq()), command(Kc::queryStartFreq()),
                 [this, then](const KitSession::Reply &stop, const KitSession::Reply &start) {
                     if (stop.first >= 0) {
                         ui.stopFreq_txt->setText(displayNumber(stop));
                         known.kit.axes.sweep.stopGHz = displayNumber(stop).toDouble();
                     }
                     if (start.first >= 0) {
                         ui.startFreq_txt->setText(displayNumber(start));
                         known.kit.axes.sweep.startGHz = displayNumber(start).toDouble();
                         known.freqsKnown = true;
                     }
                     if (stop.first >= 0)
                         emit sweepRead();
                     if (then)
                         then();
                 });
}

void KitSettings::readRamp(std::function<void()> then)
{
    kit.query(command(Kc::queryRampTime()), [this, then](const KitSession::Reply &r) {
        if (r.first >= 0) {
            ui.ramptime_txt->setText(displayNumber(r));
            known.kit.axes.sweep.rampMs = displayNumber(r).toDouble();
            known.rampKnown = true;
            emit sweepRead();
        }
        if (then)
            then();
    });
}

void KitSettings::readSweepType()
{
    kit.query(command(Kc::querySweepType()), [this](const KitSession::Reply &reply) {
        if (reply.first < 0)
            return;
        const float code = replyText(reply).trimmed().toFloat();
        if (code == 0.0f || code == 1.0f || code == 2.0f || code == 3.0f) {
            known.kit.sweepType = int(code);
            sweepGroup->button(int(code))->setChecked(true);
        }
    });
}

void KitSettings::pickSweep(QAbstractButton *button)
{
    const int code = button ? sweepGroup->id(button) : -1;
    if (code >= 0) {
        kit.send({command(Kc::setSweepType(code))});
        known.kit.sweepType = code; // settings have no reply; the kit takes each of the four
    } else {
        qCDebug(lcRadar, "btn not recognized");
    }
    kit.send({command(Kc::startSweep())});
}
