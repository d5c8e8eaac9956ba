// SPDX-License-Identifier: GPL-3.0-or-later
// Pressing USB in the main window in the demo mode of "kvvlx --simulate=2":
// one radar tab per kit, and each tab talks to its own kit.
#include "support/RadarTestSupport.h"

#include "app/DeviceConnectionSelector.h"
#include "app/MainWindow.h"
#include "app/Simulation.h"
#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "radar/TR7310_tab.h"
#include "sim/Demo.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

class MainWindowUsbTest : public QObject
{
    Q_OBJECT

private slots:
    void twoKitsGiveTwoTabs();
    void rescanFindsAKitPluggedInAfterStart();
};

void MainWindowUsbTest::rescanFindsAKitPluggedInAfterStart()
{
    WinUSBTMC::setDefaultPause([](unsigned long) {});
    SimUsbBus::global().detachAll();
    QString error;
    QVERIFY2(startSimulation(SimulationOptions{true, 1}, &error), qPrintable(error));
    MainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("activityTabs_tab"));
    QAction *rescan = nullptr;
    for (QAction *a : window.findChildren<QAction *>())
        if (a->text() == QStringLiteral("&Rescan USB"))
            rescan = a;
    QVERIFY(rescan);
    window.configureUSB();
    QTRY_COMPARE(tabs->count(), 1);

    rescan->trigger(); // nothing new: the tab stays alone and the status bar says so
    QTRY_COMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("Rescan USB: no new kit found"));
    QCOMPARE(tabs->count(), 1);

    auto late = std::make_shared<VirtualKit>(QStringLiteral("SIM0042"));
    SimUsbBus::global().attach(late); // plugged in after start
    rescan->trigger();
    QTRY_COMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), QStringLiteral("SN:SIM0042"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("2 device(s) found"));
    qobject_cast<TR7310_tab *>(tabs->widget(1))->setTunePause([](int) {});
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(*late), 5000); // the new tab talks to the new kit

    window.close();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<DeviceConnectionSelector *>(w))
            w->deleteLater();
    stopVirtualBtKits();
    SimUsbBus::global().detachAll();
    setDeviceLayerFactory({});
    WinUSBTMC::setDefaultPause({});
}

void MainWindowUsbTest::twoKitsGiveTwoTabs()
{
    WinUSBTMC::setDefaultPause([](unsigned long) {});
    SimUsbBus::global().detachAll();
    QString error;
    QVERIFY2(startSimulation(SimulationOptions{true, 2}, &error),
             qPrintable(error)); // kvvlx --simulate=2
    const auto kits = SimUsbBus::global().kits();
    QCOMPARE(int(kits.size()), 2);

    MainWindow window;
    window.show();
    DeviceConnectionSelector *selector = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *s = qobject_cast<DeviceConnectionSelector *>(w))
            selector = s;
    QVERIFY(selector);
    selector->findChild<QPushButton *>(QStringLiteral("usb_btn"))->click();

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("activityTabs_tab"));
    QVERIFY(tabs);
    QTRY_COMPARE(tabs->count(), 2); // discovery runs on the link thread
    QStringList titles;
    QList<TR7310_tab *> radarTabs;
    for (int i = 0; i < tabs->count(); ++i) {
        if (auto *t = qobject_cast<TR7310_tab *>(tabs->widget(i))) {
            titles << tabs->tabText(i);
            radarTabs << t;
            t->setTunePause([](int) {});
        }
    }
    QCOMPARE(titles, (QStringList{"SN:SIM0001", "SN:SIM0002"}));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("2 device(s) found"));
    QVERIFY(!selector->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(*kits[0]) && startUpDone(*kits[1]), 5000);
    QCOMPARE(radarTabs[1]->findChild<QLineEdit *>(QStringLiteral("startFreq_txt"))->text(),
             QStringLiteral("24"));

    kits[0]->clearReceived();
    kits[1]->clearReceived();
    radarTabs[1]->findChild<QPushButton *>(QStringLiteral("collect_btn"))->click();
    QTRY_COMPARE(kits[1]->receivedCommands().count(QStringLiteral("CAPT:FRAM?")), 34);
    QCOMPARE(kits[1]->receivedCommands().value(0), QStringLiteral("CAPT:FRAM 1024"));
    QVERIFY(kits[0]->receivedCommands().isEmpty());

    window.close();
    selector->deleteLater();
    stopVirtualBtKits();
    SimUsbBus::global().detachAll();
    setDeviceLayerFactory({});
    WinUSBTMC::setDefaultPause({});
}

QTEST_MAIN(MainWindowUsbTest)
#include "tst_mainwindowusb.moc"
