#include "jobrunner.h"

#include <QRunnable>

JobRunner::JobRunner(QObject* owner) : m_owner(owner)
{
    m_pool.setMaxThreadCount(maxThreads);
    m_pool.setExpiryTimeout(-1);
}

JobRunner::~JobRunner()
{
    m_owner.detach();
    m_pool.clear();
    m_pool.waitForDone();
}

void JobRunner::start(QRunnable* job, int priority)
{
    m_pool.start(job, priority);
}

void JobRunner::clear()
{
    m_pool.clear();
}

void JobRunner::close()
{
    m_owner.setShown(false);
    m_pool.clear();
}

bool JobRunner::waitForDone(int msecs)
{
    return m_pool.waitForDone(msecs);
}
