// SPDX-License-Identifier: GPL-3.0-or-later
// The USBTMC framing of the native backend, byte for byte, over a recording device layer.

#include "FakeDeviceLayer.h"
#include "LogCapture.h"

#include "link/WinUSBTMC.h"

#include <QtTest>

namespace {

std::uint32_t lengthAt(const Bytes &t, int offset)
{
    return t[offset] | t[offset + 1] << 8 | t[offset + 2] << 16 |
           std::uint32_t(t[offset + 3]) << 24;
}

struct Rig
{
    std::shared_ptr<FakeWire> wire = std::make_shared<FakeWire>();
    WinUSBTMC backend{std::make_unique<FakeDeviceLayer>(wire), [w = wire](unsigned long ms) {
                          QCOMPARE(ms, 10ul);
                          w->events << "pause";
                      }};

    Rig() { wire->paths = {"fake:1"}; }
    void openKit()
    {
        QCOMPARE(backend.open("fake:1"), 0);
        wire->events.clear();
    }
};

} // namespace

class FramingTest : public QObject
{
    Q_OBJECT
private slots:
    void commandMessage_data();
    void commandMessage();
    void tagsWrapAndRestartOnOpen();
    void readRequestFollowsCommandTag();
    void replyChecks_data();
    void replyChecks();
    void staleReplyRefused();
    void pausesAroundEveryTransfer();
    void writeAndReadFailures();
    void timedOutReadIsAbortedAndTheNextReplyFits();
    void missedIdentificationIsAskedAgain();
    void openAndCloseFailures();
    void findDevicesFilter();
    void findDevicesFailures();
};

void FramingTest::commandMessage_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("framed");
    QTest::newRow("4 bytes, no padding") << QByteArray("ABCD") << 16;
    QTest::newRow("5 bytes, 3 padding") << QByteArray("ABCDE") << 20;
    QTest::newRow("empty") << QByteArray() << 12;
    QTest::newRow("*IDN?\\n") << QByteArray("*IDN?\n") << 20;
}

void FramingTest::commandMessage()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, framed);
    Rig rig;
    rig.openKit();
    QCOMPARE(rig.backend.write(payload.constData(), int(payload.size())), framed);
    QCOMPARE(rig.wire->out.size(), std::size_t(1));
    const Bytes &t = rig.wire->out.front();
    QCOMPARE(int(t.size()), framed);
    QCOMPARE(t[0], std::uint8_t(1));
    QCOMPARE(t[1], std::uint8_t(1));
    QCOMPARE(t[2], std::uint8_t(0xFE));
    QCOMPARE(t[3], std::uint8_t(0));
    QCOMPARE(lengthAt(t, 4), std::uint32_t(payload.size()));
    QCOMPARE(t[8], std::uint8_t(1)); // EOM
    QCOMPARE(t[9] | t[10] | t[11], 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(t.data()) + 12, int(payload.size())),
             payload);
    for (std::size_t i = 12 + std::size_t(payload.size()); i < t.size(); ++i)
        QCOMPARE(t[i], std::uint8_t(0));
}

void FramingTest::tagsWrapAndRestartOnOpen()
{
    Rig rig;
    rig.openKit();
    for (int i = 0; i < 256; ++i)
        QVERIFY(rig.backend.write("X", 1) >= 0);
    QCOMPARE(rig.wire->out[0][1], std::uint8_t(1));
    QCOMPARE(rig.wire->out[254][1], std::uint8_t(255));
    QCOMPARE(rig.wire->out[254][2], std::uint8_t(0));
    QCOMPARE(rig.wire->out[255][1], std::uint8_t(1)); // 0 is skipped
    for (const Bytes &t : rig.wire->out)
        QVERIFY(t[1] != 0);

    QVERIFY(rig.backend.write("X", 1) >= 0);
    QCOMPARE(rig.backend.nextTag(), std::uint8_t(3));
    rig.backend.close();
    rig.openKit();
    QCOMPARE(rig.backend.nextTag(), std::uint8_t(1));
    QVERIFY(rig.backend.write("X", 1) >= 0);
    QCOMPARE(rig.wire->out.back()[1], std::uint8_t(1));
}

