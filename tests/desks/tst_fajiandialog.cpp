#include "barcodedecoder.h"
#include "barcodepicture.h"
#include "calendarpicker.h"
#include "clock.h"
#include "config.h"
#include "exportreader.h"
#include "fajiandialog.h"
#include "fileoperation.h"
#include "labelprinter.h"
#include "pendingrecords.h"
#include "scriptedprompts.h"
#include "standin.h"
#include "storeaccess.h"
#include "tableexport.h"
#include "testhttpserver.h"
#include "toplevelwindows.h"
#include "webservice.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPrinter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QUrlQuery>

#include <csignal>
#include <memory>

#include <sys/resource.h>
#include <zip.h>

// The dispatch desk: its searches and order list, the products per order,
// the dispatch and the labels, against the stand-in (and a small server
// where replies must come out of order).
class TestFaJianDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchBodies_data();
    void searchBodies();
    void criterionSearchReplacesOthersAdd();
    void scanInAShopWithoutPrintShops();
    void columnWidths();
    void productsAnsweredOutOfOrder();
    void dispatch_data();
    void dispatch();
    void dispatchNeedsAShownOrderWithProducts();
    void labelsOfTickedProducts();
    void labelTexts_data();
    void labelTexts();
    void printing_data();
    void printing();
    void productsWithoutTheirOrderId_data();
    void productsWithoutTheirOrderId();
    void exports_data();
    void exports();
    void workbookCheck_data();
    void workbookCheck();
    void searchFailures_data();
    void searchFailures();
    void productsOfAnEarlierSearchDropped();
    void serviceRefusesUnknownDispatches_data();
    void serviceRefusesUnknownDispatches();

private:
    void startDesk();
    QList<StandIn::LoggedRequest> logged(const char* action) const
    {
        return m_service->requests("order", action);
    }
    QTableWidget* products() { return m_desk->findChild<QTableWidget*>("tableWidget"); }
    // Every reply to the desk's requests has been handled (and released).
    bool repliesHandled() const
    {
        return m_desk->findChildren<QNetworkReply*>().isEmpty() && PendingRecords::instance().count() == 0;
    }
    QStringList orderKeys();
    void searchNumber(const QString& key);
    void searchBy(int index, const QString& text);
    void scan(const QString& id);
    // Clicks the left row and waits until its products show.
    void showOrder(int row);
    QComboBox* combo(int row, int column)
    {
        return qobject_cast<QComboBox*>(products()->cellWidget(row, column));
    }
    QString cell(int row, int column)
    {
        return products()->item(row, column) ? products()->item(row, column)->text() : "<none>";
    }

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<FaJianDialog> m_desk;
    std::unique_ptr<LabelPrinter> m_printer;
    QTemporaryDir m_labels;
};

namespace {

// A backend with no printer, or one whose jobs cannot start.
class FailingPrinter : public LabelPrinter
{
public:
    explicit FailingPrinter(bool noPrinter) : m_noPrinter(noPrinter) {}
    int opened = 0;
    std::unique_ptr<QPrinter> openPrinter() override
    {
        ++opened;
        if (m_noPrinter)
            return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        return printer;
    }
    bool beginJob(QPrinter&) override { return false; }

private:
    bool m_noPrinter;
};

// A workbook of the given parts, zipped as the spreadsheet writer zips them.
QByteArray zipOf(const QMap<QString, QByteArray>& parts, int method = Z_DEFLATED)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xlsx");
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    for (auto part = parts.begin(); part != parts.end(); ++part) {
        zipOpenNewFileInZip64(zip, part.key().toUtf8().constData(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                              method, Z_DEFAULT_COMPRESSION, 0);
        zipWriteInFileInZip(zip, part.value().constData(), unsigned(part.value().size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestFaJianDialog::init()
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_prompts->setLenient(true);
    m_service = std::make_unique<StandIn>();
    StandIn::useDemoIdentity();
    Config::shop_name = QStringLiteral("Velmor旗舰店");
    m_printer = std::make_unique<PdfLabelPrinter>(m_labels.filePath("labels"));
    LabelPrinter::install(m_printer.get());
    startDesk();
}

void TestFaJianDialog::startDesk()
{
    m_desk = std::make_unique<FaJianDialog>();
    m_desk->resize(1400, 800);
    m_desk->show();
    QVERIFY(QTest::qWaitForWindowActive(m_desk.get()));
}

void TestFaJianDialog::cleanup()
{
    m_desk.reset();
    for (CalendarPicker* picker : topLevelWindows<CalendarPicker>())
        delete picker;
    LabelPrinter::install(nullptr);
    m_printer.reset();
    m_service.reset();
    m_prompts.reset();
}

QStringList TestFaJianDialog::orderKeys()
{
    QStringList keys;
    const QAbstractItemModel* model = m_desk->findChild<QTableView*>("tableView_left")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        keys.append(model->index(row, 0).data().toString());
    return keys;
}

void TestFaJianDialog::searchNumber(const QString& key)
{
    auto* box = m_desk->findChild<QLineEdit*>("lineEdit_orderid");
    box->setFocus();
    box->setText(key);
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY(m_desk->findChild<QPushButton*>("pushButton")->isEnabled());
}

void TestFaJianDialog::searchBy(int index, const QString& text)
{
    auto* combo = m_desk->findChild<QComboBox*>("comboBox");
    combo->setCurrentIndex(index == 0 ? 6 : 0);
    combo->setCurrentIndex(index);
    auto* box = m_desk->findChild<QLineEdit*>("lineEdit_orderid2");
    if (index >= 1 && index <= 4) {
        QVERIFY(box->isReadOnly());
        QTRY_VERIFY(topLevelWindow<CalendarPicker>());
        CalendarPicker* picker = topLevelWindow<CalendarPicker>();
        picker->findChild<QCalendarWidget*>()->setSelectedDate(Clock::parseDay(text));
        picker->findChild<QPushButton*>("pushButton")->click();
        QTRY_VERIFY(!topLevelWindow<CalendarPicker>());
    } else {
        box->setText(text);
    }
    const int before = logged("order_list").size();
    m_desk->findChild<QPushButton*>("pushButton_2")->click();
    QTRY_COMPARE(logged("order_list").size(), before + 1);
    QTRY_VERIFY(m_desk->findChild<QPushButton*>("pushButton_2")->isEnabled());
}

void TestFaJianDialog::scan(const QString& id)
{
    auto* field = m_desk->findChild<QLineEdit*>("lineEdit");
    field->setFocus();
    field->setText(id);
    const int before = logged("getorderbyid").size();
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->selectedText(), id);
    QTRY_COMPARE(logged("getorderbyid").size(), before + 1);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(), 10000);
}

void TestFaJianDialog::showOrder(int row)
{
    auto* view = m_desk->findChild<QTableView*>("tableView_left");
    const QString key = view->model()->index(row, 0).data().toString();
    QTRY_VERIFY(view->model()->rowCount() > row);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            m_desk->findChild<QTableView*>("tableView_left")->clicked(view->model()->index(row, 1));
            return m_desk->findChild<QLabel*>("label_currentID")->text() ==
                   QStringLiteral("当前订单号：") + key;
        }(),
        5000);
}

