// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

namespace Ui {
class InteractiveSerialIO;
}

// The "I/O" console: sends a typed command line to the kit and shows everything it sends back.
class InteractiveSerialIO : public QWidget
{
    Q_OBJECT
public:
    explicit InteractiveSerialIO(QWidget *parent = nullptr);
    ~InteractiveSerialIO() override;

signals:
    void sendMsg(QString msg);

public slots:
    void showReceivedText(QByteArray msg);

private slots:
    void on_send_btn_clicked();

private:
    Ui::InteractiveSerialIO *ui;
};
