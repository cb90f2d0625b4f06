#pragma once

#include "importbookkeeping.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QEventLoop;
class QNetworkReply;

// The records posted to the web service that the client waits for before it
// exits: the single-order import's path and count reports and the batch
// import dialog's order records. Their windows may have closed (a closed
// window stays until its records have answered); nothing sends them again
// once the client has quit. Before it exits, the records still on their way
// are waited for, at most the transfer timeout, with a notice on the screen;
// while it waits, their answers go to no window's box, and every record not
// taken is named in one last box. Used on the user-interface thread only.
class PendingRecords : public QObject
{
    Q_OBJECT
public:
    static PendingRecords& instance();

    // Counts the reply as on its way until it has finished.
    void watch(QNetworkReply* reply);
    int count() const { return m_onTheirWay.size(); }

    // While the client quits: the windows tell no record not taken, they
    // hand it here for the last box, with the orders the window lists (as
    // the order table names them), beside which the box names its order.
    bool quitting() const { return m_waiting != nullptr; }
    void lostAtQuit(const ImportBookkeeping::ReportFailure& failure, const QStringList& listedOrders = {});

    // Before the client exits: waits for the records on their way and names
    // those not taken ("退出软件后不再上报，请核对以上订单的照片数量").
    // Nothing when none is on its way.
    static void settleBeforeQuit();

private:
    explicit PendingRecords(QObject* parent);
    void waitForAnswers();
    void quitWhenNoneLeft();

    QList<QNetworkReply*> m_onTheirWay;
    QList<ImportBookkeeping::ReportFailure> m_lostAtQuit;
    QStringList m_listedAtQuit;
    QEventLoop* m_waiting = nullptr;
};
