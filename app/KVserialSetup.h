// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QSerialPort;

// A port that is not in the machine's list but should be offered first, such as a virtual kit's
// pseudo-terminal.
struct VirtualSerialPort
{
    QString path;  // what QSerialPort opens
    QString label; // what the serial set-up shows
};
QList<VirtualSerialPort> virtualSerialPorts();
void addVirtualSerialPort(const VirtualSerialPort &port);

namespace Ui {
class KVserialSetup;
}

// Lists the machine's serial ports and hands the chosen one, configured but not open, over.
class KVserialSetup : public QWidget
{
    Q_OBJECT
public:
    explicit KVserialSetup(QWidget *parent = nullptr);
    ~KVserialSetup() override;

    // The port name Connect will use: a listed entry's port, or whatever the user typed.
    QString chosenPortName() const;

signals:
    void portReady(QSerialPort *p);

private slots:
    void on_connect_btn_clicked();

private:
    bool createPort();

    Ui::KVserialSetup *ui;
    QSerialPort *port = nullptr;
};
