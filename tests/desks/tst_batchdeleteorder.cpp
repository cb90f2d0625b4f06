#include "batchdeleteorder.h"
#include "fileoperation.h"
#include "pendingrecords.h"
#include "scriptedprompts.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "webservice.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QPushButton>
#include <QSemaphore>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>

#include <functional>
#include <memory>

namespace {

// Opens the calendar's year box and types the year there, leaving the box
// open; the box, or nullptr when it did not open.
QSpinBox* typeYear(QCalendarWidget* calendar, const QString& year)
{
    QTest::mouseClick(calendar->findChild<QToolButton*>("qt_calendar_yearbutton"), Qt::LeftButton);
    auto* yearBox = calendar->findChild<QSpinBox*>("qt_calendar_yearedit");
    if (!QTest::qWaitFor([yearBox] { return yearBox->isVisible(); }))
        return nullptr;
    yearBox->selectAll();
    QTest::keyClicks(yearBox, year);
    return yearBox;
}

// Scripted boxes that let the test look at the window as each box comes up.
class WatchingPrompts : public ScriptedPrompts
{
public:
    std::function<void()> onBox;

protected:
    Answer ask(const Message& message) override
    {
        if (onBox)
            onBox();
        return ScriptedPrompts::ask(message);
    }
};

} // namespace

// The batch deletion window against the stand-in, on real folders under a
// temporary mount root.
class TestBatchDeleteOrder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchPostsThePickedDaysOnce();
    void searchTakesAYearStillTyped_data();
    void searchTakesAYearStillTyped();
    void searchReplacesOrKeepsTheList_data();
    void searchReplacesOrKeepsTheList();
    void columnWidths_data();
    void columnWidths();
    void deletion_data();
    void deletion();
    void refusedFoldersAreListedAndKept_data();
    void refusedFoldersAreListedAndKept();
    void closingDuringARunIsRefused_data();
    void closingDuringARunIsRefused();
    void logsOnTheirWayAtTheClose_data();
    void logsOnTheirWayAtTheClose();

private:
    // Starts the stand-in and makes the folders of the demo orders closed in
    // the first week of June 2024.
    void makeJuneFolders();
    void search(QDate from = QDate(2024, 6, 3), QDate to = QDate(2024, 6, 9));
    QStandardItemModel* table()
    {
        return qobject_cast<QStandardItemModel*>(m_window->findChild<QTableView*>()->model());
    }
    // Checks the rows by 预约单号 and starts the deletion.
    void deleteOrders(const QStringList& keys);
    QStringList boxes() const;
    QStringList loggedIds() const;

    std::unique_ptr<WatchingPrompts> m_prompts;
    std::unique_ptr<TempVolumes> m_volumes;
    std::unique_ptr<StandIn> m_service;
    std::unique_ptr<BatchDeleteOrder> m_window;
    QMap<QString, QString> m_folders; // 预约单号 -> local folder
};

void TestBatchDeleteOrder::init()
{
    m_prompts = std::make_unique<WatchingPrompts>();
    m_prompts->setLenient(true);
    m_volumes = std::make_unique<TempVolumes>();
    StandIn::useDemoIdentity();
}

void TestBatchDeleteOrder::cleanup()
{
    m_window.reset();
    FileOperation::setFaultHook(nullptr);
    m_service.reset();
    m_volumes.reset();
    m_prompts.reset();
    m_folders.clear();
}

void TestBatchDeleteOrder::makeJuneFolders()
{
    m_service = std::make_unique<StandIn>();
    for (const QJsonValue& v : m_service->storeSnapshot().value("orders").toArray()) {
        QString path = v.toObject().value("orderpath").toString();
        if (v.toObject().value("shopid").toString() != "12" || path.isEmpty())
            continue;
        path.remove(0, QStringLiteral("\\\\studio-nas\\").size()).replace('\\', '/');
        m_volumes->writeFile(path + "成品/精修/IMG_0001.JPG", "fine");
        m_folders.insert(v.toObject().value("orderpayforkey").toString(), m_volumes->path(path));
    }
    QCOMPARE(m_folders.size(), 4);
    m_window = std::make_unique<BatchDeleteOrder>();
}

