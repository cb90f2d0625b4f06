#include "calendarpicker.h"
#include "clock.h"
#include "config.h"
#include "exportreader.h"
#include "pendingrecords.h"
#include "scriptedprompts.h"
#include "shangjiandialog.h"
#include "shangjianrecords.h"
#include "standin.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>

// The upload desk against the stand-in: its searches, its two lists and
// the upload mark on both roads.
class TestShangJianDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchBodies_data();
    void searchBodies();
    void emptyInputSendsNothing_data();
    void emptyInputSendsNothing();
    void criterionBoxTakesPickedDates();
    void repliesFillTheListOfTheirSearch();
    void listRules_data();
    void listRules();
    void markCodes_data();
    void markCodes();
    void crossedMarksKeepTheirRoad();
    void markWithoutOrderAddsNoRow();
    void brokenMarkReplies_data();
    void brokenMarkReplies();
    void markOnItsWayAtTheClose();
    void searchFailures_data();
    void searchFailures();
    void exportsTheRightTable_data();
    void exportsTheRightTable();

private:
    QList<StandIn::LoggedRequest> searches() const { return m_service->requests("order", "order_list"); }
    QList<StandIn::LoggedRequest> marks() const { return m_service->requests("order", "gotodigitalid_post"); }
    QStandardItemModel* model(const char* view);
    QStringList column(const char* view, int column);
    // Every reply to the desk's requests has been handled (and released).
    bool repliesHandled() const
    {
        return m_desk->findChildren<QNetworkReply*>().isEmpty() && PendingRecords::instance().count() == 0;
    }
    void pressReturnIn(const char* field, const QString& text);
    // Picks the criterion and its text (a date through the picker).
    void searchBy(int index, const QString& text);
    void searchLeft(const QString& orderKey);

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<ShangJianDialog> m_desk;
};

void TestShangJianDialog::init()
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_prompts->setLenient(true);
    m_service = std::make_unique<StandIn>();
    StandIn::useDemoIdentity();
    Clock::setFixed(QDateTime(QDate(2024, 5, 12), QTime(9, 0)));
    m_desk = std::make_unique<ShangJianDialog>();
    m_desk->show();
    QVERIFY(QTest::qWaitForWindowActive(m_desk.get()));
}

void TestShangJianDialog::cleanup()
{
    m_desk.reset();
    for (CalendarPicker* picker : topLevelWindows<CalendarPicker>())
        delete picker;
    Clock::setFixed(QDateTime());
    m_service.reset();
    m_prompts.reset();
}

QStandardItemModel* TestShangJianDialog::model(const char* view)
{
    return qobject_cast<QStandardItemModel*>(m_desk->findChild<QTableView*>(view)->model());
}

QStringList TestShangJianDialog::column(const char* view, int c)
{
    QStringList texts;
    QStandardItemModel* m = model(view);
    for (int row = 0; row < m->rowCount(); ++row)
        texts.append(m->item(row, c)->text());
    return texts;
}

