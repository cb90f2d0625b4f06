#include "reportstore.h"

#include "config.h"
#include "pendingrecords.h"
#include "prompts.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>
#include <utility>

namespace IB = ImportBookkeeping;

namespace {

// A child of the application, so its manager goes while Qt's network layer
// is still there.
QPointer<ReportStore>& store()
{
    static QPointer<ReportStore> theStore;
    return theStore;
}

const char* const kFate = "reportfate";

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
    // The service adds a count report's photos: Qt must never send it twice.
    QNetworkReply* reply = report.addsCount ? WebService::postOnce(m_manager, route(report.kind), report.body)
                                            : WebService::post(m_manager, route(report.kind), report.body);
    PendingRecords::instance().watch(reply);
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        done(reply);
        reply->deleteLater();
    });
}

bool ReportStore::isAnswer(const WebService::Reply& reply)
{
    return reply.kind == WebService::Reply::Kind::Refusal || reply.kind == WebService::Reply::Kind::Success;
}

bool ReportStore::received(QNetworkReply* reply)
{
    // A refusal is the service's own answer: sending it again would change
    // nothing. The window reads the body afterwards.
    return isAnswer(WebService::peek(reply));
}

QString ReportStore::refusalText(Kind kind, const QString& code)
{
    return (kind == Kind::Paths ? QStringLiteral("上传路径错误代码：") : QStringLiteral("错误代码：")) + code;
}

IB::ReportFailure ReportStore::failureOf(const Report& report, const QString& httpStatus)
{
    const QString kind = report.kind == Kind::Paths ? QStringLiteral("上传路径") : QStringLiteral("导片数量");
    return {report.orderNumber, httpStatus, IB::Afterwards::Nothing, kind, report.orderName};
}

IB::Box ReportStore::refusedBox(const Report& report, const QString& code, const QStringList& listedOrders)
{
    return IB::notTakenBox({failureOf(report, refusalText(report.kind, code))}, IB::Afterwards::Nothing,
                           report.listedOrders + listedOrders);
}

IB::Box ReportStore::givenUpBox(const Report& report, const QStringList& listedOrders)
{
    return IB::notTakenBox({failureOf(report, report.status)}, IB::Afterwards::Check,
                           report.listedOrders + listedOrders);
}

ReportStore::Fate ReportStore::fateOf(const QNetworkReply* reply)
{
    return Fate(reply->property(kFate).toInt());
}

bool ReportStore::givenUpAfter(Report& report, QNetworkReply* reply)
{
    // The service adds a count report's counts: one that may hold them is
    // never sent again. One that sets folders only may go once more.
    const bool mayBeHeld = !WebService::reachedNothing(reply);
    const bool givenUp = mayBeHeld && (report.addsCount || report.mayBeHeld);
    report.status = IB::reportFailureStatus(WebService::peek(reply));
    report.mayBeHeld = report.mayBeHeld || mayBeHeld;
    return givenUp;
}

void ReportStore::noteTaken(const Report& report, QNetworkReply* reply)
{
    if (WebService::peek(reply).ok())
        m_taken[report.orderId].append({report.serial, report.orderFolder, report.backupFolder});
}

bool ReportStore::isStale(const Report& report) const
{
    // Counts add: a count report of photos added still goes out after a
    // newer report of the same folders, and only one that set others (the
    // 重新导片 one, of no folder) would have it count into the wrong one.
    const QList<Taken> taken = m_taken.value(report.orderId);
    return std::any_of(taken.begin(), taken.end(), [&report](const Taken& t) {
        const bool otherFolders =
            t.orderFolder != report.orderFolder || t.backupFolder != report.backupFolder;
        return t.serial > report.serial && (!report.addsCount || otherFolders);
    });
}

void ReportStore::answer(const Report& report, QNetworkReply* reply, const QPointer<QObject>& window,
                         const Answered& answered, bool resent, Fate fate)
{
    PendingRecords& pending = PendingRecords::instance();
    if (reply)
        reply->setProperty(kFate, int(fate));
    if (window && !pending.quitting()) {
        answered(report, reply, fate);
        return;
    }
    const WebService::Reply r = reply ? WebService::read(reply) : WebService::Reply();
    const bool refused = reply && r.kind == WebService::Reply::Kind::Refusal;
    if ((fate == Fate::Received && !refused) || (fate == Fate::Kept && resent && !pending.quitting()))
        return;
    const IB::ReportFailure failure =
        failureOf(report, refused ? refusalText(report.kind, r.code) : report.status);
    if (pending.quitting()) {
        pending.lostAtQuit(failure, report.listedOrders);
        return;
    }
    const IB::Box box = IB::notTakenBox({failure},
                                        refused                 ? IB::Afterwards::Nothing
                                        : fate == Fate::GivenUp ? IB::Afterwards::Check
                                                                : IB::Afterwards::SentAgain,
                                        report.listedOrders);
    Prompts::longNotice(box.title, box.text);
}

void ReportStore::send(const Report& report, QObject* context, Answered answered)
{
    Report sent = report;
    sent.serial = ++m_lastSerial;
    const QPointer<QObject> window = context;
    post(sent, [this, sent, window, answered](QNetworkReply* reply) mutable {
        if (received(reply)) {
            noteTaken(sent, reply);
            answer(sent, reply, window, answered, false, Fate::Received);
            return;
        }
        // Kept with its counts as they were: a resend never counts what the
        // run did not add.
        const bool givenUp = givenUpAfter(sent, reply);
        if (!givenUp && !PendingRecords::instance().quitting())
            m_kept.append(sent);
        answer(sent, reply, window, answered, false, givenUp ? Fate::GivenUp : Fate::Kept);
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
    // One that a newer report of its order has overtaken would set the
    // order back. A count report is named (its count is not added); a path
    // report has nothing to add, the newer one carried the order's folders.
    while (!reports.isEmpty() && isStale(reports.first())) {
        const Report stale = reports.takeFirst();
        if (stale.kind == Kind::Counts)
            answer(stale, nullptr, window, answered, true, Fate::GivenUp);
    }
    if (reports.isEmpty()) {
        if (window)
            next();
        return;
    }
    Report first = reports.takeFirst();
    post(first, [this, first, reports, window, answered, next](QNetworkReply* reply) mutable {
        if (received(reply)) {
            noteTaken(first, reply);
            answer(first, reply, window, answered, true, Fate::Received);
            resendInTurn(reports, window, answered, next);
            return;
        }
        const bool givenUp = givenUpAfter(first, reply);
        // Back in front of the reports kept meanwhile, in the order they
        // were first sent; while the client quits, it is named instead.
        const bool keep = !givenUp && !PendingRecords::instance().quitting();
        m_kept = (keep ? QList<Report>{first} : QList<Report>()) + reports + m_kept;
        answer(first, reply, window, answered, true, givenUp ? Fate::GivenUp : Fate::Kept);
        if (window)
            next();
    });
}
