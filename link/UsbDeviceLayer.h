// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device layer under the USBTMC framing: whole bulk transfers to and from one kit.
// Kept free of Qt so that the Windows implementation compiles with a bare cross compiler.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class UsbDeviceLayer
{
public:
    virtual ~UsbDeviceLayer() = default;

    // Paths of the USBTMC interfaces present now, in a stable order; each is accepted by open().
    // Returns false when enumeration itself failed (paths is left empty).
    virtual bool enumerate(std::vector<std::string> &paths) = 0;

    // Opens one path for exclusive bulk I/O. A layer that can clear the kit (USBTMC
    // INITIATE_CLEAR / CHECK_CLEAR_STATUS / clear halt) does so here, so every bracket starts
    // clean.
    virtual bool open(const std::string &path) = 0;
    virtual bool isOpen() const = 0;

    // One bulk-OUT transfer of the whole buffer; written receives the count actually sent,
    // also when the call fails (a time-out may still have moved part of it).
    virtual bool write(const std::uint8_t *data, int length, int &written) = 0;

    // One bulk-IN transfer of at most capacity bytes; received is valid also on failure.
    virtual bool read(std::uint8_t *data, int capacity, int &received) = 0;

    virtual bool close() = 0;

    // Ends a bulk transfer that failed or timed out, as USBTMC allows: INITIATE_ABORT_BULK_IN
    // or _OUT with the tag of the transfer's message, then CHECK_ABORT_BULK_IN/OUT_STATUS until
    // the kit has let it go. Without it the kit may still answer the dead request later and put
    // every following reply one step out of place. False when the layer cannot or the kit
    // refused; the next open clears the kit in any case.
    virtual bool abortBulkIn(std::uint8_t tag)
    {
        (void)tag;
        return false;
    }
    virtual bool abortBulkOut(std::uint8_t tag)
    {
        (void)tag;
        return false;
    }

    // The code of the last failed call, for the log lines of the framing layer.
    virtual long lastError() const = 0;

    // The last failure in words, with what the user can do about it; empty if unknown.
    virtual std::string lastErrorText() const { return {}; }
};

using UsbDeviceLayerPtr = std::unique_ptr<UsbDeviceLayer>;

// What the platform's native layer is built on, for the About box ("libusb 1.0.26").
std::string nativeDeviceLayerVersion();
