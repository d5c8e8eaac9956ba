// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/ADCdataProcessing.h"

#include <QDir>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <limits>
#include <memory>

namespace {

QStringList capturedLog;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    capturedLog.append(msg);
}

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

void enableDspDebug(QLoggingCategory *category)
{
    if (qstrcmp(category->categoryName(), "kvvlx.dsp") == 0)
        category->setEnabled(QtDebugMsg, true);
}

} // namespace

class TestProcessing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void metaObjectOrder();
    void fftDataLayout();
    void fftDataMatchesDirectDft();
    void complexMag();
    void decibels();
    void decibelsAccuracy();
    void normalizeVector();
    void normalizeList();
    void loadDatFile();
    void pulseAgainstItselfPeaksAtZeroLag();
    void shortPulses();
    void diagnosticFilesHoldEveryLine();
    void rangeDopplerShapeAndSignals();
    void rangeDopplerOfNothing();

private:
    QTemporaryDir dir;
    QString previousDir;
    std::unique_ptr<QTemporaryDir> workDir;
};

void TestProcessing::initTestCase()
{
    QVERIFY(dir.isValid());
    QLoggingCategory::installFilter(enableDspDebug);
}

// The matched filter writes its files into the working directory, so every case runs in a fresh
// one.
void TestProcessing::init()
{
    previousDir = QDir::currentPath();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestProcessing::cleanup()
{
    QDir::setCurrent(previousDir);
    workDir.reset();
}

void TestProcessing::metaObjectOrder()
{
    const QMetaObject &mo = ADCdataProcessing::staticMetaObject;
    struct Expected
    {
        QMetaMethod::MethodType type;
        const char *signature;
        QList<QByteArray> names;
    };
    const QList<Expected> expected = {
        {QMetaMethod::Signal, "progress(int)", {"prog"}},
        {QMetaMethod::Signal, "status(QString)", {"msg"}},
        {QMetaMethod::Signal, "RD_data(QList<QVector<double> >)", {"data"}},
        {QMetaMethod::Signal, "dwell_finished(ushort)", {"num_pulses"}}, // quint16 is ushort
        {QMetaMethod::Slot, "FFT_data(QVector<double>)", {"samples"}},
        {QMetaMethod::Slot, "complex_mag(QPair<QVector<double>,QVector<double> >)", {"data"}},
        {QMetaMethod::Slot, "dB(QVector<double>)", {"data"}},
        {QMetaMethod::Slot, "mf(QVector<double>,QVector<double>)", {"data", "ref"}},
        {QMetaMethod::Slot, "range_doppler(QList<QVector<double> >)", {"data"}},
        {QMetaMethod::Slot, "load_dat_file(QString)", {"filename"}},
        {QMetaMethod::Slot, "normalize(QVector<double>)", {"data"}},
        {QMetaMethod::Slot, "normalize(QList<QVector<double> >)", {"data"}},
    };
    QCOMPARE(mo.methodCount() - mo.methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod m = mo.method(mo.methodOffset() + i);
        QCOMPARE(m.methodType(), expected[i].type);
        QCOMPARE(m.methodSignature(), QMetaObject::normalizedSignature(expected[i].signature));
        QCOMPARE(m.parameterNames(), expected[i].names);
        QCOMPARE(m.access(), QMetaMethod::Public);
    }

    // Invocable by name, as the slot interface promises.
    ADCdataProcessing p(QStringLiteral("none"));
    QVector<double> result;
    QVERIFY(QMetaObject::invokeMethod(&p, "dB", Qt::DirectConnection,
                                      Q_RETURN_ARG(QVector<double>, result),
                                      Q_ARG(QVector<double>, QVector<double>{10.0})));
    QCOMPARE(result, QVector<double>{20.0});
}

void TestProcessing::fftDataLayout()
{
    ADCdataProcessing p(QStringLiteral("none"));
    for (int n : {8, 7}) {
        const auto s = p.FFT_data(QVector<double>(n, 1.5));
        QCOMPARE(s.first.size(), n);
        QCOMPARE(s.second.size(), n);
        for (int i = 0; i < n; ++i) {
            QVERIFY(std::abs(s.first[i] - (i == n / 2 ? 1.5 : 0.0)) < 1e-7);
            QVERIFY(std::abs(s.second[i]) < 1e-7);
        }
    }
    const auto one = p.FFT_data({0.1});
    QCOMPARE(one.first, QVector<double>{double(0.1f)}); // untransformed, in single precision
    QCOMPARE(one.second, QVector<double>{0.0});
    QVERIFY(p.FFT_data({}).first.isEmpty());
}

void TestProcessing::fftDataMatchesDirectDft()
{
    ADCdataProcessing p(QStringLiteral("none"));
    for (int n : {16, 15}) {
        QVector<ComplexSample> x = randomSignal(n, 11);
        QVector<double> samples;
        for (ComplexSample &s : x) {
            s.im = 0;
            samples.append(s.re);
        }
        const QVector<ComplexSample> X = directDft(x, 1);
        const auto s = p.FFT_data(samples);
        const int h = n / 2;
        for (int i = 0; i < n; ++i) {
            const int bin = i < h ? i + h : (i < 2 * h ? i - h : i); // swap_halves layout
            QVERIFY(std::abs(s.first[i] - X[bin].re) < 1e-6);
            QVERIFY(std::abs(s.second[i] - X[bin].im) < 1e-6);
        }
    }
}

void TestProcessing::complexMag()
{
    ADCdataProcessing p(QStringLiteral("none"));
    QCOMPARE(p.complex_mag({{3, -6}, {4, 8}}), (QVector<double>{5, 10}));
    QCOMPARE(p.complex_mag({{1, 2, 3}, {1, 2, 3, 4}}), QVector<double>{-1.0});
    QVERIFY(p.complex_mag({}).isEmpty());
}

void TestProcessing::decibels()
{
    ADCdataProcessing p(QStringLiteral("none"));
    const QVector<double> d = p.dB({0.1, 10, -10, 0, 1});
    QCOMPARE(d.size(), 5);
    QCOMPARE(d[0], -20.0);
    QCOMPARE(d[1], 20.0);
    QCOMPARE(d[2], 20.0);
    QCOMPARE(d[3], -std::numeric_limits<double>::infinity());
    QCOMPARE(d[4], 0.0);
    const QVector<double> special =
        p.dB({std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()});
    QCOMPARE(special[0], std::numeric_limits<double>::infinity());
    QVERIFY(std::isnan(special[1]));
}

void TestProcessing::decibelsAccuracy()
{
    // Against 20 log10 |x| in long double over a wide range of magnitudes and signs.
    QRandomGenerator rng(5);
    QVector<double> x;
    for (int i = 0; i < 20000; ++i)
        x.append((rng.generateDouble() - 0.5) * std::ldexp(1.0, int(rng.bounded(600)) - 300));
    for (int e = -30; e <= 30; ++e)
        x.append(std::pow(10.0, e));
    x.append({std::sqrt(2.0), std::sqrt(0.5), 1.0 + 1e-12, 1.0 - 1e-12});
    ADCdataProcessing p(QStringLiteral("none"));
    const QVector<double> d = p.dB(x);
    QCOMPARE(d.size(), x.size());
    for (int i = 0; i < x.size(); ++i) {
        const long double ref = 20.0L * std::log10(std::fabs(static_cast<long double>(x[i])));
        if (std::fabs(d[i] - ref) > 1e-13L * std::max(1.0L, std::fabs(ref)))
            QFAIL(qPrintable(QStringLiteral("dB(%1) = %2, expected %3")
                                 .arg(x[i], 0, 'g', 17)
                                 .arg(d[i], 0, 'g', 17)
                                 .arg(double(ref), 0, 'g', 17)));
    }
}

void TestProcessing::normalizeVector()
{
    ADCdataProcessing p(QStringLiteral("none"));
    QCOMPARE(p.normalize(QVector<double>{1, 4, 2}), (QVector<double>{0.25, 1, 0.5}));
    const QVector<double> negative = p.normalize(QVector<double>{-1, -2});
    QCOMPARE(negative, (QVector<double>{-std::numeric_limits<double>::infinity(),
                                        -std::numeric_limits<double>::infinity()}));
    QVERIFY(p.normalize(QVector<double>{}).isEmpty());
}

void TestProcessing::normalizeList()
{
    ADCdataProcessing p(QStringLiteral("none"));
    using Rows = QList<QVector<double>>;
    QCOMPARE(p.normalize(Rows{{1, 2}, {4, 0}}), (Rows{{0.25, 0.5}, {1, 0}}));
    QVERIFY(p.normalize(Rows{}).isEmpty());
    // Only the first L = 2 elements of a row count; a short row is scaled as far as it goes.
    QCOMPARE(p.normalize(Rows{{1, 2}, {8, 4, 100}, {2}}),
             (Rows{{0.125, 0.25}, {1, 0.5, 100}, {0.25}}));
}

void TestProcessing::loadDatFile()
{
    auto writeFile = [this](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    };
    QByteArray hundred(100, '\0');
    hundred[0] = 0x01;
    hundred[1] = 0x00;
    hundred[2] = char(0xff);
    hundred[3] = char(0xff);
    hundred[98] = 0x00;
    hundred[99] = char(0x80);
    const QString small = writeFile("small.dat", QByteArray(48, '\x01'));
    const QString big = writeFile("big.dat", QByteArray(200, '\0'));
    const QString ok = writeFile("ok.dat", hundred);
    const QString odd = writeFile("odd.dat", hundred + QByteArray(1, '\x07'));

    capturedLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    ADCdataProcessing first(QStringLiteral("none"));
    QSignalSpy status(&first, &ADCdataProcessing::status);
    const QVector<double> refused = first.load_dat_file(small);
    const QVector<double> samples = first.load_dat_file(ok);
    const QVector<double> oddSamples = first.load_dat_file(odd);
    const QVector<double> missing = first.load_dat_file(dir.filePath("none.dat"));

    ADCdataProcessing second(QStringLiteral("none"));
    const QVector<double> afterBig = second.load_dat_file(big);
    const QVector<double> shortAfterBig = second.load_dat_file(ok);
    qInstallMessageHandler(previous);

    QCOMPARE(refused, QVector<double>{-1.0});
    QCOMPARE(capturedLog.count(QStringLiteral("bad file size")), 2);
    QCOMPARE(samples.size(), 50);
    QCOMPARE(samples[0], 1.0);
    QCOMPARE(samples[1], -1.0);
    QCOMPARE(samples[49], -32768.0);
    QCOMPARE(oddSamples, samples); // the trailing byte is no sample
    QCOMPARE(missing, QVector<double>{-1.0});
    QCOMPARE(status.count(), 4);
    QCOMPARE(status[0][0].toString(), QStringLiteral("Loading Data..."));
    QCOMPARE(afterBig.size(), 100);
    QCOMPARE(shortAfterBig, QVector<double>{-1.0});
}

void TestProcessing::pulseAgainstItselfPeaksAtZeroLag()
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

void TestProcessing::shortPulses()
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

void TestProcessing::diagnosticFilesHoldEveryLine()
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

void TestProcessing::rangeDopplerShapeAndSignals()
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

void TestProcessing::rangeDopplerOfNothing()
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

QTEST_GUILESS_MAIN(TestProcessing)
#include "tst_adcdataprocessing.moc"
