// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;

// The kit's firmware as the user states it: the Bluetooth link never tells it, yet the sample
// period, and with it every time and frequency axis, depends on it (1.1.0 samples every 45.05 us).
class FirmwareChoice : public QWidget
{
    Q_OBJECT
public:
    explicit FirmwareChoice(QWidget *parent = nullptr);

    QString firmware() const;
    double samplePeriodS() const;

signals:
    void changed();

private:
    void update();

    QComboBox *box;
    QLabel *period;
};
