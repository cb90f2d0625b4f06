#pragma once

#include "orderrecords.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class ImportOrderThread;
class QLabel;
class QNetworkReply;
class QProgressBar;
class QWidget;

namespace WebService {
struct Reply;
}

// The deletion of the checked orders' photo folders, shared by every window
// that deletes orders (batch deletion, and the delete modes of the
// separation and N8 windows). The window keeps its slots and texts; this
// run does the counting, the guard checks, the workers and the boxes.
//
// A start copies what it needs of the list (order id, 预约单号, folder), so
// a search that replaces the window's list during the run changes nothing.
// Each checked, non-empty folder is checked by the deletion guard against
// the run's other folders, and against the folders this process's imports
// are writing into (FoldersInUse); refused folders are named in one box and
// get no worker, and so is a folder that cannot be looked at
// ("目录读取失败：<folder>");
// one that is not there is passed over. A worker checks again right before
// it deletes, with the guard's look through the folder's content (too slow
// for this thread on a share) and the registry, for an import that started
// after the run did; what it refuses is named in the run's last box. The
// allowed folders that exist are deleted by ImportOrderThread workers, at
// most maxWorkers at a time (hundreds of recursive deletions at once stall
// a file share for every client). Every finished worker counts; the run ends with success
// only when every folder is gone (its look-up says it is not there), and
// otherwise names the orders whose folders stayed or cannot be looked at.
//
// The run belongs to its window: destroying it drops the workers not yet
// started and waits for the running ones.
class DeletionRun : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxWorkers = 4;

    struct Entry
    {
        QString orderId;  // order_photo_id
        QString orderKey; // 预约单号
        QString path;
    };

    explicit DeletionRun(QObject* parent = nullptr);
    ~DeletionRun() override;

    // The window's progress frame, bar and status line, updated by the run
    // (any may be null).
    void setDisplay(QWidget* group, QProgressBar* bar, QLabel* label);

    // Starts a run over the window's order list and returns the number of
    // folders it deletes: 0 when there is nothing to delete (the user has
    // been told), -1 when a run is already going on (nothing changes).
    int start(const QList<order>& orders);
    bool isRunning() const { return m_total > 0; }
    int total() const { return m_total; }
    int finishedCount() const { return m_finished; }

    // The boxes' texts: a line per order with its 预约单号 and folder.
    static QString refusalText(const QList<QPair<Entry, QString>>& refused);
    static QString failureText(const QList<Entry>& failed);
    // A line per order whose folder an import of this process is writing
    // into: "订单正在导片，未删除：<预约单号>".
    static QString inUseText(const QList<Entry>& inUse);
    // The three kinds in one box, each a section; empty when there is none.
    static QString problemsText(const QList<QPair<Entry, QString>>& refused, const QList<Entry>& failed,
                                const QList<Entry>& inUse);

    // The delete-log body: token, shopid, superid, orderphotoid, path,
    // MANAGER_ID.
    static QByteArray deleteLogBody(const QString& orderId, const QString& path);
    // Posts the log of a folder this run deleted (the order id and the
    // folder, as deleted() gives them) for the window: the post runs to its
    // answer though the window closes (PendingRecords::postRecord), and its
    // reply names the order (its 预约单号) it was kept with. While the window
    // is open, answered gets the reply.
    QNetworkReply* postLog(QWidget* window, const QString& orderId, const QString& path,
                           std::function<void(QNetworkReply*)> answered) const;
    // Tells the user what a delete-log reply says, naming the order kept
    // with its request.
    static void reportLogReply(QNetworkReply* reply);
    // The same for a reply already read: a transport error or a body that
    // is no JSON object ("请检查网络连接" and the status), a refusal
    // (message, tab, code), each after the line
    // "删除记录上报失败：<预约单号>：<folder>"; nothing for success.
    static void reportLogReply(const WebService::Reply& reply, const QString& orderKey, const QString& path);
    // The text of that box; empty for success.
    static QString logFailureText(const WebService::Reply& reply, const QString& orderKey,
                                  const QString& path);

signals:
    // A folder is gone: the window logs it.
    void deleted(QString orderId, QString deleteDir);
    // A worker ended, with or without success.
    void progressed(int finished, int total);
    // The last worker ended; the end box has been closed.
    void ended(bool allSucceeded);

private:
    void startNextWorkers();
    void workerDone(ImportOrderThread* worker, const Entry& entry, bool succeeded);
    void finishRun();

    QPointer<QWidget> m_group;
    QPointer<QProgressBar> m_bar;
    QPointer<QLabel> m_label;

    QList<Entry> m_started; // every folder of the run that gets a worker
    QList<Entry> m_pending;
    QList<ImportOrderThread*> m_running;
    QList<Entry> m_failed;
    QList<Entry> m_inUse;
    QList<QPair<Entry, QString>> m_refused; // by the worker's own guard check
    int m_total = 0;
    int m_finished = 0;
};
