#include "batchdeleteorder.h"
#include "config.h"
#include "fileoperation.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPushButton>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>

// The batch deletion window against the stand-in, on real folders under a
// temporary mount root.
class TestBatchDeleteOrder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchPostsThePickedDaysOnce();
    void searchReplacesOrKeepsTheList_data();
    void searchReplacesOrKeepsTheList();
    void columnWidths_data();
    void columnWidths();
    void deletesOnlyTheCheckedFolderAndLogsIt();
    void nothingToDelete_data();
    void nothingToDelete();
    void refusedFoldersAreListedAndKept_data();
    void refusedFoldersAreListedAndKept();
    void failedRemovalIsNamedAndNotLogged();
    void logReplyFailures_data();
    void logReplyFailures();
    void closingDuringARunIsRefused_data();
    void closingDuringARunIsRefused();
    void contextMenuOpensTheOrderFolder();

private:
    // The test's own stand-in, on the demo fixture unless given one.
    void startService(const QString& fixture = QString());
    // Folders for the demo orders closed in the first week of June 2024.
    void makeJuneFolders();
    void search(BatchDeleteOrder& w, QDate from = QDate(2024, 6, 3), QDate to = QDate(2024, 6, 9));
    QStandardItemModel* table(BatchDeleteOrder& w);
    // Checks the rows by 预约单号 and starts the deletion.
    void deleteOrders(BatchDeleteOrder& w, const QStringList& keys);
    bool waitForBox(const QString& text, int timeout = 10000);
    QList<StandIn::LoggedRequest> logs() const
    {
        return m_service->requests("OrderPhoto", "order_photo_del");
    }

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<TempVolumes> m_volumes;
    std::unique_ptr<StandIn> m_service;
    QMap<QString, QString> m_folders; // 预约单号 -> local folder
};

void TestBatchDeleteOrder::init()
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_prompts->setLenient(true);
    m_desktop = std::make_unique<RecordingDesktop>();
    m_volumes = std::make_unique<TempVolumes>();
    StandIn::useDemoIdentity();
}

void TestBatchDeleteOrder::cleanup()
{
    FileOperation::setFaultHook(nullptr);
    m_service.reset();
    m_volumes.reset();
    m_desktop.reset();
    m_prompts.reset();
    m_folders.clear();
}

void TestBatchDeleteOrder::startService(const QString& fixture)
{
    m_service = std::make_unique<StandIn>(fixture);
}

void TestBatchDeleteOrder::makeJuneFolders()
{
    startService();
    for (const QJsonValue& v : m_service->storeSnapshot().value("orders").toArray()) {
        const QJsonObject o = v.toObject();
        QString path = o.value("orderpath").toString();
        if (o.value("shopid").toString() != "12" || path.isEmpty())
            continue;
        path.remove(0, QStringLiteral("\\\\studio-nas\\").size()).replace('\\', '/');
        const QString key = o.value("orderpayforkey").toString();
        m_volumes->writeFile(path + "照片/IMG_0001.JPG", "photo");
        m_volumes->writeFile(path + "成品/精修/IMG_0001.JPG", "fine");
        m_folders.insert(key, m_volumes->path(path));
    }
    QCOMPARE(m_folders.size(), 4);
}

void TestBatchDeleteOrder::search(BatchDeleteOrder& w, QDate from, QDate to)
{
    w.findChild<QCalendarWidget*>("calendar")->setSelectedDate(from);
    w.findChild<QCalendarWidget*>("calendar_2")->setSelectedDate(to);
    auto* button = w.findChild<QPushButton*>("searchButton");
    const int before = m_service->requests("order", "order_list2").size();
    button->click();
    QTRY_COMPARE(m_service->requests("order", "order_list2").size(), before + 1);
    QTRY_VERIFY(button->isEnabled());
}

QStandardItemModel* TestBatchDeleteOrder::table(BatchDeleteOrder& w)
{
    return qobject_cast<QStandardItemModel*>(w.findChild<QTableView*>("tableView")->model());
}

void TestBatchDeleteOrder::deleteOrders(BatchDeleteOrder& w, const QStringList& keys)
{
    QStandardItemModel* model = table(w);
    for (int row = 0; row < model->rowCount(); ++row) {
        if (keys.contains(model->item(row, 1)->text()))
            w.on_tableView_clicked(model->index(row, 3));
    }
    w.findChild<QPushButton*>("pushButton_separate")->click();
}

bool TestBatchDeleteOrder::waitForBox(const QString& text, int timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeout) {
        for (const ScriptedPrompts::Call& call : m_prompts->messages()) {
            if (call.text == text)
                return true;
        }
        QTest::qWait(20);
    }
    return false;
}

