// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/KitCommands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace KitCommands {

std::string query(std::string_view key)
{
    std::string text(key);
    text += '?';
    return text;
}

std::string setting(std::string_view key, std::string_view arg)
{
    std::string text(key);
    text += ' ';
    text += arg;
    return text;
}

namespace {
std::string setting(std::string_view key, int arg)
{
    return KitCommands::setting(key, std::to_string(arg));
}
std::string flag(bool on) { return on ? "1" : "0"; }
std::string portKey(std::string_view key, int port)
{
    std::string text(key);
    text += ':';
    text += std::to_string(port);
    return text;
}
std::string pair(int a, int b) { return std::to_string(a) + ',' + std::to_string(b); }
} // namespace

std::string setStartFreq(std::string_view ghz) { return setting(Key::StartFreq, ghz); }
std::string setStopFreq(std::string_view ghz) { return setting(Key::StopFreq, ghz); }
std::string queryStartFreq() { return query(Key::StartFreq); }
std::string queryStopFreq() { return query(Key::StopFreq); }
std::string setRampTime(std::string_view ms) { return setting(Key::RampTime, ms); }
std::string queryRampTime() { return query(Key::RampTime); }
std::string setSweepType(int code) { return setting(Key::SweepType, code); }
std::string querySweepType() { return query(Key::SweepType); }
std::string startSweep() { return std::string(Key::SweepStart); }
std::string stopSweep() { return std::string(Key::SweepStop); }
std::string setRfPower(bool on) { return setting(Key::RfPower, flag(on)); }
std::string queryRfPower() { return query(Key::RfPower); }
std::string requestFrame(int samples) { return setting(Key::Frame, samples); }
std::string queryFrame() { return query(Key::Frame); }

std::string identify() { return query(Key::Identify); }
std::string queryFirmwareId() { return query(Key::FirmwareId); }
std::string queryModules() { return query(Key::Modules); }
std::string sendToModule(int port, std::string_view command)
{
    return setting(portKey(Key::ModuleSend, port), '"' + std::string(command) + '"');
}
std::string readFromModule(int port) { return query(portKey(Key::ModuleRead, port)); }
std::string queryModuleFirmwareId(int port) { return query(portKey(Key::FirmwareId, port)); }
std::string queryLcd() { return query(Key::Lcd); }
std::string queryLcdSerial() { return query(Key::LcdSerial); }
std::string queryLcdVersion() { return query(Key::LcdVersion); }
std::string queryFpga() { return query(Key::Fpga); }

std::string setSystemPower(bool on) { return setting(Key::SystemPower, flag(on)); }
std::string setAttenuator(int channel, int value)
{
    return setting(Key::Attenuators, pair(channel, value));
}
std::string setBiasGate(int channel, int device)
{
    return setting(Key::BiasGate, pair(channel, device));
}
std::string queryFirmware() { return query(Key::Firmware); }
std::string queryTime() { return query(Key::Time); }
std::string queryTemperatures() { return query(Key::Temperatures); }
std::string queryCurrents() { return query(Key::Currents); }
std::string queryModuleStatus() { return query(Key::ModuleStatus); }
std::string queryAttenuators() { return query(Key::Attenuators); }

namespace Bt {
std::string terminated(std::string command)
{
    command += kBtEnd;
    return command;
}
std::string requestStream(int samples) { return terminated(setting(Key::Stream, samples)); }
} // namespace Bt

// ---- Bluetooth replies

namespace {
struct TagName
{
    BtTag tag;
    std::string_view text;
};
// The tab's test order: "STARTF" before "RAMP" and "FREQ", "FRAM" before "DATA".
constexpr TagName kTags[] = {
    {BtTag::StartFreq, "STARTF"}, {BtTag::StopFreq, "STOPF"}, {BtTag::Ramp, "RAMP"},
    {BtTag::Type, "TYPE"},        {BtTag::Lock, "LOCK"},      {BtTag::Pllm, "PLLM"},
    {BtTag::RfPower, "RFPOW"},    {BtTag::Retact, "RETACT"},  {BtTag::Freq, "FREQ"},
    {BtTag::Div, "DIV"},          {BtTag::RefExt, "REFEXT"},  {BtTag::Fram, "FRAM"},
    {BtTag::Data, "DATA"},
};
constexpr std::string_view kIdentityTag = "IDN";

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}
} // namespace

