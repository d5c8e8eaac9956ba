// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ADCdataProcessing.h"

#include "dsp/A_fft.h"
#include "dsp/PaddedFft.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcDsp, "kvvlx.dsp", QtInfoMsg)

// One diagnostic dump of the matched filter, "re,im" per line; a file that cannot be opened is
// skipped and the filter carries on.
void writeDiagnostic(const char *name, const std::vector<ComplexSample> &values)
{
    qCDebug(lcDsp) << name;
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream out(&file);
    for (const ComplexSample &v : values)
        out << v.re << ',' << v.im << '\n';
}

} // namespace

ADCdataProcessing::ADCdataProcessing(const QString &, QObject *parent) : QObject(parent) {}

QPair<QVector<double>, QVector<double>> ADCdataProcessing::FFT_data(QVector<double> samples)
{
    // Straight into the engine's buffer and back, rounded to single precision as a ComplexSample
    // would hold the values; sizes the engine does not transform come back as they are.
    const int n = int(samples.size()), h = n / 2;
    const double *x = samples.constData();
    fftw_complex *in = kvvlx::fft::buffer(0), *out = kvvlx::fft::buffer(1);
    const bool transformed = n >= 2 && n <= A_fft_max_size;
    for (int k = 0; transformed && k < n; ++k) {
        in[k][0] = float(x[k]);
        in[k][1] = 0.0;
    }
    if (transformed)
        kvvlx::fft::execute(n, 1);
    QVector<double> re(n), im(n);
    double *reAt = re.data(), *imAt = im.data();
    const double r = 1.0 / n;
    auto put = [&](int k) {
        *reAt++ = float(transformed ? out[k][0] * r : x[k]);
        *imAt++ = transformed ? float(out[k][1] * r) : 0.0;
    };
    // In the order swap_halves leaves the bins: h ... 2h-1, 0 ... h-1, an odd last one.
    for (int k = h; k < 2 * h; ++k)
        put(k);
    for (int k = 0; k < h; ++k)
        put(k);
    if (n % 2)
        put(n - 1);
    return {re, im};
}

QVector<double> ADCdataProcessing::complex_mag(QPair<QVector<double>, QVector<double>> data)
{
    if (data.first.size() != data.second.size())
        return QVector<double>{-1.0};
    const double *re = data.first.constData(), *im = data.second.constData();
    QVector<double> mag(data.first.size());
    for (qsizetype i = 0; i < mag.size(); ++i)
        mag[i] = std::sqrt(re[i] * re[i] + im[i] * im[i]);
    return mag;
}

QVector<double> ADCdataProcessing::dB(QVector<double> data)
{
    for (double &x : data)
        x = powerDb(x * x);
    return data;
}

// Correlates the pulse with the reference through M = 4 N point transforms, keeping the positive
// half of the product spectrum: output k is the correlation at lag 2k in dB.
QVector<double> ADCdataProcessing::mf(QVector<double> data, QVector<double> ref)
{
    const int n = int(data.size()), nc = int(std::min(data.size(), ref.size())), M = 4 * n;
    qCDebug(lcDsp) << "numSamples: " << nc;
    qCDebug(lcDsp) << "FFTSize: " << M;
    std::vector<ComplexSample> X(size_t(M), {0.0f, 0.0f}), Y = X, Z(size_t(M / 2));
    for (int k = 0; k < nc; ++k) {
        X[k].re = float(data[k]);
        Y[k].re = float(ref[k]);
    }
    writeDiagnostic("RX.txt", X);
    writeDiagnostic("CAL.txt", Y);
    A_fft_forward(X.data(), M);
    A_fft_forward(Y.data(), M);
    writeDiagnostic("RX_fft.txt", X);
    writeDiagnostic("CAL_fft.txt", Y);
    for (int k = 0; k < M / 2; ++k) { // X times the conjugate of Y
        const float a = X[k].re, b = X[k].im, c = Y[k].re, d = -Y[k].im;
        Z[k] = {a * c - b * d, b * c + a * d};
    }
    writeDiagnostic("Z_beforeIFFT.txt", Z);
    {
        QMutexLocker lock(&A_fft_mutex());
        A_fft_inverse(Z.data(), M / 2);
    }
    writeDiagnostic("Z_afterIFFT.txt", Z);
    writeDiagnostic("Z_AfterReOrder.txt", Z);
    QVector<double> output(n, 0.0);
    for (int k = 0; k < n - 1; ++k) {
        const double p = double(Z[k].re) * Z[k].re + double(Z[k].im) * Z[k].im;
        output[k] = float(powerDb(p == 0.0 ? 1e-6 : p)); // floor of -60 dB
    }
    return output;
}

QList<QVector<double>> ADCdataProcessing::range_doppler(QList<QVector<double>> data)
{
    emit status(QStringLiteral("Computing Matched Filter..."));
    const int n = int(data.size());
    qsizetype bins = data.isEmpty() ? 0 : data.first().size();
    QList<QVector<double>> profiles, map;
    for (int i = 0; i < n; ++i) {
        profiles.append(mf(data[i], reference));
        bins = std::min(bins, data[i].size()); // the shortest pulse
        emit progress(100 * i / n);
    }
    emit status(QStringLiteral("Performing FFT Across Range Bins..."));
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
    if (!file.open(QIODevice::ReadOnly))
        return QVector<double>{-1.0};
    const quint64 size = quint64(file.size());
    maxFileSize = std::max(maxFileSize, size);
    if (size < 50 || size + 50 < maxFileSize) {
        qCDebug(lcDsp) << "bad file size";
        return QVector<double>{-1.0};
    }
    const QByteArray bytes = file.readAll();
    const auto *raw = reinterpret_cast<const uchar *>(bytes.constData());
    QVector<double> samples(bytes.size() / 2); // a trailing odd byte is no sample
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = qint16(quint16(raw[2 * i] | raw[2 * i + 1] << 8));
    return samples;
}

QVector<double> ADCdataProcessing::normalize(QVector<double> data)
{
    double m = 0.0;
    for (double x : std::as_const(data))
        m = std::max(m, x);
    for (double &x : data)
        x /= m;
    return data;
}

QList<QVector<double>> ADCdataProcessing::normalize(QList<QVector<double>> data)
{
    // Rows are meant to share the first row's length L; a shorter one is scaled as far as it goes
    // instead of being read past its end.
    const qsizetype L = data.isEmpty() ? 0 : data.first().size();
    double m = 0.0;
    for (const QVector<double> &row : std::as_const(data))
        for (qsizetype i = 0; i < std::min(L, row.size()); ++i)
            m = std::max(m, row[i]);
    for (QVector<double> &row : data)
        for (qsizetype i = 0; i < std::min(L, row.size()); ++i)
            row[i] /= m;
    return data;
}
