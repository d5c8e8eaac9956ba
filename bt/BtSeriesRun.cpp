// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/BtSeriesRun.h"

#include "bt/BtCapture.h"
#include "bt/CommandSteps.h"
#include "kit/KitCommands.h"
#include "widgets/Logging.h"

BtSeriesRun::BtSeriesRun(BtCapture &capture, CommandSteps &steps, FrameSource frame,
                         QObject *parent)
    : QObject(parent), capture(capture), steps(steps), frame(std::move(frame))
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &BtSeriesRun::step);
}

bool BtSeriesRun::start(const Settings &s)
{
    if (!capture.beginSeries(s.plan.planned))
        return false;
    settings = s;
    writer.begin(s.plan);
    step();
    return true;
}

void BtSeriesRun::step()
{
    const int unanswered = capture.takeUnanswered();
    if (unanswered >= 0) {
        qCDebug(lcBt) << "no frame came for capture" << unanswered << "of the series";
        record(unanswered, false);
    }
    if (!capture.seriesRunning())
        return; // the gap could not be written
    // The step awaits its reply before the command leaves, so a reply parsed at once finds it.
    if (capture.nextRequest(settings.samples) < 0) {
        end();
        return;
    }
    steps.send(QString::fromStdString(KitCommands::Bt::requestStream(settings.samples)));
    steps.startAfterLine(timer, CommandSteps::timerMs(settings.plan.intervalS * 1000));
}

void BtSeriesRun::replied(int number, bool good)
{
    if (number < 0)
        return;
    record(number, good);
    if (capture.seriesComplete())
        end();
}

void BtSeriesRun::end()
{
    steps.stopTimer(timer);
    capture.endSeries();
}

void BtSeriesRun::record(int number, bool withFrame)
{
    if (!settings.save || !writer.isOpen())
        return;
    const double sinceFirstS = capture.sinceFirstS(number);
    QString error;
    bool saved = false;
    if (withFrame) {
        QVector<double> data;
        FrameMeta::Meta meta;
        frame(&data, &meta);
        saved = writer.addFrame(number, data, meta, sinceFirstS, &error);
    } else {
        saved = writer.addGap(number, sinceFirstS, &error);
    }
    if (saved)
        return;
    end();
    emit failed(QStringLiteral("Could not save %1").arg(error),
                QStringLiteral("The series stopped after %1 of %2 captures. Could not "
                                       "save %3")
                            .arg(number + 1)
                            .arg(settings.plan.planned)
                            .arg(error));
}
