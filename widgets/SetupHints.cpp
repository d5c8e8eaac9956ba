// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/SetupHints.h"

#include "capture/FrameCapture.h"

#include <QWidget>

namespace SetupHints {

void apply(QWidget *tab)
{
    // The kit refuses settings outside these ranges and keeps the previous value.
    const QString frequency = QStringLiteral("%1 frequency of the sweep in GHz, 23–26 GHz. "
                                             "Set sends both frequencies to the kit.");
    const struct
    {
        const char *name;
        QString tip;
    } hints[] = {
        {"startFreq_txt", frequency.arg(QStringLiteral("Start"))},
        {"stopFreq_txt", frequency.arg(QStringLiteral("Stop"))},
        {"setFreqs_btn", QStringLiteral("Send the start and stop frequency to the kit and read "
                                        "them back")},
        {"ramptime_txt", QStringLiteral("Duration of one sweep in ms, 0.1–100 ms")},
        {"setRamp_btn", QStringLiteral("Send the ramp time to the kit and read it back")},
        {"sweepType_gbx", QStringLiteral("How the kit sweeps: one way once, two ways once, two "
                                         "ways continuously, or a continuous wave")},
        {"rf_power_btn", QStringLiteral("Switch the transmitter on or off (green: on, red: off)")},
        {"start_btn", QStringLiteral("Start sweeping")},
        {"stop_btn", QStringLiteral("Stop sweeping")},
        {"numSamples_txt", QStringLiteral("Samples per frame, 1–%1").arg(FrameCapture::maxSamples)},
        {"numSampleCapture_txt", QStringLiteral("Samples per frame of the timed collection, 1–%1")
                                     .arg(FrameCapture::maxSamples)},
        {"numCaptures_txt", QStringLiteral("Number of frames the timed collection takes")},
        {"captureInterval_txt", QStringLiteral("Seconds between the frames of the timed "
                                               "collection")},
        {"saveFolderCapture_txt", QStringLiteral("Folder of the collection's numbered files, "
                                                 "relative to the working folder")},
        {"saveNameCapture_txt", QStringLiteral("File name of the collection; the frame number "
                                               "goes before the extension (data0.txt, ...)")},
        {"saveLoc_txt", QStringLiteral("Folder that Save writes into")},
        {"save_fileName_txt", QStringLiteral("File name that Save writes: one value in volts per "
                                             "line")},
    };
    for (const auto &hint : hints)
        if (auto *widget = tab->findChild<QWidget *>(QLatin1String(hint.name)))
            widget->setToolTip(hint.tip);
}

} // namespace SetupHints
