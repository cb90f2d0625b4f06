#include "config.h"
#include "desktopfont.h"
#include "fileoperation.h"
#include "importordermodel.h"
#include "ordersearch.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "searchorderwindow.h"
#include "standin.h"
#include "tempvolumes.h"
#include "windowtestenv.h"

#include <QtTest>

#include <QHeaderView>
#include <QSpinBox>
#include <QToolButton>

#include <QCalendarWidget>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>

// The import order search window driven by its widgets against the stand-in
// web service.
class TestSearchOrderWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void eachCriterionAsTheServiceLogsIt_data();
    void eachCriterionAsTheServiceLogsIt();
    void emptyKeywordPostsNothing_data();
    void emptyKeywordPostsNothing();
    void replyFillsModelsAndTable();
    void itemsThatAreNoObjectsGiveEmptyOrders();
    void emptyResultKeepsTheTable();
    void failuresKeepTheTable_data();
    void failuresKeepTheTable();
    void checkAllRow();
    void addCheckedOrders();
    void doubleClickHandsOnOneOrder();
    void contextMenuOpensTheOrderFolder();
    void adoptedModelDeletedElsewhereIsReplaced();
    void destructionDeletesOnlyUnadoptedModels();
    void closingEmitsCloseSignal();
    void pathFieldShowsTheSavedPath();
    void pathChooserFillsThePathField();
    void columnWidthsFollowTheTable();
    void headersShowTheirWholeText();
    void tableTakesTheWindowsWidth();
    void yearTypedInTheCalendarIsSearched();
    void standAloneHandsNothingOn();

private:
    using Env = WindowTestEnv;

    int searchCount() const { return m_env->service.requests("order", "order_list").size(); }
    QByteArray lastBody() const { return m_env->service.requests("order", "order_list").last().rawBody; }
    void search(SearchOrderWindow& w, int index, const QString& text = QString(), QDate date = QDate());
    QStandardItemModel* table(SearchOrderWindow& w);
    QStringList orderNumbers(SearchOrderWindow& w);
    QList<ImportOrderModel*> doubleClick(SearchOrderWindow& w, int row);

    std::unique_ptr<Env> m_env;
};

namespace {

// Search-type box indexes.
enum
{
    ByOrderNumber = 0,
    ByPhotoDate = 1,
    BySelectionDate = 2,
    ByBookingDate = 3,
    ByDeliveryDate = 4,
    ByUploadDate = 5,
    ByName = 6,
    ByTelephone = 7
};

const QStringList kUploadedOn0520{"A24051201", "A24051202", "A24051203", "A24051204"};

} // namespace

void TestSearchOrderWindow::initTestCase()
{
    StandIn::useDemoIdentity();
}

void TestSearchOrderWindow::init()
{
    m_env = std::make_unique<Env>();
}

void TestSearchOrderWindow::cleanup()
{
    if (m_env)
        QVERIFY2(m_env->prompts.unexpected().isEmpty(), qPrintable(m_env->prompts.unexpected().join("; ")));
    m_env.reset();
}

void TestSearchOrderWindow::search(SearchOrderWindow& w, int index, const QString& text, QDate date)
{
    w.findChild<QComboBox*>("comboBox")->setCurrentIndex(index);
    w.findChild<QLineEdit*>("orderNumber")->setText(text);
    if (date.isValid())
        w.findChild<QCalendarWidget*>("calendar")->setSelectedDate(date);
    auto* button = w.findChild<QPushButton*>("searchButton");
    const int before = searchCount();
    button->click();
    if (searchCount() == before && button->isEnabled())
        return; // refused before posting
    QCOMPARE(button->text(), QStringLiteral("检索中..."));
    QVERIFY(!button->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 10000);
    QCOMPARE(button->text(), QStringLiteral("检索"));
}

QStandardItemModel* TestSearchOrderWindow::table(SearchOrderWindow& w)
{
    return qobject_cast<QStandardItemModel*>(w.findChild<QTableView*>("tableView")->model());
}

