// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/WinDeviceLayer.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// windows.h first: setupapi.h builds on its types.
#include <windows.h>

#include <setupapi.h>

#include <cstdio>
#include <vector>

namespace {

// The interface class of USBTMC instruments under the kit's driver.
const GUID kUsbtmcInterfaceClass = {
    0xA9FDBB24, 0x128A, 0x11D5, {0x99, 0x61, 0x00, 0x10, 0x83, 0x35, 0xE3, 0x61}};

std::string toUtf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return std::string();
    std::string out(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(std::size_t(size - 1));
    return out;
}

std::wstring toWide(const std::string &text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1)
        return std::wstring();
    std::wstring out(std::size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
    out.resize(std::size_t(size - 1));
    return out;
}

} // namespace

WinDeviceLayer::WinDeviceLayer(Pause pause, Log logLine)
    : pauseFn(std::move(pause)), logFn(std::move(logLine)), handle(INVALID_HANDLE_VALUE)
{
}

// Destroyed by its owner without a further close, like the handle it stands for.
WinDeviceLayer::~WinDeviceLayer() = default;

void WinDeviceLayer::pause()
{
    if (pauseFn)
        pauseFn(10);
    else
        Sleep(10);
}

void WinDeviceLayer::log(const std::string &line)
{
    if (logFn)
        logFn(line);
}

void WinDeviceLayer::logDecimal(long code)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld", code);
    log(text);
}

void WinDeviceLayer::logHex(unsigned long code)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lX", code);
    log(text);
}

bool WinDeviceLayer::enumerate(std::vector<std::string> &paths)
{
    paths.clear();
    HDEVINFO set = SetupDiGetClassDevsW(&kUsbtmcInterfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    pause();
    if (set == INVALID_HANDLE_VALUE) {
        error = long(GetLastError());
        return false;
    }

    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData;
        ZeroMemory(&interfaceData, sizeof interfaceData);
        interfaceData.cbSize = sizeof interfaceData;
        pause();
        const BOOL present = SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbtmcInterfaceClass,
                                                         index, &interfaceData);
        pause();
        if (!present)
            break;

        DWORD required = 0;
        pause();
        const BOOL sized =
            SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required, nullptr);
        pause();
        if (sized) {
            log("Call shouldn't have succeeded yet");
            continue;
        }
        const DWORD sizeError = GetLastError();
        if (sizeError != ERROR_INSUFFICIENT_BUFFER) {
            log("Error on initial call to enumerate device");
            logDecimal(long(sizeError));
            continue;
        }
        log("Got required size...");
        logDecimal(long(required));

        std::vector<unsigned char> storage(required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                                               ? sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                                               : required);
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        pause();
        const BOOL fetched = SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required,
                                                              nullptr, nullptr);
        pause();
        if (!fetched) {
            log("Error on final call to enumerate device");
            logHex(GetLastError());
            continue;
        }
        paths.push_back(toUtf8(detail->DevicePath));
    }
    // ERROR_NO_MORE_ITEMS when the loop ran to the end; the caller logs it.
    error = long(GetLastError());

    if (!SetupDiDestroyDeviceInfoList(set))
        log("Error deleting device list handle");
    return true;
}

bool WinDeviceLayer::open(const std::string &path)
{
    if (handle != INVALID_HANDLE_VALUE) {
        error = ERROR_BUSY;
        return false;
    }
    const std::wstring wide = toWide(path);
    handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = long(GetLastError());
        return false;
    }
    return true;
}

bool WinDeviceLayer::isOpen() const { return handle != INVALID_HANDLE_VALUE; }

bool WinDeviceLayer::write(const std::uint8_t *data, int length, int &written)
{
    DWORD count = 0;
    const BOOL ok = WriteFile(handle, data, DWORD(length), &count, nullptr);
    written = int(count);
    if (!ok)
        error = long(GetLastError());
    return ok != FALSE;
}

bool WinDeviceLayer::read(std::uint8_t *data, int capacity, int &received)
{
    DWORD count = 0;
    const BOOL ok = ReadFile(handle, data, DWORD(capacity), &count, nullptr);
    received = int(count);
    if (!ok)
        error = long(GetLastError());
    return ok != FALSE;
}

bool WinDeviceLayer::close()
{
    const BOOL ok = CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    if (!ok)
        error = long(GetLastError());
    return ok != FALSE;
}

std::string nativeDeviceLayerVersion() { return "SetupAPI and WinUSB"; }
