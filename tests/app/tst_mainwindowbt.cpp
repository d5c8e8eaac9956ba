// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PtyPair.h"

#include "app/DeviceConnectionSelector.h"
#include "app/InteractiveSerialIO.h"
#include "app/KVserialSetup.h"
#include "app/MainWindow.h"
#include "bt/kv7310bt_tab.h"

#include "widgets/StartUpDelays.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include "support/TopLevel.h"

static const QRegularExpression kErrorLine(QStringLiteral("^\\[\\d\\d:\\d\\d\\] ERROR: (.*)\\n$"));

// Drives the Bluetooth path the way a user does: Bluetooth, type the port, Connect.
class BtLinkTest : public QObject
{
    Q_OBJECT

    QSerialPort *connectTo(MainWindow &window, const QString &path)
    {
        KVserialSetup *setup = visibleTopLevel<KVserialSetup>();
        if (!setup) {
            window.configureBT();
            setup = visibleTopLevel<KVserialSetup>();
        }
        if (!setup)
            return nullptr;
        QSerialPort *handed = nullptr;
        auto c = connect(setup, &KVserialSetup::portReady, [&](QSerialPort *p) { handed = p; });
        setup->findChild<QComboBox *>(QStringLiteral("availPorts_cmb"))->setEditText(path);
        QTest::mouseClick(setup->findChild<QPushButton *>(QStringLiteral("connect_btn")),
                          Qt::LeftButton);
        disconnect(c);
        return handed;
    }

    static QStringList tabTitles(MainWindow &window)
    {
        QStringList titles;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("activityTabs_tab"));
        for (int i = 0; i < tabs->count(); ++i)
            titles << tabs->tabText(i);
        return titles;
    }

