// SPDX-License-Identifier: GPL-3.0-or-later
// What the radar tab gives an engineer to read: the peak tables of the spectrum pages for scenes
// of the virtual kit, down-chirps, the cursor read-out, the plot menus and their exports, and the
// colour spans of the maps.
#include "TabProbe.h"
#include "support/RadarTestSupport.h"

#include "widgets/ColourSpanControl.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotTools.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

constexpr double c = 3e8;
constexpr double fs = 20000.0; // firmware 1.0.0

PeakReadout *readoutOf(TR7310_tabProbe &p, const char *plotName)
{
    return p.plotWidget(plotName)->parentWidget()->findChild<PeakReadout *>();
}

PlotTools *toolsOf(QCustomPlot *plot) { return plot->findChild<PlotTools *>(); }

QAction *action(QCustomPlot *plot, const QString &text)
{
    for (QAction *a : toolsOf(plot)->menu()->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

QVector<double> tone(int n, double cyclesPerSample)
{
    QVector<double> v(n);
    for (int k = 0; k < n; ++k)
        v[k] = 0.5 * std::cos(2 * M_PI * cyclesPerSample * k + 0.4);
    return v;
}

} // namespace

class ReadoutsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rangeTableFindsSingleReflectors_data();
    void rangeTableFindsSingleReflectors();
    void moverInContinuousWave_data();
    void moverInContinuousWave();
    void downChirpDrawsTheRangePage();
    void cfarReplacesTheList();
    void cursorReadout();
    void menuAndExports();
    void colourSpans();

private:
    void setSweep(const QString &start, const QString &stop, const QString &ramp);
    std::unique_ptr<SimKits> sim;
    std::unique_ptr<TR7310_tab> tab;
    usbTMCabstraction noLink;
    QTemporaryDir dir;
};

void ReadoutsTest::initTestCase()
{
    quickStartUp();
    sim = std::make_unique<SimKits>();
    tab = std::make_unique<TR7310_tab>(&sim->usb, sim->target(), QStringLiteral("1.0.0"),
                                       QStringLiteral("KV7310"), QStringLiteral("SIM0001"));
    tab->setTunePause([](int) {});
    tab->resize(1200, 760);
    QTRY_VERIFY_WITH_TIMEOUT(startUpDone(sim->kit()), 5000);
}

void ReadoutsTest::cleanupTestCase()
{
    PlotTools::setSaveChooser({});
    tab.reset();
    sim.reset();
}

// Through the form and the kit, as a user sets the sweep.
void ReadoutsTest::setSweep(const QString &start, const QString &stop, const QString &ramp)
{
    TR7310_tabProbe p(*tab);
    p.setText("startFreq_txt", start);
    p.setText("stopFreq_txt", stop);
    p.click("setFreqs_btn");
    p.setText("ramptime_txt", ramp);
    p.click("setRamp_btn");
}

void ReadoutsTest::rangeTableFindsSingleReflectors_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("ramp");
    // Ramps at least as long as the 51.2 ms frame: one clean tone per reflector.
    QTest::newRow("up 60 ms") << "24"
                              << "26"
                              << "60";
    QTest::newRow("up 90 ms") << "24"
                              << "26"
                              << "90";
    QTest::newRow("down 60 ms") << "26"
                                << "24"
                                << "60";
    QTest::newRow("down 90 ms, 25.5 to 24.0") << "25.5"
                                              << "24"
                                              << "90";
}

