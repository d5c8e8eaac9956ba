// SPDX-License-Identifier: GPL-3.0-or-later
// Thinning a column for the screen keeps what must stay visible.
#include "widgets/ScreenDecimation.h"

#include <QtTest>

#include <cmath>
#include <vector>

using ScreenDecimation::Keep;

class TestScreenDecimation : public QObject
{
    Q_OBJECT

private slots:
    void peaksNarrowerThanAPixelShow();
    void everyValueBelongsToOnePixel();
};

void TestScreenDecimation::peaksNarrowerThanAPixelShow()
{
    // A spectrum of 14336 bins at -100 dB with one bin at -3 dB, on 500 pixels.
    std::vector<double> spectrum(14336, -100.0);
    spectrum[7001] = -3.0;
    std::vector<double> out(500);
    ScreenDecimation::column(spectrum.data(), 14336, 1, out.data(), 500, Keep::Highest);
    QCOMPARE(out[size_t(7001 * 500 / 14336)], -3.0);
    QCOMPARE(out[0], -100.0);

    // A signal about zero keeps the sample farthest from zero, with its sign.
    const std::vector<double> signal = {0.1, -2.0, 1.5, 0.0, std::nan(""), 0.3};
    std::vector<double> two(2);
    ScreenDecimation::column(signal.data(), 6, 1, two.data(), 2, Keep::Extreme);
    QCOMPARE(two[0], -2.0);
    QCOMPARE(two[1], 0.3); // NaN is passed over
}

// Pixel j stands for the values j n / p ... (j + 1) n / p - 1: with n = 7 and p = 3 the values
// 0-1, 2-3 and 4-6; a stride reads every other value; a pixel of NaN only stays NaN.
void TestScreenDecimation::everyValueBelongsToOnePixel()
{
    const std::vector<double> v = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0};
    std::vector<double> out(3);
    ScreenDecimation::column(v.data(), 7, 2, out.data(), 3, Keep::Highest);
    QCOMPARE(out, (std::vector<double>{2, 4, 7}));
    const std::vector<double> gaps = {std::nan(""), std::nan(""), 1.0};
    std::vector<double> one(2);
    ScreenDecimation::column(gaps.data(), 3, 1, one.data(), 2, Keep::Highest);
    QVERIFY(std::isnan(one[0]));
    QCOMPARE(one[1], 1.0);
}

QTEST_APPLESS_MAIN(TestScreenDecimation)
#include "tst_screendecimation.moc"