std::string_view tagName(BtTag tag)
{
    if (tag == BtTag::Identity)
        return kIdentityTag;
    for (const TagName &t : kTags)
        if (t.tag == tag)
            return t.text;
    return {};
}

BtTag matchTag(std::string_view tagField)
{
    for (const TagName &t : kTags)
        if (tagField.find(t.text) != std::string_view::npos)
            return t.tag;
    return BtTag::None;
}

std::optional<BtFields> splitReply(std::string_view message)
{
    const std::size_t first = message.find(':');
    if (first == std::string_view::npos)
        return std::nullopt;
    BtFields fields;
    fields.tag = message.substr(0, first);
    std::string_view value = message.substr(first + 1);
    value = value.substr(0, value.find(':'));
    fields.value = value.substr(0, value.find('\0'));
    return fields;
}

std::optional<std::string_view> replyValue(std::string_view message, BtTag tag)
{
    const std::string_view name = tagName(tag);
    if (name.empty() || message.size() < name.size() + 1 + kReplyEnd.size() ||
        message.substr(0, name.size()) != name || message[name.size()] != ':' ||
        message.substr(message.size() - kReplyEnd.size()) != kReplyEnd)
        return std::nullopt;
    const std::string_view value =
        message.substr(name.size() + 1, message.size() - name.size() - 1 - kReplyEnd.size());
    if (value.find(':') != std::string_view::npos)
        return std::nullopt;
    return value;
}

namespace {
// The whole value of a reply as a number; text around or instead of it gives nothing.
template <typename T> std::optional<T> replyAs(std::string_view message, BtTag tag)
{
    const std::optional<std::string_view> text = replyValue(message, tag);
    if (!text)
        return std::nullopt;
    const std::string_view v = trimmed(*text);
    T value{};
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size())
        return std::nullopt;
    return value;
}
} // namespace

std::optional<int> replyInt(std::string_view message, BtTag tag)
{
    return replyAs<int>(message, tag);
}

std::optional<double> replyNumber(std::string_view message, BtTag tag)
{
    return replyAs<double>(message, tag);
}

std::string reply(BtTag tag, std::string_view value)
{
    std::string text(tagName(tag));
    text += ':';
    text += value;
    text += kReplyEnd;
    return text;
}

bool isDataReply(std::string_view message)
{
    const std::optional<BtFields> fields = splitReply(message);
    return fields && matchTag(fields->tag) == BtTag::Data;
}

std::string dataHeader(int counter)
{
    char digits[3] = {};
    std::snprintf(digits, sizeof digits, "%02X", unsigned(counter) & 0xffu);
    return std::string(tagName(BtTag::Data)) + digits + ':';
}

std::size_t replyBodyLength(std::size_t textLength, int count)
{
    return count <= 0 ? textLength : std::min(textLength, std::size_t(count - 1));
}

std::string_view replyBody(std::string_view text, int count)
{
    return text.substr(0, replyBodyLength(text.size(), count));
}

// ---- The kit's side

Command parseCommand(std::string_view text)
{
    text = trimmed(text);
    std::size_t blank = 0;
    while (blank < text.size() && !isSpace(text[blank]))
        ++blank;
    Command command;
    command.header = std::string(text.substr(0, blank));
    for (char &c : command.header)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    command.args = std::string(trimmed(text.substr(blank)));
    return command;
}

Command parseBtCommand(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.back() == kBtEnd)
        text.remove_suffix(1);
    return parseCommand(text);
}

std::optional<int> modulePort(std::string_view header, std::string_view key, bool asQuery)
{
    const std::size_t size = key.size() + 2 + (asQuery ? 1 : 0);
    if (header.size() != size || header.substr(0, key.size()) != key || header[key.size()] != ':' ||
        !std::isdigit(static_cast<unsigned char>(header[key.size() + 1])))
        return std::nullopt;
    if (asQuery && header.back() != '?')
        return std::nullopt;
    return header[key.size() + 1] - '0';
}

std::string_view unquote(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace KitCommands
