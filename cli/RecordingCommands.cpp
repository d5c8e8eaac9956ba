// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RecordingCommands.h"

#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "capture/SafeFile.h"
#include "capture/Sigmf.h"
#include "cli/CaptureCommands.h"
#include "cli/CliApp.h"

#include <QDir>
#include <QFileInfo>

#include <set>

int runInfo(CliSession &session, const QStringList &arguments)
{
    if (arguments.size() != 1)
        return session.usageError(QStringLiteral("info takes one FILE"));
    const QString file = arguments.first();
    if (Sigmf::isSigmf(file)) {
        Sigmf::Dataset ds;
        QString why;
        if (!Sigmf::read(file, &ds, &why))
            return session.deviceError(QStringLiteral("%1: cannot be shown: %2").arg(file, why));
        session.out << "file: " << Sigmf::metaPath(file) << '\n' << Sigmf::describe(ds);
        return CliOk;
    }
    if (!QFileInfo::exists(file))
        return session.deviceError(QStringLiteral("no file %1").arg(file));
    QByteArray probe;
    QString why;
    // The frame itself must be readable as one: a FIFO or a device is refused, not waited on.
    if (!SafeFile::read(file, SafeFile::kMaxFrameBytes, &probe, &why))
        return session.deviceError(why);
    FrameMeta::Meta meta;
    QString error;
    switch (FrameMeta::read(file, &meta, &error)) {
    case FrameMeta::ReadResult::Missing:
        session.out << file << ": no metadata\n";
        return CliOk;
    case FrameMeta::ReadResult::Invalid:
        return session.deviceError(QStringLiteral("invalid metadata: %1").arg(error));
    case FrameMeta::ReadResult::Ok:
        break;
    }
    session.out << "file: " << file << '\n' << FrameMeta::describe(meta);
    return CliOk;
}

namespace {

// replay of a SigMF recording: every frame the metadata lists is in the data file, all of one
// length; the gaps it records.
int replaySigmf(CliSession &session, const QString &path)
{
    Sigmf::Dataset ds;
    QString why;
    if (!Sigmf::read(path, &ds, &why))
        return session.deviceError(QStringLiteral("%1: cannot be shown: %2").arg(path, why));
    QTextStream &out = session.out;
    QStringList problems;
    const qsizetype n = ds.frame(0).size();
    for (int k = 1; k < ds.frameCount(); ++k)
        if (ds.frame(k).size() != n)
            problems << QStringLiteral("frame %1 holds %2 samples, the first frame %3")
                            .arg(k)
                            .arg(ds.frame(k).size())
                            .arg(n);
    out << "recording: " << QDir::toNativeSeparators(Sigmf::metaPath(path)) << " (SigMF, "
        << ds.datatype << ")\n"
        << "frames: " << ds.frameCount() << " present, " << ds.gaps.size() << " gaps\n"
        << "samples per frame: " << n << '\n';
    if (ds.ours && ds.meta.sweepKnown)
        out << "sweep: " << ds.meta.sweep.startGHz << " to " << ds.meta.sweep.stopGHz << " GHz in "
            << ds.meta.sweep.rampMs << " ms, sample period " << ds.meta.samplePeriodS << " s\n";
    if (ds.captures.first().datetime.isValid())
        out << "first frame: " << FrameMeta::timeStamp(ds.captures.first().datetime) << '\n'
            << "last frame: " << FrameMeta::timeStamp(ds.captures.last().datetime) << '\n';
    for (const QString &p : std::as_const(problems))
        out << "problem: " << p << '\n';
    out << "result: " << (problems.isEmpty() ? "OK" : "PROBLEMS") << '\n';
    out.flush();
    return problems.isEmpty() ? CliOk : CliDeviceError;
}

} // namespace

int runExport(CliSession &session, const QStringList &arguments)
{
    QString source, base, format;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        QString *into = a == QLatin1String("-o") || a == QLatin1String("--output") ? &base
                        : a == QLatin1String("--format")                           ? &format
                                                                                   : nullptr;
        if (a.startsWith(QLatin1String("--format="))) {
            format = a.mid(9);
        } else if (a.startsWith(QLatin1String("--output="))) {
            base = a.mid(9);
        } else if (into) {
            if (i + 1 >= arguments.size())
                return session.usageError(QStringLiteral("%1 needs a value").arg(a));
            *into = arguments.at(++i);
        } else if (a.startsWith(QLatin1Char('-')) || !source.isEmpty()) {
            return session.usageError(QStringLiteral("unknown argument %1").arg(a));
        } else {
            source = a;
        }
    }
    if (source.isEmpty() || base.isEmpty())
        return session.usageError(QStringLiteral("export needs SRC and -o BASE"));
    if (!format.isEmpty() && format != QLatin1String("sigmf"))
        return session.usageError(
            QStringLiteral("export writes --format sigmf, not %1").arg(format));
    Sigmf::Dataset ds;
    QString why;
    if (!Sigmf::fromRecording(source, &ds, &why))
        return session.deviceError(why);
    if (const int status = writeSigmf(session, ds, base); status != CliOk)
        return status;
    session.out << Sigmf::metaPath(base) << ": " << ds.frameCount() << " frame(s), "
                << ds.gaps.size() << " gap(s)\n";
    return CliOk;
}

