// SPDX-License-Identifier: GPL-3.0-or-later
// A collection from the virtual kit, then a fresh tab whose kit is set up differently: loading
// and replaying draw the reflector at the range it had live, and old files still load.
#include "TabProbe.h"
#include "support/RadarTestSupport.h"

#include "capture/Sigmf.h"
#include "radar/ReplayControls.h"
#include "widgets/FolderChooser.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

double peakKey(QCustomPlot *plot)
{
    double best = -std::numeric_limits<double>::infinity();
    double key = qQNaN();
    for (const QCPGraphData &d : *plot->graph(0)->data())
        if (d.value > best) {
            best = d.value;
            key = d.key;
        }
    return key;
}

double peakRow(QCPColorMap *map, int column)
{
    QCPColorMapData *data = map->data();
    int best = 1;
    for (int r = 2; r < data->valueSize(); ++r)
        if (data->cell(column, r) > data->cell(column, best))
            best = r;
    double key = 0, value = 0;
    data->cellToCoord(column, best, &key, &value);
    return value;
}

constexpr double kTargetM = 2.0;
// One range bin of a 1024-sample frame at 20 kHz and 2 GHz in 60 ms, a ramp longer than the frame
// so that the reflector is one clean tone.
constexpr double kBinM = (20000.0 / 7168) * 3e8 / (2 * 2e9 / 60e-3);

} // namespace

class TabReplayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loadDrawsOnTheRecordedAxes();
    void replayPlaysThroughEveryPage();
    void filesWithoutSidecarsLoadAsBefore();
    void sigmfRecordingsReplayOnTheirAxes();

private:
    QTemporaryDir work;
    QString folder;
    std::unique_ptr<SimKits> freshKit;
    std::unique_ptr<TR7310_tab> fresh;
    usbTMCabstraction noLink;
};

void TabReplayTest::initTestCase()
{
    quickStartUp();
    QVERIFY(work.isValid());
    folder = work.filePath(QStringLiteral("run"));
    {
        SimKits sim;
        sim.singleTarget(kTargetM);
        SimSweep sweep = sim.kit().sweep();
        sweep.stopGHz = 26.0;
        sweep.rampMs = 60.0;
        sim.kit().setSweep(sweep);
        TR7310_tab tab(&sim.usb, sim.target(), QStringLiteral("1.0.0"), QStringLiteral("KV7310"),
                       QStringLiteral("SIM0001"));
        tab.setTunePause([](int) {});
        QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim.kit()), 5000);
        TR7310_tabProbe p(tab);
        FolderChooser::setDialog([this](QWidget *, const QString &) { return folder; });
        p.click("browsCollection_btn");
        FolderChooser::setDialog({});
        p.finishEditing("numCaptures_txt", QStringLiteral("10"));
        p.finishEditing("captureInterval_txt", QStringLiteral("0"));
        p.w<QCheckBox>("zeroPadNumbers_ckbx")->setChecked(true);
        p.showPage(2);
        p.click("startCapture_btn");
        QTRY_VERIFY_WITH_TIMEOUT(!p.collectionRunning(), 20000);
        // Live, the reflector is at its range.
        QVERIFY(qAbs(peakKey(p.plotWidget("rangeSpectrum_wdgt")) - kTargetM) <= 2 * kBinM);
    } // the program quits

    // collection.json lists exactly the ten frames written, zero-padded.
    Recording::Index index;
    QCOMPARE(Recording::readIndex(folder, &index), FrameMeta::ReadResult::Ok);
    QStringList expected;
    for (int i = 0; i < 10; ++i)
        expected << QStringLiteral("data%1.txt").arg(i, 4, 10, QLatin1Char('0'));
    QCOMPARE(index.files(), expected);
    QCOMPARE(index.numberWidth, 4);
    QVERIFY(index.complete);
    QStringList onDisk = QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files);
    QCOMPARE(onDisk, expected);
    FrameMeta::Meta meta;
    QCOMPARE(FrameMeta::read(QDir(folder).filePath(expected.last()), &meta),
             FrameMeta::ReadResult::Ok);
    QCOMPARE(meta.frameNumber, 9);
    QCOMPARE(meta.numberWidth, 4);
    QCOMPARE(meta.sweep.rampMs, 60.0);
    QCOMPARE(meta.sweepType, 2);

    // A fresh start whose kit now sweeps twice as wide in twice the time, and whose form says
    // something else again.
    freshKit = std::make_unique<SimKits>();
    SimSweep sweep = freshKit->kit().sweep();
    sweep.startGHz = 24.0;
    sweep.stopGHz = 24.5;
    sweep.rampMs = 2.0;
    freshKit->kit().setSweep(sweep);
    fresh = std::make_unique<TR7310_tab>(&freshKit->usb, freshKit->target(),
                                         QStringLiteral("1.1.0"), QStringLiteral("KV7310"),
                                         QStringLiteral("SIM0001"));
    fresh->setTunePause([](int) {});
    fresh->resize(1000, 700);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(freshKit->kit()), 5000);
    TR7310_tabProbe p(*fresh);
    p.settle();
    p.setText("startFreq_txt", QStringLiteral("23.5"));
    p.setText("stopFreq_txt", QStringLiteral("25"));
    p.setText("ramptime_txt", QStringLiteral("7"));
}

void TabReplayTest::cleanupTestCase() { fresh.reset(); }