QStringList TestSearchOrderWindow::orderNumbers(SearchOrderWindow& w)
{
    QStringList numbers;
    for (int r = 1; r < table(w)->rowCount(); ++r)
        numbers.append(table(w)->item(r, 0)->text());
    return numbers;
}

QList<ImportOrderModel*> TestSearchOrderWindow::doubleClick(SearchOrderWindow& w, int row)
{
    QSignalSpy spy(&w, &SearchOrderWindow::addSelectOrderSigl);
    auto* view = w.findChild<QTableView*>("tableView");
    emit view->doubleClicked(view->model()->index(row, 0));
    if (spy.isEmpty())
        return {};
    return spy.first().first().value<QList<ImportOrderModel*>>();
}

void TestSearchOrderWindow::eachCriterionAsTheServiceLogsIt_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("searchtype");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("orders");

    const QStringList head{"token", "shopid", "searchtype", "keyword", "superid"};
    const QStringList all = head + QStringList{"uid", "eid", "personid"};
    const QStringList noUid = head + QStringList{"eid", "personid"};
    const QStringList uidLast = head + QStringList{"eid", "personid", "uid"};
    const QDate none;

    QTest::newRow("order number, trimmed") << int(ByOrderNumber) << " A240515 " << none << "1"
                                           << "A240515" << all << QStringList{"A24051501", "A24051502"};
    QTest::newRow("photo date") << int(ByPhotoDate) << "" << QDate(2024, 5, 20) << "4"
                                << "2024-05-20" << uidLast << QStringList{"A24052001", "A24052002"};
    QTest::newRow("selection date") << int(BySelectionDate) << "" << QDate(2024, 5, 22) << "5"
                                    << "2024-05-22" << head + QStringList{"eid", "uid"}
                                    << QStringList{"A24051501", "A24051502"};
    QTest::newRow("booking date") << int(ByBookingDate) << "" << QDate(2024, 5, 6) << "6"
                                  << "2024-05-06" << uidLast << QStringList{"A24052001", "A24052002"};
    QTest::newRow("delivery date") << int(ByDeliveryDate) << "" << QDate(2024, 6, 5) << "7"
                                   << "2024-06-05" << all << QStringList{"A24051501", "A24051502"};
    QTest::newRow("upload date") << int(ByUploadDate) << "" << QDate(2024, 5, 20) << "9"
                                 << "2024-05-20" << all << kUploadedOn0520;
    QTest::newRow("name") << int(ByName) << "周婷" << none << "2"
                          << "周婷" << noUid << QStringList{"A24052002"};
    // The name goes out as typed, blanks included, and then matches nothing.
    QTest::newRow("name with blanks") << int(ByName) << " 周婷 " << none << "2"
                                      << " 周婷 " << noUid << QStringList{};
    QTest::newRow("telephone, trimmed") << int(ByTelephone) << " 13900000107 " << none << "3"
                                        << "13900000107" << noUid << QStringList{"A24052001"};
}

void TestSearchOrderWindow::eachCriterionAsTheServiceLogsIt()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    QFETCH(QString, searchtype);
    QFETCH(QString, keyword);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, orders);

    SearchOrderWindow w;
    if (orders.isEmpty())
        m_env->prompts.setNextAnswer(Prompts::Yes);
    search(w, index, typed, date);

    const auto logged = m_env->service.requests("order", "order_list");
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().method, QStringLiteral("POST"));
    QCOMPARE(logged.first().keys, keys);
    QCOMPARE(logged.first().values.value("searchtype"), searchtype);
    QCOMPARE(logged.first().values.value("keyword"), keyword);
    QCOMPARE(logged.first().values.value("token"), Config::token);
    QCOMPARE(logged.first().values.value("shopid"), QStringLiteral("12"));
    QCOMPARE(logged.first().values.value("superid"), QStringLiteral("8"));
    if (keys.contains("uid"))
        QCOMPARE(logged.first().values.value("uid"), QStringLiteral("2048"));
    QCOMPARE(logged.first().values.value("eid"), QStringLiteral("1024"));
    if (keys.contains("personid"))
        QCOMPARE(logged.first().values.value("personid"), QStringLiteral("1024"));

    if (orders.isEmpty()) {
        QCOMPARE(m_env->prompts.last().text, QStringLiteral("没有查询到任何订单"));
        QCOMPARE(table(w)->rowCount(), 0);
    } else {
        QCOMPARE(orderNumbers(w), orders);
    }
}

