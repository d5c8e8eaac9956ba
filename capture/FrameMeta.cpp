// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/FrameMeta.h"

#include "capture/JsonFields.h"
#include "capture/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include <cmath>
#include <limits>

#ifndef KVVLX_VERSION
#define KVVLX_VERSION "unknown"
#endif

namespace FrameMeta {

namespace {

const char *averagingName(Averaging a)
{
    switch (a) {
    case Averaging::MeanOfTen:
        return "mean of 10";
    case Averaging::MinusMeanOfTen:
        return "minus mean of 10";
    case Averaging::None:
        break;
    }
    return "none";
}

// JSON has no infinity or NaN: a value that is not finite is written as null.
QJsonValue number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); }

// The ranges a sidecar's numbers must lie in before they are believed.
constexpr double kMaxGHz = 1000.0;
constexpr double kMaxRampMs = 1e6;
constexpr double kMaxSeconds = 1e9;
// A value line holds at least a digit and its line feed.
constexpr int kMaxSampleCount = int(SafeFile::kMaxFrameBytes / 2);
constexpr int kMaxNumberWidth = 32;

} // namespace

RadarMath::FrameAxes Meta::axes() const
{
    RadarMath::FrameAxes a;
    a.samplePeriodS = samplePeriodS;
    a.sweep = sweep;
    return a;
}

Meta live(const Kit &kit, Averaging averaging, const QDateTime &utc)
{
    Meta m;
    m.application = QStringLiteral("kvvlx");
    m.applicationVersion = applicationVersion();
    m.kitModel = kit.model;
    m.kitSerial = kit.serial;
    m.kitFirmware = kit.firmware;
    m.link = kit.link;
    m.sweepKnown = kit.sweepKnown;
    m.sweep = kit.axes.sweep;
    m.sweepType = kit.sweepType;
    m.rfPower = kit.rfPower;
    m.samplePeriodS = kit.axes.samplePeriodS;
    m.voltsDivisor = RadarMath::kCountDivisor; // both tabs convert as FrameCapture does
    m.averaging = averaging;
    m.capturedUtc = utc.isValid() ? utc : QDateTime::currentDateTimeUtc();
    return m;
}

QString applicationVersion() { return QStringLiteral(KVVLX_VERSION); }

QString timeStamp(const QDateTime &utc) { return utc.toUTC().toString(Qt::ISODateWithMs); }

QString sidecarPath(const QString &framePath) { return framePath + QStringLiteral(".json"); }

QString sweepTypeName(int type)
{
    switch (type) {
    case 0:
        return QStringLiteral("1 way sweep, Single");
    case 1:
        return QStringLiteral("2 way sweep, Single");
    case 2:
        return QStringLiteral("2 way sweep Continuous");
    case 3:
        return QStringLiteral("Continuous Wave");
    default:
        return QString();
    }
}

QJsonObject toJson(const Meta &m)
{
    QJsonObject settings;
    settings.insert(QStringLiteral("startGHz"),
                    m.sweepKnown ? number(m.sweep.startGHz) : QJsonValue());
    settings.insert(QStringLiteral("stopGHz"),
                    m.sweepKnown ? number(m.sweep.stopGHz) : QJsonValue());
    settings.insert(QStringLiteral("rampMs"), m.sweepKnown ? number(m.sweep.rampMs) : QJsonValue());
    settings.insert(QStringLiteral("sweepType"),
                    m.sweepType >= 0 ? QJsonValue(m.sweepType) : QJsonValue());
    settings.insert(QStringLiteral("sweepTypeName"),
                    m.sweepType >= 0 ? QJsonValue(sweepTypeName(m.sweepType)) : QJsonValue());
    settings.insert(QStringLiteral("rfPower"),
                    m.rfPower >= 0 ? QJsonValue(m.rfPower == 1) : QJsonValue());

    QJsonObject json{
        {QStringLiteral("format"), QLatin1String(kFormatName)},
        {QStringLiteral("formatVersion"), m.formatVersion},
        {QStringLiteral("application"),
         QJsonObject{{QStringLiteral("name"), m.application},
                     {QStringLiteral("version"), m.applicationVersion}}},
        {QStringLiteral("kit"), QJsonObject{{QStringLiteral("model"), m.kitModel},
                                            {QStringLiteral("serial"), m.kitSerial},
                                            {QStringLiteral("firmware"), m.kitFirmware}}},
        {QStringLiteral("link"), m.link},
        {QStringLiteral("settings"), settings},
        {QStringLiteral("samples"),
         QJsonObject{{QStringLiteral("count"), m.sampleCount},
                     {QStringLiteral("periodS"), number(m.samplePeriodS)},
                     {QStringLiteral("voltsDivisor"), m.voltsDivisor}}},
        {QStringLiteral("processing"),
         QJsonObject{{QStringLiteral("averaging"), QLatin1String(averagingName(m.averaging))},
                     {QStringLiteral("twoPulseCancellation"), m.twoPulseCancellation}}},
        {QStringLiteral("capturedUtc"), timeStamp(m.capturedUtc)},
        {QStringLiteral("dataFormat"), m.dataFormat},
    };
    if (m.inCollection)
        json.insert(QStringLiteral("collection"),
                    QJsonObject{{QStringLiteral("frame"), m.frameNumber},
                                {QStringLiteral("plannedIntervalS"), number(m.plannedIntervalS)},
                                {QStringLiteral("sinceFirstFrameS"), number(m.sinceFirstFrameS)},
                                {QStringLiteral("numberWidth"), m.numberWidth}});
    if (!m.markers.isEmpty())
        json.insert(QStringLiteral("markers"), m.markers);
    return json;
}

