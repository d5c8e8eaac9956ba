// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/Sigmf.h"

#include "capture/SafeFile.h"

#include "capture/BeatPeaks.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace Sigmf {

namespace {

QJsonValue number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); }

QString ext(const char *key)
{
    return QLatin1String(kExtensionName) + QLatin1Char(':') + QLatin1String(key);
}

QString hwText(const FrameMeta::Meta &m)
{
    QStringList parts;
    if (!m.kitModel.isEmpty())
        parts << m.kitModel;
    if (!m.kitSerial.isEmpty())
        parts << QStringLiteral("serial %1").arg(m.kitSerial);
    if (!m.kitFirmware.isEmpty())
        parts << QStringLiteral("firmware %1").arg(m.kitFirmware);
    if (parts.isEmpty())
        parts << QStringLiteral("KV7310 FMCW radar kit (identity not reported over %1)")
                     .arg(m.link.isEmpty() ? QStringLiteral("this link") : m.link);
    return parts.join(QLatin1Char(' '));
}

QString descriptionText(const Dataset &ds)
{
    const FrameMeta::Meta &m = ds.meta;
    QString text = QStringLiteral("FMCW radar beat signal in volts, %1 frame(s) of %2 samples")
                       .arg(ds.frameCount())
                       .arg(m.sampleCount);
    if (m.sweepKnown)
        text += QStringLiteral(", sweep %1 to %2 GHz in %3 ms")
                    .arg(m.sweep.startGHz, 0, 'g', 6)
                    .arg(m.sweep.stopGHz, 0, 'g', 6)
                    .arg(m.sweep.rampMs, 0, 'g', 6);
    if (!ds.gaps.isEmpty())
        text += QStringLiteral(", %1 frame(s) missing").arg(ds.gaps.size());
    return text;
}

} // namespace

QVector<double> Dataset::frame(int k) const
{
    if (k < 0 || k >= captures.size())
        return {};
    const qint64 start = captures.at(k).sampleStart;
    const qint64 end = k + 1 < captures.size() ? captures.at(k + 1).sampleStart : samples.size();
    if (start < 0 || end > samples.size() || end < start)
        return {};
    return samples.mid(start, end - start);
}

QString basePath(const QString &path)
{
    for (const char *suffix : {kMetaSuffix, kDataSuffix, ".sigmf"})
        if (path.endsWith(QLatin1String(suffix)))
            return path.left(path.size() - qsizetype(qstrlen(suffix)));
    return path;
}

QString metaPath(const QString &path) { return basePath(path) + QLatin1String(kMetaSuffix); }

QString dataPath(const QString &path) { return basePath(path) + QLatin1String(kDataSuffix); }

bool isSigmf(const QString &path)
{
    return path.endsWith(QLatin1String(kMetaSuffix)) || path.endsWith(QLatin1String(kDataSuffix));
}

void addFrame(Dataset &ds, const QVector<double> &frame, const FrameMeta::Meta &meta)
{
    if (ds.captures.isEmpty())
        ds.meta = meta;
    ds.meta.sampleCount = int(frame.size());
    Segment s;
    s.sampleStart = ds.samples.size();
    s.globalIndex = meta.inCollection ? qint64(meta.frameNumber) * frame.size() : s.sampleStart;
    s.datetime = meta.capturedUtc;
    s.frame = meta.inCollection ? meta.frameNumber : -1;
    s.sinceFirstFrameS = meta.sinceFirstFrameS;
    ds.captures.append(s);
    const RadarMath::FrameAxes axes = meta.axes();
    // Half a bin of the unpadded frame each side: the band a peak can be told apart in.
    const double halfWidth = frame.isEmpty() ? 0.0 : 0.5 * axes.sampleRateHz() / frame.size();
    for (const BeatPeaks::Peak &p : BeatPeaks::find(frame, axes)) {
        Annotation a;
        a.sampleStart = s.sampleStart;
        a.sampleCount = frame.size();
        a.beatHz = p.beatHz;
        a.halfWidthHz = halfWidth;
        a.rangeM = meta.sweepKnown ? p.rangeM : std::nan("");
        a.levelDb = p.levelDb;
        ds.annotations.append(a);
    }
    for (const QJsonValue &marker : meta.markers) {
        Annotation a;
        a.sampleStart = s.sampleStart;
        a.sampleCount = frame.size();
        a.marker = marker.toObject();
        ds.annotations.append(a);
    }
    ds.samples += frame;
}

