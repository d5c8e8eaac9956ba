// SPDX-License-Identifier: GPL-3.0-or-later
// The batch decibels against 10 log10 of each power, over the whole range of doubles and at the
// values it must hand to the plain formula.
#include "dsp/PaddedFft.h"
#include "dsp/PowerDbBatch.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

class TestPowerDbBatch : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithLog10AcrossTheRange();
    void zeroSubnormalInfiniteAndNaN();
};

// Every slice of the mantissa table, both ends of every slice, and exponents from the smallest
// normal power to the largest, in a count that is no multiple of four.
void TestPowerDbBatch::agreesWithLog10AcrossTheRange()
{
    std::vector<double> powers;
    for (int e = -1022; e <= 1023; e += 7)
        for (int slice = 0; slice < 256; slice += 3)
            for (double within : {0.0, 0.5, 0.999999})
                powers.push_back(std::ldexp(1.0 + (slice + within) / 256.0, e));
    powers.push_back(1.0);
    powers.push_back(std::numeric_limits<double>::min());
    powers.push_back(std::numeric_limits<double>::max());
    std::vector<double> levels = powers;
    powerDbInPlace(levels.data(), int(levels.size()));
    for (size_t i = 0; i < powers.size(); ++i) {
        const long double expected = 10.0L * std::log10(static_cast<long double>(powers[i]));
        if (std::abs(double(levels[i] - expected)) > 1e-12)
            QFAIL(qPrintable(QStringLiteral("%1: %2 dB, expected %3 dB")
                                 .arg(powers[i])
                                 .arg(levels[i], 0, 'g', 17)
                                 .arg(double(expected), 0, 'g', 17)));
    }
    QCOMPARE(levels[powers.size() - 3], 0.0);
}

void TestPowerDbBatch::zeroSubnormalInfiniteAndNaN()
{
    const double inf = std::numeric_limits<double>::infinity();
    const double tiny = std::numeric_limits<double>::denorm_min();
    std::vector<double> p = {0.0, tiny, inf, std::nan(""), 100.0, 0.0, 1e-20};
    powerDbInPlace(p.data(), int(p.size()));
    QCOMPARE(p[0], -inf); // a cancelled frame reads minus infinity, not a number
    QCOMPARE(p[1], powerDb(tiny));
    QCOMPARE(p[2], inf);
    QVERIFY(std::isnan(p[3]));
    QVERIFY(std::abs(p[4] - 20.0) < 1e-12);
    QCOMPARE(p[5], -inf);
    QVERIFY(std::abs(p[6] + 200.0) < 1e-12);
}

QTEST_APPLESS_MAIN(TestPowerDbBatch)
#include "tst_powerdbbatch.moc"
