// SPDX-License-Identifier: GPL-3.0-or-later
// Markers on a line plot: where they sit, what they read, and where they go in exports.
#include "widgets/LinePlot.h"
#include "widgets/PeakReadout.h"
#include "widgets/PlotMarkers.h"
#include "widgets/PlotTools.h"

#include <QJsonObject>
#include <QTableWidget>
#include <QtTest>

#include <qcustomplot.h>

#include <cmath>

namespace {

// A spectrum page: 0 ... 1000 Hz in 10 Hz steps, peaks of -9 dBV at 100 Hz and -29 dBV at 250 Hz.
struct Page
{
    QCustomPlot plot;
    Page()
    {
        plot.resize(600, 400);
        LinePlot::setUp(&plot, QStringLiteral("Spectrum"), QStringLiteral("Frequency (Hz)"),
                        QString::fromLatin1(kPowerLabel));
        new PlotTools(&plot, {});
        setTrace(-9.0, -29.0);
    }
    void setTrace(double first, double second)
    {
        QVector<double> keys, values;
        for (int i = 0; i <= 100; ++i) {
            keys << 10.0 * i;
            values << (i == 10 ? first : i == 25 ? second : -100.0);
        }
        LinePlot::show(&plot, keys, values);
    }
    PlotMarkers *markers() { return PlotMarkers::of(&plot); }
    void click(double key, double dx = 0)
    {
        const QPointF at(plot.xAxis->coordToPixel(key), plot.axisRect()->center().y());
        QTest::mousePress(&plot, Qt::LeftButton, {}, at.toPoint());
        QTest::mouseRelease(&plot, Qt::LeftButton, {}, (at + QPointF(dx, 0)).toPoint());
    }
};

} // namespace

class TestPlotMarkers : public QObject
{
    Q_OBJECT

private slots:
    void snapTakesTheNearestPoint();
    void twoMarkersAndTheirDifference();
    void clicksPlaceMarkersDragsDoNot();
    void markersGoIntoCsvAndSidecar();
    void peakTablePlacesAMarker();
};

void TestPlotMarkers::snapTakesTheNearestPoint()
{
    Page page;
    double x = 0, y = 0;
    QVERIFY(PlotMarkers::snap(page.plot.graph(0), 104.0, &x, &y));
    QCOMPARE(x, 100.0);
    QCOMPARE(y, -9.0);
    QVERIFY(PlotMarkers::snap(page.plot.graph(0), 106.0, &x, &y));
    QCOMPARE(x, 110.0);
    QVERIFY(PlotMarkers::snap(page.plot.graph(0), -50.0, &x, &y));
    QCOMPARE(x, 0.0);
    QVERIFY(PlotMarkers::snap(page.plot.graph(0), 5000.0, &x, &y));
    QCOMPARE(x, 1000.0);
    page.plot.graph(0)->data()->clear();
    QVERIFY(!PlotMarkers::snap(page.plot.graph(0), 100.0, &x, &y));
}

void TestPlotMarkers::twoMarkersAndTheirDifference()
{
    Page page;
    page.markers()->place(98.0);
    page.markers()->place(251.0);
    QCOMPARE(page.markers()->text(), QStringLiteral("M1: Frequency 100 Hz, Power -9 dBV rms\n"
                                                    "M2: Frequency 250 Hz, Power -29 dBV rms\n"
                                                    "M2 − M1: ΔFrequency 150 Hz, ΔPower -20 dB"));
    // A marker reads the trace of the frame shown now.
    page.setTrace(-12.0, -29.0);
    QCOMPARE(page.markers()->markers().front().y, -12.0);
    // The third placement moves marker 1.
    page.markers()->place(500.0);
    QCOMPARE(page.markers()->markers().front().x, 500.0);
    QCOMPARE(page.markers()->markers().back().x, 250.0);
    page.markers()->clear();
    QVERIFY(page.markers()->markers().isEmpty());
    QVERIFY(page.markers()->text().isEmpty());
}

void TestPlotMarkers::clicksPlaceMarkersDragsDoNot()
{
    Page page;
    page.plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.plot));
    page.plot.xAxis->setRange(0, 1000);
    page.plot.replot();
    page.click(250.0, 20); // a drag pans, it places nothing
    QVERIFY(page.markers()->markers().isEmpty());
    page.click(250.0);
    QCOMPARE(page.markers()->markers().size(), 1);
    QCOMPARE(page.markers()->markers().front().x, 250.0);
}

void TestPlotMarkers::markersGoIntoCsvAndSidecar()
{
    Page page;
    page.plot.setObjectName(QStringLiteral("spectrum_wdgt"));
    page.markers()->place(100.0);
    page.markers()->place(250.0);
    const QStringList lines = PlotTools::csv(&page.plot).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("Frequency (Hz),Power (dBV rms)"));
    QCOMPARE(lines.mid(lines.size() - 4),
             (QStringList{QStringLiteral("# marker,Frequency (Hz),Power (dBV rms)"),
                          QStringLiteral("# M1,100,-9"), QStringLiteral("# M2,250,-29"),
                          QStringLiteral("# M2-M1,150,-20")}));
    const QJsonArray json = PlotMarkers::json({&page.plot});
    QCOMPARE(json.size(), 2);
    const QJsonObject second = json.at(1).toObject();
    QCOMPARE(second.value(QStringLiteral("plot")).toString(), QStringLiteral("spectrum_wdgt"));
    QCOMPARE(second.value(QStringLiteral("marker")).toInt(), 2);
    QCOMPARE(second.value(QStringLiteral("x")).toDouble(), 250.0);
    QCOMPARE(second.value(QStringLiteral("yLabel")).toString(), QStringLiteral("Power (dBV rms)"));
}

void TestPlotMarkers::peakTablePlacesAMarker()
{
    QWidget window;
    auto *plot = new QCustomPlot(&window);
    LinePlot::setUp(plot, QStringLiteral("Spectrum"), QStringLiteral("Frequency (Hz)"),
                    QString::fromLatin1(kPowerLabel));
    auto *readout = new PeakReadout(plot, PeakReadout::Page::Spectrum, &window);
    new PlotTools(plot, {});
    // 0.5 V at 2 kHz in a 1024-sample frame at 20 kHz.
    QVector<double> w(1024);
    for (int k = 0; k < w.size(); ++k)
        w[k] = 0.5 * std::cos(2 * M_PI * 0.1 * k);
    const DisplaySpectrum s = displaySpectrum(w, readout->window());
    RadarMath::FrameAxes axes;
    LinePlot::setData(plot, readout->keys(int(s.shown.size()), axes, 1024), s.shown);
    readout->show(s, axes, 1024);
    QCOMPARE(int(readout->rows().size()), 1);
    auto *table = readout->findChild<QTableWidget *>(QStringLiteral("peak_tbl"));
    emit table->cellClicked(0, 0);
    const QVector<PlotMarkers::Marker> m = PlotMarkers::of(plot)->markers();
    QCOMPARE(m.size(), 1);
    QVERIFY(std::fabs(m.front().x - 2000.0) < 20000.0 / 7168);
    QVERIFY(std::fabs(m.front().y - 20 * std::log10(0.5 / std::sqrt(2.0))) < 0.01);
}

QTEST_MAIN(TestPlotMarkers)
#include "tst_plotmarkers.moc"
