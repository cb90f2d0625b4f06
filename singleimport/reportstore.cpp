#include "reportstore.h"

#include "config.h"
#include "webservice.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include <utility>

ReportStore& ReportStore::instance()
{
    // A child of the application, so its manager goes while Qt's network
    // layer is still there.
    static QPointer<ReportStore> store;
    if (!store)
        store = new ReportStore(QCoreApplication::instance());
    return *store;
}

ReportStore::ReportStore(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

const QString& ReportStore::route(Kind kind)
{
    return kind == Kind::Paths ? Config::url_post_orderpicpath_2 : Config::url_post_orderpicpath;
}

void ReportStore::post(const Report& report, std::function<void(QNetworkReply*)> done)
{
    QNetworkReply* reply = WebService::post(m_manager, route(report.kind), report.body);
    ++m_sending;
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] {
        --m_sending;
        done(reply);
        reply->deleteLater();
    });
}

bool ReportStore::received(QNetworkReply* reply)
{
    // An answer that is no receipt (a refusal, a broken body) is the
    // service's own: sending it again would change nothing.
    return reply->error() == QNetworkReply::NoError;
}

void ReportStore::send(const Report& report, QObject* context, Answered answered)
{
    const QPointer<QObject> window = context;
    post(report, [this, report, window, answered](QNetworkReply* reply) {
        // Kept with its counts as they were: a resend never counts twice.
        if (!received(reply))
            m_kept.append(report);
        if (window)
            answered(report, reply);
    });
}

void ReportStore::resendKept(QObject* context, Answered answered, std::function<void()> next)
{
    resendInTurn(std::exchange(m_kept, {}), context, std::move(answered), std::move(next));
}

void ReportStore::resendInTurn(QList<Report> reports, QObject* context, Answered answered,
                               std::function<void()> next)
{
    const QPointer<QObject> window = context;
    if (reports.isEmpty()) {
        if (window)
            next();
        return;
    }
    const Report first = reports.takeFirst();
    post(first, [this, first, reports, window, answered, next](QNetworkReply* reply) {
        const bool wasReceived = received(reply);
        // Back in front of the reports kept meanwhile, in the order they
        // were first sent.
        if (!wasReceived)
            m_kept = QList<Report>{first} + reports + m_kept;
        if (window)
            answered(first, reply);
        if (wasReceived)
            resendInTurn(reports, window, answered, next);
        else if (window)
            next();
    });
}