void TestSearchOrderWindow::emptyKeywordPostsNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::newRow("order number") << int(ByOrderNumber) << "请输入订单号";
    QTest::newRow("name") << int(ByName) << "请输入姓名";
    QTest::newRow("telephone") << int(ByTelephone) << "请输入电话";
}

void TestSearchOrderWindow::emptyKeywordPostsNothing()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    SearchOrderWindow w;
    m_env->prompts.setNextAnswer(Prompts::Yes);
    search(w, index, QString());
    QCOMPARE(m_env->prompts.last().title, QStringLiteral("警告"));
    QCOMPARE(m_env->prompts.last().text, text);
    QCOMPARE(m_env->prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QVERIFY(!m_env->prompts.last().hasParent);
    QTest::qWait(50);
    QCOMPARE(searchCount(), 0);
    QVERIFY(w.findChild<QPushButton*>("searchButton")->isEnabled());
}

void TestSearchOrderWindow::replyFillsModelsAndTable()
{
    m_env->volumes.mkdir("photos/2024-05/12/A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆");
    SearchOrderWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("检索订单 (双击添加订单)"));
    QVERIFY(w.findChild<QPushButton*>("selectPathButton")->isHidden());
    QVERIFY(w.findChild<QLineEdit*>("pathLineEdit")->isHidden());

    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    QStandardItemModel* model = table(w);
    QCOMPARE(model->columnCount(), 13);
    const QStringList headers{"预约单号", "所属门店",     "服务次数", "客人姓名",   "摄影师",
                              "化妆师",   "样前对比片师", "订单路径", "样后修片师", "套系",
                              "套系金额", "订单现售价",   "上件日期"};
    for (int c = 0; c < 13; ++c)
        QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers.at(c));
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(model->item(0, 0)->text(), QStringLiteral("全选"));
    QVERIFY(model->item(0, 0)->isCheckable());
    QCOMPARE(model->item(0, 0)->checkState(), Qt::Unchecked);
    QVERIFY(!model->item(0, 1));

    const QStringList row1{
        "A24051201",
        "旗舰店一馆",
        "1",
        "王小宝-刘芳-王强",
        "陈摄影",
        "林化妆",
        "吴调色",
        m_env->volumes.path("photos/2024-05/12/A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆/"),
        "郑修图",
        "宝宝照经典套系",
        "2999",
        "3299",
        "2024-05-20 10:00:00"};
    for (int c = 0; c < 13; ++c) {
        QCOMPARE(model->item(1, c)->text(), row1.at(c));
        const bool centred = c != 0 && c != 7;
        QCOMPARE(model->item(1, c)->textAlignment() == Qt::AlignCenter, centred);
    }
    for (int r = 1; r < 5; ++r) {
        QVERIFY(model->item(r, 0)->isCheckable());
        QCOMPARE(model->item(r, 0)->checkState(), Qt::Unchecked);
    }
    QCOMPARE(model->item(2, 3)->text(), QStringLiteral("孙丽-钱伟"));

    // The table's orders are the models handed on, parentless.
    const QList<ImportOrderModel*> picked = doubleClick(w, 3);
    QCOMPARE(picked.size(), 1);
    QCOMPARE(picked.first()->getOrderName(), QStringLiteral("A24051203-2"));
    QCOMPARE(picked.first()->getOrderID(), QStringLiteral("100103"));
    QCOMPARE(picked.first()->getStore_picpath(), m_env->volumes.path("photos/"));
    QVERIFY(!picked.first()->parent());
}