void ReadoutsTest::rangeTableFindsSingleReflectors()
{
    QFETCH(QString, start);
    QFETCH(QString, stop);
    QFETCH(QString, ramp);
    TR7310_tabProbe p(*tab);
    p.click("twoWayCont_rdbtn");
    setSweep(start, stop, ramp);
    p.showPage(2);
    const int n = 1024;
    p.setText("numSamples_txt", QString::number(n));
    // A target at R beats at 2 B R / (c T), whichever way the sweep runs.
    const double slope =
        std::fabs(stop.toDouble() - start.toDouble()) * 1e9 / (ramp.toDouble() / 1e3);
    const double binHz = fs / (7.0 * n);
    const double binM = binHz * c / (2 * slope);
    PeakReadout *readout = readoutOf(p, "rangeSpectrum_wdgt");
    double firstLevel = qQNaN();
    for (double r = 0.5; r <= 5.5; r += 0.5) {
        sim->singleTarget(r);
        p.click("collect_btn");
        QVERIFY(!readout->rows().empty());
        const PeakReadout::Row row = readout->rows().front();
        QVERIFY2(
            qAbs(row.position - r) <= 0.1 * binM,
            qPrintable(
                QStringLiteral("%1 m for %2 m (bin %3 m)").arg(row.position).arg(r).arg(binM)));
        QVERIFY(qAbs(row.other - 2 * slope * r / c) <= 0.1 * binHz);
        // Equal reflectors read equal levels wherever they stand.
        if (std::isnan(firstLevel))
            firstLevel = row.levelDb;
        QVERIFY2(qAbs(row.levelDb - firstLevel) <= 0.5, qPrintable(QString::number(row.levelDb)));
    }
    // The table shows what the read-out found, in metres, and a marker sits on the peak.
    auto *table = readout->findChild<QTableWidget *>(QStringLiteral("peak_tbl"));
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Range (m)"));
    // ... to a hundredth of a bin.
    QVERIFY(qAbs(table->item(0, 0)->text().toDouble() - readout->rows().front().position) <=
            0.005 * binM);
    QCPGraph *markers = p.plotWidget("rangeSpectrum_wdgt")->graph(1);
    QVERIFY(markers->data()->size() >= 1);
    p.showPage(0);
}

void ReadoutsTest::moverInContinuousWave_data()
{
    QTest::addColumn<double>("velocity");
    QTest::newRow("away") << 2.0;
    QTest::newRow("towards") << -2.0;
}

void ReadoutsTest::moverInContinuousWave()
{
    QFETCH(double, velocity);
    TR7310_tabProbe p(*tab);
    setSweep(QStringLiteral("24"), QStringLiteral("24.25"), QStringLiteral("1"));
    p.click("continuousWave_rdbtn");
    p.showPage(3);
    const int n = 2048;
    p.setText("numSamples_txt", QString::number(n));
    sim->singleTarget(3.0, velocity);
    p.click("collect_btn");
    // A real frame shows |f_d| = 2 |v| f0 / c; the sign is not in a real-valued frame.
    const double f0 = 24e9;
    const double binHz = fs / (7.0 * n);
    const double binMps = binHz * c / (2 * f0);
    PeakReadout *readout = readoutOf(p, "dopplerPlot_wdgt");
    QVERIFY(!readout->rows().empty());
    const PeakReadout::Row row = readout->rows().front();
    QVERIFY2(qAbs(row.position - 2 * std::fabs(velocity) * f0 / c) <= 0.1 * binHz,
             qPrintable(QString::number(row.position)));
    QVERIFY2(qAbs(row.other - std::fabs(velocity)) <= 0.1 * binMps,
             qPrintable(QString::number(row.other)));
    p.click("twoWayCont_rdbtn");
    p.setText("numSamples_txt", QStringLiteral("1024"));
    p.showPage(0);
}

