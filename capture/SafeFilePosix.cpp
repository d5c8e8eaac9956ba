// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX build of SafeFile's platform part: non-blocking opens checked with fstat, and
// writes synced with fsync before the rename.
#include "capture/SafeFile.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile::Platform {

namespace {

QString lastError() { return qt_error_string(errno); }

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a plain file");
}

bool refuseKind(const struct stat &st, QString *reason)
{
    if (S_ISREG(st.st_mode))
        return false;
    *reason = QStringLiteral("not a regular file (%1)").arg(kindOf(st.st_mode));
    return true;
}

QString tooLarge(qint64 size, qint64 maxBytes)
{
    return QStringLiteral("too large (%1 bytes; at most %2 are read)").arg(size).arg(maxBytes);
}

class Fd
{
public:
    explicit Fd(int fd) : fd(fd) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd; }
    // Closing reports late write errors (NFS, quotas): checked like a write.
    bool close()
    {
        const int r = ::close(fd);
        fd = -1;
        return r == 0;
    }

private:
    int fd;
};

} // namespace

bool readRegular(const QString &path, qint64 maxBytes, QByteArray *out, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // stat first: opening a socket fails with a confusing reason, a FIFO must not be opened.
    if (::stat(name.constData(), &st) != 0) {
        *reason = lastError();
        return false;
    }
    if (refuseKind(st, reason))
        return false;
    // O_NONBLOCK: should the name be swapped for a FIFO after the stat, open still returns.
    Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        *reason = lastError();
        return false;
    }
    if (::fstat(fd.get(), &st) != 0) {
        *reason = lastError();
        return false;
    }
    if (refuseKind(st, reason))
        return false;
    if (st.st_size > maxBytes) {
        *reason = tooLarge(st.st_size, maxBytes);
        return false;
    }
    out->resize(qsizetype(st.st_size));
    qint64 got = 0;
    // Reads until the end, and one byte past the cap in case the file grows meanwhile.
    for (;;) {
        if (got == out->size()) {
            if (got > maxBytes) {
                *reason = tooLarge(got, maxBytes);
                out->clear();
                return false;
            }
            out->resize(qsizetype(qMin(got + 65536, maxBytes + 1)));
        }
        const ssize_t r = ::read(fd.get(), out->data() + got, size_t(out->size() - got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            *reason = lastError();
            out->clear();
            return false;
        }
        if (r == 0)
            break;
        got += r;
    }
    out->resize(qsizetype(got));
    return true;
}

bool writeTemp(const QString &finalPath, const QByteArray &bytes, QString *temp, QString *reason)
{
    static QAtomicInt counter;
    const QFileInfo info(finalPath);
    // Hidden and marked, so that no listing takes it for a frame.
    *temp = info.absolutePath() + QStringLiteral("/.%1.%2-%3.part")
                                      .arg(info.fileName())
                                      .arg(::getpid())
                                      .arg(counter.fetchAndAddRelaxed(1));
    const QByteArray name = QFile::encodeName(*temp);
    Fd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd.get() < 0) {
        *reason = lastError();
        return false;
    }
    auto failed = [&] {
        *reason = lastError();
        ::unlink(name.constData());
        return false;
    };
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            if (w == 0)
                errno = ENOSPC;
            return failed();
        }
        done += w;
    }
    if (::fsync(fd.get()) != 0 || !fd.close())
        return failed();
    return true;
}

bool replace(const QString &from, const QString &to, QString *reason)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *reason = lastError();
    return false;
}

void syncFolder(const QString &folder)
{
    Fd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

} // namespace SafeFile::Platform