void TestShangJianDialog::pressReturnIn(const char* field, const QString& text)
{
    auto* edit = m_desk->findChild<QLineEdit*>(field);
    edit->setFocus();
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void TestShangJianDialog::searchBy(int index, const QString& text)
{
    auto* combo = m_desk->findChild<QComboBox*>("comboBox");
    combo->setCurrentIndex(index == 0 ? 7 : 0);
    combo->setCurrentIndex(index);
    if (index >= 1 && index <= 5) {
        QTRY_VERIFY(topLevelWindow<CalendarPicker>());
        CalendarPicker* picker = topLevelWindow<CalendarPicker>();
        picker->findChild<QCalendarWidget*>()->setSelectedDate(Clock::parseDay(text));
        picker->findChild<QPushButton*>("pushButton")->click();
        QTRY_VERIFY(!topLevelWindow<CalendarPicker>());
        QCOMPARE(m_desk->findChild<QLineEdit*>("lineEdit_orderid2")->text(), text);
    } else {
        m_desk->findChild<QLineEdit*>("lineEdit_orderid2")->setText(text);
    }
    const int before = searches().size();
    m_desk->findChild<QPushButton*>("pushButton_2")->click();
    QTRY_COMPARE(searches().size(), before + 1);
    QTRY_VERIFY(m_desk->findChild<QPushButton*>("pushButton_2")->isEnabled());
}

void TestShangJianDialog::searchLeft(const QString& orderKey)
{
    const int before = searches().size();
    pressReturnIn("lineEdit_orderid", orderKey);
    QTRY_COMPARE(searches().size(), before + 1);
    QTRY_VERIFY(m_desk->findChild<QPushButton*>("pushButton")->isEnabled());
}

void TestShangJianDialog::searchBodies_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("searchtype");
    QTest::addColumn<int>("found");
    const QStringList others = {"token",   "shopid", "searchtype", "keyword",
                                "superid", "uid",    "eid",        "personid"};
    QTest::newRow("预约单号") << 0 << "A2405120"
                              << "1" << 4;
    QTest::newRow("拍摄日期") << 1 << "2024-05-12"
                              << "4" << 4;
    QTest::newRow("选片日期") << 2 << "2024-05-22"
                              << "5" << 2;
    QTest::newRow("预约日期") << 3 << "2024-05-06"
                              << "6" << 2;
    QTest::newRow("发货日期") << 4 << "2024-06-02"
                              << "7" << 4;
    QTest::newRow("上件日期") << 5 << "2024-05-20"
                              << "9" << 4;
    QTest::newRow("姓名") << 6 << "郭晶"
                          << "2" << 1;
    QTest::newRow("电话") << 7 << "13900000101"
                          << "3" << 1;
}

void TestShangJianDialog::searchBodies()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, searchtype);
    QFETCH(int, found);
    searchBy(index, text);
    const StandIn::LoggedRequest body = searches().last();
    const QStringList expectedKeys =
        index == 0
            ? QStringList{"token", "superid", "shopid", "searchtype", "keyword", "uid", "eid", "personid"}
            : QStringList{"token", "shopid", "searchtype", "keyword", "superid", "uid", "eid", "personid"};
    QCOMPARE(body.keys, expectedKeys);
    QCOMPARE(body.values.value("searchtype"), searchtype);
    QCOMPARE(body.values.value("keyword"), text);
    QCOMPARE(body.values.value("uid"), QStringLiteral("2048"));
    QCOMPARE(body.values.value("eid"), QStringLiteral("1024"));
    QCOMPARE(model("tableView_right")->rowCount(), found);
    QCOMPARE(model("tableView_left")->rowCount(), 0);

    // The order-number box sends the same body and fills the left list.
    if (index == 0) {
        searchLeft(text + " ");
        QCOMPARE(searches().last().keys, expectedKeys);
        QCOMPARE(searches().last().values.value("keyword"), text + " ");
    }
}

void TestShangJianDialog::emptyInputSendsNothing_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("box");
    QTest::newRow("scan field") << "lineEdit" << 0 << "请输入订单号";
    QTest::newRow("order-number box, blanks") << "lineEdit_orderid" << 0 << "请输入订单号";
    QTest::newRow("预约单号") << "lineEdit_orderid2" << 0 << "请输入订单号";
    QTest::newRow("a cleared date") << "lineEdit_orderid2" << 4 << "请选择日期";
    QTest::newRow("姓名") << "lineEdit_orderid2" << 6 << "请输入姓名";
    QTest::newRow("电话") << "lineEdit_orderid2" << 7 << "请输入电话";
}

void TestShangJianDialog::emptyInputSendsNothing()
{
    QFETCH(QString, where);
    QFETCH(int, index);
    QFETCH(QString, box);
    m_desk->findChild<QComboBox*>("comboBox")->setCurrentIndex(index);
    if (auto* picker = topLevelWindow<CalendarPicker>())
        picker->findChild<QPushButton*>("pushButton_2")->click();
    pressReturnIn(where.toLatin1(), where == "lineEdit_orderid" ? "  " : "");
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, box);
    // The refusal came at the press; no request may follow it.
    QTest::qWait(50);
    QCOMPARE(searches().size() + marks().size(), 0);
    // Escape leaves the desk open.
    QTest::keyClick(m_desk.get(), Qt::Key_Escape);
    QVERIFY(m_desk->isVisible());
}

