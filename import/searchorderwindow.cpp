#include "searchorderwindow.h"

#include "ui_searchorderwindow.h"

#include "calendarpicker.h"
#include "config.h"
#include "fileoperation.h"
#include "importordermodel.h"
#include "ordersearch.h"
#include "prompts.h"
#include "webservice.h"
#include "windowreshow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QStandardItemModel>

#include <algorithm>

namespace {

const int kColumnCount = 13;

bool isChecked(const QStandardItem* item)
{
    bool ok = false;
    const int state = item ? item->data(Qt::CheckStateRole).toInt(&ok) : 0;
    return ok && state == Qt::Checked;
}

QStandardItem* checkableItem(const QString& text)
{
    auto* item = new QStandardItem(text);
    item->setCheckable(true);
    item->setCheckState(Qt::Unchecked);
    return item;
}

} // namespace

SearchOrderWindow::SearchOrderWindow(QWidget* parent) : QDialog(parent), ui(new Ui_SearchOrderWindow)
{
    qRegisterMetaType<QList<ImportOrderModel*>>("QList<ImportOrderModel*>");

    ui->setupUi(this);
    setFocus();
    ui->orderNumber->setFocus();

    ui->selectPathButton->hide();
    ui->pathLineEdit->hide();

    connect(ui->calendar, &QCalendarWidget::clicked, this, &SearchOrderWindow::calendarClickAction);
    // A year typed into the calendar is the year searched; Return in its
    // year box takes the year and searches nothing.
    CalendarPicker::takeTypedYear(ui->calendar);
    connect(ui->addOrdersBtn, &QPushButton::clicked, this, &SearchOrderWindow::addOrdersBtnSlot);

    iniView();
    writeLocalPath();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize desktop = screen->virtualSize();
        resize(static_cast<int>(desktop.width() * 0.8), static_cast<int>(desktop.height() * 0.8));
    }
}

SearchOrderWindow::~SearchOrderWindow()
{
    // Models nobody adopted are still this window's.
    const QList<ImportOrderModel*> created = m_created;
    m_created.clear();
    for (ImportOrderModel* model : created) {
        disconnect(model, nullptr, this, nullptr);
        if (!model->parent())
            delete model;
    }
    orderLst.clear();
    selectLst.clear();
    delete tableMenu;
    delete openDirAction;
    delete ui;
}

void SearchOrderWindow::iniView()
{
    setWindowFlags(Qt::WindowFlags());
    setWindowTitle(QStringLiteral("检索订单 (双击添加订单)"));

    orderModel = new QStandardItemModel(0, kColumnCount, this);
    static const char* const headers[kColumnCount] = {
        QT_TR_NOOP("预约单号"),     QT_TR_NOOP("所属门店"), QT_TR_NOOP("服务次数"),
        QT_TR_NOOP("客人姓名"),     QT_TR_NOOP("摄影师"),   QT_TR_NOOP("化妆师"),
        QT_TR_NOOP("样前对比片师"), QT_TR_NOOP("订单路径"), QT_TR_NOOP("样后修片师"),
        QT_TR_NOOP("套系"),         QT_TR_NOOP("套系金额"), QT_TR_NOOP("订单现售价"),
        QT_TR_NOOP("上件日期")};
    for (int c = 0; c < kColumnCount; ++c)
        orderModel->setHorizontalHeaderItem(c, new QStandardItem(tr(headers[c])));
    ui->tableView->setModel(orderModel);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(orderModel, &QStandardItemModel::itemChanged, this, &SearchOrderWindow::selectAllOrderSlot);

    ui->tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tableView, &QWidget::customContextMenuRequested, this,
            &SearchOrderWindow::showMouseRightButton);
    openDirAction = new QAction(QStringLiteral("打开订单目录"), this);
    connect(openDirAction, &QAction::triggered, this, &SearchOrderWindow::openOrderDir);
    tableMenu = new QMenu(ui->tableView);
    tableMenu->addAction(openDirAction);

    connect(ui->searchButton, &QPushButton::clicked, this, &SearchOrderWindow::clickSearch);
    connect(ui->cancelButton, &QPushButton::clicked, this, &SearchOrderWindow::clickCancel);
}

void SearchOrderWindow::writeLocalPath()
{
    const QStringList paths = FileOperation::readFromDAT(QStringLiteral("path_copyPhotos.dat"), 1);
    if (!paths.isEmpty())
        ui->pathLineEdit->setText(paths.first());
}

void SearchOrderWindow::setStandAlone(bool standAlone)
{
    m_standAlone = standAlone;
    ui->addOrdersBtn->setVisible(!standAlone);
    setWindowTitle(standAlone ? QStringLiteral("检索订单") : QStringLiteral("检索订单 (双击添加订单)"));
}

