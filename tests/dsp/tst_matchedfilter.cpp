// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/ADCdataProcessing.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {

int lineCount(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return int(f.readAll().count('\n'));
}

QVector<double> randomPulse(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QVector<double> x(n);
    for (double &v : x)
        v = rng.generateDouble() * 2 - 1;
    return x;
}

const QStringList diagnosticFiles = {
    "RX.txt",           "CAL.txt",         "RX_fft.txt",        "CAL_fft.txt",
    "Z_beforeIFFT.txt", "Z_afterIFFT.txt", "Z_AfterReOrder.txt"};

} // namespace

// The filter writes its files into the working directory, so every case runs in a fresh one.
class TestMatchedFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pulseAgainstItselfPeaksAtZeroLag();
    void shortPulses();
    void diagnosticFilesHoldEveryLine();
    void rangeDopplerShapeAndSignals();
    void rangeDopplerOfNothing();

private:
    QString previousDir;
    std::unique_ptr<QTemporaryDir> workDir;
};

void TestMatchedFilter::init()
{
    previousDir = QDir::currentPath();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestMatchedFilter::cleanup()
{
    QDir::setCurrent(previousDir);
    workDir.reset();
}

void TestMatchedFilter::pulseAgainstItselfPeaksAtZeroLag()
{
    ADCdataProcessing p(QStringLiteral("none"));
    const QVector<double> pulse = randomPulse(200, 1);
    const QVector<double> out = p.mf(pulse, pulse);
    QCOMPARE(out.size(), 200);
    // The last value is always 0 dB, above the correlation of a pulse of this amplitude.
    QCOMPARE(out.last(), 0.0);
    QCOMPARE(int(std::max_element(out.begin(), out.end() - 1) - out.begin()), 0);

    // No reference: every lag sits on the -60 dB floor, the last value is 0.
    const QVector<double> silent = p.mf(pulse, {});
    QCOMPARE(silent.count(-60.0), 199);
    QCOMPARE(silent.last(), 0.0);
}

void TestMatchedFilter::shortPulses()
{
    ADCdataProcessing p(QStringLiteral("none"));
    QCOMPARE(p.mf({0.7}, {0.7}), QVector<double>{0.0});
    QVERIFY(p.mf({}, {}).isEmpty());

    // N = 2, pulse (1, 2) against itself: zero lag of the 4-point inverse of |X|^2 over the
    // positive half of the 8-point spectrum is (4 (1 + 4) + 2 * 2) / 64.
    const QVector<double> two = p.mf({1, 2}, {1, 2});
    QCOMPARE(two.size(), 2);
    const double z0 = 24.0 / 64.0;
    QVERIFY(std::abs(two[0] - 10 * std::log10(z0 * z0)) < 1e-4);
    QCOMPARE(two[1], 0.0);
}

void TestMatchedFilter::diagnosticFilesHoldEveryLine()
{
    ADCdataProcessing p(QStringLiteral("none"));
    QVector<double> pulse(16, 0.0);
    pulse[0] = 0.5;
    pulse[1] = 1e-7;
    p.mf(pulse, pulse);
    const QList<int> lines = {64, 64, 64, 64, 32, 32, 32};
    for (int i = 0; i < diagnosticFiles.size(); ++i)
        QCOMPARE(lineCount(diagnosticFiles[i]), lines[i]);
    QFile rx("RX.txt");
    QVERIFY(rx.open(QIODevice::ReadOnly));
    QCOMPARE(rx.readLine(), QByteArray("0.5,0\n"));
    QCOMPARE(rx.readLine(), QByteArray("1e-07,0\n"));
    QCOMPARE(rx.readLine(), QByteArray("0,0\n"));

    // Numbers read exactly as QTextStream writes a float, ties and extremes included.
    const QVector<double> awkward = {699802.5, -1132645, 48462.25, 1.0 / 1024, -0.0,
                                     1e-5,     123456,   999999.5, 3e38,       1e-40,
                                     -2.5e-7,  1,        0.1,      -123456.5};
    p.mf(awkward, awkward);
    QByteArray expected;
    QTextStream stream(&expected);
    for (double v : awkward)
        stream << float(v) << ',' << 0.0f << '\n';
    stream.flush();
    for (int i = int(awkward.size()); i < 4 * awkward.size(); ++i)
        expected += "0,0\n";
    QFile awkwardRx("RX.txt");
    QVERIFY(awkwardRx.open(QIODevice::ReadOnly));
    QCOMPARE(awkwardRx.readAll(), expected);

    // More than 65,535 lines are all written, not a 16-bit count of them.
    p.mf(randomPulse(16400, 2), randomPulse(16400, 3));
    QCOMPARE(lineCount("RX.txt"), 65600);
    QCOMPARE(lineCount("Z_AfterReOrder.txt"), 32800);

    // A file that cannot be written is skipped without harm.
    QFile::remove("CAL.txt");
    QVERIFY(QDir().mkdir("CAL.txt"));
    QCOMPARE(p.mf(pulse, pulse).size(), 16);
    QCOMPARE(lineCount("RX.txt"), 64);
}

void TestMatchedFilter::rangeDopplerShapeAndSignals()
{
    ADCdataProcessing p(QStringLiteral("none"));
    p.reference = randomPulse(1000, 9);
    QSignalSpy progress(&p, &ADCdataProcessing::progress);
    QSignalSpy status(&p, &ADCdataProcessing::status);
    QSignalSpy emitted(&p, &ADCdataProcessing::RD_data);
    const QList<QVector<double>> pulses = {randomPulse(1000, 4), randomPulse(1000, 5),
                                           randomPulse(900, 6), randomPulse(1000, 7)};
    const QList<QVector<double>> map = p.range_doppler(pulses);

    QCOMPARE(map.size(), 900);
    for (const QVector<double> &bin : map)
        QCOMPARE(bin.size(), 4);
    QList<int> expected = {0, 25, 50, 75};
    for (int a = 0; a < 900; ++a)
        expected.append(100 * a / 1800);
    expected.append(100);
    QList<int> seen;
    for (const QList<QVariant> &args : progress)
        seen.append(args[0].toInt());
    QCOMPARE(seen, expected);
    QCOMPARE(status.size(), 3);
    QCOMPARE(status[0][0].toString(), QStringLiteral("Computing Matched Filter..."));
    QCOMPARE(status[1][0].toString(), QStringLiteral("Performing FFT Across Range Bins..."));
    QCOMPARE(status[2][0].toString(), QStringLiteral("Range Doppler Processing Complete..."));
    QCOMPARE(emitted.size(), 1);
    QCOMPARE(emitted[0][0].value<QList<QVector<double>>>(), map);

    // Range bin a holds the centred Doppler magnitude of the four filtered pulses at a.
    QList<QVector<double>> profiles;
    for (const QVector<double> &pulse : pulses)
        profiles.append(p.mf(pulse, p.reference));
    const QVector<double> column = {profiles[0][10], profiles[1][10], profiles[2][10],
                                    profiles[3][10]};
    QCOMPARE(map[10], p.complex_mag(p.FFT_data(column)));
    QVERIFY(std::abs(map[10][2] - std::abs(column[0] + column[1] + column[2] + column[3]) / 4) <
            1e-4);
}

void TestMatchedFilter::rangeDopplerOfNothing()
{
    ADCdataProcessing p(QStringLiteral("none"));
    QSignalSpy progress(&p, &ADCdataProcessing::progress);
    QSignalSpy status(&p, &ADCdataProcessing::status);
    QSignalSpy emitted(&p, &ADCdataProcessing::RD_data);
    QVERIFY(p.range_doppler({}).isEmpty());
    QCOMPARE(status.size(), 3);
    QCOMPARE(progress.size(), 1);
    QCOMPARE(progress[0][0].toInt(), 100);
    QCOMPARE(emitted.size(), 1);
    QVERIFY(emitted[0][0].value<QList<QVector<double>>>().isEmpty());
}

QTEST_GUILESS_MAIN(TestMatchedFilter)
#include "tst_matchedfilter.moc"
