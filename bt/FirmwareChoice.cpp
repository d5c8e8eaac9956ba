// SPDX-License-Identifier: GPL-3.0-or-later
#include "bt/FirmwareChoice.h"

#include "kit/RadarMath.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

FirmwareChoice::FirmwareChoice(QWidget *parent) : QWidget(parent)
{
    box = new QComboBox(this);
    box->setObjectName(QStringLiteral("firmware_cmb"));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems({QStringLiteral("1.0.0"), QStringLiteral("1.1.0")});
    box->setToolTip(tr("The kit's firmware version (its label or the USB identification): "
                       "it sets the sample period of every axis and of saved frames"));
    period = new QLabel(this);
    period->setObjectName(QStringLiteral("samplePeriod_lbl"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Kit firmware:"), this));
    layout->addWidget(box, 1);
    layout->addWidget(period);
    connect(box, &QComboBox::currentTextChanged, this, [this] {
        update();
        emit changed();
    });
    update();
}

QString FirmwareChoice::firmware() const { return box->currentText().trimmed(); }

double FirmwareChoice::samplePeriodS() const
{
    return RadarMath::samplePeriodForFirmware(firmware().toStdString());
}

void FirmwareChoice::update()
{
    period->setText(tr("%1 µs").arg(samplePeriodS() * 1e6, 0, 'g', 4));
}