void SearchOrderWindow::clickSearch()
{
    CalendarPicker::commitTypedYear(ui->calendar);
    const OrderSearch::Request request = OrderSearch::requestFor(
        ui->comboBox->currentIndex(), ui->orderNumber->text(), ui->calendar->selectedDate());
    if (!request.missingText.isEmpty()) {
        Prompts::information(nullptr, QStringLiteral("警告"), request.missingText, Prompts::Yes);
        return;
    }
    if (!request.valid)
        return;

    using T = OrderSearch::Type;
    switch (request.type) {
    case T::OrderId:
        queryOrderByOrderId(request.keyword);
        break;
    case T::PhotoDate:
        queryOrderByPhotoDate(request.keyword);
        break;
    case T::SelectPhotoDate:
        queryOrderBySelectPhotoDate(request.keyword);
        break;
    case T::AppointmentDate:
        queryOrderByAppointmentDate(request.keyword);
        break;
    case T::FetchPhotoDate:
        queryOrderByFetchPhotoDate(request.keyword);
        break;
    case T::SjDate:
        queryOrderBySjDate(request.keyword);
        break;
    case T::Name:
        queryOrderByName(request.keyword);
        break;
    case T::Phone:
        queryOrderByPhotoNumber(request.keyword);
        break;
    }
    ui->searchButton->setEnabled(false);
    ui->searchButton->setText(QStringLiteral("检索中..."));
}

void SearchOrderWindow::clickCancel()
{
    close();
}

