// SPDX-License-Identifier: GPL-3.0-or-later
// The USB radar tab: plot() of each page, with the paint it asks for, for 1024 and 4096 samples on
// a 1000 x 700 tab on the offscreen platform (a map page measured once it is full), what the peak
// read-out adds, replay through the pages and the resident memory over 1000 frames with every
// page visited; the benchmarks of live capture on the virtual kit are in LiveBenches.

#include "bench/BenchMain.h"
#include "bench/radar/LiveBenches.h"
#include "capture/DataFile.h"
#include "capture/FrameCapture.h"
#include "capture/Recording.h"
#include "dsp/PaddedFft.h"
#include "link/usbTMCabstraction.h"
#include "radar/TR7310_tab.h"
#include "sim/VirtualKit.h"
#include "widgets/LinePlot.h"
#include "widgets/PeakReadout.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

// The tab through its public calls: a frame is shown as a recorded frame whose sidecar gives the
// sweep, which draws the page on show; plot() draws a frame set since, or the page again.
struct TabDriver
{
    static inline RadarMath::Sweep sweep;
    static inline std::optional<QVector<double>> next;
    static void setFrame(TR7310_tab &, const QVector<double> &frame) { next = frame; }
    static void plot(TR7310_tab &t)
    {
        if (!next) {
            QMetaObject::invokeMethod(&t, "plot");
            return;
        }
        Recording::Frame f;
        f.readOk = true;
        f.samples = *next;
        f.hasMeta = true;
        f.meta.sweepKnown = true;
        f.meta.sweep = sweep;
        f.meta.samplePeriodS = t.frameOnShow().axes.samplePeriodS;
        f.meta.sampleCount = int(f.samples.size());
        next.reset();
        t.showRecordedFrame(f);
    }
    static void setSweep(TR7310_tab &, const RadarMath::Sweep &s) { sweep = s; }
    static void showRecorded(TR7310_tab &t, const Recording::Frame &f) { t.showRecordedFrame(f); }
};

namespace {


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
        TabDriver::setSweep(*tab, {24.0, 24.25, 1.0}); // as the kit would report it
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

constexpr int kMapColumns = 150;

// The paint a frame asked for, counted in its figure: a page that draws a frame paints it
// either at once or on the next pass of the event loop, and the window's thread pays either way.
void paintFrame() { QCoreApplication::processEvents(); }

struct PlotFigure
{
    double medianMs = -1, maxMs = -1, paintMs = -1;
};
std::map<std::pair<int, int>, PlotFigure> plotMs; // (page, N) -> one plot() call

void BM_Plot(benchmark::State &state)
{
    const int page = int(state.range(0));
    const int n = int(state.range(1));
    Bench &b = bench();
    const QVector<QVector<double>> frames = kitFrames(n, 16);
    b.showPage(page);
    // A map is measured full, as it is after the first 150 frames of a run: the first frame
    // re-lays it out, and the columns drawn so far change what a new one costs.
    const int before = page >= 4 ? kMapColumns + 1 : 1;
    for (int i = 0; i < before; ++i) {
        TabDriver::setFrame(*b.tab, frames[i % frames.size()]);
        TabDriver::plot(*b.tab);
        QCoreApplication::processEvents();
    }

    std::vector<double> ms, paintMs;
    int i = 0;
    for (auto _ : state) {
        TabDriver::setFrame(*b.tab, frames[++i % frames.size()]);
        QElapsedTimer t;
        t.start();
        TabDriver::plot(*b.tab);
        const qint64 plotNs = t.nsecsElapsed();
        paintFrame();
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(ns * 1e-9);
        ms.push_back(ns * 1e-6);
        paintMs.push_back((ns - plotNs) * 1e-6);
    }
    std::nth_element(paintMs.begin(), paintMs.begin() + paintMs.size() / 2, paintMs.end());
    state.counters["paint_ms"] = paintMs[paintMs.size() / 2];
    const double most = *std::max_element(ms.begin(), ms.end());
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    const double median = ms[ms.size() / 2];
    state.counters["median_ms"] = median;
    state.counters["max_ms"] = most;
    PlotFigure &figure = plotMs[std::make_pair(page, n)];
    if (figure.medianMs < 0 || median < figure.medianMs)
        figure = {median, most, paintMs[paintMs.size() / 2]};
}

// What the peak read-out and its markers add to one plot() of a spectrum page: the same spectrum
// drawn on a page-sized plot with and without the read-out (table, markers, optional CFAR).
struct ReadoutFigures
{
    double plainMs = -1, readoutMs = -1, cfarMs = -1;
};
ReadoutFigures readoutFigures;

void BM_PeakReadout(benchmark::State &state)
{
    const int n = 4096;
    const int mode = int(state.range(0)); // 0 plain, 1 read-out, 2 read-out with CFAR
    QWidget page;
    page.resize(1000, 700);
    auto *plot = new QCustomPlot(&page);
    plot->setGeometry(0, 0, 1000, 560);
    LinePlot::setUp(plot, QStringLiteral("Range Plot"), QStringLiteral("Range (m)"),
                    QString::fromLatin1(kPowerLabel));
    auto *readout = new PeakReadout(plot, PeakReadout::Page::Range, &page);
    readout->setGeometry(0, 560, 1000, 120);
    readout->findChild<QCheckBox *>(QStringLiteral("cfar_ckbx"))->setChecked(mode == 2);
    page.show();
    QCoreApplication::processEvents();
    RadarMath::FrameAxes axes;
    axes.sweep = {24.0, 24.25, 1.0};
    QVector<DisplaySpectrum> spectra;
    for (const QVector<double> &frame : kitFrames(n, 8))
        spectra.append(displaySpectrum(frame, readout->window()));
    QVector<double> keys(spectra.first().shown.size());
    for (int i = 0; i < keys.size(); ++i)
        keys[i] = RadarMath::rangeForBeat(i * RadarMath::binSpacingHz(axes.sampleRateHz(), n),
                                          axes.sweep);
    std::vector<double> ms;
    int i = 0;
    for (auto _ : state) {
        const DisplaySpectrum &p = spectra[++i % spectra.size()];
        QElapsedTimer t;
        t.start();
        LinePlot::setData(plot, keys, p.shown);
        if (mode > 0)
            readout->show(p, axes, n);
        plot->replot(QCustomPlot::rpRefreshHint);
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(ns * 1e-9);
        ms.push_back(ns * 1e-6);
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    double &figure = mode == 0   ? readoutFigures.plainMs
                     : mode == 1 ? readoutFigures.readoutMs
                                 : readoutFigures.cfarMs;
    figure = ms[ms.size() / 2];
    state.counters["median_ms"] = figure;
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
            TabDriver::setFrame(*b.tab, frames[f % frames.size()]);
            TabDriver::plot(*b.tab);
            QCoreApplication::processEvents();
            if (f == 100)
                memory.after100 = residentMb();
        }
        memory.after1000 = residentMb();
    }
    state.counters["rss_MB"] = memory.after1000;
}

