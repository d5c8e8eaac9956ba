// SPDX-License-Identifier: GPL-3.0-or-later
// Reading SigMF recordings: ours in full, others when they hold one channel of real samples.
#include "capture/Sigmf.h"

#include "capture/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QRegularExpression>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace Sigmf {

namespace {

QString ext(const char *key)
{
    return QLatin1String(kExtensionName) + QLatin1Char(':') + QLatin1String(key);
}

struct SampleType
{
    char kind = 'f'; // f float, i signed, u unsigned
    int bytes = 4;
    bool bigEndian = false;
};

// "rf32_le", "ri16_be", "ru8", ...; false with the reason for a type we cannot show.
bool parseType(const QString &datatype, SampleType *t, QString *why)
{
    static const QRegularExpression re(
        QStringLiteral("^(c|r)(f32|f64|i32|i16|u32|u16|i8|u8)(_le|_be)?$"));
    const QRegularExpressionMatch m = re.match(datatype);
    if (!m.hasMatch()) {
        *why = QStringLiteral("unknown sample type \"%1\"").arg(datatype);
        return false;
    }
    if (m.captured(1) == QLatin1String("c")) {
        *why = QStringLiteral("complex samples (%1): this program shows one real channel")
                   .arg(datatype);
        return false;
    }
    const QString body = m.captured(2);
    t->kind = body.at(0).toLatin1();
    t->bytes = body.mid(1).toInt() / 8;
    t->bigEndian = m.captured(3) == QLatin1String("_be");
    return true;
}

template <typename T> double take(const char *p, bool big)
{
    return double(big ? qFromBigEndian<T>(p) : qFromLittleEndian<T>(p));
}

double sampleAt(const char *p, const SampleType &t)
{
    switch (t.kind) {
    case 'f':
        return t.bytes == 4 ? take<float>(p, t.bigEndian) : take<double>(p, t.bigEndian);
    case 'i':
        switch (t.bytes) {
        case 1:
            return double(qint8(*p));
        case 2:
            return take<qint16>(p, t.bigEndian);
        default:
            return take<qint32>(p, t.bigEndian);
        }
    default:
        switch (t.bytes) {
        case 1:
            return double(quint8(*p));
        case 2:
            return take<quint16>(p, t.bigEndian);
        default:
            return take<quint32>(p, t.bigEndian);
        }
    }
}

// A long collection's capture segments and annotations outgrow a frame's sidecar.
constexpr qint64 kMaxMetaBytes = 16 * 1024 * 1024;

// The reason alone: callers name the file themselves.
QString reasonOnly(const QString &error, const QString &path)
{
    const QString prefix = path + QStringLiteral(": ");
    return error.startsWith(prefix) ? error.mid(prefix.size()) : error;
}

// What our extension says, over the defaults of a foreign recording.
void readExtension(const QJsonObject &g, FrameMeta::Meta &m)
{
    auto str = [&](const char *k) { return g.value(ext(k)).toString(); };
    m.link = str("link");
    m.kitModel = str("kit_model");
    m.kitSerial = str("kit_serial");
    m.kitFirmware = str("kit_firmware");
    const QJsonValue start = g.value(ext("start_frequency_hz"));
    const QJsonValue stop = g.value(ext("stop_frequency_hz"));
    const QJsonValue ramp = g.value(ext("ramp_time_s"));
    m.sweepKnown = start.isDouble() && stop.isDouble() && ramp.isDouble();
    if (m.sweepKnown) {
        m.sweep.startGHz = start.toDouble() / 1e9;
        m.sweep.stopGHz = stop.toDouble() / 1e9;
        m.sweep.rampMs = ramp.toDouble() * 1e3;
    }
    const int type = g.value(ext("sweep_type")).toInt(-1);
    m.sweepType = type >= 0 && type <= 3 ? type : -1;
    const QJsonValue rf = g.value(ext("rf_power"));
    m.rfPower = rf.isBool() ? (rf.toBool() ? 1 : 0) : -1;
    const double divisor = g.value(ext("volts_divisor")).toDouble();
    if (divisor == RadarMath::kCountDivisor || divisor == RadarMath::kCollectionCountDivisor)
        m.voltsDivisor = divisor;
    const QString averaging = str("averaging");
    m.averaging = averaging == QLatin1String("mean of 10") ? FrameMeta::Averaging::MeanOfTen
                  : averaging == QLatin1String("minus mean of 10")
                      ? FrameMeta::Averaging::MinusMeanOfTen
                      : FrameMeta::Averaging::None;
    m.twoPulseCancellation = g.value(ext("two_pulse_cancellation")).toBool();
    if (g.contains(ext("planned_interval_s"))) {
        m.inCollection = true;
        m.plannedIntervalS = g.value(ext("planned_interval_s")).toDouble();
    }
}

// What of the global object this program cannot show; empty when it can. Fills datatype and type.
QString checkShape(const QJsonObject &json, Dataset &out, SampleType *type)
{
    const QJsonObject g = json.value(QStringLiteral("global")).toObject();
    out.datatype = g.value(QStringLiteral("core:datatype")).toString();
    QString why;
    if (!parseType(out.datatype, type, &why))
        return why;
    const int channels = g.value(QStringLiteral("core:num_channels")).toInt(1);
    if (channels != 1)
        return QStringLiteral("%1 channels interleaved: this program shows one").arg(channels);
    if (g.value(QStringLiteral("core:metadata_only")).toBool())
        return QStringLiteral("metadata only: the recording holds no samples");
    for (const QJsonValue &c : json.value(QStringLiteral("captures")).toArray())
        if (c.toObject().value(QStringLiteral("core:header_bytes")).toInteger() != 0)
            return QStringLiteral("non-conforming dataset (headers between the samples)");
    return QString();
}

// Who recorded it, with what, at what rate, and (in our recordings) the kit and sweep.
void readDescription(const QJsonObject &g, Dataset &out)
{
    out.recorder = g.value(QStringLiteral("core:recorder")).toString();
    out.hw = g.value(QStringLiteral("core:hw")).toString();
    out.description = g.value(QStringLiteral("core:description")).toString();
    out.ours = false;
    for (const QJsonValue &e : g.value(QStringLiteral("core:extensions")).toArray())
        out.ours = out.ours || e.toObject().value(QStringLiteral("name")).toString() ==
                                   QLatin1String(kExtensionName);
    FrameMeta::Meta &m = out.meta;
    m.application = out.recorder.section(QLatin1Char(' '), 0, 0);
    m.applicationVersion = out.recorder.section(QLatin1Char(' '), 1);
    const QJsonValue rate = g.value(QStringLiteral("core:sample_rate"));
    out.sampleRateKnown = rate.isDouble() && rate.toDouble() > 0 && std::isfinite(rate.toDouble());
    if (out.sampleRateKnown)
        m.samplePeriodS = 1.0 / rate.toDouble();
    if (out.ours)
        readExtension(g, m);
}

// The samples: a dataset named in the metadata (beside it), else BASE.sigmf-data. The reason
// they cannot be read, empty when they were.
QString readSamples(const QString &path, const QJsonObject &g, const SampleType &type, Dataset &out)
{
    const QString named = g.value(QStringLiteral("core:dataset")).toString();
    const QString data =
        named.isEmpty() ? dataPath(path)
                        : QFileInfo(metaPath(path)).dir().filePath(QFileInfo(named).fileName());
    if (!SafeFile::insideFolder(data, QFileInfo(metaPath(path)).absolutePath()))
        return QStringLiteral("%1 leads out of the recording's folder").arg(QFileInfo(data).fileName());
    QByteArray bytes;
    QString readError;
    if (!SafeFile::read(data, SafeFile::kMaxFrameBytes, &bytes, &readError))
        return QStringLiteral("%1: %2").arg(QFileInfo(data).fileName(), reasonOnly(readError, data));
    const qint64 trailing = g.value(QStringLiteral("core:trailing_bytes")).toInteger();
    if (trailing > 0)
        bytes.chop(qMin<qint64>(trailing, bytes.size()));
    if (bytes.isEmpty())
        return QStringLiteral("the data file holds no samples");
    if (bytes.size() % type.bytes != 0)
        return QStringLiteral("the data file is not a whole number of %1 samples")
            .arg(out.datatype);
    const qsizetype n = bytes.size() / type.bytes;
    out.samples.resize(n);
    for (qsizetype i = 0; i < n; ++i)
        out.samples[i] = sampleAt(bytes.constData() + i * type.bytes, type);
    return QString();
}

// The capture segments, in order and inside the samples; the reason when they are not.
QString readCaptures(const QJsonArray &captures, Dataset &out)
{
    const qsizetype n = out.samples.size();
    for (const QJsonValue &v : captures) {
        const QJsonObject c = v.toObject();
        Segment s;
        s.sampleStart = c.value(QStringLiteral("core:sample_start")).toInteger(-1);
        if (s.sampleStart < 0 || s.sampleStart >= n ||
            (!out.captures.isEmpty() && s.sampleStart <= out.captures.last().sampleStart))
            return QStringLiteral("capture segments out of order or beyond the samples");
        s.globalIndex = c.value(QStringLiteral("core:global_index")).toInteger(s.sampleStart);
        s.datetime = QDateTime::fromString(c.value(QStringLiteral("core:datetime")).toString(),
                                           Qt::ISODateWithMs);
        s.frame = c.value(ext("frame")).toInt(-1);
        s.sinceFirstFrameS = c.value(ext("since_first_frame_s")).toDouble();
        out.captures.append(s);
    }
    if (out.captures.isEmpty())
        out.captures.append(Segment()); // no segments: one from the first sample
    return QString();
}

// Our gaps and peak annotations.
void readOurAnnotations(const QJsonObject &json, const QJsonObject &g, Dataset &out)
{
    for (const QJsonValue &gap : g.value(ext("gaps")).toArray())
        out.gaps.append(gap.toInt());
    for (const QJsonValue &v : json.value(QStringLiteral("annotations")).toArray()) {
        const QJsonObject o = v.toObject();
        Annotation a;
        a.sampleStart = o.value(QStringLiteral("core:sample_start")).toInteger();
        a.sampleCount = o.value(QStringLiteral("core:sample_count")).toInteger();
        if (o.value(ext("marker")).isObject()) {
            a.marker = o.value(ext("marker")).toObject();
            out.annotations.append(a);
            continue;
        }
        a.beatHz = o.value(ext("beat_frequency_hz")).toDouble();
        a.rangeM = o.value(ext("range_m")).toDouble(std::nan(""));
        a.levelDb = o.value(ext("level_db")).toDouble();
        out.annotations.append(a);
    }
}

} // namespace

