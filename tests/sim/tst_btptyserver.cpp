// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual kit on a real pseudo-terminal: the Bluetooth protocol, faults, the demo helpers and
// the kvvlx-sim program.
#include "sim/BtPtyServer.h"
#include "sim/Demo.h"
#include "sim/SimUsbBus.h"
#include "sim/VirtualKit.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QByteArray kEnd = ":END\r\n";

// The far end of the line, as the application or a terminal program has it.
class Line
{
public:
    explicit Line(const QString &path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void send(const QByteArray &bytes)
    {
        QCOMPARE(::write(m_fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // Reads until `messages` terminators or `bytes` bytes have come, or the time is up.
    QByteArray receive(int messages = 1, int bytes = -1, int timeoutMs = 3000)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            if (bytes >= 0 ? got.size() >= bytes : got.count(kEnd) >= messages)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char buf[4096];
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, int(n));
            }
        }
        return got;
    }
    QByteArray ask(const QByteArray &command)
    {
        send(command);
        return receive();
    }

private:
    int m_fd;
};

} // namespace

class SimBtTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<VirtualKit> kit;
    std::unique_ptr<BtPtyServer> server;
    std::unique_ptr<Line> line;

private slots:
    void init()
    {
        kit = std::make_shared<VirtualKit>();
        server = std::make_unique<BtPtyServer>(kit);
        QString error;
        QVERIFY2(server->start(&error), qPrintable(error));
        line = std::make_unique<Line>(server->slavePath());
        QVERIFY(line->isOpen());
    }
    void cleanup()
    {
        line.reset();
        server.reset();
    }

    void queriesAnswerWithTheirTags()
    {
        QCOMPARE(line->ask("SWEEP:FREQSTAR?$"), QByteArray("STARTF:24:END\r\n"));
        QCOMPARE(line->ask("SWEEP:FREQSTOP?$"), QByteArray("STOPF:24.25:END\r\n"));
        QCOMPARE(line->ask("SWEEP:RAMPTIME?$"), QByteArray("RAMP:1:END\r\n"));
        QCOMPARE(line->ask("SWEEP:TYPE?$"), QByteArray("TYPE:2:END\r\n"));
        QCOMPARE(line->ask("POWE:RF?$"), QByteArray("RFPOW:1:END\r\n"));
    }

    void settingsOfTheTabTakeEffect()
    {
        // What the tab sends, each on its own write, then the read-backs in one burst.
        for (const char *cmd :
             {"SWEEP:FREQSTAR 24.05$", "SWEEP:FREQSTOP 24.2$", "SWEEP:RAMPTIME 2$", "SWEEP:TYPE 1$",
              "SWEEP:START$", "POWE:RF 0$", "SWEEP:STOP$"})
            line->send(cmd);
        line->send("SWEEP:FREQSTOP?$SWEEP:FREQSTAR?$SWEEP:RAMPTIME?$SWEEP:TYPE?$POWE:RF?$");
        QCOMPARE(line->receive(5), QByteArray("STOPF:24.2:END\r\nSTARTF:24.05:END\r\nRAMP:2:"
                                              "END\r\nTYPE:1:END\r\nRFPOW:0:END\r\n"));
        QVERIFY(!kit->sweep().sweeping);
        QCOMPARE(kit->receivedCommands().first(), QStringLiteral("SWEEP:FREQSTAR 24.05$"));
        QCOMPARE(kit->receivedCommands().size(), 12);
        QVERIFY(kit->receivedLog().first().channel == SimChannel::Bluetooth);
    }

    void commandsSplitAcrossWritesAndTerminalLineEnds()
    {
        line->send("SWEEP:TY");
        QTest::qWait(30);
        line->send("PE?");
        QTest::qWait(30);
        line->send("$");
        QCOMPARE(line->receive(), QByteArray("TYPE:2:END\r\n"));
        QCOMPARE(line->ask("\r\nPOWE:RF?$\r\n"), QByteArray("RFPOW:1:END\r\n"));
        QCOMPARE(line->ask("sweep:type?$"), QByteArray("TYPE:2:END\r\n"));
        line->send("NOT:A:COMMAND?$");
        QVERIFY(line->receive(1, -1, 200).isEmpty());
    }

    void dataReplyOf1024Samples()
    {
        line->send("CAPT:STRE 1024$");
        const QByteArray msg = line->receive(1, 2061);
        QCOMPARE(msg.size(), 7 + 2 * 1024 + 6);
        QVERIFY(line->receive(1, -1, 200).isEmpty()); // nothing after it
        QVERIFY(msg.endsWith(kEnd));
        QCOMPARE(msg.indexOf(kEnd), msg.size() - 6); // the framing cuts it whole
        const QByteArray tag = msg.left(msg.indexOf(':'));
        QVERIFY(tag.size() <= 7);
        QVERIFY(tag.contains("DATA"));
        for (const char *earlier : {"STARTF", "STOPF", "RAMP", "TYPE", "LOCK", "PLLM", "RFPOW",
                                    "RETACT", "FREQ", "DIV", "REFEXT", "FRAM"})
            QVERIFY2(!tag.contains(earlier), earlier);

        // The samples carry the scene: not a flat line, and within the ADC's counts.
        const auto *p = reinterpret_cast<const uchar *>(msg.constData()) + 7;
        int lo = 65535, hi = 0;
        for (int i = 0; i < 1024; ++i) {
            const int s = p[2 * i] << 8 | p[2 * i + 1];
            lo = std::min(lo, s);
            hi = std::max(hi, s);
        }
        QVERIFY(hi - lo > 10000);

        line->send("CAPT:STRE 0$");
        QCOMPARE(line->receive().size(), 13);
        line->send("CAPT:STRE -5$");
        QCOMPARE(line->receive().size(), 13);
    }

    void dataReplyNeverSpellsTheTerminator()
    {
        // Words whose bytes read ":END\r\n", aligned and straddling two words, and right after the
        // header.
        const QVector<QVector<quint16>> frames = {
            {0x3A45, 0x4E44, 0x0D0A}, {0x013A, 0x454E, 0x440D, 0x0A00}, {0x454E, 0x440D, 0x0A00}};
        for (const QVector<quint16> &frame : frames) {
            const QByteArray msg = VirtualKit::encodeBtFrame(frame, 0);
            QCOMPARE(msg.size(), 7 + 2 * frame.size() + 6);
            QCOMPARE(msg.indexOf(kEnd), msg.size() - 6);
            const auto *p = reinterpret_cast<const uchar *>(msg.constData()) + 7;
            for (int i = 0; i < frame.size(); ++i)
                QVERIFY(std::abs((p[2 * i] << 8 | p[2 * i + 1]) - frame[i]) <= 1);
        }
    }

    void lineFaults()
    {
        SimFaults f;
        f.lineGarbage = QByteArray("\x00\xff~!", 4);
        f.extraBytes = "xyz";
        kit->setFaults(f);
        line->send("SWEEP:TYPE?$");
        QCOMPARE(line->receive(1, 4 + 12 + 3),
                 QByteArray("\x00\xff~!", 4) + "TYPE:2:END\r\n" + "xyz");

        f = SimFaults();
        f.truncateBytes = 2;
        kit->setFaults(f);
        line->send("SWEEP:TYPE?$");
        QCOMPARE(line->receive(1, 10), QByteArray("TYPE:2:END"));

        f = SimFaults();
        f.noReply = true;
        kit->setFaults(f);
        line->send("SWEEP:TYPE 0$SWEEP:TYPE?$");
        QVERIFY(line->receive(1, -1, 200).isEmpty());
        QCOMPARE(kit->sweep().type, 0);

        f = SimFaults();
        f.lateReplyMs = 150;
        kit->setFaults(f);
        line->send("SWEEP:TYPE?$");
        QVERIFY(line->receive(1, -1, 50).isEmpty()); // not yet
        QCOMPARE(line->receive(), QByteArray("TYPE:0:END\r\n"));

        f = SimFaults();
        f.disconnectAfter = 1;
        kit->setFaults(f);
        QCOMPARE(line->ask("SWEEP:TYPE?$"), QByteArray("TYPE:0:END\r\n"));
        line->send("SWEEP:TYPE?$");
        QVERIFY(line->receive(1, -1, 200).isEmpty());
        QVERIFY(!kit->isConnected());
        kit->reconnect();
        QCOMPARE(line->ask("SWEEP:TYPE?$"), QByteArray("TYPE:0:END\r\n"));
    }

    void aBlockedClientDoesNotStallTheKit()
    {
        // The application sleeps after each write; the kit answers meanwhile and the reply waits on
        // the line.
        line->send("POWE:RF?$");
        QThread::msleep(150);
        QCOMPARE(line->receive(1, -1, 10), QByteArray("RFPOW:1:END\r\n"));
        QCOMPARE(server->bytesSent(), qint64(13));
    }

    void applicationsSerialPortOpensTheLine()
    {
        // As the main window opens the Bluetooth port: 9600 8N1, hardware flow control.
        QSerialPort port(server->slavePath());
        port.setBaudRate(9600);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::HardwareControl);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.write("SWEEP:RAMPTIME?$");
        QThread::msleep(100); // the application's pause after each write
        QByteArray got;
        for (int i = 0; i < 100 && !got.endsWith(kEnd); ++i)
            if (port.waitForReadyRead(30))
                got += port.readAll();
        QCOMPARE(got, QByteArray("RAMP:1:END\r\n"));
        port.write("CAPT:STRE 1024$");
        got.clear();
        for (int i = 0; i < 200 && got.size() < 2061; ++i)
            if (port.waitForReadyRead(30))
                got += port.readAll();
        QCOMPARE(got.size(), 2061);
    }

    void pacedRepliesKeepTheLineSpeed()
    {
        BtPtyServer::Options o;
        o.pace = true;
        BtPtyServer paced(std::make_shared<VirtualKit>(), o);
        QVERIFY(paced.start());
        Line l(paced.slavePath());
        l.send("SWEEP:FREQSTAR?$");
        // Only that the bytes arrive whole; the timing is measured by the bench.
        QCOMPARE(l.receive(), QByteArray("STARTF:24:END\r\n"));
    }

    void demoHelpers()
    {
        SimUsbBus::global().detachAll();
        SimUsbBus::global().attach(std::make_shared<VirtualKit>("SIM0002"));
        attachVirtualUsbKits(2);
        QStringList serials;
        for (const auto &k : SimUsbBus::global().kits())
            serials << k->serial();
        QCOMPARE(serials, (QStringList{"SIM0002", "SIM0001", "SIM0003"}));
        SimUsbBus::global().detachAll();

        QString error;
        const QString path = startVirtualBtKit(false, &error);
        QVERIFY2(!path.isEmpty(), qPrintable(error));
        QVERIFY(virtualBtKit(path));
        {
            Line l(path);
            QCOMPARE(l.ask("SWEEP:RAMPTIME?$"), QByteArray("RAMP:1:END\r\n"));
        }
        stopVirtualBtKits();
        QVERIFY(!virtualBtKit(path));
    }

    void targetOptions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("range");
        QTest::addColumn<double>("velocity");
        QTest::addColumn<double>("amplitude");
        QTest::newRow("range only") << "2.0" << true << 2.0 << 0.0 << 0.5;
        QTest::newRow("moving") << "3,-0.5" << true << 3.0 << -0.5 << 0.5;
        QTest::newRow("all three") << " 1.5 , 0.25 , 0.1 " << true << 1.5 << 0.25 << 0.1;
        QTest::newRow("empty") << "" << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("not a number") << "two" << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("missing field") << "2," << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("four fields") << "1,2,3,4" << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("negative range") << "-1" << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("zero amplitude") << "1,0,0" << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("infinite") << "inf" << false << 0.0 << 0.0 << 0.0;
    }
    void targetOptions()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, range);
        QFETCH(double, velocity);
        QFETCH(double, amplitude);
        SimTarget t;
        QString error;
        QCOMPARE(parseTargetOption(text, &t, &error), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (valid) {
            QCOMPARE(t.rangeM, range);
            QCOMPARE(t.velocityMps, velocity);
            QCOMPARE(t.amplitudeV, amplitude);
        }
    }

    void simProgram()
    {
        QProcess p;
        p.start(QStringLiteral(KVVLX_SIM_EXE),
                {"--target", "2.0", "--target", "1,0.5,0.2", "--serial", "BENCH7", "--seed", "3"});
        QVERIFY(p.waitForStarted());
        QVERIFY(p.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
        {
            Line l(path);
            QCOMPARE(l.ask("*IDN?$"), QByteArray("IDN:Tamarin Works,KV7310,BENCH7,1.0.0:END\r\n"));
            l.send("CAPT:STRE 1024$");
            QCOMPARE(l.receive(1, 2061).size(), 2061);
        }
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);

        QProcess bad;
        bad.start(QStringLiteral(KVVLX_SIM_EXE), {"--target", "far"});
        QVERIFY(bad.waitForFinished(5000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(SimBtTest)
#include "tst_btptyserver.moc"