void addGap(Dataset &ds, int frameNumber) { ds.gaps.append(frameNumber); }

namespace {

QJsonArray capturesJson(const Dataset &ds)
{
    QJsonArray captures;
    for (const Segment &s : ds.captures) {
        QJsonObject c{{QStringLiteral("core:sample_start"), s.sampleStart},
                      {QStringLiteral("core:global_index"), s.globalIndex}};
        if (s.datetime.isValid())
            c.insert(QStringLiteral("core:datetime"), FrameMeta::timeStamp(s.datetime));
        if (s.frame >= 0) {
            c.insert(ext("frame"), s.frame);
            c.insert(ext("since_first_frame_s"), number(s.sinceFirstFrameS));
        }
        captures.append(c);
    }
    return captures;
}

// A marker stays what the user set: its plot, its axes' labels and the trace's value there.
QJsonObject markerJson(const Annotation &a)
{
    const QJsonObject &m = a.marker;
    auto text = [&](const char *key) { return m.value(QLatin1String(key)).toVariant().toString(); };
    return QJsonObject{
        {QStringLiteral("core:sample_start"), a.sampleStart},
        {QStringLiteral("core:sample_count"), a.sampleCount},
        {QStringLiteral("core:label"), QStringLiteral("marker M") + text("marker")},
        {QStringLiteral("core:generator"), QStringLiteral("kvvlx")},
        {QStringLiteral("core:comment"), QStringLiteral("%1 %2, %3 %4 on %5")
                                             .arg(text("xLabel"), text("x"), text("yLabel"),
                                                  text("y"), text("plot"))},
        {ext("marker"), m}};
}

// Each peak as an annotation of its frame's segment, with a line a person can read; each marker
// as one of its own.
QJsonArray annotationsJson(const Dataset &ds)
{
    QJsonArray annotations;
    for (const Annotation &a : ds.annotations) {
        if (!a.marker.isEmpty()) {
            annotations.append(markerJson(a));
            continue;
        }
        QJsonObject o{{QStringLiteral("core:sample_start"), a.sampleStart},
                      {QStringLiteral("core:sample_count"), a.sampleCount},
                      {QStringLiteral("core:freq_lower_edge"), number(a.beatHz - a.halfWidthHz)},
                      {QStringLiteral("core:freq_upper_edge"), number(a.beatHz + a.halfWidthHz)},
                      {QStringLiteral("core:label"), QStringLiteral("peak")},
                      {QStringLiteral("core:generator"), QStringLiteral("kvvlx")},
                      {ext("beat_frequency_hz"), number(a.beatHz)},
                      {ext("level_db"), number(a.levelDb)}};
        QString comment =
            QStringLiteral("beat %1 Hz, %2 dB").arg(a.beatHz, 0, 'f', 1).arg(a.levelDb, 0, 'f', 1);
        if (std::isfinite(a.rangeM)) {
            o.insert(ext("range_m"), a.rangeM);
            comment += QStringLiteral(", range %1 m").arg(a.rangeM, 0, 'f', 3);
        }
        o.insert(QStringLiteral("core:comment"), comment);
        annotations.append(o);
    }
    return annotations;
}

} // namespace

