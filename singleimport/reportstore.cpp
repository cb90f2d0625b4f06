#include "reportstore.h"

#include "config.h"
#include "prompts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <utility>

namespace {

// A child of the application, so its manager goes while Qt's network layer
// is still there.
QPointer<ReportStore>& store()
{
    static QPointer<ReportStore> theStore;
    return theStore;
}

} // namespace

ReportStore& ReportStore::instance()
{
    if (!store())
        store() = new ReportStore(QCoreApplication::instance());
    return *store();
}

ReportStore::ReportStore(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

const QString& ReportStore::route(Kind kind)
{
    return kind == Kind::Paths ? Config::url_post_orderpicpath_2 : Config::url_post_orderpicpath;
}

void ReportStore::post(const Report& report, std::function<void(QNetworkReply*)> done)
{
    QNetworkReply* reply = WebService::post(m_manager, route(report.kind), report.body);
    m_onTheirWay.append(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done] {
        m_onTheirWay.removeOne(reply);
        done(reply);
        reply->deleteLater();
        // done may have sent the next kept report.
        if (m_waiting && m_onTheirWay.isEmpty())
            m_waiting->quit();
    });
}

bool ReportStore::isAnswer(const WebService::Reply& reply)
{
    return reply.kind == WebService::Reply::Kind::Refusal || reply.kind == WebService::Reply::Kind::Success;
}

bool ReportStore::received(QNetworkReply* reply)
{
    // A refusal is the service's own answer: sending it again would change
    // nothing. The body is only looked at: the window reads it afterwards.
    return reply->error() == QNetworkReply::NoError &&
           isAnswer(WebService::classify(reply->peek(reply->bytesAvailable())));
}

QString ReportStore::refusalText(Kind kind, const QString& code)
{
    return (kind == Kind::Paths ? QStringLiteral("上传路径错误代码：") : QStringLiteral("错误代码：")) + code;
}

ImportBookkeeping::Box ReportStore::notTakenBox(const QList<ImportBookkeeping::ReportFailure>& failures,
                                                Afterwards afterwards)
{
    ImportBookkeeping::Box box = ImportBookkeeping::batchEndBox(0, false, false, {}, failures);
    if (afterwards == Afterwards::SentAgain)
        box.text += QStringLiteral("\n未上报的记录将在下次导入照片时重新上报，退出软件后不再上报");
    else if (afterwards == Afterwards::LostAtQuit)
        box.text += QStringLiteral("\n退出软件后不再上报，请核对以上订单的照片数量");
    return box;
}

ImportBookkeeping::Box ReportStore::refusedBox(const Report& report, const QString& code)
{
    return notTakenBox({{report.orderNumber, refusalText(report.kind, code)}}, Afterwards::Nothing);
}

void ReportStore::answer(const Report& report, QNetworkReply* reply, const QPointer<QObject>& window,
                         const Answered& answered, bool resent)
{
    if (window && !m_quitting) {
        answered(report, reply);
        return;
    }
    const WebService::Reply r = WebService::read(reply);
    const bool refused = r.kind == WebService::Reply::Kind::Refusal;
    if (!refused && (isAnswer(r) || (resent && !m_quitting)))
        return;
    const ImportBookkeeping::ReportFailure failure{report.orderNumber,
                                                   refused ? refusalText(report.kind, r.code)
                                                           : ImportBookkeeping::reportFailureStatus(r)};
    if (m_quitting) {
        m_lostAtQuit.append(failure);
        return;
    }
    const ImportBookkeeping::Box box =
        notTakenBox({failure}, refused ? Afterwards::Nothing : Afterwards::SentAgain);
    Prompts::longNotice(box.title, box.text);
}

void ReportStore::send(const Report& report, QObject* context, Answered answered)
{
    const QPointer<QObject> window = context;
    post(report, [this, report, window, answered](QNetworkReply* reply) {
        // Kept with its counts as they were: a resend never counts twice.
        if (!received(reply) && !m_quitting)
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
        // were first sent; while the client quits, it is named instead.
        if (!wasReceived)
            m_kept = (m_quitting ? QList<Report>() : QList<Report>{first}) + reports + m_kept;
        answer(first, reply, window, answered, true);
        if (wasReceived)
            resendInTurn(reports, window, answered, next);
        else if (window)
            next();
    });
}

void ReportStore::settleBeforeQuit()
{
    if (store() && !store()->m_onTheirWay.isEmpty())
        store()->waitForAnswers();
}

void ReportStore::waitForAnswers()
{
    m_quitting = true;
    // Not a box: nothing to answer, and it must not end the wait when it
    // closes.
    QWidget notice(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    notice.setAttribute(Qt::WA_QuitOnClose, false);
    notice.setWindowTitle(QStringLiteral("提示"));
    notice.setMinimumWidth(360);
    auto* layout = new QVBoxLayout(&notice);
    layout->addWidget(new QLabel(QStringLiteral("正在上报导片数量，请稍候…"), &notice));
    auto* busy = new QProgressBar(&notice);
    busy->setRange(0, 0);
    layout->addWidget(busy);
    notice.show();

    QEventLoop loop;
    m_waiting = &loop;
    QTimer::singleShot(WebService::transferTimeoutMs(), &loop, &QEventLoop::quit);
    loop.exec();
    m_waiting = nullptr;
    // Whatever is still on its way is not received: abort() answers it.
    for (QNetworkReply* reply : QList<QNetworkReply*>(m_onTheirWay))
        reply->abort();
    notice.close();
    m_quitting = false;

    const QList<ImportBookkeeping::ReportFailure> lost = std::exchange(m_lostAtQuit, {});
    if (!lost.isEmpty()) {
        const ImportBookkeeping::Box box = notTakenBox(lost, Afterwards::LostAtQuit);
        Prompts::longNotice(box.title, box.text);
    }
}
