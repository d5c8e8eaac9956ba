// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSet>

namespace SafeFile {

namespace {

QString located(const QString &path, const QString &reason)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

bool fail(QString *error, const QString &path, const QString &reason)
{
    if (error)
        *error = located(path, reason);
    return false;
}

} // namespace

bool read(const QString &path, qint64 maxBytes, QByteArray *out, QString *error)
{
    out->clear();
    QString reason;
    if (!Platform::readRegular(path, maxBytes, out, &reason))
        return fail(error, path, reason);
    return true;
}

bool nestedDeeperThan(const QByteArray &json, int maxDepth)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth)
                return true;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

bool readJsonObject(const QString &path, QJsonObject *out, QString *error, qint64 maxBytes)
{
    QByteArray bytes;
    if (!read(path, maxBytes, &bytes, error))
        return false;
    if (nestedDeeperThan(bytes, kMaxJsonDepth))
        return fail(error, path, QStringLiteral("nested deeper than %1 levels").arg(kMaxJsonDepth));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error, path,
                    QStringLiteral("not JSON (%1 at byte %2)")
                        .arg(parseError.errorString())
                        .arg(parseError.offset));
    if (!doc.isObject())
        return fail(error, path, QStringLiteral("not a JSON object"));
    *out = doc.object();
    return true;
}

bool writeUnit(const QList<Entry> &files, QString *error)
{
    QStringList temps;
    auto removeTemps = [&] {
        for (const QString &t : std::as_const(temps))
            QFile::remove(t);
    };
    QSet<QString> folders;
    for (const Entry &e : files) {
        const QString folder = QFileInfo(e.path).absolutePath();
        if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
            removeTemps();
            // Named by the unit's main file, which comes last (a frame after its sidecar).
            return fail(error, files.last().path,
                        QStringLiteral("the folder %1 cannot be created")
                            .arg(QDir::toNativeSeparators(folder)));
        }
        QString temp, reason;
        if (!Platform::writeTemp(e.path, e.bytes, &temp, &reason)) {
            removeTemps();
            return fail(error, e.path, reason);
        }
        temps << temp;
        folders.insert(folder);
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        QString reason;
        if (!Platform::replace(temps.at(i), files.at(i).path, &reason)) {
            // What was renamed already goes again: a unit is whole or absent.
            for (qsizetype k = 0; k < i; ++k)
                QFile::remove(files.at(k).path);
            temps = temps.mid(i);
            removeTemps();
            return fail(error, files.at(i).path, reason);
        }
    }
    for (const QString &folder : std::as_const(folders))
        Platform::syncFolder(folder);
    return true;
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeUnit({Entry{path, bytes}}, error);
}

bool insideFolder(const QString &path, const QString &folder)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    QString root = QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).canonicalFilePath();
    if (target.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return target.startsWith(root);
}

} // namespace SafeFile
