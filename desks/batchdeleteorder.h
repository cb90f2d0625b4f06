#pragma once

#include "deletionrun.h"
#include "orderrecords.h"

#include <QByteArray>
#include <QDate>
#include <QDialog>
#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QString>
#include <QVector>

class QAction;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QStandardItemModel;
class Ui_BatchDeleteOrder;

// Batch deletion: lists the shop's orders closed between two days and
// deletes the photo folders of the checked ones, each removal logged to the
// web service. The deletion itself is the shared DeletionRun (guarded, at
// most four workers, failures named); this window keeps its slots, texts
// and the delete-log request. It cannot be closed while a run is going on,
// so no removal goes unlogged.
class BatchDeleteOrder : public QDialog
{
    Q_OBJECT
public:
    explicit BatchDeleteOrder(QWidget* parent = nullptr);
    ~BatchDeleteOrder() override;

    void postDataFunc(QByteArray& body);
    void refreshOrderList();
    bool isSelectOrder();
    // A folder is gone: log it.
    void updatedata(QString orderId, QString deleteDir);
    void submitDeleteMessage(QString orderId, QString deleteDir);
    QString replaceString(QString text);

    // The search body for the closing days picked (start, end).
    static QByteArray searchBody(const QDate& start, const QDate& end);
    // The 14 column widths for a table of the given width; a negative width
    // is one the table must not take.
    static QVector<int> columnWidths(int tableWidth);

public slots:
    void clickCancel();
    void clickSearch();
    void queryCallBack(QNetworkReply* reply);
    void on_tableView_doubleClicked(QModelIndex index);
    void showMouseRightButton(QPoint pos);
    void showWidget();
    void on_tableView_clicked(QModelIndex index);
    void on_pushButton_separate_clicked();
    void onReadyRead();
    void on_pushButton_selectAll_clicked();
    void on_pushButton_selectOpposite_clicked();
    void submitDeleteMessageCallBack(QNetworkReply* reply);
    void startDel();
    void openOrderDir();

    // Escape and dialog rejection are refused during a run, like closing.
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // True (and the user told) while a run goes on.
    bool refuseWhileDeleting();

    Ui_BatchDeleteOrder* ui;
    QList<order> orderList;
    QStandardItemModel* model = nullptr;
    QMenu* tableMenu = nullptr;
    QAction* openDirAction = nullptr;
    QNetworkAccessManager* manager = nullptr;
    bool m_searching = false;
    int checkOrdersNum = 0;
    int deletenum = 0;
    DeletionRun m_deletion;
};
