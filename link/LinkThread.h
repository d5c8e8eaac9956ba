// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QThread;
class usbTMCabstraction;

// The one thread that talks to the kits of a command layer, so that the window never waits on
// the USB. Jobs run one after another in the order they were submitted, whichever widget
// submitted them; each job is a whole bracket (open, commands, close). What a job hands back
// runs on the submitter's thread, and only while the submitter still exists.
class LinkThread : public QObject
{
    Q_OBJECT
public:
    // Set by the owner of queued or running jobs when it no longer wants them (a closed tab):
    // queued jobs are skipped, a running one may give up between two replies.
    using CancelToken = std::shared_ptr<std::atomic_bool>;
    static CancelToken newToken();

    // What a job sees while it runs on the link thread.
    class Job
    {
    public:
        usbTMCabstraction &inst;
        // The owner cancelled or the application is closing: stop between two transfers.
        bool cancelled() const;
        // Runs f on the submitter's thread, in order with the job's other posts and its result.
        void post(std::function<void()> f) const;

    private:
        friend class LinkThread;
        Job(usbTMCabstraction &i, LinkThread *l, QPointer<QObject> r, CancelToken t)
            : inst(i), link(l), receiver(std::move(r)), token(std::move(t))
        {
        }
        LinkThread *link;
        QPointer<QObject> receiver;
        CancelToken token;
    };

    // The completion a job returns; it runs on the submitter's thread. May be empty.
    using Done = std::function<void()>;
    using Work = std::function<Done(Job &job)>;

    // The link thread of the command layer; made on first use, a child of it.
    static LinkThread *of(usbTMCabstraction *inst);

    ~LinkThread() override;

    // Queues work behind every job submitted before. receiver must live on this object's
    // thread; its completion and posts are dropped once it is gone or token is set.
    void submit(QObject *receiver, CancelToken token, Work work);

    // Jobs submitted and not yet finished (their completion delivered or dropped).
    int pending() const { return pendingJobs; }

    // Cancels what is queued or running and joins the thread; later submits are dropped.
    // Runs on its own when the application quits and when the command layer is deleted.
    void shutdown();

private:
    explicit LinkThread(usbTMCabstraction *inst);
    void deliver(const QPointer<QObject> &receiver, const CancelToken &token, Done done,
                 bool finishesJob);

    usbTMCabstraction *instrument;
    QThread *thread = nullptr;
    QObject *worker = nullptr; // lives on the link thread; jobs are queued calls to it
    std::atomic_bool closing{false};
    int pendingJobs = 0;
};
