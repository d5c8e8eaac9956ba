// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CaptureCommands.h"

#include "capture/CollectionWriter.h"
#include "capture/DataFile.h"
#include "capture/FrameCapture.h"
#include "capture/FrameMeta.h"
#include "capture/Recording.h"
#include "capture/Sigmf.h"
#include "cli/CliApp.h"
#include "kit/KitCommands.h"
#include "link/usbTMCabstraction.h"
#include "sim/KitOptions.h"
#include "sim/SimUsbBus.h"
#include "sim/VirtualKit.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <cmath>
#include <optional>

namespace {

struct CaptureOptions
{
    int samples = 1024;
    bool samplesGiven = false;
    QString output; // capture: empty is standard output
    int count = -1; // collect
    double interval = -1.0;
    QString folder = QStringLiteral("Data");
    QString name = QStringLiteral("data.txt");
    bool nameGiven = false;
    bool csv = false;   // --format csv
    bool sigmf = false; // --format sigmf: one SigMF recording for the frame or the collection
    QString kit;
    QVector<SimTarget> targets;
};

// The argument being read and the value of its option, given as "--name value" or "--name=value".
struct ArgReader
{
    explicit ArgReader(const QStringList &arguments) : arguments(arguments) {}

    const QStringList &arguments;
    int i = 0;
    QString value;
    bool missingValue = false;

