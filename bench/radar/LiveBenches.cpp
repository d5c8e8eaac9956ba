// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/radar/LiveBenches.h"

#include "kit/KitCommands.h"
#include "link/LinkThread.h"
#include "link/WinUSBTMC.h"
#include "link/usbConnection.h"
#include "link/usbTMCabstraction.h"
#include "radar/TR7310_tab.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <benchmark/benchmark.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <time.h>

namespace {

double captureMs = -1;

// Runs the event loop for ms milliseconds, or until done() holds. Like the application's loop it
// sleeps while nothing is due; a loop that polled would keep one of the machine's cores busy and
// take it from the link and the kit.
void runEvents(int ms, const std::function<bool()> &done = {})
{
    if (done && done())
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QTimer poll;
    if (done) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(1);
    }
    loop.exec();
}

// Waits until the link thread has run every job and the tab has its results.
void waitForLink(usbTMCabstraction &usb)
{
    LinkThread *link = LinkThread::of(&usb);
    runEvents(60000, [link] { return link->pending() == 0; });
}

struct ContinuousFigures
{
    double longestStallMs = -1;
    double frameMs = -1;
    int frames = 0;
    double stopLatencyMs = -1;
    double restOfFrameMs = -1;
    int capturesAfterStop = -1;
} continuous;

// One virtual kit on the simulated USB bus with the link's real pauses, and a USB tab on it.
struct TabOnVirtualKit
{
    TabOnVirtualKit()
    {
        setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
        kitClock.start();
        SimUsbBus::global().attach(kit);
        const QStringList targets = usb.getDeviceList().second;
        if (targets.isEmpty())
            return;
        tab = std::make_unique<TR7310_tab>(&usb, targets.first(), QStringLiteral("1.0.0"),
                                           QStringLiteral("KV7310"), QStringLiteral("SIM0001"));
        tab->resize(1000, 700);
        tab->findChild<QLineEdit *>(QStringLiteral("numSamples_txt"))
            ->setText(QStringLiteral("1024"));
    }
    ~TabOnVirtualKit()
    {
        tab.reset();
        SimUsbBus::global().detachAll();
        setDeviceLayerFactory({});
    }

    std::shared_ptr<VirtualKit> kit = std::make_shared<VirtualKit>(QStringLiteral("SIM0001"));
    QElapsedTimer kitClock; // the kit stamps what it receives in ms since it was made
    usbTMCabstraction usb;
    std::unique_ptr<TR7310_tab> tab; // none when the kit was not listed
};

// Ten seconds of continuous capture at 1024 samples over the simulated device with the link's
// real pauses: the longest the window's thread went without serving its events, the time per
// frame, and what the kit receives after Stop.
void BM_ContinuousCapture(benchmark::State &state)
{
    TabOnVirtualKit rig;
    if (!rig.tab) {
        state.SkipWithError("no virtual kit listed");
        return;
    }
    TR7310_tab &tab = *rig.tab;
    VirtualKit *kit = rig.kit.get();
    usbTMCabstraction &usb = rig.usb;
    tab.setTunePause([](int) {});
    tab.show();
    runEvents(2000); // start-up read-backs and the tune sequence
    waitForLink(usb);
    auto *button = tab.findChild<QPushButton *>(QStringLiteral("continuousCapture_btn"));
    auto *progress = tab.findChild<QProgressBar *>(QStringLiteral("frameProgress_wdgt"));

    for (auto _ : state) {
        QElapsedTimer wall;
        QVector<qint64> frameAt;
        QObject::connect(&tab, &TR7310_tab::captureStatus, &tab,
                         [&] { frameAt.append(wall.elapsed()); });
        qint64 lastTick = 0;
        qint64 longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = wall.elapsed();
            longest = qMax(longest, now - lastTick);
            lastTick = now;
        });
        wall.start();
        ticker.start(5);
        button->click();
        runEvents(10000);
        // Stop halfway through a frame.
        runEvents(5000, [&] { return progress->value() == progress->maximum() / 2; });
        const int leftReplies = progress->maximum() - progress->value();
        kit->clearReceived();
        const qint64 clickAt = rig.kitClock.elapsed();
        button->click();
        waitForLink(usb);
        runEvents(3000);
        ticker.stop();
        QObject::disconnect(&tab, &TR7310_tab::captureStatus, &tab, nullptr);

        continuous.longestStallMs = qMax<qint64>(longest - 5, 0);
        continuous.frames = frameAt.size();
        if (frameAt.size() > 2)
            continuous.frameMs = double(frameAt.last() - frameAt.first()) / (frameAt.size() - 1);
        qint64 lastCapture = clickAt;
        int started = 0;
        const QString frameKey = QString::fromStdString(std::string(KitCommands::Key::Frame));
        for (const SimCommandRecord &r : kit->receivedLog()) {
            if (r.text.startsWith(frameKey))
                lastCapture = qMax(lastCapture, r.atMs);
            if (r.text.startsWith(frameKey + QLatin1Char(' ')))
                ++started;
        }
        continuous.stopLatencyMs = double(lastCapture - clickAt);
        continuous.restOfFrameMs = leftReplies * 60.0 + 20.0;
        continuous.capturesAfterStop = started;
        state.SetIterationTime(wall.elapsed() / 1000.0);
    }
    tab.close();
}

