// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/parameterDialog.h"
#include "ui_parameterDialog.h"

parameterDialog::parameterDialog(QWidget *parent) : QDialog(parent), ui(new Ui::parameterDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("!!"));
}

parameterDialog::~parameterDialog() { delete ui; }

void parameterDialog::setMessage(QString text) { ui->label->setText(text); }
