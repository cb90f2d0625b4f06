#pragma once

#include "importbookkeeping.h"
#include "webservice.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The path and count reports of the single-order import windows, posted and
// kept by the process rather than by a window. A report goes out through
// the store, so its answer is read even when its window has closed (the
// opener deletes it) before the service replied; one the service did not
// receive (a transport error, or a reply that is not its JSON object) is
// kept, and every window sends the kept ones again, as they were, before
// its lookup or its run, so none is lost with the window that posted it.
//
// A report is sent again for as long as its failures show that nothing of
// it reached the service (WebService::reachedNothing). A count report of
// photos added is added by the service, and a request that is not
// idempotent is not repeated once it may have been applied: it goes out so
// that Qt cannot send it twice (WebService::postOnce), and once a send may
// have reached the service (an HTTP error, an answer that is not its JSON
// object, a timeout or a break after the request went out), it is named at
// once, to be checked, and no longer kept. A report that only sets the order's folders (the
// path report, a count report of nothing added such as the 重新导片 one)
// is sent once more at most after such a send, then named.
//
// Reports are told apart by order (its id), never by 预约单号 alone: the
// other service time of a booking is another order. A kept report never
// goes out after a newer report of its order was taken: it would set the
// order back (a path report is dropped, the newer
// one carried the folders; a count report is named). Counts add, though: a
// count report of photos added is overtaken only by a newer report that set
// other folders (the 重新导片 one), and goes out after any other. A report
// is out of the store while it is on its way and back in when it fails
// again, so two open windows never send one report twice. Nothing is kept
// once the client is quit; the reports on their way are waited for then
// (PendingRecords). A report whose window has gone when its answer comes is
// named by the store itself, in a box of its own, by the window's rule.
// Used on the user-interface thread only.
class ReportStore : public QObject
{
    Q_OBJECT
public:
    enum class Kind
    {
        Paths,
        Counts
    };
    struct Report
    {
        Report(Kind kind = Kind::Paths, const QByteArray& body = {}, const QString& orderNumber = {})
            : kind(kind), body(body), orderNumber(orderNumber)
        {
        }
        Kind kind;
        QByteArray body;
        QString orderNumber; // names the report in a box when it is not received
        QString orderId;     // the order it reports on
        // The order as the order table names it ("<预约单号>-<服务次数>"),
        // and the orders the search that opened its window listed, so a box
        // names it by its service time where another of its booking is
        // listed or named beside it.
        QString orderName;
        QStringList listedOrders;
        // The folders it sets, as the service keeps them.
        QString orderFolder;
        QString backupFolder;
        bool addsCount = false; // a count report of photos or backups added
        // Kept by the store:
        quint64 serial = 0;     // a later report has a greater one
        bool mayBeHeld = false; // a send of it may have reached the service
        QString status;         // what its last send met, for a box that names it
    };
    // What became of a report sent.
    enum class Fate
    {
        Received, // the service's own answer: a receipt or a refusal
        Kept,     // not received: kept, and sent again by the next window
        GivenUp   // named and no longer kept: the service may hold it, or a
                  // newer report of its order overtook it (a count report)
    };
    // A report's reply, handed to the window that sent it while that window
    // is there; the store releases the reply afterwards. A report given up
    // before it was sent again comes with no reply.
    using Answered = std::function<void(const Report& report, QNetworkReply* reply, Fate fate)>;
    // What became of the report a reply handed to a window answered.
    static Fate fateOf(const QNetworkReply* reply);

    static ReportStore& instance();

    // The service's own answer, a receipt or a refusal; anything else (a
    // transport error, a body that is not its JSON object) is no answer.
    static bool isAnswer(const WebService::Reply& reply);
    // What a window says of a report not taken, and the store once its
    // window has gone: a refusal's text ("错误代码：<code>", a path
    // report's "上传路径错误代码：<code>"); the box of a refused report,
    // naming its order; the box of a report given up.
    // A box's line of a report says which it is where its order has two
    // lines: "上传路径" for a path report, "导片数量" for a count report.
    // listedOrders: those the window showing the box lists, beside the
    // report's own.
    static QString refusalText(Kind kind, const QString& code);
    static ImportBookkeeping::ReportFailure failureOf(const Report& report, const QString& httpStatus);
    static ImportBookkeeping::Box refusedBox(const Report& report, const QString& code,
                                             const QStringList& listedOrders = {});
    static ImportBookkeeping::Box givenUpBox(const Report& report, const QStringList& listedOrders = {});

    // Posts the report; when the service does not receive it, it is kept.
    void send(const Report& report, QObject* context, Answered answered);
    // Sends the kept reports again, one after another, and then calls next.
    // The first that fails again goes back to the store with those not yet
    // sent (they wait with it for the next time), and next is called then.
    // Once context has gone the reports still go out; nothing is called.
    void resendKept(QObject* context, Answered answered, std::function<void()> next);

    // What the store holds, for tests.
    int keptCount() const { return m_kept.size(); }

private:
    explicit ReportStore(QObject* parent);
    static const QString& route(Kind kind);
    static bool received(QNetworkReply* reply);
    // Posts the report; done gets its reply, which is released afterwards.
    void post(const Report& report, std::function<void(QNetworkReply*)> done);
    void resendInTurn(QList<Report> reports, QObject* context, Answered answered, std::function<void()> next);
    // Notes what a send that was not received met; true when the report is
    // given up now.
    static bool givenUpAfter(Report& report, QNetworkReply* reply);
    // A report taken overtakes the kept ones of its order before it.
    void noteTaken(const Report& report, QNetworkReply* reply);
    bool isStale(const Report& report) const;
    // Hands the reply to the window that sent the report while it is there;
    // once it has gone, names a report not taken as the window would have:
    // a refusal and a report given up always, a report kept on its first
    // send only (a resend that fails again was named when it first failed).
    // While the client quits, no window is handed anything, and every
    // report not taken is gathered for the last box.
    void answer(const Report& report, QNetworkReply* reply, const QPointer<QObject>& window,
                const Answered& answered, bool resent, Fate fate);

    struct Taken
    {
        quint64 serial;
        QString orderFolder;
        QString backupFolder;
    };

    QNetworkAccessManager* m_manager = nullptr;
    QList<Report> m_kept;
    quint64 m_lastSerial = 0;
    QHash<QString, QList<Taken>> m_taken; // by order id, oldest first
};
