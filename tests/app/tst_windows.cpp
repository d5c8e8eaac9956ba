// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DeviceConnectionSelector.h"
#include "app/InteractiveSerialIO.h"
#include "app/KVserialSetup.h"
#include "app/MainWindow.h"
#include "app/Simulation.h"
#include "widgets/parameterDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>

#include "support/TopLevel.h"

class WindowsTest : public QObject
{
    Q_OBJECT
private slots:
    void mainWindowStartsUnconnectedWithSelector()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("KVVLX Control GUI"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Not connected"));
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("activityTabs_tab"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 0);
        QCOMPARE(tabs->currentIndex(), -1);

        auto *selector = visibleTopLevel<DeviceConnectionSelector>();
        QVERIFY(selector);
        QVERIFY(selector->isVisible());
        QCOMPARE(selector->windowTitle(), QStringLiteral("Connection Setup"));
        QCOMPARE(selector->findChild<QLabel *>(QStringLiteral("label"))->text(),
                 QStringLiteral("How is your VLX connected?"));
        QCOMPARE(selector->findChild<QLabel *>(QStringLiteral("msg_lbl"))->text(),
                 QStringLiteral("Select connection type from above."));
        selector->close();
    }

    void usbWithoutKitKeepsSelectorOpen()
    {
        MainWindow window;
        auto *selector = visibleTopLevel<DeviceConnectionSelector>();
        QVERIFY(selector);
        // No kit on this machine: the selector says so and stays, and a second press repeats.
        for (int press = 0; press < 2; ++press) {
            QTest::mouseClick(selector->findChild<QPushButton *>(QStringLiteral("usb_btn")),
                              Qt::LeftButton);
            // The search runs on the link thread; the answer comes back a moment later.
            QTRY_COMPARE(selector->findChild<QLabel *>(QStringLiteral("msg_lbl"))->text(),
                         QStringLiteral("No USB devices found!"));
            QVERIFY(selector->isVisible());
            QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Not connected"));
        }
        selector->close();
    }

    void selectorButtonsCarryThePictures()
    {
        DeviceConnectionSelector selector;
        auto *bt = selector.findChild<QPushButton *>(QStringLiteral("bluetooth_btn"));
        auto *usb = selector.findChild<QPushButton *>(QStringLiteral("usb_btn"));
        QVERIFY(bt->text().isEmpty() && usb->text().isEmpty());
        QVERIFY(bt->styleSheet().contains(QStringLiteral(":/Images/170px-Bluetooth.svg.png")));
        QVERIFY(usb->styleSheet().contains(QStringLiteral(":/Images/usb-512.png")));
        QVERIFY(!QPixmap(QStringLiteral(":/Images/170px-Bluetooth.svg.png")).isNull());
        QVERIFY(!QPixmap(QStringLiteral(":/Images/usb-512.png")).isNull());

        QSignalSpy btSpy(&selector, SIGNAL(bluetoothClicked()));
        QSignalSpy usbSpy(&selector, SIGNAL(usbClicked()));
        QTest::mouseClick(bt, Qt::LeftButton);
        QTest::mouseClick(usb, Qt::LeftButton);
        QCOMPARE(btSpy.count(), 1);
        QCOMPARE(usbSpy.count(), 1);

        selector.setMessage(QStringLiteral("hello"));
        QCOMPARE(selector.findChild<QLabel *>(QStringLiteral("msg_lbl"))->text(),
                 QStringLiteral("hello"));
    }

    void consoleSendsAsTypedAndAppendsReplies()
    {
        InteractiveSerialIO console;
        QSignalSpy spy(&console, SIGNAL(sendMsg(QString)));
        auto *line = console.findChild<QLineEdit *>(QStringLiteral("send_txt"));
        line->setText(QStringLiteral("SWEEP:TYPE?$"));
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("SWEEP:TYPE?$"));
        QCOMPARE(line->text(), QStringLiteral("SWEEP:TYPE?$"));
        line->clear();
        QTest::mouseClick(console.findChild<QPushButton *>(QStringLiteral("send_btn")),
                          Qt::LeftButton);
        QCOMPARE(spy.at(1).at(0).toString(), QString());

        auto *received = console.findChild<QTextEdit *>(QStringLiteral("receive_txt"));
        QVERIFY(received->isReadOnly());
        console.showReceivedText("TYPE:2:END\r\n");
        console.showReceivedText(QByteArray("DATA:  \x12\x00\x34", 10));
        console.showReceivedText("RAMP:1:END\r\n");
        // Each reply lands at the end, a data reply only up to its first zero byte.
        QCOMPARE(received->toPlainText(), QStringLiteral("TYPE:2:END\nDATA:  \x12RAMP:1:END\n"));
    }

    void dialogTitleAndMessage()
    {
        parameterDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("!!"));
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->text(),
                 QStringLiteral("Text Here"));
        dialog.setMessage(QStringLiteral("Bad value"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->text(),
                 QStringLiteral("Bad value"));
        auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    }

    void serialSetupListsPortsAndHandsOverConfiguredPorts()
    {
        addVirtualSerialPort({QStringLiteral("/dev/null-kit"), QStringLiteral("Virtual kit")});
        KVserialSetup setup;
        QVERIFY(setup.windowModality() == Qt::ApplicationModal);
        auto *combo = setup.findChild<QComboBox *>(QStringLiteral("availPorts_cmb"));
        const auto available = QSerialPortInfo::availablePorts();
        QCOMPARE(combo->count(), 1 + available.size());
        QCOMPARE(combo->itemText(0), QStringLiteral("Virtual kit"));
        for (int i = 0; i < available.size(); ++i)
            QCOMPARE(combo->itemText(1 + i), available[i].portName());
        QCOMPARE(setup.chosenPortName(), QStringLiteral("/dev/null-kit"));

        QList<QSerialPort *> ports;
        connect(&setup, &KVserialSetup::portReady, [&](QSerialPort *p) { ports.append(p); });
        combo->setEditText(QStringLiteral("/dev/rfcomm7"));
        QCOMPARE(setup.chosenPortName(), QStringLiteral("/dev/rfcomm7"));
        auto *connectBtn = setup.findChild<QPushButton *>(QStringLiteral("connect_btn"));
        QTest::mouseClick(connectBtn, Qt::LeftButton);
        QTest::mouseClick(connectBtn, Qt::LeftButton);
        QCOMPARE(ports.size(), 2);
        QVERIFY(ports[0] != ports[1]);
        QCOMPARE(ports[1]->portName(), QStringLiteral("rfcomm7"));
        QCOMPARE(ports[1]->baudRate(), 9600);
        QCOMPARE(ports[1]->dataBits(), QSerialPort::Data8);
        QCOMPARE(ports[1]->parity(), QSerialPort::NoParity);
        QCOMPARE(ports[1]->stopBits(), QSerialPort::OneStop);
        QCOMPARE(ports[1]->flowControl(), QSerialPort::HardwareControl);
        // The port that never opened is released once the event loop runs; the newest stays.
        QPointer<QSerialPort> first(ports[0]);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        delete ports[1];
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
