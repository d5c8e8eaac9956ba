// SPDX-License-Identifier: GPL-3.0-or-later
// SafeFile's platform part where there is no POSIX: Qt's file calls, each result checked.
#include "capture/SafeFile.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace SafeFile::Platform {

bool readRegular(const QString &path, qint64 maxBytes, QByteArray *out, QString *reason)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *reason = QStringLiteral("No such file or directory");
        return false;
    }
    if (!info.isFile()) {
        *reason = QStringLiteral("not a regular file");
        return false;
    }
    if (info.size() > maxBytes) {
        *reason = QStringLiteral("too large (%1 bytes; at most %2 are read)")
                      .arg(info.size())
                      .arg(maxBytes);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    *out = file.read(maxBytes + 1);
    if (out->size() > maxBytes) {
        *reason = QStringLiteral("too large (at most %1 bytes are read)").arg(maxBytes);
        out->clear();
        return false;
    }
    return true;
}

bool writeTemp(const QString &finalPath, const QByteArray &bytes, QString *temp, QString *reason)
{
    static QAtomicInt counter;
    const QFileInfo info(finalPath);
    *temp = info.absolutePath() + QStringLiteral("/.%1.%2-%3.part")
                                      .arg(info.fileName())
                                      .arg(QCoreApplication::applicationPid())
                                      .arg(counter.fetchAndAddRelaxed(1));
    QFile file(*temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        *reason = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *reason = file.errorString();
        file.close();
        file.remove();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        file.remove();
        return false;
    }
    return true;
}

bool replace(const QString &from, const QString &to, QString *reason)
{
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(from.toStdWString()),
                            std::filesystem::path(to.toStdWString()), ec);
    if (!ec)
        return true;
    *reason = QString::fromStdString(ec.message());
    return false;
}

void syncFolder(const QString &) {}

} // namespace SafeFile::Platform
