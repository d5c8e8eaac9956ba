// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/UsbCommBackend.h"
#include "link/UsbDeviceLayer.h"

#include <cstdint>
#include <functional>

// The native backend: USBTMC bulk framing over a device layer (libusb, Windows, or the
// virtual kit). Every transfer is wrapped in 10 ms pauses, which the kit's firmware expects.
class WinUSBTMC : public UsbCommBackend
{
public:
    using PauseFunction = std::function<void(unsigned long ms)>;

    // pause: where the 10 ms pauses go; empty means the process-wide one (see setDefaultPause).
    explicit WinUSBTMC(UsbDeviceLayerPtr layer, PauseFunction pause = {});
    ~WinUSBTMC() override;

    int initBackend() override;
    void releaseBackend() override;
    int open(const QString &path) override;
    int close() override;
    int write(const char *data, int length) override;
    int read(char *buffer, int capacity) override;
    QPair<int, QStringList> findDevices() override;
    bool isAvailable() override;
    QString lastProblem() const override { return problem; }

    // The pause used by every WinUSBTMC built without its own; QThread::msleep unless replaced.
    // Tests put a recorder here so that the suite does not sleep; an empty function restores the
    // default.
    static void setDefaultPause(PauseFunction pause);
    // Sleeps through the process-wide pause; for device layers that pause on their own.
    static void defaultPauseFor(unsigned long ms);

    std::uint8_t nextTag() const { return tag; }
    UsbDeviceLayer *deviceLayer() const { return layer.get(); }

private:
    void pause();
    void advanceTag();
    void abortTransfer(bool bulkIn, std::uint8_t transferTag);

    UsbDeviceLayerPtr layer; // stands for the file handle: open or not
    std::uint8_t tag = 1;
    PauseFunction pauseFn;
    QString problem;
};
