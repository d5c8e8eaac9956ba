// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CollectionWriter.h"

#include <QObject>
#include <QTimer>

#include <functional>

class BtCapture;
class CommandSteps;

// A timed collection over Bluetooth: one "CAPT:STRE" each interval, whatever came back. Each
// reply is saved under the number of the request it answers; a request no good reply answered
// before the next step stands as a gap. A file that cannot be written ends the run: the disk
// would not take the next one either. The bookkeeping is BtCapture's; this runs the timer and
// the files.
class BtSeriesRun : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        CollectionWriter::Plan plan;
        int samples = 1024;
        bool save = true; // false: requests only, no files
    };
    // The frame held and its sidecar, when a step saves it.
    using FrameSource = std::function<void(QVector<double> *, FrameMeta::Meta *)>;

    BtSeriesRun(BtCapture &capture, CommandSteps &steps, FrameSource frame,
                QObject *parent = nullptr);

    // False while a run goes on: a second would share the numbering with the first.
    bool start(const Settings &settings);
    // A data reply came for step number (from BtCapture::frameArrived), whole or refused.
    void replied(int number, bool good);

signals:
    // A step's files could not be written: the status bar's line and the dialog's text.
    void failed(const QString &status, const QString &message);

private:
    void step();
    void end();
    void record(int number, bool withFrame);

    BtCapture &capture;
    CommandSteps &steps;
    FrameSource frame;
    Settings settings;
    CollectionWriter writer;
    QTimer timer;
};
