// SPDX-License-Identifier: GPL-3.0-or-later
// The running histogram behind a map's colour span: its percentiles against the sorted cells.
#include "widgets/ColourSpan.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// The nearest-rank percentile of the finite values, as a sort would give it.
double sortedPercentile(std::vector<double> v, double percent)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return !std::isfinite(x); }),
            v.end());
    std::sort(v.begin(), v.end());
    return v[size_t(std::lround(percent / 100.0 * double(v.size() - 1)))];
}

ColourSpan::Histogram histogramOf(const std::vector<double> &values)
{
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    double lower = 0, upper = 0;
    ColourSpan::Histogram::rangeFor(*lo, *hi, &lower, &upper);
    ColourSpan::Histogram h;
    h.reset(lower, upper);
    for (double v : values)
        h.add(v);
    return h;
}

} // namespace

class TestColourSpan : public QObject
{
    Q_OBJECT

private slots:
    void discreteValuesGiveExactPercentiles();
    void continuousValuesWithinABin();
    void replacingValuesEqualsStartingAfresh();
    void outsideTheRangeAndNonFinite();
};

// 150 columns of 64 cells, column i holding i / 150, one of them -1: the 1st and 99.9th
// percentiles are cells of the map, to the last bit.
void TestColourSpan::discreteValuesGiveExactPercentiles()
{
    std::vector<double> cells;
    for (int i = 0; i < 150; ++i)
        cells.insert(cells.end(), 64, i == 0 ? -1.0 : i / 150.0);
    ColourSpan::Span span;
    QVERIFY(histogramOf(cells).percentiles(1.0, 99.9, &span));
    QCOMPARE(span.lower, sortedPercentile(cells, 1.0));
    QCOMPARE(span.upper, sortedPercentile(cells, 99.9));
    QCOMPARE(span.lower, 1 / 150.0);

    // One value throughout: the span is widened by 1 either side.
    QVERIFY(histogramOf(std::vector<double>(10, 0.25)).percentiles(1.0, 99.9, &span));
    QCOMPARE(span.lower, -0.75);
    QCOMPARE(span.upper, 1.25);
}

// A spectrum's levels in dB: the percentiles within one bin width of the sorted ones.
void TestColourSpan::continuousValuesWithinABin()
{
    std::vector<double> cells;
    unsigned state = 7;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        cells.push_back(-120.0 + 30.0 * double(state >> 8) / (1 << 24) + (i % 997 == 0 ? 90 : 0));
    }
    const ColourSpan::Histogram h = histogramOf(cells);
    const auto [lo, hi] = std::minmax_element(cells.begin(), cells.end());
    const double binWidth = 2 * (*hi - *lo) / ColourSpan::Histogram::kBins;
    ColourSpan::Span span;
    QVERIFY(h.percentiles(1.0, 99.9, &span));
    QVERIFY(std::abs(span.lower - sortedPercentile(cells, 1.0)) <= binWidth);
    QVERIFY(std::abs(span.upper - sortedPercentile(cells, 99.9)) <= binWidth);
}

// A map that wraps takes the old column out and puts the new one in; the span is then the one
// of the cells the map holds, and once the extremes are gone the histogram says it is coarse.
void TestColourSpan::replacingValuesEqualsStartingAfresh()
{
    std::vector<double> cells;
    for (int i = 0; i < 1000; ++i)
        cells.push_back(i == 500 ? 1e6 : i / 1000.0);
    ColourSpan::Histogram h = histogramOf(cells);
    QVERIFY(!h.coarse());
    for (int i = 0; i < 1000; ++i) {
        h.remove(cells[size_t(i)]);
        cells[size_t(i)] = 0.5 + i / 4000.0;
        QVERIFY(h.add(cells[size_t(i)]));
    }
    QCOMPARE(h.count(), size_t(1000));
    QVERIFY(h.coarse()); // everything now lies in a sliver of the range set by 1e6
    ColourSpan::Span kept, fresh;
    QVERIFY(h.percentiles(1.0, 99.9, &kept));
    QVERIFY(histogramOf(cells).percentiles(1.0, 99.9, &fresh));
    // One bin of 1e6 / 4096 holds all the values: both ends are its mean (widened by 1 either
    // side), which is why the map bins again over the values' own range.
    QVERIFY(std::abs(kept.lower - (0.5 + 0.999 / 8 - 1)) < 1e-9);
    QVERIFY(std::abs(kept.upper - (0.5 + 0.999 / 8 + 1)) < 1e-9);
    QVERIFY(std::abs(fresh.lower - sortedPercentile(cells, 1.0)) < 1e-3);
    QVERIFY(std::abs(fresh.upper - sortedPercentile(cells, 99.9)) < 1e-3);
}

void TestColourSpan::outsideTheRangeAndNonFinite()
{
    ColourSpan::Histogram h;
    ColourSpan::Span span;
    QVERIFY(!h.add(1.0)); // no range yet
    QVERIFY(!h.percentiles(1.0, 99.9, &span));
    h.reset(0.0, 10.0);
    QVERIFY(h.add(10.0)); // the upper end is inside
    QVERIFY(!h.add(10.5));
    QVERIFY(!h.add(-0.1));
    const double inf = std::numeric_limits<double>::infinity();
    QVERIFY(h.add(-inf)); // a cancelled frame's level: not counted, never out of range
    QVERIFY(h.add(std::nan("")));
    h.remove(-inf);
    QCOMPARE(h.count(), size_t(1));
    QVERIFY(h.percentiles(0.0, 100.0, &span));
    QCOMPARE(span.upper, 11.0); // one value, widened by 1
}

QTEST_APPLESS_MAIN(TestColourSpan)
#include "tst_colourspan.moc"
