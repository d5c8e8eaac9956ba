// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Scpi.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QTcpServer;
class QTcpSocket;

// The remote-control port: SCPI-style lines over TCP on 127.0.0.1 only. Commands of all clients
// run one at a time in the order they arrived, each to its end (a capture included), so *OPC?
// answers 1 once everything before it is done. The common commands and the error queue are
// answered here; the rest goes to the handler.
class RemoteServer : public QObject
{
    Q_OBJECT
public:
    // The handler calls finish exactly once, now or later: error 0 and the reply (without line
    // end; empty for a setting), or an error number and a detail for the error queue.
    using Finish = std::function<void(int error, const QByteArray &replyOrDetail)>;
    using Handler = std::function<void(const Scpi::Command &command, Finish finish)>;

    static constexpr int kMaxLine = 8192; // longer lines are dropped whole: -363

    RemoteServer(QString identity, Handler handler, QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens on 127.0.0.1:port (0: any free port); false with the reason otherwise.
    bool listen(quint16 port, QString *error);
    quint16 port() const;

private:
    struct Pending
    {
        QPointer<QTcpSocket> client;
        Scpi::Command command;
        int parseError = Scpi::NoError; // set: the rest of a line that could not be read
        QString detail;
    };
    void accept();
    void readFrom(QTcpSocket *client);
    void takeLine(QTcpSocket *client, const QByteArray &line);
    void runNext();
    void finished(const QPointer<QTcpSocket> &client, const Scpi::Command &command, int error,
                  const QByteArray &reply);

    QString identity;
    Handler handler;
    QTcpServer *server;
    Scpi::ErrorQueue errors;
    QList<Pending> pending;
    bool busy = false;
    QHash<QTcpSocket *, bool> discarding; // inside an over-long line until its end
};
