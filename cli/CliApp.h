// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// kvvlx-cli: the kits from the command line, on the same link as the GUI.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>

#include <memory>

class usbTMCabstraction;

enum CliExit { CliOk = 0, CliDeviceError = 1, CliUsageError = 2 };

// What a subcommand works with: the streams and the command layer of this run.
class CliSession
{
public:
    CliSession(QTextStream &out, QTextStream &err);
    ~CliSession();

    QTextStream &out;
    QTextStream &err;

    usbTMCabstraction &usb();
    // The kits found, as targets; false (with a message) when listing failed.
    bool listKits(QStringList &targets);
    // The first kit, or the one whose target or serial is wanted; false with a message if none.
    bool pickKit(const QString &wanted, QString &target);

    // Writes a frame in the data-file format to file, or to standard output when file is empty
    // or "-"; the exit status.
    int writeFrame(const QVector<double> &frame, const QString &file);

    int usageError(const QString &message);
    int deviceError(const QString &message);

private:
    std::unique_ptr<usbTMCabstraction> commandLayer;
};

struct CliCommand
{
    QString name;
    QString synopsis; // the arguments after the name
    QString summary;
    int (*run)(CliSession &session, const QStringList &arguments);
};

// The subcommands in the order the help lists them.
const QList<CliCommand> &cliCommands();

// Runs one command line (without the program name); returns the exit status.
int runCli(const QStringList &commandLine, QTextStream &out, QTextStream &err);
