// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LinePlot.h"
#include "widgets/PlotMarkers.h"

#include <QtTest>

#include <cmath>
#include <qcustomplot.h>

// A frame drawn on the trace layer alone must look exactly as the whole plot drawn afresh, also
// after the axes, their labels or the plot's size changed in between.
class LinePlotTest : public QObject
{
    Q_OBJECT

    static QVector<double> tone(int n, double cycles, double level)
    {
        QVector<double> v(n);
        for (int i = 0; i < n; ++i)
            v[i] = level + 20 * std::cos(2 * M_PI * cycles * i / n);
        return v;
    }
    static QVector<double> ramp(int n, double step)
    {
        QVector<double> v(n);
        for (int i = 0; i < n; ++i)
            v[i] = i * step;
        return v;
    }
    // What the screen shows: the widget painted from its buffers as they stand.
    static QImage shown(QCustomPlot &plot)
    {
        QCoreApplication::processEvents();
        return plot.grab().toImage();
    }
    // Whether the screen shows what the plot drawn whole, every layer afresh, would show.
    static bool asDrawnWhole(QCustomPlot &plot)
    {
        const QImage now = shown(plot);
        plot.replot(QCustomPlot::rpImmediateRefresh);
        return now == shown(plot);
    }

private slots:
    void aFrameLooksAsTheWholePlotDrawnAgain()
    {
        QCustomPlot plot;
        plot.resize(640, 400);
        LinePlot::setUp(&plot, QStringLiteral("Spectrum"), QStringLiteral("Frequency (Hz)"),
                        QStringLiteral("Power (dBV rms)"));
        new PlotMarkers(&plot); // items made after set-up mark the trace
        plot.yAxis->setRange(-120, 0);
        plot.xAxis->setRange(0, 1000);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));

        const QVector<double> keys = ramp(512, 2.0);
        LinePlot::show(&plot, keys, tone(512, 9, -60));
        QVERIFY(asDrawnWhole(plot));

        // Only the trace changes: the picture still equals a whole redraw.
        LinePlot::show(&plot, keys, tone(512, 31, -40));
        QVERIFY(asDrawnWhole(plot));

        // The axes move, a label changes, the window is resized: each is drawn, not left stale.
        plot.yAxis->setRange(-90, -10);
        LinePlot::show(&plot, keys, tone(512, 17, -50));
        QVERIFY(asDrawnWhole(plot));
        plot.xAxis->setLabel(QStringLiteral("Range (m)"));
        LinePlot::show(&plot, keys, tone(512, 5, -50));
        QVERIFY(asDrawnWhole(plot));
        plot.resize(500, 300);
        QCoreApplication::processEvents();
        LinePlot::show(&plot, keys, tone(512, 40, -30));
        QVERIFY(asDrawnWhole(plot));
    }
};

QTEST_MAIN(LinePlotTest)
#include "tst_lineplot.moc"