// Replay as fast as possible: per frame, read the file and its sidecar, convert, and plot() and
// paint it on every page of a set (the four line pages, or all six), each page drawn as when it
// is showing.
std::map<std::pair<int, int>, double> replayFps; // (pages, N) -> frames per second
// (pages, N) -> mean ms a frame of each step: read and convert, then the pages in order
std::map<std::pair<int, int>, std::vector<double>> replaySteps;

void BM_Replay(benchmark::State &state)
{
    const int pages = int(state.range(0));
    const int n = int(state.range(1));
    Bench &b = bench();
    QTemporaryDir dir;
    const QVector<QVector<double>> frames = kitFrames(n, 16);
    QStringList files;
    for (int i = 0; i < frames.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("data%1.txt").arg(i));
        FrameMeta::Meta meta;
        meta.application = QStringLiteral("kvvlx");
        meta.link = QStringLiteral("USB");
        meta.sweepKnown = true;
        meta.sweep = {24.0, 24.25, 1.0};
        meta.sampleCount = n;
        meta.capturedUtc = QDateTime::currentDateTimeUtc();
        DataFile::write(frames[i], path);
        FrameMeta::write(meta, path);
        files << path;
    }
    QTabWidget *tabs = b.tab->findChild<QTabWidget *>(QStringLiteral("plot_tab"));
    const QSignalBlocker noReplotOnSwitch(tabs);
    // The maps full before the figure, as in any replay longer than 150 frames.
    for (int page = 4; page < pages; ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (int f = 0; f <= kMapColumns; ++f) {
            TabDriver::setFrame(*b.tab, frames[f % frames.size()]);
            TabDriver::plot(*b.tab);
        }
    }
    int i = 0;
    double seconds = 0;
    qint64 count = 0;
    std::vector<double> steps(pages + 1, 0.0);
    // The page switch (layout and first paint of a page) is outside the figure: a replay draws
    // the page that is showing, and the sum over pages is the time of one frame through them all.
    for (auto _ : state) {
        double s = 0;
        Recording::Frame f;
        for (int page = 0; page < pages; ++page) {
            tabs->setCurrentIndex(page);
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            double readMs = 0;
            if (page == 0) {
                f = Recording::load(files[i++ % files.size()]);
                readMs = t.nsecsElapsed() * 1e-6;
                TabDriver::showRecorded(*b.tab, f); // draws page 0
            } else {
                TabDriver::plot(*b.tab);
            }
            paintFrame();
            const double ms = t.nsecsElapsed() * 1e-6;
            steps[0] += readMs;
            steps[page + 1] += ms - readMs;
            s += ms * 1e-3;
        }
        state.SetIterationTime(s);
        seconds += s;
        ++count;
    }
    const double fps = count / seconds;
    state.counters["frames_per_s"] = fps;
    auto key = std::make_pair(pages, n);
    if (!replayFps.count(key) || fps > replayFps[key]) {
        replayFps[key] = fps;
        for (double &step : steps)
            step /= double(count);
        replaySteps[key] = steps;
    }
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
    for (int mode = 0; mode < 3; ++mode)
        benchmark::RegisterBenchmark(
            QStringLiteral("BM_PeakReadout/%1").arg(mode).toLatin1().constData(), BM_PeakReadout)
            ->Args({mode})
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
    for (int n : {1024, 4096})
        for (int pages : {4, 6})
            benchmark::RegisterBenchmark(
                QStringLiteral("BM_Replay/%1/%2").arg(pages).arg(n).toLatin1().constData(),
                BM_Replay)
                ->Args({pages, n})
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(300);
    registerLiveBenchmarks();
    benchmark::RegisterBenchmark("BM_Memory1000Frames", BM_Memory1000Frames)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
}

