// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/DeviceConnectionSelector.h"
#include "app/InteractiveSerialIO.h"
#include "app/KVserialSetup.h"
#include "app/Logging.h"
#include "bt/BtFraming.h"
#include "bt/kv7310bt_tab.h"
#include "link/usbTMCabstraction.h"
#include "radar/TR7310_tab.h"

#include <QThread>
#include <QTime>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("KVVLX Control GUI"));
    port = nullptr;
    numDevices = 0;

    connSelector = new DeviceConnectionSelector();
    connSelector->show();
    connect(connSelector, SIGNAL(bluetoothClicked()), this, SLOT(configureBT()));
    connect(connSelector, SIGNAL(usbClicked()), this, SLOT(configureUSB()));

    showStatus(QStringLiteral("Not connected"));

    console = new InteractiveSerialIO();
    connect(console, SIGNAL(sendMsg(QString)), this, SLOT(sendMsg(QString)));
    connect(this, SIGNAL(msgReceived(QByteArray)), console, SLOT(showReceivedText(QByteArray)));

    usb = new usbTMCabstraction();
}

MainWindow::~MainWindow() { delete ui; }

void MainWindow::showStatus(QString text) { ui->statusBar->showMessage(text, 0); }

void MainWindow::showError(QString text)
{
    showStatus(QStringLiteral("[") + QTime::currentTime().toString(QStringLiteral("hh:mm")) +
               QStringLiteral("] ") + QStringLiteral("ERROR: ") + text + QStringLiteral("\n"));
}

void MainWindow::configureUSB()
{
    const QStringList devices = usb->getDeviceList().second;
    if (devices.isEmpty()) {
        connSelector->setMessage(QStringLiteral("No USB devices found!"));
        return;
    }
    for (const QString &device : devices) {
        if (usb->openConnection(device) < 0) {
            qCDebug(lcApp) << "Could not detect USB devices";
            continue;
        }
        usb->getDescriptions();
        const QString instDesc = usb->getInstDesc();
        const QString serial = usb->getSerial();
        const QString version = usb->getVersion();
        const QString productName = usb->getProductName();
        const QString manufacturer = usb->getMan();
        qCDebug(lcApp).noquote() << instDesc << serial << version << productName << manufacturer;
        if (productName.startsWith(QStringLiteral("KV7310"))) {
            qCDebug(lcApp) << "KV7310 found!";
            ++numDevices;
            showStatus(QString::number(numDevices) + QStringLiteral(" device(s) found"));
            auto *tab = new TR7310_tab(usb, instDesc, version, productName, serial, nullptr);
            tab->setAttribute(Qt::WA_DeleteOnClose);
            ui->activityTabs_tab->addTab(tab, QStringLiteral("SN:%1").arg(serial));
        }
        usb->closeConnection();
    }
    connSelector->close();
}

void MainWindow::configureBT()
{
    serialSetup = new KVserialSetup();
    connect(serialSetup, SIGNAL(portReady(QSerialPort *)), this, SLOT(setPort(QSerialPort *)));
    serialSetup->show();
}

void MainWindow::setPort(QSerialPort *p)
{
    port = p;
    qCDebug(lcApp) << "Port set";
    openBTport();
    qCDebug(lcApp) << "Port opened";
}

bool MainWindow::openBTport()
{
    port->open(QIODevice::ReadWrite);
    if (!port->isOpen()) {
        showError(QStringLiteral("port not opened!"));
        return false;
    }
    auto *tab = new kv7310bt_tab(nullptr);
    ui->activityTabs_tab->addTab(tab, QStringLiteral("VLX BT"));
    connect(this, SIGNAL(msgReceived(QByteArray)), tab, SLOT(parseBTmsg(QByteArray)));
    connect(tab, SIGNAL(sendBTmsg(QString)), this, SLOT(sendMsg(QString)));
    ui->activityTabs_tab->addTab(console, QStringLiteral("I/O"));
    showStatus(QStringLiteral("Connected over BT"));
    serialSetup->close();
    connect(port, SIGNAL(readyRead()), this, SLOT(receiveMessage()));
    connect(port, SIGNAL(errorOccurred(QSerialPort::SerialPortError)), this,
            SLOT(portError(QSerialPort::SerialPortError)));
    connSelector->close();
    return true;
}

void MainWindow::receiveMessage()
{
    if (!port)
        return;
    rxBuffer.append(port->read(port->bytesAvailable()));
    qCDebug(lcBt) << "ends found: " << BtFraming::countTerminators(rxBuffer);
    const QList<QByteArray> messages = BtFraming::takeMessages(rxBuffer);
    for (const QByteArray &message : messages)
        emit msgReceived(message);
    if (const qsizetype dropped = BtFraming::enforceBound(rxBuffer))
        qCWarning(lcBt) << "no message terminator in" << dropped << "bytes; dropped them";
}

void MainWindow::portError(QSerialPort::SerialPortError error)
{
    // A vanished device (link lost, adapter unplugged) reports these over and over while the
    // port stays open; close it once so the event loop goes quiet.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
        error != QSerialPort::WriteError)
        return;
    if (!port || !port->isOpen())
        return;
    const QString reason = port->errorString();
    port->close();
    showError(QStringLiteral("port closed: ") + reason);
}

void MainWindow::sendMsg(QString msg)
{
    if (port && port->isOpen()) {
        port->write(msg.toUtf8());
        // The port buffers writes until the event loop runs; push the bytes out now so the
        // pause below really lies between this command and the next on the line.
        port->flush();
    }
    // Paces commands for the kit's serial link.
    QThread::msleep(100);
}

void MainWindow::raiseSerSetup()
{
    connSelector->raise();
    connSelector->activateWindow();
}