namespace {

void readSettings(JsonFields &c, const QJsonObject &settings, Meta &m)
{
    int known = 0;
    known += c.optionalNumber(settings, "startGHz", 0, kMaxGHz, &m.sweep.startGHz) ? 1 : 0;
    known += c.optionalNumber(settings, "stopGHz", 0, kMaxGHz, &m.sweep.stopGHz) ? 1 : 0;
    known += c.optionalNumber(settings, "rampMs", 0, kMaxRampMs, &m.sweep.rampMs) ? 1 : 0;
    m.sweepKnown = known == 3;
    c.optionalInteger(settings, "sweepType", 0, 3, &m.sweepType);
    const QJsonValue rf = settings.value(QStringLiteral("rfPower"));
    if (rf.isBool())
        m.rfPower = rf.toBool() ? 1 : 0;
    else if (!rf.isNull())
        c.fail(QStringLiteral("\"rfPower\" is neither true/false nor null"));
}

void readSamples(JsonFields &c, const QJsonObject &samples, const QJsonObject &processing, Meta &m)
{
    m.sampleCount = c.integer(samples, "count", 0, kMaxSampleCount);
    m.samplePeriodS = c.number(samples, "periodS", 0, kMaxSeconds);
    m.voltsDivisor = c.number(samples, "voltsDivisor", 0, 1e9);
    if (c.ok() && !(m.samplePeriodS > 0))
        c.fail(QStringLiteral("\"periodS\" must be above 0"));
    if (c.ok() && m.voltsDivisor != RadarMath::kCountDivisor &&
        m.voltsDivisor != RadarMath::kCollectionCountDivisor)
        c.fail(QStringLiteral("\"voltsDivisor\" is neither 65535 nor 65536"));

    const QString averaging = c.string(processing, "averaging");
    if (averaging == QLatin1String(averagingName(Averaging::MeanOfTen)))
        m.averaging = Averaging::MeanOfTen;
    else if (averaging == QLatin1String(averagingName(Averaging::MinusMeanOfTen)))
        m.averaging = Averaging::MinusMeanOfTen;
    else if (c.ok() && averaging != QLatin1String(averagingName(Averaging::None)))
        c.fail(QStringLiteral("unknown \"averaging\" %1").arg(averaging));
    m.twoPulseCancellation = c.boolean(processing, "twoPulseCancellation");
}

void readCollection(JsonFields &c, const QJsonObject &coll, Meta &m)
{
    m.inCollection = true;
    m.frameNumber = c.integer(coll, "frame", 0, std::numeric_limits<int>::max());
    c.optionalNumber(coll, "plannedIntervalS", 0, kMaxSeconds, &m.plannedIntervalS);
    c.optionalNumber(coll, "sinceFirstFrameS", 0, kMaxSeconds, &m.sinceFirstFrameS);
    m.numberWidth = c.integer(coll, "numberWidth", 0, kMaxNumberWidth);
}

} // namespace

