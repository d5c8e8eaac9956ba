// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InteractiveSerialIO.h"
#include "ui_InteractiveSerialIO.h"

#include <QTextCursor>

InteractiveSerialIO::InteractiveSerialIO(QWidget *parent)
    : QWidget(parent), ui(new Ui::InteractiveSerialIO)
{
    ui->setupUi(this);
}

InteractiveSerialIO::~InteractiveSerialIO() { delete ui; }

void InteractiveSerialIO::on_send_btn_clicked()
{
    // Sent exactly as typed: the user types the kit's "$" terminator.
    emit sendMsg(ui->send_txt->text());
}

void InteractiveSerialIO::showReceivedText(QByteArray msg)
{
    const qsizetype zero = msg.indexOf('\0');
    const QString text = QString::fromLatin1(zero < 0 ? msg : msg.left(zero));
    QTextCursor cursor = ui->receive_txt->textCursor();
    cursor.insertText(text);
    cursor.movePosition(QTextCursor::End);
    ui->receive_txt->setTextCursor(cursor);
}
