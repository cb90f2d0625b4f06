#pragma once

#include "importorderthread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>

#include <utility>

// While it lives, the deletion an import worker asks for in a call queued
// to it is delivered before whatever is queued after that call: the order
// a loaded machine may run things in when the worker's own thread is paused
// between two of its end signals. A worker's end may then reach its dialog
// only after the worker has gone.
class WorkerDeletedFirst : public QObject
{
public:
    WorkerDeletedFirst() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall && qobject_cast<ImportOrderThread*>(watched)) {
            m_called.append(watched);
            return false;
        }
        const QList<QPointer<QObject>> called = std::exchange(m_called, {});
        for (const QPointer<QObject>& worker : called) {
            if (worker)
                QCoreApplication::sendPostedEvents(worker, QEvent::DeferredDelete);
        }
        return false;
    }

private:
    QList<QPointer<QObject>> m_called;
};
