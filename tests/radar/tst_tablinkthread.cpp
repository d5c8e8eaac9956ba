// SPDX-License-Identifier: GPL-3.0-or-later
// The USB tab with its device work on the link thread: the window keeps running during a
// transfer, Stop starts no further frame, closing a tab or quitting mid-frame is clean, two tabs
// share the link in turn, and a timed collection writes the files it always wrote.
#include "TabProbe.h"
#include "support/RadarTestSupport.h"

#include "link/LinkThread.h"
#include "widgets/FolderChooser.h"

#include <QDir>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// The link's real 10 ms pauses around every transfer: a 310-sample frame takes about half a
// second, long enough to act on while it is on the wire.
struct RealPauses
{
    RealPauses()
    {
        WinUSBTMC::setDefaultPause([](unsigned long ms) { QThread::msleep(ms); });
    }
    ~RealPauses()
    {
        WinUSBTMC::setDefaultPause([](unsigned long) {});
    }
};

std::unique_ptr<TR7310_tab> makeTab(SimKits &sim, int i = 0)
{
    auto tab =
        std::make_unique<TR7310_tab>(&sim.usb, sim.target(i), QStringLiteral("1.0.0"),
                                     QStringLiteral("KV7310"), QStringLiteral("SIM%1").arg(i + 1));
    tab->setTunePause([](int) {});
    return tab;
}

int progressOf(TR7310_tab &tab)
{
    return tab.findChild<QProgressBar *>(QStringLiteral("frameProgress_wdgt"))->value();
}

} // namespace

class LinkThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quickStartUp(); }
    void guiTimerKeepsFiringDuringACapture();
    void stopLetsTheFrameInFlightFinishAndStartsNoOther();
    void closingTheTabMidFrameIsClean();
    void quittingMidFrameIsClean();
    void twoTabsTakeTurns();
    void collectionFilesAreTheFramesTheKitSent();
};

void LinkThreadTest::guiTimerKeepsFiringDuringACapture()
{
    SimKits sim;
    auto tab = makeTab(sim);
    TR7310_tabProbe p(*tab);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim.kit()), 5000);
    RealPauses pauses;
    p.setText("numSamples_txt", QStringLiteral("310"));

    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    QElapsedTimer clock;
    clock.start();
    p.w<QAbstractButton>("collect_btn")->click();
    QVERIFY(!p.w<QAbstractButton>("collect_btn")->isEnabled()); // no second frame on top
    QTRY_VERIFY_WITH_TIMEOUT(p.idle(), 5000);
    const qint64 ms = clock.elapsed();
    tick.stop();
    QCOMPARE(p.samples().size(), 310);
    QVERIFY2(ms > 300, "the transfer should take its pauses");
    // A blocked window would see one late tick at the end, not one every 10 ms or so.
    QVERIFY2(ticks > ms / 40, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(ms)));
    QCOMPARE(progressOf(*tab), FrameCapture::queryCount(310));
    QVERIFY(p.w<QAbstractButton>("collect_btn")->isEnabled());
}

void LinkThreadTest::stopLetsTheFrameInFlightFinishAndStartsNoOther()
{
    SimKits sim;
    auto tab = makeTab(sim);
    TR7310_tabProbe p(*tab);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim.kit()), 5000);
    RealPauses pauses;
    p.setText("numSamples_txt", QStringLiteral("310"));
    QSignalSpy status(tab.get(), &TR7310_tab::captureStatus);
    auto *button = p.w<QPushButton>("continuousCapture_btn");
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(status.size() >= 1, 5000); // one frame drawn
    // Stop while the second frame is on the wire.
    QTRY_VERIFY_WITH_TIMEOUT(progressOf(*tab) > 2 && progressOf(*tab) < 8, 5000);
    const QVector<double> before = p.samples();
    sim.kit().clearReceived();
    button->click();
    QCOMPARE(button->text(), QStringLiteral("Start Continuous Capture"));
    QTRY_VERIFY_WITH_TIMEOUT(p.idle(), 5000);
    QVERIFY(p.samples() != before); // the frame in flight was drawn
    QTest::qWait(300);
    QCOMPARE(sim.count(QStringLiteral("CAPT:FRAM 310")), 0);
    QVERIFY(sim.count(QStringLiteral("CAPT:FRAM?")) > 0); // only the rest of that frame
    QVERIFY(status.last().first().toString().startsWith(QStringLiteral("Frame ")));
    QVERIFY(status.last().first().toString().contains(QStringLiteral(" frames/s")));
    QVERIFY(!p.messageShown());
}

