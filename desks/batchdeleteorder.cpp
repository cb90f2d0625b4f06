#include "batchdeleteorder.h"

#include "ui_batchdeleteorder.h"

#include "calendarpicker.h"
#include "config.h"
#include "fileoperation.h"
#include "formbody.h"
#include "namecleaning.h"
#include "ordertablecheck.h"
#include "prompts.h"
#include "webservice.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardItemModel>

namespace {

const int kColumnCount = 14;

const char* const kHeaders[kColumnCount] = {"分件",   "预约单号", "所属门店",   "服务次数",     "客人姓名",
                                            "摄影师", "化妆师",   "设计师",     "样前对比片师", "样后修片师",
                                            "套系",   "套系金额", "订单现售价", "订单路径"};

QStringList cellTexts(const order& record)
{
    return {QString(),          record.orderpayforkey, record.storesname, record.servicetimes,
            record.customer,    record.role1,          record.role2,      record.role10,
            record.tiaosename,  record.tiaoxiname,     record.comboname,  record.orderbaseprice,
            record.order_price, record.orderpath};
}

} // namespace

BatchDeleteOrder::BatchDeleteOrder(QWidget* parent)
    : QDialog(parent), ui(new Ui_BatchDeleteOrder), manager(new QNetworkAccessManager(this))
{
    ui->setupUi(this);
    setWindowFlags(Qt::WindowFlags());

    model = new QStandardItemModel(0, kColumnCount, this);
    for (int c = 0; c < kColumnCount; ++c)
        model->setHorizontalHeaderItem(c, new QStandardItem(QString::fromUtf8(kHeaders[c])));
    ui->tableView->setModel(model);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(ui->searchButton, SIGNAL(clicked()), this, SLOT(clickSearch()));
    // A year typed into a calendar is the year searched; Return in its year
    // box takes the year there and searches nothing.
    CalendarPicker::takeTypedYear(ui->calendar);
    CalendarPicker::takeTypedYear(ui->calendar_2);
    connect(ui->cancelButton, SIGNAL(clicked()), this, SLOT(clickCancel()));

    ui->tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tableView, SIGNAL(customContextMenuRequested(QPoint)), this,
            SLOT(showMouseRightButton(QPoint)));
    openDirAction = new QAction(QStringLiteral("打开订单目录"), this);
    connect(openDirAction, SIGNAL(triggered()), this, SLOT(openOrderDir()));
    tableMenu = new QMenu(ui->tableView);
    tableMenu->addAction(openDirAction);

    ui->progressBar->setValue(0);
    ui->progressBar->hide();
    ui->label->hide();
    ui->label_finishOrdersNum->hide();
    ui->groupBox->hide();

    m_deletion.setDisplay(ui->groupBox, ui->progressBar, ui->label);
    connect(&m_deletion, &DeletionRun::deleted, this, &BatchDeleteOrder::updatedata);
    connect(&m_deletion, &DeletionRun::progressed, this, [this](int finished, int) { deletenum = finished; });
    connect(&m_deletion, &DeletionRun::ended, this, [this](bool) {
        checkOrdersNum = 0;
        deletenum = 0;
        ui->pushButton_separate->setEnabled(true);
    });
}

BatchDeleteOrder::~BatchDeleteOrder()
{
    // m_deletion waits for its running workers when it goes.
    delete tableMenu;
    delete openDirAction;
    delete ui;
}

QByteArray BatchDeleteOrder::searchBody(const QDate& start, const QDate& end)
{
    return FormBody()
        .add("token", Config::token)
        .add("shopid", Config::shop_id)
        .add("eid", Config::manager_id)
        .add("personid", Config::manager_id)
        .add("uid", Config::uid)
        .add("superid", Config::super_id)
        .add("starttime", start.toString(QStringLiteral("yyyy-MM-dd")))
        .add("endtime", end.toString(QStringLiteral("yyyy-MM-dd")));
}

QVector<int> BatchDeleteOrder::columnWidths(int tableWidth)
{
    const double w = tableWidth;
    QVector<int> widths(kColumnCount);
    auto part = [](double share, double rest) { return static_cast<int>(share * rest); };
    if (w * 0.13 >= 130.0) {
        const double rest = w - 60;
        widths[0] = 60;
        widths[1] = part(0.13, rest);
        for (int c : {2, 4, 5, 6, 7})
            widths[c] = part(0.09, rest);
        widths[3] = part(0.06, rest);
        for (int c = 8; c <= 12; ++c)
            widths[c] = part(0.1, rest);
        widths[13] = part(0.32, rest);
    } else {
        const double rest = w - 190;
        widths[0] = 60;
        widths[1] = 130;
        for (int c : {2, 4, 5, 6})
            widths[c] = part(0.113, rest);
        widths[3] = part(0.06, rest);
        widths[7] = part(0.1243, rest);
        for (int c = 8; c <= 12; ++c)
            widths[c] = part(0.12143, rest);
        widths[13] = part(0.4, rest);
    }
    return widths;
}

void BatchDeleteOrder::paintEvent(QPaintEvent* event)
{
    const QVector<int> widths = columnWidths(ui->tableView->width());
    for (int c = 0; c < widths.size(); ++c) {
        if (widths.at(c) >= 0)
            ui->tableView->setColumnWidth(c, widths.at(c));
    }
    QDialog::paintEvent(event);
}

void BatchDeleteOrder::clickCancel()
{
    close();
}