    const QString &arg() const { return arguments.at(i); }
    bool is(const char *shortName, const char *longName) const
    {
        return arg() == QLatin1String(shortName) || arg() == QLatin1String(longName) ||
               arg().startsWith(QLatin1String(longName) + QLatin1Char('='));
    }
    bool take(const QString &longName)
    {
        if (arg().startsWith(longName + QLatin1Char('='))) {
            value = arg().mid(longName.size() + 1);
            return true;
        }
        if (i + 1 >= arguments.size())
            return false;
        value = arguments.at(++i);
        return true;
    }
    // The argument is that option: takes its value, or notes that it has none.
    bool option(const char *shortName, const char *longName)
    {
        if (!is(shortName, longName))
            return false;
        missingValue = !take(QLatin1String(longName));
        return true;
    }
    QString missing() const
    {
        return QStringLiteral("%1 needs a value").arg(arg().section(QLatin1Char('='), 0, 0));
    }
};

// An option both subcommands take: nothing when it is none of them, else the usage error
// (empty when the option is good).
std::optional<QString> commonOption(ArgReader &r, CaptureOptions &o)
{
    if (r.option("-n", "--samples")) {
        bool ok = false;
        o.samples = r.value.toInt(&ok);
        o.samplesGiven = true;
        if (!ok || o.samples < 1 || o.samples > FrameCapture::maxSamples)
            return QStringLiteral("the number of samples must be from 1 to %1")
                .arg(FrameCapture::maxSamples);
    } else if (r.option("--kit", "--kit")) {
        o.kit = r.value;
    } else if (r.option("--target", "--target")) {
        SimTarget target;
        QString error;
        if (!parseTargetOption(r.value, &target, &error))
            return error;
        o.targets.append(target);
    } else if (r.option("--format", "--format")) {
        if (r.value != QLatin1String("csv") && r.value != QLatin1String("values") &&
            r.value != QLatin1String("sigmf"))
            return QStringLiteral("--format is csv, sigmf or values, not %1").arg(r.value);
        o.csv = r.value == QLatin1String("csv");
        o.sigmf = r.value == QLatin1String("sigmf");
    } else {
        return std::nullopt;
    }
    return QString();
}

// An option only collect takes, in the manner of commonOption.
std::optional<QString> collectOption(ArgReader &r, CaptureOptions &o)
{
    bool ok = false;
    if (r.option("-c", "--count")) {
        o.count = r.value.toInt(&ok);
        if (!ok || o.count < 1)
            return QStringLiteral("the number of captures must be 1 or more");
    } else if (r.option("-i", "--interval")) {
        o.interval = r.value.toDouble(&ok);
        if (!ok || !std::isfinite(o.interval) || o.interval < 0)
            return QStringLiteral("the interval must be 0 seconds or more");
    } else if (r.option("-d", "--dir")) {
        o.folder = r.value;
    } else if (r.option("--name", "--name")) {
        o.name = r.value;
        o.nameGiven = true;
    } else {
        return std::nullopt;
    }
    return QString();
}

// What the options ask of each other once all are read, and the reflectors they place; the
// usage error, empty when there is none.
QString finishOptions(bool collect, CaptureOptions &o)
{
    if (collect && (!o.samplesGiven || o.count < 0 || o.interval < 0))
        return QStringLiteral("collect needs -n, -c and -i");
    if (collect && o.csv && !o.nameGiven)
        o.name = QStringLiteral("data.csv");
    if (collect && o.sigmf)
        o.name = o.nameGiven ? Sigmf::basePath(o.name) : QStringLiteral("data");
    if (!collect && o.sigmf && (o.output.isEmpty() || o.output == QLatin1String("-")))
        return QStringLiteral("--format sigmf writes two files: give -o BASE");
    if (!o.targets.isEmpty()) {
        const auto kits = SimUsbBus::global().kits();
        if (kits.empty())
            return QStringLiteral("--target places reflectors before virtual kits: use --simulate");
        for (const auto &kit : kits)
            kit->setTargets(o.targets);
    }
    return QString();
}

// Parses the options of both subcommands; collect accepts -c, -i, -d and --name, capture -o.
bool parseOptions(CliSession &session, const QStringList &arguments, bool collect,
                  CaptureOptions &o, int &status)
{
    ArgReader r(arguments);
    for (; r.i < arguments.size(); ++r.i) {
        r.missingValue = false;
        std::optional<QString> error = commonOption(r, o);
        if (!error && collect)
            error = collectOption(r, o);
        if (!error && !collect && r.option("-o", "--output")) {
            o.output = r.value;
            error = QString();
        }
        if (error && r.missingValue)
            error = r.missing();
        if (!error)
            error = QStringLiteral("unknown argument %1").arg(r.arg());
        if (!error->isEmpty()) {
            status = session.usageError(*error);
            return false;
        }
    }
    const QString error = finishOptions(collect, o);
    if (!error.isEmpty()) {
        status = session.usageError(error);
        return false;
    }
    return true;
}

enum class Take { Ok, NoKit, BadFrame };

// One frame as Collect and Plot takes it; Ok only when the frame is exactly what the kit was
// asked for. Otherwise the reason has been written to standard error.
Take takeFrame(CliSession &session, const QString &target, int n, QVector<double> &frame,
               const QString &frameName, const std::function<void()> &afterRequest = {})
{
    usbTMCabstraction &usb = session.usb();
    const int opened = usb.openConnection(target);
    if (opened < 0) {
        session.deviceError(QStringLiteral("cannot open %1 (error %2)").arg(target).arg(opened));
        return Take::NoKit;
    }
    FrameCapture::requestFrame(usb, n);
    if (afterRequest)
        afterRequest();
    const FrameCapture::FrameText text = FrameCapture::fetchFrame(usb, n);
    usb.closeConnection();
    if (!text.check.ok) {
        session.deviceError(QStringLiteral("%1: %2 %3").arg(target, frameName, text.check.reason));
        return Take::BadFrame;
    }
    frame = FrameCapture::hexToVolts(text.hex);
    return Take::Ok;
}

// Who the kit is and how it is set up, read back once before the frames: the sidecars record it.
bool readKit(CliSession &session, const QString &target, FrameMeta::Meta &meta)
{
    usbTMCabstraction &usb = session.usb();
    const int opened = usb.openConnection(target);
    if (opened < 0) {
        session.deviceError(QStringLiteral("cannot open %1 (error %2)").arg(target).arg(opened));
        return false;
    }
    usb.getDescriptions();
    meta.application = QStringLiteral("kvvlx-cli");
    meta.applicationVersion = FrameMeta::applicationVersion();
    meta.kitModel = usb.getProductName();
    meta.kitSerial = usb.getSerial();
    meta.kitFirmware = usb.getVersion();
    meta.link = QStringLiteral("USB");
    meta.samplePeriodS = RadarMath::samplePeriodForFirmware(meta.kitFirmware.toStdString());
    meta.voltsDivisor = RadarMath::kCountDivisor;
    auto ask = [&](const std::string &query, double *value) {
        if (usb.sendVISACommand(QString::fromStdString(query)) < 0)
            return false;
        const QPair<int, QString> reply = usb.readVISAResponseString();
        bool ok = false;
        *value = replyText(reply).trimmed().toDouble(&ok);
        return reply.first >= 0 && ok;
    };
    double type = -1, rf = -1;
    meta.sweepKnown = ask(KitCommands::queryStartFreq(), &meta.sweep.startGHz) &&
                      ask(KitCommands::queryStopFreq(), &meta.sweep.stopGHz) &&
                      ask(KitCommands::queryRampTime(), &meta.sweep.rampMs);
    if (ask(KitCommands::querySweepType(), &type) && type >= 0 && type <= 3)
        meta.sweepType = int(type);
    if (ask(KitCommands::queryRfPower(), &rf) && (rf == 0 || rf == 1))
        meta.rfPower = int(rf);
    usb.closeConnection();
    return true;
}

// The frame in the chosen format with its sidecar; standard output gets the frame only.
int writeWithMeta(CliSession &session, const QVector<double> &frame, const QString &file,
                  FrameMeta::Meta meta, bool csv)
{
    meta.sampleCount = int(frame.size());
    meta.dataFormat = csv ? QStringLiteral("csv") : QStringLiteral("values");
    if (file.isEmpty() || file == QLatin1String("-")) {
        session.out << QString::fromLatin1(DataFile::formatFor(frame, meta));
        return CliOk;
    }
    QString error;
    if (!DataFile::save(frame, file, &meta, &error))
        return session.deviceError(QStringLiteral("cannot write %1").arg(error));
    return CliOk;
}

} // namespace