void TestBatchDeleteOrder::searchPostsThePickedDaysOnce()
{
    makeJuneFolders();
    BatchDeleteOrder w;
    m_service->delay("order", "order_list2", 300);
    w.findChild<QCalendarWidget*>("calendar")->setSelectedDate(QDate(2024, 6, 9));
    w.findChild<QCalendarWidget*>("calendar_2")->setSelectedDate(QDate(2024, 6, 3));
    auto* button = w.findChild<QPushButton*>("searchButton");
    w.clickSearch();
    QCOMPARE(button->text(), QStringLiteral("检索中..."));
    QVERIFY(!button->isEnabled());
    w.clickSearch();
    QTRY_VERIFY(button->isEnabled());
    QCOMPARE(button->text(), QStringLiteral("检索"));

    const QList<StandIn::LoggedRequest> posts = m_service->requests("order", "order_list2");
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().keys,
             QStringList({"token", "shopid", "eid", "personid", "uid", "superid", "starttime", "endtime"}));
    // A start after the end goes as picked.
    QCOMPARE(posts.first().values.value("starttime"), QStringLiteral("2024-06-09"));
    QCOMPARE(posts.first().values.value("endtime"), QStringLiteral("2024-06-03"));
    QCOMPARE(posts.first().values.value("uid"), QStringLiteral("2048"));
    QCOMPARE(posts.first().values.value("eid"), QStringLiteral("1024"));
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
    BatchDeleteOrder w;
    search(w);
    QStandardItemModel* model = table(w);
    QCOMPARE(model->rowCount(), 4);
    const QStringList first = {"",
                               "A24051201",
                               "旗舰店一馆",
                               "1",
                               "王小宝-刘芳-王强",
                               "陈摄影",
                               "林化妆",
                               "周设计",
                               "吴调色",
                               "郑修图",
                               "宝宝照经典套系",
                               "2999",
                               "3299",
                               m_folders.value("A24051201")};
    for (int c = 0; c < first.size(); ++c)
        QCOMPARE(model->item(0, c)->text(), first.at(c));
    QCOMPARE(model->item(0, 0)->data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    if (fault == "refuse")
        m_service->refuse("order", "order_list2", "0", "x");
    else if (fault == "raw")
        m_service->sendRaw("order", "order_list2", "<html>");
    else if (fault == "http")
        m_service->failHttp("order", "order_list2", 500);
    m_prompts->clear();
    if (fault == "none")
        search(w, QDate(2023, 1, 1), QDate(2023, 1, 7));
    else
        search(w, QDate(2024, 6, 17), QDate(2024, 6, 23));
    QCOMPARE(model->rowCount(), rows);
    QCOMPARE(m_prompts->messages().isEmpty(), box.isEmpty());
    if (!box.isEmpty())
        QCOMPARE(m_prompts->last().text, box);
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
    startService();
    BatchDeleteOrder w;
    auto* view = w.findChild<QTableView*>("tableView");
    view->setColumnWidth(2, 77);
    view->setMinimumSize(0, 0);
    view->setFixedWidth(width);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(view->columnWidth(1), expected.at(1));
    QCOMPARE(view->columnWidth(2), expected.at(2) < 0 ? 77 : expected.at(2));
}

void TestBatchDeleteOrder::deletesOnlyTheCheckedFolderAndLogsIt()
{
    makeJuneFolders();
    BatchDeleteOrder w;
    search(w);
    deleteOrders(w, {"A24051202"});
    auto* button = w.findChild<QPushButton*>("pushButton_separate");
    QVERIFY(!button->isEnabled());
    QVERIFY(waitForBox("订单照片删除成功"));
    QVERIFY(button->isEnabled());

    QVERIFY(!QFileInfo::exists(m_folders.value("A24051202")));
    for (const QString key : {"A24051201", "A24051203", "A24051204"})
        QVERIFY2(QFileInfo::exists(m_folders.value(key) + "照片/IMG_0001.JPG"), qPrintable(key));
    QTRY_COMPARE(logs().size(), 1);
    const StandIn::LoggedRequest log = logs().first();
    QCOMPARE(log.keys, QStringList({"token", "shopid", "superid", "orderphotoid", "path", "MANAGER_ID"}));
    QCOMPARE(log.values.value("orderphotoid"), QStringLiteral("100102"));
    QCOMPARE(log.values.value("path"), m_folders.value("A24051202"));
    QCOMPARE(log.values.value("MANAGER_ID"), QStringLiteral("1024"));
    QTRY_COMPARE(m_service->storeSnapshot().value("delete_log").toArray().size(), 1);
}

