// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/DataFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

// Same category as the tab's, so that one logging rule shows both.
Q_LOGGING_CATEGORY(lcRadarFiles, "kvvlx.radar", QtInfoMsg)

namespace DataFile {

QByteArray format(const QVector<double> &data)
{
    QByteArray out;
    out.reserve(data.size() * 12);
    for (double v : data) {
        out += QByteArray::number(v, 'g', 6);
        out += '\n';
    }
    return out;
}

QByteArray formatCsv(const QVector<double> &data, double samplePeriodS)
{
    QByteArray out("time_s,volts\n");
    out.reserve(out.size() + data.size() * 24);
    for (qsizetype k = 0; k < data.size(); ++k) {
        // Ten digits keep k x 4.505e-05 exact for every k of a frame.
        out += QByteArray::number(double(k) * samplePeriodS, 'g', 10);
        out += ',';
        out += QByteArray::number(data.at(k), 'g', 6);
        out += '\n';
    }
    return out;
}

QVector<double> parseCsv(const QByteArray &text)
{
    QVector<double> data;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // line 0 is the header
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype comma = line.indexOf(',');
        data.append(comma < 0 ? 0.0 : line.mid(comma + 1).toDouble());
    }
    return data;
}

QVector<double> parse(const QByteArray &text)
{
    QVector<double> data;
    const bool logLines = lcRadarFiles().isDebugEnabled();
    qsizetype start = 0;
    const qsizetype len = text.size();
    while (start < len) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = len;
        qsizetype stop = end;
        if (stop > start && text.at(stop - 1) == '\r')
            --stop;
        const QByteArray line = text.mid(start, stop - start);
        data.append(line.toDouble()); // 0.0 when the line is not a number
        if (logLines)
            qCDebug(lcRadarFiles) << QString::fromLatin1(line);
        start = end + 1;
    }
    return data;
}

bool write(const QVector<double> &data, const QString &path, QString *error)
{
    return writeBytes(format(data), path, error);
}

bool writeBytes(const QByteArray &bytes, const QString &path, QString *error)
{
    auto fail = [&](const QString &reason) {
        qCDebug(lcRadarFiles, "error opening save file");
        if (error)
            *error = reason;
        return false;
    };

    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be created")
                        .arg(QDir::toNativeSeparators(folder)));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool read(const QString &path, QVector<double> *data, QString *error)
{
    data->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcRadarFiles, "error opening load file");
        if (error)
            *error = file.errorString();
        return false;
    }
    *data = parse(file.readAll());
    return true;
}

QString numberedName(const QString &name, int number, int width)
{
    const qsizetype at = qMax<qsizetype>(0, name.size() - 4);
    return name.left(at) + QStringLiteral("%1").arg(number, qMax(0, width), 10, QLatin1Char('0')) +
           name.mid(at);
}

Saver::Saver(Notify notify) : notify(std::move(notify)) {}

void Saver::setNotify(Notify n) { notify = std::move(n); }

void Saver::beginRun() { failures = 0; }

bool Saver::save(const QVector<double> &data, const QString &path, const FrameMeta::Meta *meta)
{
    QString reason;
    if (write(data, path, &reason) && (!meta || FrameMeta::write(*meta, path, &reason)))
        return true;
    qCDebug(lcRadarFiles) << "cannot save" << path << reason;
    if (failures++ == 0 && notify)
        notify(QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(path), reason));
    return false;
}

} // namespace DataFile
