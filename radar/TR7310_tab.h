#pragma once

#include <QString>
#include <QWidget>

class usbTMCabstraction;

// The USB radar tab of one kit. Placeholder until the radar tab lands: it keeps the
// constructor the main window uses and shows nothing.
class TR7310_tab : public QWidget
{
    Q_OBJECT
public:
    TR7310_tab(usbTMCabstraction *inst, QString instDesc, QString firmwareVersion,
               QString productName, QString serialNumber, QWidget *parent = nullptr);

private:
    QString instDesc;
    QString firmwareVersion;
    QString productName;
    QString serialNumber;
    usbTMCabstraction *inst;
};
