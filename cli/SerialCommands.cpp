// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/SerialCommands.h"

#include "bt/BtFraming.h"
#include "bt/BtProtocol.h"
#include "capture/FrameCapture.h"
#include "cli/CliApp.h"
#include "kit/KitCommands.h"
#include "sim/BtPtyServer.h"
#include "sim/KitOptions.h"
#include "sim/VirtualKit.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QSerialPort>

#include <memory>

namespace {

constexpr int kQueryTimeoutMs = 3000;

bool openPort(CliSession &session, QSerialPort &port, const QString &name)
{
    port.setPortName(name);
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::HardwareControl);
    if (port.open(QIODevice::ReadWrite))
        return true;
    session.deviceError(QStringLiteral("cannot open %1: %2").arg(name, port.errorString()));
    return false;
}

enum class Wait { Reply, TimedOut, PortClosed };

// A port whose device vanished reports it as one of these, and every later wait returns at once.
bool portGone(const QSerialPort &port)
{
    const QSerialPort::SerialPortError e = port.error();
    return !port.isOpen() || e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
           e == QSerialPort::WriteError || e == QSerialPort::DeviceNotFoundError;
}

// Sends one command and waits for the first reply that accept() takes, at most timeoutMs.
Wait exchange(QSerialPort &port, const QString &command, qint64 timeoutMs,
              bool (*accept)(const QByteArray &), QByteArray &reply)
{
    BtFraming::Framer framer;
    framer.noteCommand(command.toUtf8());
    port.write(command.toUtf8());
    port.waitForBytesWritten(int(qMin<qint64>(timeoutMs, 60000)));
    QElapsedTimer waited;
    waited.start();
    auto accepted = [&](const QList<QByteArray> &messages) {
        for (const QByteArray &message : messages)
            if (accept(message)) {
                reply = message;
                return true;
            }
        return false;
    };
    while (waited.elapsed() < timeoutMs) {
        if (portGone(port))
            return Wait::PortClosed;
        const qint64 left = qBound(qint64(1), timeoutMs - waited.elapsed(), qint64(60000));
        if (!port.waitForReadyRead(int(left)))
            continue;
        if (accepted(framer.feed(port.readAll())))
            return Wait::Reply;
    }
    // A data reply still held for samples that never came is judged as it is.
    if (accepted(framer.release()))
        return Wait::Reply;
    return portGone(port) ? Wait::PortClosed : Wait::TimedOut;
}

bool anyReply(const QByteArray &) { return true; }

bool dataReply(const QByteArray &message)
{
    return BtProtocol::parseReply(message).tag == BtProtocol::Tag::Data;
}

// query TEXT: one command and its reply, as one line.
int serialQuery(CliSession &session, QSerialPort &port, const QString &portName,
                const QString &text)
{
    if (text.isEmpty())
        return session.usageError(QStringLiteral("query needs the command text, with its $"));
    QByteArray reply;
    const Wait got = exchange(port, text, kQueryTimeoutMs, &anyReply, reply);
    if (got == Wait::PortClosed)
        return session.deviceError(QStringLiteral("%1: port closed").arg(portName));
    if (got != Wait::Reply)
        return session.deviceError(QStringLiteral("no reply from %1").arg(portName));
    session.out << QString::fromLatin1(reply.chopped(2)) << "\n"; // "\r\n" becomes one line end
    return CliOk;
}

// capture: one frame of samples (given as text) over the data reply, written to output.
int serialCapture(CliSession &session, QSerialPort &port, const QString &portName,
                  const QString &samples, const QString &output)
{
    bool ok = false;
    const int n = samples.toInt(&ok);
    if (!ok || n < 1 || n > FrameCapture::maxSamples)
        return session.usageError(QStringLiteral("the number of samples must be from 1 to %1")
                                      .arg(FrameCapture::maxSamples));
    // The link carries 960 bytes a second; give the frame that time and two seconds more.
    const qint64 timeoutMs = qint64(BtProtocol::replySeconds(n) * 1000) + 2000;
    QByteArray reply;
    const Wait got = exchange(port, QString::fromStdString(KitCommands::Bt::requestStream(n)),
                              timeoutMs, &dataReply, reply);
    if (got == Wait::PortClosed)
        return session.deviceError(QStringLiteral("%1: port closed").arg(portName));
    if (got != Wait::Reply)
        return session.deviceError(QStringLiteral("no frame from %1").arg(portName));
    const BtProtocol::DataCheck check = BtProtocol::checkDataReply(reply, n);
    if (!check.ok)
        return session.deviceError(QStringLiteral("%1: frame %2").arg(portName, check.reason));
    const QVector<double> frame = BtProtocol::decodeSamples(reply);
    return session.writeFrame(frame, output);
}

} // namespace

int runSerial(CliSession &session, const QString &portName, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption samples(QStringList{"n", "samples"}, "samples", "N", "1024");
    const QCommandLineOption output(QStringList{"o", "output"}, "output file", "FILE");
    parser.addOption(samples);
    parser.addOption(output);
    addKitOptions(parser);
    parser.addPositionalArgument("command", "query or capture");
    if (!parser.parse(QStringList{QStringLiteral("kvvlx-cli")} + arguments))
        return session.usageError(parser.errorText());
    const QStringList words = parser.positionalArguments();
    const QString command = words.value(0);
    if (command != QLatin1String("query") && command != QLatin1String("capture"))
        return session.usageError(
            command.isEmpty()
                ? QStringLiteral("--serial needs query or capture")
                : QStringLiteral("--serial takes query or capture, not %1").arg(command));

    // "virtual" serves a kit of our own for this run, with the scene options applied.
    std::unique_ptr<BtPtyServer> server;
    QString path = portName;
    if (portName == QLatin1String("virtual")) {
        auto kit = std::make_shared<VirtualKit>();
        QString error;
        if (!applyKitOptions(parser, *kit, &error))
            return session.usageError(error);
        server = std::make_unique<BtPtyServer>(kit);
        if (!server->start(&error))
            return session.deviceError(QStringLiteral("cannot start a virtual kit: %1").arg(error));
        path = server->slavePath();
    } else if (parser.isSet(QStringLiteral("target"))) {
        return session.usageError(QStringLiteral(
            "--target places reflectors before a virtual kit: use --serial virtual"));
    }

    QSerialPort port;
    if (!openPort(session, port, path))
        return CliDeviceError;

    if (command == QLatin1String("query"))
        return serialQuery(session, port, portName, words.mid(1).join(QLatin1Char(' ')));
    if (words.size() > 1)
        return session.usageError(QStringLiteral("unknown argument %1").arg(words.at(1)));
    return serialCapture(session, port, portName, parser.value(samples), parser.value(output));
}