void TestBatchDeleteOrder::search(QDate from, QDate to)
{
    m_window->findChild<QCalendarWidget*>("calendar")->setSelectedDate(from);
    m_window->findChild<QCalendarWidget*>("calendar_2")->setSelectedDate(to);
    const int before = m_service->requests("order", "order_list2").size();
    m_window->findChild<QPushButton*>("searchButton")->click();
    QTRY_COMPARE(m_service->requests("order", "order_list2").size(), before + 1);
    QTRY_VERIFY(m_window->findChild<QPushButton*>("searchButton")->isEnabled());
}

void TestBatchDeleteOrder::deleteOrders(const QStringList& keys)
{
    for (int row = 0; row < table()->rowCount(); ++row) {
        if (keys.contains(table()->item(row, 1)->text()))
            m_window->on_tableView_clicked(table()->index(row, 3));
    }
    m_window->findChild<QPushButton*>("pushButton_separate")->click();
}

QStringList TestBatchDeleteOrder::boxes() const
{
    QStringList texts;
    for (const ScriptedPrompts::Call& call : m_prompts->messages())
        texts.append(call.text);
    return texts;
}

QStringList TestBatchDeleteOrder::loggedIds() const
{
    QStringList ids;
    for (const StandIn::LoggedRequest& r : m_service->requests("OrderPhoto", "order_photo_del"))
        ids.append(r.values.value("orderphotoid"));
    ids.sort();
    return ids;
}

void TestBatchDeleteOrder::searchPostsThePickedDaysOnce()
{
    makeJuneFolders();
    m_service->delay("order", "order_list2", 300);
    // A year typed into the start date's year box and Return: the year is
    // taken, and nothing is searched.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    auto* start = m_window->findChild<QCalendarWidget*>("calendar");
    start->setSelectedDate(QDate(2024, 6, 9));
    QSpinBox* yearBox = typeYear(start, "2023");
    QVERIFY(yearBox);
    QTest::keyClick(yearBox, Qt::Key_Return);
    QCOMPARE(start->selectedDate(), QDate(2023, 6, 9));
    QCOMPARE(m_window->findChild<QPushButton*>("searchButton")->text(), QStringLiteral("检索"));
    // A start after the end goes as picked.
    m_window->findChild<QCalendarWidget*>("calendar")->setSelectedDate(QDate(2024, 6, 9));
    m_window->findChild<QCalendarWidget*>("calendar_2")->setSelectedDate(QDate(2024, 6, 3));
    auto* button = m_window->findChild<QPushButton*>("searchButton");
    m_window->clickSearch();
    QCOMPARE(button->text(), QStringLiteral("检索中..."));
    QVERIFY(!button->isEnabled());
    m_window->clickSearch();
    QTRY_COMPARE(button->text(), QStringLiteral("检索"));

    const QList<StandIn::LoggedRequest> posts = m_service->requests("order", "order_list2");
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().keys,
             QStringList({"token", "shopid", "eid", "personid", "uid", "superid", "starttime", "endtime"}));
    QCOMPARE(QStringList({posts.first().values.value("starttime"), posts.first().values.value("endtime"),
                          posts.first().values.value("uid"), posts.first().values.value("eid")}),
             QStringList({"2024-06-09", "2024-06-03", "2048", "1024"}));
}

void TestBatchDeleteOrder::searchTakesAYearStillTyped_data()
{
    QTest::addColumn<QString>("calendar"); // whose year box is left open
    QTest::addColumn<QStringList>("days"); // posted as starttime, endtime
    QTest::newRow("start date") << "calendar" << QStringList{"2023-06-03", "2024-06-09"};
    QTest::newRow("end date") << "calendar_2" << QStringList{"2024-06-03", "2023-06-09"};
}

// 检索 pressed while a year typed into a year box is not yet confirmed.
void TestBatchDeleteOrder::searchTakesAYearStillTyped()
{
    QFETCH(QString, calendar);
    makeJuneFolders();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->findChild<QCalendarWidget*>("calendar")->setSelectedDate(QDate(2024, 6, 3));
    m_window->findChild<QCalendarWidget*>("calendar_2")->setSelectedDate(QDate(2024, 6, 9));
    QVERIFY(typeYear(m_window->findChild<QCalendarWidget*>(calendar), "2023"));
    m_window->findChild<QPushButton*>("searchButton")->click();
    QTRY_COMPARE(m_service->requests("order", "order_list2").size(), 1);
    const StandIn::LoggedRequest post = m_service->requests("order", "order_list2").first();
    QTEST(QStringList({post.values.value("starttime"), post.values.value("endtime")}), "days");
}