void TestSearchOrderWindow::itemsThatAreNoObjectsGiveEmptyOrders()
{
    m_env->service.sendRaw("order", "order_list",
                           R"({"code":"1","data":[7,{"orderpayforkey":"X1","servicetimes":"1"}]})");
    SearchOrderWindow w;
    search(w, ByPhotoDate);
    QCOMPARE(orderNumbers(w), QStringList({"", "X1"}));
    QCOMPARE(doubleClick(w, 1).value(0)->getOrderName(), QStringLiteral("-"));
}

void TestSearchOrderWindow::emptyResultKeepsTheTable()
{
    SearchOrderWindow w;
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    QCOMPARE(orderNumbers(w), kUploadedOn0520);
    ImportOrderModel* before = doubleClick(w, 1).value(0);

    m_env->prompts.setNextAnswer(Prompts::Yes);
    search(w, ByPhotoDate, QString(), QDate(2020, 1, 1));
    QCOMPARE(m_env->prompts.last().title, QStringLiteral("提示"));
    QCOMPARE(m_env->prompts.last().text, QStringLiteral("没有查询到任何订单"));
    QVERIFY(!m_env->prompts.last().hasParent);
    QCOMPARE(orderNumbers(w), kUploadedOn0520);
    QCOMPARE(doubleClick(w, 1).value(0), before);
}

void TestSearchOrderWindow::failuresKeepTheTable_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("refusal") << "refuse" << QByteArray() << "警告"
                             << "错误代码：40";
    QTest::newRow("code as a number")
        << "raw" << QByteArray(R"({"code":1,"data":[{"orderpayforkey":"X"}]})") << "警告"
        << "错误代码：";
    QTest::newRow("http 500") << "http" << QByteArray() << "警告"
                              << "网络请求错误\n500";
    QTest::newRow("connection dropped") << "drop" << QByteArray() << "警告"
                                        << "网络请求错误\n";
    QTest::newRow("not json") << "raw" << QByteArray("<html>busy</html>") << ""
                              << "";
    QTest::newRow("json array") << "raw" << QByteArray(R"([{"code":"1"}])") << ""
                                << "";
}

void TestSearchOrderWindow::failuresKeepTheTable()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, raw);
    QFETCH(QString, title);
    QFETCH(QString, text);

    SearchOrderWindow w;
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    QCOMPARE(orderNumbers(w), kUploadedOn0520);

    if (fault == "refuse")
        m_env->service.refuse("order", "order_list", "40", "无权限");
    else if (fault == "http")
        m_env->service.failHttp("order", "order_list", 500);
    else if (fault == "drop")
        m_env->service.drop("order", "order_list");
    else
        m_env->service.sendRaw("order", "order_list", raw);
    m_env->prompts.clear();
    if (!title.isEmpty())
        m_env->prompts.setNextAnswer(Prompts::Yes);
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    if (title.isEmpty()) {
        QVERIFY(m_env->prompts.messages().isEmpty());
    } else {
        QCOMPARE(m_env->prompts.messages().size(), 1);
        QCOMPARE(m_env->prompts.last().title, title);
        QCOMPARE(m_env->prompts.last().text, text);
        QCOMPARE(m_env->prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
    }
    QCOMPARE(orderNumbers(w), kUploadedOn0520);

    // The window searches again once the fault is gone.
    m_env->service.clearFaults();
    search(w, ByName, "周婷");
    QCOMPARE(orderNumbers(w), QStringList{"A24052002"});
}

void TestSearchOrderWindow::checkAllRow()
{
    SearchOrderWindow w;
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    QStandardItemModel* model = table(w);
    auto states = [model] {
        QList<int> s;
        for (int r = 0; r < model->rowCount(); ++r)
            s.append(model->item(r, 0)->checkState());
        return s;
    };

    model->item(0, 0)->setCheckState(Qt::Checked);
    QCOMPARE(states(), QList<int>({2, 2, 2, 2, 2}));
    model->item(2, 0)->setCheckState(Qt::Unchecked);
    QCOMPARE(states(), QList<int>({2, 2, 0, 2, 2}));
    model->item(0, 0)->setCheckState(Qt::Unchecked);
    QCOMPARE(states(), QList<int>({0, 0, 0, 0, 0}));
    model->item(3, 0)->setCheckState(Qt::Checked);
    QCOMPARE(states(), QList<int>({0, 0, 0, 2, 0}));
    // A partly checked "全选" changes nothing.
    model->item(0, 0)->setCheckState(Qt::PartiallyChecked);
    QCOMPARE(states(), QList<int>({1, 0, 0, 2, 0}));
}