void TestShangJianDialog::criterionBoxTakesPickedDates()
{
    auto* combo = m_desk->findChild<QComboBox*>("comboBox");
    auto* box = m_desk->findChild<QLineEdit*>("lineEdit_orderid2");
    QVERIFY(!topLevelWindow<CalendarPicker>());
    box->setText("A1");
    combo->setCurrentIndex(1);
    QVERIFY(box->text().isEmpty());
    QVERIFY(box->isReadOnly());
    QTRY_VERIFY(topLevelWindow<CalendarPicker>());
    QVERIFY(QTest::qWaitForWindowActive(topLevelWindow<CalendarPicker>()));
    QTest::keyClick(topLevelWindow<CalendarPicker>(), Qt::Key_Return);
    QTRY_COMPARE(box->text(), QStringLiteral("2024-05-12"));
    QTRY_VERIFY(!topLevelWindow<CalendarPicker>());

    combo->setCurrentIndex(2);
    QTRY_VERIFY(topLevelWindow<CalendarPicker>());
    box->setText("2024-05-12");
    topLevelWindow<CalendarPicker>()->findChild<QPushButton*>("pushButton_2")->click();
    QCOMPARE(box->text(), QString());

    combo->setCurrentIndex(6);
    QVERIFY(!box->isReadOnly());
    // The cleared picker goes; no other comes for a name.
    QTRY_VERIFY(!topLevelWindow<CalendarPicker>());
}

void TestShangJianDialog::repliesFillTheListOfTheirSearch()
{
    // The order-number search answers after the criterion search.
    m_service->delay("order", "order_list", 400);
    pressReturnIn("lineEdit_orderid", "A24051201");
    QTRY_COMPARE(searches().size(), 1);
    m_service->clearFaults();
    searchBy(6, "郭晶");
    QTRY_COMPARE(model("tableView_left")->rowCount(), 1);
    QCOMPARE(column("tableView_left", 0), QStringList{"A24051201-1"});
    QCOMPARE(column("tableView_right", 0), QStringList{"A24051502-1"});
    QCOMPARE(m_prompts->messages().size(), 0);

    // The same order again adds no row; a found order keeps its place.
    searchLeft("A24051201");
    QCOMPARE(model("tableView_left")->rowCount(), 1);
    QCOMPARE(model("tableView_left")->item(0, 2)->text(), QStringLiteral("王小宝-刘芳-王强"));
    searchBy(0, "A2405150");
    searchBy(6, "郭晶");
    QCOMPARE(column("tableView_right", 0), QStringList({"A24051502-1", "A24051501-1"}));
}

void TestShangJianDialog::listRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("newKey");
    QTest::addColumn<QString>("newService");
    QTest::addColumn<QStringList>("after"); // orderNo/customerName of each entry
    // Before: A-1 "x", A-2 "y", B-1 "z".
    QTest::newRow("left: listed order dropped") << "left"
                                                << "A"
                                                << "2" << QStringList{"A-1/x", "A-2/y", "B-1/z"};
    QTest::newRow("left: new order appended") << "left"
                                              << "C"
                                              << "1" << QStringList{"A-1/x", "A-2/y", "B-1/z", "C-1/n"};
    QTest::newRow("search: replaced in place") << "search"
                                               << "A"
                                               << "2" << QStringList{"A-1/x", "A-2/n", "B-1/z"};
    QTest::newRow("mark: only its own service") << "mark"
                                                << "A"
                                                << "1" << QStringList{"A-1/n", "A-2/y", "B-1/z"};
    QTest::newRow("mark: no service count, every service") << "mark"
                                                           << "A"
                                                           << "" << QStringList{"A-/n", "A-/n", "B-1/z"};
    QTest::newRow("mark: new order appended") << "mark"
                                              << "C"
                                              << "3" << QStringList{"A-1/x", "A-2/y", "B-1/z", "C-3/n"};
}