void TestBatchDeleteOrder::searchReplacesOrKeepsTheList_data()
{
    QTest::addColumn<QString>("fault"); // of the second search
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("box");
    QTest::newRow("orders of another week") << "" << 2 << "";
    QTest::newRow("a week without orders") << "none" << 0 << "没有查询到任何订单";
    QTest::newRow("refused") << "refuse" << 4 << "检索错误：0";
    QTest::newRow("not JSON") << "raw" << 4 << "";
    QTest::newRow("transport error") << "http" << 4 << "网络请求错误\n500";
}

void TestBatchDeleteOrder::searchReplacesOrKeepsTheList()
{
    QFETCH(QString, fault);
    QFETCH(int, rows);
    QFETCH(QString, box);
    makeJuneFolders();
    search();
    QCOMPARE(table()->rowCount(), 4);
    QCOMPARE(
        QStringList({table()->item(0, 1)->text(), table()->item(0, 4)->text(), table()->item(0, 13)->text()}),
        QStringList({"A24051201", "王小宝-刘芳-王强", m_folders.value("A24051201")}));
    QCOMPARE(table()->item(0, 0)->data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    if (fault == "refuse")
        m_service->refuse("order", "order_list2", "0", "x");
    else if (fault == "raw")
        m_service->sendRaw("order", "order_list2", "<html>");
    else if (fault == "http")
        m_service->failHttp("order", "order_list2", 500);
    if (fault == "none")
        search(QDate(2023, 1, 1), QDate(2023, 1, 7));
    else
        search(QDate(2024, 6, 17), QDate(2024, 6, 23));
    QCOMPARE(table()->rowCount(), rows);
    QCOMPARE(boxes(), box.isEmpty() ? QStringList() : QStringList{box});
}

void TestBatchDeleteOrder::columnWidths_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QVector<int>>("expected");
    QTest::newRow("1200") << 1200
                          << QVector<int>{60, 148, 102, 68, 102, 102, 102, 102, 114, 114, 114, 114, 114, 364};
    QTest::newRow("800") << 800 << QVector<int>{60, 130, 68, 36, 68, 68, 68, 75, 74, 74, 74, 74, 74, 244};
    QTest::newRow("1000, first rule")
        << 1000 << QVector<int>{60, 122, 84, 56, 84, 84, 84, 84, 94, 94, 94, 94, 94, 300};
    QTest::newRow("999, second rule")
        << 999 << QVector<int>{60, 130, 91, 48, 91, 91, 91, 100, 98, 98, 98, 98, 98, 323};
    QTest::newRow("150, negative") << 150
                                   << QVector<int>{60, 130, -4, -2, -4, -4, -4, -4, -4, -4, -4, -4, -4, -16};
}

void TestBatchDeleteOrder::columnWidths()
{
    QFETCH(int, width);
    QFETCH(QVector<int>, expected);
    QCOMPARE(BatchDeleteOrder::columnWidths(width), expected);

    // The window applies the widths it may and keeps the others.
    BatchDeleteOrder w;
    auto* view = w.findChild<QTableView*>("tableView");
    view->setColumnWidth(2, 77);
    view->setMinimumSize(0, 0);
    view->setFixedWidth(width);
    w.show();
    QTRY_COMPARE(view->columnWidth(1), expected.at(1));
    QCOMPARE(view->columnWidth(2), expected.at(2) < 0 ? 77 : expected.at(2));
}

void TestBatchDeleteOrder::deletion_data()
{
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes"); // each the start of a box's text
    QTest::addColumn<QStringList>("logged");
    const QString done = "订单照片删除成功";
    QTest::newRow("one of four") << QStringList{"A24051202"} << "" << QStringList{done}
                                 << QStringList{"100102"};
    QTest::newRow("nothing checked") << QStringList() << "" << QStringList{"请选择订单"} << QStringList();
    QTest::newRow("folder missing") << QStringList{"A24051203"} << "missing" << QStringList{"订单路径不存在"}
                                    << QStringList();
    QTest::newRow("a removal fails") << QStringList{"A24051201", "A24051203"} << "removal"
                                     << QStringList{"以下订单照片删除失败：\nA24051203："}
                                     << QStringList{"100101"};
    QTest::newRow("folder cannot be looked at after its removal")
        << QStringList{"A24051201", "A24051203"} << "unseen"
        << QStringList{"以下订单照片删除失败：\nA24051203："} << QStringList{"100101"};
    // "%f": the order's folder.
    const QString unlogged = "删除记录上报失败：A24051204：%f\n";
    QTest::newRow("log refused") << QStringList{"A24051204"} << "refuse"
                                 << QStringList{done, unlogged + "没有权限\t0"} << QStringList{"100104"};
    QTest::newRow("log not JSON") << QStringList{"A24051204"} << "raw"
                                  << QStringList{done, unlogged + "请检查网络连接\n200"}
                                  << QStringList{"100104"};
    QTest::newRow("log transport error")
        << QStringList{"A24051204"} << "http" << QStringList{done, unlogged + "请检查网络连接\n503"}
        << QStringList{"100104"};
}

