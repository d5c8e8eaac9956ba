// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ADCdataProcessing.h"

#include "dsp/A_fft.h"
#include "dsp/Logging.h"
#include "dsp/BinKernels.h"
#include "dsp/VectorAlloc.h"

#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One diagnostic dump of the matched filter: "re,im" per line, replacing the file. A file that
// cannot be opened is skipped; the filter carries on.
void writeDiagnostic(const QString &name, const ComplexSample *values, int count)
{
    qCDebug(lcDsp) << name;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    // Qt's default text notation for reals (6 significant digits, as QTextStream writes them), at
    // a third of QTextStream's cost; these files are most of the filter's time.
    QByteArray text;
    text.reserve(qsizetype(count) * 24);
    for (int i = 0; i < count; ++i) {
        text += QByteArray::number(double(values[i].re), 'g', 6);
        text += ',';
        text += QByteArray::number(double(values[i].im), 'g', 6);
        text += '\n';
    }
    file.write(text);
}

// Correlates pulse with reference through M-point transforms, M = 4 n, keeping the positive half
// of the product spectrum; output k is the correlation at lag 2k in dB.
std::vector<float> matchedFilterCore(const std::vector<float> &pulse, const std::vector<float> &ref,
                                     int n, int M)
{
    qCDebug(lcDsp) << "FFTSize: " << M;
    const int half = M / 2;
    std::vector<ComplexSample> Z(size_t(half), ComplexSample{0.0f, 0.0f});
    {
        std::vector<ComplexSample> X(size_t(M), ComplexSample{0.0f, 0.0f});
        std::vector<ComplexSample> Y(size_t(M), ComplexSample{0.0f, 0.0f});
        for (int k = 0; k < n; ++k) {
            X[k].re = pulse[k];
            Y[k].re = ref[k];
        }
        writeDiagnostic(QStringLiteral("RX.txt"), X.data(), M);
        writeDiagnostic(QStringLiteral("CAL.txt"), Y.data(), M);
        A_fft_forward(X.data(), M);
        A_fft_forward(Y.data(), M);
        writeDiagnostic(QStringLiteral("RX_fft.txt"), X.data(), M);
        writeDiagnostic(QStringLiteral("CAL_fft.txt"), Y.data(), M);
        for (ComplexSample &y : Y)
            y.im = -y.im;
        for (int k = 0; k < half; ++k) {
            const float a = X[k].re, b = X[k].im, c = Y[k].re, d = Y[k].im;
            Z[k].re = a * c - b * d;
            Z[k].im = b * c + a * d;
        }
    }
    writeDiagnostic(QStringLiteral("Z_beforeIFFT.txt"), Z.data(), half);
    {
        QMutexLocker lock(&A_fft_mutex());
        A_fft_inverse(Z.data(), half);
    }
    writeDiagnostic(QStringLiteral("Z_afterIFFT.txt"), Z.data(), half);
    writeDiagnostic(QStringLiteral("Z_AfterReOrder.txt"), Z.data(), half);

    std::vector<float> output(size_t(n), 0.0f);
    if (M > 7) {
        for (int k = 0; k < n - 1; ++k) {
            double p = double(Z[k].re) * Z[k].re + double(Z[k].im) * Z[k].im;
            if (p == 0.0)
                p = 1e-6; // floor of -60 dB
            output[k] = float(10.0 * std::log10(p));
        }
    }
    return output;
}

} // namespace

ADCdataProcessing::ADCdataProcessing(const QString &name, QObject *parent) : QObject(parent)
{
    Q_UNUSED(name);
}

QPair<QVector<double>, QVector<double>> ADCdataProcessing::FFT_data(QVector<double> samples)
{
    const int n = int(samples.size());
    QPair<QVector<double>, QVector<double>> result(kvvlx::uninitializedVector(n),
                                                   kvvlx::uninitializedVector(n));
    kvvlx::kernels::centredSpectrum(samples.constData(), n, result.first.data(),
                                    result.second.data());
    return result;
}

