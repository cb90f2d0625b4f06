#pragma once

#include <QDialog>
#include <QJsonObject>
#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QString>

#include <functional>

class ImportOrderModel;
class QAction;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QStandardItem;
class QStandardItemModel;
class Ui_SearchOrderWindow;

// The import order search: finds orders on the web service by order number,
// one of five dates, customer name or telephone, lists them with check boxes
// and hands the checked orders (or one double-clicked order) on through
// addSelectOrderSigl. It stays open after handing orders on.
//
// Ownership of the order models:
// - Every ImportOrderModel this window creates is parentless and belongs to
//   the window until someone adopts it.
// - A receiver of addSelectOrderSigl that keeps a model adopts it by giving it
//   a parent (QObject::setParent) before its slot returns; from then on the
//   model is the receiver's and is deleted when the receiver decides. A model
//   the receiver does not keep is simply left alone.
// - When the window is destroyed it deletes the models it created that nobody
//   adopted; adopted ones are not touched.
// - A receiver may keep a model it no longer lists while a window lists its
//   order (listsOrder(), ordersListed), so that the order handed on again,
//   by any model of it, comes back as the receiver left it.
// - When an adopted model is deleted while this window still lists it, the
//   window puts a fresh model built from the same reply item in its place, so
//   the table stays as it was and the window never hands on or reads a
//   deleted model.
// So no model is deleted while this window may still hand it on, and no
// pointer dangles, whichever window closes first.
class SearchOrderWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SearchOrderWindow(QWidget* parent = nullptr);
    ~SearchOrderWindow() override;

    // One search each; the keyword is sent as given.
    void queryOrderByOrderId(QString keyword);
    void queryOrderByName(QString keyword);
    void queryOrderByPhotoNumber(QString keyword);
    void queryOrderByPhotoDate(QString keyword);
    void queryOrderBySelectPhotoDate(QString keyword);
    void queryOrderByAppointmentDate(QString keyword);
    void queryOrderByFetchPhotoDate(QString keyword);
    void queryOrderBySjDate(QString keyword);

    // Posts one search body to the order-list route.
    void postDataFunc(QByteArray& data);
    // Rebuilds the table from the last search's orders.
    void refreshOrderList();
    // Shows the first entry of "path_copyPhotos.dat" in the path field.
    void writeLocalPath();
    // Opened on its own, with no window to receive orders: the add button
    // is hidden, the title is "检索订单" and a double-click only selects.
    void setStandAlone(bool standAlone);

    // Adds an entry to the row menu, after "打开订单目录", for tools that
    // work on one order. When the menu opens on an order's row, isEnabled
    // tells whether the entry applies to it; choosing the entry calls run
    // with the row's order as the order list sent it.
    using RowTest = std::function<bool(const QJsonObject& item)>;
    using RowRun = std::function<void(const QJsonObject& item)>;
    QAction* addRowAction(const QString& text, RowTest isEnabled, RowRun run);

    // Whether the last search lists the order ("<order number>-<service count>").
    bool listsOrder(const QString& orderName) const;
    // The orders the last search lists, so named.
    QStringList listedOrderNames() const;

signals:
    void closeSignal();
    // The picked orders; see the ownership notes above.
    void addSelectOrderSigl(QList<ImportOrderModel*> selectLst);
    // A search's orders have replaced the listed ones.
    void ordersListed();

public slots:
    void clickSearch();
    void clickCancel();
    void queryCallBack(QNetworkReply* reply);
    void addOrdersBtnSlot();
    void on_tableView_doubleClicked(QModelIndex index);
    void selectAllOrderSlot(QStandardItem* item);
    void showMouseRightButton(QPoint pos);
    void openOrderDir();
    void calendarClickAction();
    void on_comboBox_currentIndexChanged(int index);
    void on_selectPathButton_clicked();
    void importClosed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void iniView();
    // The order of a table row (1 .. n), or nullptr for the check-all row and
    // rows out of range.
    ImportOrderModel* orderAtRow(int row) const;
    ImportOrderModel* createModel(const QJsonObject& item);
    void modelDestroyed(ImportOrderModel* model);
    void finishSearch();

    QAction* openDirAction = nullptr;
    QMenu* tableMenu = nullptr;
    QList<ImportOrderModel*> orderLst;
    QList<ImportOrderModel*> selectLst;
    Ui_SearchOrderWindow* ui = nullptr;
    QStandardItemModel* orderModel = nullptr;
    QNetworkAccessManager* manager = nullptr;

    // The reply items of orderLst, same order, to rebuild a model whose
    // adopter deleted it.
    QList<QJsonObject> m_orderItems;
    // Every model this window created and that still exists.
    QList<ImportOrderModel*> m_created;
    bool m_standAlone = false;

    struct RowAction
    {
        QAction* action;
        RowTest isEnabled;
    };
    QList<RowAction> m_rowActions;
};
