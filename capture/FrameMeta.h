// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "kit/RadarMath.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// The metadata sidecar of a frame file: the same path with ".json" appended (data3.txt gives
// data3.txt.json). It says what the numbers in the frame file are: which kit took them with which
// settings, their sample period and volts conversion, how they were processed before saving and
// when they were taken. The frame file itself keeps its headerless format.
namespace FrameMeta {

constexpr int kFormatVersion = 1;
// The value of the "format" field, so that a stray JSON file is not taken for a sidecar.
inline const char *const kFormatName = "kvvlx-frame";

// What shaped the saved vector before it was written.
enum class Averaging { None, MeanOfTen, MinusMeanOfTen };

struct Meta
{
    int formatVersion = kFormatVersion;
    QString application;        // "kvvlx" or "kvvlx-cli"
    QString applicationVersion; // the program's version
    QString kitModel;
    QString kitSerial;
    QString kitFirmware;
    QString link; // "USB" or "Bluetooth"

    // Settings as the kit last read them back; unknown ones stay unset.
    bool sweepKnown = false;
    RadarMath::Sweep sweep;
    int sweepType = -1; // 0 one way single, 1 two way single, 2 two way continuous, 3 CW
    int rfPower = -1;   // 1 on, 0 off

    int sampleCount = 0;
    double samplePeriodS = 5e-05;
    double voltsDivisor = RadarMath::kCountDivisor;
    Averaging averaging = Averaging::None;
    bool twoPulseCancellation = false; // the saved vector is the difference of two frames

    QDateTime capturedUtc;
    // How the frame file holds its values: "values" (one a line, no header) or "csv".
    QString dataFormat = QStringLiteral("values");

    // Frames of a timed collection.
    bool inCollection = false;
    int frameNumber = -1;
    double plannedIntervalS = 0.0;
    double sinceFirstFrameS = 0.0;
    int numberWidth = 0; // digits of the zero-padded file numbers, 0 for plain numbering

    // The plot markers the user had set when the frame was saved, one object each
    // ("plot", "marker", "xLabel", "x", "yLabel", "y"); written only when there are some.
    QJsonArray markers;

    RadarMath::FrameAxes axes() const;
};

// What a tab knows of its kit when a frame arrives, as its last read-backs gave it.
struct Kit
{
    QString link; // "USB" or "Bluetooth"
    QString model;
    QString serial;
    QString firmware;
    bool sweepKnown = false;
    RadarMath::FrameAxes axes;
    int sweepType = -1;
    int rfPower = -1;
};
// The sidecar of a live frame: the one place both tabs build it. An invalid time means now.
Meta live(const Kit &kit, Averaging averaging = Averaging::None, const QDateTime &utc = {});

// The application's version as the build gives it.
QString applicationVersion();
// The time stamp as the sidecar writes it: ISO 8601, UTC, milliseconds
// ("2024-05-01T12:00:00.123Z").
QString timeStamp(const QDateTime &utc);
QString sidecarPath(const QString &framePath);
QString sweepTypeName(int type);

QJsonObject toJson(const Meta &meta);
// Checks the fields a sidecar must have, their types and every number's range before it is
// converted; false with a reason naming the field otherwise.
bool fromJson(const QJsonObject &json, Meta *meta, QString *error = nullptr);

// The sidecar file's contents: the one place a sidecar is built.
QByteArray sidecarBytes(const Meta &meta);
// Writes the sidecar of framePath alone, atomically (frames with their sidecar: DataFile::save).
bool write(const Meta &meta, const QString &framePath, QString *error = nullptr);

enum class ReadResult { Ok, Missing, Invalid };
// Reads the sidecar of framePath: a regular file of bounded size and nesting, every field
// checked. Invalid comes with "PATH: reason".
ReadResult read(const QString &framePath, Meta *meta, QString *error = nullptr);

// A readable summary, one "field: value" a line (kvvlx-cli info).
QString describe(const Meta &meta);

} // namespace FrameMeta