void TestFaJianDialog::searchBodies_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("found");
    const QString key = "orderpayforkey";
    QTest::newRow("预约单号") << 0 << "A2405120"
                              << QStringList{"token", "uid", "shopid", "superid", "type", key} << 4;
    QTest::newRow("拍摄日期") << 1 << "2024-05-12"
                              << QStringList{"token", "uid", "shopid", "superid", "type", "photodate"} << 4;
    QTest::newRow("看样日期") << 2 << "2024-05-22"
                              << QStringList{"token", "shopid", "superid", "type", "uid", "selectphotodate"}
                              << 2;
    QTest::newRow("预约日期") << 3 << "2024-05-06"
                              << QStringList{"token", "shopid", "superid", "type", "selectphotodate", "uid"}
                              << 2;
    QTest::newRow("发货日期") << 4 << "2024-06-05"
                              << QStringList{"token", "shopid", "superid", "type", "uid", "selectphotodate"}
                              << 2;
    QTest::newRow("姓名") << 5 << "郭晶" << QStringList{"token", "uid", "shopid", "superid", "type", key}
                          << 1;
    QTest::newRow("电话") << 6 << "13900000101"
                          << QStringList{"token", "uid", "shopid", "superid", "type", key} << 1;
}

void TestFaJianDialog::searchBodies()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(int, found);
    const bool date = index >= 1 && index <= 4;
    searchBy(index, date ? text : "  " + text + " ");
    const StandIn::LoggedRequest search = logged("order_list").last();
    QCOMPARE(search.keys, keys);
    QCOMPARE(search.values.value("type"), QString::number(index + 1));
    QCOMPARE(search.values.value(keys.last() == "uid" ? keys.at(4) : keys.last()), text); // sent trimmed
    QCOMPARE(search.values.value("uid"), QStringLiteral("1024"));
    QCOMPARE(orderKeys().size(), found);
    // One products request per order found.
    QTRY_COMPARE(logged("ordergoods").size(), found);
    QCOMPARE(logged("ordergoods").first().keys, QStringList({"token", "orderid", "shopid"}));
}

