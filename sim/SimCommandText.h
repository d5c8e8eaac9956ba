// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the virtual kit reads a command's header and writes its answers; shared by its USB and
// Bluetooth servers.

#include "kit/KitCommands.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

namespace SimText {

inline QString number(double v) { return QString::number(v, 'g', 10); }

inline QByteArray line(const QString &text) { return text.toLatin1() + '\n'; }

template <typename T> QString joinNumbers(const QList<T> &values)
{
    QStringList parts;
    for (const T &v : values)
        parts << QString::number(v);
    return parts.join(',');
}

inline QString latin1(const std::string &s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// A command as the kit reads it; keywords in any case.
struct Parsed
{
    QString header;
    QString args;
};

inline Parsed parsed(const KitCommands::Command &command)
{
    return {latin1(command.header), latin1(command.args)};
}

// The header is that keyword, or its query.
inline bool is(const QString &header, std::string_view key)
{
    return header == QLatin1String(key.data(), qsizetype(key.size()));
}
inline bool asks(const QString &header, std::string_view key)
{
    return header.size() == qsizetype(key.size()) + 1 && header.endsWith(QLatin1Char('?')) &&
           header.startsWith(QLatin1String(key.data(), qsizetype(key.size())));
}

inline std::optional<int> portOf(const QString &header, std::string_view key, bool asQuery)
{
    return KitCommands::modulePort(header.toLatin1().toStdString(), key, asQuery);
}

} // namespace SimText
