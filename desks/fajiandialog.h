#pragma once

#include "fajianrecords.h"
#include "orderdesk.h"

#include <QList>
#include <QModelIndex>
#include <QString>

class QComboBox;
class QNetworkReply;
class QStandardItemModel;
class QTableWidget;
class Ui_FaJianDialog;

// The dispatch desk ("发件管理"): orders are found by number, scan or one of
// seven criteria; each listed order's products are loaded, and the clicked
// order's products get a print shop and a factory, are dispatched, and get
// barcode labels.
//
// Product lists are kept per order: a products request carries its order
// id and the number of the search it belongs to, so replies that arrive
// late or out of order land at their own order, and replies of an earlier
// search are dropped. Only the reply of the clicked order redraws the
// right table, so choices not yet sent survive other orders' replies. The
// print shop and factory combos carry each entry's id, which the dispatch
// reads. Dispatch, labels and export act only on an order the right table
// shows.
class FaJianDialog : public OrderDesk
{
    Q_OBJECT
public:
    explicit FaJianDialog(QWidget* parent = nullptr);
    ~FaJianDialog() override;

    void initView();

    void queryOrderByOrderPayForKey(QString orderKey);
    void queryOrderByPhotoDate(QString date);
    void queryOrderBySelectPhotoDate(QString date);
    void queryOrderByAppointmentDate(QString date);
    void queryOrderByFetchPhotoDate(QString date);
    void queryOrderByName(QString name);
    void queryOrderByPhoneNumber(QString phone);
    void queryOrderByOrderID(QString orderId);
    void postDataFunc(QByteArray& body);
    void refreshLeftTable();

    void postQueryProducts(QString orderid);
    // The row of the first listed order with this id; the list's count
    // when there is none.
    int getRowOfOrder(QString orderid);
    void refreshRightTable(int row);

    void Table2ExcelByHtml(QTableWidget* table, QString title);
    // The barcode picture of a code in the temporary folder; empty for a
    // code that is no plain file name.
    QString getBarCodeImagePath(QString code);
    void printCodeImages(QList<CodeImageInfo> labels);
    void printHtml(QString html);

private slots:
    void on_pushButton_clicked();
    void on_pushButton_excel_clicked();
    void on_pushButton_2_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void onEnterScanCodeEdit();
    void queryCallBack(QNetworkReply* reply);
    void queryProductsCallBack(QNetworkReply* reply);
    void querySendToShopCallBack(QNetworkReply* reply);
    void on_tableView_left_clicked(const QModelIndex& index);
    void on_pushButton_submit_clicked();
    void on_pushButton_print_clicked();
    void queryOrderIDCallBack(QNetworkReply* reply);
    void setAllPrintShop(int index);
    void setAllFactory(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void scanEntered(const QString& text) override;
    void orderSearchRequested() override;
    void criterionSearchRequested() override;

private:
    // True when the right table shows the products of the order at
    // currentRow.
    bool hasShownOrder() const;
    // Empties the order and product lists and both tables.
    void clearOrders();
    // rightLists holds one list per listed order; an empty one has not
    // arrived.
    void growProductLists();
    QComboBox* choiceCombo(int row, int column) const;
    template <typename Entry> QComboBox* newChoiceCombo(const QList<Entry>& entries, const QString& current);
    void setAllChoices(int column, int index);

    Ui_FaJianDialog* ui;
    QStandardItemModel* leftModel = nullptr;
    QList<FaJianLeftData> leftList;
    QList<FaJianRightData> rightList;
    QList<QList<FaJianRightData>> rightLists;
    QList<PrintShopsData> printShops;
    QList<FactorysData> factorys;
    int currentRow = 0;
    QModelIndex currentLeftIndex;
    int m_searchNumber = 0;
};