void TestFaJianDialog::criterionSearchReplacesOthersAdd()
{
    // The order-number box sends what is typed, blanks included.
    searchNumber("A2405120 ");
    QCOMPARE(logged("order_list").last().values.value("orderpayforkey"), QStringLiteral("A2405120 "));
    searchNumber("A2405120");
    QCOMPARE(orderKeys(), QStringList({"A24051201", "A24051202", "A24051203", "A24051204"}));
    QCOMPARE(m_desk->findChild<QTableView*>("tableView_left")->model()->index(0, 1).data().toString(),
             QStringLiteral("王强/刘芳"));
    QCOMPARE(m_desk->findChild<QTableView*>("tableView_left")->model()->index(2, 1).data().toString(),
             QStringLiteral("赵敏"));
    searchNumber("A24051201");
    QCOMPARE(orderKeys().size(), 4);
    showOrder(0);
    QCOMPARE(combo(1, 8)->itemText(0), QStringLiteral("请选择"));

    scan("100105");
    QCOMPARE(logged("getorderbyid").last().keys, QStringList({"token", "shopid", "orderid"}));
    QTRY_COMPARE(orderKeys().size(), 5);
    showOrder(4);
    // A scan's lists come without "请选择".
    QCOMPARE(combo(1, 8)->itemText(0), QStringLiteral("华彩冲印"));
    QCOMPARE(combo(1, 8)->itemData(0).toString(), QStringLiteral("31"));

    // An empty criterion is refused before anything is emptied.
    m_desk->findChild<QComboBox*>("comboBox")->setCurrentIndex(5);
    m_desk->findChild<QPushButton*>("pushButton_2")->click();
    QCOMPARE(m_prompts->last().text, QStringLiteral("请输入姓名"));
    QCOMPARE(orderKeys().size(), 5);
    QCOMPARE(products()->rowCount(), 3);

    searchBy(5, "郭晶");
    QCOMPARE(orderKeys(), QStringList{"A24051502"});
    // The earlier order's products are gone from the right table.
    QCOMPARE(m_desk->findChild<QLabel*>("label_currentID")->text(), QStringLiteral("当前单号："));
}

void TestFaJianDialog::scanInAShopWithoutPrintShops()
{
    Config::shop_id = QStringLiteral("30");
    scan("300101");
    QTRY_COMPARE(orderKeys(), QStringList{"B24042001"});
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("提示"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("后台没有设置冲印公司或后期工厂"));
    showOrder(0);
    QCOMPARE(cell(1, 0), QStringLiteral("证件照"));
    QVERIFY(!combo(1, 8));
    m_desk->findChild<QPushButton*>("pushButton_submit")->click();
    QCOMPARE(m_prompts->messages().size(), 2);
    QCOMPARE(m_prompts->last().title, QStringLiteral("提示"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("后台没有设置冲印公司或后期工厂"));
    // The refusal came at the press; no dispatch may follow it.
    QTest::qWait(100);
    QCOMPARE(logged("sendtoshop").size(), 0);

    scan("999");
    QTRY_COMPARE(m_prompts->last().text, QStringLiteral("订单不存在"));
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
}

void TestFaJianDialog::columnWidths()
{
    QCOMPARE(FaJian::rightColumnWidths(1015, 13),
             QVector<int>({133, 73, 73, 73, 73, 83, 73, 83, 150, 150, 150, 150, 83}));
    QCOMPARE(FaJian::rightColumnWidths(1015, 6), QVector<int>({133, 73, 73, 73, 73, 83}));
    products()->setFixedWidth(1015);
    m_desk->update();
    QTRY_COMPARE(products()->columnWidth(0), 133);
    QCOMPARE(products()->columnWidth(11), 150);
}

void TestFaJianDialog::productsAnsweredOutOfOrder()
{
    // Order 1's products come last, order 2 has none, order 3's come second.
    TestHttpServer server;
    server.setHandler([](const TestHttpServer::Request& r) {
        const QUrlQuery query(r.query);
        const QUrlQuery body(QString::fromUtf8(r.body));
        TestHttpServer::Response response;
        auto product = [](const QString& id, const QString& type, const QString& urgent) {
            return QJsonObject{{"orderid", "3"},          {"id", id},
                               {"goodname", "相册" + id}, {"goodtypeid", type},
                               {"goodsizename", "12寸"},  {"goodtype", "相册"},
                               {"number", "1"},           {"pnumber", "30"},
                               {"isurgent", urgent},      {"printshopname", "光影冲印"}};
        };
        if (query.queryItemValue("a") == "order_list") {
            QJsonArray orders;
            for (const char* id : {"1", "2", "3"})
                orders.append(QJsonObject{{"orderpayforkey", QString("K") + id},
                                          {"orderid", id},
                                          {"getphotodate", "2024-06-0" + QString(id)},
                                          {"urgentdate", "2024-05-3" + QString(id)}});
            const QJsonArray shops{QJsonObject{{"id", "31"}, {"name", "华彩冲印"}},
                                   QJsonObject{{"id", "32"}, {"name", "光影冲印"}}};
            response.body =
                QJsonDocument(
                    QJsonObject{{"code", "1"}, {"printshops", shops}, {"factorys", shops}, {"order", orders}})
                    .toJson();
        } else {
            const QString id = body.queryItemValue("orderid");
            QJsonObject order{{"ordergoods0", QJsonArray{}}, {"ordergoods2", QJsonArray{}}};
            if (id == "1")
                order["ordergoods0"] =
                    QJsonArray{QJsonObject{{"orderid", "1"}, {"id", "11"}, {"goodname", "摆台"}}};
            if (id == "3")
                order["ordergoods0"] = QJsonArray{product("31", "15", "1"), product("32", "12", "0")};
            response.delayMs = id == "1" ? 800 : id == "3" ? 300 : 0;
            response.body = QJsonDocument(QJsonObject{{"code", "1"}, {"order", order}}).toJson();
        }
        return response;
    });
    Config::url_host = server.baseUrl();
    Config::composeRoutes();
    searchNumber("K");

    // The order without products: one row of empty texts, its pickup date.
    showOrder(1);
    QCOMPARE(products()->rowCount(), 2);
    QCOMPARE(QStringList({cell(1, 0), cell(1, 4), cell(1, 5), cell(1, 6)}),
             QStringList({"", "", "2024-06-02", "否"}));
    QCOMPARE(combo(1, 8)->currentText(), QStringLiteral("请选择"));
    QCOMPARE(products()->item(1, 12)->checkState(), Qt::Checked);

    showOrder(2);
    QCOMPARE(QStringList({cell(1, 4), cell(1, 5), cell(1, 6)}), QStringList({"30", "2024-05-33", "是"}));
    QCOMPARE(QStringList({cell(2, 4), cell(2, 5), cell(2, 6)}), QStringList({"", "2024-06-03", "否"}));
    QCOMPARE(combo(1, 8)->currentText(), QStringLiteral("光影冲印"));
    QCOMPARE(combo(0, 8)->currentText(), QStringLiteral("光影冲印"));
    // Set-all moves the print shops only.
    combo(0, 8)->setCurrentIndex(1);
    QCOMPARE(combo(1, 8)->currentIndex(), 1);
    QCOMPARE(combo(2, 8)->currentIndex(), 1);
    QCOMPARE(combo(1, 10)->currentIndex(), 0);
    combo(2, 10)->setCurrentIndex(1);

    // Order 1's late reply keeps the choices on the shown order.
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(), 10000);
    QCOMPARE(combo(2, 10)->currentIndex(), 1);
    showOrder(0);
    QCOMPARE(cell(1, 0), QStringLiteral("摆台"));
}

