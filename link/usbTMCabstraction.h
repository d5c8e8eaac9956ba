// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/UsbReply.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <string>

class usbConnection;

// The one object through which the application talks to kits over USB. Every exchange is a
// bracket: openConnection(target), sends and reads, closeConnection().
class usbTMCabstraction : public QObject
{
    Q_OBJECT
public:
    explicit usbTMCabstraction(QObject *parent = nullptr);
    ~usbTMCabstraction() override;

    // Why the last kit could not be opened (by getDeviceList or openConnection), with a hint
    // for the user; empty when nothing failed.
    QString lastProblem() const;

signals:
    void connectionClosed();
    void connectionOpened(qint32 val);
    void error(qint32 val, QString err);
    void retVal(qint32 val);

public slots:
    QPair<int, QStringList> getDeviceList();
    qint32 openConnection(QString target);
    qint32 closeConnection();
    int sendVISACommand(QString command);
    QPair<int, QByteArray> readVISAResponseByte();
    // The reply as read, its terminator included; replyText() gives what to use of it.
    QPair<int, QString> readVISAResponseString();
    QString getProductName();
    QString getVersion();
    QString getSerial();
    QString getInstDesc();
    QString getMan();
    void getDescriptions();
    int setPower(bool pow);
    QList<int> getAttens();
    QList<float> getTemps();
    QList<int> getCurrents();
    QList<int> getStatus();
    float getTime();
    QString getFirmVer();
    int setAtten(int channel, int value);
    int biasGateVoltageIndex(int index);
    int biasGateVoltage(int channel, int device);

private:
    template <typename T, typename Convert>
    QList<T> queryList(const std::string &command, Convert convert);

    usbConnection *connection = nullptr;
    bool isConnected = false;
    QMutex openLock;
    // A kit opened here and not yet closed; closeConnection undoes only what is held.
    bool holdsOpen = false;
};
