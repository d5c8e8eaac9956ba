// SPDX-License-Identifier: GPL-3.0-or-later
// Peak finding and CA-CFAR on synthetic spectra, and the windows of the padded spectrum.
#include "dsp/PaddedFft.h"
#include "dsp/Peaks.h"

#include <QtTest>

#include <cmath>

namespace {

// A frame of tones (cycles per sample, amplitude) and its padded spectrum.
QVector<double> tones(int n, const QVector<QPair<double, double>> &list)
{
    QVector<double> w(n, 0.0);
    for (const auto &t : list)
        for (int k = 0; k < n; ++k)
            w[k] += t.second * std::cos(2 * M_PI * t.first * k + 0.3);
    return w;
}

// A tone of amplitude A in a frame of N samples padded to 7N and scaled by 1/(7N) has the
// magnitude A N / (2 · 7N) = A / 14.
double toneLevelDb(double amplitude) { return 20 * std::log10(amplitude / 14.0); }

} // namespace

class PeaksTest : public QObject
{
    Q_OBJECT

private slots:
    void parabolaVertex()
    {
        // y = -(x - 0.3)^2 at x = -1, 0, 1.
        auto y = [](double x) { return -(x - 0.3) * (x - 0.3); };
        QVERIFY(qAbs(Peaks::parabolicOffset(y(-1), y(0), y(1)) - 0.3) < 1e-12);
        QCOMPARE(Peaks::parabolicOffset(1, 1, 1), 0.0); // flat: no bend, no shift
    }

    void tonesBetweenBinsAreFoundWithTheirLevels()
    {
        const int n = 1024;
        // Off-grid tones, one frame bin being 1/n cycles per sample.
        const double f1 = 100.37 / n, f2 = 260.81 / n, f3 = 400.5 / n;
        const QVector<double> p = paddedSpectrum(tones(n, {{f1, 0.5}, {f2, 0.25}, {f3, 0.125}}));
        const auto found = Peaks::strongest(p.constData(), int(p.size()), 3, 21);
        QCOMPARE(int(found.size()), 3);
        const double expected[3] = {f1, f2, f3};
        const double amplitude[3] = {0.5, 0.25, 0.125};
        for (int i = 0; i < 3; ++i) {
            const double frameBins = found[size_t(i)].bin / 7.0;
            QVERIFY2(qAbs(frameBins - expected[i] * n) < 0.05,
                     qPrintable(QString::number(frameBins)));
            QVERIFY2(qAbs(found[size_t(i)].levelDb - toneLevelDb(amplitude[i])) < 0.5,
                     qPrintable(QString::number(found[size_t(i)].levelDb)));
        }
    }

    void nearbyMaximaMergeAndOnlyKAreListed()
    {
        //             0    1    2    3    4    5    6    7    8    9
        double db[] = {-50, -10, -40, -12, -40, -40, -20, -40, -40, -30};
        auto found = Peaks::strongest(db, 10, 3, 3.0);
        QCOMPARE(int(found.size()), 3);
        QCOMPARE(qRound(found[0].bin), 1);
        QCOMPARE(qRound(found[1].bin), 6); // 3 lies within 3 bins of 1: part of that peak
        QCOMPARE(found[2].bin, 9.0);       // the last bin: no right neighbour to refine with
        QCOMPARE(int(Peaks::strongest(db, 10, 1, 3.0).size()), 1);

        double odd[] = {-INFINITY, NAN, -5, NAN, -INFINITY};
        found = Peaks::strongest(odd, 5, 3, 1.0);
        QCOMPARE(int(found.size()), 1);
        QCOMPARE(found[0].bin, 2.0); // no finite neighbours to refine with
        QVERIFY(Peaks::strongest(odd, 0, 3, 1.0).empty());
    }

    void cfarThresholdFollowsTheTrainingCells()
    {
        // A flat 0 dB floor: the threshold is alpha = M (Pfa^(-1/M) - 1) times the floor power,
        // with M = 2 * 8 training cells inside and 8 at either end.
        QVector<double> db(200, 0.0);
        Peaks::CfarSettings s;
        s.guardCells = 1;
        s.trainingCells = 8;
        s.falseAlarmRate = 1e-3;
        auto alphaDb = [](double m) { return 10 * std::log10(m * (std::pow(1e-3, -1 / m) - 1)); };
        Peaks::CfarResult r = Peaks::cfar(db.constData(), int(db.size()), s, 1, 3, 2);
        QVERIFY(qAbs(r.thresholdDb[100] - alphaDb(16)) < 1e-9);
        QVERIFY(qAbs(r.thresholdDb[0] - alphaDb(8)) < 1e-9);
        QVERIFY(r.detections.empty()); // nothing stands out of a flat floor

        // A target 30 dB above the floor is detected; one 5 dB above is not.
        db[50] = 30;
        db[150] = 5;
        r = Peaks::cfar(db.constData(), int(db.size()), s, 1, 3, 2);
        QCOMPARE(int(r.detections.size()), 1);
        QCOMPARE(r.detections[0].bin, 50.0);

        // Cells seven bins wide: the same threshold from seven times the bins.
        QVector<double> wide(1400, 0.0);
        r = Peaks::cfar(wide.constData(), int(wide.size()), s, 7, 3, 14);
        QVERIFY(qAbs(r.thresholdDb[700] - alphaDb(16)) < 1e-9);
    }

    void windowsKeepTheToneLevelAndLowerTheSkirts()
    {
        const int n = 1024;
        const double f = 200.3 / n;
        const QVector<double> w = tones(n, {{f, 0.5}});
        QCOMPARE(paddedSpectrum(w, SpectrumWindow::None), paddedSpectrum(w));
        const QVector<double> rect = paddedSpectrum(w);
        for (SpectrumWindow window : {SpectrumWindow::Hann, SpectrumWindow::BlackmanHarris}) {
            const QVector<double> p = paddedSpectrum(w, window);
            QCOMPARE(p.size(), rect.size());
            const auto peak = Peaks::strongest(p.constData(), int(p.size()), 1, 21).at(0);
            QVERIFY2(qAbs(peak.levelDb - toneLevelDb(0.5)) < 0.5,
                     qPrintable(QString::number(peak.levelDb)));
            QVERIFY(qAbs(peak.bin / 7.0 - 200.3) < 0.05);
            // Twenty frame bins away the rectangular skirt is near -50 dB below the tone; a
            // window takes it far lower.
            const int away = qRound((200.3 + 20) * 7);
            QVERIFY2(p[away] < rect[away] - 30,
                     qPrintable(QStringLiteral("%1 vs %2").arg(p[away]).arg(rect[away])));
        }
        // A single sample has the weight 1: nothing but its (removed) mean.
        QCOMPARE(paddedSpectrum({0.7}, SpectrumWindow::Hann).size(), 3);
    }
};

QTEST_GUILESS_MAIN(PeaksTest)
#include "tst_peaks.moc"
