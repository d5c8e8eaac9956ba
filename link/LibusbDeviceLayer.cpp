// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LibusbDeviceLayer.h"

#include "link/LinkLogging.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr std::uint8_t kClassApplication = 0xFE;
constexpr std::uint8_t kSubclassUsbtmc = 0x03;
constexpr std::uint8_t kInitiateAbortBulkOut = 1;
constexpr std::uint8_t kCheckAbortBulkOutStatus = 2;
constexpr std::uint8_t kInitiateAbortBulkIn = 3;
constexpr std::uint8_t kCheckAbortBulkInStatus = 4;
constexpr std::uint8_t kInitiateClear = 5;
constexpr std::uint8_t kCheckClearStatus = 6;
constexpr std::uint8_t kStatusSuccess = 0x01;
constexpr std::uint8_t kStatusPending = 0x02;
constexpr int kClearPolls = 100;
constexpr auto kClearPollInterval = std::chrono::milliseconds(50);
// An abort follows a transfer that already took the full time-out; it gets well under a second
// more, so a hung kit holds its caller for at most about six seconds.
constexpr unsigned kAbortRequestTimeoutMs = 200;
constexpr auto kAbortBudget = std::chrono::milliseconds(700);
constexpr auto kAbortPollInterval = std::chrono::milliseconds(20);

struct Location
{
    int bus = -1;
    std::vector<int> ports;
    int configuration = -1;
    int interfaceNumber = -1;
};

std::vector<int> portsOf(libusb_device *device)
{
    std::uint8_t numbers[8];
    const int count = libusb_get_port_numbers(device, numbers, int(sizeof numbers));
    std::vector<int> ports;
    for (int i = 0; i < count; ++i)
        ports.push_back(numbers[i]);
    return ports;
}

std::string pathOf(const Location &at)
{
    std::string path = "usb:" + std::to_string(at.bus) + "-";
    for (std::size_t i = 0; i < at.ports.size(); ++i)
        path += (i ? "." : "") + std::to_string(at.ports[i]);
    return path + ":" + std::to_string(at.configuration) + "." + std::to_string(at.interfaceNumber);
}

bool parsePath(const std::string &path, Location &at)
{
    if (path.rfind("usb:", 0) != 0)
        return false;
    const std::string rest = path.substr(4);
    const auto dash = rest.find('-');
    const auto colon = rest.find(':');
    if (dash == std::string::npos || colon == std::string::npos || colon < dash)
        return false;
    try {
        std::size_t used = 0;
        at.bus = std::stoi(rest.substr(0, dash), &used);
        if (used != dash)
            return false;
        std::string chain = rest.substr(dash + 1, colon - dash - 1);
        at.ports.clear();
        while (!chain.empty()) {
            const auto dot = chain.find('.');
            const std::string part = chain.substr(0, dot);
            at.ports.push_back(std::stoi(part, &used));
            if (used != part.size())
                return false;
            chain = dot == std::string::npos ? std::string() : chain.substr(dot + 1);
        }
        const std::string tail = rest.substr(colon + 1);
        const auto dot = tail.find('.');
        if (dot == std::string::npos)
            return false;
        at.configuration = std::stoi(tail.substr(0, dot), &used);
        if (used != dot)
            return false;
        at.interfaceNumber = std::stoi(tail.substr(dot + 1), &used);
        if (used != tail.size() - dot - 1)
            return false;
    } catch (...) {
        return false;
    }
    return !at.ports.empty();
}

// The bulk endpoints of a USBTMC interface at altsetting 0, or false when it is none.
bool usbtmcEndpoints(const libusb_interface &interface, unsigned char &out, unsigned char &in)
{
    for (int a = 0; a < interface.num_altsetting; ++a) {
        const libusb_interface_descriptor &alt = interface.altsetting[a];
        if (alt.bAlternateSetting != 0)
            continue;
        if (alt.bInterfaceClass != kClassApplication || alt.bInterfaceSubClass != kSubclassUsbtmc ||
            alt.bInterfaceProtocol > 1)
            return false;
        out = in = 0;
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor &ep = alt.endpoint[e];
            if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
                if (!in)
                    in = ep.bEndpointAddress;
            } else if (!out) {
                out = ep.bEndpointAddress;
            }
        }
        return out && in;
    }
    return false;
}

