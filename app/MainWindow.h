// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>
#include <QString>

class DeviceConnectionSelector;
class QAction;
class InteractiveSerialIO;
class KVserialSetup;
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

signals:
    void msgReceived(QByteArray msg);

public slots:
    void receiveMessage();
    void setPort(QSerialPort *p);
    void raiseSerSetup();
    void sendMsg(QString msg);
    void configureBT();
    void configureUSB();

private slots:
    void portError(QSerialPort::SerialPortError error);
    void loadData(); // File > Load Data…: the current USB tab's Load

private:
    void showStatus(QString text);
    void showError(QString text);
    bool openBTport();
    void setUpMenus();

    qint32 numDevices = 0;
    Ui::MainWindow *ui;
    QSerialPort *port = nullptr;
    KVserialSetup *serialSetup = nullptr;
    InteractiveSerialIO *console = nullptr;
    usbTMCabstraction *usb = nullptr;
    DeviceConnectionSelector *connSelector = nullptr;
    QByteArray rxBuffer;
    QAction *loadAction = nullptr;
};
