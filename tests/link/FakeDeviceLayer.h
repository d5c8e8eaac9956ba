// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device layer for the tests: records every transfer and pause in one event list and answers
// bulk-IN reads either from a script of raw transfers or as a small USBTMC kit would.

#include "link/UsbDeviceLayer.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A bulk-IN transfer with a reply header for the given tag and payload.
inline Bytes replyTransfer(std::uint8_t tag, const QByteArray &payload,
                           std::uint32_t announced = UINT32_MAX)
{
    if (announced == UINT32_MAX)
        announced = std::uint32_t(payload.size());
    Bytes t(12 + std::size_t(payload.size()), 0);
    t[0] = 2;
    t[1] = tag;
    t[2] = std::uint8_t(~tag);
    t[4] = std::uint8_t(announced);
    t[5] = std::uint8_t(announced >> 8);
    t[6] = std::uint8_t(announced >> 16);
    t[7] = std::uint8_t(announced >> 24);
    t[8] = 1;
    std::copy(payload.begin(), payload.end(), t.begin() + 12);
    while (t.size() % 4)
        t.push_back(0);
    return t;
}

// State shared between a test and the layer, which its backend owns.
struct FakeWire
{
    // Device list and failures
    std::vector<std::string> paths;
    bool enumerateFails = false;
    QSet<QString> unopenable;
    bool closeFails = false;
    bool writeFails = false;
    int shortWriteBy = 0;
    bool readFails = false;
    long errorCode = 31;

    // Replies: scripted raw transfers first; otherwise, as a kit, answers[path][command].
    std::deque<Bytes> scripted;
    QMap<QString, QMap<QByteArray, QByteArray>> answers;
    QSet<QString> silent;       // kits that never answer a query
    QMap<QString, int> missIdn; // "*IDN?" queries a kit leaves unanswered before it answers

    // What happened
    QStringList events; // "open <path>", "close", "out", "in", "pause", "abort IN|OUT <tag>"
    std::vector<Bytes> out;
    QList<QByteArray> commands; // payloads of command messages, in order
    int opens = 0;
    int closes = 0;

    std::string current;
    QByteArray pending;
    bool havePending = false;
};

class FakeDeviceLayer : public UsbDeviceLayer
{
public:
    explicit FakeDeviceLayer(std::shared_ptr<FakeWire> w) : wire(std::move(w)) {}

    bool enumerate(std::vector<std::string> &paths) override
    {
        wire->events << "enumerate";
        if (wire->enumerateFails) {
            paths.clear();
            return false;
        }
        paths = wire->paths;
        return true;
    }
    bool open(const std::string &path) override
    {
        wire->events << "open " + QString::fromStdString(path);
        if (openNow || wire->unopenable.contains(QString::fromStdString(path)))
            return false;
        openNow = true;
        ++wire->opens;
        wire->current = path;
        wire->havePending = false; // the kit is cleared on every open
        return true;
    }
    bool isOpen() const override { return openNow; }
    bool write(const std::uint8_t *data, int length, int &written) override
    {
        wire->events << "out";
        written = 0;
        if (!openNow || wire->writeFails)
            return false;
        const Bytes transfer(data, data + length);
        wire->out.push_back(transfer);
        written = length - wire->shortWriteBy;
        if (length >= 12 && data[0] == 1) {
            const std::uint32_t n =
                data[4] | data[5] << 8 | data[6] << 16 | std::uint32_t(data[7]) << 24;
            const QByteArray command(reinterpret_cast<const char *>(data) + 12, int(n));
            wire->commands << command;
            const QString path = QString::fromStdString(wire->current);
            const auto &table = wire->answers.value(path);
            if (command == "*IDN?\n" && wire->missIdn.value(path) > 0) {
                --wire->missIdn[path];
            } else if (!wire->silent.contains(path) && table.contains(command)) {
                wire->pending = table.value(command);
                wire->havePending = true;
            }
        } else if (length == 12 && data[0] == 2) {
            requestTag = data[1];
        }
        return true;
    }
    bool read(std::uint8_t *data, int capacity, int &received) override
    {
        wire->events << "in";
        received = 0;
        if (!openNow || wire->readFails)
            return false;
        Bytes transfer;
        if (!wire->scripted.empty()) {
            transfer = wire->scripted.front();
            wire->scripted.pop_front();
        } else if (wire->havePending) {
            transfer = replyTransfer(requestTag, wire->pending);
            wire->havePending = false;
        } else {
            return false; // nothing to read: the time-out
        }
        received = int(std::min<std::size_t>(transfer.size(), std::size_t(capacity)));
        std::copy(transfer.begin(), transfer.begin() + received, data);
        return true;
    }
    bool close() override
    {
        wire->events << "close";
        const bool was = openNow;
        openNow = false;
        if (was)
            ++wire->closes;
        return was && !wire->closeFails;
    }
    long lastError() const override { return wire->errorCode; }
    bool abortBulkIn(std::uint8_t tag) override
    {
        wire->events << QStringLiteral("abort IN %1").arg(tag);
        wire->havePending = false;
        return openNow;
    }
    bool abortBulkOut(std::uint8_t tag) override
    {
        wire->events << QStringLiteral("abort OUT %1").arg(tag);
        return openNow;
    }

private:
    std::shared_ptr<FakeWire> wire;
    bool openNow = false;
    std::uint8_t requestTag = 0;
};

// Four-field identification the way a kit answers "*IDN?".
inline QByteArray kitIdn(const QByteArray &serial, const QByteArray &version = "1.0.0")
{
    return "Tamarin Works,KV7310," + serial + "," + version + "\n";
}
