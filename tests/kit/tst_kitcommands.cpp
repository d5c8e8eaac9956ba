// SPDX-License-Identifier: GPL-3.0-or-later
// The command texts as the kit's command language writes them, the reply parsers against good
// and malformed replies, and a round trip through the virtual kit's parser.
#include "kit/KitCommands.h"
#include "sim/VirtualKit.h"

#include <QtTest>

using namespace KitCommands;

namespace {
QByteArray bytes(const std::string &s) { return QByteArray::fromStdString(s); }
} // namespace

class KitCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void usbCommandsAreExactText_data();
    void usbCommandsAreExactText();
    void btCommandsAreExactText_data();
    void btCommandsAreExactText();
    void tagsMatchInTheTabsOrder();
    void splitReplyKeepsTheTabsReading();
    void strictParsersAcceptGoodReplies();
    void strictParsersRejectMalformedReplies();
    void dataHeader();
    void usbReplyBody();
    void kitSideParsing();
    void usbRoundTripThroughTheVirtualKit();
    void btRoundTripThroughTheVirtualKit();
};

void KitCommandsTest::usbCommandsAreExactText_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char *name, const std::string &built, const char *expected) {
        QTest::newRow(name) << bytes(built) << QByteArray(expected);
    };
    row("start freq", setStartFreq("24.05"), "SWEEP:FREQSTAR 24.05");
    row("stop freq", setStopFreq("24.25"), "SWEEP:FREQSTOP 24.25");
    row("start freq?", queryStartFreq(), "SWEEP:FREQSTAR?");
    row("stop freq?", queryStopFreq(), "SWEEP:FREQSTOP?");
    row("ramp typed", setRampTime(" 1.5e0"), "SWEEP:RAMPTIME  1.5e0");
    row("ramp code", setRampTime("8"), "SWEEP:RAMPTIME 8");
    row("ramp?", queryRampTime(), "SWEEP:RAMPTIME?");
    row("type", setSweepType(3), "SWEEP:TYPE 3");
    row("type negative", setSweepType(-1), "SWEEP:TYPE -1");
    row("type?", querySweepType(), "SWEEP:TYPE?");
    row("start", startSweep(), "SWEEP:START");
    row("stop", stopSweep(), "SWEEP:STOP");
    row("rf on", setRfPower(true), "POWE:RF 1");
    row("rf off", setRfPower(false), "POWE:RF 0");
    row("rf?", queryRfPower(), "POWE:RF?");
    row("frame", requestFrame(1024), "CAPT:FRAM 1024");
    row("frame 0", requestFrame(0), "CAPT:FRAM 0");
    row("frame negative", requestFrame(-40), "CAPT:FRAM -40");
    row("frame?", queryFrame(), "CAPT:FRAM?");
    row("idn", identify(), "*IDN?");
    row("firmid", queryFirmwareId(), "SYST:FIRMID?");
    row("modules", queryModules(), "SYST:MODU?");
    row("module send", sendToModule(2, identify()), "SYST:SENDSTR:2 \"*IDN?\"");
    row("module read", readFromModule(0), "SYST:READSTR:0?");
    row("module firmid", queryModuleFirmwareId(3), "SYST:FIRMID:3?");
    row("lcd", queryLcd(), "LCD:LCD?");
    row("lcd serial", queryLcdSerial(), "LCD:SERNUM?");
    row("lcd version", queryLcdVersion(), "LCD:VERS?");
    row("fpga", queryFpga(), "SYST:ALTERA?");
    row("power on", setSystemPower(true), "SYST:POWE 1");
    row("power off", setSystemPower(false), "SYST:POWE 0");
    row("atten", setAttenuator(2, 17), "SYST:ATTN 2,17");
    row("bias gate", setBiasGate(5, 1), "FACT:BIASGATE 5,1");
    row("firmware", queryFirmware(), "SYST:FIRM?");
    row("time", queryTime(), "SYST:TIME?");
    row("temps", queryTemperatures(), "SYST:TEMP?");
    row("currents", queryCurrents(), "SYST:CURR?");
    row("status", queryModuleStatus(), "SYST:MODULESTATUS?");
    row("attens", queryAttenuators(), "SYST:ATTN?");
}

