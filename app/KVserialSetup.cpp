// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KVserialSetup.h"
#include "ui_KVserialSetup.h"

#include "widgets/Logging.h"

#include <QSerialPort>
#include <QSerialPortInfo>

static QList<VirtualSerialPort> &registry()
{
    static QList<VirtualSerialPort> ports;
    return ports;
}

QList<VirtualSerialPort> virtualSerialPorts() { return registry(); }

void addVirtualSerialPort(const VirtualSerialPort &port) { registry().append(port); }

KVserialSetup::KVserialSetup(QWidget *parent) : QWidget(parent), ui(new Ui::KVserialSetup)
{
    QStringList ports;
    const auto available = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : available) {
        qCDebug(lcApp) << info.description();
        ports.append(info.portName());
    }
    qCDebug(lcApp) << ports;

    ui->setupUi(this);
    // Editable, so that a device the list does not show (an unbound /dev/rfcomm0, a
    // pseudo-terminal) can be typed in.
    ui->availPorts_cmb->setEditable(true);
    ui->availPorts_cmb->setInsertPolicy(QComboBox::NoInsert);
    for (const VirtualSerialPort &virt : virtualSerialPorts())
        ui->availPorts_cmb->addItem(virt.label, virt.path);
    ui->availPorts_cmb->addItems(ports);
}

KVserialSetup::~KVserialSetup() { delete ui; }

QString KVserialSetup::chosenPortName() const
{
    const QComboBox *combo = ui->availPorts_cmb;
    const int index = combo->currentIndex();
    // A labelled entry (the virtual kit) carries its port name as item data.
    if (index >= 0 && combo->currentText() == combo->itemText(index)) {
        const QVariant data = combo->itemData(index);
        if (data.isValid())
            return data.toString();
    }
    return combo->currentText();
}

bool KVserialSetup::createPort()
{
    // A port handed over earlier that did not open is of no further use; an open one now
    // belongs to the main window. deleteLater keeps the old object alive until the event loop
    // runs, so the receiver never sees the same address twice.
    if (port && !port->isOpen())
        port->deleteLater();
    port = new QSerialPort(chosenPortName());
    return port != nullptr;
}

void KVserialSetup::on_connect_btn_clicked()
{
    createPort();
    port->setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::HardwareControl);
    emit portReady(port);
}