void TestShangJianDialog::listRules()
{
    QFETCH(QString, rule);
    QFETCH(QString, newKey);
    QFETCH(QString, newService);
    QFETCH(QStringList, after);
    auto item = [](const QString& key, const QString& service, const QString& name) {
        return QJsonObject{
            {"orderpayforkey", key}, {"servicetimes", service}, {"bname", name}, {"babyname", name}};
    };
    const QList<QJsonObject> before = {item("A", "1", "x"), item("A", "2", "y"), item("B", "1", "z")};
    const QJsonObject added = item(newKey, newService, "n");
    QStringList result;
    if (rule == "left") {
        QList<ShangJianLeftData> list;
        for (const QJsonObject& o : before)
            ShangJian::addToLeft(list, ShangJian::leftFromSearch(o));
        ShangJian::addToLeft(list, ShangJian::leftFromSearch(added));
        for (const ShangJianLeftData& e : list)
            result.append(e.orderNo + "/" + e.customerName);
    } else {
        QList<ShangJianRightData> list;
        for (const QJsonObject& o : before)
            ShangJian::putSearchResult(list, ShangJian::rightFromSearch(o));
        if (rule == "search")
            ShangJian::putSearchResult(list, ShangJian::rightFromSearch(added));
        else
            ShangJian::putMarkResult(list, ShangJian::rightFromMark(added));
        for (const ShangJianRightData& e : list)
            result.append(e.orderNo + "/" + e.customerName);
    }
    QCOMPARE(result, after);
}

void TestShangJianDialog::markCodes_data()
{
    QTest::addColumn<bool>("scan");
    QTest::addColumn<QString>("orderKey");
    QTest::addColumn<QString>("title"); // of the one box; empty: none
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");
    QTest::newRow("scan, marked now") << true << "A24051501"
                                      << ""
                                      << "" << 1;
    QTest::newRow("scan, marked before") << true << "A24051201"
                                         << "提示"
                                         << "该订单已上件" << 1;
    QTest::newRow("scan, unknown order") << true << ""
                                         << "警告"
                                         << "订单不存在" << 0;
    QTest::newRow("double-click, marked now") << false << "A24051501"
                                              << "提示"
                                              << "上件成功" << 1;
    QTest::newRow("double-click, marked before") << false << "A24051201"
                                                 << "提示"
                                                 << "该订单已上件" << 1;
    QTest::newRow("double-click, refused") << false << "A24051502"
                                           << "警告"
                                           << "订单不存在" << 0;
}

void TestShangJianDialog::markCodes()
{
    QFETCH(bool, scan);
    QFETCH(QString, orderKey);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, rows);
    const QMap<QString, QString> ids = {
        {"A24051501", "100105"}, {"A24051201", "100101"}, {"A24051502", "100106"}};
    if (scan) {
        pressReturnIn("lineEdit", orderKey.isEmpty() ? "999999" : ids.value(orderKey));
        QCOMPARE(m_desk->findChild<QLineEdit*>("lineEdit")->selectedText(),
                 m_desk->findChild<QLineEdit*>("lineEdit")->text());
    } else {
        searchLeft(orderKey);
        if (text == "订单不存在")
            m_service->refuse("order", "gotodigitalid_post", "0", text);
        m_desk->findChild<QTableView*>("tableView_left")->doubleClicked(model("tableView_left")->index(0, 2));
        QCOMPARE(model("tableView_left")->rowCount(), 0);
    }
    QTRY_COMPARE(marks().size(), 1);
    QCOMPARE(marks().first().keys,
             QStringList({"token", "uid", "shopid", "order_photo_id", "superid", "eid", "personid"}));
    QCOMPARE(marks().first().values.value("uid"), QStringLiteral("1024"));
    if (title.isEmpty()) {
        QTRY_COMPARE(model("tableView_right")->rowCount(), rows);
        QTRY_VERIFY(repliesHandled());
        QTest::qWait(50); // no box after the mark's reply
        QCOMPARE(m_prompts->messages().size(), 0);
    } else {
        QTRY_COMPARE(m_prompts->messages().size(), 1);
        QCOMPARE(m_prompts->last().title, title);
        QCOMPARE(m_prompts->last().text, text);
    }
    QCOMPARE(model("tableView_right")->rowCount(), rows);
    if (rows) {
        QCOMPARE(model("tableView_right")->item(0, 0)->text(), orderKey + "-1");
        QCOMPARE(model("tableView_right")->item(0, 1)->text(), QString()); // a mark names no store
    }
    if (orderKey == "A24051501") {
        QCOMPARE(model("tableView_right")->item(0, 2)->text(), QStringLiteral("李店长"));
        QCOMPARE(model("tableView_right")->item(0, 3)->text(), QDate::currentDate().toString("yyyy-MM-dd"));
        QCOMPARE(model("tableView_right")->item(0, 4)->text(), QStringLiteral("张豆豆-吴静-张伟"));
    }
}

