// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/Recording.h"

#include "capture/DataFile.h"
#include "capture/Sigmf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Recording {

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
         QJsonObject{{QStringLiteral("name"), QStringLiteral("kvvlx")},
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
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (json.value(QStringLiteral("format")).toString() != QLatin1String(kIndexFormatName))
        return fail(QStringLiteral("not a collection index"));
    Index out;
    out.formatVersion = json.value(QStringLiteral("formatVersion")).toInt(0);
    if (out.formatVersion < 1 || out.formatVersion > kIndexFormatVersion)
        return fail(QStringLiteral("unknown format version %1").arg(out.formatVersion));
    out.name = json.value(QStringLiteral("name")).toString();
    out.numberWidth = json.value(QStringLiteral("numberWidth")).toInt();
    out.planned = json.value(QStringLiteral("plannedCount")).toInt();
    out.plannedIntervalS = json.value(QStringLiteral("plannedIntervalS")).toDouble();
    out.startedUtc = QDateTime::fromString(json.value(QStringLiteral("startedUtc")).toString(),
                                           Qt::ISODateWithMs);
    out.complete = json.value(QStringLiteral("complete")).toBool();
    out.link = json.value(QStringLiteral("link")).toString();
    out.kitSerial = json.value(QStringLiteral("kitSerial")).toString();
    const QJsonValue frames = json.value(QStringLiteral("frames"));
    if (!frames.isArray())
        return fail(QStringLiteral("\"frames\" is missing"));
    for (const QJsonValue &v : frames.toArray()) {
        const QJsonObject o = v.toObject();
        IndexEntry e;
        e.number = o.value(QStringLiteral("frame")).toInt(-1);
        e.file = o.value(QStringLiteral("file")).toString();
        e.sinceFirstS = o.value(QStringLiteral("sinceFirstFrameS")).toDouble();
        // A listed name never leads out of the folder.
        if (e.number < 0 || e.file.contains(QLatin1Char('/')) ||
            e.file.contains(QLatin1Char('\\')) || e.file == QLatin1String("..") ||
            e.file == QLatin1String("."))
            return fail(QStringLiteral("a frame entry is malformed"));
        out.frames.append(e);
    }
    *index = out;
    return true;
}

bool writeIndex(const QString &folder, const Index &index, QString *error)
{
    return DataFile::writeBytes(QJsonDocument(toJson(index)).toJson(QJsonDocument::Indented),
                                indexPath(folder), error);
}

FrameMeta::ReadResult readIndex(const QString &folder, Index *index, QString *error)
{
    QFile file(indexPath(folder));
    if (!file.exists())
        return FrameMeta::ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return FrameMeta::ReadResult::Invalid;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.errorString();
        return FrameMeta::ReadResult::Invalid;
    }
    return fromJson(doc.object(), index, error) ? FrameMeta::ReadResult::Ok
                                                : FrameMeta::ReadResult::Invalid;
}

bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && a.at(ie).isDigit())
                ++ie;
            while (je < b.size() && b.at(je).isDigit())
                ++je;
            // Compare the runs as numbers without converting: strip leading zeros, then
            // the longer run is larger, then digit by digit.
            qsizetype is = i, js = j;
            while (is + 1 < ie && a.at(is) == QLatin1Char('0'))
                ++is;
            while (js + 1 < je && b.at(js) == QLatin1Char('0'))
                ++js;
            if (ie - is != je - js)
                return ie - is < je - js;
            const int c = QStringView(a).mid(is, ie - is).compare(QStringView(b).mid(js, je - js));
            if (c != 0)
                return c < 0;
            // Equal numbers: fewer leading zeros first, so the order is total.
            if (ie - i != je - j)
                return ie - i < je - j;
            i = ie;
            j = je;
            continue;
        }
        const int c = QString::compare(QString(a.at(i)), QString(b.at(j)), Qt::CaseInsensitive);
        if (c != 0)
            return c < 0;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

QStringList naturallySorted(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), naturalLess);
    return names;
}

