// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/Recording.h"

#include "capture/DataFile.h"
#include "capture/Sigmf.h"
#include "capture/SafeFile.h"

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
    QStringList names;
    const FrameMeta::ReadResult indexRead = readIndex(folder, &index, &why);
    if (indexRead == FrameMeta::ReadResult::Ok) {
        for (const QString &name : index.files())
            if (dir.exists(name))
                names << name;
    } else {
        if (indexRead == FrameMeta::ReadResult::Invalid && error)
            *error = why + QStringLiteral("; frames taken by their numbered names");
        static const QRegularExpression digit(QStringLiteral("\\d"));
        // System: a FIFO or a device under a frame's name is listed, so that loading it says why
        // it is refused rather than leaving it out unseen.
        for (const QString &name : dir.entryList(QDir::Files | QDir::System)) {
            if (name.endsWith(QLatin1String(".json")) || !name.contains(digit))
                continue;
            names << name;
        }
        names = naturallySorted(names);
    }
    QStringList out;
    QStringList outside;
    for (const QString &name : std::as_const(names)) {
        const QString path = dir.filePath(name);
        if (SafeFile::insideFolder(path, folder))
            out << path;
        else
            outside << name;
    }
    if (!outside.isEmpty() && error)
        *error = (error->isEmpty() ? QString() : *error + QStringLiteral("; ")) +
                 QStringLiteral("left out, leading out of the folder: %1")
                     .arg(outside.join(QStringLiteral(", ")));
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
    QByteArray bytes;
    f.readOk = SafeFile::read(path, SafeFile::kMaxFrameBytes, &bytes, &f.error);
    if (!f.readOk)
        return f;
    if (f.hasMeta && f.meta.dataFormat == QLatin1String("csv")) {
        f.samples = DataFile::parseCsv(bytes);
        f.readOk = !f.samples.isEmpty();
    } else {
        const DataFile::Parsed parsed = DataFile::parseCounted(bytes);
        f.samples = parsed.values;
        f.notNumbers = parsed.notNumbers;
        f.readOk = parsed.notNumbers < parsed.values.size();
    }
    if (!f.readOk) {
        f.samples.clear();
        f.error = QStringLiteral("%1: no line of it is a number: not a frame file")
                      .arg(QDir::toNativeSeparators(path));
    }
    return f;
}

QString loadNote(const Frame &f)
{
    if (!f.readOk)
        return QStringLiteral("Not loaded: %1").arg(f.error);
    QStringList notes;
    if (!f.metaError.isEmpty())
        notes << QStringLiteral("invalid metadata: %1; its samples are shown on the kit's "
                                "settings")
                     .arg(f.metaError);
    if (f.notNumbers > 0)
        notes << QStringLiteral("%1 of %2 lines were not numbers and read as 0")
                     .arg(f.notNumbers)
                     .arg(f.samples.size());
    if (notes.isEmpty())
        return QString();
    return QStringLiteral("Loaded %1: %2")
        .arg(QDir::toNativeSeparators(f.path), notes.join(QStringLiteral("; ")));
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