struct StallFigure
{
    double longestMs = -1;     // wall clock
    double longestBusyMs = -1; // the window's thread on the processor
    int frames = 0;
    int ticks = 0, missed = 0; // turns of the timer, and gaps past a display frame
};

// CPU time of the calling thread: on a machine shared with other work a gap in wall time may be
// the scheduler's, not the program's.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}
std::map<int, StallFigure> stalls; // page -> figure

// Five seconds of continuous capture of 4096-sample frames with a page showing, the link's pauses
// taken out so that frames arrive as fast as the virtual kit gives them: the longest gap between
// two turns of the window's event loop, seen by a 2 ms timer. A gap past 16 ms is a display frame
// the window missed.
void BM_StallProbe(benchmark::State &state)
{
    const int page = int(state.range(0));
    WinUSBTMC::setDefaultPause([](unsigned long) {});
    {
        TabOnVirtualKit rig;
        if (!rig.tab) {
            state.SkipWithError("no virtual kit listed");
            WinUSBTMC::setDefaultPause({});
            return;
        }
        TR7310_tab &tab = *rig.tab;
        tab.setTunePause([](int) {});
        tab.findChild<QLineEdit *>(QStringLiteral("numSamples_txt"))
            ->setText(QStringLiteral("4096"));
        auto *save = tab.findChild<QCheckBox *>(QStringLiteral("saveData_ckbx"));
        if (save->isChecked())
            save->click(); // no files written into the working folder
        tab.show();
        tab.findChild<QTabWidget *>(QStringLiteral("plot_tab"))->setCurrentIndex(page);
        runEvents(2000); // start-up read-backs and the tune sequence
        waitForLink(rig.usb);
        auto *button = tab.findChild<QPushButton *>(QStringLiteral("continuousCapture_btn"));
        for (auto _ : state) {
            int frames = 0;
            QObject::connect(&tab, &TR7310_tab::captureStatus, &tab, [&] { ++frames; });
            QElapsedTimer wall;
            qint64 lastTick = 0, longestNs = 0, lastCpu = 0, longestCpuNs = 0;
            int ticks = 0, missed = 0;
            QTimer ticker;
            ticker.setTimerType(Qt::PreciseTimer);
            QObject::connect(&ticker, &QTimer::timeout, [&] {
                const qint64 now = wall.nsecsElapsed(), cpu = threadCpuNs();
                longestNs = qMax(longestNs, now - lastTick);
                ++ticks;
                if (now - lastTick > 18000000) // 16 ms past the 2 ms the timer waits
                    ++missed;
                longestCpuNs = qMax(longestCpuNs, cpu - lastCpu);
                lastTick = now;
                lastCpu = cpu;
            });
            button->click();
            runEvents(300); // the first frame under way
            wall.start();
            lastCpu = threadCpuNs();
            ticker.start(2);
            runEvents(5000);
            ticker.stop();
            button->click();
            waitForLink(rig.usb);
            QObject::disconnect(&tab, &TR7310_tab::captureStatus, &tab, nullptr);
            StallFigure &figure = stalls[page];
            figure.longestMs = qMax(longestNs * 1e-6 - 2.0, 0.0);
            figure.longestBusyMs = longestCpuNs * 1e-6;
            figure.frames = frames;
            figure.ticks = ticks;
            figure.missed = missed;
            state.counters["longest_stall_ms"] = figure.longestMs;
            state.SetIterationTime(wall.elapsed() / 1000.0);
        }
        tab.close();
    }
    WinUSBTMC::setDefaultPause({});
}

