#include "shangjiandialog.h"

#include "ui_shangjiandialog.h"

#include "config.h"
#include "pendingrecords.h"
#include "prompts.h"
#include "webservice.h"

#include <QDebug>
#include <QJsonArray>
#include <QNetworkReply>
#include <QStandardItemModel>

namespace {

// Carried by each request, read when its reply is handled.
const char* const kToLeft = "searchToLeft";
const char* const kFromScan = "fromScan";

enum Criterion
{
    ByOrderNumber,
    ByPhotoDate,
    BySelectPhotoDate,
    ByAppointmentDate,
    ByFetchPhotoDate,
    ByUploadDate,
    ByName,
    ByPhone
};

QStandardItemModel* tableModel(const QStringList& headers, QObject* parent)
{
    auto* model = new QStandardItemModel(0, headers.size(), parent);
    model->setHorizontalHeaderLabels(headers);
    return model;
}

} // namespace

ShangJianDialog::ShangJianDialog(QWidget* parent) : OrderDesk(parent), ui(new Ui_ShangJianDialog)
{
    ui->setupUi(this);
    initView();
    setFields({ui->lineEdit, ui->lineEdit_orderid, ui->lineEdit_orderid2, ui->pushButton, ui->pushButton_2,
               ByUploadDate});
}

ShangJianDialog::~ShangJianDialog()
{
    delete ui;
}

void ShangJianDialog::initView()
{
    setWindowFlags(Qt::WindowFlags());
    setWindowTitle(QStringLiteral("上件管理"));

    leftModel = tableModel(ShangJian::leftHeaders(), this);
    rightModel = tableModel(ShangJian::rightHeaders(), this);
    for (QTableView* view : {ui->tableView_left, ui->tableView_right}) {
        view->setModel(view == ui->tableView_left ? leftModel : rightModel);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    ui->tableView_left->setColumnWidth(0, 200);
    ui->tableView_left->setColumnWidth(1, 150);
    ui->tableView_right->setColumnWidth(0, 200);
    ui->tableView_right->setColumnWidth(4, 150);
}

void ShangJianDialog::scanEntered(const QString& text)
{
    fromScan = true;
    postShangJian(text);
}

void ShangJianDialog::orderSearchRequested()
{
    on_pushButton_clicked();
}

void ShangJianDialog::criterionSearchRequested()
{
    on_pushButton_2_clicked();
}

void ShangJianDialog::on_pushButton_clicked()
{
    const QString orderKey = ui->lineEdit_orderid->text();
    if (orderKey.trimmed().isEmpty()) {
        refuseEmptyOrderNumber();
        return;
    }
    queryOrderByOrderPayForKey(orderKey, true);
    setSearchBusy(ui->pushButton, true);
}

void ShangJianDialog::on_pushButton_2_clicked()
{
    searchToLeft = false;
    const int index = ui->comboBox->currentIndex();
    const QString text = ui->lineEdit_orderid2->text();
    if (refuseEmptyCriterion(index, text))
        return;
    switch (index) {
    case ByOrderNumber:
        queryOrderByOrderPayForKey(text, false);
        break;
    case ByPhotoDate:
        queryOrderByPhotoDate(text);
        break;
    case BySelectPhotoDate:
        queryOrderBySelectPhotoDate(text);
        break;
    case ByAppointmentDate:
        queryOrderByAppointmentDate(text);
        break;
    case ByFetchPhotoDate:
        queryOrderByFetchPhotoDate(text);
        break;
    case ByUploadDate:
        queryOrderByShangjianDate(text);
        break;
    case ByName:
        queryOrderByName(text);
        break;
    case ByPhone:
        queryOrderByPhotoNumber(text);
        break;
    default:
        return;
    }
    setSearchBusy(ui->pushButton_2, true);
}

void ShangJianDialog::on_comboBox_currentIndexChanged(int index)
{
    criterionChanged(index);
}

void ShangJianDialog::on_pushButton_3_clicked()
{
    exportTable(ui->tableView_right, windowTitle());
}

void ShangJianDialog::queryOrderByOrderPayForKey(QString orderKey, bool toLeft)
{
    QByteArray body = ShangJian::orderNumberBody(orderKey);
    searchToLeft = toLeft;
    postDataFunc(body);
}

void ShangJianDialog::queryOrderByPhotoDate(QString date)
{
    QByteArray body = ShangJian::criterionBody(4, date);
    postDataFunc(body);
}

void ShangJianDialog::queryOrderBySelectPhotoDate(QString date)
{
    QByteArray body = ShangJian::criterionBody(5, date);
    postDataFunc(body);
}

void ShangJianDialog::queryOrderByAppointmentDate(QString date)
{
    QByteArray body = ShangJian::criterionBody(6, date);
    postDataFunc(body);
}

void ShangJianDialog::queryOrderByFetchPhotoDate(QString date)
{
    QByteArray body = ShangJian::criterionBody(7, date);
    postDataFunc(body);
}

void ShangJianDialog::queryOrderByShangjianDate(QString date)
{
    QByteArray body = ShangJian::criterionBody(9, date);
    qDebug() << "queryOrderByShangjianDate" << body;
    postDataFunc(body);
}

void ShangJianDialog::queryOrderByName(QString name)
{
    QByteArray body = ShangJian::criterionBody(2, name);
    postDataFunc(body);
}

void ShangJianDialog::queryOrderByPhotoNumber(QString phone)
{
    QByteArray body = ShangJian::criterionBody(3, phone);
    postDataFunc(body);
}

void ShangJianDialog::postDataFunc(QByteArray& body)
{
    QNetworkReply* reply = postForm(Config::url_query_order_importphoto, body);
    reply->setProperty(kToLeft, searchToLeft);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { queryCallBack(reply); });
}

