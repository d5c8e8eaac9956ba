// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class parameterDialog;
}

// A small message dialog with OK and Cancel; the tabs show it without waiting for it.
class parameterDialog : public QDialog
{
    Q_OBJECT
public:
    explicit parameterDialog(QWidget *parent = nullptr);
    ~parameterDialog() override;

    void setMessage(QString text);

private:
    Ui::parameterDialog *ui;
};
