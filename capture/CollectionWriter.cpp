// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CollectionWriter.h"

#include "capture/DataFile.h"

#include <QDir>

void CollectionWriter::begin(const Plan &p)
{
    plan = p;
    idx = Recording::Index();
    idx.application = p.application;
    idx.name = p.name;
    // Wide enough for the last number, and at least four digits so that names sort in order.
    idx.numberWidth =
        p.zeroPadded ? qMax(4, int(QString::number(qMax(0, p.planned - 1)).size())) : 0;
    idx.planned = p.planned;
    idx.plannedIntervalS = p.intervalS;
    idx.startedUtc = QDateTime::currentDateTimeUtc();
    idx.link = p.link;
    idx.kitSerial = p.kitSerial;
    open = true;
}

QString CollectionWriter::pathOf(int number) const
{
    return plan.folder + QLatin1Char('/') +
           DataFile::numberedName(plan.name, number, idx.numberWidth);
}

bool CollectionWriter::addFrame(int number, const QVector<double> &data, FrameMeta::Meta meta,
                                double sinceFirstS, QString *error)
{
    meta.inCollection = true;
    meta.frameNumber = number;
    meta.plannedIntervalS = plan.intervalS;
    meta.sinceFirstFrameS = sinceFirstS;
    meta.numberWidth = idx.numberWidth;
    QString why;
    if (!DataFile::save(data, pathOf(number), &meta, &why)) {
        // The step stays a gap in the index; the first reason is the one to tell.
        record(number, QString(), sinceFirstS, nullptr);
        if (error)
            *error = why;
        return false;
    }
    return record(number, DataFile::numberedName(plan.name, number, idx.numberWidth), sinceFirstS,
                  error);
}

bool CollectionWriter::addGap(int number, double sinceFirstS, QString *error)
{
    return record(number, QString(), sinceFirstS, error);
}

bool CollectionWriter::record(int number, const QString &file, double sinceFirstS, QString *error)
{
    Recording::IndexEntry entry;
    entry.number = number;
    entry.file = file;
    entry.sinceFirstS = sinceFirstS;
    idx.frames.append(entry);
    idx.complete = number + 1 >= idx.planned;
    return Recording::writeIndex(plan.folder, idx, error);
}