private slots:
    void failedOpenThenWorkingPort()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        QSerialPort *bad = connectTo(window, QStringLiteral("/dev/kvvlx-no-such-port"));
        QVERIFY(bad);
        const QString status = window.statusBar()->currentMessage();
        const auto match = kErrorLine.match(status);
        QVERIFY2(match.hasMatch(), qPrintable(status));
        // The fixed text, then the port's own reason.
        QVERIFY2(match.captured(1).startsWith(QStringLiteral("port not opened! ")),
                 qPrintable(status));
        QVERIFY(match.captured(1).size() > QStringLiteral("port not opened! ").size());
        QVERIFY(visibleTopLevel<KVserialSetup>());
        QVERIFY(tabTitles(window).isEmpty());

        QSerialPort *good = connectTo(window, pty.slavePath());
        QVERIFY(good && good != bad);
        QVERIFY(good->isOpen());
        QCOMPARE(tabTitles(window), (QStringList{QStringLiteral("VLX BT"), QStringLiteral("I/O")}));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Connected over BT"));
        QVERIFY(!visibleTopLevel<KVserialSetup>());
        QVERIFY(!visibleTopLevel<DeviceConnectionSelector>());
    }

    void messagesFramedIntoConsoleAndCommandsOut()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        QSerialPort *port = connectTo(window, pty.slavePath());
        QVERIFY(port && port->isOpen());
        pty.closeSlave();
        QSignalSpy messages(&window, SIGNAL(msgReceived(QByteArray)));

        QVERIFY(pty.write("TYPE:2:EN"));
        QTest::qWait(50);
        QCOMPARE(messages.count(), 0);
        QVERIFY(pty.write("D\r\nRAMP:1:END\r\nRFPO"));
        QTRY_COMPARE(messages.count(), 2);
        QCOMPARE(messages.at(0).at(0).toByteArray(), QByteArray("TYPE:2:END\r\n"));
        QCOMPARE(messages.at(1).at(0).toByteArray(), QByteArray("RAMP:1:END\r\n"));
        QVERIFY(pty.write("W:1:END\r\n"));
        QTRY_COMPARE(messages.count(), 3);
        QCOMPARE(messages.at(2).at(0).toByteArray(), QByteArray("RFPOW:1:END\r\n"));

        auto *console = window.findChild<InteractiveSerialIO *>();
        QVERIFY(console);
        QCOMPARE(console->findChild<QTextEdit *>(QStringLiteral("receive_txt"))->toPlainText(),
                 QStringLiteral("TYPE:2:END\nRAMP:1:END\nRFPOW:1:END\n"));

        auto *line = console->findChild<QLineEdit *>(QStringLiteral("send_txt"));
        line->setText(QStringLiteral("SWEEP:TYPE?$"));
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(pty.read(12), QByteArray("SWEEP:TYPE?$"));
    }

    // Each write is followed by 100 ms in which the window writes nothing, yet it stays live.
    void writesArePacedWithoutFreezingTheWindow()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        QSerialPort *port = connectTo(window, pty.slavePath());
        QVERIFY(port && port->isOpen());
        pty.closeSlave();

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(5);

        const QStringList sent{"SWEEP:FREQSTAR 24.05$", "SWEEP:STOP$", "CAPT:STRE 64$"};
        QElapsedTimer clock;
        clock.start();
        for (const QString &m : sent)
            window.sendMsg(m);
        QVERIFY2(clock.elapsed() < 50, "sendMsg returned only after the pause");

        // The tab's start-up queries share the line; every write arrives on its own.
        struct Chunk
        {
            qint64 atMs;
            QByteArray bytes;
        };
        QList<Chunk> chunks;
        QByteArray all;
        while (!all.contains(sent.last().toUtf8()) && clock.elapsed() < 3000) {
            QByteArray got = pty.read(1, 2);
            if (!got.isEmpty()) {
                chunks.append({clock.elapsed(), got});
                all += got;
            }
        }
        QVERIFY2(all.contains(sent.last().toUtf8()), all.constData());
        QVERIFY(all.startsWith(sent.first().toUtf8()));
        qsizetype from = 0;
        for (const QString &m : sent) {
            const qsizetype at = all.indexOf(m.toUtf8(), from);
            QVERIFY2(at >= from, qPrintable(m));
            from = at + m.size();
        }
        for (qsizetype i = 1; i < chunks.size(); ++i) {
            QVERIFY2(chunks[i - 1].bytes.endsWith('$') && chunks[i - 1].bytes.count('$') == 1,
                     chunks[i - 1].bytes.constData()); // one write per read: nothing bunched
            // Read times lag the writes by up to one poll (a few ms).
            QVERIFY2(chunks[i].atMs - chunks[i - 1].atMs >= 90,
                     qPrintable(QStringLiteral("%1 ms").arg(chunks[i].atMs - chunks[i - 1].atMs)));
        }
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks))); // the event loop ran throughout
    }

    // A tab command and its wait: the wait starts once the window's pause is over, so
    // consecutive commands stand write pause + tab pause apart on the line.
    void tabWaitsFollowTheWritePause()
    {
        StartUpDelays::setScale(100); // keep the start-up queries off the line
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        QSerialPort *port = connectTo(window, pty.slavePath());
        StartUpDelays::setScale(1);
        QVERIFY(port && port->isOpen());
        pty.closeSlave();
        auto *tab = window.findChild<kv7310bt_tab *>();
        QVERIFY(tab);
        tab->findChild<QLineEdit *>(QStringLiteral("startFreq_txt"))->setText("24.05");
        tab->findChild<QLineEdit *>(QStringLiteral("stopFreq_txt"))->setText("24.2");

        QElapsedTimer clock;
        clock.start();
        tab->findChild<QPushButton *>(QStringLiteral("setFreqs_btn"))->click();
        const QList<QByteArray> expected{"SWEEP:FREQSTAR 24.05$", "SWEEP:FREQSTOP 24.2$",
                                         "SWEEP:FREQSTOP?$", "SWEEP:FREQSTAR?$"};
        QList<QByteArray> got;
        QList<qint64> at;
        while (got.size() < expected.size() && clock.elapsed() < 3000) {
            const QByteArray chunk = pty.read(1, 2);
            if (!chunk.isEmpty()) {
                got << chunk;
                at << clock.elapsed();
            }
        }
        QCOMPARE(got, expected);
        // 100 ms of quiet after the write, then the tab's 100 ms; reads lag by a poll or so.
        for (int i = 1; i < at.size(); ++i)
            QVERIFY2(at[i] - at[i - 1] >= 190,
                     qPrintable(QStringLiteral("%1 ms before %2").arg(at[i] - at[i - 1]).arg(i)));
    }

    void vanishedDeviceClosesPortOnceAndStaysQuiet()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow window;
        QSerialPort *port = connectTo(window, pty.slavePath());
        QVERIFY(port && port->isOpen());
        pty.closeSlave();
        QVERIFY(pty.write("TYPE:1:END\r\n"));
        auto *received = window.findChild<InteractiveSerialIO *>()->findChild<QTextEdit *>(
            QStringLiteral("receive_txt"));
        QTRY_COMPARE(received->toPlainText(), QStringLiteral("TYPE:1:END\n"));

        QSignalSpy errors(port, SIGNAL(errorOccurred(QSerialPort::SerialPortError)));
        pty.closeMaster();
        QTRY_VERIFY(!port->isOpen());
        const auto match = kErrorLine.match(window.statusBar()->currentMessage());
        QVERIFY2(match.hasMatch(), qPrintable(window.statusBar()->currentMessage()));
        QVERIFY(match.captured(1).startsWith(QStringLiteral("port closed: ")));
        const int afterClose = errors.count();
        QTest::qWait(300);
        QVERIFY2(errors.count() - afterClose <= 1, qPrintable(QString::number(errors.count())));
        QCOMPARE(received->toPlainText(), QStringLiteral("TYPE:1:END\n"));
    }

    // After the port vanished, the set-up opens again from the menu; the new link replaces the
    // old one, tab and console included, and a second kit's port works the same way.
    void bluetoothSetUpAgainAfterThePortVanished()
    {
        PtyPair first;
        QVERIFY(first.isValid());
        MainWindow window;
        QSerialPort *old = connectTo(window, first.slavePath());
        QVERIFY(old && old->isOpen());
        first.closeSlave();
        first.closeMaster();
        QTRY_VERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("port closed")));

        QAction *again = nullptr;
        for (QAction *a : window.findChildren<QAction *>())
            if (a->text() == QStringLiteral("Connect &Bluetooth…"))
                again = a;
        QVERIFY(again);
        again->trigger();
        QVERIFY(visibleTopLevel<KVserialSetup>());
        PtyPair second;
        QVERIFY(second.isValid());
        QSerialPort *port = connectTo(window, second.slavePath());
        QVERIFY(port && port->isOpen());
        second.closeSlave();
        QCOMPARE(tabTitles(window), (QStringList{QStringLiteral("VLX BT"), QStringLiteral("I/O")}));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Connected over BT"));
        QVERIFY(window.findChild<QPushButton *>(QStringLiteral("reconnect_btn"))->isHidden());

        QSignalSpy messages(&window, SIGNAL(msgReceived(QByteArray)));
        QVERIFY(second.write("TYPE:1:END\r\n"));
        QTRY_COMPARE(messages.count(), 1);
        auto *tab = window.findChild<kv7310bt_tab *>();
        QTRY_VERIFY(tab->findChild<QRadioButton *>(QStringLiteral("twoWaySingle_rdbtn"))
                        ->isChecked()); // the new tab hears the new port
    }

    // Commands still waiting for the old link's pause are not written to the new kit.
    void queuedCommandsStayWithTheirLink()
    {
        PtyPair first;
        QVERIFY(first.isValid());
        MainWindow window;
        window.setWritePause(300);
        QVERIFY(connectTo(window, first.slavePath()));
        first.closeSlave();
        auto *line = window.findChild<InteractiveSerialIO *>()->findChild<QLineEdit *>(
            QStringLiteral("send_txt"));
        for (const char *text : {"SWEEP:TYPE?$", "POWE:RF?$", "SWEEP:RAMPTIME?$"}) {
            line->setText(QString::fromLatin1(text));
            QTest::keyClick(line, Qt::Key_Return);
        }
        QCOMPARE(first.read(12), QByteArray("SWEEP:TYPE?$"));

        PtyPair second;
        QVERIFY(second.isValid());
        window.configureBT();
        QVERIFY(connectTo(window, second.slavePath()));
        second.closeSlave();
        line = window.findChild<InteractiveSerialIO *>()->findChild<QLineEdit *>(
            QStringLiteral("send_txt"));
        line->setText(QStringLiteral("SWEEP:FREQSTAR?$"));
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(second.read(16, 3000), QByteArray("SWEEP:FREQSTAR?$"));
    }
};

QTEST_MAIN(BtLinkTest)
#include "tst_mainwindowbt.moc"