void FramingTest::readRequestFollowsCommandTag()
{
    Rig rig;
    rig.wire->answers["fake:1"]["*IDN?"] = "Tamarin Works,KV7310,SN7,1.0\n";
    rig.openKit();
    QVERIFY(rig.backend.write("*IDN?", 5) >= 0);
    char buffer[256];
    std::fill(buffer, buffer + sizeof buffer, '#');
    const int n = rig.backend.read(buffer, 255);
    QCOMPARE(QByteArray(buffer, n), QByteArray("Tamarin Works,KV7310,SN7,1.0\n"));
    QCOMPARE(buffer[n], '#'); // nothing past the payload
    const Bytes &request = rig.wire->out.back();
    QCOMPARE(int(request.size()), 12);
    QCOMPARE(request[0], std::uint8_t(2));
    QCOMPARE(request[1], std::uint8_t(2));
    QCOMPARE(request[2], std::uint8_t(0xFD));
    QCOMPARE(lengthAt(request, 4), std::uint32_t(255));
    QCOMPARE(request[8] | request[9] | request[10] | request[11], 0);
}

void FramingTest::replyChecks_data()
{
    QTest::addColumn<QVariant>("transfer");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("log");
    auto bytes = [](const Bytes &b) {
        return QVariant::fromValue(
            QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size())));
    };

    // The request in each row carries tag 1.
    Bytes eleven = replyTransfer(1, "");
    eleven.resize(11);
    QTest::newRow("11 bytes") << bytes(eleven) << 255 << -1 << "Read data not long enough";
    QTest::newRow("12 bytes announcing 0") << bytes(replyTransfer(1, "")) << 255 << 0 << "";
    Bytes wrongType = replyTransfer(1, "OK");
    wrongType[0] = 1;
    QTest::newRow("wrong MsgID") << bytes(wrongType) << 255 << -1 << "Read packet looks invalid";
    Bytes badInverse = replyTransfer(1, "OK");
    badInverse[2] = 0xFF;
    QTest::newRow("inverted tag wrong")
        << bytes(badInverse) << 255 << -1 << "Read packet looks invalid";
    QTest::newRow("another tag") << bytes(replyTransfer(0xF0, "OK")) << 255 << -1
                                 << "Read packet looks invalid";
    Bytes shortData = replyTransfer(1, "ABCDEFGH", 9);
    shortData.resize(12 + 8);
    QTest::newRow("less data than announced")
        << bytes(shortData) << 255 << -1 << "Read data not long enough after processing size";
    QTest::newRow("more than the capacity")
        << bytes(replyTransfer(1, "ABCDEFGH")) << 4 << -1 << "Read packet looks invalid";
    QTest::newRow("exactly the capacity") << bytes(replyTransfer(1, "ABCD")) << 4 << 4 << "";
    QTest::newRow("huge announced length")
        << bytes(replyTransfer(1, "AB", 0xFFFFFFF0)) << 255 << -1 << "Read packet looks invalid";
}

void FramingTest::replyChecks()
{
    QFETCH(QVariant, transfer);
    QFETCH(int, capacity);
    QFETCH(int, result);
    QFETCH(QString, log);
    const QByteArray raw = transfer.toByteArray();
    Rig rig;
    rig.openKit();
    rig.wire->scripted.push_back(Bytes(raw.begin(), raw.end()));
    LogCapture capture;
    std::vector<char> buffer(std::size_t(capacity) + 8, '#');
    QCOMPARE(rig.backend.read(buffer.data(), capacity), result);
    for (std::size_t i = std::size_t(capacity); i < buffer.size(); ++i)
        QCOMPARE(buffer[i], '#');
    if (log.isEmpty())
        QVERIFY(capture.lines.isEmpty());
    else
        QCOMPARE(capture.lines, QStringList{log});
    QCOMPARE(rig.backend.nextTag(), std::uint8_t(2));
}

void FramingTest::staleReplyRefused()
{
    Rig rig;
    rig.openKit();
    char buffer[256];
    QVERIFY(rig.backend.write("A?", 2) >= 0);    // tag 1
    QCOMPARE(rig.backend.read(buffer, 255), -1); // request tag 2 times out
    QVERIFY(rig.backend.write("B?", 2) >= 0);    // tag 3
    rig.wire->scripted.push_back(replyTransfer(2, "late answer to A"));
    LogCapture capture;
    QCOMPARE(rig.backend.read(buffer, 255), -1); // request tag 4 gets the reply for 2
    QCOMPARE(capture.lines, QStringList{"Read packet looks invalid"});
}

