// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the application through its main paths with virtual kits and writes a picture of every
// window and plot page, so a change to what users see can be looked at without hardware:
//   kvvlx_screenshots OUTPUT_DIR   (scripts/screenshots.sh runs it)
#include "app/KVserialSetup.h"
#include "app/MainWindow.h"
#include "app/Simulation.h"
#include "link/WinUSBTMC.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "support/TopLevel.h"

#include <cstdio>

static QDir out;

static void save(QWidget *w, const QString &name)
{
    w->grab().save(out.filePath(name + QStringLiteral(".png")));
    std::printf("%s\n", qPrintable(out.filePath(name + QStringLiteral(".png"))));
}

// Only the visible page is drawn, so the maps over time get their frames while they show.
static void shootPages(QWidget *tab, const QString &prefix, int framesPerMap = 0)
{
    auto *pages = tab->findChild<QTabWidget *>(QStringLiteral("plot_tab"));
    auto *collect = tab->findChild<QPushButton *>(QStringLiteral("collect_btn"));
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        for (int frame = 0; i >= 4 && frame < framesPerMap; ++frame) {
            // The button is back once the frame before has arrived.
            (void)QTest::qWaitFor([collect] { return collect->isEnabled(); }, 5000);
            collect->click();
            QTest::qWait(10);
        }
        QTest::qWait(300);
        save(tab, QStringLiteral("%1-page%2").arg(prefix).arg(i));
    }
    pages->setCurrentIndex(0);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kvvlx_screenshots OUTPUT_DIR\n");
        return 2;
    }
    out = QDir(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("."));
    // Pictures, not timing: the USB pauses would make 120 frames take four minutes.
    WinUSBTMC::setDefaultPause([](unsigned long) {});
    QString error;
    if (!startSimulation(SimulationOptions{true, 1}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    {
        MainWindow usbWindow;
        usbWindow.show();
        QTest::qWait(200);
        save(&usbWindow, QStringLiteral("start-main"));
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != &usbWindow)
                save(w, QStringLiteral("start-") + w->metaObject()->className());
        usbWindow.configureUSB();
        auto *tabs = usbWindow.findChild<QTabWidget *>(QStringLiteral("activityTabs_tab"));
        (void)QTest::qWaitFor([tabs] { return tabs->count() > 0; },
                              5000); // found on the link thread
        if (tabs->count() > 0) {
            QWidget *tab = tabs->widget(0);
            QTest::qWait(2500); // the start-up read-backs and the ramp-time tune
            tab->findChild<QPushButton *>(QStringLiteral("collect_btn"))->click();
            QTest::qWait(500);
            save(&usbWindow, QStringLiteral("usb-window"));
            shootPages(tab, QStringLiteral("usb"), 60);
        }
    }

    MainWindow btWindow;
    btWindow.show();
    btWindow.configureBT();
    if (auto *setup = visibleTopLevel<KVserialSetup>()) {
        save(setup, QStringLiteral("bt-serial-setup"));
        setup->findChild<QPushButton *>(QStringLiteral("connect_btn"))->click();
    }
    auto *tabs = btWindow.findChild<QTabWidget *>(QStringLiteral("activityTabs_tab"));
    if (tabs->count() == 2) {
        QWidget *tab = tabs->widget(0);
        QTest::qWait(1800); // start-up queries
        tab->findChild<QPushButton *>(QStringLiteral("collect_btn"))->click();
        QTest::qWait(800);
        save(&btWindow, QStringLiteral("bt-window"));
        shootPages(tab, QStringLiteral("bt"));
        tabs->setCurrentIndex(1);
        QTest::qWait(100);
        save(&btWindow, QStringLiteral("bt-console"));
    } else {
        std::fprintf(stderr, "the Bluetooth virtual kit did not connect\n");
        return 1;
    }
    return 0;
}
