// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scene and identity options that kvvlx-sim and kvvlx-cli share.

#include "sim/VirtualKit.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

// "RANGE_M[,VELOCITY_MPS[,AMPLITUDE_V]]": range 0 m or more, amplitude above 0 V (0.5 V if left
// out), velocity 0 m/s if left out. Sets *error and returns false on anything else.
bool parseTargetOption(const QString &text, SimTarget *target, QString *error = nullptr);

// --target (repeatable; replaces the default scene), --noise, --firmware, --serial, --seed, and
// the reply forms (sim/ReplyForm.h).
void addKitOptions(QCommandLineParser &parser);
// The firmware option used to be spelled --version VALUE, which now prints the program's version.
// Returns the arguments with "--version VALUE" and "--version=VALUE" turned into --firmware and
// sets *note when it did; "--version" followed by an option, by nothing, or by one of notValues
// (the command words of a program that has them) stays as it is.
QStringList withFirmwareSpelling(QStringList arguments, const QStringList &notValues = {},
                                 QString *note = nullptr);
// Applies the options given; false with *error set when one of them does not parse.
bool applyKitOptions(const QCommandLineParser &parser, VirtualKit &kit, QString *error = nullptr);