void printFigures(const kvvlx::bench::RatioReporter &)
{
    for (const auto &entry : plotMs) {
        const int page = entry.first.first;
        const int n = entry.first.second;
        const bool map = page >= 4;
        std::printf("plot() %s page, N=%d: median %.2f ms, max %.2f ms%s (with its paint; "
                    "%.2f ms of it after plot() returned)\n",
                    kPageNames[page], n, entry.second.medianMs, entry.second.maxMs,
                    map ? " per column, map full" : "", entry.second.paintMs);
    }
    const auto spectrum = plotMs.find(std::make_pair(1, 4096));
    for (int page : {4, 5}) {
        const auto map = plotMs.find(std::make_pair(page, 4096));
        if (spectrum != plotMs.end() && map != plotMs.end())
            std::printf("map column / spectrum page plot(), %s page, N=4096: %.2fx (goal <= 1.5x; "
                        "aim 0.5 ms a column)\n",
                        kPageNames[page], map->second.medianMs / spectrum->second.medianMs);
    }
    if (readoutFigures.plainMs > 0 && readoutFigures.readoutMs > 0)
        std::printf("peak read-out and markers, N=4096: %+.2f ms per plot() (%.2f ms without, "
                    "%.2f ms with; goal <= +0.3 ms)\n",
                    readoutFigures.readoutMs - readoutFigures.plainMs, readoutFigures.plainMs,
                    readoutFigures.readoutMs);
    if (readoutFigures.plainMs > 0 && readoutFigures.cfarMs > 0)
        std::printf(
            "peak read-out with CFAR and its threshold curve, N=4096: %+.2f ms per plot()\n",
            readoutFigures.cfarMs - readoutFigures.plainMs);
    for (const auto &entry : replayFps) {
        const bool lines = entry.first.first == 4;
        std::printf("replay as fast as possible, N=%d, read + convert + plot() + paint on %s: %.0f "
                    "frames/s%s\n",
                    entry.first.second, lines ? "the 4 line pages" : "all 6 pages", entry.second,
                    !lines && entry.first.second == 4096 ? " (goal >= 100 frames/s)" : "");
    }
    for (const auto &entry : replaySteps) {
        std::printf("replay N=%d, %d pages, ms a frame: read + convert %.2f", entry.first.second,
                    entry.first.first, entry.second[0]);
        for (size_t page = 1; page < entry.second.size(); ++page)
            std::printf(", %s %.2f", kPageNames[page - 1], entry.second[page]);
        std::printf("\n");
    }
    if (replayFps.count({4, 4096}) && replayFps.count({6, 4096}))
        std::printf("replay N=4096, all 6 pages / the 4 line pages: %.2fx (goal >= 0.6x)\n",
                    replayFps[{6, 4096}] / replayFps[{4, 4096}]);
    printLiveFigures();
    if (memory.after1000 > 0)
        std::printf("resident memory after 1000 frames (N=4096, every page): %.1f MB, %+.1f MB "
                    "since frame 100 "
                    "(goal: no growth per frame)\n",
                    memory.after1000, memory.after1000 - memory.after100);
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