QVector<double> ADCdataProcessing::complex_mag(QPair<QVector<double>, QVector<double>> data)
{
    if (data.first.size() != data.second.size())
        return QVector<double>{-1.0};
    QVector<double> mag = kvvlx::uninitializedVector(data.first.size());
    kvvlx::kernels::magnitude(data.first.constData(), data.second.constData(), int(mag.size()),
                              mag.data());
    return mag;
}

QVector<double> ADCdataProcessing::dB(QVector<double> data)
{
    kvvlx::kernels::decibels(data.data(), int(data.size()));
    return data;
}

QVector<double> ADCdataProcessing::mf(QVector<double> data, QVector<double> ref)
{
    const int n = int(data.size());
    const int nc = int(std::min(data.size(), ref.size()));
    qCDebug(lcDsp) << "numSamples: " << nc;

    std::vector<float> pulse(size_t(n), 0.0f), refCopy(size_t(n), 0.0f);
    for (int k = 0; k < nc; ++k) {
        pulse[k] = float(data[k]);
        refCopy[k] = float(ref[k]);
    }
    const std::vector<float> filtered = matchedFilterCore(pulse, refCopy, n, 4 * n);
    return QVector<double>(filtered.begin(), filtered.end());
}

QList<QVector<double>> ADCdataProcessing::range_doppler(QList<QVector<double>> data)
{
    emit status(QStringLiteral("Computing Matched Filter..."));
    const int n = int(data.size());
    qsizetype bins = data.isEmpty() ? 0 : data.first().size();

    QList<QVector<double>> profiles;
    profiles.reserve(n);
    for (int i = 0; i < n; ++i) {
        profiles.append(mf(data[i], reference));
        emit progress(100 * i / n);
        if (i + 1 < n && data[i + 1].size() < bins)
            bins = data[i + 1].size();
    }

    emit status(QStringLiteral("Performing FFT Across Range Bins..."));
    QList<QVector<double>> map;
    map.reserve(bins);
    QVector<double> column(n);
    for (qsizetype a = 0; a < bins; ++a) {
        for (int i = 0; i < n; ++i)
            column[i] = profiles.at(i).at(a);
        map.append(complex_mag(FFT_data(column)));
        emit progress(int(100 * a / (2 * bins)));
    }

    emit status(QStringLiteral("Range Doppler Processing Complete..."));
    emit progress(100);
    emit RD_data(map);
    return map;
}

QVector<double> ADCdataProcessing::load_dat_file(QString filename)
{
    emit status(QStringLiteral("Loading Data..."));
    QFile file(filename);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return QVector<double>{-1.0};

    const quint64 size = quint64(file.size());
    if (size > maxFileSize)
        maxFileSize = size;
    if (size < 50 || size + 50 < maxFileSize) {
        qCDebug(lcDsp) << "bad file size";
        return QVector<double>{-1.0};
    }

    // A trailing odd byte is not a sample and is dropped.
    const QByteArray bytes = file.readAll();
    const auto *raw = reinterpret_cast<const uchar *>(bytes.constData());
    QVector<double> samples(bytes.size() / 2);
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = qint16(quint16(raw[2 * i] | (raw[2 * i + 1] << 8)));
    return samples;
}

QVector<double> ADCdataProcessing::normalize(QVector<double> data)
{
    double m = 0.0;
    for (double x : std::as_const(data))
        if (x > m)
            m = x;
    for (double &x : data)
        x /= m;
    return data;
}

QList<QVector<double>> ADCdataProcessing::normalize(QList<QVector<double>> data)
{
    if (data.isEmpty())
        return data;
    // Rows are meant to share the first row's length; a shorter row is scaled as far as it goes
    // instead of being read past its end.
    const qsizetype L = data.first().size();
    double m = 0.0;
    for (const QVector<double> &row : std::as_const(data)) {
        const qsizetype len = std::min(L, row.size());
        for (qsizetype i = 0; i < len; ++i)
            if (row[i] > m)
                m = row[i];
    }
    for (QVector<double> &row : data) {
        const qsizetype len = std::min(L, row.size());
        for (qsizetype i = 0; i < len; ++i)
            row[i] /= m;
    }
    return data;
}