void LinkThreadTest::closingTheTabMidFrameIsClean()
{
    SimKits sim;
    auto tab = makeTab(sim);
    TR7310_tabProbe p(*tab);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim.kit()), 5000);
    LinkThread *link = LinkThread::of(&sim.usb);
    RealPauses pauses;
    p.setText("numSamples_txt", QStringLiteral("1024"));
    sim.kit().clearReceived();
    p.w<QAbstractButton>("continuousCapture_btn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(progressOf(*tab) > 2, 5000);
    tab.reset();
    // The frame is given up at its next reply and the kit closed again.
    QTRY_COMPARE_WITH_TIMEOUT(link->pending(), 0, 2000);
    QVERIFY(sim.count(QStringLiteral("CAPT:FRAM?")) < 34);
    QCOMPARE(sim.usb.openConnection(sim.target()), 0);
    sim.usb.closeConnection();
    QTest::qWait(100); // results still queued for the tab go nowhere
}

void LinkThreadTest::quittingMidFrameIsClean()
{
    auto sim = std::make_unique<SimKits>();
    auto tab = makeTab(*sim);
    TR7310_tabProbe p(*tab);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim->kit()), 5000);
    RealPauses pauses;
    p.w<QAbstractButton>("continuousCapture_btn")->click();
    QTRY_VERIFY_WITH_TIMEOUT(progressOf(*tab) > 2, 5000);
    QElapsedTimer clock;
    clock.start();
    // The command layer goes first, as when the application ends with the tab still open.
    sim.reset();
    QVERIFY2(clock.elapsed() < 500, "the frame in flight ends at its next reply");
    QTest::qWait(50);
    tab.reset();
}

void LinkThreadTest::twoTabsTakeTurns()
{
    SimKits sim(2);
    auto first = makeTab(sim, 0);
    auto second = makeTab(sim, 1);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim.kit(0)) && startUpDone(sim.kit(1)), 5000);
    TR7310_tabProbe a(*first), b(*second);
    a.setText("numSamples_txt", QStringLiteral("62"));
    b.setText("numSamples_txt", QStringLiteral("93"));
    QSignalSpy drawnA(first.get(), &TR7310_tab::captureStatus);
    QSignalSpy drawnB(second.get(), &TR7310_tab::captureStatus);
    a.w<QAbstractButton>("continuousCapture_btn")->click();
    b.w<QAbstractButton>("continuousCapture_btn")->click();
    QTRY_VERIFY(drawnA.size() >= 10 && drawnB.size() >= 10);
    a.w<QAbstractButton>("continuousCapture_btn")->click();
    b.w<QAbstractButton>("continuousCapture_btn")->click();
    QTRY_VERIFY(a.idle());
    // Neither starves the other: their frame counts stay within one frame of each other.
    QVERIFY(qAbs(drawnA.size() - drawnB.size()) <= 1);
    QCOMPARE(a.samples().size(), 62);
    QCOMPARE(b.samples().size(), 93);
}

void LinkThreadTest::collectionFilesAreTheFramesTheKitSent()
{
    QTemporaryDir work;
    QVERIFY(work.isValid());
    SimKits sim;
    sim.singleTarget(40.0);
    sim.kit().setSeed(7);
    auto tab = makeTab(sim);
    TR7310_tabProbe p(*tab);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim.kit()), 5000);
    FolderChooser::setDialog([&](QWidget *, const QString &) { return work.path(); });
    p.click("browsCollection_btn");
    FolderChooser::setDialog({});
    p.finishEditing("numCaptures_txt", QStringLiteral("3"));
    p.finishEditing("captureInterval_txt", QStringLiteral("0"));
    p.finishEditing("numSampleCapture_txt", QStringLiteral("100"));
    sim.kit().setSeed(7);
    auto *start = p.w<QPushButton>("startCapture_btn");
    start->click();
    QCOMPARE(start->text(), QStringLiteral("Stop Collection"));
    QTRY_VERIFY(!p.collectionRunning());
    QCOMPARE(start->text(), QStringLiteral("Start Collection"));
    QCOMPARE(p.w<QProgressBar>("collectionProgress_wdgt")->text(), QStringLiteral("3/3"));

    // The same kit, asked directly: each file holds its frame in volts, one "g 6" value a line.
    VirtualKit reference(QStringLiteral("SIM0001"));
    SimTarget t;
    t.rangeM = 40.0;
    t.amplitudeV = 0.5;
    reference.setTargets({t});
    reference.setNoiseVrms(0.001);
    reference.setManualClock(true);
    reference.setSeed(7);
    for (int i = 0; i < 3; ++i) {
        QByteArray expected;
        for (quint16 c : reference.captureFrame(100))
            expected += QByteArray::number(c / 65535.0 * 5.0 - 2.5, 'g', 6) + '\n';
        QFile f(work.filePath(QStringLiteral("data%1.txt").arg(i)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
    }
}

QTEST_MAIN(LinkThreadTest)
#include "tst_tablinkthread.moc"