bool read(const QString &path, Dataset *ds, QString *error)
{
    QString why;
    QJsonObject json;
    Dataset out;
    SampleType type;
    // Regular files only, bounded in size and nesting, as every reader of recordings.
    if (!SafeFile::readJsonObject(metaPath(path), &json, &why, kMaxMetaBytes))
        why = QStringLiteral("%1: %2").arg(QFileInfo(metaPath(path)).fileName(),
                                           reasonOnly(why, metaPath(path)));
    else
        why = checkShape(json, out, &type);
    const QJsonObject g = json.value(QStringLiteral("global")).toObject();
    if (why.isEmpty()) {
        readDescription(g, out);
        why = readSamples(path, g, type, out);
    }
    if (why.isEmpty())
        why = readCaptures(json.value(QStringLiteral("captures")).toArray(), out);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    out.meta.sampleCount = int(out.frame(0).size());
    out.meta.capturedUtc = out.captures.first().datetime;
    if (out.ours)
        readOurAnnotations(json, g, out);
    *ds = out;
    return true;
}

Recording::Frame loadFrame(const QString &ref, bool withSamples)
{
    Recording::Frame f;
    f.path = ref;
    const qsizetype hash = ref.lastIndexOf(QLatin1Char('#'));
    bool ok = false;
    const int k = ref.mid(hash + 1).toInt(&ok);
    // A replay opens every frame of one recording in turn: read its files once, not per frame.
    static QMutex cacheMutex;
    static QString cachedPath;
    static QString cachedStamp;
    static Dataset cached;
    const QString meta = ref.left(hash);
    const QFileInfo metaInfo(meta), dataInfo(dataPath(meta));
    const QString stamp = QStringLiteral("%1 %2 %3 %4")
                              .arg(metaInfo.lastModified().toMSecsSinceEpoch())
                              .arg(metaInfo.size())
                              .arg(dataInfo.lastModified().toMSecsSinceEpoch())
                              .arg(dataInfo.size());
    Dataset ds;
    QString why;
    bool readOk = true;
    {
        QMutexLocker lock(&cacheMutex);
        if (ok && (meta != cachedPath || stamp != cachedStamp)) {
            cachedPath.clear();
            readOk = read(meta, &cached, &why);
            if (readOk) {
                cachedPath = meta;
                cachedStamp = stamp;
            }
        }
        if (ok && readOk)
            ds = cached;
    }
    if (!ok || !readOk || k < 0 || k >= ds.frameCount()) {
        f.metaError = why.isEmpty() ? QStringLiteral("no frame %1").arg(ref.mid(hash + 1)) : why;
        return f;
    }
    const Segment &s = ds.captures.at(k);
    f.samples = withSamples ? ds.frame(k) : QVector<double>();
    f.readOk = true;
    // A foreign recording without a sample rate is shown on the kit's axes.
    f.hasMeta = ds.sampleRateKnown;
    f.meta = ds.meta;
    f.meta.sampleCount = int(ds.frame(k).size());
    f.meta.capturedUtc =
        s.datetime.isValid() ? s.datetime.toUTC() : metaInfo.lastModified().toUTC();
    if (s.frame >= 0) {
        f.meta.inCollection = true;
        f.meta.frameNumber = s.frame;
        f.meta.sinceFirstFrameS = s.sinceFirstFrameS;
    }
    return f;
}

} // namespace Sigmf
