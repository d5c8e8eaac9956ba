// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/FrameMeta.h"
#include "capture/Recording.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// Recordings in the Signal Metadata Format (SigMF 1.2): BASE.sigmf-data holds the samples,
// BASE.sigmf-meta says what they are. We write real float32 little-endian volts, one capture
// segment per frame, peaks as annotations, and what SigMF has no field for (the sweep, the link,
// the volts conversion, gaps) under our extension "kvvlx". We read our own recordings and any
// real single-channel recording of another sample type.
namespace Sigmf {

inline const char *const kSpecVersion = "1.2.5";
inline const char *const kExtensionName = "kvvlx";
inline const char *const kExtensionVersion = "1.0.0";
inline const char *const kMetaSuffix = ".sigmf-meta";
inline const char *const kDataSuffix = ".sigmf-data";

struct Segment
{
    qint64 sampleStart = 0; // index in the data file
    qint64 globalIndex = 0; // collection frame number x N: a jump is a gap
    QDateTime datetime;     // when the frame was requested; invalid when unknown
    int frame = -1;         // collection frame number, -1 for a single frame
    double sinceFirstFrameS = 0.0;
};

struct Annotation
{
    qint64 sampleStart = 0;
    qint64 sampleCount = 0;
    double beatHz = 0.0;
    double halfWidthHz = 0.0; // half the frame's bin spacing: the edges SigMF viewers draw
    double rangeM = 0.0;      // NaN when the sweep is unknown
    double levelDb = 0.0;
    // A plot marker the user had set instead of a peak ("plot", "marker", "xLabel", "x",
    // "yLabel", "y", as in the sidecar); empty for a peak.
    QJsonObject marker;
};

struct Dataset
{
    FrameMeta::Meta meta;    // kit, sweep, sample period, processing; sampleCount is per frame
    QVector<double> samples; // the frames one after another
    QList<Segment> captures; // one per frame, in order
    QList<int> gaps;         // collection frames that were not taken
    QList<Annotation> annotations;
    // As read (or to be written): the sample type, whether the recording carries our extension,
    // and the free texts of its global object.
    QString datatype = QStringLiteral("rf32_le");
    bool ours = true;
    bool sampleRateKnown = true;
    QString recorder, hw, description;

    int frameCount() const { return int(captures.size()); }
    // The samples of frame k: from its segment's start to the next one's (or the end).
    QVector<double> frame(int k) const;
};

// "x.sigmf-meta", "x.sigmf-data" and "x.sigmf" all name the recording x.
QString basePath(const QString &path);
QString metaPath(const QString &path);
QString dataPath(const QString &path);
bool isSigmf(const QString &path);

// Appends one frame (a segment and its peaks) or one missing collection frame.
void addFrame(Dataset &ds, const QVector<double> &frame, const FrameMeta::Meta &meta);
void addGap(Dataset &ds, int frameNumber);

QJsonObject toJson(const Dataset &ds);
// The samples as rf32_le.
QByteArray dataBytes(const QVector<double> &samples);
// Writes BASE.sigmf-data, then BASE.sigmf-meta, each atomically.
bool write(const Dataset &ds, const QString &base, QString *error = nullptr);
// One frame as its own recording.
bool writeFrame(const QVector<double> &frame, const FrameMeta::Meta &meta, const QString &base,
                QString *error = nullptr);

// Reads a recording named by either of its files or its base. A recording we cannot show
// (complex samples, several channels, no samples) is refused with the reason.
bool read(const QString &path, Dataset *ds, QString *error = nullptr);

// A recording made from a frame file or a recording folder (the collection index's order and gaps,
// else the numbered files), with what their sidecars say.
bool fromRecording(const QString &source, Dataset *ds, QString *error = nullptr);

// Frames of a recording as paths the replay and Load Data open one by one:
// "BASE.sigmf-meta#k". expandFrames leaves other paths as they are.
QStringList expandFrames(const QStringList &paths, QString *error = nullptr);
bool isFrameRef(const QString &path);
Recording::Frame loadFrame(const QString &ref, bool withSamples = true);

// A readable summary, one "field: value" a line (kvvlx-cli info).
QString describe(const Dataset &ds);

} // namespace Sigmf
