// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/UsbDeviceLayer.h"

struct libusb_context;
struct libusb_device_handle;

// The device layer on Linux and macOS. Paths look like "usb:3-1.4:1.0": bus, port chain,
// configuration value and interface number, so a kit keeps its path across replugging
// into the same port.
class LibusbDeviceLayer : public UsbDeviceLayer
{
public:
    // Every transfer gives up after this long, so a kit that stops answering cannot hang us.
    static constexpr unsigned kTransferTimeoutMs = 5000;

    LibusbDeviceLayer();
    ~LibusbDeviceLayer() override;
    LibusbDeviceLayer(const LibusbDeviceLayer &) = delete;
    LibusbDeviceLayer &operator=(const LibusbDeviceLayer &) = delete;

    bool enumerate(std::vector<std::string> &paths) override;
    bool open(const std::string &path) override;
    bool isOpen() const override { return handle != nullptr; }
    bool write(const std::uint8_t *data, int length, int &written) override;
    bool read(std::uint8_t *data, int capacity, int &received) override;
    bool close() override;
    long lastError() const override { return error; }
    bool abortBulkIn(std::uint8_t tag) override;
    bool abortBulkOut(std::uint8_t tag) override;
    std::string lastErrorText() const override { return errorText; }

private:
    bool fail(int code);
    bool abortBulk(bool in, std::uint8_t tag);
    void clearKit();

    libusb_context *context = nullptr;
    libusb_device_handle *handle = nullptr;
    int interfaceNumber = -1;
    unsigned char endpointOut = 0;
    unsigned char endpointIn = 0;
    bool reattachDriver = false;
    long error = 0;
    std::string errorText;
};
