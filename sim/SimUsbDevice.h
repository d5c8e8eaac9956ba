// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device layer over the simulated USB bus: each transfer is read and answered as the kit's
// USBTMC firmware would, so the host's framing is exercised byte for byte.

#include "link/UsbDeviceLayer.h"

#include <QByteArray>
#include <QList>

#include <memory>

class SimUsbBus;
class VirtualKit;

class SimUsbDevice : public UsbDeviceLayer
{
public:
    // Error codes, the same numbers the libusb device layer reports, so logs read alike.
    enum : long {
        ErrorNone = 0,
        ErrorIo = -1,
        ErrorNoDevice = -4,
        ErrorNotFound = -5,
        ErrorBusy = -6,
        ErrorTimeout = -7,
        ErrorOverflow = -8,
    };

    SimUsbDevice();
    explicit SimUsbDevice(SimUsbBus &bus);
    ~SimUsbDevice() override;

    bool enumerate(std::vector<std::string> &paths) override;
    bool open(const std::string &path) override;
    bool isOpen() const override;
    bool write(const std::uint8_t *data, int length, int &written) override;
    bool read(std::uint8_t *data, int capacity, int &received) override;
    bool close() override;
    long lastError() const override;
    bool abortBulkIn(std::uint8_t tag) override;
    bool abortBulkOut(std::uint8_t tag) override;

    std::shared_ptr<VirtualKit> kit() const { return m_kit; }

    // The time-out a late reply is measured against. Nothing waits for it: a read with nothing to
    // answer fails at once, and a reply later than this fails the read at once as well.
    void setReadTimeoutMs(int ms) { m_timeoutMs = ms; }
    int readTimeoutMs() const { return m_timeoutMs; }

private:
    bool fail(long code);
    void clearEndpoints();
    void handleBulkOut(const QByteArray &transfer);
    QByteArray buildReply();

    SimUsbBus &m_bus;
    std::shared_ptr<VirtualKit> m_kit;
    long m_error = ErrorNone;
    int m_timeoutMs = 5000;

    int m_lastTag = 0;    // of the previous bulk-OUT message since open
    QByteArray m_message; // payload gathered until a transfer with EOM set
    bool m_requestPending = false;
    quint8 m_requestTag = 0;
    quint32 m_requestMax = 0;
    QByteArray m_output;         // reply bytes not yet asked for
    int m_outputDelayMs = 0;     // how late the kit sends them
    QList<QByteArray> m_inQueue; // bulk-IN transfers already committed to the endpoint
};