void TestSearchOrderWindow::addCheckedOrders()
{
    SearchOrderWindow w;
    w.show();
    QSignalSpy spy(&w, &SearchOrderWindow::addSelectOrderSigl);
    auto* add = w.findChild<QPushButton*>("addOrdersBtn");

    // Nothing found yet, nothing checked.
    m_env->prompts.setNextAnswer(Prompts::Ok);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(m_env->prompts.last().title, QStringLiteral("提示"));
    QCOMPARE(m_env->prompts.last().text, QStringLiteral("请选择导入的订单"));
    QCOMPARE(m_env->prompts.last().buttons, Prompts::StandardButtons(Prompts::Ok));
    QVERIFY(m_env->prompts.last().hasParent);
    QVERIFY(spy.isEmpty());

    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    table(w)->item(1, 0)->setCheckState(Qt::Checked);
    table(w)->item(3, 0)->setCheckState(Qt::Checked);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(spy.size(), 1);
    const auto picked = spy.first().first().value<QList<ImportOrderModel*>>();
    QCOMPARE(picked.size(), 2);
    QCOMPARE(picked.at(0)->getOrderNum(), QStringLiteral("A24051201"));
    QCOMPARE(picked.at(1)->getOrderNum(), QStringLiteral("A24051203"));
    // The window stays open with its checks.
    QVERIFY(w.isVisible());
    QCOMPARE(table(w)->item(1, 0)->checkState(), Qt::Checked);

    // The same orders go out again as the same objects.
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(spy.at(1).first().value<QList<ImportOrderModel*>>(), picked);
}

void TestSearchOrderWindow::doubleClickHandsOnOneOrder()
{
    SearchOrderWindow w;
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    table(w)->item(1, 0)->setCheckState(Qt::Checked);

    QVERIFY(doubleClick(w, 0).isEmpty());
    const auto picked = doubleClick(w, 3);
    QCOMPARE(picked.size(), 1);
    QCOMPARE(picked.first()->getOrderNum(), QStringLiteral("A24051203"));
    QVERIFY(doubleClick(w, 9).isEmpty());
}

