// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/usbConnection.h"

#include "kit/KitCommands.h"
#include "link/LinkLogging.h"
#include "link/UsbCommBackend.h"
#include "link/UsbReply.h"
#include "link/VisaBackend.h"
#include "link/WinUSBTMC.h"

#ifdef _WIN32
#include "link/WinDeviceLayer.h"
#else
#include "link/LibusbDeviceLayer.h"
#endif

QMutex linkLock;

namespace {

constexpr int kReplyCapacity = 255;

QByteArray wire(const std::string &command) { return QByteArray::fromStdString(command); }

DeviceLayerFactory &deviceLayerFactory()
{
    static DeviceLayerFactory factory;
    return factory;
}

QStringList &visaLibraryNames()
{
    static QStringList names;
    return names;
}

QStringList splitReply(const QString &reply)
{
    return reply.trimmed().split(QLatin1Char(','), Qt::KeepEmptyParts);
}

int decimal(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

bool DeviceDescription::operator==(const DeviceDescription &o) const
{
    return name == o.name && instDesc == o.instDesc && manufacturer == o.manufacturer &&
           productName == o.productName && version == o.version && serial == o.serial &&
           firmwareId == o.firmwareId;
}

void setDeviceLayerFactory(DeviceLayerFactory factory)
{
    deviceLayerFactory() = std::move(factory);
}

UsbDeviceLayerPtr createDeviceLayer()
{
    if (deviceLayerFactory())
        return deviceLayerFactory()();
#ifdef _WIN32
    return std::make_unique<WinDeviceLayer>(
        [](unsigned long ms) { WinUSBTMC::defaultPauseFor(ms); },
        [](const std::string &line) { qCDebug(lcUsb).noquote() << QString::fromStdString(line); });
#else
    return std::make_unique<LibusbDeviceLayer>();
#endif
}

void setVisaLibraryNames(const QStringList &names) { visaLibraryNames() = names; }

UsbCommBackend *createBackend()
{
    if (!deviceLayerFactory()) {
        const QStringList names =
            visaLibraryNames().isEmpty() ? VisaBackend::defaultLibraryNames() : visaLibraryNames();
        auto *visa = new VisaBackend(names);
        if (visa->isAvailable())
            return visa;
        delete visa;
    }
    auto *native = new WinUSBTMC(createDeviceLayer());
    if (native->isAvailable())
        return native;
    delete native;
    return nullptr;
}

usbConnection::usbConnection() : backend(createBackend()) { resetIdentity(); }

// Deletes the backend without closing anything first; the backend releases its own device.
usbConnection::~usbConnection() { delete backend; }

void usbConnection::resetIdentity()
{
    identity = DeviceDescription();
    modules.clear();
}

int usbConnection::initLink()
{
    if (!linkLock.tryLock())
        return -99;
    isOpen = false;
    const int result = backend ? backend->initBackend() : -1;
    if (result != 0) {
        linkLock.unlock();
        return result;
    }
    holdsLink = true;
    return result;
}

void usbConnection::releaseLink()
{
    if (holdsLink) {
        backend->releaseBackend();
        holdsLink = false;
        linkLock.unlock();
    }
    isOpen = false;
}

int usbConnection::openKit(const QString &target)
{
    isOpen = false;
    const int result = backend ? backend->open(target) : -1;
    // Open even on failure: the caller then releases the link straight away.
    isOpen = true;
    resetIdentity();
    if (result == 0) {
        identity.instDesc = target;
        identity.name = target;
    }
    return result;
}

void usbConnection::closeKit()
{
    if (backend)
        backend->close();
    isOpen = false;
}

QString usbConnection::lastProblem() const { return backend ? backend->lastProblem() : QString(); }

QPair<int, QStringList> usbConnection::listDevices()
{
    if (!backend)
        return {-1, {}};
    return backend->findDevices();
}

int usbConnection::sendString(const QString &command)
{
    if (!isOpen || !backend)
        return -1;
    const QByteArray bytes = command.toUtf8();
    return backend->write(bytes.constData(), int(bytes.size()));
}

int usbConnection::sendBytes(const QByteArray &command)
{
    if (!isOpen || !backend)
        return -1;
    const int result = backend->write(command.constData(), int(command.size()));
    return result >= 0 ? result : -1;
}

int usbConnection::readRaw(char *buffer)
{
    if (!isOpen || !backend)
        return -1;
    const int n = backend->read(buffer, kReplyCapacity);
    return n >= 0 && n <= kReplyCapacity ? n : -1;
}

QPair<int, QString> usbConnection::readString()
{
    char buffer[kReplyCapacity + 1] = {};
    const int n = readRaw(buffer);
    if (n < 0)
        return {-1, QString()};
    buffer[n] = '\0';
    return {n, QString::fromLatin1(buffer, int(qstrnlen(buffer, uint(n))))};
}

QPair<int, QByteArray> usbConnection::readBytes()
{
    char buffer[kReplyCapacity + 1] = {};
    const int n = readRaw(buffer);
    if (n < 0)
        return {-1, QByteArray()};
    return {n, QByteArray(buffer, n)};
}

bool usbConnection::query(const std::string &command, QString &reply)
{
    sendBytes(wire(command));
    const QPair<int, QString> answer = readString();
    reply = replyText(answer);
    return answer.first >= 0;
}

void usbConnection::describePort(int port)
{
    QPair<int, QString> answer;
    if (sendBytes(wire(KitCommands::sendToModule(port, KitCommands::identify()))) < 0 ||
        sendBytes(wire(KitCommands::readFromModule(port))) < 0 ||
        (answer = readString()).first < 0) {
        modules.append(DeviceDescription());
        return;
    }
    const QStringList parts = splitReply(replyText(answer));
    if (parts.size() != 4 || sendBytes(wire(KitCommands::queryModuleFirmwareId(port))) < 0 ||
        (answer = readString()).first < 0) {
        modules.append(DeviceDescription());
        return;
    }
    DeviceDescription module;
    module.name = QStringLiteral("Port %1").arg(port);
    module.instDesc = QString::number(port);
    module.manufacturer = parts.at(0);
    module.productName = parts.at(1);
    module.serial = parts.at(2);
    module.version = parts.at(3);
    module.firmwareId = replyText(answer);
    modules.append(module);
}

void usbConnection::describe()
{
    QString reply;
    // A kit that missed one identification is asked once more before it counts as unknown.
    if (!query(KitCommands::identify(), reply) && !query(KitCommands::identify(), reply))
        return;
    const QStringList parts = splitReply(reply);
    if (parts.size() != 4)
        return;
    identity.manufacturer = parts.at(0);
    identity.productName = parts.at(1);
    identity.serial = parts.at(2);
    identity.version = parts.at(3);

    if (!query(KitCommands::queryFirmwareId(), reply))
        return;
    identity.firmwareId = reply;

    if (!query(KitCommands::queryModules(), reply))
        return;
    const int mask = decimal(reply);
    for (int port = 0; port < 4; ++port) {
        if (mask & (1 << port))
            describePort(port);
    }

    if (sendBytes(wire(KitCommands::queryLcd())) < 0)
        return;
    QPair<int, QString> answer = readString();
    if (answer.first < 0)
        return;
    if (decimal(replyText(answer)) == 1) {
        QPair<int, QString> serial, version;
        if (sendBytes(wire(KitCommands::queryLcdSerial())) < 0 ||
            (serial = readString()).first < 0 ||
            sendBytes(wire(KitCommands::queryLcdVersion())) < 0 ||
            (version = readString()).first < 0) {
            modules.append(DeviceDescription());
            return;
        }
        DeviceDescription micro;
        micro.name = micro.productName = QStringLiteral("LCD Micro");
        micro.instDesc = QStringLiteral("11");
        micro.manufacturer = QStringLiteral("Tamarin Works");
        micro.version = replyText(version).trimmed();
        micro.serial = replyText(serial).trimmed();
        micro.firmwareId = QStringLiteral("0002");
        modules.append(micro);
        DeviceDescription screen = micro;
        screen.name = screen.productName = QStringLiteral("LCD Screen");
        screen.instDesc = QStringLiteral("10");
        screen.firmwareId = QStringLiteral("0003");
        modules.append(screen);
    }

    if (sendBytes(wire(KitCommands::queryFpga())) < 0)
        return;
    answer = readString();
    if (answer.first < 0)
        return;
    if (decimal(replyText(answer)) != 0) {
        DeviceDescription fpga;
        fpga.name = fpga.productName = QStringLiteral("Altera FPGA");
        fpga.instDesc = QStringLiteral("12");
        fpga.manufacturer = QStringLiteral("Tamarin Works");
        fpga.version = identity.version;
        fpga.serial = identity.serial;
        fpga.firmwareId = replyText(answer).trimmed();
        modules.append(fpga);
    }
}