int writeSigmf(CliSession &session, const Sigmf::Dataset &ds, const QString &base)
{
    QString error;
    if (!Sigmf::write(ds, base, &error))
        return session.deviceError(
            QStringLiteral("cannot write %1: %2").arg(Sigmf::metaPath(base), error));
    return CliOk;
}

int runCapture(CliSession &session, const QStringList &arguments)
{
    CaptureOptions o;
    int status = CliOk;
    if (!parseOptions(session, arguments, false, o, status))
        return status;
    QString target;
    if (!session.pickKit(o.kit, target))
        return CliDeviceError;
    FrameMeta::Meta meta;
    if (!readKit(session, target, meta))
        return CliDeviceError;
    QVector<double> frame;
    meta.capturedUtc = QDateTime::currentDateTimeUtc();
    if (takeFrame(session, target, o.samples, frame, QStringLiteral("frame")) != Take::Ok)
        return CliDeviceError;
    if (o.sigmf) {
        QString error;
        if (!Sigmf::writeFrame(frame, meta, o.output, &error))
            return session.deviceError(
                QStringLiteral("cannot write %1: %2").arg(Sigmf::metaPath(o.output), error));
        return CliOk;
    }
    return writeWithMeta(session, frame, o.output, meta, o.csv);
}

namespace {

CollectionWriter::Plan collectionPlan(const CaptureOptions &o, const FrameMeta::Meta &kit)
{
    CollectionWriter::Plan plan;
    plan.folder = o.folder;
    plan.name = o.name;
    plan.planned = o.count;
    plan.intervalS = o.interval;
    plan.application = kit.application;
    plan.link = kit.link;
    plan.kitSerial = kit.kitSerial;
    return plan;
}

// --format sigmf: one recording, rewritten after every step like the index.
int storeInRecording(CliSession &session, Sigmf::Dataset &recording, const QString &base, Take took,
                     const QVector<double> &frame, const FrameMeta::Meta &meta, bool last)
{
    if (took == Take::BadFrame)
        Sigmf::addGap(recording, meta.frameNumber);
    else
        Sigmf::addFrame(recording, frame, meta);
    if (recording.captures.isEmpty())
        return CliOk; // nothing to write yet
    if (const int status = writeSigmf(session, recording, base); status != CliOk)
        return status;
    if (last) {
        session.out << Sigmf::metaPath(base) << '\n';
        session.out.flush();
    }
    return CliOk;
}

// One numbered file, or a gap in the numbers for a frame that came out wrong.
int storeAsFile(CliSession &session, CollectionWriter &writer, Take took,
                const QVector<double> &frame, const FrameMeta::Meta &meta, int planned)
{
    const int i = meta.frameNumber;
    const QString path = writer.pathOf(i);
    QString error;
    if (took == Take::BadFrame) {
        // A gap: no file under this number, so no wrong frame passes for a good one.
        session.err << "kvvlx-cli: no file " << path << '\n';
        session.err.flush();
        if (!writer.addGap(i, meta.sinceFirstFrameS, &error))
            return session.deviceError(QStringLiteral("cannot write %1").arg(error));
        return CliOk;
    }
    if (!writer.addFrame(i, frame, meta, meta.sinceFirstFrameS, &error))
        return session.deviceError(
            QStringLiteral("cannot write %1; the collection stopped after %2 of %3 captures")
                .arg(error)
                .arg(i)
                .arg(planned));
    session.out << path << '\n';
    session.out.flush();
    return CliOk;
}

} // namespace

