// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The text of the remote-control port: SCPI-style lines ("SWEEP:FREQSTAR 24.1", "*IDN?"), several
// commands on a line separated by ";", headers case-insensitive in their short or long form, and
// the instrument's error queue. No sockets and no widgets here.
namespace Scpi {

// The standard error numbers the port reports.
enum Error {
    NoError = 0,
    CommandError = -100,
    SyntaxError = -102,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    ExecutionError = -200,
    DataOutOfRange = -222,
    IllegalParameterValue = -224,
    DataStale = -230,
    HardwareError = -240,
    HardwareMissing = -241,
    MassStorageError = -250,
    FileNameError = -257,
    QueueOverflow = -350,
    InputBufferOverrun = -363,
};
QString errorText(int code);

struct Command
{
    QString header; // canonical short form: "SWEEP:FREQSTAR", "*IDN", "SYST:ERR"
    bool query = false;
    QStringList arguments; // trimmed; quoted strings keep their quotes
};

// The commands of one line in order. A command that cannot be understood stops the line: its
// error is set and the commands before it are returned.
QList<Command> parseLine(const QByteArray &line, int *error, QString *detail = nullptr);

// The instrument's error queue: oldest first, at most kCapacity entries, the last replaced by
// -350 "Queue overflow" when more arrive.
class ErrorQueue
{
public:
    static constexpr int kCapacity = 20;
    void push(int code, const QString &detail = QString());
    // The oldest entry as SYST:ERR? answers it: -113,"Undefined header;FOO"; 0,"No error".
    QString next();
    void clear() { entries.clear(); }
    int size() const { return int(entries.size()); }

private:
    QStringList entries;
};

// A number argument ("24.1", "1e-3"); false when the text is not one.
bool toNumber(const QString &argument, double *value);
// A boolean argument: 1, 0, ON, OFF.
bool toBool(const QString &argument, bool *value);
// A string argument without its quotes ("path" or 'path'); unquoted text is taken as it is.
QString unquoted(const QString &argument);

// An IEEE 488.2 definite-length block: "#", the digit count of the length, the length, the bytes.
QByteArray definiteBlock(const QByteArray &payload);
// A number as a reply: 6 significant digits; NaN as SCPI's 9.91E37.
QByteArray number(double value);

} // namespace Scpi
