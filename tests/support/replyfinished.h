#pragma once

#include <QEventLoop>
#include <QNetworkReply>

// Returns once the reply has finished: every request of the client carries
// the transfer timeout, so one that is never answered ends too.
inline void waitUntilFinished(QNetworkReply* reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
}
