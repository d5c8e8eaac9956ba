// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/FrameMeta.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Data files: one frame per plain-text file, one value per line, each written as
// QString::number(value, 'g', 6) and ended by a single line feed; no header. The USB radar tab,
// the Bluetooth tab and the command-line tool all read and write frames through these functions.
namespace DataFile {

// The file contents for a frame.
QByteArray format(const QVector<double> &data);

// The frame as comma-separated values for spreadsheets: a header "time_s,volts", then one row
// per sample, time k x samplePeriodS.
QByteArray formatCsv(const QVector<double> &data, double samplePeriodS);
// The volts column of such a file.
QVector<double> parseCsv(const QByteArray &text);

// A frame from file contents: one number per line, "\r\n" accepted, a line that is not a number
// (an empty one included) read as 0.
QVector<double> parse(const QByteArray &text);

// Writes data to path through a QSaveFile, creating the folder first when it is missing, so an
// interrupted save never leaves half a file in place of a good one. On failure returns false and
// sets *error to a reason for the user.
bool write(const QVector<double> &data, const QString &path, QString *error = nullptr);

// Writes bytes to path the same way (folder created, QSaveFile): frame files and their sidecars.
bool writeBytes(const QByteArray &bytes, const QString &path, QString *error = nullptr);

// Reads a data file into *data; false (and *data empty) when the file cannot be opened.
bool read(const QString &path, QVector<double> *data, QString *error = nullptr);

// The file name of capture number of a collection named name: the number goes before the last
// four characters, so "data.txt" gives "data0.txt", "data1.txt", ...; with width > 0 the number
// is zero-padded to that many digits ("data0007.txt" for width 4), so that names sort in order.
QString numberedName(const QString &name, int number, int width = 0);

// Saves frames and tells the user about a failure once per run (one Save Data press, or one
// whole collection), however many files of that run fail.
class Saver
{
public:
    using Notify = std::function<void(const QString &message)>;

    explicit Saver(Notify notify = {});
    void setNotify(Notify notify);

    // Starts a run: the next failure is told again.
    void beginRun();

    // Writes one file and, given meta, its sidecar after it (so a sidecar never describes a
    // frame that is not there); on failure logs it and, for the first failure of the run,
    // notifies.
    bool save(const QVector<double> &data, const QString &path,
              const FrameMeta::Meta *meta = nullptr);

    int failuresThisRun() const { return failures; }

private:
    Notify notify;
    int failures = 0;
};

} // namespace DataFile
