#include "link/usbTMCabstraction.h"

// Placeholder until the device connection lands: no backend, so no kit is ever listed.
usbTMCabstraction::usbTMCabstraction(QObject *parent) : QObject(parent) {}
usbTMCabstraction::~usbTMCabstraction() = default;

QPair<int, QStringList> usbTMCabstraction::getDeviceList() { return {0, {}}; }
qint32 usbTMCabstraction::openConnection(QString)
{
    isConnected = false;
    emit connectionOpened(-10);
    return -10;
}
qint32 usbTMCabstraction::closeConnection()
{
    isConnected = false;
    emit connectionClosed();
    return 0;
}
int usbTMCabstraction::sendVISACommand(QString)
{
    emit retVal(-1);
    return -1;
}
QPair<int, QByteArray> usbTMCabstraction::readVISAResponseByte() { return {-1, {}}; }
QPair<int, QString> usbTMCabstraction::readVISAResponseString() { return {-1, {}}; }
QString usbTMCabstraction::getProductName() { return QStringLiteral("Unknown"); }
QString usbTMCabstraction::getVersion() { return QStringLiteral("Unknown"); }
QString usbTMCabstraction::getSerial() { return QStringLiteral("Unknown"); }
QString usbTMCabstraction::getInstDesc() { return QStringLiteral("-1"); }
QString usbTMCabstraction::getMan() { return QStringLiteral("Unknown"); }
void usbTMCabstraction::getDescriptions() {}
int usbTMCabstraction::setPower(bool) { return -1; }
QList<int> usbTMCabstraction::getAttens() { return {}; }
QList<float> usbTMCabstraction::getTemps() { return {}; }
QList<int> usbTMCabstraction::getCurrents() { return {}; }
QList<int> usbTMCabstraction::getStatus() { return {}; }
float usbTMCabstraction::getTime() { return -1.0f; }
QString usbTMCabstraction::getFirmVer() { return QString(); }
int usbTMCabstraction::setAtten(int, int) { return -1; }
int usbTMCabstraction::biasGateVoltageIndex(int) { return -1; }
int usbTMCabstraction::biasGateVoltage(int, int) { return -1; }