QJsonObject toJson(const Dataset &ds)
{
    const FrameMeta::Meta &m = ds.meta;
    QJsonObject global{
        {QStringLiteral("core:datatype"), QStringLiteral("rf32_le")},
        {QStringLiteral("core:version"), QLatin1String(kSpecVersion)},
        {QStringLiteral("core:sample_rate"), number(1.0 / m.samplePeriodS)},
        {QStringLiteral("core:num_channels"), 1},
        {QStringLiteral("core:recorder"),
         (m.application + QLatin1Char(' ') + m.applicationVersion).trimmed()},
        {QStringLiteral("core:hw"), hwText(m)},
        {QStringLiteral("core:description"), descriptionText(ds)},
        {QStringLiteral("core:extensions"),
         QJsonArray{QJsonObject{{QStringLiteral("name"), QLatin1String(kExtensionName)},
                                {QStringLiteral("version"), QLatin1String(kExtensionVersion)},
                                {QStringLiteral("optional"), true}}}},
        {ext("link"), m.link},
        {ext("kit_model"), m.kitModel},
        {ext("kit_serial"), m.kitSerial},
        {ext("kit_firmware"), m.kitFirmware},
        {ext("samples_per_frame"), m.sampleCount},
        {ext("sample_period_s"), number(m.samplePeriodS)},
        {ext("volts_divisor"), m.voltsDivisor},
        {ext("averaging"), FrameMeta::toJson(m)
                               .value(QStringLiteral("processing"))
                               .toObject()
                               .value(QStringLiteral("averaging"))},
        {ext("two_pulse_cancellation"), m.twoPulseCancellation},
    };
    // Unknown settings are left out rather than guessed.
    if (m.sweepKnown) {
        global.insert(ext("start_frequency_hz"), number(m.sweep.startGHz * 1e9));
        global.insert(ext("stop_frequency_hz"), number(m.sweep.stopGHz * 1e9));
        global.insert(ext("ramp_time_s"), number(m.sweep.rampMs * 1e-3));
    }
    if (m.sweepType >= 0) {
        global.insert(ext("sweep_type"), m.sweepType);
        global.insert(ext("sweep_type_name"), FrameMeta::sweepTypeName(m.sweepType));
    }
    if (m.rfPower >= 0)
        global.insert(ext("rf_power"), m.rfPower == 1);
    if (m.inCollection) {
        global.insert(ext("planned_interval_s"), number(m.plannedIntervalS));
        QJsonArray gaps;
        for (int g : ds.gaps)
            gaps.append(g);
        global.insert(ext("gaps"), gaps);
    }

    return QJsonObject{{QStringLiteral("global"), global},
                       {QStringLiteral("captures"), capturesJson(ds)},
                       {QStringLiteral("annotations"), annotationsJson(ds)}};
}

QByteArray dataBytes(const QVector<double> &samples)
{
    QByteArray out(samples.size() * qsizetype(sizeof(float)), Qt::Uninitialized);
    char *p = out.data();
    for (double v : samples) {
        qToLittleEndian(float(v), p);
        p += sizeof(float);
    }
    return out;
}

bool write(const Dataset &ds, const QString &base, QString *error)
{
    // One unit, the data renamed into place first, so that a metadata file never describes
    // samples that are not there.
    return SafeFile::writeUnit(
        {{dataPath(base), dataBytes(ds.samples)},
         {metaPath(base), QJsonDocument(toJson(ds)).toJson(QJsonDocument::Indented)}},
        error);
}

bool writeFrame(const QVector<double> &frame, const FrameMeta::Meta &meta, const QString &base,
                QString *error)
{
    Dataset ds;
    addFrame(ds, frame, meta);
    return write(ds, base, error);
}

