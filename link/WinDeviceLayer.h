// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device layer on Windows: the kit's USBTMC driver through SetupAPI and kernel32.
// Free of Qt so that it also compiles with a bare cross compiler.

#include "link/UsbDeviceLayer.h"

#include <functional>
#include <string>

class WinDeviceLayer : public UsbDeviceLayer
{
public:
    using Pause = std::function<void(unsigned long ms)>;
    using Log = std::function<void(const std::string &line)>;

    // pause: the 10 ms pauses between the enumeration calls; log: receives the diagnostic lines.
    explicit WinDeviceLayer(Pause pause = {}, Log log = {});
    ~WinDeviceLayer() override;
    WinDeviceLayer(const WinDeviceLayer &) = delete;
    WinDeviceLayer &operator=(const WinDeviceLayer &) = delete;

    bool enumerate(std::vector<std::string> &paths) override;
    bool open(const std::string &path) override;
    bool isOpen() const override;
    bool write(const std::uint8_t *data, int length, int &written) override;
    bool read(std::uint8_t *data, int capacity, int &received) override;
    bool close() override;
    long lastError() const override { return error; }

private:
    void pause();
    void log(const std::string &line);
    void logDecimal(long code);
    void logHex(unsigned long code);

    Pause pauseFn;
    Log logFn;
    void *handle; // a HANDLE; INVALID_HANDLE_VALUE while closed
    long error = 0;
};