void TabReplayTest::loadDrawsOnTheRecordedAxes()
{
    TR7310_tabProbe p(*fresh);
    const QString file = QDir(folder).filePath(QStringLiteral("data0003.txt"));
    fresh->setFilesChooser([&](QWidget *, const QString &) { return QStringList{file}; });
    p.showPage(2);
    p.click("load_btn");
    QCOMPARE(p.samples().size(), 1024);
    QVERIFY(qAbs(peakKey(p.plotWidget("rangeSpectrum_wdgt")) - kTargetM) <= 2 * kBinM);
    // The recorded sample period, not the 1.1.0 firmware's.
    QCOMPARE(p.frameAxes().samplePeriodS, 5e-05);
    p.showPage(0);
    QCOMPARE(p.plotWidget("rawPlot_wdgt")->graph(0)->data()->at(1)->key, 5e-05);
    const QString shown = p.w<QLabel>("shownFrame_lbl")->text();
    QVERIFY2(shown.contains(QStringLiteral("data0003.txt")) && shown.contains(QStringLiteral("Z")),
             qPrintable(shown));
}

void TabReplayTest::replayPlaysThroughEveryPage()
{
    TR7310_tabProbe p(*fresh);
    auto *replay = fresh->findChild<ReplayControls *>();
    QVERIFY(replay);
    replay->openFolder(folder);
    QCOMPARE(replay->player().count(), 10);
    replay->findChild<QComboBox *>(QStringLiteral("replayPace_cmb"))->setCurrentIndex(1);

    // The range page, played as fast as possible.
    p.showPage(2);
    p.click("replayPlay_btn");
    QTRY_VERIFY(!replay->player().isPlaying());
    QCOMPARE(replay->player().position(), 9);
    QVERIFY(qAbs(peakKey(p.plotWidget("rangeSpectrum_wdgt")) - kTargetM) <= 2 * kBinM);

    // The range-over-time map gets one column per frame, each with the reflector at 2 m.
    p.showPage(5);
    const int before = p.vsTimeColumn();
    p.click("replayPlay_btn"); // from the start again
    QTRY_VERIFY(!replay->player().isPlaying());
    QCOMPARE(p.vsTimeColumn(), (before + 10) % 150);
    const int last = (p.vsTimeColumn() + 149) % 150;
    QVERIFY(qAbs(peakRow(p.vsTimeMap(), last) - kTargetM) <= 3 * kBinM);

    // Step and slider show single frames.
    p.showPage(4);
    replay->player().seek(2);
    QCOMPARE(replay->player().position(), 2);
    p.click("replayStep_btn");
    QCOMPARE(replay->player().position(), 3);
    QVERIFY(p.w<QLabel>("shownFrame_lbl")->text().contains(QStringLiteral("data0003.txt")));
}

void TabReplayTest::filesWithoutSidecarsLoadAsBefore()
{
    TR7310_tabProbe p(*fresh);
    const QString old = work.filePath(QStringLiteral("old.txt"));
    QVERIFY(QFile::copy(QDir(folder).filePath(QStringLiteral("data0005.txt")), old));
    fresh->setFilesChooser([&](QWidget *, const QString &) { return QStringList{old}; });
    p.showPage(2);
    p.click("load_btn");
    QCOMPARE(p.samples().size(), 1024);
    // No sidecar: drawn with what the kit has read back now (1.1.0 rate, 0.5 GHz in 2 ms).
    QCOMPARE(p.frameAxes().samplePeriodS, 4.505e-05);
    QCOMPARE(p.frameAxes().sweep.rampMs, 2.0);
    QVERIFY(p.w<QLabel>("shownFrame_lbl")->text().contains(QStringLiteral("no metadata")));
}

void TabReplayTest::sigmfRecordingsReplayOnTheirAxes()
{
    TR7310_tabProbe p(*fresh);
    auto *replay = fresh->findChild<ReplayControls *>();
    Sigmf::Dataset ds;
    QVERIFY(Sigmf::fromRecording(folder, &ds));
    const QString base = work.filePath(QStringLiteral("run-sigmf"));
    QVERIFY(Sigmf::write(ds, base));
    replay->openFiles({base + QStringLiteral(".sigmf-meta")});
    QCOMPARE(replay->player().count(), 10);
    replay->findChild<QComboBox *>(QStringLiteral("replayPace_cmb"))->setCurrentIndex(1);
    p.showPage(2);
    p.click("replayPlay_btn");
    QTRY_VERIFY(!replay->player().isPlaying());
    // The recording's own rate and sweep, not those of this tab's 1.1.0 kit.
    QCOMPARE(p.frameAxes().samplePeriodS, 5e-05);
    QCOMPARE(p.frameAxes().sweep.rampMs, 60.0);
    QVERIFY(qAbs(peakKey(p.plotWidget("rangeSpectrum_wdgt")) - kTargetM) <= 2 * kBinM);

    // One we cannot show is refused with the reason, and the tab keeps what it showed.
    QFile meta(work.filePath(QStringLiteral("iq.sigmf-meta")));
    QVERIFY(meta.open(QIODevice::WriteOnly));
    meta.write(R"({"global": {"core:datatype": "cf32_le", "core:version": "1.2.0"},
                   "captures": [], "annotations": []})");
    meta.close();
    QFile data(work.filePath(QStringLiteral("iq.sigmf-data")));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write(QByteArray(64, '\0'));
    data.close();
    replay->openFiles({meta.fileName()});
    QCOMPARE(replay->player().count(), 0);
    QVERIFY(p.w<QLabel>("replaySource_lbl")->text().contains(QStringLiteral("complex")));
    QCOMPARE(p.samples().size(), 1024);
}

QTEST_MAIN(TabReplayTest)
#include "tst_tabreplay.moc"