void TestBatchDeleteOrder::deletion()
{
    QFETCH(QStringList, checked);
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, logged);
    makeJuneFolders();
    const QString stuck = m_folders.value("A24051203");
    if (fault == "missing")
        QVERIFY(QDir(stuck).removeRecursively());
    else if (fault == "removal")
        FileOperation::setFaultHook([stuck](FileOperation::Fault f, const QString& path) {
            return f == FileOperation::Fault::Remove && path.startsWith(stuck);
        });
    else if (fault == "unseen") // once removed, it cannot be looked at
        FileOperation::setFaultHook([stuck](FileOperation::Fault f, const QString& path) {
            return f == FileOperation::Fault::LookUp && path == QDir::cleanPath(stuck) &&
                   !QFileInfo::exists(stuck);
        });
    else if (fault == "refuse")
        m_service->refuse("OrderPhoto", "order_photo_del", "0", "没有权限");
    else if (fault == "raw")
        m_service->sendRaw("OrderPhoto", "order_photo_del", "<html>busy</html>");
    else if (fault == "http")
        m_service->failHttp("OrderPhoto", "order_photo_del", 503);
    search();
    deleteOrders(checked);
    auto* button = m_window->findChild<QPushButton*>("pushButton_separate");

    QTRY_COMPARE_WITH_TIMEOUT(this->boxes().size(), boxes.size(), 10000);
    QTRY_COMPARE(m_service->requests("OrderPhoto", "order_photo_del").size(), logged.size());
    // The run over and its log replies handled, then a moment in which no
    // other box may come.
    QTRY_VERIFY(button->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(PendingRecords::instance().count() == 0, 10000);
    QTest::qWait(50);
    QCOMPARE(this->boxes().size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i)
        QVERIFY2(
            this->boxes().at(i).startsWith(QString(boxes.at(i)).replace("%f", m_folders.value("A24051204"))),
            qPrintable(this->boxes().at(i)));
    QVERIFY(button->isEnabled());
    QCOMPARE(loggedIds(), logged);
    for (const QString& key : m_folders.keys())
        QCOMPARE(QFileInfo::exists(m_folders.value(key)),
                 key == "A24051203" ? fault != "missing" && fault != "unseen" : !checked.contains(key));
    if (!logged.isEmpty()) {
        const StandIn::LoggedRequest log = m_service->requests("OrderPhoto", "order_photo_del").first();
        QCOMPARE(log.keys, QStringList({"token", "shopid", "superid", "orderphotoid", "path", "MANAGER_ID"}));
        QCOMPARE(log.values.value("path"), m_folders.value(checked.first()));
        QCOMPARE(log.values.value("MANAGER_ID"), QStringLiteral("1024"));
    }
}

namespace {

// A shop whose orders name bad folders: a share root, one folder for two
// orders, a folder and one inside it, a folder reached through a link, and
// one good folder.
QJsonObject badPathFixture()
{
    auto order = [](const QString& id, const QString& key, const QString& path) {
        return QJsonObject{{"order_photo_id", id},
                           {"orderpayforkey", key},
                           {"shopid", "12"},
                           {"orderpath", "\\\\nas\\" + path},
                           {"finishorderdate", "2024-06-04 10:00:00"}};
    };
    return {
        {"users", QJsonArray{}},
        {"shops", QJsonArray{QJsonObject{{"id", "12"}, {"name", "测试店"}}}},
        {"orders",
         QJsonArray{order("1", "ROOT", "photos\\"), order("2", "SAME1", "photos\\2024-06\\12\\S\\"),
                    order("3", "SAME2", "photos\\2024-06\\12\\S\\"),
                    order("4", "OUTER", "photos\\2024-06\\12\\N\\"),
                    order("5", "INNER", "photos\\2024-06\\12\\N\\照片\\"),
                    order("6", "LINKED", "linked\\12\\L\\"), order("7", "GOOD", "photos\\2024-06\\12\\G\\"),
                    order("8", "DONE", "photos\\2024-06\\12\\D\\")}}};
}

} // namespace