void ReadoutsTest::downChirpDrawsTheRangePage()
{
    TR7310_tab t(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(t);
    p.setSweep(24.2, 24.0, 1);
    p.show(tone(1000, 0.05)); // 1000 Hz
    p.showPage(2);
    QCustomPlot *range = p.plotWidget("rangeSpectrum_wdgt");
    const double expectedMax = 3499 * (fs / 7000) * c / (2 * 0.2e9 / 1e-3);
    QVERIFY(qAbs(p.maxRange() - expectedMax) < 1e-9);
    QCOMPARE(range->xAxis->range().lower, 0.0);
    QVERIFY(qAbs(range->xAxis->range().upper - expectedMax) < 1e-9);
    bool found = false;
    const QCPRange keys = range->graph(0)->getKeyRange(found);
    QVERIFY(found && keys.lower >= 0);
    // 1000 Hz at 2e11 Hz/s is 0.75 m.
    QVERIFY(qAbs(readoutOf(p, "rangeSpectrum_wdgt")->rows().front().position - 0.75) < 1e-3);
    // The vs-time map in range mode reaches as far.
    p.showPage(5);
    QVERIFY(qAbs(p.vsTimeMap()->data()->valueRange().upper - 10000 * c / (2 * 2e11)) < 1e-9);
}

void ReadoutsTest::cfarReplacesTheList()
{
    TR7310_tab t(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(t);
    p.setSweep(24, 24.25, 1);
    QVector<double> w = tone(1024, 0.1);
    for (int k = 0; k < w.size(); ++k) { // a little noise, the same every run
        const double h = std::sin(k * 12.9898) * 43758.5453;
        w[k] += 0.001 * (h - std::floor(h) - 0.5);
    }
    p.show(w);
    p.showPage(1);
    PeakReadout *readout = readoutOf(p, "spectrum_wdgt");
    QCOMPARE(int(readout->rows().size()), 1); // one tone, one entry: the noise stays unlisted
    readout->findChild<QCheckBox *>(QStringLiteral("cfar_ckbx"))->click();
    QVERIFY(readout->cfarOn());
    QCOMPARE(int(readout->rows().size()), 1); // only the tone stands out
    QVERIFY(qAbs(readout->rows().front().position - 2000.0) < 1.0);
    QCPGraph *threshold = p.plotWidget("spectrum_wdgt")->graph(2);
    QVERIFY(threshold->visible() && !threshold->data()->isEmpty());
    readout->findChild<QCheckBox *>(QStringLiteral("cfar_ckbx"))->click();
    QVERIFY(!threshold->visible());
}

void ReadoutsTest::cursorReadout()
{
    TR7310_tab t(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(t);
    t.resize(1200, 760);
    t.show();
    p.setSweep(24, 24.25, 1);
    p.show(tone(1024, 0.1));
    p.showPage(2);
    QCustomPlot *range = p.plotWidget("rangeSpectrum_wdgt");
    range->xAxis->setRange(0, 4);
    range->yAxis->setRange(-100, 0);
    range->replot();
    const QPointF pixel(range->xAxis->coordToPixel(2.5), range->yAxis->coordToPixel(-40));
    const QString text = toolsOf(range)->readoutAt(pixel);
    // The read-out is the trace's point nearest the pointer's x, not the pointer's height.
    auto nearest = range->graph(0)->data()->findBegin(2.5, false);
    if ((nearest - 1)->key > 2.5 - (nearest->key - 2.5))
        --nearest;
    QVERIFY2(qAbs(nearest->key - 2.5) < 0.003, qPrintable(QString::number(nearest->key)));
    QCOMPARE(text, QStringLiteral("Range (m): %1   Power (dBV rms): %2")
                       .arg(QString::number(nearest->key, 'g', 6),
                            QString::number(nearest->value, 'g', 6)));
    QMouseEvent move(QEvent::MouseMove, pixel, range->mapToGlobal(pixel), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(range, &move);
    QCOMPARE(toolsOf(range)->readout(), text);

    // On a map the read-out adds the colour value of the cell.
    p.showPage(4);
    p.show(QVector<double>(100, 0.25));
    QCustomPlot *raw = p.plotWidget("rawTime_wdgt");
    raw->replot();
    double key = 0, value = 0;
    p.rawTimeMap()->data()->cellToCoord(0, 50, &key, &value);
    const QString mapText = toolsOf(raw)->readoutAt(
        QPointF(raw->xAxis->coordToPixel(key), raw->yAxis->coordToPixel(value)));
    QVERIFY2(mapText.contains(QStringLiteral("Amplitude: 0.25")), qPrintable(mapText));
}

void ReadoutsTest::menuAndExports()
{
    QVERIFY(dir.isValid());
    TR7310_tab t(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(t);
    t.resize(1200, 760);
    p.setSweep(24, 24.25, 1);
    p.show(tone(256, 0.1));
    p.showPage(2);
    QCustomPlot *range = p.plotWidget("rangeSpectrum_wdgt");
    QStringList texts;
    for (QAction *a : toolsOf(range)->menu()->actions())
        texts << a->text();
    QCOMPARE(texts, QStringList({QStringLiteral("Export PNG…"), QStringLiteral("Export PDF…"),
                                 QStringLiteral("Export CSV…"), QStringLiteral("Copy image"),
                                 QStringLiteral("Clear markers"), QStringLiteral("Reset axes")}));

    QString answer;
    QStringList captions;
    PlotTools::setSaveChooser([&](QWidget *, const QString &caption, const QString &) {
        captions << caption;
        return answer;
    });
    answer = dir.filePath(QStringLiteral("range")); // no suffix: the filter's is added
    action(range, QStringLiteral("Export CSV…"))->trigger();
    QFile csv(dir.filePath(QStringLiteral("range.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines =
        QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("Range (m),Power (dBV rms)"));
    const auto data = range->graph(0)->data();
    QCOMPARE(lines.size() - 1, data->size());
    for (int i = 0; i < data->size(); i += 97) {
        const QStringList f = lines.at(i + 1).split(QLatin1Char(','));
        QCOMPARE(f.size(), 2);
        QCOMPARE(f[0].toDouble(), data->at(i)->key);
        QCOMPARE(f[1].toDouble(), data->at(i)->value);
    }

    answer = dir.filePath(QStringLiteral("range.png"));
    action(range, QStringLiteral("Export PNG…"))->trigger();
    answer = dir.filePath(QStringLiteral("range.pdf"));
    action(range, QStringLiteral("Export PDF…"))->trigger();
    for (const auto &file : {QPair<QString, QByteArray>{QStringLiteral("range.png"), "\x89PNG"},
                             QPair<QString, QByteArray>{QStringLiteral("range.pdf"), "%PDF"}}) {
        QFile f(dir.filePath(file.first));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file.first));
        QVERIFY(f.read(4) == file.second);
    }
    answer.clear(); // cancelled: nothing written, nothing asked
    action(range, QStringLiteral("Export CSV…"))->trigger();

    // Reset axes does what the page's reset button does.
    range->xAxis->setRange(1, 2);
    action(range, QStringLiteral("Reset axes"))->trigger();
    // The last kept bin of 256 samples padded to 1792, at 0.25 GHz per ms.
    QCOMPARE(range->xAxis->range().upper, 895 * (20000.0 / 1792) * 3e8 / 5e11);

    // A map exports its matrix: key row after a NaN corner, then value and cells per row.
    p.showPage(4);
    for (int i = 0; i < 3; ++i) {
        p.show(QVector<double>(64, 0.1 * i));
    }
    const QString matrix = PlotTools::csv(p.plotWidget("rawTime_wdgt"));
    const QStringList rows = matrix.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 1 + 1 + 64);
    QVERIFY(rows[0].contains(QStringLiteral("Short Time (s)")));
    QStringList first = rows[1].split(QLatin1Char(','));
    QCOMPARE(first.size(), 151);
    QCOMPARE(first[0], QStringLiteral("nan"));
    QCOMPARE(first[150].toDouble(), 149.0);
    QStringList row = rows[2].split(QLatin1Char(','));
    QCOMPARE(row[0].toDouble(), 0.0);
    QCOMPARE(row[3].toDouble(), 0.2);
    QCOMPARE(row[4], QStringLiteral("nan")); // a column not yet filled
}

void ReadoutsTest::colourSpans()
{
    TR7310_tab t(&noLink, QString(), QStringLiteral("1.0.0"), QString(), QString());
    TR7310_tabProbe p(t);
    p.showPage(4);
    // Columns of 0 ... 0.99 V and one spike column of 100 V: the spike is above the 99.9th
    // percentile and does not flatten the rest.
    for (int i = 0; i < 100; ++i) {
        p.show(QVector<double>(64, i / 100.0));
    }
    p.show(QVector<double>(64, 100.0));
    QCPRange span = p.rawTimeMap()->dataRange();
    QCOMPARE(span.upper, 100.0);           // 99.9th of 101 equal-weight columns is the top one
    p.show(QVector<double>(1, 0.0)); // a new layout with one row
    for (int i = 0; i < 1000; ++i) {
        p.show(QVector<double>(1, i == 500 ? 1e6 : i / 1000.0));
    }
    span = p.rawTimeMap()->dataRange();
    QVERIFY2(span.upper < 1.0, qPrintable(QString::number(span.upper)));

    // Typing a maximum locks the span; ticking Auto again follows the data.
    auto *control = p.plotWidget("rawTime_wdgt")->parentWidget()->findChild<ColourSpanControl *>();
    auto *maxBox = control->findChild<QDoubleSpinBox *>(QStringLiteral("colourMax_txt"));
    auto *minBox = control->findChild<QDoubleSpinBox *>(QStringLiteral("colourMin_txt"));
    minBox->setValue(-2);
    maxBox->setValue(2);
    QVERIFY(!control->following());
    p.plot();
    QCOMPARE(p.rawTimeMap()->dataRange(), QCPRange(-2, 2));
    control->findChild<QCheckBox *>(QStringLiteral("autoColours_ckbx"))->click();
    QVERIFY(p.rawTimeMap()->dataRange().upper < 1.0);

    // Both maps leave the columns not yet captured without a value.
    p.showPage(5);
    p.show(tone(64, 0.1));
    QVERIFY(qIsNaN(p.vsTimeMap()->data()->cell(10, 10)));
}

QTEST_MAIN(ReadoutsTest)
#include "tst_tabreadouts.moc"
