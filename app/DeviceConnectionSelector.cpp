// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DeviceConnectionSelector.h"
#include "ui_DeviceConnectionSelector.h"

// The button pictures live in the widget library's resources, which a static library must
// register itself.
static void initResources() { Q_INIT_RESOURCE(resources); }

DeviceConnectionSelector::DeviceConnectionSelector(QWidget *parent)
    : QWidget(parent), ui(new Ui::DeviceConnectionSelector)
{
    initResources();
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Connection Setup"));
    // A reason after "No USB devices found!" wraps instead of widening the window.
    ui->msg_lbl->setWordWrap(true);
}

DeviceConnectionSelector::~DeviceConnectionSelector() { delete ui; }

void DeviceConnectionSelector::setMessage(QString text) { ui->msg_lbl->setText(text); }

void DeviceConnectionSelector::on_bluetooth_btn_clicked() { emit bluetoothClicked(); }

void DeviceConnectionSelector::on_usb_btn_clicked() { emit usbClicked(); }