void TestBatchDeleteOrder::nothingToDelete_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("box");
    QTest::newRow("nothing checked") << QStringList() << "请选择订单";
    QTest::newRow("folder missing") << QStringList{"A24051203"} << "订单路径不存在";
}

void TestBatchDeleteOrder::nothingToDelete()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, box);
    makeJuneFolders();
    QVERIFY(QDir(m_folders.value("A24051203")).removeRecursively());
    BatchDeleteOrder w;
    search(w);
    m_prompts->clear();
    deleteOrders(w, keys);
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().text, box);
    QCOMPARE(m_prompts->last().title, keys.isEmpty() ? QString() : QStringLiteral("警告"));
    QVERIFY(w.findChild<QPushButton*>("pushButton_separate")->isEnabled());
    QTest::qWait(100);
    QCOMPARE(logs().size(), 0);
}

namespace {

// A shop whose orders name bad folders: a share root, one folder for two
// orders, a folder and one inside it, a folder reached through a link, and
// one good folder.
QJsonObject badPathFixture()
{
    const QJsonObject shop{{"id", "12"}, {"name", "测试店"}, {"stores", QJsonArray{}}};
    auto order = [](const QString& id, const QString& key, const QString& path) {
        return QJsonObject{{"order_photo_id", id}, {"orderpayforkey", key},
                           {"shopid", "12"},       {"servicetimes", "1"},
                           {"orderpath", path},    {"finishorderdate", "2024-06-04 10:00:00"}};
    };
    const QString nas = "\\\\nas\\";
    return {{"users", QJsonArray{}},
            {"shops", QJsonArray{shop}},
            {"orders", QJsonArray{order("1", "ROOT", nas + "photos\\"),
                                  order("2", "SAME1", nas + "photos\\2024-06\\12\\S\\"),
                                  order("3", "SAME2", nas + "photos\\2024-06\\12\\S\\"),
                                  order("4", "OUTER", nas + "photos\\2024-06\\12\\N\\"),
                                  order("5", "INNER", nas + "photos\\2024-06\\12\\N\\照片\\"),
                                  order("6", "LINKED", nas + "linked\\12\\L\\"),
                                  order("7", "GOOD", nas + "photos\\2024-06\\12\\G\\")}}};
}

} // namespace

void TestBatchDeleteOrder::refusedFoldersAreListedAndKept_data()
{
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QStringList>("refused");
    QTest::newRow("a share root") << QStringList{"ROOT"} << QStringList{"ROOT"};
    QTest::newRow("two orders on one folder")
        << QStringList{"SAME1", "SAME2"} << QStringList{"SAME1", "SAME2"};
    QTest::newRow("nested folders") << QStringList{"OUTER", "INNER", "GOOD"} << QStringList{"OUTER", "INNER"};
    QTest::newRow("a link on the path") << QStringList{"LINKED"} << QStringList{"LINKED"};
}

void TestBatchDeleteOrder::refusedFoldersAreListedAndKept()
{
    QFETCH(QStringList, checked);
    QFETCH(QStringList, refused);
    QTemporaryDir fixtureDir;
    const QString fixture = fixtureDir.filePath("bad.json");
    QVERIFY(TestFiles::write(fixture, QJsonDocument(badPathFixture()).toJson()));
    for (const char* folder : {"photos/2024-06/12/S/", "photos/2024-06/12/N/照片/", "photos/2024-06/12/G/",
                               "photos/2024-06/12/L/"})
        m_volumes->writeFile(QString::fromUtf8(folder) + "a.jpg", "x");
    m_volumes->mkdir("linked");
    QVERIFY(QFile::link(m_volumes->path("photos/2024-06/12"), m_volumes->path("linked/12")));
    startService(fixture);

    BatchDeleteOrder w;
    search(w);
    QCOMPARE(table(w)->rowCount(), 7);
    m_prompts->clear();
    deleteOrders(w, checked);
    const bool goodChecked = checked.contains("GOOD");
    if (goodChecked)
        QVERIFY(waitForBox("订单照片删除成功"));

    const QList<ScriptedPrompts::Call> boxes = m_prompts->messages();
    QVERIFY(!boxes.isEmpty());
    const QStringList lines = boxes.first().text.split('\n');
    QCOMPARE(boxes.first().title, QStringLiteral("警告"));
    QCOMPARE(lines.first(), QStringLiteral("以下订单目录不能删除："));
    QCOMPARE(lines.size(), refused.size() + 1);
    for (int i = 0; i < refused.size(); ++i)
        QVERIFY2(lines.at(i + 1).startsWith(refused.at(i) + "："), qPrintable(lines.at(i + 1)));
    // No "订单路径不存在" after the refusal box.
    QCOMPARE(boxes.size(), goodChecked ? 2 : 1);

    for (const char* file :
         {"photos/2024-06/12/S/a.jpg", "photos/2024-06/12/N/照片/a.jpg", "photos/2024-06/12/L/a.jpg"})
        QVERIFY2(QFileInfo::exists(m_volumes->path(QString::fromUtf8(file))), file);
    QCOMPARE(QFileInfo::exists(m_volumes->path("photos/2024-06/12/G")), !goodChecked);
    QTRY_COMPARE(logs().size(), goodChecked ? 1 : 0);
}