void ShangJianDialog::queryCallBack(QNetworkReply* reply)
{
    const bool toLeft = reply->property(kToLeft).toBool();
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();

    if (!WebService::reportFailure(r, QStringLiteral("错误代码：") + r.code, Prompts::Yes)) {
        qDebug().noquote() << "shangjian search Json:" << r.body;
        const QJsonArray data = r.object.value(QLatin1String("data")).toArray();
        if (data.isEmpty()) {
            notice(QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"));
        } else if (toLeft) {
            searchToLeft = false;
            for (const QJsonValue& item : data)
                ShangJian::addToLeft(leftDataList, ShangJian::leftFromSearch(item.toObject()));
            refreshLeftTable();
        } else {
            for (const QJsonValue& item : data)
                ShangJian::putSearchResult(rightDataList, ShangJian::rightFromSearch(item.toObject()));
            refreshRightTable();
        }
    }
    restoreSearchButtons();
}

void ShangJianDialog::refreshLeftTable()
{
    QList<QStringList> rows;
    for (const ShangJianLeftData& entry : qAsConst(leftDataList))
        rows.append(ShangJian::leftCells(entry));
    setCentredRows(leftModel, rows);
}

void ShangJianDialog::refreshRightTable()
{
    QList<QStringList> rows;
    for (const ShangJianRightData& entry : qAsConst(rightDataList))
        rows.append(ShangJian::rightCells(entry));
    setCentredRows(rightModel, rows);
}

void ShangJianDialog::on_tableView_left_doubleClicked(QModelIndex index)
{
    const int row = index.row();
    if (row < 0 || row >= leftDataList.size())
        return;
    fromScan = false;
    qDebug() << "leftDataList[row].orderID" << leftDataList.at(row).orderID;
    postShangJian(leftDataList.at(row).orderID);
    leftDataList.removeAt(row);
    refreshLeftTable();
}

void ShangJianDialog::postShangJian(QString orderPhotoId)
{
    // Named, once the window has closed, as the left table names it, or as
    // it was scanned.
    QString order = orderPhotoId;
    for (const ShangJianLeftData& entry : qAsConst(leftDataList)) {
        if (!fromScan && entry.orderID == orderPhotoId)
            order = entry.orderNo;
    }
    // The mark runs to its answer though the window closes meanwhile.
    QNetworkReply* reply = PendingRecords::instance().postRecord(
        this, Config::url_post_shangjian, ShangJian::markBody(orderPhotoId),
        [this](QNetworkReply* answered) { queryShangjianCallBack(answered); },
        [order](const WebService::Reply& r) {
            const bool taken = r.kind == WebService::Reply::Kind::Refusal && r.code == QLatin1String("1002");
            const QString failure = taken ? QString() : WebService::recordFailureText(r, r.message);
            return failure.isEmpty() ? QString() : QStringLiteral("上件失败：%1\n%2").arg(order, failure);
        });
    reply->setProperty(kFromScan, fromScan);
}

void ShangJianDialog::queryShangjianCallBack(QNetworkReply* reply)
{
    const bool scanned = reply->property(kFromScan).toBool();
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();

    if (r.kind == WebService::Reply::Kind::TransportError) {
        WebService::showTransportError(nullptr, r, Prompts::Yes);
        return;
    }
    qDebug().noquote() << "shangjian back Json:" << r.body;
    if (r.kind == WebService::Reply::Kind::NotJsonObject) {
        // The mark may or may not have been recorded, and a double-clicked
        // order has already left the left table: told like a lost reply,
        // so staff mark the order again.
        WebService::showTransportError(nullptr, r, Prompts::Yes);
    } else {
        const bool marked = r.code == QLatin1String("1");
        const bool markedBefore = r.code == QLatin1String("1002");
        if (!marked && !markedBefore) {
            notice(QStringLiteral("警告"), r.message);
            return;
        }
        // A scan that worked needs no box: the next scan follows at once.
        if (markedBefore || !scanned)
            notice(QStringLiteral("提示"), r.message);
        const QJsonValue order = r.object.value(QLatin1String("order"));
        if (order.isObject()) {
            ShangJian::putMarkResult(rightDataList, ShangJian::rightFromMark(order.toObject()));
            refreshRightTable();
        }
    }
    setSearchBusy(ui->pushButton_2, false);
}
