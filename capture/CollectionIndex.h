// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/FrameMeta.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The index a timed collection keeps in its folder: what was planned and, step by step, which
// file each step wrote (none for a gap). Written only by CollectionWriter; read by replay.
namespace Recording {

inline const char *const kIndexName = "collection.json";
inline const char *const kIndexFormatName = "kvvlx-collection";
constexpr int kIndexFormatVersion = 1;

struct IndexEntry
{
    int number = 0;
    QString file;             // name inside the folder; empty for a step that wrote no file
    double sinceFirstS = 0.0; // seconds since the first frame of the collection
};

struct Index
{
    int formatVersion = kIndexFormatVersion;
    QString application = QStringLiteral("kvvlx"); // the program that wrote it
    QString name;                                  // the collection's name pattern, "data.txt"
    int numberWidth = 0;
    int planned = 0; // captures asked for
    double plannedIntervalS = 0.0;
    QDateTime startedUtc;
    bool complete = false; // false while the collection runs or after it stopped early
    QString link;
    QString kitSerial;
    QList<IndexEntry> frames; // in capture order, gaps included

    QStringList files() const; // the frames written, in order
    int gaps() const;
};

QString indexPath(const QString &folder);
QJsonObject toJson(const Index &index);
// Every field checked; a listed name that is not a plain name inside the folder is refused.
bool fromJson(const QJsonObject &json, Index *index, QString *error = nullptr);
// Rewritten atomically, so a reader sees the previous index or the new one, never a part.
bool writeIndex(const QString &folder, const Index &index, QString *error = nullptr);
// Read as a regular file of bounded size and nesting; Invalid comes with "PATH: reason".
FrameMeta::ReadResult readIndex(const QString &folder, Index *index, QString *error = nullptr);

} // namespace Recording