bool fromJson(const QJsonObject &json, Meta *meta, QString *error)
{
    JsonFields c{error};
    Meta m;
    if (json.value(QStringLiteral("format")).toString() != QLatin1String(kFormatName))
        return c.fail(QStringLiteral("not a frame sidecar (\"format\" is not \"%1\")")
                          .arg(QLatin1String(kFormatName)));
    m.formatVersion = c.integer(json, "formatVersion", 1, std::numeric_limits<int>::max());
    if (c.ok() && m.formatVersion > kFormatVersion)
        return c.fail(QStringLiteral("format version %1 is newer than this program's %2")
                          .arg(m.formatVersion)
                          .arg(kFormatVersion));
    const QJsonObject app = c.object(json, "application");
    m.application = c.string(app, "name");
    m.applicationVersion = c.string(app, "version");
    const QJsonObject kit = c.object(json, "kit");
    m.kitModel = c.string(kit, "model");
    m.kitSerial = c.string(kit, "serial");
    m.kitFirmware = c.string(kit, "firmware");
    m.link = c.string(json, "link");
    if (c.ok() && m.link != QLatin1String("USB") && m.link != QLatin1String("Bluetooth"))
        return c.fail(QStringLiteral("\"link\" is neither USB nor Bluetooth"));

    readSettings(c, c.object(json, "settings"), m);
    readSamples(c, c.object(json, "samples"), c.object(json, "processing"), m);
    if (!c.ok())
        return false;

    m.capturedUtc = QDateTime::fromString(c.string(json, "capturedUtc"), Qt::ISODateWithMs);
    if (c.ok() && !m.capturedUtc.isValid())
        return c.fail(QStringLiteral("\"capturedUtc\" is not an ISO 8601 time"));
    m.capturedUtc = m.capturedUtc.toUTC();
    // Optional: sidecars without it describe a file of plain values.
    if (json.contains(QStringLiteral("dataFormat")))
        m.dataFormat = c.string(json, "dataFormat");
    if (c.ok() && m.dataFormat != QLatin1String("values") && m.dataFormat != QLatin1String("csv"))
        return c.fail(QStringLiteral("unknown \"dataFormat\" %1").arg(m.dataFormat));

    if (json.contains(QStringLiteral("collection")))
        readCollection(c, c.object(json, "collection"), m);
    // Optional and only informative: kept when it is a list, ignored otherwise.
    if (json.value(QStringLiteral("markers")).isArray())
        m.markers = json.value(QStringLiteral("markers")).toArray();
    if (!c.ok())
        return false;
    *meta = m;
    return true;
}

QByteArray sidecarBytes(const Meta &meta)
{
    return QJsonDocument(toJson(meta)).toJson(QJsonDocument::Indented);
}

bool write(const Meta &meta, const QString &framePath, QString *error)
{
    return SafeFile::write(sidecarPath(framePath), sidecarBytes(meta), error);
}

ReadResult read(const QString &framePath, Meta *meta, QString *error)
{
    const QString path = sidecarPath(framePath);
    if (!QFileInfo::exists(path))
        return ReadResult::Missing;
    QJsonObject json;
    if (!SafeFile::readJsonObject(path, &json, error))
        return ReadResult::Invalid;
    QString why;
    if (fromJson(json, meta, &why))
        return ReadResult::Ok;
    if (error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
    return ReadResult::Invalid;
}

QString describe(const Meta &m)
{
    const QString unknown = QStringLiteral("unknown");
    auto num = [](double v) { return QString::number(v, 'g', 6); };
    QStringList lines;
    auto add = [&](const char *field, const QString &value) {
        lines << QStringLiteral("%1: %2").arg(QLatin1String(field), value);
    };
    add("format version", QString::number(m.formatVersion));
    add("application", (m.application + QLatin1Char(' ') + m.applicationVersion).trimmed());
    add("kit",
        QStringLiteral("%1 serial %2 firmware %3").arg(m.kitModel, m.kitSerial, m.kitFirmware));
    add("link", m.link);
    add("start frequency (GHz)", m.sweepKnown ? num(m.sweep.startGHz) : unknown);
    add("stop frequency (GHz)", m.sweepKnown ? num(m.sweep.stopGHz) : unknown);
    add("ramp time (ms)", m.sweepKnown ? num(m.sweep.rampMs) : unknown);
    add("sweep type",
        m.sweepType >= 0
            ? QStringLiteral("%1 (%2)").arg(m.sweepType).arg(sweepTypeName(m.sweepType))
            : unknown);
    add("RF power", m.rfPower < 0    ? unknown
                    : m.rfPower == 1 ? QStringLiteral("on")
                                     : QStringLiteral("off"));
    add("samples", QString::number(m.sampleCount));
    add("sample period (s)", num(m.samplePeriodS));
    add("volts", QStringLiteral("count / %1 x 5 - 2.5").arg(m.voltsDivisor, 0, 'f', 0));
    add("averaging", QLatin1String(averagingName(m.averaging)));
    add("two-pulse cancellation",
        m.twoPulseCancellation ? QStringLiteral("yes") : QStringLiteral("no"));
    add("captured (UTC)", timeStamp(m.capturedUtc));
    add("data format", m.dataFormat);
    if (m.inCollection) {
        add("collection frame", QString::number(m.frameNumber));
        add("planned interval (s)", num(m.plannedIntervalS));
        add("since first frame (s)", num(m.sinceFirstFrameS));
        add("number width",
            m.numberWidth > 0 ? QString::number(m.numberWidth) : QStringLiteral("plain"));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace FrameMeta
