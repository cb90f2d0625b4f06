#pragma once

#include <QDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class N8thread;
class QNetworkAccessManager;
class QNetworkReply;
class Ui_N8SyncBaseInfoDialog;

// Hands the shop's whole staff or product list to N8: fetches the list from
// the web service and has a worker write it as XML into the N8 folder of
// every store the launcher found reachable, following the worker on a
// progress bar and a label. The launcher writes stores and shopId before
// showing it.
//
// States: idle (the two sync buttons), requesting and writing (取消 only,
// isBusy set), failed (取消 and 重试). A reply without its staff or product
// array fails like a reply that never came: nothing is written from it. 取消 stops the worker and aborts a
// list request still under way; a reply or worker message that arrives
// after it changes nothing.
class N8SyncBaseInfoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit N8SyncBaseInfoDialog(QWidget* parent = nullptr);
    // Stops the worker and waits for it.
    ~N8SyncBaseInfoDialog() override;

    // Sends the list request of the current type.
    void req_datas();

    QString shopId;
    QJsonArray stores;
    QNetworkAccessManager* manager;
    int type = 0; // 0 staff, 1 products
    QString lastError;
    N8thread* worker;
    bool isBusy = false;

public slots:
    void on_pb_syncpeo_clicked();
    void on_pb_syncpro_clicked();
    void on_pb_retry_clicked();
    void on_pb_cancel_clicked();
    void slt_threademit(QJsonObject objc);
    void query_shopdatas(QNetworkReply* reply);

private:
    void stopWorker();
    void showIdleButtons();
    void fail(const QString& label);

    Ui_N8SyncBaseInfoDialog* ui;
    // The list request under way; 取消 aborts it.
    QPointer<QNetworkReply> m_pending;
    // Which stores the running worker has written: its k-th store message
    // tells of stores[k], which failed when the collected errors grew.
    int m_storeMessages = 0;
    int m_errorLength = 0;
    QStringList m_written;
};
