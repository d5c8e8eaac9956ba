// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/DataFile.h"

#include "capture/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

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

Parsed parseCounted(const QByteArray &text)
{
    Parsed out;
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
        bool ok = false;
        out.values.append(line.toDouble(&ok)); // 0.0 when the line is not a number
        out.notNumbers += ok ? 0 : 1;
        if (logLines)
            qCDebug(lcRadarFiles) << QString::fromLatin1(line);
        start = end + 1;
    }
    return out;
}

QVector<double> parse(const QByteArray &text) { return parseCounted(text).values; }

QByteArray formatFor(const QVector<double> &data, const FrameMeta::Meta &meta)
{
    return meta.dataFormat == QLatin1String("csv") ? formatCsv(data, meta.samplePeriodS)
                                                   : format(data);
}

bool save(const QVector<double> &data, const QString &path, const FrameMeta::Meta *meta,
          QString *error)
{
    QList<SafeFile::Entry> unit;
    if (meta) {
        FrameMeta::Meta m = *meta;
        m.sampleCount = int(data.size());
        unit.append({FrameMeta::sidecarPath(path), FrameMeta::sidecarBytes(m)});
        unit.append({path, formatFor(data, m)});
    } else {
        unit.append({path, format(data)});
    }
    if (SafeFile::writeUnit(unit, error))
        return true;
    qCDebug(lcRadarFiles, "error opening save file");
    return false;
}

bool write(const QVector<double> &data, const QString &path, QString *error)
{
    return save(data, path, nullptr, error);
}

bool writeBytes(const QByteArray &bytes, const QString &path, QString *error)
{
    return SafeFile::write(path, bytes, error);
}

bool read(const QString &path, QVector<double> *data, QString *error)
{
    data->clear();
    QByteArray bytes;
    if (!SafeFile::read(path, SafeFile::kMaxFrameBytes, &bytes, error)) {
        qCDebug(lcRadarFiles, "error opening load file");
        return false;
    }
    *data = parse(bytes);
    return true;
}

QString numberedName(const QString &name, int number, int width)
{
    const qsizetype at = qMax<qsizetype>(0, name.size() - 4);
    return name.left(at) + QStringLiteral("%1").arg(number, qMax(0, width), 10, QLatin1Char('0')) +
           name.mid(at);
}

Told saveTold(const QVector<double> &data, const QString &path, const FrameMeta::Meta *meta)
{
    const bool replacing = QFileInfo::exists(path);
    QString error;
    if (!save(data, path, meta, &error))
        return {false, QStringLiteral("Could not save %1").arg(error)};
    return {true, QStringLiteral("Saved %1 (%2 samples%3)")
                      .arg(QDir::toNativeSeparators(path))
                      .arg(data.size())
                      .arg(replacing ? QStringLiteral("; the file of that name was replaced")
                                     : QString())};
}

} // namespace DataFile