void KitCommandsTest::usbCommandsAreExactText()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void KitCommandsTest::btCommandsAreExactText_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char *name, const std::string &built, const char *expected) {
        QTest::newRow(name) << bytes(built) << QByteArray(expected);
    };
    row("start freq", Bt::terminated(setStartFreq("24.05")), "SWEEP:FREQSTAR 24.05$");
    row("stop freq", Bt::terminated(setStopFreq("")), "SWEEP:FREQSTOP $");
    row("start freq?", Bt::terminated(queryStartFreq()), "SWEEP:FREQSTAR?$");
    row("stop freq?", Bt::terminated(queryStopFreq()), "SWEEP:FREQSTOP?$");
    row("ramp", Bt::terminated(setRampTime("2")), "SWEEP:RAMPTIME 2$");
    row("ramp?", Bt::terminated(queryRampTime()), "SWEEP:RAMPTIME?$");
    row("type", Bt::terminated(setSweepType(1)), "SWEEP:TYPE 1$");
    row("type?", Bt::terminated(querySweepType()), "SWEEP:TYPE?$");
    row("start", Bt::terminated(startSweep()), "SWEEP:START$");
    row("stop", Bt::terminated(stopSweep()), "SWEEP:STOP$");
    row("rf on", Bt::terminated(setRfPower(true)), "POWE:RF 1$");
    row("rf off", Bt::terminated(setRfPower(false)), "POWE:RF 0$");
    row("rf?", Bt::terminated(queryRfPower()), "POWE:RF?$");
    row("stream", Bt::requestStream(1024), "CAPT:STRE 1024$");
    row("stream negative", Bt::requestStream(-3), "CAPT:STRE -3$");
    // Typed text goes out as typed, UTF-8 and all.
    row("typed utf8", Bt::terminated(setRampTime("\xc2\xb5s")), "SWEEP:RAMPTIME \xc2\xb5s$");
}

void KitCommandsTest::btCommandsAreExactText()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void KitCommandsTest::tagsMatchInTheTabsOrder()
{
    QCOMPARE(matchTag("STARTF"), BtTag::StartFreq);
    QCOMPARE(matchTag("xxSTOPFyy"), BtTag::StopFreq);
    QCOMPARE(matchTag("RAMP"), BtTag::Ramp);
    QCOMPARE(matchTag("TYPE"), BtTag::Type);
    QCOMPARE(matchTag("RFPOW"), BtTag::RfPower);
    QCOMPARE(matchTag("DATA1F"), BtTag::Data);
    // "STARTF" is tested before "DATA", "FRAM" before "DATA", "RAMP" before "FREQ".
    QCOMPARE(matchTag("STARTFDATA"), BtTag::StartFreq);
    QCOMPARE(matchTag("FRAMDATA"), BtTag::Fram);
    QCOMPARE(matchTag("FREQRAMP"), BtTag::Ramp);
    // Case-sensitive, and the identification tag is not one the tab tests.
    QCOMPARE(matchTag("startf"), BtTag::None);
    QCOMPARE(matchTag("IDN"), BtTag::None);
    QCOMPARE(matchTag(""), BtTag::None);
}

void KitCommandsTest::splitReplyKeepsTheTabsReading()
{
    const auto ramp = splitReply("RAMP:1.5:END\r\n");
    QVERIFY(ramp);
    QCOMPARE(QByteArray::fromStdString(std::string(ramp->tag)), QByteArray("RAMP"));
    QCOMPARE(QByteArray::fromStdString(std::string(ramp->value)), QByteArray("1.5"));
    // A reply without a value takes what follows the first ":" up to the next.
    const auto bare = splitReply("RAMP:END\r\n");
    QVERIFY(bare);
    QCOMPARE(QByteArray::fromStdString(std::string(bare->value)), QByteArray("END\r\n"));
    // The value stops at a zero byte.
    const auto zero = splitReply(std::string_view("TYPE:2\0x:END\r\n", 14));
    QVERIFY(zero);
    QCOMPARE(QByteArray::fromStdString(std::string(zero->value)), QByteArray("2"));
    QVERIFY(!splitReply("no colon at all"));
    QVERIFY(!splitReply(""));
}

void KitCommandsTest::strictParsersAcceptGoodReplies()
{
    QCOMPARE(replyNumber("STARTF:24.05:END\r\n", BtTag::StartFreq), std::optional<double>(24.05));
    QCOMPARE(replyNumber("RAMP:1:END\r\n", BtTag::Ramp), std::optional<double>(1.0));
    QCOMPARE(replyInt("TYPE:2:END\r\n", BtTag::Type), std::optional<int>(2));
    QCOMPARE(replyInt("RFPOW:0:END\r\n", BtTag::RfPower), std::optional<int>(0));
    const auto idn = replyValue("IDN:Tamarin Works,KV7310,SN1,1.1.0:END\r\n", BtTag::Identity);
    QVERIFY(idn);
    QCOMPARE(QByteArray::fromStdString(std::string(*idn)),
             QByteArray("Tamarin Works,KV7310,SN1,1.1.0"));
    const auto empty = replyValue("STOPF::END\r\n", BtTag::StopFreq);
    QVERIFY(empty && empty->empty());
}

