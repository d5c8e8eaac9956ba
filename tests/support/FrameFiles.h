// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QStringList>

// The frame files of a folder, without their sidecars and the collection index.
inline QStringList frameFiles(const QString &folder)
{
    QStringList out;
    for (const QString &f : QDir(folder).entryList(QDir::Files))
        if (!f.endsWith(QLatin1String(".json")))
            out << f;
    return out;
}