void TestBatchDeleteOrder::failedRemovalIsNamedAndNotLogged()
{
    makeJuneFolders();
    const QString stuck = m_folders.value("A24051203");
    FileOperation::setFaultHook([stuck](FileOperation::Fault fault, const QString& path) {
        return fault == FileOperation::Fault::Remove && path.startsWith(stuck);
    });
    BatchDeleteOrder w;
    search(w);
    deleteOrders(w, {"A24051201", "A24051203"});
    QVERIFY(waitForBox(QStringLiteral("以下订单照片删除失败：\nA24051203：") + stuck));
    QVERIFY(!QFileInfo::exists(m_folders.value("A24051201")));
    QVERIFY(QFileInfo::exists(stuck));
    QTRY_COMPARE(logs().size(), 1);
    QTest::qWait(100);
    QCOMPARE(logs().size(), 1);
    QCOMPARE(logs().first().values.value("orderphotoid"), QStringLiteral("100101"));
}

void TestBatchDeleteOrder::logReplyFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    QTest::newRow("refused") << "refuse"
                             << "没有权限\t0";
    QTest::newRow("not JSON") << "raw"
                              << "";
    QTest::newRow("transport error") << "http"
                                     << "请检查网络连接\n503";
}

void TestBatchDeleteOrder::logReplyFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    makeJuneFolders();
    if (fault == "refuse")
        m_service->refuse("OrderPhoto", "order_photo_del", "0", "没有权限");
    else if (fault == "raw")
        m_service->sendRaw("OrderPhoto", "order_photo_del", "ok");
    else
        m_service->failHttp("OrderPhoto", "order_photo_del", 503);
    BatchDeleteOrder w;
    search(w);
    deleteOrders(w, {"A24051204"});
    QVERIFY(waitForBox("订单照片删除成功"));
    QTRY_COMPARE(logs().size(), 1);
    if (box.isEmpty()) {
        QTest::qWait(300);
        QCOMPARE(m_prompts->messages().size(), 1);
    } else {
        QVERIFY(waitForBox(box));
    }
    QVERIFY(!QFileInfo::exists(m_folders.value("A24051204")));
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
    QSemaphore gate;
    FileOperation::setFaultHook([held, &gate](FileOperation::Fault fault, const QString& path) {
        if (fault == FileOperation::Fault::Remove && path.startsWith(held))
            gate.acquire();
        return false;
    });
    BatchDeleteOrder w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    search(w);
    deleteOrders(w, {"A24051201", "A24051202"});
    QTRY_VERIFY(!QFileInfo::exists(m_folders.value("A24051202")));

    m_prompts->clear();
    if (how == "close")
        QVERIFY(!w.close());
    else if (how == "escape")
        QTest::keyClick(&w, Qt::Key_Escape);
    else
        w.findChild<QPushButton*>("cancelButton")->click();
    QVERIFY(w.isVisible());
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("通知"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("正在删除，请稍后"));

    gate.release(100000);
    QVERIFY(waitForBox("订单照片删除成功"));
    QTRY_COMPARE(logs().size(), 2);
    QVERIFY(w.close());
}

void TestBatchDeleteOrder::contextMenuOpensTheOrderFolder()
{
    makeJuneFolders();
    BatchDeleteOrder w;
    w.show();
    auto* menu = w.findChild<QMenu*>();
    QVERIFY(menu);
    w.showMouseRightButton(QPoint());
    QVERIFY(!menu->isVisible());

    search(w);
    auto* view = w.findChild<QTableView*>("tableView");
    view->setCurrentIndex(table(w)->index(2, 1));
    w.showMouseRightButton(QPoint());
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(menu->actions().first()->isEnabled());
    menu->actions().first()->trigger();
    QCOMPARE(m_desktop->urls.size(), 1);
    QCOMPARE(m_desktop->urls.first(), QUrl::fromLocalFile(m_folders.value("A24051203")));
}

QTEST_MAIN(TestBatchDeleteOrder)
#include "tst_batchdeleteorder.moc"
