#pragma once

#include "orderdesk.h"
#include "shangjianrecords.h"

#include <QList>
#include <QModelIndex>
#include <QString>

class QNetworkReply;
class QStandardItemModel;
class Ui_ShangJianDialog;

// The upload desk ("上件管理"): orders are marked uploaded by scanning their
// id or by a double-click in the left table, which the order-number search
// fills; the right table shows every marked order and the results of the
// criterion searches. Each request carries which list its reply fills and
// whether the user scanned, so replies that cross cannot mix them up.
class ShangJianDialog : public OrderDesk
{
    Q_OBJECT
public:
    explicit ShangJianDialog(QWidget* parent = nullptr);
    ~ShangJianDialog() override;

    void initView();

    // The searches; the order-number search fills the left list when
    // toLeft is set.
    void queryOrderByOrderPayForKey(QString orderKey, bool toLeft);
    void queryOrderByPhotoDate(QString date);
    void queryOrderBySelectPhotoDate(QString date);
    void queryOrderByAppointmentDate(QString date);
    void queryOrderByFetchPhotoDate(QString date);
    void queryOrderByShangjianDate(QString date);
    void queryOrderByName(QString name);
    void queryOrderByPhotoNumber(QString phone);
    void postDataFunc(QByteArray& body);

    void refreshLeftTable();
    void refreshRightTable();

    // Marks one order id uploaded.
    void postShangJian(QString orderPhotoId);

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void on_pushButton_3_clicked();
    void on_tableView_left_doubleClicked(QModelIndex index);
    void queryCallBack(QNetworkReply* reply);
    void queryShangjianCallBack(QNetworkReply* reply);

protected:
    void scanEntered(const QString& text) override;
    void orderSearchRequested() override;
    void criterionSearchRequested() override;

private:
    Ui_ShangJianDialog* ui;
    bool searchToLeft = false; // the latest search fills the left list
    bool fromScan = false;     // the latest mark came from the scan field
    QStandardItemModel* leftModel = nullptr;
    QStandardItemModel* rightModel = nullptr;
    QList<ShangJianLeftData> leftDataList;
    QList<ShangJianRightData> rightDataList;
};
