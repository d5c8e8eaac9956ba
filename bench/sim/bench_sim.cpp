// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual kit: a paced Bluetooth frame against the real line's time, and the kit's own cost
// of a USB frame and of synthesising samples.

#include "bench/BenchMain.h"
#include "kit/KitCommands.h"
#include "sim/BtPtyServer.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <QLoggingCategory>
#include <QtEndian>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

// Sends one command and reads until `bytes` bytes have come; false after 10 s.
bool exchange(int fd, const QByteArray &command, int bytes)
{
    if (::write(fd, command.constData(), size_t(command.size())) != command.size())
        return false;
    char buf[4096];
    int got = 0;
    while (got < bytes) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            return false;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        got += int(n);
    }
    return true;
}

void BM_BtStream(benchmark::State &state)
{
    BtPtyServer::Options o;
    o.pace = state.range(0) != 0;
    BtPtyServer server(std::make_shared<VirtualKit>(), o);
    if (!server.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const int fd =
        ::open(server.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int n = int(state.range(1));
    for (auto _ : state)
        if (!exchange(fd, QByteArray::fromStdString(KitCommands::Bt::requestStream(n)),
                      7 + 2 * n + 6))
            state.SkipWithError("reply did not come");
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * (7 + 2 * n + 6));
}

QByteArray frame(quint8 msgId, quint8 tag, const QByteArray &payload, quint32 size)
{
    QByteArray t(12, '\0');
    t[0] = char(msgId);
    t[1] = char(tag);
    t[2] = char(~tag);
    qToLittleEndian<quint32>(size, t.data() + 4);
    t[8] = msgId == 1 ? 1 : 0;
    return t + payload + QByteArray((4 - payload.size() % 4) % 4, '\0');
}

// A 1024-sample frame over the simulated bus as the USB tab fetches it: 1 + 34 commands, 34 reads.
void BM_UsbFrame(benchmark::State &state)
{
    SimUsbBus::global().detachAll();
    SimUsbBus::global().attach(std::make_shared<VirtualKit>());
    SimUsbDevice dev;
    dev.open("sim:SIM0001");
    quint8 tag = 1;
    auto next = [&tag] {
        const quint8 t = tag;
        tag = tag == 255 ? 1 : tag + 1;
        return t;
    };
    auto send = [&](const QByteArray &t) {
        int written = 0;
        dev.write(reinterpret_cast<const std::uint8_t *>(t.constData()), int(t.size()), written);
    };
    const int n = int(state.range(0));
    std::uint8_t buf[300];
    const QByteArray start = QByteArray::fromStdString(KitCommands::requestFrame(n));
    const QByteArray query = QByteArray::fromStdString(KitCommands::queryFrame());
    for (auto _ : state) {
        send(frame(1, next(), start, quint32(start.size())));
        for (int q = 0; q < n / KitCommands::kSamplesPerFrameReply + 1; ++q) {
            send(frame(1, next(), query, quint32(query.size())));
            send(frame(2, next(), {}, 255));
            int received = 0;
            if (!dev.read(buf, sizeof buf, received))
                state.SkipWithError("read failed");
        }
    }
    SimUsbBus::global().detachAll();
}

void BM_Synthesise(benchmark::State &state)
{
    VirtualKit kit;
    const int n = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(kit.captureFrame(n));
    state.SetItemsProcessed(state.iterations() * n);
}

} // namespace

BENCHMARK(BM_BtStream)
    ->Args({1, 1024})
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BtStream)
    ->Args({0, 1024})
    ->Repetitions(3)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UsbFrame)->Arg(1024)->Arg(4096)->Repetitions(3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Synthesise)->Arg(1024)->Arg(4096)->Repetitions(3)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("kvvlx.*.debug=false"));
    return kvvlx::bench::runWithRatios(argc, argv, {}, [](const kvvlx::bench::RatioReporter &r) {
        const double paced = r.seconds("BM_BtStream/1/1024/iterations:1");
        if (paced > 0)
            std::printf("%s at 9600 baud: %.3f s for 2061 bytes (the line alone: %.3f s)\n",
                        KitCommands::Bt::requestStream(1024).c_str(), paced,
                        2061 * BtPtyServer::secondsPerByte(9600));
    });
}
