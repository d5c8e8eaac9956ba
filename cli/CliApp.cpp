// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliApp.h"

#include "cli/CaptureCommands.h"
#include "cli/RecordingCommands.h"
#include "cli/SerialCommands.h"

#include "capture/DataFile.h"
#include "capture/FrameCapture.h"
#include "link/usbConnection.h"
#include "link/usbTMCabstraction.h"
#include "sim/Demo.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include "sim/KitOptions.h"

#include "KvvlxVersion.h"

#include <QCommandLineParser>
#include <QLoggingCategory>

namespace {

constexpr int kMaxSimulatedKits = 99;

QString usageText()
{
    QString text = QStringLiteral(
        "usage: kvvlx-cli [--simulate[=K]] [--verbose] COMMAND [ARGS]\n"
        "       kvvlx-cli --serial PORT query TEXT\n"
        "       kvvlx-cli --serial PORT capture [-n N] [-o FILE] [--target SPEC]...\n\n"
        "The options below may stand anywhere on the line.\n"
        "  --simulate[=K]  use K virtual kits (default 1), serials SIM0001, SIM0002, ...\n"
        "  --serial PORT   talk to the kit over its Bluetooth serial port (type the\n"
        "                  command's $); PORT virtual serves a virtual kit for the run\n"
        "  --usb-terminator CHAR, --hex-case CASE, --reply-delay MS, --reply-forms SEED, ...\n"
        "                  with --simulate or --serial virtual: how the virtual kits fill\n"
        "                  in what the protocol leaves open (kvvlx-sim --help lists them)\n"
        "  -v, --verbose   write the debug log (kvvlx.* categories) to standard error\n"
        "  --version       show the program's version\n"
        "  -h, --help      show this text\n\n"
        "commands:\n");
    for (const CliCommand &command : cliCommands())
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(command.name, command.synopsis, command.summary);
    text += QStringLiteral("\nexit status: 0 success, 1 device error, 2 usage error\n");
    return text;
}

// ": " and the reason, when there is one.
QString withReason(const QString &reason)
{
    return reason.isEmpty() ? QString() : QStringLiteral(": ") + reason;
}

// Splits "[--kit T] TEXT..." of query and send.
bool kitAndText(CliSession &session, const QStringList &arguments, QString &kit, QString &text,
                int &status)
{
    QStringList rest = arguments;
    if (!rest.isEmpty() && rest.first() == QLatin1String("--kit")) {
        if (rest.size() < 2) {
            status = session.usageError(QStringLiteral("--kit needs a target or serial"));
            return false;
        }
        kit = rest.at(1);
        rest = rest.mid(2);
    } else if (!rest.isEmpty() && rest.first().startsWith(QLatin1String("--kit="))) {
        kit = rest.first().mid(6);
        rest.removeFirst();
    }
    if (rest.isEmpty() || rest.join(QLatin1Char(' ')).isEmpty()) {
        status = session.usageError(QStringLiteral("no command text given"));
        return false;
    }
    text = rest.join(QLatin1Char(' '));
    return true;
}

int runList(CliSession &session, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return session.usageError(QStringLiteral("list takes no arguments"));
    QStringList targets;
    if (!session.listKits(targets))
        return CliDeviceError;
    if (targets.isEmpty())
        session.err << "No kit found" << withReason(session.usb().lastProblem()) << "\n";
    int status = CliOk;
    usbTMCabstraction &usb = session.usb();
    for (const QString &target : targets) {
        const int opened = usb.openConnection(target);
        if (opened < 0) {
            status = session.deviceError(
                QStringLiteral("cannot open %1 (error %2)").arg(target).arg(opened) +
                withReason(usb.lastProblem()));
            continue;
        }
        usb.getDescriptions();
        session.out << QStringList{target, usb.getMan(), usb.getProductName(), usb.getSerial(),
                                   usb.getVersion()}
                           .join(QLatin1Char('\t'))
                    << '\n';
        usb.closeConnection();
    }
    return status;
}

int exchange(CliSession &session, const QStringList &arguments, bool readReply)
{
    QString kit, text;
    int status = CliOk;
    if (!kitAndText(session, arguments, kit, text, status))
        return status;
    QString target;
    if (!session.pickKit(kit, target))
        return CliDeviceError;
    usbTMCabstraction &usb = session.usb();
    const int opened = usb.openConnection(target);
    if (opened < 0)
        return session.deviceError(
            QStringLiteral("cannot open %1 (error %2)").arg(target).arg(opened) +
            withReason(usb.lastProblem()));
    status = CliOk;
    if (usb.sendVISACommand(text) < 0) {
        status = session.deviceError(QStringLiteral("sending to %1 failed").arg(target));
    } else if (readReply) {
        const QPair<int, QString> reply = usb.readVISAResponseString();
        if (reply.first < 0) {
            status = session.deviceError(QStringLiteral("no reply from %1").arg(target));
        } else {
            session.out << replyText(reply) << '\n';
        }
    }
    usb.closeConnection();
    return status;
}

int runQuery(CliSession &session, const QStringList &arguments)
{
    return exchange(session, arguments, true);
}

int runSend(CliSession &session, const QStringList &arguments)
{
    return exchange(session, arguments, false);
}

// Takes the program's own options out of the command line wherever they stand, so that
// "kvvlx-cli list --simulate" works as "kvvlx-cli --simulate list" does; what is left, in order,
// is the command and its arguments. --serial after the command word is the port only when none
// was given before it: "--serial virtual capture --serial SN" names the virtual kit's serial.
void splitGlobalOptions(const QStringList &arguments, QStringList &globals, QStringList &rest)
{
    bool commandSeen = false;
    bool portGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--")) {
            rest << arguments.mid(i + 1);
            break;
        }
        const bool isSerial =
            a == QLatin1String("--serial") || a.startsWith(QLatin1String("--serial="));
        if (a == QLatin1String("-h") || a == QLatin1String("--help") ||
            a == QLatin1String("--version") || a == QLatin1String("-v") ||
            a == QLatin1String("--verbose") || a.startsWith(QLatin1String("--simulate="))) {
            globals << a;
        } else if (a == QLatin1String("--simulate")) {
            globals << QStringLiteral("--simulate=1");
        } else if (isSerial && !(commandSeen && portGiven)) {
            portGiven = true;
            globals << a;
            if (a == QLatin1String("--serial") && i + 1 < arguments.size())
                globals << arguments.at(++i);
        } else {
            commandSeen = commandSeen || !a.startsWith(QLatin1Char('-'));
            rest << a;
        }
    }
}

