#pragma once

#include "httprequest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

// Counts the one-shot requests (HttpRequest) that have released themselves,
// which each does once its reply has been handled. The update checks of the
// sign-in windows are such requests and show nothing when no newer version
// is offered: a test waits on this count to know the check is over.
class ReleasedRequests : public QObject
{
public:
    ReleasedRequests() { QCoreApplication::instance()->installEventFilter(this); }
    ~ReleasedRequests() override { QCoreApplication::instance()->removeEventFilter(this); }

    int count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::DeferredDelete && qobject_cast<HttpRequest*>(watched))
            ++m_count;
        return false;
    }

private:
    int m_count = 0;
};