void KitCommandsTest::strictParsersRejectMalformedReplies()
{
    // Wrong tag, a tag that only contains the right one, and a tag the tab matches by substring.
    QVERIFY(!replyNumber("STOPF:24.05:END\r\n", BtTag::StartFreq));
    QVERIFY(!replyNumber("XSTARTF:24.05:END\r\n", BtTag::StartFreq));
    QVERIFY(!replyNumber("STARTFX:24.05:END\r\n", BtTag::StartFreq));
    // Missing or cut terminator.
    QVERIFY(!replyNumber("STARTF:24.05", BtTag::StartFreq));
    QVERIFY(!replyNumber("STARTF:24.05:END\r", BtTag::StartFreq));
    QVERIFY(!replyNumber("STARTF:24.05:END", BtTag::StartFreq));
    // Not numbers.
    QVERIFY(!replyNumber("STARTF:abc:END\r\n", BtTag::StartFreq));
    QVERIFY(!replyNumber("STARTF:24.05GHz:END\r\n", BtTag::StartFreq));
    QVERIFY(!replyNumber("STARTF::END\r\n", BtTag::StartFreq));
    QVERIFY(!replyInt("TYPE:2.5:END\r\n", BtTag::Type));
    QVERIFY(!replyInt("TYPE:x:END\r\n", BtTag::Type));
    // A value with a colon in it is not one value; no tag at all is no reply.
    QVERIFY(!replyValue("RAMP:1:2:END\r\n", BtTag::Ramp));
    QVERIFY(!replyValue(":END\r\n", BtTag::None));
    QVERIFY(!replyValue("", BtTag::Ramp));
}

void KitCommandsTest::dataHeader()
{
    // Every header whose text before the first ":" holds "DATA" and no earlier tag.
    for (const char *header : {"DATA1F:", "DATA:00", "DATA0:0", "xDATA::", "ADATA0:"})
        QVERIFY2(isDataReply(std::string(header) + "ab:END\r\n"), header);
    QVERIFY(isDataReply(std::string_view("DATA\x00\xff\x01payload:END\r\n", 20)));
    // An earlier tag wins; the tag ends at the first ":", so "DATA" after it does not count.
    QVERIFY(!isDataReply("STARTFDATA:ab:END\r\n"));
    QVERIFY(!isDataReply("DAT:ADATA:END\r\n"));
    QVERIFY(!isDataReply("DATA1F")); // no ":" at all: not a reply
    QCOMPARE(bytes(KitCommands::dataHeader(0)), QByteArray("DATA00:"));
    QCOMPARE(bytes(KitCommands::dataHeader(0xab)), QByteArray("DATAAB:"));
    QCOMPARE(bytes(reply(BtTag::Ramp, "2")), QByteArray("RAMP:2:END\r\n"));
    QCOMPARE(bytes(reply(BtTag::RfPower, "1")), QByteArray("RFPOW:1:END\r\n"));
}

void KitCommandsTest::usbReplyBody()
{
    // Whatever single character ends the reply goes, and only that one.
    QVERIFY(replyBody("24.1\n", 5) == "24.1");
    QVERIFY(replyBody("24.1\x03", 5) == "24.1");
    QVERIFY(replyBody("24.1\r\n", 6) == "24.1\r");
    QVERIFY(replyBody("24.1", 5) == "24.1"); // a zero byte cut the text before its terminator
    QVERIFY(replyBody("", 0) == "");
    QVERIFY(replyBody("x", -1) == "x");
}

void KitCommandsTest::kitSideParsing()
{
    const Command set = parseCommand("  sweep:freqStar\t 24.1 ");
    QCOMPARE(QByteArray::fromStdString(set.header), QByteArray("SWEEP:FREQSTAR"));
    QCOMPARE(QByteArray::fromStdString(set.args), QByteArray("24.1"));
    const Command bt = parseBtCommand("SWEEP:TYPE?$");
    QCOMPARE(QByteArray::fromStdString(bt.header), QByteArray("SWEEP:TYPE?"));
    QVERIFY(bt.args.empty());
    const Command btArg = parseBtCommand("CAPT:STRE 16$\r\n");
    QCOMPARE(QByteArray::fromStdString(btArg.header), QByteArray("CAPT:STRE"));
    QCOMPARE(QByteArray::fromStdString(btArg.args), QByteArray("16"));
    // Over USB a "$" is part of the text.
    QCOMPARE(QByteArray::fromStdString(parseCommand("SWEEP:START$").header),
             QByteArray("SWEEP:START$"));

    QCOMPARE(modulePort("SYST:SENDSTR:2", Key::ModuleSend, false), std::optional<int>(2));
    QCOMPARE(modulePort("SYST:READSTR:0?", Key::ModuleRead, true), std::optional<int>(0));
    QCOMPARE(modulePort("SYST:FIRMID:3?", Key::FirmwareId, true), std::optional<int>(3));
    QVERIFY(!modulePort("SYST:FIRMID?", Key::FirmwareId, true));
    QVERIFY(!modulePort("SYST:READSTR:0", Key::ModuleRead, true));
    QVERIFY(!modulePort("SYST:SENDSTR:1?", Key::ModuleSend, false));
    QVERIFY(!modulePort("SYST:READSTR:x?", Key::ModuleRead, true));
    QVERIFY(!modulePort("SYST:READSTR:12?", Key::ModuleRead, true));
    QCOMPARE(QByteArray::fromStdString(std::string(unquote("\"*IDN?\""))), QByteArray("*IDN?"));
    QCOMPARE(QByteArray::fromStdString(std::string(unquote("*IDN?"))), QByteArray("*IDN?"));
}