void attachVirtualKits(int count, const SimReplyForm &form)
{
    attachVirtualUsbKits(count, form);
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
}

} // namespace

const QList<CliCommand> &cliCommands()
{
    static const QList<CliCommand> commands{
        {QStringLiteral("list"), QString(),
         QStringLiteral("one line per kit: target, manufacturer, product, serial, version"),
         &runList},
        {QStringLiteral("query"), QStringLiteral("[--kit T] TEXT"),
         QStringLiteral("send TEXT to the first kit (or the kit whose target or serial is T) and "
                        "print the reply"),
         &runQuery},
        {QStringLiteral("send"), QStringLiteral("[--kit T] TEXT"),
         QStringLiteral("send TEXT without reading a reply"), &runSend},
        {QStringLiteral("capture"),
         QStringLiteral("[-n N] [-o FILE] [--format csv|sigmf] [--kit T] [--target R[,V[,A]]]..."),
         QStringLiteral(
             "take one frame of N samples (default 1024) as Collect and Plot does and write it as "
             "a data "
             "file to FILE or standard output; --target places reflectors before the virtual kits"),
         &runCapture},
        {QStringLiteral("collect"),
         QStringLiteral("-n N -c COUNT -i SECONDS [-d DIR] [--name NAME] [--format csv|sigmf] "
                        "[--kit T] [--target R[,V[,A]]]..."),
         QStringLiteral("timed collection: COUNT frames, one every SECONDS, written as DIR/NAME "
                        "numbered from 0 "
                        "(default Data/data0.txt, data1.txt, ...); --format sigmf writes one "
                        "recording DIR/NAME.sigmf-data and .sigmf-meta, a capture segment per "
                        "frame (-o BASE for capture)"),
         &runCollect},
        {QStringLiteral("info"), QStringLiteral("FILE"),
         QStringLiteral("print what a saved frame's metadata sidecar (FILE.json) or a SigMF "
                        "recording (FILE.sigmf-meta) says, or \"no metadata\""),
         &runInfo},
        {QStringLiteral("export"), QStringLiteral("SRC --format sigmf -o BASE"),
         QStringLiteral("convert a frame file or a recording folder into one SigMF recording "
                        "BASE.sigmf-data and BASE.sigmf-meta"),
         &runExport},
        {QStringLiteral("replay"), QStringLiteral("DIR|FILE.sigmf-meta"),
         QStringLiteral("check a collection folder (frames present, sizes consistent) and print a "
                        "summary; exit status 1 when something is wrong"),
         &runReplay},
    };
    return commands;
}

CliSession::CliSession(QTextStream &o, QTextStream &e) : out(o), err(e) {}

CliSession::~CliSession() = default;

usbTMCabstraction &CliSession::usb()
{
    if (!commandLayer)
        commandLayer = std::make_unique<usbTMCabstraction>();
    return *commandLayer;
}

