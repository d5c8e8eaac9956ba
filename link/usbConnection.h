// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/UsbDeviceLayer.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class UsbCommBackend;

// The identity of a kit or of one of its modules.
struct DeviceDescription
{
    QString name = QStringLiteral("Unknown");
    QString instDesc = QStringLiteral("-1");
    QString manufacturer = QStringLiteral("Unknown");
    QString productName = QStringLiteral("Unknown");
    QString version = QStringLiteral("Unknown");
    QString serial = QStringLiteral("Unknown");
    QString firmwareId = QStringLiteral("-1");

    bool operator==(const DeviceDescription &other) const;
    bool operator!=(const DeviceDescription &other) const { return !(*this == other); }
};

// Makes the USB link exclusive across the process: held from initLink to releaseLink,
// only ever taken with tryLock.
extern QMutex linkLock;

// Where the native backend gets its device layer. Empty (the default) means the platform's
// own: libusb on Linux and macOS, the USBTMC driver on Windows. While a factory is set
// (the virtual kits of the demo), VISA is skipped so that the virtual kits are what the user sees.
using DeviceLayerFactory = std::function<UsbDeviceLayerPtr()>;
void setDeviceLayerFactory(DeviceLayerFactory factory);
UsbDeviceLayerPtr createDeviceLayer();

// The VISA library names createBackend tries; an empty list restores "visa32", then "visa".
void setVisaLibraryNames(const QStringList &names);

// A new backend owned by the caller: VISA whenever its library loads, else the native one.
UsbCommBackend *createBackend();

// One backend, one kit open at a time, identification of the open kit.
class usbConnection : public QObject
{
    Q_OBJECT
public:
    usbConnection();
    ~usbConnection() override;

    int initLink();
    void releaseLink();
    int openKit(const QString &target);
    void closeKit();
    QPair<int, QStringList> listDevices();
    int sendString(const QString &command);
    int sendBytes(const QByteArray &command);
    QPair<int, QString> readString();
    QPair<int, QByteArray> readBytes();
    void describe();

    UsbCommBackend *currentBackend() const { return backend; }
    // Why the last kit could not be opened; empty when nothing failed.
    QString lastProblem() const;

    DeviceDescription identity;
    QList<DeviceDescription> modules;

private:
    void resetIdentity();
    int readRaw(char *buffer);
    bool query(const std::string &command, QString &reply);
    void describePort(int port);

    UsbCommBackend *backend = nullptr;
    bool isOpen = false;
    bool holdsLink = false; // releaseLink must never free a lock another connection holds
};
