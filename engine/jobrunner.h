#pragma once

#include "jobowner.h"

#include <QThreadPool>

class QObject;
class QRunnable;

// The thread pool of one window that runs pooled jobs, and the handle its
// jobs report through. A window keeps one as a member (not a child object),
// so it is torn down while the window is still a whole QObject:
//
//   JobRunner m_jobs{this};
//   ... m_jobs.start(new SeparateThread(path, 2, m_jobs.owner()), priority);
//   closeEvent: isWindowShow = false; m_jobs.close();
//
// Clearing this pool never touches another window's jobs.
class JobRunner
{
public:
    static constexpr int maxThreads = 10;

    explicit JobRunner(QObject* owner);
    // Stops every call-back, drops the queued jobs and waits for the ones
    // running, so no job outlives the window it reports to.
    ~JobRunner();

    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // The handle to give every job made for this window.
    JobOwnerHandle owner() const { return m_owner; }
    QThreadPool* pool() { return &m_pool; }

    // Takes ownership of an auto-deleting job.
    void start(QRunnable* job, int priority = 0);
    // Drops the jobs not yet started (a run starting over).
    void clear();
    // The window has been closed: no call-back reaches it any more and the
    // queued jobs are dropped; running jobs finish their file work.
    void close();
    bool isClosed() const { return !m_owner.isShown(); }
    bool waitForDone(int msecs = -1);

private:
    JobOwnerHandle m_owner;
    QThreadPool m_pool;
};
