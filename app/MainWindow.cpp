// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/DeviceConnectionSelector.h"
#include "app/InteractiveSerialIO.h"
#include "app/KVserialSetup.h"
#include "bt/BtFraming.h"
#include "bt/PacedWriter.h"
#include "bt/kv7310bt_tab.h"
#include "link/LinkThread.h"
#include "link/usbTMCabstraction.h"
#include "radar/TR7310_tab.h"
#include "widgets/Logging.h"

#include "app/AppInfo.h"
#include "app/SigmfExport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <QTime>
#include <algorithm>

namespace {

// The port's own reason, and what to do where the usual fix is known.
QString portProblem(const QSerialPort &port)
{
    QString reason = port.errorString();
    if (port.portName().isEmpty())
        reason = QStringLiteral("No port chosen");
    else if (port.error() == QSerialPort::PermissionError)
        reason += QStringLiteral(" (is the port in use, or are you not in the dialout group?)");
    return reason;
}

} // namespace

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

    writer = new PacedWriter(this);
    writer->setSink([this](const QByteArray &bytes) {
        if (!port || !port->isOpen())
            return;
        port->write(bytes);
        // The port buffers writes until the event loop runs; push the bytes out now so the
        // pause really lies between this message and the next on the line.
        port->flush();
    });

    console = new InteractiveSerialIO();
    connect(console, SIGNAL(sendMsg(QString)), this, SLOT(sendMsg(QString)));
    connect(this, SIGNAL(msgReceived(QByteArray)), console, SLOT(showReceivedText(QByteArray)));

    usb = new usbTMCabstraction();

    holdTimer = new QTimer(this);
    holdTimer->setSingleShot(true);
    holdTimer->setInterval(kHoldMs);
    connect(holdTimer, &QTimer::timeout, this, [this] { deliver(rxFramer.release()); });

    reconnect_btn = new QPushButton(QStringLiteral("Reconnect"), this);
    reconnect_btn->setObjectName(QStringLiteral("reconnect_btn"));
    reconnect_btn->setToolTip(QStringLiteral("Open the Bluetooth port again"));
    reconnect_btn->hide();
    statusBar()->addPermanentWidget(reconnect_btn);
    connect(reconnect_btn, SIGNAL(clicked()), this, SLOT(reconnectBT()));
    setUpMenus();
    // Big enough that no page title or note is cut, but never beyond the screen.
    if (const QScreen *available = screen())
        resize(QSize(1280, 800).boundedTo(available->availableGeometry().size()));
}

void MainWindow::setUpMenus()
{
    QMenu *file = ui->menuBar->addMenu(QStringLiteral("&File"));
    loadAction = file->addAction(QStringLiteral("&Load Data…"), this, &MainWindow::loadData);
    loadAction->setShortcut(QKeySequence::Open);
    loadAction->setEnabled(false);
    SigmfExport::addActions(file, ui->activityTabs_tab, this,
                            [this](const QString &text, bool error) {
                                if (error)
                                    showError(text);
                                else
                                    showStatus(text);
                            });
    file->addSeparator();
    file->addAction(QStringLiteral("&Rescan USB"), this, &MainWindow::rescanUSB);
    // Again after the first link: another kit, or the same port once it is back.
    file->addAction(QStringLiteral("Connect &Bluetooth…"), this, &MainWindow::configureBT);
    file->addSeparator();
    QAction *quit = file->addAction(QStringLiteral("&Quit"), qApp, &QApplication::closeAllWindows);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu *help = ui->menuBar->addMenu(QStringLiteral("&Help"));
    QAction *start = help->addAction(QStringLiteral("&Getting started"), this, [this] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Getting started"),
                        AppInfo::gettingStartedText(), QMessageBox::Close, this);
        box.exec();
    });
    start->setShortcut(QKeySequence::HelpContents);
    QAction *about = help->addAction(QStringLiteral("&About KVVLX Control GUI"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About KVVLX Control GUI"), AppInfo::aboutText());
    });
    about->setMenuRole(QAction::AboutRole);
    help->addAction(QStringLiteral("About &Qt"), qApp, &QApplication::aboutQt);

    // Load Data acts on a USB radar tab; the Bluetooth tab and the console have no plots.
    connect(ui->activityTabs_tab, &QTabWidget::currentChanged, this, [this] {
        loadAction->setEnabled(qobject_cast<TR7310_tab *>(ui->activityTabs_tab->currentWidget()));
    });
}