void TestShangJianDialog::crossedMarksKeepTheirRoad()
{
    searchLeft("A24051501");
    m_service->delay("order", "gotodigitalid_post", 400);
    m_desk->findChild<QTableView*>("tableView_left")->doubleClicked(model("tableView_left")->index(0, 0));
    QTRY_COMPARE(marks().size(), 1);
    m_service->clearFaults();
    pressReturnIn("lineEdit", "100106");
    QTRY_COMPARE(model("tableView_right")->rowCount(), 2);
    // Only the double-click's success is told.
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().text, QStringLiteral("上件成功"));
    QCOMPARE(column("tableView_right", 0), QStringList({"A24051502-1", "A24051501-1"}));
}

void TestShangJianDialog::markWithoutOrderAddsNoRow()
{
    m_service->sendRaw("order", "gotodigitalid_post", R"({"code":"1","message":"ok"})");
    pressReturnIn("lineEdit", "100105");
    QTRY_COMPARE(marks().size(), 1);
    QTRY_VERIFY(repliesHandled());
    QTest::qWait(50); // no row after the mark's reply
    QCOMPARE(model("tableView_right")->rowCount(), 0);
}

void TestShangJianDialog::brokenMarkReplies_data()
{
    QTest::addColumn<bool>("scan");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("double-click, cut JSON")
        << false << QByteArray(R"({"code":"1","message":"上件成功","order":{"orderpayforkey":"A2405)");
    QTest::newRow("double-click, an array") << false << QByteArray(R"([{"code":"1","message":"上件成功"}])");
    QTest::newRow("double-click, HTML") << false << QByteArray("<html>busy</html>");
    QTest::newRow("scan, cut JSON") << true << QByteArray(R"({"code":"1","mess)");
}

void TestShangJianDialog::brokenMarkReplies()
{
    QFETCH(bool, scan);
    QFETCH(QByteArray, body);
    m_service->sendRaw("order", "gotodigitalid_post", body);
    if (scan) {
        pressReturnIn("lineEdit", "100105");
    } else {
        searchLeft("A24051501");
        m_desk->findChild<QTableView*>("tableView_left")->doubleClicked(model("tableView_left")->index(0, 0));
    }
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("网络请求错误\n200"));
    QCOMPARE(marks().size(), 1);
    QCOMPARE(marks().first().values.value("order_photo_id"), QStringLiteral("100105"));
    QCOMPARE(model("tableView_left")->rowCount(), 0);
    QCOMPARE(model("tableView_right")->rowCount(), 0);
    QVERIFY(m_desk->findChild<QPushButton*>("pushButton_2")->isEnabled());
}