void FramingTest::pausesAroundEveryTransfer()
{
    Rig rig;
    rig.wire->answers["fake:1"]["Q?"] = "1";
    QCOMPARE(rig.backend.open("fake:1"), 0);
    QVERIFY(rig.backend.write("Q?", 2) >= 0);
    char buffer[256];
    QCOMPARE(rig.backend.read(buffer, 255), 1);
    QCOMPARE(rig.backend.close(), 0);
    const QStringList expected{"open fake:1", "pause",                                  // open
                               "pause",       "out",   "pause",                         // write
                               "pause",       "out",   "pause", "pause", "in", "pause", // read
                               "close",       "pause"};                                 // close
    QCOMPARE(rig.wire->events, expected);
}

void FramingTest::writeAndReadFailures()
{
    Rig rig;
    rig.openKit();
    char buffer[256];
    {
        LogCapture capture;
        rig.wire->writeFails = true;
        QCOMPARE(rig.backend.write("ABC", 3), -1);
        QCOMPARE(rig.backend.read(buffer, 255), -1);
        QCOMPARE(capture.lines, (QStringList{"Error Writing to USB device during send", "31",
                                             "Aborted the bulk-OUT transfer of tag 1",
                                             "Error Writing to USB device", "31",
                                             "Aborted the bulk-OUT transfer of tag 2"}));
        QCOMPARE(rig.backend.nextTag(), std::uint8_t(3)); // the tag moves on after a failed write
    }
    {
        LogCapture capture;
        rig.wire->writeFails = false;
        rig.wire->shortWriteBy = 4;
        QCOMPARE(rig.backend.write("ABCDE", 5), -2);
        QCOMPARE(rig.backend.read(buffer, 255), -1);
        QCOMPARE(capture.lines, (QStringList{"Wrong number of bytes written", "16",
                                             "Aborted the bulk-OUT transfer of tag 3",
                                             "Couldn't send the right number of bytes",
                                             "Aborted the bulk-OUT transfer of tag 4"}));
    }
    {
        LogCapture capture;
        rig.wire->shortWriteBy = 0;
        rig.wire->readFails = true;
        QCOMPARE(rig.backend.read(buffer, 255), -1);
        QCOMPARE(capture.lines, (QStringList{"Error Reading from USB device", "31",
                                             "Aborted the bulk-IN transfer of tag 5"}));
    }
    // The abort goes out right after the failed transfer, before anything else on the wire.
    QCOMPARE(
        rig.wire->events.filter(QStringLiteral("abort")),
        (QStringList{"abort OUT 1", "abort OUT 2", "abort OUT 3", "abort OUT 4", "abort IN 5"}));
    const int lastIn = int(rig.wire->events.lastIndexOf("in"));
    QCOMPARE(rig.wire->events.mid(lastIn), (QStringList{"in", "pause", "abort IN 5"}));
}

void FramingTest::timedOutReadIsAbortedAndTheNextReplyFits()
{
    Rig rig;
    rig.wire->answers["fake:1"]["Q?"] = "1";
    rig.wire->silent << "fake:1";
    QCOMPARE(rig.backend.open("fake:1"), 0);
    char buffer[256];
    QVERIFY(rig.backend.write("Q?", 2) >= 0);         // tag 1
    QCOMPARE(rig.backend.read(buffer, 255), -1);      // request tag 2 times out
    QVERIFY(rig.wire->events.contains("abort IN 2")); // the request's own tag
    rig.wire->silent.clear();
    QVERIFY(rig.backend.write("Q?", 2) >= 0);
    QCOMPARE(rig.backend.read(buffer, 255), 1);
    QCOMPARE(buffer[0], '1');
}

