// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RemoteServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

RemoteServer::RemoteServer(QString id, Handler h, QObject *parent)
    : QObject(parent), identity(std::move(id)), handler(std::move(h)), server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, &RemoteServer::accept);
}

RemoteServer::~RemoteServer() = default;

bool RemoteServer::listen(quint16 port, QString *error)
{
    // Loopback only: whoever can reach the port can move the kit's RF.
    if (server->listen(QHostAddress::LocalHost, port))
        return true;
    if (error)
        *error = server->errorString();
    return false;
}

quint16 RemoteServer::port() const { return server->serverPort(); }

void RemoteServer::accept()
{
    while (QTcpSocket *client = server->nextPendingConnection()) {
        connect(client, &QTcpSocket::readyRead, this, [this, client] { readFrom(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            discarding.remove(client);
            client->deleteLater(); // its queued commands are dropped as they come up
        });
    }
}

void RemoteServer::readFrom(QTcpSocket *client)
{
    while (client->canReadLine() || client->bytesAvailable() > 0) {
        if (!client->canReadLine()) {
            // No line end yet: wait for it, unless the line is already too long.
            if (client->bytesAvailable() <= kMaxLine)
                return;
            client->read(client->bytesAvailable());
            if (!discarding.value(client))
                errors.push(Scpi::InputBufferOverrun);
            discarding[client] = true;
            return;
        }
        const QByteArray line = client->readLine(qint64(kMaxLine) + 2);
        if (!line.endsWith('\n')) { // a line longer than the buffer: drop up to its end
            if (!discarding.value(client))
                errors.push(Scpi::InputBufferOverrun);
            discarding[client] = true;
            continue;
        }
        if (discarding.value(client)) {
            discarding[client] = false; // the end of the dropped line
            continue;
        }
        takeLine(client, line.chopped(1));
    }
}

void RemoteServer::takeLine(QTcpSocket *client, const QByteArray &line)
{
    int error = Scpi::NoError;
    QString detail;
    const QList<Scpi::Command> commands = Scpi::parseLine(line, &error, &detail);
    for (const Scpi::Command &c : commands)
        pending.append({client, c, Scpi::NoError, QString()});
    // Queued behind the line's good commands, so the error queue keeps the order of events.
    if (error != Scpi::NoError)
        pending.append({client, Scpi::Command(), error, detail});
    runNext();
}

void RemoteServer::runNext()
{
    while (!busy && !pending.isEmpty()) {
        const Pending p = pending.takeFirst();
        if (!p.client)
            continue; // the client left
        const Scpi::Command &c = p.command;
        if (p.parseError != Scpi::NoError) {
            errors.push(p.parseError, p.detail);
        } else if (c.header == QLatin1String("*IDN")) {
            finished(p.client, c, Scpi::NoError, identity.toUtf8());
        } else if (c.header == QLatin1String("*OPC")) {
            // Commands run to their end one after another: reaching this one means all are done.
            finished(p.client, c, Scpi::NoError, c.query ? QByteArrayLiteral("1") : QByteArray());
        } else if (c.header == QLatin1String("*CLS")) {
            errors.clear();
        } else if (c.header == QLatin1String("*WAI") || c.header == QLatin1String("*RST")) {
            // Nothing overlaps, and a reset of the kit is not ours to do from a script.
        } else if (c.header == QLatin1String("SYST:ERR")) {
            finished(p.client, c, Scpi::NoError, errors.next().toUtf8());
        } else {
            busy = true;
            const QPointer<QTcpSocket> client = p.client;
            // The handler may finish later (a capture); guard against a second call.
            auto once = std::make_shared<bool>(false);
            handler(c, [this, client, c, once](int error, const QByteArray &reply) {
                if (*once)
                    return;
                *once = true;
                busy = false;
                finished(client, c, error, reply);
                QMetaObject::invokeMethod(this, &RemoteServer::runNext, Qt::QueuedConnection);
            });
        }
    }
}

void RemoteServer::finished(const QPointer<QTcpSocket> &client, const Scpi::Command &command,
                            int error, const QByteArray &reply)
{
    if (error != Scpi::NoError) {
        errors.push(error, QString::fromUtf8(reply));
        return; // a failed query sends nothing: the client's read times out, SYST:ERR? says why
    }
    if (command.query && client && client->state() == QAbstractSocket::ConnectedState)
        client->write(reply + '\n');
}
