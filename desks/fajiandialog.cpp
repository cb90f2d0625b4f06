#include "fajiandialog.h"

#include "ui_fajiandialog.h"

#include "barcodepicture.h"
#include "config.h"
#include "filenames.h"
#include "labelprinter.h"
#include "pendingrecords.h"
#include "prompts.h"
#include "webservice.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QHeaderView>
#include <QJsonArray>
#include <QNetworkReply>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardItemModel>
#include <QTextDocument>

namespace {

// Carried by each products request and dispatch.
const char* const kOrderId = "orderid";
const char* const kSearchNumber = "searchNumber";

const int kPrintShopColumn = 8;
const int kFactoryColumn = 10;
const int kLabelColumn = 12;

// The box of a refused dispatch.
QString dispatchRefusalText(const WebService::Reply& reply)
{
    return QStringLiteral("提交发件错误：") + reply.code;
}

QString entryId(const PrintShopsData& shop)
{
    return shop.id;
}

QString entryId(const FactorysData& factory)
{
    return factory.id;
}

} // namespace

FaJianDialog::FaJianDialog(QWidget* parent) : OrderDesk(parent), ui(new Ui_FaJianDialog)
{
    ui->setupUi(this);
    initView();
    setFields({ui->lineEdit, ui->lineEdit_orderid, ui->lineEdit_orderid2, ui->pushButton, ui->pushButton_2,
               FaJian::ByFetchDate});
}

FaJianDialog::~FaJianDialog()
{
    delete ui;
}