void TestFaJianDialog::dispatch_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    QTest::newRow("recorded") << ""
                              << "发件成功!";
    QTest::newRow("refused") << "refuse"
                             << "提交发件错误：0";
    QTest::newRow("transport error") << "http"
                                     << "网络请求错误\n500";
    // The service may or may not have recorded it: told like a lost reply.
    QTest::newRow("not JSON") << "<html>busy</html>"
                              << "网络请求错误\n200";
}

void TestFaJianDialog::dispatch()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    searchNumber("A24051201");
    showOrder(0);
    QCOMPARE(products()->rowCount(), 4);
    combo(0, 8)->setCurrentIndex(1);
    combo(2, 10)->setCurrentIndex(2);
    if (fault == "refuse")
        m_service->refuse("order", "sendtoshop", "0", "x");
    else if (fault == "http")
        m_service->failHttp("order", "sendtoshop", 500);
    else if (!fault.isEmpty())
        m_service->sendRaw("order", "sendtoshop", fault.toUtf8());
    const int reloads = logged("ordergoods").size();
    m_desk->findChild<QPushButton*>("pushButton_submit")->click();
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().text, box);

    const StandIn::LoggedRequest sent = logged("sendtoshop").first();
    QCOMPARE(sent.keys, QStringList({"token", "uid", "shopid", "orderid", "sendgoodsinfo"}));
    QCOMPARE(sent.values.value("uid"), QStringLiteral("1024"));
    QCOMPARE(sent.values.value("orderid"), QStringLiteral("100101"));
    QCOMPARE(sent.values.value("sendgoodsinfo"),
             QStringLiteral(R"([{"factoryid":"0","ordergoodid":"5101","printshopid":"31"},)"
                            R"({"factoryid":"42","ordergoodid":"5102","printshopid":"31"},)"
                            R"({"factoryid":"0","ordergoodid":"5103","printshopid":"31"}])"));
    if (!fault.isEmpty()) {
        QTRY_VERIFY(repliesHandled());
        QTest::qWait(50); // no reload after a failed dispatch
        QCOMPARE(logged("ordergoods").size(), reloads);
        return;
    }
    // The reload shows what the service recorded.
    QTRY_COMPARE(logged("ordergoods").size(), reloads + 1);
    QTRY_VERIFY(!cell(1, 9).isEmpty());
    const QJsonObject goods =
        m_service->storeSnapshot().value("deskgoods").toObject().value("100101").toObject();
    const QJsonObject second = goods.value("ordergoods0").toArray().at(1).toObject();
    QCOMPARE(second.value("printshopname").toString(), QStringLiteral("华彩冲印"));
    QCOMPARE(second.value("factoryname").toString(), QStringLiteral("金典后期"));
    QCOMPARE(cell(2, 9), second.value("sendToPrintshopTime2").toString());
    QCOMPARE(cell(2, 11), second.value("sendToFactoryTime2").toString());
    QCOMPARE(cell(1, 11), QString());
    QCOMPARE(combo(2, 10)->currentText(), QStringLiteral("金典后期"));
}