void FramingTest::missedIdentificationIsAskedAgain()
{
    Rig rig;
    rig.wire->paths = {"k:slow", "k:mute"};
    rig.wire->answers["k:slow"]["*IDN?\n"] = kitIdn("B1");
    rig.wire->answers["k:mute"]["*IDN?\n"] = kitIdn("B2");
    rig.wire->missIdn["k:slow"] = 1;
    rig.wire->missIdn["k:mute"] = 2;
    const QPair<int, QStringList> found = rig.backend.findDevices();
    QCOMPARE(found.second, QStringList{"k:slow"}); // asked twice at most, never a third time
    QCOMPARE(rig.wire->commands.count("*IDN?\n"), 4);
}

void FramingTest::openAndCloseFailures()
{
    Rig rig;
    LogCapture capture;
    rig.wire->unopenable << "fake:1";
    QCOMPARE(rig.backend.open("fake:1"), -1);
    rig.wire->unopenable.clear();
    QCOMPARE(rig.backend.open("fake:1"), 0);
    rig.wire->closeFails = true;
    QCOMPARE(rig.backend.close(), -1);
    QVERIFY(!rig.backend.deviceLayer()->isOpen()); // cleared whatever the outcome
    QCOMPARE(capture.lines,
             (QStringList{"Error on handle open", "31", "Error closing file handle", "31"}));
}

void FramingTest::findDevicesFilter()
{
    Rig rig;
    rig.wire->paths = {"k:good1", "k:five", "k:case", "k:three", "k:locked", "k:silent", "k:good2"};
    auto &a = rig.wire->answers;
    a["k:good1"]["*IDN?\n"] = "  Tamarin Works,KV7310,A1,1.0\r\n";
    a["k:five"]["*IDN?\n"] = "Tamarin Works,KV7310,A2,1.0,extra\n";
    a["k:case"]["*IDN?\n"] = "TAMARIN WORKS,KV7310,A3,1.0\n";
    a["k:three"]["*IDN?\n"] = "Tamarin Works,KV7310,A4\n";
    a["k:locked"]["*IDN?\n"] = kitIdn("A5");
    a["k:good2"]["*IDN?\n"] = "Tamarin Works,Other product,,\n"; // only the maker is checked
    rig.wire->unopenable << "k:locked";
    rig.wire->silent << "k:silent";

    LogCapture capture;
    const QPair<int, QStringList> found = rig.backend.findDevices();
    QCOMPARE(found.first, 2);
    QCOMPARE(found.second, (QStringList{"k:good1", "k:good2"}));
    QCOMPARE(rig.wire->opens, 6);
    QCOMPARE(rig.wire->closes, 6); // every opened candidate is closed again
    QVERIFY(!rig.backend.deviceLayer()->isOpen());
    QCOMPARE(capture.lines.count("It's an TWX device"), 2);
    QCOMPARE(capture.lines.count("Error opening that handle"), 1);
    // The kit that would not open is named, with the reason, for the "No USB devices" message.
    QCOMPARE(rig.backend.lastProblem(), QStringLiteral("k:locked could not be opened: error 31"));
    QCOMPARE(capture.lines.mid(capture.lines.size() - 4),
             (QStringList{"Enumeration done", "0x1F", "For comparison, the expected value is 0x103",
                          "Finished initialization"}));
    // Each probe: pause, open (pause), pause, then the write of "*IDN?\n".
    const int firstOpen = int(rig.wire->events.indexOf("open k:good1"));
    QCOMPARE(rig.wire->events.mid(0, 3), (QStringList{"pause", "enumerate", "pause"}));
    QCOMPARE(rig.wire->events.mid(firstOpen - 1, 6),
             (QStringList{"pause", "open k:good1", "pause", "pause", "pause", "out"}));
}

void FramingTest::findDevicesFailures()
{
    Rig rig;
    rig.wire->paths.clear();
    QCOMPARE(rig.backend.findDevices(), (QPair<int, QStringList>(0, {})));

    LogCapture capture;
    rig.wire->enumerateFails = true;
    rig.wire->errorCode = 0xE000020B;
    QCOMPARE(rig.backend.findDevices(), (QPair<int, QStringList>(-1, {})));
    QCOMPARE(capture.lines, (QStringList{"Error getting devices", "0xE000020B"}));
}

QTEST_GUILESS_MAIN(FramingTest)
#include "tst_winusbtmc.moc"
