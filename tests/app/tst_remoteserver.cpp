// SPDX-License-Identifier: GPL-3.0-or-later
// The remote-control port without widgets: the SCPI text, the error queue, definite-length
// blocks, and the TCP server under garbage, over-long lines, departed and successive clients.
#include "app/RemoteServer.h"
#include "app/Scpi.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QByteArray ask(QTcpSocket &s, const QByteArray &line)
{
    // Client and server share this thread: wait with the event loop running.
    s.write(line + '\n');
    for (int i = 0; i < 500 && !s.canReadLine(); ++i)
        QTest::qWait(10);
    return s.canReadLine() ? s.readLine().chopped(1) : QByteArray("<no reply>");
}

} // namespace

class RemoteServerTest : public QObject
{
    Q_OBJECT
private slots:
    void headersInShortLongAndMixedCase();
    void linesThatAreNotCommands();
    void errorQueueKeepsOrderAndOverflows();
    void definiteBlocks();
    void serverSurvivesGarbageLongLinesAndDepartures();
    void commandsRunOneAtATimeAcrossClients();
    void portInUseIsAnError();
};

void RemoteServerTest::headersInShortLongAndMixedCase()
{
    int error = 0;
    const QList<Scpi::Command> c = Scpi::parseLine(
        ":system:error:next?;SWEEP:FREQSTAR 24.1; mmemory:store:frame \"a;b,c.txt\" ;INIT:IMM",
        &error);
    QCOMPARE(error, int(Scpi::NoError));
    QCOMPARE(c.size(), 4);
    QCOMPARE(c[0].header, QStringLiteral("SYST:ERR"));
    QVERIFY(c[0].query);
    QCOMPARE(c[1].header, QStringLiteral("SWEEP:FREQSTAR"));
    QCOMPARE(c[1].arguments, QStringList{"24.1"});
    QCOMPARE(c[2].header, QStringLiteral("MMEM:STOR:FRAM"));
    QCOMPARE(Scpi::unquoted(c[2].arguments.value(0)), QStringLiteral("a;b,c.txt"));
    QCOMPARE(c[3].header, QStringLiteral("INIT"));
    QVERIFY(!c[3].query);
}

void RemoteServerTest::linesThatAreNotCommands()
{
    struct Case
    {
        QByteArray line;
        int error;
        int before; // commands of the line kept before the bad one
    };
    const Case cases[] = {
        {"SWEEP:FREQ 24", Scpi::UndefinedHeader, 0},
        {"*IDN?;FETC:FRAM 3", Scpi::UndefinedHeader, 1}, // a query without its setting form
        {"INIT?", Scpi::UndefinedHeader, 0},
        {QByteArray("\xff\xfe*IDN?", 7), Scpi::SyntaxError, 0},
        {QByteArray("*IDN?\0", 6), Scpi::SyntaxError, 0},
        {"", Scpi::NoError, 0},
    };
    for (const Case &c : cases) {
        int error = 0;
        const QList<Scpi::Command> parsed = Scpi::parseLine(c.line, &error);
        QCOMPARE(error, c.error);
        QCOMPARE(parsed.size(), c.before);
    }
    double v = 0;
    bool on = false;
    QVERIFY(Scpi::toNumber(" 1e-1 ", &v) && v == 0.1);
    QVERIFY(!Scpi::toNumber("24GHz", &v) && !Scpi::toNumber("nan", &v));
    QVERIFY(Scpi::toBool("on", &on) && on);
    QVERIFY(!Scpi::toBool("2", &on));
}

void RemoteServerTest::errorQueueKeepsOrderAndOverflows()
{
    Scpi::ErrorQueue q;
    QCOMPARE(q.next(), QStringLiteral("0,\"No error\""));
    q.push(Scpi::UndefinedHeader, "FOO \"x\"");
    q.push(Scpi::DataOutOfRange);
    QCOMPARE(q.next(), QStringLiteral("-113,\"Undefined header;FOO 'x'\""));
    QCOMPARE(q.next(), QStringLiteral("-222,\"Data out of range\""));
    for (int i = 0; i < 30; ++i)
        q.push(Scpi::SyntaxError);
    QCOMPARE(q.size(), Scpi::ErrorQueue::kCapacity);
    QString last;
    while (q.size() > 0)
        last = q.next();
    QCOMPARE(last, QStringLiteral("-350,\"Queue overflow\""));
}

