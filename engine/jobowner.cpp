#include "jobowner.h"

JobOwnerHandle::JobOwnerHandle(QObject* owner) : m_state(QSharedPointer<State>::create())
{
    m_state->owner = owner;
    m_state->shown = owner != nullptr;
}

bool JobOwnerHandle::isShown() const
{
    return m_state && m_state->shown.load();
}

void JobOwnerHandle::setShown(bool shown) const
{
    if (!m_state)
        return;
    QMutexLocker lock(&m_state->mutex);
    m_state->shown = shown && m_state->owner;
}

void JobOwnerHandle::detach() const
{
    if (!m_state)
        return;
    QMutexLocker lock(&m_state->mutex);
    m_state->owner = nullptr;
    m_state->shown = false;
}

QObject* JobOwnerHandle::receiver(const State& state)
{
    QMutexLocker lock(&state.mutex);
    return state.shown.load() ? state.owner : nullptr;
}