void BM_CaptureOverSimulatedDevice(benchmark::State &state)
{
    TabOnVirtualKit rig; // with the real 10 ms pauses of the link
    if (!rig.tab) {
        state.SkipWithError("no virtual kit listed");
        return;
    }
    TR7310_tab &tab = *rig.tab;
    usbTMCabstraction &usb = rig.usb;
    QPushButton *collect = tab.findChild<QPushButton *>(QStringLiteral("collect_btn"));
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        collect->click();
        waitForLink(usb);
        const double ms = t.nsecsElapsed() * 1e-6;
        state.SetIterationTime(ms / 1000.0);
        if (captureMs < 0 || ms < captureMs)
            captureMs = ms;
    }
}

} // namespace

void registerLiveBenchmarks()
{
    for (int page = 0; page < 6; ++page)
        benchmark::RegisterBenchmark(
            QStringLiteral("BM_StallProbe/%1").arg(page).toLatin1().constData(), BM_StallProbe)
            ->Args({page})
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("BM_ContinuousCapture", BM_ContinuousCapture)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("BM_CaptureOverSimulatedDevice", BM_CaptureOverSimulatedDevice)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

void printLiveFigures()
{
    for (const auto &entry : stalls)
        std::printf("continuous capture N=4096 on the %s page: longest stall of the window's "
                    "thread %.1f ms, of which at work %.1f ms; %d frames; %d of %d turns of a 2 ms "
                    "timer late by more than 16 ms (goal <= 16 ms)\n",
                    kPageNames[entry.first], entry.second.longestMs, entry.second.longestBusyMs,
                    entry.second.frames, entry.second.missed, entry.second.ticks);
    if (captureMs > 0) {
        const double floorMs = 35 * 20 + 34 * 40 + 20;
        std::printf("Collect and Plot, 1024 samples over the simulated device: %.0f ms, floor %.0f "
                    "ms, %+.1f %% "
                    "(goal <= +5 %%)\n",
                    captureMs, floorMs, (captureMs / floorMs - 1) * 100);
    }
    if (continuous.frames > 0) {
        const double floorMs = 35 * 20 + 34 * 40 + 20;
        std::printf("continuous capture, 1024 samples, 10 s: longest stall of the window's "
                    "thread %.0f ms (goal <= 50 ms)\n",
                    continuous.longestStallMs);
        std::printf("continuous capture: %d frames, %.0f ms a frame, floor %.0f ms, %+.1f %% "
                    "(goal <= +5 %%)\n",
                    continuous.frames, continuous.frameMs, floorMs,
                    (continuous.frameMs / floorMs - 1) * 100);
        std::printf("Stop halfway through a frame: last capture command %.0f ms after the click, "
                    "rest of that frame about %.0f ms (goal: no longer); captures started after "
                    "Stop: %d (goal 0)\n",
                    continuous.stopLatencyMs, continuous.restOfFrameMs,
                    continuous.capturesAfterStop);
    }
}
