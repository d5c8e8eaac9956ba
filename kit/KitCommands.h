// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The kit's command language, spelled in one place: every command text the programs send, every
// reply tag they read, and the parsing the virtual kit does on the other side of the wire.
//
// Over USB a command is one message of plain text without a terminator, and a reply is one line.
// Over Bluetooth the same keywords are ended by "$", and the kit answers "<tag>:<value>:END\r\n".

#include <optional>
#include <string>
#include <string_view>

namespace KitCommands {

// ---- Keywords. A query is the keyword followed by "?"; a setting the keyword, a blank and the
// argument.
namespace Key {
inline constexpr std::string_view StartFreq = "SWEEP:FREQSTAR"; // GHz; the kit spells it so
inline constexpr std::string_view StopFreq = "SWEEP:FREQSTOP";  // GHz
inline constexpr std::string_view RampTime = "SWEEP:RAMPTIME";  // ms, or a tune code 1 to 8
inline constexpr std::string_view SweepType = "SWEEP:TYPE";     // 0 to 3
inline constexpr std::string_view SweepStart = "SWEEP:START";
inline constexpr std::string_view SweepStop = "SWEEP:STOP";
inline constexpr std::string_view RfPower = "POWE:RF";  // 0 or 1
inline constexpr std::string_view Frame = "CAPT:FRAM";  // USB: frame size, then hex replies
inline constexpr std::string_view Stream = "CAPT:STRE"; // Bluetooth: one binary data reply
inline constexpr std::string_view Identify = "*IDN";
inline constexpr std::string_view Reset = "*RST";
inline constexpr std::string_view ClearStatus = "*CLS";
inline constexpr std::string_view FirmwareId = "SYST:FIRMID";
inline constexpr std::string_view Modules = "SYST:MODU";
inline constexpr std::string_view ModuleSend = "SYST:SENDSTR"; // ":<port>" follows
inline constexpr std::string_view ModuleRead = "SYST:READSTR"; // ":<port>?" follows
inline constexpr std::string_view Lcd = "LCD:LCD";
inline constexpr std::string_view LcdSerial = "LCD:SERNUM";
inline constexpr std::string_view LcdVersion = "LCD:VERS";
inline constexpr std::string_view Fpga = "SYST:ALTERA";
inline constexpr std::string_view SystemPower = "SYST:POWE";
inline constexpr std::string_view Attenuators = "SYST:ATTN";
inline constexpr std::string_view BiasGate = "FACT:BIASGATE";
inline constexpr std::string_view Firmware = "SYST:FIRM";
inline constexpr std::string_view Time = "SYST:TIME";
inline constexpr std::string_view Temperatures = "SYST:TEMP";
inline constexpr std::string_view Currents = "SYST:CURR";
inline constexpr std::string_view ModuleStatus = "SYST:MODULESTATUS";
} // namespace Key

// The two generic shapes every command takes.
std::string query(std::string_view key);                         // "KEY?"
std::string setting(std::string_view key, std::string_view arg); // "KEY arg"

// Samples the kit packs into one "CAPT:FRAM?" reply, four hexadecimal digits each.
inline constexpr int kSamplesPerFrameReply = 31;

// ---- USB text commands. Text arguments go out exactly as the user typed them.
std::string setStartFreq(std::string_view ghz);
std::string setStopFreq(std::string_view ghz);
std::string queryStartFreq();
std::string queryStopFreq();
std::string setRampTime(std::string_view ms);
std::string queryRampTime();
std::string setSweepType(int code);
std::string querySweepType();
std::string startSweep();
std::string stopSweep();
std::string setRfPower(bool on);
std::string queryRfPower();
std::string requestFrame(int samples); // "CAPT:FRAM n"
std::string queryFrame();              // one reply of up to 31 samples

// Identification: the kit, its modules on ports 0 to 3, the LCD and the FPGA.
std::string identify();
std::string queryFirmwareId();
std::string queryModules();
std::string sendToModule(int port, std::string_view command); // SYST:SENDSTR:p "command"
std::string readFromModule(int port);                         // SYST:READSTR:p?
std::string queryModuleFirmwareId(int port);                  // SYST:FIRMID:p?
std::string queryLcd();
std::string queryLcdSerial();
std::string queryLcdVersion();
std::string queryFpga();

// The system catalogue of the command layer.
std::string setSystemPower(bool on);
std::string setAttenuator(int channel, int value);
std::string setBiasGate(int channel, int device);
std::string queryFirmware();
std::string queryTime();
std::string queryTemperatures();
std::string queryCurrents();
std::string queryModuleStatus();
std::string queryAttenuators();

// ---- Bluetooth commands: the same texts ended by "$", e.g. Bt::terminated(queryRampTime()).
inline constexpr char kBtEnd = '$';
namespace Bt {
std::string terminated(std::string command);
std::string requestStream(int samples); // "CAPT:STRE n$": one binary data reply
} // namespace Bt

// ---- Bluetooth replies.
inline constexpr std::string_view kReplyEnd = ":END\r\n";
// The data reply's header: 7 bytes whose text before the message's first ":" holds "DATA" and no
// tag tested before it; the kit fills the rest as it likes ("DATA00:", "DATA:00", "xDATA::").
inline constexpr int kDataHeaderBytes = 7;

// Reply tags in the order the tab tests them; the first one the reply's tag contains wins.
enum class BtTag {
    None,
    StartFreq, // "STARTF"
    StopFreq,  // "STOPF"
    Ramp,      // "RAMP"
    Type,      // "TYPE"
    Lock,      // "LOCK"
    Pllm,      // "PLLM"
    RfPower,   // "RFPOW"
    Retact,    // "RETACT"
    Freq,      // "FREQ"
    Div,       // "DIV"
    RefExt,    // "REFEXT"
    Fram,      // "FRAM"
    Data,      // "DATA"
    Identity,  // "IDN": the kit's answer to "*IDN?$"; the tab does not test for it
};

std::string_view tagName(BtTag tag); // empty for BtTag::None

// The tag a reply's tag field stands for, by the tab's ordered, case-sensitive substring test.
BtTag matchTag(std::string_view tagField);

// The first two fields of a reply: the bytes before the first ":" and the value up to its first
// zero byte. A reply without a value takes "END\r\n" as its value. Empty with fewer than two
// fields.
struct BtFields
{
    std::string_view tag;
    std::string_view value;
};
std::optional<BtFields> splitReply(std::string_view message);

// A whole text reply "<tag>:<value>:END\r\n" whose tag is exactly that tag; the value it
// carries. Empty for any other tag, a missing terminator or a value holding ":".
std::optional<std::string_view> replyValue(std::string_view message, BtTag tag);
// The same with the value read as a number; empty when it is not one.
std::optional<int> replyInt(std::string_view message, BtTag tag);
std::optional<double> replyNumber(std::string_view message, BtTag tag);

// "<tag>:<value>:END\r\n", as the kit sends it.
std::string reply(BtTag tag, std::string_view value);

// Whether a framed message is a data reply: its tag (the bytes before its first ":") is taken
// as "DATA" by the ordered tag test, so "DATA:00", "ADATA0:" and "DATA" + binary bytes are,
// "STARTF_DATA:" is not.
bool isDataReply(std::string_view message);
std::string dataHeader(int counter); // "DATA" + counter as two upper-case hex digits + ":"

// ---- USB replies. The kit ends each reply with one terminator character of its choosing,
// counted in the reply's byte count; this is the reply without it: the first count - 1
// characters of text (all of text when count is 0 or less, or text stops early at a zero byte).
std::string_view replyBody(std::string_view text, int count);
// How many characters of a text of textLength characters that body keeps.
std::size_t replyBodyLength(std::size_t textLength, int count);

// ---- The kit's side: reading a command as it arrives.
struct Command
{
    std::string header; // upper case: the kit takes its keywords in any case
    std::string args;   // after the first white space, trimmed
};
// Splits a USB message at the first white space.
Command parseCommand(std::string_view text);
// The same for a Bluetooth command, its "$" dropped.
Command parseBtCommand(std::string_view text);

// For "SYST:SENDSTR:p", "SYST:READSTR:p?" and "SYST:FIRMID:p?": the port p (0 to 9) when the
// header is that key followed by ":" and one digit, with "?" exactly when asQuery.
std::optional<int> modulePort(std::string_view header, std::string_view key, bool asQuery);

// The text inside a module command's quotes, as sendToModule wraps it; the text itself when it
// carries no quotes.
std::string_view unquote(std::string_view text);

} // namespace KitCommands
