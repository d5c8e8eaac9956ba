// SPDX-License-Identifier: GPL-3.0-or-later
// The VISA backend against a VISA library of our own, loaded through QLibrary.

#include "LogCapture.h"
#include "fakevisa/FakeVisa.h"

#include "link/VisaBackend.h"
#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "link/usbTMCabstraction.h"

#include "FakeDeviceLayer.h"

#include <QtTest>

namespace {

struct Control
{
    QLibrary library{QStringLiteral(FAKE_VISA_PATH)};
    void (*reset)() = nullptr;
    void (*setResources)(const char *) = nullptr;
    void (*setStatus)(const char *, std::int32_t) = nullptr;
    void (*pushReply)(const char *, int) = nullptr;
    const char *(*calls)() = nullptr;

    bool load()
    {
        if (!library.load())
            return false;
        reset = reinterpret_cast<decltype(reset)>(library.resolve("fakevisa_reset"));
        setResources =
            reinterpret_cast<decltype(setResources)>(library.resolve("fakevisa_setResources"));
        setStatus = reinterpret_cast<decltype(setStatus)>(library.resolve("fakevisa_setStatus"));
        pushReply = reinterpret_cast<decltype(pushReply)>(library.resolve("fakevisa_pushReply"));
        calls = reinterpret_cast<decltype(calls)>(library.resolve("fakevisa_calls"));
        return reset && setResources && setStatus && pushReply && calls;
    }
    QStringList callLog() const
    {
        return QString::fromUtf8(calls()).split('\n', Qt::SkipEmptyParts);
    }
};

const QStringList kFake{QStringLiteral(FAKE_VISA_PATH)};

} // namespace

class VisaTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(control.load(), qPrintable(control.library.errorString())); }
    void init() { control.reset(); }
    void cleanup()
    {
        setVisaLibraryNames({});
        setDeviceLayerFactory({});
    }

    void libraryMissing();
    void libraryWithoutACalledEntryPoint();
    void openOnlyOnSuccess();
    void findDevices_data();
    void findDevices();
    void writeAndReadStatuses_data();
    void writeAndReadStatuses();
    void createBackendPrefersVisa();
    void commandLayerOverVisa();

private:
    Control control;
};

void VisaTest::libraryMissing()
{
    LogCapture capture;
    VisaBackend visa({QStringLiteral("kvvlx-no-such-visa-library")});
    QVERIFY(!visa.isAvailable());
    QCOMPARE(capture.lines, QStringList{"Could not load Visa32 library"});
    QCOMPARE(visa.initBackend(), -1);
    QCOMPARE(visa.open("USB0::0x4B56::1::SN::INSTR"), -1);
    QCOMPARE(visa.findDevices(), (QPair<int, QStringList>(0, {})));
}

void VisaTest::libraryWithoutACalledEntryPoint()
{
    {
        LogCapture capture;
        VisaBackend broken({QStringLiteral(FAKE_VISA_BROKEN_PATH)});
        QVERIFY(!broken.isAvailable());
        QVERIFY(capture.lines.contains("Could not load Visa32 library"));
    }
    // The three entry points that are only looked up may be missing.
    VisaBackend lean({QStringLiteral(FAKE_VISA_LEAN_PATH)});
    QVERIFY(lean.isAvailable());
}

void VisaTest::findDevices_data()
{
    QTest::addColumn<QByteArray>("resources");
    QTest::addColumn<int>("findStatus");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("list");
    QTest::newRow("nothing found") << QByteArray() << 0 << 0 << QStringList();
    QTest::newRow("find fails") << QByteArray("USB0::0x4B56::1::A::INSTR") << int(0xBFFF0000u) << -1
                                << QStringList();
    QTest::newRow("three in order")
        << QByteArray("USB0::0x4B56::0x7310::S3::INSTR\nUSB0::0x4B56::0x7310::S1::INSTR\nUSB0::"
                      "0x4B56::0x0001::X::INSTR")
        << 0 << 3
        << QStringList{"USB0::0x4B56::0x7310::S3::INSTR", "USB0::0x4B56::0x7310::S1::INSTR",
                       "USB0::0x4B56::0x0001::X::INSTR"};
}

void VisaTest::findDevices()
{
    QFETCH(QByteArray, resources);
    QFETCH(int, findStatus);
    QFETCH(int, count);
    QFETCH(QStringList, list);
    control.setResources(resources.constData());
    control.setStatus("viFindRsrc", findStatus);
    VisaBackend visa(kFake);
    QCOMPARE(visa.initBackend(), 0);
    LogCapture capture;
    QCOMPARE(visa.findDevices(), (QPair<int, QStringList>(count, list)));
    QVERIFY(control.callLog().contains("viFindRsrc 100 USB0::0x4B56::?*INSTR"));
    if (count > 0)
        QCOMPARE(capture.lines, QStringList{"Found " + list.first()});
}

