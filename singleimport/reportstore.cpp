#include "reportstore.h"

#include "config.h"
#include "prompts.h"
#include "webservice.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>

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

QString ReportStore::refusalText(Kind kind, const QString& code)
{
    return (kind == Kind::Paths ? QStringLiteral("上传路径错误代码：") : QStringLiteral("错误代码：")) + code;
}

ImportBookkeeping::Box ReportStore::notTakenBox(const QList<ImportBookkeeping::ReportFailure>& failures,
                                                bool kept)
{
    ImportBookkeeping::Box box = ImportBookkeeping::batchEndBox(0, false, false, {}, failures);
    if (kept)
        box.text += QStringLiteral("\n未上报的记录将在下次导入照片时重新上报，退出软件后不再上报");
    return box;
}

void ReportStore::answer(const Report& report, QNetworkReply* reply, const QPointer<QObject>& window,
                         const Answered& answered, bool resent)
{
    if (window) {
        answered(report, reply);
        return;
    }
    const WebService::Reply r = WebService::read(reply);
    ImportBookkeeping::Box box;
    if (r.kind == WebService::Reply::Kind::TransportError && !resent)
        box = notTakenBox({{report.orderNumber, r.statusText}}, true);
    else if (r.kind == WebService::Reply::Kind::Refusal)
        box = notTakenBox({{report.orderNumber, refusalText(report.kind, r.code)}}, false);
    if (!box.title.isEmpty())
        Prompts::longNotice(box.title, box.text);
}

void ReportStore::send(const Report& report, QObject* context, Answered answered)
{
    const QPointer<QObject> window = context;
    post(report, [this, report, window, answered](QNetworkReply* reply) {
        // Kept with its counts as they were: a resend never counts twice.
        if (!received(reply))
            m_kept.append(report);
        answer(report, reply, window, answered, false);
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
        answer(first, reply, window, answered, true);
        if (wasReceived)
            resendInTurn(reports, window, answered, next);
        else if (window)
            next();
    });
}