bool fromRecording(const QString &source, Dataset *ds, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    Dataset out;
    auto take = [&](const QString &path, int number, bool inCollection) {
        const Recording::Frame f = Recording::load(path);
        if (!f.readOk)
            return fail(QStringLiteral("%1 cannot be read").arg(path));
        if (!out.captures.isEmpty() && f.samples.size() != out.meta.sampleCount)
            return fail(QStringLiteral("%1 holds %2 samples, the first frame %3")
                            .arg(path)
                            .arg(f.samples.size())
                            .arg(out.meta.sampleCount));
        FrameMeta::Meta meta = f.hasMeta ? f.meta : FrameMeta::Meta();
        if (!f.hasMeta) {
            meta.application = QStringLiteral("kvvlx");
            meta.applicationVersion = FrameMeta::applicationVersion();
            meta.capturedUtc = QFileInfo(path).lastModified().toUTC();
        }
        if (inCollection && !meta.inCollection) {
            meta.inCollection = true;
            meta.frameNumber = number;
        }
        addFrame(out, f.samples, meta);
        return true;
    };

    const QFileInfo info(source);
    if (info.isFile()) {
        if (!take(source, 0, false))
            return false;
    } else if (info.isDir()) {
        Recording::Index index;
        if (Recording::readIndex(source, &index) == FrameMeta::ReadResult::Ok) {
            const QDir dir(source);
            for (const Recording::IndexEntry &e : std::as_const(index.frames)) {
                if (e.file.isEmpty() || !dir.exists(e.file))
                    addGap(out, e.number);
                else if (!take(dir.filePath(e.file), e.number, true))
                    return false;
            }
        } else {
            int number = 0;
            for (const QString &path : Recording::framesOf(source))
                if (!take(path, number++, true))
                    return false;
        }
    } else {
        return fail(QStringLiteral("no file or folder %1").arg(source));
    }
    if (out.captures.isEmpty())
        return fail(QStringLiteral("no frames in %1").arg(source));
    *ds = out;
    return true;
}

QStringList expandFrames(const QStringList &paths, QString *error)
{
    QStringList out;
    for (const QString &path : paths) {
        if (!isSigmf(path)) {
            out << path;
            continue;
        }
        // Both files of one recording picked: open it once.
        const QString meta = metaPath(path);
        if (out.contains(meta + QStringLiteral("#0")))
            continue;
        Dataset ds;
        QString why;
        if (!read(path, &ds, &why)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(meta), why);
            continue;
        }
        for (int k = 0; k < ds.frameCount(); ++k)
            out << QStringLiteral("%1#%2").arg(meta).arg(k);
    }
    return out;
}

bool isFrameRef(const QString &path)
{
    const qsizetype hash = path.lastIndexOf(QLatin1Char('#'));
    return hash > 0 && path.left(hash).endsWith(QLatin1String(kMetaSuffix));
}

QString describe(const Dataset &ds)
{
    const FrameMeta::Meta &m = ds.meta;
    QStringList lines;
    auto add = [&](const char *field, const QString &value) {
        lines << QStringLiteral("%1: %2").arg(QLatin1String(field), value);
    };
    add("format", QStringLiteral("SigMF, %1 samples").arg(ds.datatype));
    add("recorder", ds.recorder.isEmpty() ? QStringLiteral("not given") : ds.recorder);
    add("hardware", ds.hw.isEmpty() ? QStringLiteral("not given") : ds.hw);
    if (!ds.description.isEmpty())
        add("description", ds.description);
    add("sample rate (Hz)", ds.sampleRateKnown ? QString::number(1.0 / m.samplePeriodS, 'g', 10)
                                               : QStringLiteral("not given"));
    add("frames", QString::number(ds.frameCount()));
    add("samples", QString::number(ds.samples.size()));
    if (ds.ours) {
        add("gaps", ds.gaps.isEmpty() ? QStringLiteral("none") : QString::number(ds.gaps.size()));
        const auto markers = std::count_if(ds.annotations.begin(), ds.annotations.end(),
                                           [](const Annotation &a) { return !a.marker.isEmpty(); });
        add("peaks annotated", QString::number(ds.annotations.size() - markers));
        if (markers > 0)
            add("markers", QString::number(markers));
        // The sidecar's fields for the rest.
        FrameMeta::Meta first = m;
        if (!ds.captures.isEmpty())
            first.capturedUtc = ds.captures.first().datetime;
        for (const QString &line : FrameMeta::describe(first).trimmed().split(QLatin1Char('\n')))
            if (!line.startsWith(QLatin1String("format version")) &&
                !line.startsWith(QLatin1String("data format")))
                lines << line;
    } else {
        add("values", ds.datatype.startsWith(QLatin1String("rf"))
                          ? QStringLiteral("as stored (not known to be volts)")
                          : QStringLiteral("integers as stored (not known to be volts)"));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace Sigmf