QStringList framesOf(const QString &folder, QString *error)
{
    const QDir dir(folder);
    Index index;
    QString why;
    switch (readIndex(folder, &index, &why)) {
    case FrameMeta::ReadResult::Ok: {
        QStringList out;
        for (const QString &name : index.files())
            if (dir.exists(name))
                out << dir.filePath(name);
        return out;
    }
    case FrameMeta::ReadResult::Invalid:
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(kIndexName), why);
        break; // fall back on the names
    case FrameMeta::ReadResult::Missing:
        break;
    }
    static const QRegularExpression digit(QStringLiteral("\\d"));
    QStringList names;
    for (const QString &name : dir.entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".json")) || !name.contains(digit))
            continue;
        names << name;
    }
    QStringList out;
    for (const QString &name : naturallySorted(names))
        out << dir.filePath(name);
    return out;
}

Frame loadMeta(const QString &path)
{
    if (Sigmf::isFrameRef(path))
        return Sigmf::loadFrame(path, false);
    Frame f;
    f.path = path;
    QString why;
    const FrameMeta::ReadResult r = FrameMeta::read(path, &f.meta, &why);
    f.hasMeta = r == FrameMeta::ReadResult::Ok;
    if (r == FrameMeta::ReadResult::Invalid)
        f.metaError = why;
    return f;
}

Frame load(const QString &path)
{
    if (Sigmf::isFrameRef(path))
        return Sigmf::loadFrame(path);
    Frame f = loadMeta(path);
    f.readOk = DataFile::read(path, &f.samples);
    if (f.readOk && f.hasMeta && f.meta.dataFormat == QLatin1String("csv")) {
        QFile file(path);
        f.readOk = file.open(QIODevice::ReadOnly);
        f.samples = f.readOk ? DataFile::parseCsv(file.readAll()) : QVector<double>();
    }
    return f;
}

double paceSeconds(const Frame &from, const Frame &to, double fallbackS)
{
    double s = std::numeric_limits<double>::quiet_NaN();
    if (from.hasMeta && to.hasMeta) {
        if (from.meta.inCollection && to.meta.inCollection)
            s = to.meta.sinceFirstFrameS - from.meta.sinceFirstFrameS;
        else if (from.meta.capturedUtc.isValid() && to.meta.capturedUtc.isValid())
            s = from.meta.capturedUtc.msecsTo(to.meta.capturedUtc) / 1000.0;
    }
    // Out-of-order or absurd times replay at the fallback pace rather than stall.
    if (!std::isfinite(s) || s < 0 || s > 3600)
        s = fallbackS;
    return s;
}

Player::Player(QObject *parent) : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &Player::advance);
}

void Player::setFiles(const QStringList &files)
{
    pause();
    paths = files;
    metas.clear();
    for (const QString &p : files)
        metas.append(loadMeta(p));
    current = -1;
}

void Player::setPace(Pace pace)
{
    currentPace = pace;
    if (playing)
        scheduleNext();
}

void Player::play()
{
    if (paths.isEmpty())
        return;
    if (!playing) {
        playing = true;
        emit playingChanged(true);
    }
    if (current < 0 || current >= count() - 1)
        show(0); // from the start, also after the end was reached
    scheduleNext();
}

void Player::pause()
{
    timer.stop();
    if (playing) {
        playing = false;
        emit playingChanged(false);
    }
}

void Player::step()
{
    pause();
    if (current + 1 < count())
        show(current + 1);
}

void Player::seek(int index)
{
    if (index < 0 || index >= count() || index == current)
        return;
    show(index);
    if (playing)
        scheduleNext();
}

void Player::show(int index)
{
    current = index;
    emit frameReady(load(paths.at(index)), index);
}

void Player::scheduleNext()
{
    timer.stop();
    if (!playing)
        return;
    if (current + 1 >= count()) {
        pause();
        emit finished();
        return;
    }
    const double s = currentPace == Pace::AsFastAsPossible
                         ? 0.0
                         : paceSeconds(metas.at(current), metas.at(current + 1), fallbackS);
    timer.start(int(std::lround(s * 1000.0)));
}

void Player::advance()
{
    if (!playing || current + 1 >= count())
        return;
    show(current + 1);
    scheduleNext();
}

} // namespace Recording