void TestFaJianDialog::dispatchNeedsAShownOrderWithProducts()
{
    searchNumber("A2405120");
    for (const char* button : {"pushButton_submit", "pushButton_print", "pushButton_excel"})
        m_desk->findChild<QPushButton*>(button)->click();
    showOrder(2);
    QCOMPARE(cell(1, 0), QString());
    m_desk->findChild<QPushButton*>("pushButton_submit")->click();
    QCOMPARE(m_prompts->calls().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("提示"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("该订单没有产品"));
    // The refusal came at the press; no dispatch may follow it.
    QTest::qWait(100);
    QCOMPARE(logged("sendtoshop").size(), 0);
    QVERIFY(!QFileInfo::exists(m_labels.filePath("labels/label-001.pdf")));
}

void TestFaJianDialog::labelsOfTickedProducts()
{
    searchNumber("A24051201");
    showOrder(0);
    products()->item(2, 12)->setCheckState(Qt::Unchecked);
    m_desk->findChild<QPushButton*>("pushButton_print")->click();
    const auto* printer = static_cast<PdfLabelPrinter*>(m_printer.get());
    QCOMPARE(printer->files().size(), 2);
    QStringList codes;
    for (const QString& pdf : printer->files()) {
        const QList<QImage> pages = BarcodeDecoder::pdfPages(pdf);
        QCOMPARE(pages.size(), 1);
        codes += BarcodeDecoder::code128(pages.first());
    }
    QCOMPARE(codes, QStringList({"5101", "5103"}));
    QCOMPARE(m_prompts->calls().size(), 0);
}

void TestFaJianDialog::labelTexts_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("codeText");
    QTest::addColumn<bool>("picture");
    QTest::newRow("a product") << "5101"
                               << "5101  A24051201" << true;
    QTest::newRow("the placeholder") << "0"
                                     << "0  A24051201" << true;
    QTest::newRow("a path") << "../5101"
                            << "../5101  A24051201" << false;
    QTest::newRow("a backslash") << "a\\b"
                                 << "a\\b  A24051201" << false;
}

void TestFaJianDialog::labelTexts()
{
    QFETCH(QString, id);
    QFETCH(QString, codeText);
    QFETCH(bool, picture);
    FaJianRightData product;
    product.id = id;
    QCOMPARE(FaJian::labelInfo(product, "A24051201", QString(), "Velmor旗舰店").codeText, codeText);
    // The picture lies in the temporary folder and reads back as the id;
    // an id that is no plain name gets none.
    const QString path = m_desk->getBarCodeImagePath(id);
    QCOMPARE(!path.isEmpty(), picture);
    if (picture) {
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        QVERIFY(BarcodePicture::write(id, path));
        QCOMPARE(BarcodeDecoder::code128(QImage(path)), QStringList{id});
        QFile::remove(path);
    }
}

void TestFaJianDialog::printing_data()
{
    QTest::addColumn<bool>("noPrinter");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("box"); // "" for none
    QTest::addColumn<int>("opened");
    QTest::newRow("no printer") << true << true << "没有可用的打印机" << 1;
    QTest::newRow("a job that cannot start") << false << true << "条码打印失败" << 1;
    QTest::newRow("nothing ticked, no printer") << true << false << "" << 0;
}

void TestFaJianDialog::printing()
{
    QFETCH(bool, noPrinter);
    QFETCH(bool, ticked);
    QFETCH(QString, box);
    QFETCH(int, opened);
    FailingPrinter failing(noPrinter);
    LabelPrinter::install(&failing);
    // The failing printer is this row's: the desk's own comes back with the row's end.
    const auto restore = qScopeGuard([this] { LabelPrinter::install(m_printer.get()); });
    searchNumber("A24051201");
    showOrder(0);
    if (!ticked) {
        for (int row = 1; row < products()->rowCount(); ++row)
            products()->item(row, 12)->setCheckState(Qt::Unchecked);
    }
    m_desk->findChild<QPushButton*>("pushButton_print")->click();
    QCOMPARE(failing.opened, opened);
    if (box.isEmpty()) {
        QCOMPARE(m_prompts->messages().size(), 0);
        return;
    }
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, box);
}

void TestFaJianDialog::productsWithoutTheirOrderId_data()
{
    QTest::addColumn<QByteArray>("orderid"); // the product's "orderid" member, "" for none
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("a number") << QByteArray(R"("orderid":100101,)");
    QTest::newRow("empty") << QByteArray(R"("orderid":"",)");
}

void TestFaJianDialog::productsWithoutTheirOrderId()
{
    QFETCH(QByteArray, orderid);
    m_service->sendRaw("order", "ordergoods",
                       R"({"code":"1","order":{"ordergoods0":[{)" + orderid +
                           R"("id":"5101","goodname":"宝宝成长相册"},{)" + orderid +
                           R"("id":"5102","goodname":"8*10水晶摆台"}],"ordergoods2":[]}})");
    searchNumber("A24051201");
    showOrder(0);
    QCOMPARE(cell(2, 0), QStringLiteral("8*10水晶摆台"));

    // The products belong to the order they were asked for.
    m_desk->findChild<QPushButton*>("pushButton_submit")->click();
    QTRY_COMPARE(logged("sendtoshop").size(), 1);
    QCOMPARE(logged("sendtoshop").first().values.value("orderid"), QStringLiteral("100101"));
    m_desk->findChild<QPushButton*>("pushButton_print")->click();
    QCOMPARE(static_cast<PdfLabelPrinter*>(m_printer.get())->files().size(), 2);
    const QString sheet = m_labels.filePath("products.xls");
    m_prompts->setNextPath(sheet);
    m_desk->findChild<QPushButton*>("pushButton_excel")->click();
    QCOMPARE(ExportReader::rows(sheet).size(), 4);
}