void MainWindow::loadData()
{
    if (auto *tab = qobject_cast<TR7310_tab *>(ui->activityTabs_tab->currentWidget()))
        QMetaObject::invokeMethod(tab, "on_load_btn_clicked");
}

MainWindow::~MainWindow() { delete ui; }

void MainWindow::showStatus(QString text) { ui->statusBar->showMessage(text, 0); }

void MainWindow::showError(QString text)
{
    showStatus(QStringLiteral("[") + QTime::currentTime().toString(QStringLiteral("hh:mm")) +
               QStringLiteral("] ") + QStringLiteral("ERROR: ") + text + QStringLiteral("\n"));
}

// Enumeration and identification run on the link thread; the tabs are made here once the
// answers are back.
void MainWindow::configureUSB() { searchUsb(false); }

void MainWindow::rescanUSB() { searchUsb(true); }

void MainWindow::searchUsb(bool rescan)
{
    LinkThread *link = LinkThread::of(usb);
    if (!link || usbSearchRunning)
        return;
    usbSearchRunning = true;
    link->submit(this, nullptr, [this, rescan](LinkThread::Job &job) -> LinkThread::Done {
        usbTMCabstraction &inst = job.inst;
        const QStringList devices = inst.getDeviceList().second;
        // A kit that is there but would not open (no udev rule, say) is named with the reason.
        const QString problem = devices.isEmpty() ? inst.lastProblem() : QString();
        QList<FoundKit> kits;
        for (const QString &device : devices) {
            FoundKit kit;
            if (inst.openConnection(device) >= 0) {
                kit.opened = true;
                inst.getDescriptions();
                kit.instDesc = inst.getInstDesc();
                kit.serial = inst.getSerial();
                kit.version = inst.getVersion();
                kit.productName = inst.getProductName();
                kit.manufacturer = inst.getMan();
                inst.closeConnection();
            }
            kits.append(kit);
        }
        return [this, kits, problem, rescan] { addUsbTabs(kits, problem, rescan); };
    });
}

bool MainWindow::hasUsbTab(const QString &serial) const
{
    for (int i = 0; i < ui->activityTabs_tab->count(); ++i)
        if (qobject_cast<TR7310_tab *>(ui->activityTabs_tab->widget(i)) &&
            ui->activityTabs_tab->tabText(i) == QStringLiteral("SN:%1").arg(serial))
            return true;
    return false;
}

void MainWindow::addUsbTabs(const QList<FoundKit> &kits, const QString &problem, bool rescan)
{
    usbSearchRunning = false;
    const int before = numDevices;
    if (kits.isEmpty() && !rescan) {
        connSelector->setMessage(QStringLiteral("No USB devices found!") +
                                 (problem.isEmpty() ? QString() : QStringLiteral("\n") + problem));
        emit usbSearchDone();
        return;
    }
    for (const FoundKit &kit : kits) {
        if (!kit.opened) {
            qCDebug(lcApp) << "Could not detect USB devices";
            continue;
        }
        qCDebug(lcApp).noquote() << kit.instDesc << kit.serial << kit.version << kit.productName
                                 << kit.manufacturer;
        // A kit that has its tab keeps it; the tab finds it again should its port change.
        if (kit.productName.startsWith(QStringLiteral("KV7310")) && !hasUsbTab(kit.serial)) {
            qCDebug(lcApp) << "KV7310 found!";
            ++numDevices;
            showStatus(QString::number(numDevices) + QStringLiteral(" device(s) found"));
            auto *tab = new TR7310_tab(usb, kit.instDesc, kit.version, kit.productName, kit.serial,
                                       nullptr);
            tab->setAttribute(Qt::WA_DeleteOnClose);
            connect(tab, &TR7310_tab::captureStatus, this, &MainWindow::showStatus);
            connect(tab, &TR7310_tab::errorMessage, this, &MainWindow::showError);
            ui->activityTabs_tab->addTab(tab, QStringLiteral("SN:%1").arg(kit.serial));
        }
    }
    if (rescan && numDevices == before)
        showStatus(QStringLiteral("Rescan USB: no new kit found") +
                   (problem.isEmpty() ? QString() : QStringLiteral(" (") + problem + ')'));
    connSelector->close();
    emit usbSearchDone();
}