void VisaTest::openOnlyOnSuccess()
{
    LogCapture capture;
    VisaBackend visa(kFake);
    QCOMPARE(capture.lines, QStringList{"Visa32 library loaded"});
    control.setStatus("viOpenDefaultRM", 0x3FFF007D); // a warning is not success here
    QCOMPARE(visa.initBackend(), -1);
    QCOMPARE(control.callLog(), (QStringList{"viOpenDefaultRM", "viClose 100"}));
    control.setStatus("viOpenDefaultRM", 0);
    QCOMPARE(visa.initBackend(), 0);
    QCOMPARE(visa.open(QString::fromUtf8("USB0::0x4B56::1::Ä1::INSTR")), 0);
    QVERIFY(
        control.callLog().contains(QString::fromUtf8("viOpen 100 USB0::0x4B56::1::Ä1::INSTR 0 0")));
    QCOMPARE(visa.close(), 0);
    QCOMPARE(control.callLog().last(), QStringLiteral("viClose 300"));

    control.setStatus("viOpen", 0x3FFF007C);
    QCOMPARE(visa.open("USB0::0x4B56::1::A::INSTR"), -1);
    QCOMPARE(control.callLog().last(), QStringLiteral("viClose 300"));
    visa.releaseBackend();
    QCOMPARE(control.callLog().last(), QStringLiteral("viClose 100"));
}

void VisaTest::writeAndReadStatuses_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("writeOk");
    QTest::addColumn<bool>("readOk");
    QTest::newRow("VI_SUCCESS") << 0 << true << true;
    QTest::newRow("VI_SUCCESS_TERM_CHAR") << 0x3FFF0005 << false << true;
    QTest::newRow("VI_SUCCESS_MAX_CNT") << 0x3FFF0006 << false << true;
    QTest::newRow("other completion code") << 0x3FFF0007 << false << false;
    QTest::newRow("error") << int(0xBFFF0015u) << false << false;
}

void VisaTest::writeAndReadStatuses()
{
    QFETCH(int, status);
    QFETCH(bool, writeOk);
    QFETCH(bool, readOk);
    VisaBackend visa(kFake);
    QCOMPARE(visa.initBackend(), 0);
    QCOMPARE(visa.open("USB0::0x4B56::1::A::INSTR"), 0);
    control.setStatus("viWrite", status);
    control.setStatus("viRead", status);
    QCOMPARE(visa.write("*IDN?", 5), writeOk ? 5 : -1);
    QCOMPARE(control.callLog().last(), QStringLiteral("viWrite 300 *IDN?"));
    control.pushReply("Tamarin Works,KV7310,V1,1.0\n", 28);
    char buffer[256] = {};
    QCOMPARE(visa.read(buffer, 255), readOk ? 28 : -1);
    QCOMPARE(control.callLog().last(), QStringLiteral("viRead 300 255"));
}

void VisaTest::createBackendPrefersVisa()
{
    setVisaLibraryNames(kFake);
    std::unique_ptr<UsbCommBackend> backend(createBackend());
    QVERIFY(dynamic_cast<VisaBackend *>(backend.get()));

    setVisaLibraryNames({QStringLiteral("kvvlx-no-such-visa-library")});
    backend.reset(createBackend());
    QVERIFY(dynamic_cast<WinUSBTMC *>(backend.get()));

    // The demo's virtual kits replace VISA even where it loads.
    setVisaLibraryNames(kFake);
    auto wire = std::make_shared<FakeWire>();
    setDeviceLayerFactory([wire] { return std::make_unique<FakeDeviceLayer>(wire); });
    backend.reset(createBackend());
    auto *native = dynamic_cast<WinUSBTMC *>(backend.get());
    QVERIFY(native);
    QVERIFY(dynamic_cast<FakeDeviceLayer *>(native->deviceLayer()));
}

void VisaTest::commandLayerOverVisa()
{
    // No identification filter over VISA: every instrument of the vendor is listed.
    setVisaLibraryNames(kFake);
    control.setResources("USB0::0x4B56::0x7310::K1::INSTR\nUSB0::0x4B56::0x0099::OTHER::INSTR");
    usbTMCabstraction usb;
    control.setStatus("viOpen", int(0xBFFF0072u));
    {
        LogCapture capture; // listed by VISA, but cannot be opened: left out
        QCOMPARE(usb.getDeviceList(), (QPair<int, QStringList>(0, {})));
        QCOMPARE(capture.lines.count("Could not detect USB devices"), 2);
    }
    control.setStatus("viOpen", 0);
    const QPair<int, QStringList> list = usb.getDeviceList();
    QCOMPARE(list.first, 0);
    QCOMPARE(list.second, (QStringList{"USB0::0x4B56::0x7310::K1::INSTR",
                                       "USB0::0x4B56::0x0099::OTHER::INSTR"}));

    control.reset();
    QCOMPARE(usb.openConnection("USB0::0x4B56::0x7310::K1::INSTR"), 0);
    control.pushReply("Tamarin Works,KV7310,K1,2.0\n", 28);
    usb.getDescriptions();
    QCOMPARE(usb.getSerial(), QStringLiteral("K1"));
    QCOMPARE(usb.sendVISACommand("SWEEP:TYPE 2"), 12);
    QCOMPARE(usb.closeConnection(), 0);
    const QStringList calls = control.callLog();
    QCOMPARE(calls.first(), QStringLiteral("viOpenDefaultRM"));
    QVERIFY(calls.contains("viWrite 300 *IDN?"));
    QVERIFY(calls.contains("viWrite 300 SWEEP:TYPE 2"));
    QCOMPARE(calls.mid(calls.size() - 2), (QStringList{"viClose 300", "viClose 100"}));
}

QTEST_GUILESS_MAIN(VisaTest)
#include "tst_visabackend.moc"