void RemoteServerTest::definiteBlocks()
{
    QCOMPARE(Scpi::definiteBlock("abcd"), QByteArray("#14abcd"));
    QCOMPARE(Scpi::definiteBlock(QByteArray(4096, 'x')).left(6), QByteArray("#44096"));
    QCOMPARE(Scpi::definiteBlock(QByteArray()), QByteArray("#10"));
    QCOMPARE(Scpi::number(std::nan("")), QByteArray("9.91E37"));
}

void RemoteServerTest::serverSurvivesGarbageLongLinesAndDepartures()
{
    QList<Scpi::Command> seen;
    RemoteServer::Finish parked; // a command that is still running when its client leaves
    RemoteServer server("KVVLX,test,0,1", [&](const Scpi::Command &c, RemoteServer::Finish f) {
        seen << c;
        if (c.header == QLatin1String("INIT"))
            parked = f;
        else
            f(Scpi::NoError, "42");
    });
    QString error;
    QVERIFY2(server.listen(0, &error), qPrintable(error));

    QTcpSocket a;
    a.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(a.waitForConnected(5000));
    QCOMPARE(ask(a, "*IDN?"), QByteArray("KVVLX,test,0,1"));
    QCOMPARE(ask(a, "KIT:LIST?"), QByteArray("42"));
    a.write(QByteArray(3 * RemoteServer::kMaxLine, 'x')); // no line end for far too long
    a.write("\n");
    a.write(QByteArray("\x01\x02\xff garbage\n"));
    QCOMPARE(ask(a, "SYST:ERR?"), QByteArray("-363,\"Input buffer overrun\""));
    QVERIFY(ask(a, "SYST:ERR?").startsWith("-102,"));
    QCOMPARE(ask(a, "SYST:ERR?"), QByteArray("0,\"No error\""));

    // A client that leaves mid-capture: its result goes nowhere, its queued query is dropped.
    a.write("INIT\nKIT:LIST?\n");
    QTRY_VERIFY(parked);
    a.abort();
    QTRY_COMPARE(server.findChildren<QTcpSocket *>().size(), 0); // the server let a go
    QTcpSocket b;
    b.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(b.waitForConnected(5000));
    parked(Scpi::NoError, QByteArray());
    QCOMPARE(ask(b, "*IDN?"), QByteArray("KVVLX,test,0,1"));
    QCOMPARE(seen.size(), 2); // KIT:LIST? and INIT; a's last query never ran
    QVERIFY(server.findChild<QTcpServer *>()->serverAddress() == QHostAddress::LocalHost);
}

void RemoteServerTest::commandsRunOneAtATimeAcrossClients()
{
    // A setting that finishes later holds back everything after it, *OPC? included.
    QList<RemoteServer::Finish> running;
    RemoteServer server("KVVLX", [&](const Scpi::Command &c, RemoteServer::Finish f) {
        if (c.query)
            f(Scpi::NoError, c.header.toUtf8());
        else
            running << f;
    });
    QVERIFY(server.listen(0, nullptr));
    QTcpSocket a, b;
    for (QTcpSocket *s : {&a, &b}) {
        s->connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(s->waitForConnected(5000));
    }
    QTRY_COMPARE(server.findChildren<QTcpSocket *>().size(), 2);
    a.write("SWEEP:RAMPTIME 2\n");
    QTRY_COMPARE(running.size(), 1);
    b.write("*OPC?\n");
    QTest::qWait(50);
    QVERIFY(!b.canReadLine() && b.bytesAvailable() == 0);
    running.first()(Scpi::DataOutOfRange, QByteArray()); // the setting failed
    QTRY_VERIFY(b.canReadLine());
    QCOMPARE(b.readLine(), QByteArray("1\n"));
    QCOMPARE(ask(b, "SYST:ERR?"), QByteArray("-222,\"Data out of range\""));
    // A failed query sends nothing; its error waits in the queue.
    QCOMPARE(ask(a, "SWEEP:RAMPTIME?"), QByteArray("SWEEP:RAMPTIME"));
}

void RemoteServerTest::portInUseIsAnError()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    RemoteServer server("KVVLX", [](const Scpi::Command &, RemoteServer::Finish f) { f(0, {}); });
    QString error;
    QVERIFY(!server.listen(holder.serverPort(), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(RemoteServerTest)
#include "tst_remoteserver.moc"