void KitCommandsTest::usbRoundTripThroughTheVirtualKit()
{
    VirtualKit kit(QStringLiteral("RT1"));
    auto ask = [&kit](const std::string &command) { return kit.handleUsbCommand(bytes(command)); };
    QVERIFY(ask(setStartFreq("24.1")).isEmpty());
    QVERIFY(ask(setStopFreq("24.2")).isEmpty());
    QVERIFY(ask(setRampTime("2")).isEmpty());
    QVERIFY(ask(setSweepType(1)).isEmpty());
    QVERIFY(ask(setRfPower(true)).isEmpty());
    QCOMPARE(ask(queryStartFreq()), QByteArray("24.1\n"));
    QCOMPARE(ask(queryStopFreq()), QByteArray("24.2\n"));
    QCOMPARE(ask(queryRampTime()), QByteArray("2\n"));
    QCOMPARE(ask(querySweepType()), QByteArray("1\n"));
    QCOMPARE(ask(queryRfPower()), QByteArray("1\n"));
    QVERIFY(ask(identify()).startsWith("Tamarin Works,KV7310,RT1,"));

    // A frame of 40 samples: two replies of 31 and 9 samples, four hex digits each.
    QVERIFY(ask(requestFrame(40)).isEmpty());
    QCOMPARE(ask(queryFrame()).size(), 31 * 4 + 1);
    QCOMPARE(ask(queryFrame()).size(), 9 * 4 + 1);

    // A module on port 0 answers its identification through the kit.
    SimModules modules;
    modules.portMask = 1;
    kit.setModules(modules);
    QVERIFY(ask(sendToModule(0, identify())).isEmpty());
    QVERIFY(ask(readFromModule(0)).startsWith("Tamarin Works,"));
    QVERIFY(!ask(queryModuleFirmwareId(0)).isEmpty());

    QVERIFY(ask(setAttenuator(1, 7)).isEmpty());
    QVERIFY(ask(queryAttenuators()).startsWith("7"));
}

void KitCommandsTest::btRoundTripThroughTheVirtualKit()
{
    VirtualKit kit(QStringLiteral("RT2"));
    auto ask = [&kit](const std::string &command) {
        return kit.handleBtCommand(bytes(command)).bytes.toStdString();
    };
    QVERIFY(ask(Bt::terminated(setStartFreq("24.1"))).empty());
    QVERIFY(ask(Bt::terminated(setRampTime("3"))).empty());
    QVERIFY(ask(Bt::terminated(setSweepType(3))).empty());
    QVERIFY(ask(Bt::terminated(setRfPower(false))).empty());
    QCOMPARE(replyNumber(ask(Bt::terminated(queryStartFreq())), BtTag::StartFreq),
             std::optional<double>(24.1));
    QVERIFY(replyNumber(ask(Bt::terminated(queryStopFreq())), BtTag::StopFreq));
    QCOMPARE(replyNumber(ask(Bt::terminated(queryRampTime())), BtTag::Ramp),
             std::optional<double>(3.0));
    QCOMPARE(replyInt(ask(Bt::terminated(querySweepType())), BtTag::Type), std::optional<int>(3));
    QCOMPARE(replyInt(ask(Bt::terminated(queryRfPower())), BtTag::RfPower), std::optional<int>(0));

    const std::string data = ask(Bt::requestStream(16));
    QVERIFY(isDataReply(data));
    QCOMPARE(matchTag(splitReply(data)->tag), BtTag::Data);
    QCOMPARE(data.size(), std::size_t(7 + 2 * 16 + 6));
    QCOMPARE(QByteArray::fromStdString(data.substr(data.size() - 6)), QByteArray(":END\r\n"));
}

QTEST_GUILESS_MAIN(KitCommandsTest)
#include "tst_kitcommands.moc"