namespace {

// The frame files of a collection folder, by its index when it has one (told on out), else by
// their numbered names; what is wrong with the index goes to problems.
QStringList framesOfCollection(QTextStream &out, const QString &folder, QStringList &problems,
                               int &gaps)
{
    const QDir dir(folder);
    Recording::Index index;
    QString error;
    const FrameMeta::ReadResult indexRead = Recording::readIndex(folder, &index, &error);
    QStringList files;
    if (indexRead != FrameMeta::ReadResult::Ok) {
        if (indexRead == FrameMeta::ReadResult::Invalid)
            problems << QStringLiteral("invalid index: %1").arg(error);
        out << "index: none, frames taken by their numbered names\n";
        QString outside;
        files = Recording::framesOf(folder, &outside);
        if (!outside.isEmpty() && indexRead != FrameMeta::ReadResult::Invalid)
            problems << outside; // the invalid index is told above
        return files;
    }
    out << "index: " << QFileInfo(Recording::indexPath(folder)).fileName() << ", "
        << (index.complete ? "complete" : "incomplete") << ", " << index.planned
        << " planned every " << index.plannedIntervalS << " s, started "
        << FrameMeta::timeStamp(index.startedUtc) << '\n';
    std::set<int> numbers;
    for (const Recording::IndexEntry &e : std::as_const(index.frames)) {
        if (!numbers.insert(e.number).second)
            problems << QStringLiteral("frame %1 is listed twice").arg(e.number);
        if (e.file.isEmpty())
            ++gaps;
        else if (!dir.exists(e.file))
            problems << QStringLiteral("%1 is listed but missing").arg(e.file);
        else if (!SafeFile::insideFolder(dir.filePath(e.file), folder))
            problems << QStringLiteral("%1 leads out of the folder: refused").arg(e.file);
        else
            files << dir.filePath(e.file);
    }
    if (!index.complete)
        problems << QStringLiteral("the collection did not finish (%1 of %2 steps)")
                        .arg(index.frames.size())
                        .arg(index.planned);
    return files;
}

// What the frames of a collection hold, read one by one.
struct FramesSeen
{
    int size = -1; // samples per frame, from the first frame read
    int withMeta = 0;
    Recording::Frame first, last; // the first and last with metadata
};

FramesSeen readFrames(const QStringList &files, QStringList &problems)
{
    FramesSeen seen;
    for (const QString &path : files) {
        const Recording::Frame f = Recording::load(path);
        const QString name = QFileInfo(path).fileName();
        if (!f.readOk) {
            problems << QStringLiteral("cannot read %1").arg(f.error);
            continue;
        }
        if (!f.metaError.isEmpty())
            problems << QStringLiteral("invalid metadata: %1").arg(f.metaError);
        if (f.hasMeta) {
            ++seen.withMeta;
            if (f.meta.sampleCount != f.samples.size())
                problems << QStringLiteral("%1 holds %2 samples, its metadata says %3")
                                .arg(name)
                                .arg(f.samples.size())
                                .arg(f.meta.sampleCount);
            if (!seen.first.hasMeta)
                seen.first = f;
            seen.last = f;
        }
        if (seen.size < 0)
            seen.size = int(f.samples.size());
        else if (f.samples.size() != seen.size)
            problems << QStringLiteral("%1 holds %2 samples, the first frame %3")
                            .arg(name)
                            .arg(f.samples.size())
                            .arg(seen.size);
    }
    return seen;
}

// The kit, sweep and timing the metadata of the first and last frames tell.
void printMeta(QTextStream &out, const FramesSeen &seen)
{
    const FrameMeta::Meta &m = seen.first.meta;
    const FrameMeta::Meta &last = seen.last.meta;
    out << "kit: " << m.kitModel << " serial " << m.kitSerial << " firmware " << m.kitFirmware
        << " over " << m.link << '\n';
    if (m.sweepKnown)
        out << "sweep: " << m.sweep.startGHz << " to " << m.sweep.stopGHz << " GHz in "
            << m.sweep.rampMs << " ms, sample period " << m.samplePeriodS << " s\n";
    out << "first frame: " << FrameMeta::timeStamp(m.capturedUtc) << '\n';
    out << "last frame: " << FrameMeta::timeStamp(last.capturedUtc) << '\n';
    if (seen.withMeta > 1 && m.inCollection && last.inCollection) {
        const double span = last.sinceFirstFrameS - m.sinceFirstFrameS;
        out << "span: " << span << " s, mean interval " << span / (seen.withMeta - 1)
            << " s (planned " << m.plannedIntervalS << " s)\n";
    }
}

} // namespace

int runReplay(CliSession &session, const QStringList &arguments)
{
    if (arguments.size() != 1)
        return session.usageError(QStringLiteral("replay takes one DIR"));
    if (Sigmf::isSigmf(arguments.first()))
        return replaySigmf(session, arguments.first());
    const QString folder = arguments.first();
    if (!QFileInfo(folder).isDir())
        return session.deviceError(QStringLiteral("no folder %1").arg(folder));
    QTextStream &out = session.out;
    QStringList problems;
    int gaps = 0;
    out << "collection: " << QDir::toNativeSeparators(folder) << '\n';
    const QStringList files = framesOfCollection(out, folder, problems, gaps);
    const FramesSeen seen = readFrames(files, problems);
    if (files.isEmpty())
        problems << QStringLiteral("no frames");

    out << "frames: " << files.size() << " present, " << gaps << " gaps, " << seen.withMeta
        << " with metadata\n";
    if (seen.size >= 0)
        out << "samples per frame: " << seen.size << '\n';
    if (seen.first.hasMeta)
        printMeta(out, seen);
    for (const QString &p : std::as_const(problems))
        out << "problem: " << p << '\n';
    out << "result: " << (problems.isEmpty() ? "OK" : "PROBLEMS") << '\n';
    out.flush();
    return problems.isEmpty() ? CliOk : CliDeviceError;
}