int runCollect(CliSession &session, const QStringList &arguments)
{
    CaptureOptions o;
    int status = CliOk;
    if (!parseOptions(session, arguments, true, o, status))
        return status;
    QString target;
    if (!session.pickKit(o.kit, target))
        return CliDeviceError;

    FrameMeta::Meta kit;
    if (!readKit(session, target, kit))
        return CliDeviceError;
    kit.dataFormat = o.csv ? QStringLiteral("csv") : QStringLiteral("values");
    CollectionWriter writer;
    writer.begin(collectionPlan(o, kit));
    QElapsedTimer sinceFirst;

    const qint64 intervalMs = qint64(std::trunc(o.interval * 1000.0)); // as the tab's timer
    QElapsedTimer sinceRequest;
    int dropped = 0;
    Sigmf::Dataset recording;
    const QString sigmfBase = o.folder + QLatin1Char('/') + o.name;
    for (int i = 0; i < o.count; ++i) {
        if (i > 0) {
            const qint64 wait = intervalMs - sinceRequest.elapsed();
            if (wait > 0)
                QThread::msleep(static_cast<unsigned long>(wait));
        }
        QVector<double> frame;
        FrameMeta::Meta meta = kit;
        // The interval runs from the frame request, as in the tab.
        auto requested = [&] {
            sinceRequest.start();
            if (!sinceFirst.isValid())
                sinceFirst.start();
            meta.capturedUtc = QDateTime::currentDateTimeUtc();
            meta.sinceFirstFrameS = sinceFirst.nsecsElapsed() / 1e9;
        };
        const Take took = takeFrame(session, target, o.samples, frame,
                                    QStringLiteral("frame %1").arg(i), requested);
        if (took == Take::NoKit) {
            session.err << "kvvlx-cli: the collection stopped after " << i << " of " << o.count
                        << " captures\n";
            session.err.flush();
            return CliDeviceError;
        }
        meta.inCollection = true;
        meta.frameNumber = i;
        meta.plannedIntervalS = o.interval;
        if (took == Take::BadFrame)
            ++dropped;
        const int stored = o.sigmf ? storeInRecording(session, recording, sigmfBase, took, frame,
                                                      meta, i + 1 == o.count)
                                   : storeAsFile(session, writer, took, frame, meta, o.count);
        if (stored != CliOk)
            return stored;
    }
    if (dropped > 0)
        return session.deviceError(
            QStringLiteral("%1 of %2 frames dropped").arg(dropped).arg(o.count));
    return CliOk;
}