void TestBatchDeleteOrder::refusedFoldersAreListedAndKept_data()
{
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QStringList>("refused");
    QTest::newRow("a share root") << QStringList{"ROOT"} << QStringList{"ROOT"};
    QTest::newRow("two orders on one folder")
        << QStringList{"SAME1", "SAME2"} << QStringList{"SAME1", "SAME2"};
    QTest::newRow("nested folders, the others go on")
        << QStringList{"OUTER", "INNER", "GOOD"} << QStringList{"OUTER", "INNER"};
    QTest::newRow("a link on the path") << QStringList{"LINKED"} << QStringList{"LINKED"};
}

void TestBatchDeleteOrder::refusedFoldersAreListedAndKept()
{
    QFETCH(QStringList, checked);
    QFETCH(QStringList, refused);
    QTemporaryDir fixtureDir;
    QVERIFY(TestFiles::write(fixtureDir.filePath("bad.json"), QJsonDocument(badPathFixture()).toJson()));
    const QStringList files = {"photos/2024-06/12/S/a.jpg", "photos/2024-06/12/N/照片/a.jpg",
                               "photos/2024-06/12/L/a.jpg", "photos/2024-06/12/G/a.jpg"};
    for (const QString& file : files)
        m_volumes->writeFile(file, "x");
    m_volumes->mkdir("linked");
    QVERIFY(QFile::link(m_volumes->path("photos/2024-06/12"), m_volumes->path("linked/12")));
    m_service = std::make_unique<StandIn>(fixtureDir.filePath("bad.json"));
    m_window = std::make_unique<BatchDeleteOrder>();

    m_volumes->writeFile("photos/2024-06/12/D/a.jpg", "x");
    search();
    QCOMPARE(table()->rowCount(), 8);
    // A run before leaves its end on the progress frame.
    deleteOrders({"DONE"});
    QTRY_COMPARE(boxes(), QStringList{"订单照片删除成功"});
    m_prompts->clear();
    // What the frame shows as the refusal is told: this run's start, or
    // nothing when the run has nothing to delete.
    QString frame;
    m_prompts->onBox = [&] {
        auto* w = m_window.get();
        if (frame.isEmpty())
            frame = QStringList{w->findChild<QWidget*>("groupBox")->isHidden() ? "hidden" : "shown",
                                w->findChild<QWidget*>("progressBar")->property("value").toString(),
                                w->findChild<QWidget*>("label")->property("text").toString()}
                        .join(' ');
    };
    // The watch reads this row's locals: it goes with the row.
    const auto stopWatching = qScopeGuard([this] { m_prompts->onBox = nullptr; });
    deleteOrders(checked + QStringList{"DONE"}); // DONE unchecked again
    const bool goodChecked = checked.contains("GOOD");
    QCOMPARE(frame, QStringLiteral("%1 0 正在删除订单路径下的照片").arg(goodChecked ? "shown" : "hidden"));
    // The refusal box, then the end of the run when something was left.
    QTRY_COMPARE(boxes().size(), goodChecked ? 2 : 1);
    const QStringList lines = boxes().first().split('\n');
    QCOMPARE(m_prompts->messages().first().title, QStringLiteral("警告"));
    QCOMPARE(lines.first(), QStringLiteral("以下订单目录不能删除："));
    QCOMPARE(lines.size(), refused.size() + 1);
    for (int i = 0; i < refused.size(); ++i)
        QVERIFY2(lines.at(i + 1).startsWith(refused.at(i) + "："), qPrintable(lines.at(i + 1)));
    for (const QString& file : files)
        QCOMPARE(QFileInfo::exists(m_volumes->path(file)), !(goodChecked && file.contains("/G/")));
    QTRY_COMPARE(m_service->requests("OrderPhoto", "order_photo_del").size(), goodChecked ? 2 : 1);
}

void TestBatchDeleteOrder::closingDuringARunIsRefused_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close button") << "close";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("取消") << "cancel";
}

