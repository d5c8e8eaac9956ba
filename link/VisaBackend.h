// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/UsbCommBackend.h"

#include <QLibrary>
#include <QStringList>

#include <cstdint>

// Reaches kits through an installed VISA library, loaded at run time; the library does the
// USB transport and framing, so bytes pass through unchanged.
class VisaBackend : public UsbCommBackend
{
public:
    using ViSession = std::uint32_t;
    using ViStatus = std::int32_t;

    static constexpr ViStatus kSuccess = 0;
    static constexpr ViStatus kSuccessTermChar = 0x3FFF0005;
    static constexpr ViStatus kSuccessMaxCount = 0x3FFF0006;
    static constexpr ViStatus kErrorResourceNotFound = ViStatus(0xBFFF0011u);

    // The library names tried in order: "visa32" where VISA installs under that name
    // (Windows), else "visa" (its name on Linux and macOS). Tests pass their own.
    static QStringList defaultLibraryNames();

    explicit VisaBackend(const QStringList &libraryNames = defaultLibraryNames());
    ~VisaBackend() override;

    int initBackend() override;
    void releaseBackend() override;
    int open(const QString &resource) override;
    int close() override;
    int write(const char *data, int length) override;
    int read(char *buffer, int capacity) override;
    QPair<int, QStringList> findDevices() override;
    bool isAvailable() override;

    // The VISA search expression for the kits: every INSTR resource with our vendor ID.
    static QString searchExpression();

private:
#ifdef _WIN32
#define KVVLX_VISA_CALL __stdcall
#else
#define KVVLX_VISA_CALL
#endif
    using ViIn32Fn = ViStatus(KVVLX_VISA_CALL *)(ViSession, std::uint16_t, std::uintptr_t,
                                                 std::uint32_t *);
    using ViOut32Fn = ViStatus(KVVLX_VISA_CALL *)(ViSession, std::uint16_t, std::uintptr_t,
                                                  std::uint32_t);
    using ViReadFn = ViStatus(KVVLX_VISA_CALL *)(ViSession, unsigned char *, std::uint32_t,
                                                 std::uint32_t *);
    using ViWriteFn = ViStatus(KVVLX_VISA_CALL *)(ViSession, const unsigned char *, std::uint32_t,
                                                  std::uint32_t *);
    using ViCloseFn = ViStatus(KVVLX_VISA_CALL *)(ViSession);
    using ViOpenFn = ViStatus(KVVLX_VISA_CALL *)(ViSession, const char *, std::uint32_t,
                                                 std::uint32_t, ViSession *);
    using ViFindNextFn = ViStatus(KVVLX_VISA_CALL *)(ViSession, char *);
    using ViFindRsrcFn = ViStatus(KVVLX_VISA_CALL *)(ViSession, const char *, ViSession *,
                                                     std::uint32_t *, char *);
    using ViOpenDefaultRMFn = ViStatus(KVVLX_VISA_CALL *)(ViSession *);
    using ViSetAttributeFn = ViStatus(KVVLX_VISA_CALL *)(ViSession, std::uint32_t, std::uintptr_t);
#undef KVVLX_VISA_CALL

    ViSession resourceManager = 0;
    ViSession instrument = 0;
    ViStatus lastStatus = 0;
    QLibrary library;
    bool loaded = false;
    ViIn32Fn viIn32 = nullptr;
    ViOut32Fn viOut32 = nullptr;
    ViReadFn viRead = nullptr;
    ViWriteFn viWrite = nullptr;
    ViCloseFn viClose = nullptr;
    ViOpenFn viOpen = nullptr;
    ViFindNextFn viFindNext = nullptr;
    ViFindRsrcFn viFindRsrc = nullptr;
    ViOpenDefaultRMFn viOpenDefaultRM = nullptr;
    ViSetAttributeFn viSetAttribute = nullptr;
};
