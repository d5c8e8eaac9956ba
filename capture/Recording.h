// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CollectionIndex.h"
#include "capture/FrameMeta.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

// Recordings: the order of a recording's frame files, loading them and playing them back. Shared
// by both tabs and the command-line tool.
namespace Recording {

// Names compared with their digit runs as numbers: data2.txt before data10.txt.
bool naturalLess(const QString &a, const QString &b);
QStringList naturallySorted(QStringList names);

// The frame files of a recording folder as paths, in order: those that the collection index
// lists when it is there, else every file whose name holds a number (sidecars and the index
// left out), in natural order. A name that leads out of the folder (a symbolic link to
// elsewhere) is left out and told in *error.
QStringList framesOf(const QString &folder, QString *error = nullptr);

// One frame file with what its sidecar says.
struct Frame
{
    QString path;
    bool readOk = false; // a regular file of bounded size with at least one number
    QString error;       // why not, "PATH: reason"
    int notNumbers = 0;  // lines read as 0 because they were not numbers
    QVector<double> samples;
    bool hasMeta = false;
    FrameMeta::Meta meta;
    QString metaError; // a sidecar that is there but cannot be used, "PATH: reason"
};
Frame load(const QString &path);
// What the user is told about a loaded frame: why it was refused, or what was made of a file
// that is not quite a frame (an invalid sidecar, lines that are not numbers); empty otherwise.
QString loadNote(const Frame &frame);
// The sidecar only (frame samples not read).
Frame loadMeta(const QString &path);

// Seconds between two frames at the recorded pace: from the collection's clock when both frames
// carry it, else from their time stamps, else fallbackS.
double paceSeconds(const Frame &from, const Frame &to, double fallbackS);

// Plays a recording frame by frame, paced by the recording's own times or as fast as the event
// loop allows; every frame goes through the event loop, so the window keeps answering.
class Player : public QObject
{
    Q_OBJECT
public:
    enum class Pace { Recorded, AsFastAsPossible };

    explicit Player(QObject *parent = nullptr);

    // A new recording; nothing is shown until play, step or seek.
    void setFiles(const QStringList &files);
    QStringList files() const { return paths; }
    int count() const { return int(paths.size()); }
    int position() const { return current; } // -1 before the first frame is shown
    bool isPlaying() const { return playing; }
    void setPace(Pace pace);
    Pace pace() const { return currentPace; }
    // Pause between frames when the recording does not say (files without sidecars).
    void setFallbackSeconds(double s) { fallbackS = s; }

public slots:
    void play();
    void pause();
    void step();
    void seek(int index);

signals:
    void frameReady(const Recording::Frame &frame, int index);
    void playingChanged(bool playing);
    void finished();

private:
    void show(int index);
    void scheduleNext();
    void advance();

    QStringList paths;
    QList<Frame> metas; // sidecars only, for the pace
    int current = -1;
    bool playing = false;
    Pace currentPace = Pace::Recorded;
    double fallbackS = 1.0;
    QTimer timer;
};

} // namespace Recording
