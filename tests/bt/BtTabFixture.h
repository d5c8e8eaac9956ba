// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "app/KVserialSetup.h"
#include "app/MainWindow.h"
#include "bt/BtProtocol.h"
#include "bt/kv7310bt_tab.h"
#include "capture/DataFile.h"
#include "kit/RadarMath.h"
#include "sim/BtPtyServer.h"
#include "sim/VirtualKit.h"
#include "widgets/FolderChooser.h"
#include "widgets/Logging.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotMarkers.h"

#include "widgets/StartUpDelays.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include "support/ReplyForms.h"
#include "support/TopLevel.h"

#include <memory>

// The Bluetooth tab through the main window, a real pseudo-terminal and a virtual kit: what the
// tab's end-to-end tests share.
struct BtTabFixture
{
    std::shared_ptr<VirtualKit> kit;
    std::unique_ptr<BtPtyServer> server;
    std::unique_ptr<MainWindow> window;
    kv7310bt_tab *tab = nullptr;
    QTemporaryDir workDir;

    template <typename T> T *w(const char *name)
    {
        return tab->findChild<T *>(QLatin1String(name));
    }

    QStringList commands() const
    {
        QStringList out;
        for (const SimCommandRecord &r : kit->receivedLog())
            if (r.channel == SimChannel::Bluetooth)
                out << r.text;
        return out;
    }

    QStringList capturesSent() const { return commands().filter(QStringLiteral("CAPT:STRE")); }

    bool connectKit()
    {
        window = std::make_unique<MainWindow>();
        window->setWritePause(1); // as the tab's pause below
        window->configureBT();
        KVserialSetup *setup = visibleTopLevel<KVserialSetup>();
        if (!setup)
            return false;
        setup->findChild<QComboBox *>(QStringLiteral("availPorts_cmb"))
            ->setEditText(server->slavePath());
        setup->findChild<QPushButton *>(QStringLiteral("connect_btn"))->click();
        tab = window->findChild<kv7310bt_tab *>();
        if (tab)
            tab->setCommandPause(1); // the order of commands and waits is what counts here
        return tab != nullptr;
    }

    // The start-up queries are over once both frequencies have been asked for and answered.
    void waitForStartUp()
    {
        QTRY_VERIFY_WITH_TIMEOUT(commands().contains(QStringLiteral("SWEEP:FREQSTAR?$")), 3000);
        QTRY_VERIFY(!w<QLineEdit>("startFreq_txt")->text().isEmpty());
        kit->clearReceived();
    }

    static QVector<double> readFile(const QString &path)
    {
        QVector<double> data;
        return DataFile::read(path, &data) ? data : QVector<double>();
    }

    // Once per test case: the start-up queries in their order, a tenth of their usual delays
    // apart, and a working folder of its own for "Data".
    bool setUpCase()
    {
        StartUpDelays::setScale(0.1);
        return workDir.isValid() && QDir::setCurrent(workDir.path());
    }

    bool startKit()
    {
        kit = std::make_shared<VirtualKit>();
        server = std::make_unique<BtPtyServer>(kit);
        return server->start() && connectKit();
    }

    void cleanup()
    {
        FolderChooser::setDialog({});
        window.reset();
        server.reset();
        kit.reset();
        tab = nullptr;
    }
};
