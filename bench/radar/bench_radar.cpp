// SPDX-License-Identifier: GPL-3.0-or-later
// The USB radar tab: plot() of each page for 1024 and 4096 samples on a 1000 x 700 tab on the
// offscreen platform, the resident memory over 1000 frames with every page visited, and a
// 1024-sample Collect and Plot over the simulated device against the floor its pauses set.

#include "bench/BenchMain.h"
#include "link/usbConnection.h"
#include "link/usbTMCabstraction.h"
#include "radar/FrameCapture.h"
#include "radar/TR7310_tab.h"
#include "sim/SimUsbBus.h"
#include "sim/SimUsbDevice.h"
#include "sim/VirtualKit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

// The tab names this struct its friend; here it only reaches plot() and the frame.
struct TR7310_tabProbe
{
    static void setFrame(TR7310_tab &t, const QVector<double> &frame)
    {
        t.previousSamples = t.samples;
        t.samples = frame;
    }
    static void plot(TR7310_tab &t) { t.plot(); }
};

namespace {

const char *const kPageNames[] = {"raw", "spectrum", "range", "Doppler", "raw vs time", "vs time"};

// Frames as the virtual kit's default scene gives them, converted as the tab converts them.
QVector<QVector<double>> kitFrames(int n, int count)
{
    VirtualKit kit;
    kit.setManualClock(true);
    QVector<QVector<double>> frames;
    for (int i = 0; i < count; ++i) {
        kit.advanceClock(0.1);
        QVector<double> v;
        for (quint16 c : kit.captureFrame(n))
            v.append(FrameCapture::countToVolts(c));
        frames.append(v);
    }
    return frames;
}

struct Bench
{
    usbTMCabstraction noLink; // plots only: nothing is ever opened
    std::unique_ptr<TR7310_tab> tab;