// Calls visit(configuration value, interface number, out, in) for every USBTMC interface.
template <typename Visit> void forEachUsbtmcInterface(libusb_device *device, Visit visit)
{
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(device, &descriptor) != 0)
        return;
    for (int c = 0; c < descriptor.bNumConfigurations; ++c) {
        libusb_config_descriptor *config = nullptr;
        if (libusb_get_config_descriptor(device, std::uint8_t(c), &config) != 0 || !config)
            continue;
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            unsigned char out = 0, in = 0;
            const libusb_interface &interface = config->interface[i];
            if (usbtmcEndpoints(interface, out, in) && interface.num_altsetting > 0)
                visit(config->bConfigurationValue, interface.altsetting[0].bInterfaceNumber, out,
                      in);
        }
        libusb_free_config_descriptor(config);
    }
}

// Access denied is nearly always the missing udev rule; say so where the user sees it.
std::string accessHint(const char *what)
{
    return std::string(libusb_strerror(LIBUSB_ERROR_ACCESS)) + " on " + what +
           ": install the udev rule 70-kvvlx.rules (see the README), reload the rules and "
           "replug the kit";
}

} // namespace

LibusbDeviceLayer::LibusbDeviceLayer()
{
    const int rc = libusb_init(&context);
    if (rc != 0) {
        // No USB subsystem here (a container, for one): then there are simply no kits.
        qCDebug(lcUsb) << "USB not available:" << libusb_error_name(rc);
        context = nullptr;
        error = rc;
    }
}

LibusbDeviceLayer::~LibusbDeviceLayer()
{
    if (handle)
        close();
    if (context)
        libusb_exit(context);
}

bool LibusbDeviceLayer::fail(int code)
{
    error = code;
    errorText = libusb_strerror(code);
    return false;
}

bool LibusbDeviceLayer::enumerate(std::vector<std::string> &paths)
{
    paths.clear();
    error = 0;
    errorText.clear();
    if (!context)
        return true;
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0)
        return fail(int(count));
    for (ssize_t d = 0; d < count; ++d) {
        Location at;
        at.bus = libusb_get_bus_number(list[d]);
        at.ports = portsOf(list[d]);
        if (at.ports.empty())
            continue; // a root hub
        forEachUsbtmcInterface(
            list[d], [&](int configuration, int interfaceNumber, unsigned char, unsigned char) {
                at.configuration = configuration;
                at.interfaceNumber = interfaceNumber;
                paths.push_back(pathOf(at));
            });
    }
    libusb_free_device_list(list, 1);
    std::sort(paths.begin(), paths.end());
    return true;
}

