// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>

// Reads the fields of a JSON object we did not write ourselves: each one checked for its type
// and, for numbers, finite, whole where a count is meant and within its range before it is
// converted. The first failure is kept as the reason ("\"count\" is 64.5, not a whole number").
class JsonFields
{
public:
    explicit JsonFields(QString *error) : error(error) {}

    bool ok() const { return good; }
    bool fail(const QString &why);

    QJsonObject object(const QJsonObject &o, const char *key);
    QString string(const QJsonObject &o, const char *key);
    bool boolean(const QJsonObject &o, const char *key);
    double number(const QJsonObject &o, const char *key, double min, double max);
    int integer(const QJsonObject &o, const char *key, int min, int max);
    // Fields that may be null or absent (unknown): false and *out untouched then.
    bool optionalNumber(const QJsonObject &o, const char *key, double min, double max, double *out);
    bool optionalInteger(const QJsonObject &o, const char *key, int min, int max, int *out);

private:
    static bool present(const QJsonObject &o, const char *key);
    bool checked(const QJsonObject &o, const char *key, double min, double max, bool whole,
                 double *out);

    QString *error;
    bool good = true;
};