    Bench()
    {
        tab = std::make_unique<TR7310_tab>(&noLink, QString(), QStringLiteral("1.0.0"),
                                           QStringLiteral("KV7310"), QStringLiteral("BENCH"));
        tab->resize(1000, 700);
        tab->findChild<QLineEdit *>(QStringLiteral("startFreq_txt"))->setText(QStringLiteral("24"));
        tab->findChild<QLineEdit *>(QStringLiteral("stopFreq_txt"))
            ->setText(QStringLiteral("24.25"));
        tab->findChild<QLineEdit *>(QStringLiteral("ramptime_txt"))->setText(QStringLiteral("1"));
        tab->show();
        QCoreApplication::processEvents();
    }
    void showPage(int page)
    {
        tab->findChild<QTabWidget *>(QStringLiteral("plot_tab"))->setCurrentIndex(page);
        QCoreApplication::processEvents(); // lay the page out and paint it once
    }
};

Bench &bench()
{
    static Bench b;
    return b;
}

std::map<std::pair<int, int>, double> medianMs; // (page, N) -> median ms of one plot() call

void BM_Plot(benchmark::State &state)
{
    const int page = int(state.range(0));
    const int n = int(state.range(1));
    Bench &b = bench();
    const QVector<QVector<double>> frames = kitFrames(n, 16);
    b.showPage(page);
    TR7310_tabProbe::setFrame(*b.tab, frames[0]);
    TR7310_tabProbe::plot(*b.tab); // a first frame may re-lay a map out; not part of the figure
    QCoreApplication::processEvents();

    std::vector<double> ms;
    int i = 0;
    for (auto _ : state) {
        TR7310_tabProbe::setFrame(*b.tab, frames[++i % frames.size()]);
        QElapsedTimer t;
        t.start();
        TR7310_tabProbe::plot(*b.tab);
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(ns * 1e-9);
        ms.push_back(ns * 1e-6);
        state.PauseTiming();
        QCoreApplication::processEvents(); // the paint the replot asked for, outside the figure
        state.ResumeTiming();
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    const double median = ms[ms.size() / 2];
    state.counters["median_ms"] = median;
    auto key = std::make_pair(page, n);
    if (!medianMs.count(key) || median < medianMs[key])
        medianMs[key] = median;
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

struct MemoryFigures
{
    double after100 = -1, after1000 = -1;
};
MemoryFigures memory;

void BM_Memory1000Frames(benchmark::State &state)
{
    Bench &b = bench();
    const QVector<QVector<double>> frames = kitFrames(4096, 16);
    for (auto _ : state) {
        for (int f = 1; f <= 1000; ++f) {
            b.showPage(f % 6);
            TR7310_tabProbe::setFrame(*b.tab, frames[f % frames.size()]);
            TR7310_tabProbe::plot(*b.tab);
            QCoreApplication::processEvents();
            if (f == 100)
                memory.after100 = residentMb();
        }
        memory.after1000 = residentMb();
    }
    state.counters["rss_MB"] = memory.after1000;
}

double captureMs = -1;

void BM_CaptureOverSimulatedDevice(benchmark::State &state)
{
    // The real 10 ms pauses of the link, over the simulated device.
    setDeviceLayerFactory([] { return std::make_unique<SimUsbDevice>(); });
    auto kit = std::make_shared<VirtualKit>(QStringLiteral("SIM0001"));
    SimUsbBus::global().attach(kit);
    usbTMCabstraction usb;
    const QStringList targets = usb.getDeviceList().second;
    if (targets.isEmpty()) {
        state.SkipWithError("no virtual kit listed");
        return;
    }
    TR7310_tab tab(&usb, targets.first(), QStringLiteral("1.0.0"), QStringLiteral("KV7310"),
                   QStringLiteral("SIM0001"));
    tab.resize(1000, 700);
    tab.findChild<QLineEdit *>(QStringLiteral("numSamples_txt"))->setText(QStringLiteral("1024"));
    QPushButton *collect = tab.findChild<QPushButton *>(QStringLiteral("collect_btn"));
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        collect->click();
        const double ms = t.nsecsElapsed() * 1e-6;
        state.SetIterationTime(ms / 1000.0);
        if (captureMs < 0 || ms < captureMs)
            captureMs = ms;
    }
    SimUsbBus::global().detachAll();
    setDeviceLayerFactory({});
}

void registerBenchmarks()
{
    for (int n : {1024, 4096})
        for (int page = 0; page < 6; ++page)
            benchmark::RegisterBenchmark(
                QStringLiteral("BM_Plot/%1/%2").arg(page).arg(n).toLatin1().constData(), BM_Plot)
                ->Args({page, n})
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
    benchmark::RegisterBenchmark("BM_Memory1000Frames", BM_Memory1000Frames)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("BM_CaptureOverSimulatedDevice", BM_CaptureOverSimulatedDevice)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

void printFigures(const kvvlx::bench::RatioReporter &)
{
    for (const auto &entry : medianMs) {
        const int page = entry.first.first;
        const int n = entry.first.second;
        const bool map = page >= 4;
        if (n == 4096)
            std::printf("plot() %s page, N=%d: median %.2f ms (goal <= %d ms)\n", kPageNames[page],
                        n, entry.second, map ? 12 : 2);
        else
            std::printf("plot() %s page, N=%d: median %.2f ms\n", kPageNames[page], n,
                        entry.second);
    }
    if (memory.after1000 > 0)
        std::printf("resident memory after 1000 frames (N=4096, every page): %.1f MB, %+.1f MB "
                    "since frame 100 "
                    "(goal: no growth per frame)\n",
                    memory.after1000, memory.after1000 - memory.after100);
    if (captureMs > 0) {
        const double floorMs = 35 * 20 + 34 * 40 + 20;
        std::printf("Collect and Plot, 1024 samples over the simulated device: %.0f ms, floor %.0f "
                    "ms, %+.1f %% "
                    "(goal <= +5 %%)\n",
                    captureMs, floorMs, (captureMs / floorMs - 1) * 100);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules(QStringLiteral("kvvlx.*.debug=false"));
    QApplication app(argc, argv);
    registerBenchmarks();
    const int status = kvvlx::bench::runWithRatios(argc, argv, {}, printFigures);
    bench().tab.reset();
    return status;
}