void SearchOrderWindow::queryOrderByOrderId(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::OrderId, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderByName(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::Name, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderByPhotoNumber(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::Phone, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderByPhotoDate(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::PhotoDate, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderBySelectPhotoDate(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::SelectPhotoDate, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderByAppointmentDate(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::AppointmentDate, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderByFetchPhotoDate(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::FetchPhotoDate, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::queryOrderBySjDate(QString keyword)
{
    QByteArray data = OrderSearch::body(OrderSearch::Type::SjDate, keyword);
    postDataFunc(data);
}

void SearchOrderWindow::postDataFunc(QByteArray& data)
{
    // One access manager for the window's searches; the search button stays
    // disabled until the reply is handled, so one search is in flight at most.
    if (!manager) {
        manager = new QNetworkAccessManager(this);
        connect(manager, &QNetworkAccessManager::finished, this, &SearchOrderWindow::queryCallBack);
    }
    WebService::post(manager, Config::url_query_order_importphoto, data);
}

void SearchOrderWindow::queryCallBack(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();

    switch (r.kind) {
    case WebService::Reply::Kind::TransportError:
        WebService::showTransportError(nullptr, r, Prompts::Yes);
        break;
    case WebService::Reply::Kind::NotJsonObject:
        qDebug() << "order list reply is not a JSON object";
        break;
    case WebService::Reply::Kind::Refusal:
        Prompts::information(nullptr, QStringLiteral("警告"), QStringLiteral("错误代码：") + r.code,
                             Prompts::Yes);
        break;
    case WebService::Reply::Kind::Success: {
        const QList<QJsonObject> items =
            OrderSearch::orderItems(r.object.value(QLatin1String("data")).toArray());
        if (items.isEmpty()) {
            Prompts::information(nullptr, QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"),
                                 Prompts::Yes);
            break;
        }
        // The previous search's models stay alive: a receiver may hold them.
        orderLst.clear();
        m_orderItems = items;
        for (const QJsonObject& item : items)
            orderLst.append(createModel(item));
        refreshOrderList();
        emit ordersListed();
        break;
    }
    }
    finishSearch();
}

void SearchOrderWindow::finishSearch()
{
    ui->searchButton->setEnabled(true);
    ui->searchButton->setText(QStringLiteral("检索"));
}

ImportOrderModel* SearchOrderWindow::createModel(const QJsonObject& item)
{
    auto* model = new ImportOrderModel(item, nullptr);
    m_created.append(model);
    connect(model, &QObject::destroyed, this, [this, model] { modelDestroyed(model); });
    return model;
}

void SearchOrderWindow::modelDestroyed(ImportOrderModel* model)
{
    m_created.removeAll(model);
    selectLst.removeAll(model);
    for (int i = 0; i < orderLst.size(); ++i) {
        if (orderLst.at(i) == model)
            orderLst[i] = createModel(m_orderItems.value(i));
    }
}

bool SearchOrderWindow::listsOrder(const QString& orderName) const
{
    return std::any_of(orderLst.cbegin(), orderLst.cend(), [&orderName](const ImportOrderModel* model) {
        return model->getOrderName() == orderName;
    });
}

QStringList SearchOrderWindow::listedOrderNames() const
{
    QStringList names;
    for (const ImportOrderModel* model : orderLst)
        names.append(model->getOrderName());
    return names;
}

void SearchOrderWindow::refreshOrderList()
{
    orderModel->removeRows(0, orderModel->rowCount());
    orderModel->setItem(0, 0, checkableItem(QStringLiteral("全选")));

    for (int i = 0; i < orderLst.size(); ++i) {
        const ImportOrderModel* m = orderLst.at(i);
        const QString cells[kColumnCount] = {m->getOrderNum(),   m->getStoresname(),     m->getOrderServNum(),
                                             m->getCustName(),   m->getPhotoer(),        m->getDresser(),
                                             m->getTiaoseName(), m->getOrderPath(),      m->getTiaoxiName(),
                                             m->getTaoxiName(),  m->getOrderBasePrice(), m->getOrderPrice(),
                                             m->getSjTime()};
        const int row = i + 1;
        orderModel->setItem(row, 0, checkableItem(cells[0]));
        for (int c = 1; c < kColumnCount; ++c) {
            auto* item = new QStandardItem(cells[c]);
            if (c != 7)
                item->setTextAlignment(Qt::AlignCenter);
            orderModel->setItem(row, c, item);
        }
    }
}

void SearchOrderWindow::selectAllOrderSlot(QStandardItem* item)
{
    if (orderLst.isEmpty() || !orderModel->item(1, 0) || item != orderModel->item(0, 0))
        return;

    bool ok = false;
    const int state = item->data(Qt::CheckStateRole).toInt(&ok);
    Qt::CheckState target;
    if (ok && state == Qt::Checked) {
        qDebug() << "select all!";
        target = Qt::Checked;
    } else if (!ok || state == Qt::Unchecked) {
        qDebug() << "unselect all!";
        target = Qt::Unchecked;
    } else {
        return;
    }
    for (int row = 1; row < orderModel->rowCount(); ++row) {
        if (QStandardItem* rowItem = orderModel->item(row, 0))
            rowItem->setCheckState(target);
    }
}

void SearchOrderWindow::addOrdersBtnSlot()
{
    selectLst.clear();
    for (int i = 0; i < orderLst.size(); ++i) {
        if (isChecked(orderModel->item(i + 1, 0)))
            selectLst.append(orderLst.at(i));
    }
    if (!selectLst.isEmpty()) {
        emit addSelectOrderSigl(selectLst);
        return;
    }
    Prompts::information(this, QStringLiteral("提示"), QStringLiteral("请选择导入的订单"), Prompts::Ok);
}

ImportOrderModel* SearchOrderWindow::orderAtRow(int row) const
{
    if (row < 1 || row > orderLst.size())
        return nullptr;
    return orderLst.at(row - 1);
}

void SearchOrderWindow::on_tableView_doubleClicked(QModelIndex index)
{
    if (m_standAlone)
        return; // nobody to hand the order to; the row is selected
    selectLst.clear();
    qDebug() << "double-clicked row" << index.row();
    ImportOrderModel* model = orderAtRow(index.row());
    if (!model)
        return;
    selectLst.append(model);
    qDebug() << "order path" << model->getOrderPath();
    emit addSelectOrderSigl(selectLst);
}

void SearchOrderWindow::showMouseRightButton(QPoint pos)
{
    Q_UNUSED(pos)
    const int row = ui->tableView->currentIndex().row();
    qDebug() << "context menu on row" << row;
    const ImportOrderModel* model = orderAtRow(row);
    if (!model)
        return;
    openDirAction->setEnabled(!model->getOrderPath().isEmpty());
    const QJsonObject item = m_orderItems.value(row - 1);
    for (const RowAction& entry : qAsConst(m_rowActions))
        entry.action->setEnabled(!entry.isEnabled || entry.isEnabled(item));
    tableMenu->popup(QCursor::pos());
}

QAction* SearchOrderWindow::addRowAction(const QString& text, RowTest isEnabled, RowRun run)
{
    auto* action = new QAction(text, this);
    connect(action, &QAction::triggered, this, [this, run] {
        const int row = ui->tableView->currentIndex().row();
        if (run && orderAtRow(row))
            run(m_orderItems.value(row - 1));
    });
    tableMenu->addAction(action);
    m_rowActions.append({action, std::move(isEnabled)});
    return action;
}

void SearchOrderWindow::openOrderDir()
{
    const ImportOrderModel* model = orderAtRow(ui->tableView->currentIndex().row());
    if (!model)
        return;
    FileOperation::openOrderFolder(model->getOrderPath(), this);
}

void SearchOrderWindow::calendarClickAction()
{
    ui->searchButton->setFocus();
}

void SearchOrderWindow::on_comboBox_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    // Hiding and showing again lays the window out anew, in the state and
    // place it had; a window not shown yet is left hidden.
    if (!isVisible())
        return;
    reshowKeepingState(*this);
}

void SearchOrderWindow::on_selectPathButton_clicked()
{
    const QString dir = Prompts::instance().getExistingDirectory(this, tr("选择分件保存路径"), QString());
    if (!dir.isEmpty())
        ui->pathLineEdit->setText(dir);
}

void SearchOrderWindow::importClosed()
{
    show();
}

void SearchOrderWindow::paintEvent(QPaintEvent* event)
{
    // The shares of the table's width, but never less than a header needs
    // to show its whole text ("样前对比片师").
    const QVector<int> widths = OrderSearch::columnWidths(ui->tableView->width());
    const QHeaderView* header = ui->tableView->horizontalHeader();
    for (int c = 0; c < widths.size() && c < orderModel->columnCount(); ++c)
        ui->tableView->setColumnWidth(c, qMax(widths.at(c), header->sectionSizeHint(c)));
    QDialog::paintEvent(event);
}

void SearchOrderWindow::closeEvent(QCloseEvent* event)
{
    emit closeSignal();
    QDialog::closeEvent(event);
}