void TestFaJianDialog::exports_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("fault"); // a FileOperation::Fault, -1 for none
    QTest::addColumn<QByteArray>("start"); // empty: nothing saved
    QTest::addColumn<QString>("remark"); // typed over the first product's, "" for none
    QTest::addColumn<QString>("stored"); // the first product's remark as read back
    QTest::addColumn<int>("fileLimit");  // bytes a file may take while it saves, 0 for any
    const QString remark = "封面用第3张";
    QTest::newRow("a workbook") << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << "" << remark << 0;
    QTest::newRow("a workbook, upper case")
        << "发件.XLSX" << -1 << QByteArray("PK\x03\x04") << "" << remark << 0;
    QTest::newRow("an .xls") << "发件.xls" << -1 << QByteArray("<html>") << "" << remark << 0;
    QTest::newRow("no suffix") << "发件" << -1 << QByteArray("<html>") << "" << remark << 0;
    QTest::newRow("a workbook refused at close")
        << "发件.xlsx" << int(FileOperation::Fault::Close) << QByteArray() << ""
        << "" << 0;
    QTest::newRow("an .xls refused") << "发件.xls" << int(FileOperation::Fault::Write) << QByteArray() << ""
                                     << "" << 0;
    // Characters no workbook may hold are left out of the cell.
    QTest::newRow("a workbook, a remark with U+FFFF, U+FFFE and U+0000")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04")
        << QString("封面\uFFFF用第") + QChar(0) + QString("3张\uFFFE") << remark << 0;
    // The workbook stores a control character other than tab and line
    // feed as _xHHHH_.
    QTest::newRow("a workbook, a remark with CR/LF, a tab and a bell")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << " 封面\r\n用第\t3张\a "
        << " 封面_x000D_\n用第\t3张_x0007_ " << 0;
    // A byte-order mark is a character of the cell like any other (built
    // from QChar: a literal's leading mark is dropped when it is decoded).
    const QString mark(QChar(0xFEFF));
    QTest::newRow("a workbook, a remark beginning with U+FEFF")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << mark + "封面用第3张" << mark + "封面用第3张" << 0;
    QTest::newRow("a workbook, a remark of U+FEFF alone")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << mark << mark << 0;
    // Half of a surrogate pair alone (a remark cut inside an emoji) is
    // saved as U+FFFD; a whole pair stays.
    const QString high(QChar(0xD83D)), low(QChar(0xDE00)), lost(QChar(0xFFFD));
    QTest::newRow("a workbook, a high surrogate alone in a remark")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << "封面" + high + "用第3张"
        << "封面" + lost + "用第3张" << 0;
    QTest::newRow("a workbook, a remark beginning with a low surrogate")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << low + "封面用第3张" << lost + "封面用第3张" << 0;
    QTest::newRow("a workbook, a swapped pair in a remark")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << "封面" + low + high + "用第3张"
        << "封面" + lost + lost + "用第3张" << 0;
    QTest::newRow("a workbook, an emoji in a remark")
        << "发件.xlsx" << -1 << QByteArray("PK\x03\x04") << "封面" + high + low + "用第3张"
        << QString::fromUtf8("封面\xF0\x9F\x98\x80用第3张") << 0;
    // The writer's scratch files break off at 16 KiB, as on a full disk,
    // and it does not notice: the workbook it makes is not saved.
    QTest::newRow("a workbook whose writer's scratch file breaks off")
        << "发件.xlsx" << -1 << QByteArray() << QString(20000, QChar(0x5C01)) << "" << 16384;
}

