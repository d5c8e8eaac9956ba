// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class DeviceConnectionSelector;
}

// The window shown at start that asks how the kit is connected.
class DeviceConnectionSelector : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceConnectionSelector(QWidget *parent = nullptr);
    ~DeviceConnectionSelector() override;

    void setMessage(QString text);

signals:
    void bluetoothClicked();
    void usbClicked();

private slots:
    void on_bluetooth_btn_clicked();
    void on_usb_btn_clicked();

private:
    Ui::DeviceConnectionSelector *ui;
};
