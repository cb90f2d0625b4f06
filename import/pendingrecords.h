#pragma once

#include "importbookkeeping.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

// The records posted to the web service that the client waits for before it
// exits: the single-order import's path and count reports, the batch
// import dialog's order records, and the posts that record something for a
// window (postRecord). Their windows may have closed (a closed import
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

    // A post that records something for a window (a deletion log, an
    // upload mark, a dispatch). It goes so that it is never sent twice, on
    // a connection of the process rather than the window's, so it runs to
    // its answer whatever becomes of the window, and the quit waits for it.
    // While the window is open, answered gets the reply and releases it, as
    // any reply handler does. Once the window has closed (it was hidden by
    // its close, or deleted), notTaken says what the window says of a
    // record the service did not take, naming it (empty for the service's
    // receipt): the records on their way at the close are named together
    // in one box "警告" once the last of them has answered, or in the box
    // at quit when the client quits first.
    QNetworkReply* postRecord(QWidget* window, const QString& route, const QByteArray& body,
                              std::function<void(QNetworkReply*)> answered,
                              std::function<QString(const WebService::Reply&)> notTaken);

    // While the client quits: the windows tell no record not taken, they
    // hand it here for the last box, with the orders the window lists (as
    // the order table names them), beside which the box names its order.
    bool quitting() const { return m_waiting != nullptr; }
    void lostAtQuit(const ImportBookkeeping::ReportFailure& failure, const QStringList& listedOrders = {});

    // Before the client exits: waits for the records on their way and names
    // those not taken (the import's with "退出软件后不再上报，请核对以上订单的
    // 照片数量", the others in their windows' words). Nothing when none is
    // on its way.
    static void settleBeforeQuit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The records a window posted while it was open, named together once
    // it has closed.
    struct RecordGroup
    {
        int onTheirWay = 0;
        bool closed = false;
        QStringList notTaken;
    };

    explicit PendingRecords(QObject* parent);
    void waitForAnswers();
    void quitWhenNoneLeft();
    void recordAnswered(QNetworkReply* reply, int group, const std::function<void(QNetworkReply*)>& answered,
                        const std::function<QString(const WebService::Reply&)>& notTaken);
    void windowClosed(QObject* window);

    QList<QNetworkReply*> m_onTheirWay;
    QList<ImportBookkeeping::ReportFailure> m_lostAtQuit;
    QStringList m_listedAtQuit;
    QStringList m_recordsLostAtQuit; // in their windows' words
    QEventLoop* m_waiting = nullptr;
    QNetworkAccessManager* m_manager = nullptr;
    QHash<QObject*, int> m_openGroups; // a window's group while it is open
    QHash<int, RecordGroup> m_groups;
    int m_lastGroup = 0;
};
