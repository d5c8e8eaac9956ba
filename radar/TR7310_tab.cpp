#include "radar/TR7310_tab.h"

TR7310_tab::TR7310_tab(usbTMCabstraction *inst, QString instDesc, QString firmwareVersion,
                       QString productName, QString serialNumber, QWidget *parent)
    : QWidget(parent), instDesc(instDesc), firmwareVersion(firmwareVersion),
      productName(productName), serialNumber(serialNumber), inst(inst)
{
}
