// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb device layer on whatever this machine has: usually no kit, often no USB at all.

#include "link/LibusbDeviceLayer.h"
#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "link/usbTMCabstraction.h"

#include <QDir>
#include <QtTest>

#include <algorithm>

class LibusbTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        WinUSBTMC::setDefaultPause([](unsigned long) {});
        setVisaLibraryNames({QStringLiteral("kvvlx-no-such-visa-library")});
    }
    void cleanupTestCase()
    {
        WinUSBTMC::setDefaultPause({});
        setVisaLibraryNames({});
    }

    void enumerationWithoutKits();
    void unusablePathsDoNotOpen_data();
    void unusablePathsDoNotOpen();
    void commandLayerOnThisMachine();
};

static bool machineHasUsb() { return QDir(QStringLiteral("/dev/bus/usb")).exists(); }

void LibusbTest::enumerationWithoutKits()
{
    LibusbDeviceLayer layer;
    std::vector<std::string> paths{"left over"};
    QVERIFY(layer.enumerate(paths));
    QVERIFY(std::is_sorted(paths.begin(), paths.end()));
    for (const std::string &p : paths)
        QVERIFY(p.rfind("usb:", 0) == 0);
    if (!machineHasUsb())
        QVERIFY(paths.empty());

    WinUSBTMC backend(std::make_unique<LibusbDeviceLayer>());
    const QPair<int, QStringList> found = backend.findDevices();
    QVERIFY(found.first >= 0);
    QCOMPARE(found.first, int(found.second.size()));
    if (!machineHasUsb())
        QCOMPARE(found, (QPair<int, QStringList>(0, {})));
}

void LibusbTest::unusablePathsDoNotOpen_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("other scheme") << "sim:SIM0001";
    QTest::newRow("no ports") << "usb:1-:1.0";
    QTest::newRow("junk number") << "usb:1x-2:1.0";
    QTest::newRow("absent device") << "usb:250-9.9.9:1.0";
}

void LibusbTest::unusablePathsDoNotOpen()
{
    QFETCH(QString, path);
    LibusbDeviceLayer layer;
    QVERIFY(!layer.open(path.toStdString()));
    QVERIFY(!layer.isOpen());
    QVERIFY(layer.lastError() < 0);
    int count = 99;
    std::uint8_t buffer[16] = {};
    QVERIFY(!layer.write(buffer, 12, count));
    QCOMPARE(count, 0);
    QVERIFY(!layer.close());
}

void LibusbTest::commandLayerOnThisMachine()
{
    usbTMCabstraction usb;
    const QPair<int, QStringList> list = usb.getDeviceList();
    QCOMPARE(list.first, 0);
    if (!machineHasUsb())
        QVERIFY(list.second.isEmpty());
    QCOMPARE(usb.openConnection("usb:250-9.9.9:1.0"), -2);
}

QTEST_GUILESS_MAIN(LibusbTest)
#include "tst_libusbdevicelayer.moc"
