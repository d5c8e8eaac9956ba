// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

// Signal processing on sample vectors: spectra, magnitudes, decibels, normalisation, raw sample
// files, and the matched filter with its range-Doppler map. The slots can be called directly or by
// name through the meta-object; the order of the signals and slots below is part of that interface.
// Not re-entrant (all spectra share the FFT engine's buffers).
class ADCdataProcessing : public QObject
{
    Q_OBJECT

public:
    explicit ADCdataProcessing(const QString &name, QObject *parent = nullptr); // name unused

    QVector<double> reference; // range_doppler's reference waveform; nothing fills it

signals:
    void progress(int prog);
    void status(QString msg);
    void RD_data(QList<QVector<double>> data);
    void dwell_finished(quint16 num_pulses);

public slots:
    // Forward FFT scaled by 1/N, zero frequency at index N/2: first the real, second the imaginary
    // parts. N outside 2 ... 524288 returns the samples themselves in that layout.
    QPair<QVector<double>, QVector<double>> FFT_data(QVector<double> samples);
    // sqrt(re^2 + im^2); vectors of unequal length give the single value -1.0.
    QVector<double> complex_mag(QPair<QVector<double>, QVector<double>> data);
    // 10 log10(x^2) for every element; 0 gives minus infinity.
    QVector<double> dB(QVector<double> data);
    // Matched filter of one pulse against ref (4N-point transforms), N values in dB; writes the
    // seven diagnostic files into the working directory.
    QVector<double> mf(QVector<double> data, QVector<double> ref);
    // mf of every pulse against reference, then for every range bin up to the shortest pulse the
    // centred Doppler magnitude across the pulses.
    QList<QVector<double>> range_doppler(QList<QVector<double>> data);
    // Headerless signed 16-bit little-endian samples as raw counts; -1.0 alone on failure.
    QVector<double> load_dat_file(QString filename);
    // Divides by the largest element (or by 0 when none is positive).
    QVector<double> normalize(QVector<double> data);
    // The same over the first L elements of every row, L being the first row's length.
    QList<QVector<double>> normalize(QList<QVector<double>> data);

private:
    // The largest file load_dat_file has opened, in bytes; files 50 bytes shorter are refused.
    quint64 maxFileSize = 0;
};
