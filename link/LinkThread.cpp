// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkThread.h"

#include "link/LinkLogging.h"
#include "link/usbTMCabstraction.h"

#include <QCoreApplication>
#include <QThread>

LinkThread::CancelToken LinkThread::newToken() { return std::make_shared<std::atomic_bool>(false); }

bool LinkThread::Job::cancelled() const { return link->closing.load() || (token && token->load()); }

void LinkThread::Job::post(std::function<void()> f) const
{
    link->deliver(receiver, token, std::move(f), false);
}

LinkThread *LinkThread::of(usbTMCabstraction *inst)
{
    if (!inst)
        return nullptr;
    if (auto *existing = inst->findChild<LinkThread *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new LinkThread(inst);
}

LinkThread::LinkThread(usbTMCabstraction *inst) : QObject(inst), instrument(inst)
{
    thread = new QThread;
    thread->setObjectName(QStringLiteral("kvvlx link"));
    worker = new QObject;
    worker->moveToThread(thread);
    thread->start();
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &LinkThread::shutdown);
}

LinkThread::~LinkThread()
{
    shutdown();
    delete worker; // its thread has ended, with whatever jobs were still queued
    delete thread;
}

void LinkThread::shutdown()
{
    if (closing.exchange(true))
        return;
    qCDebug(lcUsb) << "link thread: closing," << pendingJobs << "jobs pending";
    thread->quit();
    thread->wait();
}

void LinkThread::submit(QObject *receiver, CancelToken token, Work work)
{
    if (closing.load())
        return;
    ++pendingJobs;
    QPointer<QObject> guard(receiver);
    QMetaObject::invokeMethod(
        worker,
        [this, guard, token, work = std::move(work)] {
            Done done;
            if (!closing.load() && !(token && token->load())) {
                Job job(*instrument, this, guard, token);
                done = work(job);
            }
            deliver(guard, token, std::move(done), true);
        },
        Qt::QueuedConnection);
}

// Called on the link thread; the check of the receiver happens on this object's thread, where
// the receiver lives, so it cannot vanish between the check and the call.
void LinkThread::deliver(const QPointer<QObject> &receiver, const CancelToken &token, Done done,
                         bool finishesJob)
{
    QMetaObject::invokeMethod(
        this,
        [this, receiver, token, done = std::move(done), finishesJob] {
            if (finishesJob)
                --pendingJobs;
            if (done && receiver && !(token && token->load()))
                done();
        },
        Qt::QueuedConnection);
}