bool LibusbDeviceLayer::open(const std::string &path)
{
    if (handle)
        return fail(LIBUSB_ERROR_BUSY);
    Location wanted;
    if (!context || !parsePath(path, wanted))
        return fail(LIBUSB_ERROR_NOT_FOUND);

    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0)
        return fail(int(count));
    libusb_device *device = nullptr;
    for (ssize_t d = 0; d < count && !device; ++d) {
        if (libusb_get_bus_number(list[d]) != wanted.bus || portsOf(list[d]) != wanted.ports)
            continue;
        forEachUsbtmcInterface(list[d], [&](int configuration, int interfaceNumber,
                                            unsigned char out, unsigned char in) {
            if (configuration == wanted.configuration &&
                interfaceNumber == wanted.interfaceNumber) {
                device = list[d];
                endpointOut = out;
                endpointIn = in;
            }
        });
    }
    int rc = device ? libusb_open(device, &handle) : LIBUSB_ERROR_NOT_FOUND;
    char node[64] = "the kit";
    if (rc == LIBUSB_ERROR_ACCESS) {
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", libusb_get_bus_number(device),
                      libusb_get_device_address(device));
        qCDebug(lcUsb) << "No permission to open" << node
                       << "- install the udev rule and replug the kit";
    }
    libusb_free_device_list(list, 1);
    if (rc != 0) {
        handle = nullptr;
        fail(rc);
        if (rc == LIBUSB_ERROR_ACCESS)
            errorText = accessHint(node);
        return false;
    }

    interfaceNumber = wanted.interfaceNumber;
    reattachDriver = false;
    // Linux binds its own usbtmc driver to the kit; take the interface over until close.
    if (libusb_kernel_driver_active(handle, interfaceNumber) == 1) {
        rc = libusb_detach_kernel_driver(handle, interfaceNumber);
        if (rc == 0)
            reattachDriver = true;
        else if (rc != LIBUSB_ERROR_NOT_SUPPORTED && rc != LIBUSB_ERROR_NOT_FOUND) {
            libusb_close(handle);
            handle = nullptr;
            return fail(rc);
        }
    }
    int current = -1;
    rc = libusb_get_configuration(handle, &current);
    if (rc == 0 && current != wanted.configuration)
        rc = libusb_set_configuration(handle, wanted.configuration);
    if (rc == 0)
        rc = libusb_claim_interface(handle, interfaceNumber);
    if (rc != 0) {
        if (rc == LIBUSB_ERROR_ACCESS)
            qCDebug(lcUsb) << "No permission to claim the interface of" << path.c_str();
        if (reattachDriver)
            libusb_attach_kernel_driver(handle, interfaceNumber);
        libusb_close(handle);
        handle = nullptr;
        fail(rc);
        if (rc == LIBUSB_ERROR_ACCESS)
            errorText = accessHint(path.c_str());
        return false;
    }
    clearKit();
    error = 0;
    errorText.clear();
    return true;
}

// A reply left over from a timed-out or refused exchange would answer our next request
// and put the tags out of step for good, so every bracket starts with a cleared kit.
void LibusbDeviceLayer::clearKit()
{
    constexpr std::uint8_t requestType =
        LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
    std::uint8_t status[2] = {};
    const int rc =
        libusb_control_transfer(handle, requestType, kInitiateClear, 0,
                                std::uint16_t(interfaceNumber), status, 1, kTransferTimeoutMs);
    if (rc == 1 && status[0] == kStatusSuccess) {
        for (int poll = 0; poll < kClearPolls; ++poll) {
            status[0] = 0;
            const int check = libusb_control_transfer(handle, requestType, kCheckClearStatus, 0,
                                                      std::uint16_t(interfaceNumber), status, 2,
                                                      kTransferTimeoutMs);
            if (check < 1 || status[0] != kStatusPending)
                break;
            std::this_thread::sleep_for(kClearPollInterval);
        }
    } else if (rc < 0) {
        // A kit without the clear request stalls it; it is usable all the same.
        qCDebug(lcUsb) << "Kit refused the clear request:" << libusb_error_name(rc);
    }
    libusb_clear_halt(handle, endpointOut);
    libusb_clear_halt(handle, endpointIn);
}

bool LibusbDeviceLayer::write(const std::uint8_t *data, int length, int &written)
{
    written = 0;
    if (!handle)
        return fail(LIBUSB_ERROR_NO_DEVICE);
    const int rc = libusb_bulk_transfer(handle, endpointOut, const_cast<std::uint8_t *>(data),
                                        length, &written, kTransferTimeoutMs);
    // A time-out can land just after the last byte went out; then the message is complete.
    if (rc == 0 || (rc == LIBUSB_ERROR_TIMEOUT && written == length))
        return true;
    return fail(rc);
}

