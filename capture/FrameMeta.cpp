// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/FrameMeta.h"

#include "capture/DataFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include <cmath>

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

// Field checks that say which field is wrong.
struct Checker
{
    QString *error;
    bool ok = true;

    bool fail(const QString &what)
    {
        if (ok && error)
            *error = what;
        ok = false;
        return false;
    }
    QJsonObject object(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isObject())
            fail(QStringLiteral("\"%1\" is missing or not an object").arg(QLatin1String(key)));
        return v.toObject();
    }
    QString string(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString())
            fail(QStringLiteral("\"%1\" is missing or not a text").arg(QLatin1String(key)));
        return v.toString();
    }
    double num(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble())
            fail(QStringLiteral("\"%1\" is missing or not a number").arg(QLatin1String(key)));
        return v.toDouble();
    }
    // A number that may be null (unknown); present either way.
    bool optionalNum(const QJsonObject &o, const char *key, double *out)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isNull())
            return false;
        if (!v.isDouble())
            return fail(
                QStringLiteral("\"%1\" is neither a number nor null").arg(QLatin1String(key)));
        *out = v.toDouble();
        return true;
    }
    bool boolean(const QJsonObject &o, const char *key)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isBool())
            fail(QStringLiteral("\"%1\" is missing or not true/false").arg(QLatin1String(key)));
        return v.toBool();
    }
};

} // namespace

RadarMath::FrameAxes Meta::axes() const
{
    RadarMath::FrameAxes a;
    a.samplePeriodS = samplePeriodS;
    a.sweep = sweep;
    return a;
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

bool fromJson(const QJsonObject &json, Meta *meta, QString *error)
{
    Checker c{error};
    Meta m;
    if (json.value(QStringLiteral("format")).toString() != QLatin1String(kFormatName))
        return c.fail(QStringLiteral("not a frame sidecar (\"format\" is not \"%1\")")
                          .arg(QLatin1String(kFormatName)));
    m.formatVersion = int(c.num(json, "formatVersion"));
    if (c.ok && m.formatVersion > kFormatVersion)
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
    if (c.ok && m.link != QLatin1String("USB") && m.link != QLatin1String("Bluetooth"))
        return c.fail(QStringLiteral("\"link\" is neither USB nor Bluetooth"));

    const QJsonObject settings = c.object(json, "settings");
    int known = 0;
    known += c.optionalNum(settings, "startGHz", &m.sweep.startGHz) ? 1 : 0;
    known += c.optionalNum(settings, "stopGHz", &m.sweep.stopGHz) ? 1 : 0;
    known += c.optionalNum(settings, "rampMs", &m.sweep.rampMs) ? 1 : 0;
    m.sweepKnown = known == 3;
    double type = -1;
    if (c.optionalNum(settings, "sweepType", &type))
        m.sweepType = int(type);
    const QJsonValue rf = settings.value(QStringLiteral("rfPower"));
    if (rf.isBool())
        m.rfPower = rf.toBool() ? 1 : 0;
    else if (!rf.isNull())
        c.fail(QStringLiteral("\"rfPower\" is neither true/false nor null"));

    const QJsonObject samples = c.object(json, "samples");
    m.sampleCount = int(c.num(samples, "count"));
    m.samplePeriodS = c.num(samples, "periodS");
    m.voltsDivisor = c.num(samples, "voltsDivisor");
    if (c.ok && !(m.samplePeriodS > 0))
        return c.fail(QStringLiteral("\"periodS\" must be above 0"));
    if (c.ok && m.voltsDivisor != RadarMath::kCountDivisor &&
        m.voltsDivisor != RadarMath::kCollectionCountDivisor)
        return c.fail(QStringLiteral("\"voltsDivisor\" is neither 65535 nor 65536"));

    const QJsonObject processing = c.object(json, "processing");
    const QString averaging = c.string(processing, "averaging");
    if (averaging == QLatin1String(averagingName(Averaging::MeanOfTen)))
        m.averaging = Averaging::MeanOfTen;
    else if (averaging == QLatin1String(averagingName(Averaging::MinusMeanOfTen)))
        m.averaging = Averaging::MinusMeanOfTen;
    else if (c.ok && averaging != QLatin1String(averagingName(Averaging::None)))
        c.fail(QStringLiteral("unknown \"averaging\" %1").arg(averaging));
    m.twoPulseCancellation = c.boolean(processing, "twoPulseCancellation");

    m.capturedUtc = QDateTime::fromString(c.string(json, "capturedUtc"), Qt::ISODateWithMs);
    if (c.ok && !m.capturedUtc.isValid())
        return c.fail(QStringLiteral("\"capturedUtc\" is not an ISO 8601 time"));
    m.capturedUtc = m.capturedUtc.toUTC();
    // Optional: sidecars without it describe a file of plain values.
    if (json.contains(QStringLiteral("dataFormat")))
        m.dataFormat = c.string(json, "dataFormat");
    if (c.ok && m.dataFormat != QLatin1String("values") && m.dataFormat != QLatin1String("csv"))
        return c.fail(QStringLiteral("unknown \"dataFormat\" %1").arg(m.dataFormat));

    if (json.contains(QStringLiteral("collection"))) {
        const QJsonObject coll = c.object(json, "collection");
        m.inCollection = true;
        m.frameNumber = int(c.num(coll, "frame"));
        c.optionalNum(coll, "plannedIntervalS", &m.plannedIntervalS);
        c.optionalNum(coll, "sinceFirstFrameS", &m.sinceFirstFrameS);
        m.numberWidth = int(c.num(coll, "numberWidth"));
    }
    // Optional and only informative: kept when it is a list, ignored otherwise.
    if (json.value(QStringLiteral("markers")).isArray())
        m.markers = json.value(QStringLiteral("markers")).toArray();
    if (!c.ok)
        return false;
    *meta = m;
    return true;
}

bool write(const Meta &meta, const QString &framePath, QString *error)
{
    return DataFile::writeBytes(QJsonDocument(toJson(meta)).toJson(QJsonDocument::Indented),
                                sidecarPath(framePath), error);
}

ReadResult read(const QString &framePath, Meta *meta, QString *error)
{
    QFile file(sidecarPath(framePath));
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return ReadResult::Invalid;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError
                         ? parseError.errorString()
                         : QStringLiteral("not a JSON object");
        return ReadResult::Invalid;
    }
    return fromJson(doc.object(), meta, error) ? ReadResult::Ok : ReadResult::Invalid;
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
