// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CollectionIndex.h"

#include "capture/JsonFields.h"
#include "capture/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <limits>

namespace Recording {

namespace {

constexpr double kMaxSeconds = 1e9;
constexpr int kMaxNumberWidth = 32;

bool plainName(const QString &file)
{
    return !file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char('\\')) &&
           file != QLatin1String("..") && file != QLatin1String(".");
}

} // namespace

QStringList Index::files() const
{
    QStringList out;
    for (const IndexEntry &e : frames)
        if (!e.file.isEmpty())
            out << e.file;
    return out;
}

int Index::gaps() const
{
    return int(std::count_if(frames.begin(), frames.end(),
                             [](const IndexEntry &e) { return e.file.isEmpty(); }));
}

QString indexPath(const QString &folder)
{
    return QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
        .filePath(QLatin1String(kIndexName));
}

QJsonObject toJson(const Index &index)
{
    QJsonArray frames;
    for (const IndexEntry &e : index.frames)
        frames.append(QJsonObject{
            {QStringLiteral("frame"), e.number},
            {QStringLiteral("file"), e.file.isEmpty() ? QJsonValue() : QJsonValue(e.file)},
            {QStringLiteral("sinceFirstFrameS"), e.sinceFirstS}});
    return QJsonObject{
        {QStringLiteral("format"), QLatin1String(kIndexFormatName)},
        {QStringLiteral("formatVersion"), index.formatVersion},
        {QStringLiteral("application"),
         QJsonObject{{QStringLiteral("name"), index.application},
                     {QStringLiteral("version"), FrameMeta::applicationVersion()}}},
        {QStringLiteral("name"), index.name},
        {QStringLiteral("numberWidth"), index.numberWidth},
        {QStringLiteral("plannedCount"), index.planned},
        {QStringLiteral("plannedIntervalS"), index.plannedIntervalS},
        {QStringLiteral("startedUtc"), FrameMeta::timeStamp(index.startedUtc)},
        {QStringLiteral("complete"), index.complete},
        {QStringLiteral("link"), index.link},
        {QStringLiteral("kitSerial"), index.kitSerial},
        {QStringLiteral("frames"), frames},
    };
}

bool fromJson(const QJsonObject &json, Index *index, QString *error)
{
    JsonFields c{error};
    if (json.value(QStringLiteral("format")).toString() != QLatin1String(kIndexFormatName))
        return c.fail(QStringLiteral("not a collection index"));
    constexpr int kMaxInt = std::numeric_limits<int>::max();
    Index out;
    out.formatVersion = c.integer(json, "formatVersion", 1, kMaxInt);
    if (c.ok() && out.formatVersion > kIndexFormatVersion)
        return c.fail(QStringLiteral("unknown format version %1").arg(out.formatVersion));
    out.application = json.value(QStringLiteral("application"))
                          .toObject()
                          .value(QStringLiteral("name"))
                          .toString();
    out.name = json.value(QStringLiteral("name")).toString();
    c.optionalInteger(json, "numberWidth", 0, kMaxNumberWidth, &out.numberWidth);
    c.optionalInteger(json, "plannedCount", 0, kMaxInt, &out.planned);
    c.optionalNumber(json, "plannedIntervalS", 0, kMaxSeconds, &out.plannedIntervalS);
    out.startedUtc = QDateTime::fromString(json.value(QStringLiteral("startedUtc")).toString(),
                                           Qt::ISODateWithMs);
    out.complete = json.value(QStringLiteral("complete")).toBool();
    out.link = json.value(QStringLiteral("link")).toString();
    out.kitSerial = json.value(QStringLiteral("kitSerial")).toString();
    const QJsonValue frames = json.value(QStringLiteral("frames"));
    if (!frames.isArray())
        return c.fail(QStringLiteral("\"frames\" is missing"));
    for (const QJsonValue &v : frames.toArray()) {
        if (!c.ok())
            break;
        if (!v.isObject())
            return c.fail(QStringLiteral("a frame entry is not an object"));
        const QJsonObject o = v.toObject();
        IndexEntry e;
        e.number = c.integer(o, "frame", 0, kMaxInt);
        c.optionalNumber(o, "sinceFirstFrameS", 0, kMaxSeconds, &e.sinceFirstS);
        const QJsonValue file = o.value(QStringLiteral("file"));
        if (!file.isNull() && !file.isString())
            return c.fail(QStringLiteral("\"file\" is neither a name nor null"));
        e.file = file.toString();
        // A listed name never leads out of the folder.
        if (!plainName(e.file))
            return c.fail(QStringLiteral("\"%1\" is not a name inside the folder").arg(e.file));
        out.frames.append(e);
    }
    if (!c.ok())
        return false;
    *index = out;
    return true;
}

bool writeIndex(const QString &folder, const Index &index, QString *error)
{
    return SafeFile::write(indexPath(folder),
                           QJsonDocument(toJson(index)).toJson(QJsonDocument::Indented), error);
}

FrameMeta::ReadResult readIndex(const QString &folder, Index *index, QString *error)
{
    const QString path = indexPath(folder);
    if (!QFileInfo::exists(path))
        return FrameMeta::ReadResult::Missing;
    QJsonObject json;
    if (!SafeFile::readJsonObject(path, &json, error))
        return FrameMeta::ReadResult::Invalid;
    QString why;
    if (fromJson(json, index, &why))
        return FrameMeta::ReadResult::Ok;
    if (error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
    return FrameMeta::ReadResult::Invalid;
}

} // namespace Recording