void MainWindow::configureBT()
{
    serialSetup = new KVserialSetup();
    connect(serialSetup, SIGNAL(portReady(QSerialPort *)), this, SLOT(setPort(QSerialPort *)));
    serialSetup->show();
    // Beside the selector it was opened from, not wherever the window manager likes.
    QRect place(connSelector->frameGeometry().topRight() + QPoint(12, 0),
                serialSetup->frameGeometry().size());
    if (const QScreen *available = connSelector->screen()) {
        const QRect area = available->availableGeometry();
        if (place.right() > area.right()) // no room on the right: go below
            place.moveTopLeft(connSelector->frameGeometry().bottomLeft() + QPoint(0, 12));
        place.moveBottom(std::min(place.bottom(), area.bottom()));
    }
    serialSetup->move(place.topLeft());
}

void MainWindow::setPort(QSerialPort *p)
{
    closeBtLink();
    port = p;
    qCDebug(lcApp) << "Port set";
    openBTport();
    qCDebug(lcApp) << "Port opened";
}

bool MainWindow::openBTport()
{
    port->open(QIODevice::ReadWrite);
    if (!port->isOpen()) {
        showError(QStringLiteral("port not opened! ") + portProblem(*port));
        return false;
    }
    auto *tab = new kv7310bt_tab(nullptr);
    ui->activityTabs_tab->addTab(tab, QStringLiteral("VLX BT"));
    connect(this, SIGNAL(msgReceived(QByteArray)), tab, SLOT(parseBTmsg(QByteArray)));
    connect(tab, SIGNAL(sendBTmsg(QString)), this, SLOT(sendMsg(QString)));
    connect(writer, &PacedWriter::busyChanged, tab, &kv7310bt_tab::setLineBusy);
    connect(tab, SIGNAL(errorMessage(QString)), this, SLOT(showError(QString)));
    connect(tab, &kv7310bt_tab::captureStatus, this, &MainWindow::showStatus);
    ui->activityTabs_tab->addTab(console, QStringLiteral("I/O"));
    showStatus(QStringLiteral("Connected over BT"));
    serialSetup->close();
    connect(port, SIGNAL(readyRead()), this, SLOT(receiveMessage()));
    connect(port, SIGNAL(errorOccurred(QSerialPort::SerialPortError)), this,
            SLOT(portError(QSerialPort::SerialPortError)));
    connSelector->close();
    return true;
}

// A new Bluetooth link replaces the old one: its port closes, its tab and console leave.
void MainWindow::closeBtLink()
{
    if (!port)
        return;
    port->disconnect(this);
    port->close();
    port->deleteLater();
    port = nullptr;
    writer->discardPending(); // what the old tab had queued is not for the new kit
    rxFramer.clear();
    holdTimer->stop();
    reconnect_btn->hide();
    ui->activityTabs_tab->removeTab(ui->activityTabs_tab->indexOf(console));
    if (auto *old = ui->activityTabs_tab->findChild<kv7310bt_tab *>()) {
        ui->activityTabs_tab->removeTab(ui->activityTabs_tab->indexOf(old));
        old->setParent(nullptr);
        old->deleteLater();
    }
}

void MainWindow::receiveMessage()
{
    if (!port)
        return;
    qsizetype dropped = 0;
    const QList<QByteArray> messages = rxFramer.feed(port->read(port->bytesAvailable()), &dropped);
    qCDebug(lcBt) << "ends found: " << messages.size();
    deliver(messages);
    if (dropped)
        qCWarning(lcBt) << "no message terminator in" << dropped << "bytes; dropped them";
    if (rxFramer.holding())
        holdTimer->start();
    else
        holdTimer->stop();
}

void MainWindow::deliver(const QList<QByteArray> &messages)
{
    for (const QByteArray &message : messages)
        emit msgReceived(message);
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
    rxFramer.clear(); // a message cut off by the loss would swallow the first one after it
    showError(QStringLiteral("port closed: ") + reason);
    reconnect_btn->show();
}

void MainWindow::reconnectBT()
{
    if (!port || port->isOpen())
        return;
    // The same port object keeps its name and line settings.
    port->clearError();
    if (!port->open(QIODevice::ReadWrite)) {
        showError(QStringLiteral("port not opened!"));
        return;
    }
    rxFramer.clear();
    reconnect_btn->hide();
    showStatus(QStringLiteral("Connected over BT"));
}

void MainWindow::sendMsg(QString msg)
{
    const QByteArray bytes = msg.toUtf8();
    rxFramer.noteCommand(bytes);
    writer->write(bytes);
}

void MainWindow::setWritePause(int ms) { writer->setPause(ms); }

void MainWindow::raiseSerSetup()
{
    connSelector->raise();
    connSelector->activateWindow();
}
