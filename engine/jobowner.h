#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>

#include <atomic>

// The way a pooled job reaches the window it works for. The window's runner
// keeps the handle's state; every job holds a copy. A job calls a slot of the
// window by name, queued, so the slot runs later on the window's thread; the
// call is delivered only while the window exists and has not been closed.
// Once the window closes or is destroyed, posts are dropped, and calls
// already queued are dropped when their turn comes.
class JobOwnerHandle
{
public:
    // A handle that reaches nothing (a job made without a window).
    JobOwnerHandle() = default;
    // A shown handle for the window; its runner owns it (JobRunner).
    explicit JobOwnerHandle(QObject* owner);

    // The window's shown flag, safe to read from any thread.
    bool isShown() const;

    // Queues a call of the owner's slot by name with plain value arguments
    // (int, QString ...). False when the owner is gone or closed.
    template <typename... Args> bool post(const char* slot, Args... args) const;

    // For the runner, on the window's thread.
    void setShown(bool shown) const;
    // The owner is going away: nothing more is delivered.
    void detach() const;

private:
    struct State
    {
        mutable QMutex mutex;
        QObject* owner = nullptr; // guarded by mutex
        std::atomic<bool> shown{false};
    };

    // The owner while it may receive calls, else null.
    static QObject* receiver(const State& state);

    QSharedPointer<State> m_state;
};

template <typename... Args> bool JobOwnerHandle::post(const char* slot, Args... args) const
{
    if (!m_state)
        return false;
    QMutexLocker lock(&m_state->mutex);
    if (!m_state->owner || !m_state->shown.load())
        return false;
    // The relay runs on the owner's thread and looks again, so a window
    // closed after the post still receives nothing.
    const QSharedPointer<State> state = m_state;
    const QByteArray name(slot);
    return QMetaObject::invokeMethod(
        m_state->owner,
        [state, name, args...]() {
            if (QObject* owner = receiver(*state))
                QMetaObject::invokeMethod(owner, name.constData(), Qt::DirectConnection,
                                          QArgument<Args>(QMetaType::typeName(qMetaTypeId<Args>()), args)...);
        },
        Qt::QueuedConnection);
}
