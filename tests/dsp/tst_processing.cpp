// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "dsp/ADCdataProcessing.h"

#include <QMetaMethod>
#include <QSignalSpy>
#include <QtTest>

#include <limits>

namespace {

QStringList capturedLog;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    capturedLog.append(msg);
}

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
    void metaObjectOrder();
    void fftDataLayout();
    void fftDataMatchesDirectDft();
    void complexMag();
    void decibels();
    void decibelsAccuracy();
    void normalizeVector();
    void normalizeList();
    void loadDatFile();

private:
    QTemporaryDir dir;
};

void TestProcessing::initTestCase()
{
    QVERIFY(dir.isValid());
    QLoggingCategory::installFilter(enableDspDebug);
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
    // dB has its own vectorised log10; it must agree with the library's to a few ulps everywhere,
    // subnormal squares and both reduction branches included.
    QRandomGenerator rng(5);
    QVector<double> x;
    for (int i = 0; i < 200000; ++i)
        x.append((rng.generateDouble() + 0.5) * std::ldexp(1.0, int(rng.bounded(1100)) - 560));
    for (int e = -30; e <= 30; ++e)
        x.append(std::pow(10.0, e));
    x.append({std::sqrt(2.0), std::sqrt(0.5), 1.0 + 1e-12, 1.0 - 1e-12, 1e-160, 2e-162});
    ADCdataProcessing p(QStringLiteral("none"));
    const QVector<double> d = p.dB(x);
    double worst = 0;
    for (int i = 0; i < x.size(); ++i) {
        const double ref = 10.0 * std::log10(x[i] * x[i]);
        const double ulp = std::max(std::abs(std::nextafter(ref, 0.0) - ref), 1e-300);
        worst = std::max(worst, std::abs(d[i] - ref) / ulp);
        if (std::abs(d[i] - ref) > 4 * ulp && std::abs(d[i] - ref) > 1e-14)
            QFAIL(qPrintable(QStringLiteral("dB(%1) = %2, expected %3")
                                 .arg(x[i], 0, 'g', 17)
                                 .arg(d[i], 0, 'g', 17)
                                 .arg(ref, 0, 'g', 17)));
    }
    qInfo("largest deviation: %.2f ulp", worst);
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

QTEST_GUILESS_MAIN(TestProcessing)
#include "tst_processing.moc"
