// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Files that are never half written and never trusted: every write checked and synced before a
// rename puts it in place, every read limited to a regular file of bounded size. Errors are
// "PATH: reason", ready for a message.
namespace SafeFile {

// What a reader accepts; anything larger is refused before a byte of it is read.
constexpr qint64 kMaxFrameBytes = 64 * 1024 * 1024;
constexpr qint64 kMaxJsonBytes = 1024 * 1024;
constexpr int kMaxJsonDepth = 64;

// The whole of a regular file of at most maxBytes. FIFOs, devices, sockets and folders are
// refused without blocking, whatever a symbolic link makes them look like.
bool read(const QString &path, qint64 maxBytes, QByteArray *out, QString *error = nullptr);

// A JSON object from a regular file of at most maxBytes, nested at most kMaxJsonDepth deep.
bool readJsonObject(const QString &path, QJsonObject *out, QString *error = nullptr,
                    qint64 maxBytes = kMaxJsonBytes);

// JSON text nested deeper than maxDepth (strings skipped), checked before any parser sees it.
bool nestedDeeperThan(const QByteArray &json, int maxDepth);

struct Entry
{
    QString path;
    QByteArray bytes;
};

// Writes the files as one unit: each first to a hidden temporary beside it (every write, the
// flush and the sync to disk checked), then renamed into place in the order given, so a reader
// that finds the last one finds them all. On failure the unit leaves nothing of itself: the
// temporaries and any file it already renamed are removed. A missing folder is created; when it
// cannot be, the error names the last file, the unit's main one.
bool writeUnit(const QList<Entry> &files, QString *error = nullptr);
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Whether path, with its symbolic links and ".." resolved, lies inside folder.
bool insideFolder(const QString &path, const QString &folder);

// The platform's part: POSIX calls where there are, Qt's elsewhere.
namespace Platform {
bool readRegular(const QString &path, qint64 maxBytes, QByteArray *out, QString *reason);
// A new temporary beside finalPath holding bytes, flushed and synced; its path in *temp.
bool writeTemp(const QString &finalPath, const QByteArray &bytes, QString *temp, QString *reason);
bool replace(const QString &from, const QString &to, QString *reason);
// Makes the renames in folder durable where the platform allows it.
void syncFolder(const QString &folder);
} // namespace Platform

} // namespace SafeFile