void TestFaJianDialog::exports()
{
    QFETCH(QString, name);
    QFETCH(int, fault);
    QFETCH(QByteArray, start);
    QFETCH(QString, remark);
    QFETCH(QString, stored);
    QFETCH(int, fileLimit);
    searchNumber("A24051201");
    showOrder(0);
    if (!remark.isEmpty())
        products()->item(1, 7)->setText(remark);
    combo(0, 8)->setCurrentIndex(1);
    combo(3, 10)->setCurrentIndex(2);
    products()->item(2, 12)->setCheckState(Qt::Unchecked);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    FileOperation::setFaultHook(
        [&](FileOperation::Fault f, const QString& p) { return int(f) == fault && p == path; });
    m_prompts->setNextPath(path);
    rlimit unlimited = {};
    if (fileLimit > 0) {
        // A write past the limit then fails (EFBIG) instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit limited = {rlim_t(fileLimit), unlimited.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    m_desk->findChild<QPushButton*>("pushButton_excel")->click();
    if (fileLimit > 0)
        setrlimit(RLIMIT_FSIZE, &unlimited);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(m_prompts->calls().first().title, QStringLiteral("保存"));
    QCOMPARE(m_prompts->calls().first().filter, QStringLiteral("Excel 文件(*.xls *.xlsx)"));
    if (start.isEmpty()) {
        QCOMPARE(m_prompts->messages().size(), 1);
        QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
        QCOMPARE(m_prompts->last().text, QStringLiteral("保存失败\n") + path);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList());
        return;
    }
    QCOMPARE(m_prompts->messages().size(), 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(start.size()) == start);
    // The title, the header and the products as shown (empty cells at a
    // row's end left out); not the set-all row. Nothing chosen ("请选择")
    // goes out empty.
    const QList<QStringList> expected = {
        {"订单号码：A24051201"},
        {"产品名称", "尺寸", "类别", "数量", "P数", "发货日期", "加急取件", "备注", "冲印公司",
         "发冲印公司时间", "后期工厂", "发后期工厂时间", "打印条码"},
        {"宝宝成长相册", "12寸", "相册", "1", "30", "2024-06-02", "否", stored, "华彩冲印"},
        {"8*10水晶摆台", "8寸", "摆台", "2", "", "2024-05-30", "是", "", "华彩冲印"},
        {"精修电子档", "", "电子档", "1", "", "2024-06-02", "否", "", "华彩冲印", "", "金典后期"},
    };
    QCOMPARE(ExportReader::rows(path), expected);
}

void TestFaJianDialog::workbookCheck_data()
{
    // A replacement in one part of a workbook that holds the table whole.
    QTest::addColumn<QString>("part");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<bool>("holds");
    const QString strings = "xl/sharedStrings.xml";
    const QString sheet = "xl/worksheets/sheet1.xml";
    QTest::newRow("whole") << strings << QByteArray() << QByteArray() << true;
    QTest::newRow("a cell's string written inline")
        << sheet << QByteArray(R"(t="s"><v>4</v>)")
        << QByteArray("t=\"inlineStr\"><is><r><t>封面_x000D_\n</t></r><r><t>用第3张</t></r></is>") << true;
    QTest::newRow("a part that does not parse")
        << "xl/styles.xml" << QByteArray("/>") << QByteArray(">") << false;
    QTest::newRow("a cell that differs") << strings << QByteArray("3张") << QByteArray("4张") << false;
    QTest::newRow("a cell missing") << sheet << QByteArray(R"(<c r="B2" t="s"><v>2</v></c>)") << QByteArray()
                                    << false;
    QTest::newRow("a carriage return stored as itself")
        << strings << QByteArray("_x000D_") << QByteArray("&#13;") << false;
    QTest::newRow("a string the table lacks")
        << sheet << QByteArray("<v>4</v>") << QByteArray("<v>5</v>") << false;
    // Parts stored as they are, one byte of the styles changed after its
    // checksum was taken: still whole XML, but not what was written.
    QTest::newRow("a part whose bytes do not match their checksum")
        << "the stored zip" << QByteArray(R"(main"/>)") << QByteArray(R"(mair"/>)") << false;
}

void TestFaJianDialog::workbookCheck()
{
    QFETCH(QString, part);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, holds);
    const ExportedTable table = {"发件", {"单号", "备注"}, {{"A1", "封面\r\n用第3张"}}};
    const QByteArray ns = R"(xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
    QMap<QString, QByteArray> parts = {
        {"xl/styles.xml", "<styleSheet " + ns + "/>"},
        {"xl/sharedStrings.xml", "<sst " + ns +
                                     "><si><t>发件</t></si><si><t>单号</t></si><si><t>备注</t></si>"
                                     "<si><t>A1</t></si><si><t>封面_x000D_\n用第3张</t></si></sst>"},
        {"xl/worksheets/sheet1.xml",
         "<worksheet " + ns + R"(><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row>)" +
             R"(<row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2" t="s"><v>2</v></c></row>)" +
             R"(<row r="3"><c r="A3" t="s"><v>3</v></c><c r="B3" t="s"><v>4</v></c></row></sheetData></worksheet>)"},
    };
    if (part == "the stored zip") {
        QByteArray zip = zipOf(parts, 0);
        QCOMPARE(zip.count(from), 1);
        QCOMPARE(TableExport::holds(zip.replace(from, to), table), holds);
        return;
    }
    if (!from.isEmpty()) {
        QVERIFY(parts[part].contains(from));
        parts[part].replace(from, to);
    }
    QCOMPARE(TableExport::holds(zipOf(parts), table), holds);
}

