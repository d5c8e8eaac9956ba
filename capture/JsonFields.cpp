// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/JsonFields.h"

#include <QJsonValue>

#include <cmath>

namespace {

QString quoted(const char *key) { return QStringLiteral("\"%1\"").arg(QLatin1String(key)); }

QString shown(double v) { return QString::number(v, 'g', 12); }

} // namespace

bool JsonFields::fail(const QString &why)
{
    if (good && error)
        *error = why;
    good = false;
    return false;
}

QJsonObject JsonFields::object(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isObject())
        fail(QStringLiteral("%1 is missing or not an object").arg(quoted(key)));
    return v.toObject();
}

QString JsonFields::string(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        fail(QStringLiteral("%1 is missing or not a text").arg(quoted(key)));
    return v.toString();
}

bool JsonFields::boolean(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isBool())
        fail(QStringLiteral("%1 is missing or not true/false").arg(quoted(key)));
    return v.toBool();
}

bool JsonFields::checked(const QJsonObject &o, const char *key, double min, double max, bool whole,
                         double *out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return fail(QStringLiteral("%1 is missing or not a number").arg(quoted(key)));
    const double d = v.toDouble();
    if (!std::isfinite(d))
        return fail(QStringLiteral("%1 is not a finite number").arg(quoted(key)));
    if (whole && d != std::trunc(d))
        return fail(QStringLiteral("%1 is %2, not a whole number").arg(quoted(key), shown(d)));
    if (!(d >= min && d <= max))
        return fail(QStringLiteral("%1 is %2, outside %3 to %4")
                        .arg(quoted(key), shown(d), shown(min), shown(max)));
    *out = d;
    return true;
}

double JsonFields::number(const QJsonObject &o, const char *key, double min, double max)
{
    double d = 0.0;
    checked(o, key, min, max, false, &d);
    return d;
}

int JsonFields::integer(const QJsonObject &o, const char *key, int min, int max)
{
    double d = 0.0;
    // Converted only once it is known to fit: a cast of 1e300 to int is undefined.
    return checked(o, key, min, max, true, &d) ? int(d) : 0;
}

bool JsonFields::optionalNumber(const QJsonObject &o, const char *key, double min, double max,
                                double *out)
{
    double d = 0.0;
    if (!present(o, key) || !checked(o, key, min, max, false, &d))
        return false;
    *out = d;
    return true;
}

bool JsonFields::optionalInteger(const QJsonObject &o, const char *key, int min, int max, int *out)
{
    double d = 0.0;
    if (!present(o, key) || !checked(o, key, min, max, true, &d))
        return false;
    *out = int(d);
    return true;
}

bool JsonFields::present(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return !v.isNull() && !v.isUndefined();
}
