// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A 64 KiB tmpfs to fill up, mounted for the life of the object. Mounting needs root; tests
// skip when it fails.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

class SmallDisk
{
public:
    SmallDisk()
    {
        const QString dir = base.filePath(QStringLiteral("small"));
        mounted = QDir().mkdir(dir) &&
                  QProcess::execute(QStringLiteral("mount"),
                                    {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir}) == 0;
        if (mounted)
            where = dir;
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {where});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    // The mount point; empty when it could not be mounted.
    QString path() const { return where; }

private:
    QTemporaryDir base;
    bool mounted = false;
    QString where;
};