bool CliSession::listKits(QStringList &targets)
{
    const QPair<int, QStringList> list = usb().getDeviceList();
    if (list.first < 0) {
        deviceError(QStringLiteral("cannot list kits (error %1)").arg(list.first));
        return false;
    }
    targets = list.second;
    return true;
}

bool CliSession::pickKit(const QString &wanted, QString &target)
{
    QStringList targets;
    if (!listKits(targets))
        return false;
    if (targets.isEmpty()) {
        deviceError(QStringLiteral("no kit found") + withReason(usb().lastProblem()));
        return false;
    }
    if (wanted.isEmpty() || targets.contains(wanted)) {
        target = wanted.isEmpty() ? targets.first() : wanted;
        return true;
    }
    target = FrameCapture::findKitBySerial(usb(), wanted, targets);
    if (!target.isEmpty())
        return true;
    deviceError(QStringLiteral("no kit with target or serial %1").arg(wanted));
    return false;
}

int CliSession::writeFrame(const QVector<double> &frame, const QString &file)
{
    if (file.isEmpty() || file == QLatin1String("-")) {
        out << QString::fromLatin1(DataFile::format(frame));
        return CliOk;
    }
    QString error;
    if (!DataFile::write(frame, file, &error))
        return deviceError(QStringLiteral("cannot write %1").arg(error));
    return CliOk;
}

int CliSession::usageError(const QString &message)
{
    err << "kvvlx-cli: " << message << "\n"
        << "Try 'kvvlx-cli --help'.\n";
    err.flush();
    return CliUsageError;
}

int CliSession::deviceError(const QString &message)
{
    err << "kvvlx-cli: " << message << "\n";
    err.flush();
    return CliDeviceError;
}

int runCli(const QStringList &commandLine, QTextStream &out, QTextStream &err)
{
    CliSession session(out, err);
    QStringList commandNames;
    for (const CliCommand &command : cliCommands())
        commandNames << command.name;
    QString note;
    const QStringList arguments = withFirmwareSpelling(commandLine, commandNames, &note);
    if (!note.isEmpty())
        err << "kvvlx-cli: note: " << note << "\n";

    QStringList globals, rest;
    splitGlobalOptions(arguments, globals, rest);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption verboseOption(QStringList{"v", "verbose"});
    const QCommandLineOption simulate(QStringLiteral("simulate"), QString(), QStringLiteral("K"));
    const QCommandLineOption serial(QStringLiteral("serial"), QString(), QStringLiteral("PORT"));
    parser.addOptions({help, version, verboseOption, simulate, serial});
    if (!parser.parse(QStringList{QStringLiteral("kvvlx-cli")} + globals))
        return session.usageError(parser.errorText());
    if (parser.isSet(help)) {
        out << usageText();
        return CliOk;
    }
    if (parser.isSet(version)) {
        out << "kvvlx-cli " << KVVLX_VERSION << "\n";
        return CliOk;
    }
    const bool verbose = parser.isSet(verboseOption);
    const QString serialPort = parser.value(serial);
    if (parser.isSet(serial) && serialPort.isEmpty())
        return session.usageError(QStringLiteral("--serial needs a port, or the word virtual"));
    int simulated = 0;
    if (parser.isSet(simulate)) {
        bool ok = false;
        simulated = parser.value(simulate).toInt(&ok);
        if (!ok || simulated < 1 || simulated > kMaxSimulatedKits)
            return session.usageError(
                QStringLiteral("--simulate wants a number of kits from 1 to %1")
                    .arg(kMaxSimulatedKits));
    }
    // Debug lines are off by default; QT_LOGGING_RULES still has the last word.
    QLoggingCategory::setFilterRules(verbose ? QStringLiteral("kvvlx.*.debug=true") : QString());
    // With --simulate the reply-form options shape the virtual kits' replies, wherever they stand.
    SimReplyForm form;
    bool formGiven = false;
    QString formError;
    if (simulated > 0 && serialPort.isEmpty() &&
        !takeReplyFormOptions(rest, form, &formGiven, &formError))
        return session.usageError(formError);
    if (rest.isEmpty())
        return session.usageError(QStringLiteral("no command given"));
    if (!serialPort.isEmpty())
        return runSerial(session, serialPort, rest);
    const QString name = rest.first();
    for (const CliCommand &command : cliCommands()) {
        if (command.name == name) {
            if (simulated > 0)
                attachVirtualKits(simulated, form);
            const int status = command.run(session, rest.mid(1));
            out.flush();
            err.flush();
            return status;
        }
    }
    return session.usageError(QStringLiteral("unknown command %1").arg(name));
}
