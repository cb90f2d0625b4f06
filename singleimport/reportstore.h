#pragma once

#include "importbookkeeping.h"
#include "webservice.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;

// The path and count reports of the single-order import windows, posted and
// kept by the process rather than by a window. A report goes out through
// the store, so its answer is read even when its window has closed (the
// opener deletes it) before the service replied; one the service did not
// receive (a transport error, or a reply that is not its JSON object) is
// kept, and every window sends the kept ones again, once and as they
// were, before its lookup or its run, so no count is added twice and none
// is lost with the window that posted it. A report is out of the store
// while it is on its way and back in when it fails again, so two open
// windows never send one report twice. Nothing is kept once the client is
// quit; before it exits, the reports still on their way are waited for. A
// report whose window has gone when its answer comes is named by the store
// itself, in a box of its own, by the window's rule. Used on the
// user-interface thread only.
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
        Kind kind = Kind::Paths;
        QByteArray body;
        QString orderNumber; // names the report in a box when it is not received
    };
    // A report's reply, handed to the window that sent it while that window
    // is there; the store releases the reply afterwards.
    using Answered = std::function<void(const Report& report, QNetworkReply* reply)>;

    static ReportStore& instance();

    // What becomes of the reports a box names.
    enum class Afterwards
    {
        Nothing,   // refused: the service has them and will not take them
        SentAgain, // kept, and sent again by the next 导入照片 window
        LostAtQuit // not received when the client quits
    };

    // The service's own answer, a receipt or a refusal; anything else (a
    // transport error, a body that is not its JSON object) is no answer.
    static bool isAnswer(const WebService::Reply& reply);
    // What a window says of a report not taken, and the store once its
    // window has gone: a refusal's text ("错误代码：<code>", a path
    // report's "上传路径错误代码：<code>"), and the box naming the orders
    // whose reports were not taken, with a last line after what becomes of
    // them.
    static QString refusalText(Kind kind, const QString& code);
    static ImportBookkeeping::Box notTakenBox(const QList<ImportBookkeeping::ReportFailure>& failures,
                                              Afterwards afterwards);
    // The box of a refused report, naming its order.
    static ImportBookkeeping::Box refusedBox(const Report& report, const QString& code);

    // Before the client exits: while reports are on their way, waits for
    // their answers (at most the transfer timeout) with a notice on the
    // screen, and names those not received in one box. Nothing when none
    // is on its way.
    static void settleBeforeQuit();

    // Posts the report; when the service does not receive it, it is kept.
    void send(const Report& report, QObject* context, Answered answered);
    // Sends the kept reports again, one after another, and then calls next.
    // The first that fails again goes back to the store with those not yet
    // sent (they wait with it for the next time), and next is called then.
    // Once context has gone the reports still go out; nothing is called.
    void resendKept(QObject* context, Answered answered, std::function<void()> next);

    // What the store holds and what it has on its way, for tests.
    int keptCount() const { return m_kept.size(); }
    int sendingCount() const { return m_onTheirWay.size(); }

private:
    explicit ReportStore(QObject* parent);
    void waitForAnswers();
    static const QString& route(Kind kind);
    static bool received(QNetworkReply* reply);
    // Posts the report; done gets its reply, which is released afterwards.
    void post(const Report& report, std::function<void(QNetworkReply*)> done);
    void resendInTurn(QList<Report> reports, QObject* context, Answered answered, std::function<void()> next);
    // Hands the reply to the window that sent the report while it is there;
    // once it has gone, names a report not taken as the window would have:
    // a refusal always, a report not received on its first send only (a
    // resend that fails again was named when it first failed). While the
    // client quits, no window is handed anything, and every report not
    // taken is gathered for the last box.
    void answer(const Report& report, QNetworkReply* reply, const QPointer<QObject>& window,
                const Answered& answered, bool resent);

    QNetworkAccessManager* m_manager = nullptr;
    QList<Report> m_kept;
    QList<QNetworkReply*> m_onTheirWay;
    // While the client quits: the answers go to no window, and the reports
    // not taken are gathered for one box.
    bool m_quitting = false;
    QList<ImportBookkeeping::ReportFailure> m_lostAtQuit;
    QEventLoop* m_waiting = nullptr;
};