bool LibusbDeviceLayer::read(std::uint8_t *data, int capacity, int &received)
{
    received = 0;
    if (!handle)
        return fail(LIBUSB_ERROR_NO_DEVICE);
    const int rc =
        libusb_bulk_transfer(handle, endpointIn, data, capacity, &received, kTransferTimeoutMs);
    // Bytes that did arrive before a time-out are handed on; the framing decides whether they make
    // a reply.
    if (rc == 0 || (rc == LIBUSB_ERROR_TIMEOUT && received > 0))
        return true;
    if (rc == LIBUSB_ERROR_OVERFLOW)
        received = 0;
    return fail(rc);
}

bool LibusbDeviceLayer::close()
{
    if (!handle)
        return fail(LIBUSB_ERROR_NOT_FOUND);
    const int rc = libusb_release_interface(handle, interfaceNumber);
    if (reattachDriver)
        libusb_attach_kernel_driver(handle, interfaceNumber);
    libusb_close(handle);
    handle = nullptr;
    reattachDriver = false;
    interfaceNumber = -1;
    if (rc != 0)
        return fail(rc);
    return true;
}

bool LibusbDeviceLayer::abortBulkIn(std::uint8_t tag) { return abortBulk(true, tag); }

bool LibusbDeviceLayer::abortBulkOut(std::uint8_t tag) { return abortBulk(false, tag); }

// INITIATE_ABORT_BULK_IN/OUT for the transfer of that tag, then CHECK_ABORT_BULK_IN/OUT_STATUS
// until the kit is no longer pending or the budget is spent.
bool LibusbDeviceLayer::abortBulk(bool in, std::uint8_t tag)
{
    if (!handle)
        return fail(LIBUSB_ERROR_NO_DEVICE);
    constexpr std::uint8_t requestType =
        LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_ENDPOINT;
    const std::uint8_t endpoint = in ? endpointIn : endpointOut;
    const auto deadline = std::chrono::steady_clock::now() + kAbortBudget;
    std::uint8_t status[8] = {};
    int rc = libusb_control_transfer(handle, requestType,
                                     in ? kInitiateAbortBulkIn : kInitiateAbortBulkOut, tag,
                                     endpoint, status, 2, kAbortRequestTimeoutMs);
    if (rc < 0)
        return fail(rc);
    if (rc < 1 || status[0] != kStatusSuccess)
        return fail(LIBUSB_ERROR_IO); // nothing of that tag in progress, or refused
    // An aborted IN transfer ends with a short packet; read what the kit still had queued.
    auto drain = [this] {
        std::uint8_t scratch[512];
        int got = 0;
        while (libusb_bulk_transfer(handle, endpointIn, scratch, int(sizeof scratch), &got,
                                    kAbortRequestTimeoutMs / 2) == 0 &&
               got == int(sizeof scratch)) {
        }
    };
    if (in)
        drain();
    while (std::chrono::steady_clock::now() < deadline) {
        std::fill(std::begin(status), std::end(status), 0);
        rc = libusb_control_transfer(handle, requestType,
                                     in ? kCheckAbortBulkInStatus : kCheckAbortBulkOutStatus, 0,
                                     endpoint, status, 8, kAbortRequestTimeoutMs);
        if (rc < 1)
            return fail(rc < 0 ? rc : LIBUSB_ERROR_IO);
        if (status[0] == kStatusPending) {
            if (in && rc >= 2 && (status[1] & 0x01))
                drain(); // bmAbortBulkIn: the kit still holds data in its FIFO
            else
                std::this_thread::sleep_for(kAbortPollInterval);
            continue;
        }
        if (status[0] != kStatusSuccess)
            return fail(LIBUSB_ERROR_IO);
        // An aborted OUT transfer leaves the kit's bulk-OUT endpoint halted; the host clears it.
        if (!in)
            libusb_clear_halt(handle, endpointOut);
        return true;
    }
    return fail(LIBUSB_ERROR_TIMEOUT);
}

std::string nativeDeviceLayerVersion()
{
    const libusb_version *v = libusb_get_version();
    return "libusb " + std::to_string(v->major) + '.' + std::to_string(v->minor) + '.' +
           std::to_string(v->micro);
}
