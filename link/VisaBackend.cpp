// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/VisaBackend.h"

#include "link/KitVendor.h"
#include "link/LinkLogging.h"

namespace {
constexpr int kDescriptorSize = 256; // VI_FIND_BUFLEN
}

QStringList VisaBackend::defaultLibraryNames()
{
    return {QStringLiteral("visa32"), QStringLiteral("visa")};
}

QString VisaBackend::searchExpression()
{
    const QString vendor =
        QString::number(kKitVendorId, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return QStringLiteral("USB0::0x%1::?*INSTR").arg(vendor);
}

VisaBackend::VisaBackend(const QStringList &libraryNames)
{
    bool found = false;
    for (const QString &name : libraryNames) {
        library.setFileName(name);
        if (library.load()) {
            found = true;
            break;
        }
    }
    if (found) {
        qCDebug(lcUsb) << "Visa32 library loaded";
        viIn32 = reinterpret_cast<ViIn32Fn>(library.resolve("viIn32"));
        viOut32 = reinterpret_cast<ViOut32Fn>(library.resolve("viOut32"));
        viRead = reinterpret_cast<ViReadFn>(library.resolve("viRead"));
        viWrite = reinterpret_cast<ViWriteFn>(library.resolve("viWrite"));
        viClose = reinterpret_cast<ViCloseFn>(library.resolve("viClose"));
        viOpen = reinterpret_cast<ViOpenFn>(library.resolve("viOpen"));
        viFindNext = reinterpret_cast<ViFindNextFn>(library.resolve("viFindNext"));
        viFindRsrc = reinterpret_cast<ViFindRsrcFn>(library.resolve("viFindRsrc"));
        viOpenDefaultRM = reinterpret_cast<ViOpenDefaultRMFn>(library.resolve("viOpenDefaultRM"));
        viSetAttribute = reinterpret_cast<ViSetAttributeFn>(library.resolve("viSetAttribute"));
        // A library lacking one of the calls we make would crash on first use; treat it as absent.
        loaded =
            viRead && viWrite && viClose && viOpen && viFindNext && viFindRsrc && viOpenDefaultRM;
        if (!loaded)
            qCDebug(lcUsb) << "VISA library lacks an entry point:" << library.fileName();
    }
    if (!loaded) {
        qCDebug(lcUsb) << "Could not load Visa32 library";
        viIn32 = nullptr;
        viOut32 = nullptr;
        viRead = nullptr;
        viWrite = nullptr;
        viClose = nullptr;
        viOpen = nullptr;
        viFindNext = nullptr;
        viFindRsrc = nullptr;
        viOpenDefaultRM = nullptr;
        viSetAttribute = nullptr;
    }
}

// The library stays loaded until the program ends; other backends may still use it.
VisaBackend::~VisaBackend() = default;

bool VisaBackend::isAvailable() { return loaded; }

int VisaBackend::initBackend()
{
    if (!loaded)
        return -1;
    lastStatus = viOpenDefaultRM(&resourceManager);
    if (lastStatus != kSuccess) {
        viClose(resourceManager);
        return -1;
    }
    return 0;
}

void VisaBackend::releaseBackend()
{
    if (loaded)
        viClose(resourceManager);
}

int VisaBackend::open(const QString &resource)
{
    if (!loaded)
        return -1;
    const QByteArray name = resource.toUtf8();
    lastStatus = viOpen(resourceManager, name.constData(), 0, 0, &instrument);
    if (lastStatus != kSuccess) {
        viClose(instrument);
        return -1;
    }
    return 0;
}

int VisaBackend::close()
{
    if (!loaded)
        return -1;
    viClose(instrument);
    return 0;
}

int VisaBackend::write(const char *data, int length)
{
    if (!loaded || length < 0)
        return -1;
    std::uint32_t written = 0;
    const ViStatus status = viWrite(instrument, reinterpret_cast<const unsigned char *>(data),
                                    std::uint32_t(length), &written);
    return status == kSuccess ? int(written) : -1;
}

int VisaBackend::read(char *buffer, int capacity)
{
    if (!loaded || capacity < 0)
        return -1;
    std::uint32_t count = 0;
    const ViStatus status = viRead(instrument, reinterpret_cast<unsigned char *>(buffer),
                                   std::uint32_t(capacity), &count);
    if (status != kSuccess && status != kSuccessTermChar && status != kSuccessMaxCount)
        return -1;
    // A count past the capacity would make the caller read beyond its buffer.
    return count <= std::uint32_t(capacity) ? int(count) : -1;
}

QPair<int, QStringList> VisaBackend::findDevices()
{
    if (!loaded)
        return {0, {}};
    char descriptor[kDescriptorSize] = {};
    ViSession findList = 0;
    std::uint32_t matches = 0;
    const QByteArray expression = searchExpression().toLatin1();
    const ViStatus status =
        viFindRsrc(resourceManager, expression.constData(), &findList, &matches, descriptor);
    if (status == kErrorResourceNotFound)
        return {0, {}};
    if (status != kSuccess)
        return {-1, {}};
    if (matches == 0)
        return {0, {}};
    descriptor[kDescriptorSize - 1] = '\0';
    QStringList found{QString::fromUtf8(descriptor)};
    qCDebug(lcUsb, "Found %s", descriptor);
    for (std::uint32_t i = 1; i < matches; ++i) {
        viFindNext(findList, descriptor);
        descriptor[kDescriptorSize - 1] = '\0';
        found.append(QString::fromUtf8(descriptor));
    }
    return {int(matches), found};
}