void TestSearchOrderWindow::contextMenuOpensTheOrderFolder()
{
    SearchOrderWindow w;
    w.show();
    auto* view = w.findChild<QTableView*>("tableView");
    auto* menu = view->findChild<QMenu*>();
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QAction* open = menu->actions().first();
    QCOMPARE(open->text(), QStringLiteral("打开订单目录"));

    // Orders the web service knows no folder of: the entry is disabled.
    search(w, ByPhotoDate, QString(), QDate(2024, 5, 20));
    view->setCurrentIndex(view->model()->index(2, 3));
    emit view->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(!open->isEnabled());
    menu->hide();

    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    // The check-all row offers nothing.
    view->setCurrentIndex(view->model()->index(0, 0));
    emit view->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!menu->isVisible());

    view->setCurrentIndex(view->model()->index(4, 1));
    emit view->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(open->isEnabled());
    // A path that is no folder is named, not opened.
    const QString folder =
        m_env->volumes.path("studio-nas/2024-05/12/A24051204-1-李乐乐-李军-陈摄影-林化妆/");
    m_env->prompts.setNextAnswer(Prompts::Yes);
    open->trigger();
    menu->hide();
    QVERIFY(m_env->desktop.urls.isEmpty());
    QCOMPARE(m_env->prompts.last().text, QStringLiteral("订单目录不存在：") + folder);
    QVERIFY(QDir().mkpath(folder));
    open->trigger();
    QCOMPARE(m_env->desktop.urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

void TestSearchOrderWindow::adoptedModelDeletedElsewhereIsReplaced()
{
    SearchOrderWindow w;
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    QPointer<ImportOrderModel> first = doubleClick(w, 1).value(0);
    QVERIFY(first);
    first->setObjectName("adopted");

    {
        // A receiver adopts the order and later goes away with it.
        QObject receiver;
        first->setParent(&receiver);
    }
    QVERIFY(first.isNull());

    // The window still lists the order and hands on a live model for it.
    QCOMPARE(table(w)->item(1, 0)->text(), QStringLiteral("A24051201"));
    QPointer<ImportOrderModel> again = doubleClick(w, 1).value(0);
    QVERIFY(again);
    QVERIFY(again->objectName().isEmpty());
    QCOMPARE(again->getOrderName(), QStringLiteral("A24051201-1"));
    QCOMPARE(again->getCustName(), QStringLiteral("王小宝-刘芳-王强"));
    QVERIFY(!again->parent());

    table(w)->item(1, 0)->setCheckState(Qt::Checked);
    QSignalSpy spy(&w, &SearchOrderWindow::addSelectOrderSigl);
    QTest::mouseClick(w.findChild<QPushButton*>("addOrdersBtn"), Qt::LeftButton);
    QCOMPARE(spy.first().first().value<QList<ImportOrderModel*>>(), QList<ImportOrderModel*>{again.data()});
}

void TestSearchOrderWindow::destructionDeletesOnlyUnadoptedModels()
{
    QObject receiver;
    QPointer<ImportOrderModel> adopted;
    QPointer<ImportOrderModel> handedButNotKept;
    QPointer<ImportOrderModel> earlierSearch;
    {
        auto* w = new SearchOrderWindow;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        search(*w, ByUploadDate, QString(), QDate(2024, 5, 20));
        earlierSearch = doubleClick(*w, 2).value(0);
        search(*w, ByUploadDate, QString(), QDate(2024, 5, 20));
        adopted = doubleClick(*w, 1).value(0);
        adopted->setParent(&receiver);
        handedButNotKept = doubleClick(*w, 2).value(0);
        QVERIFY(earlierSearch && adopted && handedButNotKept);
        QVERIFY(earlierSearch != handedButNotKept);
        w->close();
    }
    QTRY_VERIFY(handedButNotKept.isNull());
    QVERIFY(earlierSearch.isNull());
    QVERIFY(!adopted.isNull());
    QCOMPARE(adopted->parent(), &receiver);
}

void TestSearchOrderWindow::closingEmitsCloseSignal()
{
    SearchOrderWindow w;
    w.show();
    QSignalSpy closed(&w, &SearchOrderWindow::closeSignal);
    QTest::mouseClick(w.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QCOMPARE(closed.size(), 1);
    QVERIFY(!w.isVisible());
}

void TestSearchOrderWindow::pathFieldShowsTheSavedPath()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    {
        SearchOrderWindow empty;
        QVERIFY(empty.findChild<QLineEdit*>("pathLineEdit")->text().isEmpty());
    }
    QVERIFY(FileOperation::writeToDAT("path_copyPhotos.dat", {"/Volumes/out/照片", "/second"}, false));
    SearchOrderWindow w;
    QCOMPARE(w.findChild<QLineEdit*>("pathLineEdit")->text(), QStringLiteral("/Volumes/out/照片"));
    QDir::setCurrent(previous);
}

void TestSearchOrderWindow::pathChooserFillsThePathField()
{
    SearchOrderWindow w;
    auto* field = w.findChild<QLineEdit*>("pathLineEdit");
    m_env->prompts.setNextPath("/Volumes/out/导片");
    w.on_selectPathButton_clicked();
    QCOMPARE(field->text(), QStringLiteral("/Volumes/out/导片"));
    QCOMPARE(m_env->prompts.last().kind, ScriptedPrompts::Call::Kind::Directory);
    QCOMPARE(m_env->prompts.last().title, QStringLiteral("选择分件保存路径"));

    // Cancelling keeps what was there.
    m_env->prompts.setNextPath(QString());
    w.on_selectPathButton_clicked();
    QCOMPARE(field->text(), QStringLiteral("/Volumes/out/导片"));
}

void TestSearchOrderWindow::columnWidthsFollowTheTable()
{
    SearchOrderWindow w;
    w.resize(1600, 900);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* view = w.findChild<QTableView*>("tableView");
    QTRY_VERIFY(view->columnWidth(0) > 0);
    const QVector<int> widths = OrderSearch::columnWidths(view->width());
    // The table's shares, widened only where a header would be cut.
    for (int c = 0; c < 13; ++c) {
        if (view->columnWidth(c) != widths.at(c))
            QCOMPARE(view->columnWidth(c), view->horizontalHeader()->sectionSizeHint(c));
        QVERIFY(view->columnWidth(c) >= widths.at(c));
    }
}

void TestSearchOrderWindow::headersShowTheirWholeText()
{
    SearchOrderWindow w; // 0.8 of the screen
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* view = w.findChild<QTableView*>("tableView");
    QTRY_VERIFY(view->columnWidth(0) > 0);
    const QFontMetrics metrics(view->horizontalHeader()->font());
    for (int c = 0; c < 13; ++c) {
        const QString header = table(w)->horizontalHeaderItem(c)->text();
        QVERIFY2(view->columnWidth(c) >= metrics.horizontalAdvance(header), qPrintable(header));
    }
}

// Maximised on a 1366 x 768 screen, the order table takes the window's
// width beside the search box, which keeps the least it asks for.
void TestSearchOrderWindow::tableTakesTheWindowsWidth()
{
    const DesktopFont font;
    SearchOrderWindow w;
    w.resize(1366, 740);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto* view = w.findChild<QTableView*>("tableView");
    const auto* box = w.findChild<QGroupBox*>("groupBox_2");
    const auto* grid = qobject_cast<QGridLayout*>(w.layout());
    QVERIFY(grid);
    QCOMPARE(box->width(), qMax(box->minimumWidth(), box->minimumSizeHint().width()));
    const QMargins margins = grid->contentsMargins();
    QCOMPARE(view->width(),
             w.width() - margins.left() - margins.right() - grid->horizontalSpacing() - box->width());
}

void TestSearchOrderWindow::yearTypedInTheCalendarIsSearched()
{
    SearchOrderWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.findChild<QComboBox*>("comboBox")->setCurrentIndex(ByUploadDate);
    auto* calendar = w.findChild<QCalendarWidget*>("calendar");
    calendar->setSelectedDate(QDate(2023, 5, 20));
    // The year box is opened, 2024 typed and Return pressed in it.
    auto* yearButton = calendar->findChild<QToolButton*>("qt_calendar_yearbutton");
    QVERIFY(yearButton);
    QTest::mouseClick(yearButton, Qt::LeftButton);
    auto* yearEdit = calendar->findChild<QSpinBox*>("qt_calendar_yearedit");
    QTRY_VERIFY(yearEdit->isVisible());
    yearEdit->selectAll();
    QTest::keyClicks(yearEdit, "2024");
    QTest::keyClick(yearEdit, Qt::Key_Return);
    if (searchCount() == 0) // Return did not reach the search button here
        w.findChild<QPushButton*>("searchButton")->click();
    QTRY_COMPARE(searchCount(), 1);
    QCOMPARE(m_env->service.requests("order", "order_list").first().values.value("keyword"),
             QStringLiteral("2024-05-20"));
    QTRY_VERIFY(w.findChild<QPushButton*>("searchButton")->isEnabled());
    QCOMPARE(orderNumbers(w), kUploadedOn0520);
}

void TestSearchOrderWindow::standAloneHandsNothingOn()
{
    SearchOrderWindow w;
    w.setStandAlone(true);
    w.show();
    search(w, ByUploadDate, QString(), QDate(2024, 5, 20));
    QCOMPARE(w.windowTitle(), QStringLiteral("检索订单"));
    QVERIFY(w.findChild<QPushButton*>("addOrdersBtn")->isHidden());
    QVERIFY(doubleClick(w, 1).isEmpty());
}

QTEST_MAIN(TestSearchOrderWindow)
#include "tst_searchorderwindow.moc"
