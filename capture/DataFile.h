// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/FrameMeta.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

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
// The same, counting the lines that were not numbers.
struct Parsed
{
    QVector<double> values;
    int notNumbers = 0;
};
Parsed parseCounted(const QByteArray &text);

// The frame file's contents as its sidecar describes them (values or csv).
QByteArray formatFor(const QVector<double> &data, const FrameMeta::Meta &meta);

// Writes a frame file and, given meta, its sidecar as one unit (SafeFile::writeUnit): both
// whole or neither, every write checked, the folder created when it is missing. The sidecar is
// put in place first, so whoever finds the frame finds its sidecar. On failure *error is
// "PATH: reason".
bool save(const QVector<double> &data, const QString &path, const FrameMeta::Meta *meta,
          QString *error = nullptr);

// Writes data (or bytes) to path alone, the same way.
bool write(const QVector<double> &data, const QString &path, QString *error = nullptr);
bool writeBytes(const QByteArray &bytes, const QString &path, QString *error = nullptr);

// Reads a data file into *data: a regular file of at most SafeFile::kMaxFrameBytes. False (and
// *data empty) when it cannot be read, with "PATH: reason".
bool read(const QString &path, QVector<double> *data, QString *error = nullptr);

// The file name of capture number of a collection named name: the number goes before the last
// four characters, so "data.txt" gives "data0.txt", "data1.txt", ...; with width > 0 the number
// is zero-padded to that many digits ("data0007.txt" for width 4), so that names sort in order.
QString numberedName(const QString &name, int number, int width = 0);

// Saves as save() does and says how it went, in words for the user: "Saved Data/data.txt (1024
// samples)", with a note when a file of that name was replaced, or "Could not save PATH: reason".
struct Told
{
    bool ok = false;
    QString text;
};
Told saveTold(const QVector<double> &data, const QString &path, const FrameMeta::Meta *meta);

} // namespace DataFile
