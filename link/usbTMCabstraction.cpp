// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/usbTMCabstraction.h"

#include "kit/KitCommands.h"
#include "link/LinkLogging.h"
#include "link/LinkThread.h"
#include "link/usbConnection.h"

namespace {
constexpr int kBiasGates = 22;
}

usbTMCabstraction::usbTMCabstraction(QObject *parent) : QObject(parent) {}

// Deletes the connection (and its backend) without closing anything; a link thread that uses
// this object is joined first, so that no job runs on a deleted connection.
usbTMCabstraction::~usbTMCabstraction()
{
    if (auto *link = findChild<LinkThread *>(QString(), Qt::FindDirectChildrenOnly))
        link->shutdown();
    delete connection;
}

QPair<int, QStringList> usbTMCabstraction::getDeviceList()
{
    if (!connection)
        connection = new usbConnection;
    if (connection->initLink() != 0)
        return {-1, {}};
    const QPair<int, QStringList> listed = connection->listDevices();
    if (listed.first < 0) {
        connection->releaseLink();
        isConnected = false;
        return {-4, {}};
    }
    QStringList targets;
    for (const QString &target : listed.second) {
        if (connection->openKit(target) < 0) {
            qCDebug(lcUsb) << "Could not detect USB devices";
            continue;
        }
        connection->describe();
        targets.append(connection->identity.instDesc);
        connection->closeKit();
    }
    connection->releaseLink();
    isConnected = false;
    return {0, targets};
}

QString usbTMCabstraction::lastProblem() const
{
    return connection ? connection->lastProblem() : QString();
}

qint32 usbTMCabstraction::openConnection(QString target)
{
    isConnected = false;
    if (!connection) {
        emit connectionOpened(-10);
        return -10;
    }
    if (!openLock.tryLock()) {
        emit connectionOpened(-99);
        return -99;
    }
    if (connection->initLink() != 0) {
        openLock.unlock();
        emit connectionOpened(-1);
        return -1;
    }
    if (connection->openKit(target) < 0) {
        connection->releaseLink();
        openLock.unlock();
        emit connectionOpened(-2);
        return -2;
    }
    holdsOpen = true;
    isConnected = true;
    emit connectionOpened(0);
    return 0;
}

qint32 usbTMCabstraction::closeConnection()
{
    isConnected = false;
    // Unlocking what a failed open never took would free a lock someone else holds.
    if (holdsOpen) {
        connection->closeKit();
        connection->releaseLink();
        holdsOpen = false;
        openLock.unlock();
    }
    emit connectionClosed();
    return 0;
}

int usbTMCabstraction::sendVISACommand(QString command)
{
    const int result = connection ? connection->sendString(command) : -1;
    emit retVal(result);
    return result;
}

QPair<int, QByteArray> usbTMCabstraction::readVISAResponseByte()
{
    return connection ? connection->readBytes() : QPair<int, QByteArray>(-1, QByteArray());
}

QPair<int, QString> usbTMCabstraction::readVISAResponseString()
{
    return connection ? connection->readString() : QPair<int, QString>(-1, QString());
}

QString usbTMCabstraction::getProductName()
{
    return connection ? connection->identity.productName : DeviceDescription().productName;
}

QString usbTMCabstraction::getVersion()
{
    return connection ? connection->identity.version : DeviceDescription().version;
}

QString usbTMCabstraction::getSerial()
{
    return connection ? connection->identity.serial : DeviceDescription().serial;
}

QString usbTMCabstraction::getInstDesc()
{
    return connection ? connection->identity.instDesc : DeviceDescription().instDesc;
}

QString usbTMCabstraction::getMan()
{
    return connection ? connection->identity.manufacturer : DeviceDescription().manufacturer;
}

void usbTMCabstraction::getDescriptions()
{
    if (connection)
        connection->describe();
}

int usbTMCabstraction::setPower(bool pow)
{
    if (!isConnected)
        return -1;
    connection->sendString(QString::fromStdString(KitCommands::setSystemPower(pow)));
    return 0;
}

template <typename T, typename Convert>
QList<T> usbTMCabstraction::queryList(const std::string &command, Convert convert)
{
    if (!isConnected)
        return {};
    connection->sendString(QString::fromStdString(command));
    const QPair<int, QString> reply = connection->readString();
    if (reply.first < 0)
        return {};
    QList<T> values;
    for (const QString &part : replyText(reply).split(QLatin1Char(','), Qt::KeepEmptyParts)) {
        bool ok = false;
        const T value = convert(part.trimmed(), &ok);
        values.append(ok ? value : T(0));
    }
    return values;
}

QList<int> usbTMCabstraction::getAttens()
{
    return queryList<int>(KitCommands::queryAttenuators(),
                          [](const QString &s, bool *ok) { return s.toInt(ok, 10); });
}

QList<float> usbTMCabstraction::getTemps()
{
    return queryList<float>(KitCommands::queryTemperatures(),
                            [](const QString &s, bool *ok) { return s.toFloat(ok); });
}

QList<int> usbTMCabstraction::getCurrents()
{
    return queryList<int>(KitCommands::queryCurrents(),
                          [](const QString &s, bool *ok) { return s.toInt(ok, 10); });
}

QList<int> usbTMCabstraction::getStatus()
{
    return queryList<int>(KitCommands::queryModuleStatus(),
                          [](const QString &s, bool *ok) { return s.toInt(ok, 10); });
}

float usbTMCabstraction::getTime()
{
    if (!isConnected)
        return -1.0f;
    connection->sendString(QString::fromStdString(KitCommands::queryTime()));
    const QPair<int, QString> reply = connection->readString();
    if (reply.first < 0)
        return -1.0f;
    bool ok = false;
    const float value = replyText(reply).trimmed().toFloat(&ok);
    return ok ? value : -1.0f;
}

QString usbTMCabstraction::getFirmVer()
{
    if (!isConnected)
        return QString();
    connection->sendString(QString::fromStdString(KitCommands::queryFirmware()));
    const QPair<int, QString> reply = connection->readString();
    return reply.first < 0 ? QString() : replyText(reply);
}

int usbTMCabstraction::setAtten(int channel, int value)
{
    if (!isConnected)
        return -1;
    connection->sendString(QString::fromStdString(KitCommands::setAttenuator(channel, value)));
    return 0;
}

int usbTMCabstraction::biasGateVoltageIndex(int index)
{
    if (!isConnected)
        return -1;
    // Truncating division: every negative index lands outside the gates.
    return biasGateVoltage(index / 5 + 1, index % 5);
}

int usbTMCabstraction::biasGateVoltage(int channel, int device)
{
    if (!isConnected)
        return -1;
    if (channel < 1 || channel > 5 || device < 0 || device > 4 ||
        (channel - 1) * 5 + device >= kBiasGates)
        return -2;
    connection->sendString(QString::fromStdString(KitCommands::setBiasGate(channel, device)));
    return 0;
}