void TestFaJianDialog::searchFailures_data()
{
    QTest::addColumn<QString>("action"); // the route that fails
    QTest::addColumn<QString>("fault");  // "http", "drop", "refuse" or a raw body
    QTest::addColumn<QString>("title");  // of the boxes, "" for none
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("orders"); // listed afterwards
    const auto row = [](const char* name, const char* action, const char* fault, const char* title,
                        const char* text, int orders) {
        QTest::newRow(name) << action << fault << title << text << orders;
    };
    row("search: HTTP 500", "order_list", "http", "警告", "网络请求错误\n500", 1);
    row("search: connection dropped", "order_list", "drop", "警告", "网络请求错误\n", 1);
    row("search: refused", "order_list", "refuse", "警告", "错误代码：0", 1);
    row("search: code a number", "order_list", R"({"code":1,"order":[]})", "警告", "错误代码：", 1);
    row("search: no orders", "order_list", R"({"code":"1","order":[]})", "提示", "没有查询到任何订单", 1);
    row("search: not JSON", "order_list", "<html>busy</html>", "", "", 1);
    row("search: an array", "order_list", R"([{"code":"1"}])", "", "", 1);
    row("products: HTTP 500", "ordergoods", "http", "警告", "网络请求错误\n500", 4);
    row("products: refused", "ordergoods", "refuse", "警告", "查询产品信息错误：0", 4);
    row("products: cut JSON", "ordergoods", R"({"code":"1",)", "", "", 4);
}

void TestFaJianDialog::searchFailures()
{
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, orders);
    searchNumber("A24051201");
    showOrder(0);
    if (fault == "http")
        m_service->failHttp("order", action, 500);
    else if (fault == "drop")
        m_service->drop("order", action);
    else if (fault == "refuse")
        m_service->refuse("order", action, "0", "x");
    else
        m_service->sendRaw("order", action, fault.toUtf8());
    const int before = logged(action.toLatin1()).size();
    searchNumber("A2405120");
    QTRY_VERIFY(logged(action.toLatin1()).size() > before);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(), 10000);
    QTest::qWait(50); // no box beyond those of the replies
    QCOMPARE(orderKeys().size(), orders);
    // Each order's products fail on their own: one box an order.
    const int boxes = title.isEmpty() ? 0 : action == "ordergoods" ? orders : 1;
    QTRY_COMPARE(m_prompts->messages().size(), boxes);
    for (const ScriptedPrompts::Call& box : m_prompts->messages()) {
        QCOMPARE(box.title, title);
        QCOMPARE(box.text, text);
    }
    for (const char* button : {"pushButton", "pushButton_2"}) {
        QVERIFY(m_desk->findChild<QPushButton*>(button)->isEnabled());
        QCOMPARE(m_desk->findChild<QPushButton*>(button)->text(), QStringLiteral("检索"));
    }
    // What was shown stays.
    QCOMPARE(cell(1, 0), QStringLiteral("宝宝成长相册"));
}

void TestFaJianDialog::productsOfAnEarlierSearchDropped()
{
    // The first search's products come late and say something else.
    m_service->sendRaw("order", "ordergoods",
                       R"({"code":"1","order":{"ordergoods0":[{"id":"9","goodname":"旧相册"}]}})");
    m_service->delay("order", "ordergoods", 600);
    searchNumber("A24051201");
    QTRY_COMPARE(logged("ordergoods").size(), 1);
    m_service->clearFaults();
    searchNumber("A24051201");
    showOrder(0);
    QCOMPARE(cell(1, 0), QStringLiteral("宝宝成长相册"));
    // The first search's late products have come and been dropped.
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(), 10000);
    QCOMPARE(cell(1, 0), QStringLiteral("宝宝成长相册"));
    showOrder(0);
    QCOMPARE(cell(1, 0), QStringLiteral("宝宝成长相册"));
}

void TestFaJianDialog::serviceRefusesUnknownDispatches_data()
{
    QTest::addColumn<QString>("orderid");
    QTest::addColumn<QString>("entry");
    QTest::newRow("unknown product") << "100101"
                                     << R"({"ordergoodid":"9999","printshopid":"31","factoryid":"0"})";
    QTest::newRow("another order's product")
        << "100102"
        << R"({"ordergoodid":"5101","printshopid":"31","factoryid":"0"})";
    QTest::newRow("unknown print shop") << "100101"
                                        << R"({"ordergoodid":"5101","printshopid":"71","factoryid":"0"})";
    QTest::newRow("unknown order") << "999999"
                                   << R"({"ordergoodid":"5101","printshopid":"31","factoryid":"0"})";
}

void TestFaJianDialog::serviceRefusesUnknownDispatches()
{
    QFETCH(QString, orderid);
    QFETCH(QString, entry);
    const QJsonObject before = m_service->storeSnapshot().value("deskgoods").toObject();
    const QJsonArray entries{QJsonObject{{"ordergoodid", "5102"}, {"printshopid", "31"}, {"factoryid", "41"}},
                             QJsonDocument::fromJson(entry.toUtf8()).object()};
    QNetworkAccessManager manager;
    QNetworkReply* reply =
        WebService::post(&manager, Config::url_post_sendtoshop, FaJian::dispatchBody(orderid, entries));
    QTRY_VERIFY(reply->isFinished());
    const WebService::Reply r = WebService::read(reply);
    delete reply;
    QCOMPARE(r.code, QStringLiteral("0"));
    // Nothing of the dispatch is recorded, not even its known product.
    QCOMPARE(m_service->storeSnapshot().value("deskgoods").toObject(), before);
}

QTEST_MAIN(TestFaJianDialog)
#include "tst_fajiandialog.moc"