// The desk closed while a mark is on its way: the mark runs to its answer,
// and one the service did not take is named.
void TestShangJianDialog::markOnItsWayAtTheClose()
{
    searchLeft("A24051501");
    m_service->hold("order", "gotodigitalid_post");
    m_service->refuse("order", "gotodigitalid_post", "0", "订单不存在");
    m_desk->findChild<QTableView*>("tableView_left")->doubleClicked(model("tableView_left")->index(0, 2));
    QTRY_COMPARE(marks().size(), 1);
    QVERIFY(m_desk->close());
    m_service->release("order", "gotodigitalid_post");
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("上件失败：A24051501-1\n订单不存在"));
    QTRY_VERIFY(repliesHandled());
    QCOMPARE(marks().size(), 1);
}

void TestShangJianDialog::searchFailures_data()
{
    QTest::addColumn<QString>("fault"); // "http", "refuse" or a raw body
    QTest::addColumn<QString>("title"); // of the boxes, "" for none
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const char* fault, const char* title, const char* text) {
        QTest::newRow(name) << fault << title << text;
    };
    row("HTTP 500", "http", "警告", "网络请求错误\n500");
    row("refused", "refuse", "警告", "错误代码：0");
    row("code a number", R"({"code":1,"data":[{"orderpayforkey":"X"}]})", "警告", "错误代码：");
    row("no orders", R"({"code":"1","data":[]})", "提示", "没有查询到任何订单");
    row("data not an array", R"({"code":"1","data":{"orderpayforkey":"X"}})", "提示", "没有查询到任何订单");
    row("not JSON", "<html>busy</html>", "", "");
    row("an array", R"([{"code":"1"}])", "", "");
}

void TestShangJianDialog::searchFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, title);
    QFETCH(QString, text);
    searchBy(6, "郭晶");
    if (fault == "http")
        m_service->failHttp("order", "order_list", 500);
    else if (fault == "refuse")
        m_service->refuse("order", "order_list", "0", "x");
    else
        m_service->sendRaw("order", "order_list", fault.toUtf8());
    // Neither list changes.
    searchLeft("A24051201");
    searchBy(0, "A2405120");
    QCOMPARE(model("tableView_left")->rowCount(), 0);
    QCOMPARE(column("tableView_right", 0), QStringList{"A24051502-1"});
    QCOMPARE(m_prompts->messages().size(), title.isEmpty() ? 0 : 2);
    for (const ScriptedPrompts::Call& box : m_prompts->messages()) {
        QCOMPARE(box.title, title);
        QCOMPARE(box.text, text);
    }
    for (const char* button : {"pushButton", "pushButton_2"})
        QCOMPARE(m_desk->findChild<QPushButton*>(button)->text(), QStringLiteral("检索"));
}

void TestShangJianDialog::exportsTheRightTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("a workbook") << "上件.xlsx";
    QTest::newRow("an HTML table") << "上件.xls";
}

void TestShangJianDialog::exportsTheRightTable()
{
    QFETCH(QString, name);
    searchBy(6, "郭晶");
    QTemporaryDir dir;
    const QString chosen = dir.filePath(name);
    m_prompts->setNextPath(chosen);
    m_desk->findChild<QPushButton*>("pushButton_3")->click();
    QCOMPARE(m_prompts->calls().size(), 1);
    QCOMPARE(m_prompts->last().kind, ScriptedPrompts::Call::Kind::SaveFile);
    QCOMPARE(m_prompts->last().title, QStringLiteral("保存"));
    QCOMPARE(m_prompts->last().filter, QStringLiteral("Excel 文件(*.xls *.xlsx)"));
    const QList<QStringList> rows = ExportReader::rows(chosen);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0), QStringList{"上件管理"});
    QCOMPARE(rows.at(1),
             QStringList({"单号", "所属门店", "上件操作人", "上件日期", "客人姓名", "选片时间",
                          "选片完成时间", "选片人", "样后修片师", "样前对比片", "加急日期", "发货日期"}));
    QCOMPARE(rows.at(2).mid(0, 2), QStringList({"A24051502-1", "旗舰店二馆"}));
}

QTEST_MAIN(TestShangJianDialog)
#include "tst_shangjiandialog.moc"
