// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CollectionIndex.h"
#include "capture/FrameMeta.h"

#include <QString>
#include <QVector>

// Writes a timed collection, the same way for the USB tab, the Bluetooth tab and kvvlx-cli:
// numbers the files, saves each frame with its sidecar as one unit, notes steps that wrote no
// file as gaps, and rewrites the collection index after every step, so that the index lists
// only frames that are whole on disk. A step whose frame cannot be written becomes a gap and
// the caller gets the reason.
class CollectionWriter
{
public:
    struct Plan
    {
        QString folder;
        QString name = QStringLiteral("data.txt"); // the number goes before the last 4 characters
        int planned = 0;                           // captures asked for
        double intervalS = 0.0;
        bool zeroPadded = false; // data0000.txt ... instead of data0.txt ...
        QString application = QStringLiteral("kvvlx");
        QString link;
        QString kitSerial;
    };

    // A new collection; nothing is written until its first step.
    void begin(const Plan &plan);
    bool isOpen() const { return open; }

    // Where the frame of step number (0 for the first) goes.
    QString pathOf(int number) const;

    // Saves the frame of step number. meta describes the frame; its collection fields are
    // filled in here. False with "PATH: reason" when the frame, its sidecar or the index could
    // not be written; the step then stands in the index as a gap.
    bool addFrame(int number, const QVector<double> &data, FrameMeta::Meta meta, double sinceFirstS,
                  QString *error = nullptr);
    // Step number wrote no file (no frame came, or it failed its check).
    bool addGap(int number, double sinceFirstS, QString *error = nullptr);

    const Recording::Index &index() const { return idx; }
    QString folder() const { return plan.folder; }

private:
    bool record(int number, const QString &file, double sinceFirstS, QString *error);

    Plan plan;
    Recording::Index idx;
    bool open = false;
};
