// SPDX-License-Identifier: GPL-3.0-or-later
// Sample counts typed by the user: 1 to 4096 taken, larger ones cut to 4096, the rest refused.
#include "capture/SampleCount.h"

#include <QtTest>

class SampleCountTest : public QObject
{
    Q_OBJECT

private slots:
    void check_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("clamped");
        QTest::newRow("1") << "1" << true << 1 << false;
        QTest::newRow("4096") << "4096" << true << 4096 << false;
        QTest::newRow("4097") << "4097" << true << 4096 << true;
        QTest::newRow("spaces") << " 1024 " << true << 1024 << false;
        QTest::newRow("beyond 64 bits") << "99999999999999999999999" << true << 4096 << true;
        QTest::newRow("0") << "0" << false << 0 << false;
        QTest::newRow("-3") << "-3" << false << 0 << false;
        QTest::newRow("12.5") << "12.5" << false << 0 << false;
        QTest::newRow("abc") << "abc" << false << 0 << false;
        QTest::newRow("empty") << "" << false << 0 << false;
        QTest::newRow("sign alone") << "+" << false << 0 << false;
        QTest::newRow("hex") << "0x400" << false << 0 << false;
    }
    void check()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(int, n);
        QFETCH(bool, clamped);
        const SampleCount::Checked c = SampleCount::check(typed);
        QCOMPARE(c.ok, ok);
        QCOMPARE(c.clamped, clamped);
        if (ok)
            QCOMPARE(c.n, n);
    }
};

QTEST_GUILESS_MAIN(SampleCountTest)
#include "tst_samplecount.moc"
