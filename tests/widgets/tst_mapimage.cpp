// SPDX-License-Identifier: GPL-3.0-or-later
// A map that adds columns draws what a full redraw of the same cells draws.
#include "widgets/MapImage.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int kKeys = 150;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

QCPColorGradient jet()
{
    QCPColorGradient g(QCPColorGradient::gpJet);
    g.setNanHandling(QCPColorGradient::nhTransparent);
    return g;
}

// A spectrum-like column: a floor that differs from column to column and a one-row peak that
// moves, so that a wrong column, row or thinning shows.
std::vector<double> columnFor(int frame, int rows)
{
    std::vector<double> c(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        c[size_t(r)] = -80.0 + 20.0 * std::sin(0.01 * r * (1 + frame % 7)) + 0.05 * frame;
    c[size_t((frame * 37) % rows)] = -5.0;
    return c;
}

// Whether two pictures differ nowhere by more than one step of a colour channel.
bool sameToAStep(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return false;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            if (qAbs(qRed(p) - qRed(q)) > 1 || qAbs(qGreen(p) - qGreen(q)) > 1 ||
                qAbs(qBlue(p) - qBlue(q)) > 1) {
                qWarning("pixel (%d, %d): %08x against %08x", col, row, p, q);
                return false;
            }
        }
    return true;
}

struct Plot
{
    explicit Plot(int rows)
    {
        plot.resize(600, 400);
        map = new MapImage(plot.xAxis, plot.yAxis, ScreenDecimation::Keep::Highest);
        map->setGradient(jet());
        map->layOut(kKeys, rows);
        map->data()->setRange(QCPRange(0, kKeys - 1), QCPRange(0, rows));
        map->setDataRange(QCPRange(-100, 0));
        plot.rescaleAxes();
        plot.show(); // resized before any frame, as on screen
        QCoreApplication::processEvents();
        plot.replot(); // lays the axis rectangle out
    }
    QCustomPlot plot;
    MapImage *map;
};

} // namespace

class TestMapImage : public QObject
{
    Q_OBJECT

private slots:
    void incrementalEqualsFullRedraw_data();
    void incrementalEqualsFullRedraw();
};

void TestMapImage::incrementalEqualsFullRedraw_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("more rows than pixels") << 2000;
    QTest::newRow("fewer rows than pixels") << 120;
}

void TestMapImage::incrementalEqualsFullRedraw()
{
    QFETCH(int, rows);
    Plot shown(rows);
    std::vector<std::vector<double>> cells(kKeys, std::vector<double>(size_t(rows), kNaN));
    // 220 frames: the map wraps, the colour span changes once on the way, and the picture is
    // brought up to date every few frames, as the paints between frames do.
    for (int frame = 0; frame < 220; ++frame) {
        const std::vector<double> c = columnFor(frame, rows);
        shown.map->setColumn(frame % kKeys, c.data(), rows);
        cells[size_t(frame % kKeys)] = c;
        if (frame == 160)
            shown.map->setDataRange(QCPRange(-90, -10));
        if (frame % 3 == 0)
            shown.map->picture();
        if (frame % 5 == 0)
            shown.plot.replot(); // on screen: only the strips of the new columns are drawn
    }
    shown.plot.replot();
    const QImage incremental = shown.map->picture();

    // A map given the same cells at once draws the same picture, and the same plot.
    Plot fresh(rows);
    fresh.map->setDataRange(QCPRange(-90, -10));
    for (int k = 0; k < kKeys; ++k)
        fresh.map->setColumn(k, cells[size_t(k)].data(), rows);
    QCOMPARE(fresh.map->picture(), incremental);
    // No more rows than the value axis spans in pixels, and the picture worked out by hand: each
    // screen row shows the highest of its cells in the gradient's colour (NaN transparent).
    const int height = incremental.height();
    QCOMPARE(incremental.width(), kKeys);
    const double span = std::abs(shown.plot.yAxis->coordToPixel(rows) -
                                 shown.plot.yAxis->coordToPixel(0));
    QVERIFY(height <= int(std::ceil(span)) + 1);
    QCOMPARE(height, qMin(rows, int(std::ceil(span)) + 1));
    QCPColorGradient gradient = jet();
    const QCPRange colours(-90, -10);
    for (int k = 0; k < kKeys; ++k)
        for (int j = 0; j < height; ++j) {
            double highest = kNaN;
            for (long long r = (long long)j * rows / height; r < (long long)(j + 1) * rows / height;
                 ++r)
                if (std::isnan(highest) || cells[size_t(k)][size_t(r)] > highest)
                    highest = cells[size_t(k)][size_t(r)];
            const QRgb want = std::isnan(highest) ? qRgba(0, 0, 0, 0)
                                                  : gradient.color(highest, colours);
            const QRgb got = incremental.pixel(k, height - 1 - j);
            const bool near = qAlpha(got) == qAlpha(want) &&
                              qAbs(qRed(got) - qRed(want)) <= 8 &&
                              qAbs(qGreen(got) - qGreen(want)) <= 8 &&
                              qAbs(qBlue(got) - qBlue(want)) <= 8;
            if (!near)
                QFAIL(qPrintable(QStringLiteral("column %1, screen row %2: %3, expected %4")
                                     .arg(k)
                                     .arg(j)
                                     .arg(got, 8, 16)
                                     .arg(want, 8, 16)));
        }

    QCOMPARE(shown.plot.toPixmap().toImage(), fresh.plot.toPixmap().toImage());
    // On screen, the picture kept and redrawn in strips is the one drawn whole, and the one an
    // export draws, to a step of a colour channel: the scaling steps along each row from where
    // the strip starts. (In the axis rectangle: an export draws tick labels as text, the screen
    // from a cache.)
    fresh.plot.replot();
    const QRect inside = shown.plot.axisRect()->rect();
    const QImage screen = shown.plot.grab().toImage().copy(inside);
    QVERIFY(sameToAStep(screen, fresh.plot.grab().toImage().copy(inside)));
    QVERIFY(sameToAStep(screen, shown.plot.toPixmap().toImage().copy(inside)));

    // With no more rows than pixels nothing is thinned: the plot is the one a plain colour map
    // of the same cells draws, redrawing all of them.
    if (rows < 300) {
        QCustomPlot plain;
        plain.resize(600, 400);
        auto *map = new QCPColorMap(plain.xAxis, plain.yAxis);
        map->setGradient(jet());
        map->data()->setSize(kKeys, rows);
        map->data()->setRange(QCPRange(0, kKeys - 1), QCPRange(0, rows));
        for (int k = 0; k < kKeys; ++k)
            for (int r = 0; r < rows; ++r)
                map->data()->setCell(k, r, cells[size_t(k)][size_t(r)]);
        map->setDataRange(QCPRange(-90, -10));
        plain.rescaleAxes();
        plain.replot();
        QCOMPARE(shown.plot.toPixmap().toImage(), plain.toPixmap().toImage());
    }
}

QTEST_MAIN(TestMapImage)
#include "tst_mapimage.moc"
