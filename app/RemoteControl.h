// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RemoteServer.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class MainWindow;
class TR7310_tab;

// kvvlx --remote PORT: the running program as an instrument. Kit commands act on the selected USB
// tab through the same controls a user works (the form follows); the first command that needs a
// kit starts the USB search when no tab is there yet, as pressing USB does.
class RemoteControl : public QObject
{
    Q_OBJECT
public:
    explicit RemoteControl(MainWindow *window, QObject *parent = nullptr);
    // Serves on 127.0.0.1:port; false with the reason (a port in use, ...).
    bool listen(quint16 port, QString *error);
    quint16 port() const { return server->port(); }

private:
    using Finish = RemoteServer::Finish;
    void handle(const Scpi::Command &command, const Finish &finish);
    void handleKitChoice(const Scpi::Command &command, const Finish &finish); // KIT:LIST, KIT:SEL
    // The sweep setting of that index in the table of settings a script may read and set.
    void handleSetting(int index, const Scpi::Command &command, const Finish &finish);
    void handleSampleCount(const Scpi::Command &command, const Finish &finish); // CAPT:POIN
    QList<TR7310_tab *> tabs() const;
    // The USB tabs, after a search when none is there and none was made.
    void withTabs(std::function<void()> then);
    void withKit(const Finish &finish, std::function<void(TR7310_tab *)> then);
    void select(TR7310_tab *tab);
    // Reads every setting of a tab back once before its first remote use, so that frames taken
    // at once are not stored without their sweep.
    void prime(TR7310_tab *tab, std::function<void()> then);

    MainWindow *window;
    RemoteServer *server;
    QPointer<TR7310_tab> selected;
    bool searched = false;
    QList<QPointer<TR7310_tab>> primed;
};
