// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bt/BtFraming.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QSerialPort>
#include <QString>

class DeviceConnectionSelector;
class QAction;
class InteractiveSerialIO;
class KVserialSetup;
class PacedWriter;
class QPushButton;
class QTimer;
class usbTMCabstraction;

namespace Ui {
class MainWindow;
}

// The one main window: activity tabs, status bar, and the owner of the Bluetooth serial link.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The quiet time after every write to the Bluetooth port, 100 ms unless replaced (tests
    // shorten it).
    void setWritePause(int ms);

signals:
    void msgReceived(QByteArray msg);
    // A USB search (configureUSB) ended, with or without new tabs.
    void usbSearchDone();

public slots:
    void receiveMessage();
    void setPort(QSerialPort *p);
    void raiseSerSetup();
    void sendMsg(QString msg);
    void configureBT();
    void configureUSB();
    // File > Rescan USB: tabs for kits plugged in since; the status bar says when none is new.
    void rescanUSB();

private slots:
    void portError(QSerialPort::SerialPortError error);
    void showError(QString text);
    void reconnectBT();
    void loadData(); // File > Load Data…: the current USB tab's Load

private:
    // What discovery learnt of one listed kit.
    struct FoundKit
    {
        bool opened = false;
        QString instDesc, serial, version, productName, manufacturer;
    };
    void searchUsb(bool rescan);
    void addUsbTabs(const QList<FoundKit> &kits, const QString &problem, bool rescan);
    bool hasUsbTab(const QString &serial) const;
    void closeBtLink();
    void showStatus(QString text);
    bool openBTport();
    void setUpMenus();

    qint32 numDevices = 0;
    Ui::MainWindow *ui;
    QSerialPort *port = nullptr;
    KVserialSetup *serialSetup = nullptr;
    InteractiveSerialIO *console = nullptr;
    usbTMCabstraction *usb = nullptr;
    DeviceConnectionSelector *connSelector = nullptr;
    // Cuts the received bytes into messages; a data reply held for the rest of its samples goes
    // out as it is when the line stays quiet for kHoldMs.
    BtFraming::Framer rxFramer;
    QTimer *holdTimer = nullptr;
    static constexpr int kHoldMs = 1000;
    void deliver(const QList<QByteArray> &messages);
    PacedWriter *writer = nullptr; // what the tab and the console send, in order, paced
    bool usbSearchRunning = false; // discovery runs on the link thread; one at a time
    // Shown in the status bar while the Bluetooth port has vanished: opens it again by name.
    QPushButton *reconnect_btn = nullptr;
    QAction *loadAction = nullptr;
};
