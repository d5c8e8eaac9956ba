// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/FrameCapture.h"
#include "link/LinkThread.h"

#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class usbTMCabstraction;

// One kit on the command layer's link thread: every operation is one bracket
// openDevice() ... closeConnection(), queued behind the jobs submitted before it. Results come
// back on this object's thread, and only while it lives, so callers may capture themselves in
// the callbacks when they own the session.
class KitSession : public QObject
{
    Q_OBJECT
public:
    using Reply = QPair<int, QString>; // count -1: the kit did not open or did not answer
    using Pause = std::function<void(int ms)>;

    KitSession(usbTMCabstraction *inst, const QString &target, const QString &serial,
               QObject *parent = nullptr);
    ~KitSession() override;

    // The 100 ms pauses of the ramp-time tune, taken on the link thread; QThread::msleep unless
    // replaced.
    void setTunePause(Pause pause) { tunePause = std::move(pause); }
    // The ramp time the tune restores: the field's text as it is when the sequence ends.
    void setRampText(const QString &text) { state->rampText.set(text); }

    // The commands in one bracket.
    void send(const QStringList &commands);
    void query(const QString &query, std::function<void(const Reply &)> then);
    // Two queries in one bracket; the second is asked only when the first was answered.
    void queryTwo(const QString &first, const QString &second,
                  std::function<void(const Reply &, const Reply &)> then);
    // Ramp codes 1..8..1 at 100 ms, then the shown ramp time.
    void tune();
    // One frame of n samples: request, fetch, close. requested runs once the request went out,
    // progress as replies come in, done with the frame (opened false: the kit did not open).
    struct FrameCalls
    {
        std::function<void()> requested;
        std::function<void(int received, int expected)> progress;
        std::function<void(bool opened, const FrameCapture::FrameText &frame)> done;
    };
    void captureFrame(int n, FrameCalls calls);
    // done runs once every job submitted before has finished.
    void whenIdle(std::function<void()> done);

    // The kit answered under no target and its serial was not found on the bus.
    bool kitMissing() const { return state->missing.get(); }
    QString serial() const { return state->serial; }
    // Jobs submitted and not yet finished.
    int pending() const;

private:
    template <typename T> class Guarded
    {
    public:
        void set(const T &v)
        {
            QMutexLocker lock(&mutex);
            value = v;
        }
        T get() const
        {
            QMutexLocker lock(&mutex);
            return value;
        }

    private:
        mutable QMutex mutex;
        T value{};
    };
    // What the link thread reads: the kit's target changes when the kit, replugged on another
    // port, is found again by its serial number.
    struct Shared
    {
        QString serial;
        Guarded<QString> target;
        Guarded<bool> missing;
        Guarded<QString> rampText;
    };
    static bool openDevice(usbTMCabstraction &link, Shared &kit);
    void onLink(LinkThread::Work work);

    LinkThread *link = nullptr;
    LinkThread::CancelToken token;
    std::shared_ptr<Shared> state;
    Pause tunePause;
};