void BatchDeleteOrder::clickSearch()
{
    CalendarPicker::commitTypedYear(ui->calendar);
    CalendarPicker::commitTypedYear(ui->calendar_2);
    const QDate start = ui->calendar->selectedDate();
    const QDate end = ui->calendar_2->selectedDate();
    if (m_searching)
        return;
    ui->searchButton->setEnabled(false);
    ui->searchButton->setText(QStringLiteral("检索中..."));
    QByteArray body = searchBody(start, end);
    m_searching = true;
    postDataFunc(body);
}

void BatchDeleteOrder::postDataFunc(QByteArray& body)
{
    QNetworkReply* reply = WebService::post(manager, Config::url_query_order_finishorderdate, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { queryCallBack(reply); });
}

void BatchDeleteOrder::queryCallBack(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();

    if (!WebService::reportFailure(r, QStringLiteral("检索错误：") + r.code, Prompts::Yes)) {
        // A run going on keeps its own copy of the orders it deletes.
        orderList = ordersFromListReply(r.object, OrderListFill::batchDeletion());
        refreshOrderList();
        if (orderList.isEmpty())
            Prompts::information(nullptr, QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"),
                                 Prompts::Yes);
    }
    ui->searchButton->setEnabled(true);
    ui->searchButton->setText(QStringLiteral("检索"));
    m_searching = false;
}

void BatchDeleteOrder::refreshOrderList()
{
    model->removeRows(0, model->rowCount());
    for (int row = 0; row < orderList.size(); ++row) {
        const order& record = orderList.at(row);
        const QStringList texts = cellTexts(record);
        for (int c = 0; c < kColumnCount; ++c) {
            auto* item = new QStandardItem(texts.at(c));
            if (c == 0)
                item->setData(record.isChecked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
            if (c != 13)
                item->setTextAlignment(Qt::AlignCenter);
            model->setItem(row, c, item);
        }
    }
}

bool BatchDeleteOrder::isSelectOrder()
{
    return OrderTableCheck::anyChecked(orderList);
}

void BatchDeleteOrder::on_tableView_clicked(QModelIndex index)
{
    OrderTableCheck::toggle(orderList, model, ui->tableView, index);
}

void BatchDeleteOrder::on_tableView_doubleClicked(QModelIndex index)
{
    Q_UNUSED(index)
}

void BatchDeleteOrder::on_pushButton_selectAll_clicked()
{
    OrderTableCheck::selectAll(orderList, model);
}

void BatchDeleteOrder::on_pushButton_selectOpposite_clicked()
{
    OrderTableCheck::invert(orderList, model);
}

void BatchDeleteOrder::showMouseRightButton(QPoint pos)
{
    Q_UNUSED(pos)
    const int row = ui->tableView->currentIndex().row();
    if (row < 0 || row >= orderList.size())
        return;
    openDirAction->setEnabled(!orderList.at(row).orderpath.isEmpty());
    tableMenu->popup(QCursor::pos());
}

void BatchDeleteOrder::openOrderDir()
{
    const int row = ui->tableView->currentIndex().row();
    if (row < 0 || row >= orderList.size())
        return;
    FileOperation::openOrderFolder(orderList.at(row).orderpath, this);
}

void BatchDeleteOrder::showWidget()
{
    show();
}

void BatchDeleteOrder::onReadyRead()
{
    // Nothing is downloaded here.
}

void BatchDeleteOrder::on_pushButton_separate_clicked()
{
    if (!isSelectOrder()) {
        Prompts::information(nullptr, QString(), QStringLiteral("请选择订单"), Prompts::Yes);
        return;
    }
    checkOrdersNum = 0;
    for (const order& record : qAsConst(orderList)) {
        if (record.isChecked)
            ++checkOrdersNum;
    }
    startDel();
}

void BatchDeleteOrder::startDel()
{
    const int count = m_deletion.start(orderList);
    if (count < 0)
        return;
    checkOrdersNum = count;
    deletenum = 0;
    // A second click during a run would start workers on the same folders.
    ui->pushButton_separate->setEnabled(count == 0);
}

void BatchDeleteOrder::updatedata(QString orderId, QString deleteDir)
{
    submitDeleteMessage(orderId, deleteDir);
}

void BatchDeleteOrder::submitDeleteMessage(QString orderId, QString deleteDir)
{
    // The log runs to its answer though the window closes meanwhile.
    m_deletion.postLog(this, orderId, deleteDir,
                       [this](QNetworkReply* reply) { submitDeleteMessageCallBack(reply); });
}

void BatchDeleteOrder::submitDeleteMessageCallBack(QNetworkReply* reply)
{
    DeletionRun::reportLogReply(reply);
    reply->deleteLater();
}

QString BatchDeleteOrder::replaceString(QString text)
{
    return NameCleaning::replaceString(text);
}

bool BatchDeleteOrder::refuseWhileDeleting()
{
    if (!m_deletion.isRunning())
        return false;
    Prompts::information(nullptr, QStringLiteral("通知"), QStringLiteral("正在删除，请稍后"), Prompts::Yes);
    return true;
}

void BatchDeleteOrder::closeEvent(QCloseEvent* event)
{
    if (refuseWhileDeleting()) {
        event->ignore();
        return;
    }
    qDebug() << "要关闭窗口了";
    event->accept();
}

void BatchDeleteOrder::reject()
{
    if (refuseWhileDeleting())
        return;
    QDialog::reject();
}