void FaJianDialog::initView()
{
    setWindowFlags(Qt::WindowFlags());
    setWindowTitle(QStringLiteral("发件管理"));

    leftModel = new QStandardItemModel(0, FaJian::leftHeaders().size(), this);
    leftModel->setHorizontalHeaderLabels(FaJian::leftHeaders());
    ui->tableView_left->setModel(leftModel);
    ui->tableView_left->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView_left->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableView_left->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The order number is what staff look for: never cut short.
    ui->tableView_left->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    const QStringList headers = FaJian::rightHeaders();
    ui->tableWidget->setColumnCount(headers.size());
    ui->tableWidget->setHorizontalHeaderLabels(headers);
    ui->tableWidget->setRowCount(0);
    ui->tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableWidget->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableWidget->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void FaJianDialog::paintEvent(QPaintEvent* event)
{
    const QVector<int> widths =
        FaJian::rightColumnWidths(ui->tableWidget->width(), ui->tableWidget->columnCount());
    for (int c = 0; c < widths.size() && c < ui->tableWidget->columnCount(); ++c)
        ui->tableWidget->setColumnWidth(c, widths.at(c));
    OrderDesk::paintEvent(event);
}

void FaJianDialog::scanEntered(const QString& text)
{
    queryOrderByOrderID(text);
}

void FaJianDialog::orderSearchRequested()
{
    on_pushButton_clicked();
}

void FaJianDialog::criterionSearchRequested()
{
    on_pushButton_2_clicked();
}

void FaJianDialog::onEnterScanCodeEdit()
{
    qDebug() << "received";
}

void FaJianDialog::on_comboBox_currentIndexChanged(int index)
{
    criterionChanged(index);
}

// Searches

void FaJianDialog::on_pushButton_clicked()
{
    const QString orderKey = ui->lineEdit_orderid->text();
    if (orderKey.trimmed().isEmpty()) {
        refuseEmptyOrderNumber();
        return;
    }
    ui->lineEdit_orderid->selectAll();
    // Adds to the orders listed.
    queryOrderByOrderPayForKey(orderKey);
    setSearchBusy(ui->pushButton, true);
}

void FaJianDialog::on_pushButton_2_clicked()
{
    const QString text = ui->lineEdit_orderid2->text().trimmed();
    const int index = ui->comboBox->currentIndex();
    if (refuseEmptyCriterion(index, text))
        return;
    // A criterion search replaces the orders listed.
    clearOrders();
    switch (index) {
    case FaJian::ByOrderNumber:
        queryOrderByOrderPayForKey(text);
        break;
    case FaJian::ByPhotoDate:
        queryOrderByPhotoDate(text);
        break;
    case FaJian::BySampleDate:
        queryOrderBySelectPhotoDate(text);
        break;
    case FaJian::ByAppointmentDate:
        queryOrderByAppointmentDate(text);
        break;
    case FaJian::ByFetchDate:
        queryOrderByFetchPhotoDate(text);
        break;
    case FaJian::ByName:
        queryOrderByName(text);
        break;
    case FaJian::ByPhone:
        queryOrderByPhoneNumber(text);
        break;
    default:
        return;
    }
    setSearchBusy(ui->pushButton_2, true);
}

void FaJianDialog::clearOrders()
{
    leftList.clear();
    rightLists.clear();
    rightList.clear();
    ++m_searchNumber;
    currentRow = 0;
    currentLeftIndex = QModelIndex();
    refreshLeftTable();
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
    ui->label_currentID->setText(QStringLiteral("当前单号："));
}

void FaJianDialog::queryOrderByOrderPayForKey(QString orderKey)
{
    QByteArray body = FaJian::searchBody(FaJian::ByOrderNumber, orderKey);
    postDataFunc(body);
}

void FaJianDialog::queryOrderByPhotoDate(QString date)
{
    QByteArray body = FaJian::searchBody(FaJian::ByPhotoDate, date);
    postDataFunc(body);
}

void FaJianDialog::queryOrderBySelectPhotoDate(QString date)
{
    QByteArray body = FaJian::searchBody(FaJian::BySampleDate, date);
    postDataFunc(body);
}

void FaJianDialog::queryOrderByAppointmentDate(QString date)
{
    QByteArray body = FaJian::searchBody(FaJian::ByAppointmentDate, date);
    postDataFunc(body);
}

void FaJianDialog::queryOrderByFetchPhotoDate(QString date)
{
    QByteArray body = FaJian::searchBody(FaJian::ByFetchDate, date);
    postDataFunc(body);
}

void FaJianDialog::queryOrderByName(QString name)
{
    QByteArray body = FaJian::searchBody(FaJian::ByName, name);
    postDataFunc(body);
}

void FaJianDialog::queryOrderByPhoneNumber(QString phone)
{
    QByteArray body = FaJian::searchBody(FaJian::ByPhone, phone);
    postDataFunc(body);
}

void FaJianDialog::postDataFunc(QByteArray& body)
{
    QNetworkReply* reply = postForm(Config::url_query_order_importphoto, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { queryCallBack(reply); });
}

void FaJianDialog::queryOrderByOrderID(QString orderId)
{
    QNetworkReply* reply = postForm(Config::url_query_getorderbyid, FaJian::orderByIdBody(orderId));
    connect(reply, &QNetworkReply::finished, this, [this, reply] { queryOrderIDCallBack(reply); });
}

void FaJianDialog::queryCallBack(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    if (!WebService::reportFailure(r, QStringLiteral("错误代码：") + r.code, Prompts::Yes)) {
        printShops = FaJian::printShopsFrom(r.object.value(QLatin1String("printshops")).toArray(), true);
        factorys = FaJian::factorysFrom(r.object.value(QLatin1String("factorys")).toArray(), true);
        const QJsonArray orders = r.object.value(QLatin1String("order")).toArray();
        if (orders.isEmpty()) {
            notice(QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"));
        } else {
            for (const QJsonValue& item : orders)
                FaJian::addOrder(leftList, FaJian::orderFromSearch(item.toObject()));
            // Every listed order's products are asked for again; answers
            // to earlier requests are dropped.
            ++m_searchNumber;
            rightLists.clear();
            rightList.clear();
            growProductLists();
            for (const FaJianLeftData& order : qAsConst(leftList))
                postQueryProducts(order.orderid);
            refreshLeftTable();
        }
    }
    restoreSearchButtons();
}

void FaJianDialog::queryOrderIDCallBack(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    if (r.kind == WebService::Reply::Kind::TransportError) {
        WebService::showTransportError(nullptr, r, Prompts::Yes);
        return;
    }
    if (r.kind == WebService::Reply::Kind::Refusal) {
        notice(QStringLiteral("警告"), r.message);
        return;
    }
    if (r.kind == WebService::Reply::Kind::Success) {
        const QJsonArray shops = r.object.value(QLatin1String("printshops")).toArray();
        const QJsonArray factories = r.object.value(QLatin1String("factorys")).toArray();
        if (shops.isEmpty() || factories.isEmpty()) {
            notice(QStringLiteral("提示"), QStringLiteral("后台没有设置冲印公司或后期工厂"));
        } else {
            printShops = FaJian::printShopsFrom(shops, false);
            factorys = FaJian::factorysFrom(factories, false);
        }
        const QJsonObject order = r.object.value(QLatin1String("order")).toObject();
        if (order.isEmpty()) {
            notice(QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"));
        } else {
            const FaJianLeftData entry = FaJian::orderFromScan(order);
            FaJian::addOrder(leftList, entry);
            growProductLists();
            postQueryProducts(entry.orderid);
            refreshLeftTable();
        }
    }
    setSearchBusy(ui->pushButton_2, false);
}

void FaJianDialog::refreshLeftTable()
{
    QList<QStringList> rows;
    for (const FaJianLeftData& order : qAsConst(leftList))
        rows.append(FaJian::leftCells(order));
    setCentredRows(leftModel, rows);
}

// Products

void FaJianDialog::growProductLists()
{
    while (rightLists.size() < leftList.size())
        rightLists.append(QList<FaJianRightData>());
}

int FaJianDialog::getRowOfOrder(QString orderid)
{
    for (int row = 0; row < leftList.size(); ++row) {
        if (leftList.at(row).orderid == orderid)
            return row;
    }
    return leftList.size();
}

void FaJianDialog::postQueryProducts(QString orderid)
{
    qDebug() << "products of order" << orderid << "at row" << getRowOfOrder(orderid);
    QNetworkReply* reply = postForm(Config::url_query_change_product, FaJian::productsBody(orderid));
    reply->setProperty(kOrderId, orderid);
    reply->setProperty(kSearchNumber, m_searchNumber);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { queryProductsCallBack(reply); });
}

void FaJianDialog::queryProductsCallBack(QNetworkReply* reply)
{
    const QString orderid = reply->property(kOrderId).toString();
    const bool current = reply->property(kSearchNumber).toInt() == m_searchNumber;
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    if (WebService::reportFailure(r, QStringLiteral("查询产品信息错误：") + r.code, Prompts::Yes)) {
        if (r.kind == WebService::Reply::Kind::NotJsonObject)
            setSearchBusy(ui->pushButton_2, false);
        return;
    }
    const int row = getRowOfOrder(orderid);
    if (!current || row >= leftList.size())
        return;
    growProductLists();
    rightLists[row] = FaJian::productsFrom(r.object, orderid);
    setSearchBusy(ui->pushButton_2, false);
    if (currentLeftIndex.isValid() && currentLeftIndex.row() == row)
        on_tableView_left_clicked(currentLeftIndex);
}

void FaJianDialog::on_tableView_left_clicked(const QModelIndex& index)
{
    currentLeftIndex = index;
    const int row = index.row();
    if (row < 0 || row >= rightLists.size() || row >= leftList.size())
        return;
    const QList<FaJianRightData>& products = rightLists.at(row);
    if (products.isEmpty() || !products.last().isLoaded)
        return;
    currentRow = row;
    refreshRightTable(row);
}

template <typename Entry>
QComboBox* FaJianDialog::newChoiceCombo(const QList<Entry>& entries, const QString& current)
{
    auto* combo = new QComboBox;
    for (const Entry& entry : entries)
        combo->addItem(entry.name, entryId(entry));
    const int index = combo->findText(current);
    combo->setCurrentIndex(index < 0 ? 0 : index);
    return combo;
}

void FaJianDialog::refreshRightTable(int row)
{
    if (currentRow < 0 || currentRow >= leftList.size() || row < 0 || row >= rightLists.size())
        return;
    const FaJianLeftData& order = leftList.at(currentRow);
    ui->label_currentID->setText(QStringLiteral("当前订单号：") + order.orderpayforkey);
    rightList = rightLists.at(row);
    if (rightList.isEmpty())
        return;

    QTableWidget* table = ui->tableWidget;
    // Cells of an earlier order (combos in particular) must not outlive it.
    table->clearContents();
    table->setRowCount(rightList.size() + 1);
    const FaJianRightData& first = rightList.first();
    if (!printShops.isEmpty()) {
        QComboBox* all = newChoiceCombo(printShops, first.printshopname);
        table->setCellWidget(0, kPrintShopColumn, all);
        connect(all, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &FaJianDialog::setAllPrintShop);
    }
    if (!factorys.isEmpty()) {
        QComboBox* all = newChoiceCombo(factorys, first.factoryname);
        table->setCellWidget(0, kFactoryColumn, all);
        connect(all, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FaJianDialog::setAllFactory);
    }
    for (int i = 0; i < rightList.size(); ++i) {
        const FaJianRightData& product = rightList.at(i);
        const int r = i + 1;
        const QStringList cells = FaJian::productCells(product, order);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            item->setTextAlignment(Qt::AlignCenter);
            table->setItem(r, c, item);
        }
        if (!printShops.isEmpty())
            table->setCellWidget(r, kPrintShopColumn, newChoiceCombo(printShops, product.printshopname));
        table->setItem(r, 9, new QTableWidgetItem(product.sendToPrintshopTime2));
        if (!factorys.isEmpty())
            table->setCellWidget(r, kFactoryColumn, newChoiceCombo(factorys, product.factoryname));
        table->setItem(r, 11, new QTableWidgetItem(product.sendToFactoryTime2));
        auto* label = new QTableWidgetItem;
        label->setTextAlignment(Qt::AlignCenter);
        label->setCheckState(Qt::Checked);
        table->setItem(r, kLabelColumn, label);
    }
}

QComboBox* FaJianDialog::choiceCombo(int row, int column) const
{
    return qobject_cast<QComboBox*>(ui->tableWidget->cellWidget(row, column));
}

void FaJianDialog::setAllChoices(int column, int index)
{
    for (int r = 1; r <= rightList.size(); ++r) {
        if (QComboBox* combo = choiceCombo(r, column))
            combo->setCurrentIndex(index);
    }
}

void FaJianDialog::setAllPrintShop(int index)
{
    setAllChoices(kPrintShopColumn, index);
}

void FaJianDialog::setAllFactory(int index)
{
    setAllChoices(kFactoryColumn, index);
}

bool FaJianDialog::hasShownOrder() const
{
    return currentRow >= 0 && currentRow < leftList.size() && !rightList.isEmpty() &&
           rightList.first().orderid == leftList.at(currentRow).orderid &&
           ui->tableWidget->rowCount() == rightList.size() + 1;
}

// Dispatch

void FaJianDialog::on_pushButton_submit_clicked()
{
    if (!hasShownOrder())
        return;
    if (FaJian::isPlaceholder(rightList)) {
        notice(QStringLiteral("提示"), QStringLiteral("该订单没有产品"));
        return;
    }
    QJsonArray entries;
    for (int i = 0; i < rightList.size(); ++i) {
        const QComboBox* shop = choiceCombo(i + 1, kPrintShopColumn);
        const QComboBox* factory = choiceCombo(i + 1, kFactoryColumn);
        // Without the shop's print shops or factories there is no choice
        // to send.
        if (!shop || !factory) {
            notice(QStringLiteral("提示"), QStringLiteral("后台没有设置冲印公司或后期工厂"));
            return;
        }
        entries.append(FaJian::dispatchEntry(rightList.at(i).id, shop->currentData().toString(),
                                             factory->currentData().toString()));
    }
    const QString orderid = rightList.first().orderid;
    const QString orderKey = leftList.at(currentRow).orderpayforkey;
    const QByteArray body = FaJian::dispatchBody(orderid, entries);
    qDebug() << "postData" << body;
    // The dispatch runs to its answer though the window closes meanwhile.
    QNetworkReply* reply = PendingRecords::instance().postRecord(
        this, Config::url_post_sendtoshop, body,
        [this](QNetworkReply* answered) { querySendToShopCallBack(answered); },
        [orderKey](const WebService::Reply& r) {
            const QString failure = WebService::recordFailureText(r, dispatchRefusalText(r));
            return failure.isEmpty() ? QString() : QStringLiteral("发件失败：%1\n%2").arg(orderKey, failure);
        });
    reply->setProperty(kOrderId, orderid);
}

void FaJianDialog::querySendToShopCallBack(QNetworkReply* reply)
{
    const QString orderid = reply->property(kOrderId).toString();
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    if (WebService::reportRecordFailure(r, dispatchRefusalText(r), Prompts::Yes)) {
        if (r.kind == WebService::Reply::Kind::NotJsonObject)
            setSearchBusy(ui->pushButton_2, false);
        return;
    }
    // The reload shows the dispatch times the service recorded.
    postQueryProducts(orderid);
    notice(QStringLiteral("提示"), QStringLiteral("发件成功!"));
    setSearchBusy(ui->pushButton_2, false);
}

// Export and labels

void FaJianDialog::on_pushButton_excel_clicked()
{
    if (!hasShownOrder())
        return;
    Table2ExcelByHtml(ui->tableWidget, QStringLiteral("订单号码：") + leftList.at(currentRow).orderpayforkey);
}

void FaJianDialog::Table2ExcelByHtml(QTableWidget* table, QString title)
{
    // Row 0 holds only the set-all choices; the products follow it.
    exportTable(table, title, 1);
}

QString FaJianDialog::getBarCodeImagePath(QString code)
{
    if (!FileNames::isPlainFileName(code))
        return QString();
    return QDir::tempPath() + QLatin1Char('/') + code + QStringLiteral(".png");
}

void FaJianDialog::on_pushButton_print_clicked()
{
    if (!hasShownOrder())
        return;
    const QString orderKey = leftList.at(currentRow).orderpayforkey;
    QList<CodeImageInfo> labels;
    for (int i = 0; i < rightList.size(); ++i) {
        const QTableWidgetItem* tick = ui->tableWidget->item(i + 1, kLabelColumn);
        if (!tick || tick->checkState() != Qt::Checked)
            continue;
        const FaJianRightData& product = rightList.at(i);
        // A code that cannot be drawn leaves a label of texts only.
        const QString path = getBarCodeImagePath(product.id);
        const bool drawn = !path.isEmpty() && BarcodePicture::write(product.id, path);
        labels.append(FaJian::labelInfo(product, orderKey, drawn ? path : QString(), Config::shop_name));
    }
    printCodeImages(labels);
}

void FaJianDialog::printCodeImages(QList<CodeImageInfo> labels)
{
    QList<QImage> images;
    for (const CodeImageInfo& label : qAsConst(labels))
        images.append(ImageOperation::getCodeImage(label));
    switch (LabelPrinter::instance().print(images)) {
    case LabelPrinter::Outcome::Printed:
        break;
    case LabelPrinter::Outcome::NoPrinter:
        notice(QStringLiteral("警告"), QStringLiteral("没有可用的打印机"));
        break;
    case LabelPrinter::Outcome::JobFailed:
        notice(QStringLiteral("警告"), QStringLiteral("条码打印失败"));
        break;
    }
}

void FaJianDialog::printHtml(QString html)
{
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setHtml(html);
    document.print(&printer);
}
