// SPDX-License-Identifier: GPL-3.0-or-later
#include "radar/KitSession.h"

#include "kit/KitCommands.h"
#include "link/usbTMCabstraction.h"
#include "widgets/Logging.h"

#include <QElapsedTimer>
#include <QThread>

KitSession::KitSession(usbTMCabstraction *inst, const QString &target, const QString &serial,
                       QObject *parent)
    : QObject(parent), link(LinkThread::of(inst)), token(LinkThread::newToken()),
      state(std::make_shared<Shared>())
{
    state->serial = serial;
    state->target.set(target);
}

KitSession::~KitSession()
{
    token->store(true); // a frame in flight ends at its next reply; its result is dropped
}

int KitSession::pending() const { return link ? link->pending() : 0; }

bool KitSession::openDevice(usbTMCabstraction &link, Shared &kit)
{
    const int opened = link.openConnection(kit.target.get());
    if (opened >= 0)
        return true;
    if (opened != -2)
        return false; // busy or no link: the kit may well still be where it was
    // Replugged on another port, the kit answers under another target: find it by its serial.
    const QString found = FrameCapture::findKitBySerial(link, kit.serial);
    if (found.isEmpty()) {
        kit.missing.set(true);
        return false;
    }
    kit.target.set(found);
    kit.missing.set(false);
    return link.openConnection(found) >= 0;
}

void KitSession::onLink(LinkThread::Work work)
{
    if (link)
        link->submit(this, token, std::move(work));
}

void KitSession::send(const QStringList &commands)
{
    const std::shared_ptr<Shared> kit = state;
    onLink([kit, commands](LinkThread::Job &job) -> LinkThread::Done {
        if (openDevice(job.inst, *kit)) {
            for (const QString &c : commands)
                job.inst.sendVISACommand(c);
            job.inst.closeConnection();
        }
        return {};
    });
}

void KitSession::query(const QString &query, std::function<void(const Reply &)> then)
{
    const std::shared_ptr<Shared> kit = state;
    onLink([kit, query, then](LinkThread::Job &job) -> LinkThread::Done {
        Reply reply(-1, QString());
        if (openDevice(job.inst, *kit)) {
            job.inst.sendVISACommand(query);
            reply = job.inst.readVISAResponseString();
            job.inst.closeConnection();
        }
        return [then, reply] { then(reply); };
    });
}

void KitSession::queryTwo(const QString &first, const QString &second,
                          std::function<void(const Reply &, const Reply &)> then)
{
    const std::shared_ptr<Shared> kit = state;
    onLink([kit, first, second, then](LinkThread::Job &job) -> LinkThread::Done {
        Reply a(-1, QString());
        Reply b(-1, QString());
        if (openDevice(job.inst, *kit)) {
            job.inst.sendVISACommand(first);
            a = job.inst.readVISAResponseString();
            if (a.first >= 0) {
                job.inst.sendVISACommand(second);
                b = job.inst.readVISAResponseString();
            }
            job.inst.closeConnection();
        }
        return [then, a, b] { then(a, b); };
    });
}

void KitSession::tune()
{
    const std::shared_ptr<Shared> kit = state;
    const Pause pause = tunePause;
    onLink([kit, pause](LinkThread::Job &job) -> LinkThread::Done {
        if (!openDevice(job.inst, *kit))
            return {};
        QList<int> codes;
        for (int c = 1; c <= 8; ++c)
            codes << c;
        for (int c = 8; c >= 1; --c)
            codes << c;
        for (int i = 0; i < codes.size(); ++i) {
            job.inst.sendVISACommand(
                QString::fromStdString(KitCommands::setRampTime(std::to_string(codes.at(i)))));
            if (i + 1 < codes.size()) {
                if (pause)
                    pause(100);
                else
                    QThread::msleep(100);
            }
        }
        // What the field shows when the sequence ends, 1.5 s after it began.
        const QString shown = kit->rampText.get();
        qCDebug(lcRadar) << shown;
        job.inst.sendVISACommand(QString::fromStdString(KitCommands::setRampTime(shown.toStdString())));
        job.inst.closeConnection();
        return {};
    });
}

void KitSession::captureFrame(int n, FrameCalls calls)
{
    const std::shared_ptr<Shared> kit = state;
    onLink([kit, n, calls](LinkThread::Job &job) -> LinkThread::Done {
        if (!openDevice(job.inst, *kit))
            return [calls] { calls.done(false, {}); };
        FrameCapture::requestFrame(job.inst, n);
        if (calls.requested)
            job.post(calls.requested);
        // Replies faster than the display move the bar once a display frame: each move repaints
        // it at once, and a fast kit's bursts would keep the window from its other events.
        QElapsedTimer sinceShown;
        sinceShown.start();
        const FrameCapture::FrameText frame = FrameCapture::fetchFrame(
            job.inst, n, [&calls, &job, &sinceShown](int received, int expected) {
                if (calls.progress &&
                    (received <= 1 || received >= expected || sinceShown.elapsed() >= 15)) {
                    sinceShown.restart();
                    job.post([calls, received, expected] { calls.progress(received, expected); });
                }
                return !job.cancelled();
            });
        job.inst.closeConnection();
        return [calls, frame] { calls.done(true, frame); };
    });
}

void KitSession::whenIdle(std::function<void()> done)
{
    onLink([done](LinkThread::Job &) -> LinkThread::Done { return done; });
}
