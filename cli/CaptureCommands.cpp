// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CaptureCommands.h"

#include "cli/CliApp.h"
#include "link/usbTMCabstraction.h"
#include "radar/DataFile.h"
#include "radar/FrameCapture.h"
#include "sim/KitOptions.h"
#include "sim/SimUsbBus.h"
#include "sim/VirtualKit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <cmath>

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
    QString kit;
    QVector<SimTarget> targets;
};

// Parses the options of both subcommands; collect accepts -c, -i, -d and --name, capture -o.
bool parseOptions(CliSession &session, const QStringList &arguments, bool collect,
                  CaptureOptions &o, int &status)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        QString value;
        auto takeValue = [&](const QString &longName) {
            if (a.startsWith(longName + QLatin1Char('='))) {
                value = a.mid(longName.size() + 1);
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            value = arguments.at(++i);
            return true;
        };
        auto option = [&](const char *shortName, const char *longName) {
            return a == QLatin1String(shortName) || a == QLatin1String(longName) ||
                   a.startsWith(QLatin1String(longName) + QLatin1Char('='));
        };
        auto missing = [&] {
            status = session.usageError(
                QStringLiteral("%1 needs a value").arg(a.section(QLatin1Char('='), 0, 0)));
            return false;
        };

        if (option("-n", "--samples")) {
            if (!takeValue(QStringLiteral("--samples")))
                return missing();
            bool ok = false;
            o.samples = value.toInt(&ok);
            if (!ok || o.samples < 1 || o.samples > FrameCapture::maxSamples) {
                status =
                    session.usageError(QStringLiteral("the number of samples must be from 1 to %1")
                                           .arg(FrameCapture::maxSamples));
                return false;
            }
            o.samplesGiven = true;
        } else if (option("--kit", "--kit")) {
            if (!takeValue(QStringLiteral("--kit")))
                return missing();
            o.kit = value;
        } else if (option("--target", "--target")) {
            if (!takeValue(QStringLiteral("--target")))
                return missing();
            SimTarget target;
            QString error;
            if (!parseTargetOption(value, &target, &error)) {
                status = session.usageError(error);
                return false;
            }
            o.targets.append(target);
        } else if (!collect && option("-o", "--output")) {
            if (!takeValue(QStringLiteral("--output")))
                return missing();
            o.output = value;
        } else if (collect && option("-c", "--count")) {
            if (!takeValue(QStringLiteral("--count")))
                return missing();
            bool ok = false;
            o.count = value.toInt(&ok);
            if (!ok || o.count < 1) {
                status =
                    session.usageError(QStringLiteral("the number of captures must be 1 or more"));
                return false;
            }
        } else if (collect && option("-i", "--interval")) {
            if (!takeValue(QStringLiteral("--interval")))
                return missing();
            bool ok = false;
            o.interval = value.toDouble(&ok);
            if (!ok || !std::isfinite(o.interval) || o.interval < 0) {
                status =
                    session.usageError(QStringLiteral("the interval must be 0 seconds or more"));
                return false;
            }
        } else if (collect && option("-d", "--dir")) {
            if (!takeValue(QStringLiteral("--dir")))
                return missing();
            o.folder = value;
        } else if (collect && option("--name", "--name")) {
            if (!takeValue(QStringLiteral("--name")))
                return missing();
            o.name = value;
        } else {
            status = session.usageError(QStringLiteral("unknown argument %1").arg(a));
            return false;
        }
    }
    if (collect && (!o.samplesGiven || o.count < 0 || o.interval < 0)) {
        status = session.usageError(QStringLiteral("collect needs -n, -c and -i"));
        return false;
    }
    if (!o.targets.isEmpty()) {
        const auto kits = SimUsbBus::global().kits();
        if (kits.empty()) {
            status = session.usageError(
                QStringLiteral("--target places reflectors before virtual kits: use --simulate"));
            return false;
        }
        for (const auto &kit : kits)
            kit->setTargets(o.targets);
    }
    return true;
}

// One frame as Collect and Plot takes it; false (with the message given) when it did not happen.
bool takeFrame(CliSession &session, const QString &target, int n, QVector<double> &frame,
               const std::function<void()> &afterRequest = {})
{
    usbTMCabstraction &usb = session.usb();
    const int opened = usb.openConnection(target);
    if (opened < 0) {
        session.deviceError(QStringLiteral("cannot open %1 (error %2)").arg(target).arg(opened));
        return false;
    }
    FrameCapture::requestFrame(usb, n);
    if (afterRequest)
        afterRequest();
    const FrameCapture::FrameText text = FrameCapture::fetchFrame(usb, n);
    usb.closeConnection();
    if (text.lostReplies > 0) {
        session.deviceError(QStringLiteral("%1 stopped answering during the frame").arg(target));
        return false;
    }
    frame = FrameCapture::hexToVolts(text.hex);
    if (frame.size() != n)
        session.err << "kvvlx-cli: " << target << " sent " << frame.size() << " of " << n
                    << " samples\n";
    return true;
}

} // namespace

int runCapture(CliSession &session, const QStringList &arguments)
{
    CaptureOptions o;
    int status = CliOk;
    if (!parseOptions(session, arguments, false, o, status))
        return status;
    QString target;
    if (!session.pickKit(o.kit, target))
        return CliDeviceError;
    QVector<double> frame;
    if (!takeFrame(session, target, o.samples, frame))
        return CliDeviceError;
    return session.writeFrame(frame, o.output);
}

int runCollect(CliSession &session, const QStringList &arguments)
{
    CaptureOptions o;
    int status = CliOk;
    if (!parseOptions(session, arguments, true, o, status))
        return status;
    QString target;
    if (!session.pickKit(o.kit, target))
        return CliDeviceError;

    const qint64 intervalMs = qint64(std::trunc(o.interval * 1000.0)); // as the tab's timer
    QElapsedTimer sinceRequest;
    for (int i = 0; i < o.count; ++i) {
        if (i > 0) {
            const qint64 wait = intervalMs - sinceRequest.elapsed();
            if (wait > 0)
                QThread::msleep(static_cast<unsigned long>(wait));
        }
        QVector<double> frame;
        // The interval runs from the frame request, as in the tab.
        if (!takeFrame(session, target, o.samples, frame, [&] { sinceRequest.start(); })) {
            session.err << "kvvlx-cli: the collection stopped after " << i << " of " << o.count
                        << " captures\n";
            session.err.flush();
            return CliDeviceError;
        }
        const QString path = o.folder + QLatin1Char('/') + DataFile::numberedName(o.name, i);
        QString error;
        if (!DataFile::write(frame, path, &error))
            return session.deviceError(QStringLiteral("cannot write %1: %2").arg(path, error));
        session.out << path << '\n';
        session.out.flush();
    }
    return CliOk;
}