void TestBatchDeleteOrder::closingDuringARunIsRefused()
{
    QFETCH(QString, how);
    makeJuneFolders();
    const QString held = m_folders.value("A24051201");
    // Held by the hook, which the window's jobs may still call after a
    // failed check.
    const auto gate = std::make_shared<QSemaphore>();
    const auto letGo = qScopeGuard([gate] { gate->release(100000); });
    FileOperation::setFaultHook([held, gate](FileOperation::Fault fault, const QString& path) {
        if (fault == FileOperation::Fault::Remove && path.startsWith(held))
            gate->acquire();
        return false;
    });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    search();
    deleteOrders({"A24051201", "A24051202"});
    QTRY_VERIFY(!QFileInfo::exists(m_folders.value("A24051202")));

    if (how == "close")
        QVERIFY(!m_window->close());
    else if (how == "escape")
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
    else
        m_window->findChild<QPushButton*>("cancelButton")->click();
    QVERIFY(m_window->isVisible());
    QCOMPARE(boxes(), QStringList{"正在删除，请稍后"});
    QCOMPARE(m_prompts->last().title, QStringLiteral("通知"));

    gate->release(100000);
    QTRY_COMPARE(boxes().last(), QStringLiteral("订单照片删除成功"));
    QTRY_COMPARE(loggedIds(), QStringList({"100101", "100102"}));
    QVERIFY(m_window->close());
}

void TestBatchDeleteOrder::logsOnTheirWayAtTheClose_data()
{
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<bool>("quit");         // the client quits before the logs are answered
    QTest::addColumn<QStringList>("lines"); // of the one box after the close, in any order; "%f": the folder
    const QString unlogged = "删除记录上报失败：%1：%f";
    QTest::newRow("two logs held, then refused") << QStringList{"A24051203", "A24051204"} << false
                                                 << QStringList{unlogged.arg("A24051203") + "\n没有权限\t0",
                                                                unlogged.arg("A24051204") + "\n没有权限\t0"};
    QTest::newRow("a log held and never answered, the client quits")
        << QStringList{"A24051204"} << true << QStringList{unlogged.arg("A24051204") + "\n请检查网络连接"};
}

// The window closed while its deletion logs are on their way: they run to
// their answers, and those the service did not take are named in one box,
// or in the box at quit when the client quits first.
void TestBatchDeleteOrder::logsOnTheirWayAtTheClose()
{
    QFETCH(QStringList, checked);
    QFETCH(bool, quit);
    QFETCH(QStringList, lines);
    makeJuneFolders();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_service->hold("OrderPhoto", "order_photo_del");
    if (!quit)
        m_service->refuse("OrderPhoto", "order_photo_del", "0", "没有权限");
    search();
    deleteOrders(checked);
    QTRY_COMPARE(boxes(), QStringList{"订单照片删除成功"});
    QTRY_COMPARE(m_service->requests("OrderPhoto", "order_photo_del").size(), checked.size());
    QVERIFY(m_window->close());

    if (quit) {
        // Named in the box at quit, once the wait and its notice are over.
        bool underTheNotice = false;
        m_prompts->onBox = [&underTheNotice] {
            for (const QWidget* w : QApplication::topLevelWidgets())
                underTheNotice =
                    underTheNotice || (w->isVisible() && w->windowTitle() == QStringLiteral("提示"));
        };
        const auto stopWatching = qScopeGuard([this] { m_prompts->onBox = nullptr; });
        const int timeout = WebService::transferTimeoutMs();
        WebService::setTransferTimeoutMs(300);
        PendingRecords::settleBeforeQuit();
        WebService::setTransferTimeoutMs(timeout);
        QVERIFY(!underTheNotice);
    } else {
        m_service->release("OrderPhoto", "order_photo_del");
    }
    QTRY_COMPARE(boxes().size(), 2);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QStringList named;
    for (const QString& line : lines)
        named.append(QString(line).replace("%f", m_folders.value(line.mid(9, 9))));
    const QString text = boxes().last();
    QVERIFY2(text == named.join('\n') || (named.size() == 2 && text == named.last() + '\n' + named.first()),
             qPrintable(text));
    QCOMPARE(PendingRecords::instance().count(), 0);
    // Nothing is sent twice, and no box follows.
    QTest::qWait(50);
    QCOMPARE(m_service->requests("OrderPhoto", "order_photo_del").size(), checked.size());
    QCOMPARE(boxes().size(), 2);
}

QTEST_MAIN(TestBatchDeleteOrder)
#include "tst_batchdeleteorder.moc"
