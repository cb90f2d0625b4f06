#include "demosignin.h"
#include "fileoperation.h"
#include "messagedialog.h"
#include "multiselectcombobox.h"
#include "n8thread.h"
#include "n8windowtestenv.h"
#include "testfiles.h"
#include "toplevelwindows.h"

#include <QCalendarWidget>
#include <QGroupBox>
#include <QLabel>
#include <QNetworkReply>
#include <QRadioButton>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QTextEdit>

#include <atomic>
#include <functional>

// The N8 window: its form, the order search and list, the export of the
// checked orders' N8 selections through its worker, and its deletion type;
// against the stand-in service and the demo file tree.
class TestExportN8Result : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void form();
    void searchBodies_data();
    void searchBodies();
    void storesPiece_data();
    void storesPiece();
    void dateAndEmptyKeywords_data();
    void dateAndEmptyKeywords();
    void orderList();
    void listFailures_data();
    void listFailures();
    void columnWidths_data();
    void columnWidths();
    void exportGuards_data();
    void exportGuards();
    void exportTakesTheTicksOfItsStart();
    void closingDuringAnExport_data();
    void closingDuringAnExport();
    void deletionType();
    void deletionRefusesAndNamesFailures();
    void fromTheLauncher();
};

namespace {

using Builder = void (SeparationWindowBase::*)(QString);
const Builder kBuilders[] = {
    &SeparationWindowBase::queryOrderByOrderId,
    &SeparationWindowBase::queryOrderByName,
    &SeparationWindowBase::queryOrderByPhotoNumber,
    &SeparationWindowBase::queryOrderByPhotoDate,
    &SeparationWindowBase::queryOrderBySelectPhotoDate,
    &SeparationWindowBase::queryOrderByAppointmentDate,
    &SeparationWindowBase::queryOrderByFetchPhotoDate,
    &SeparationWindowBase::queryOrderSelFinishDate,
    &SeparationWindowBase::queryOrderSjDate,
    &SeparationWindowBase::queryOrderPickupDate,
    &SeparationWindowBase::queryOrderPinGuanDate,
    &SeparationWindowBase::queryOrderRetrunDesigDate,
    &SeparationWindowBase::queryOrderTurnSmDate,
};

QStringList boxes(const ScriptedPrompts& prompts)
{
    QStringList list;
    for (const auto& call : prompts.messages())
        list.append(call.title + '/' + call.text);
    return list;
}

QStandardItemModel* model(ExportN8Result& w)
{
    return qobject_cast<QStandardItemModel*>(child<QTableView>(&w, "tableView")->model());
}

// Holds the worker at its first copy (the first one at accepts, when at is
// given) until released, so a test can act while an export runs.
struct HeldExport
{
    QSemaphore reached;
    QSemaphore release;
    std::atomic<bool> first{true};
    explicit HeldExport(std::function<bool(const QString& path)> at = {})
    {
        FileOperation::setFaultHook([this, at](FileOperation::Fault fault, const QString& path) {
            if (fault != FileOperation::Fault::List && fault != FileOperation::Fault::LookUp &&
                (!at || at(path)) && first.exchange(false)) {
                reached.release();
                release.tryAcquire(1, 10000);
            }
            return false;
        });
    }
    ~HeldExport() { FileOperation::setFaultHook({}); }
};

} // namespace

void TestExportN8Result::cleanup()
{
    FileOperation::setFaultHook({});
    for (MessageDialog* d : topLevelWindows<MessageDialog>())
        delete d;
}

void TestExportN8Result::form()
{
    N8WindowEnv env;
    FileOperation::writeToDAT(QStringLiteral("path_separatePhotos.dat"),
                              {env.out, QStringLiteral("/elsewhere")}, true);
    ExportN8Result w;
    QCOMPARE(w.objectName(), QStringLiteral("ExportN8Result"));
    QCOMPARE(w.size(), QSize(785, 545));
    QCOMPARE(w.windowTitle(), QStringLiteral("检索订单"));
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("开始分件"));
    QCOMPARE(child<QGroupBox>(&w, "groupBox_2")->title(), QStringLiteral("检索方式"));
    QCOMPARE(child<QLabel>(&w, "label")->text(), QStringLiteral("正在查询产品信息..."));
    for (const char* hidden : {"groupBox", "progressBar", "label_finishOrdersNum", "label"})
        QVERIFY(w.findChild<QWidget*>(hidden)->isHidden());
    auto* combo = child<QComboBox>(&w, "comboBox");
    QStringList criteria;
    for (int i = 0; i < combo->count(); ++i)
        criteria.append(combo->itemText(i));
    QCOMPARE(criteria, (QStringList{"转数码日期", "预约单号", "拍摄日期", "选片日期", "选片完成日期",
                                    "上件日期", "预约日期", "发货日期", "姓名", "电话"}));
    QCOMPARE(combo->currentText(), QStringLiteral("转数码日期"));
    QCOMPARE(model(w)->columnCount(), 15);
    QCOMPARE(model(w)->horizontalHeaderItem(8)->text(), QStringLiteral("样前对比片师"));
    QCOMPARE(child<MultiSelectComboBox>(&w, "cb_shops")->currentIndex(), (QList<int>{0, 1}));
    QCOMPARE(child<QLineEdit>(&w, "pathLineEdit")->text(), env.out);
    QVERIFY(w.metaObject()->indexOfSlot("slt_exportN8Result(QJsonObject)") >= 0);
    QVERIFY(w.findChild<N8thread*>());

    // The launcher's type changes nothing; the deletion type its three parts.
    w.setType(QStringLiteral("N8分件"));
    QCOMPARE(combo->count(), 10);
    QVERIFY(!child<QLineEdit>(&w, "pathLineEdit")->isHidden());
    w.setType(QStringLiteral("批量删除"));
    QCOMPARE(combo->count(), 8);
    QCOMPARE(combo->itemText(5), QStringLiteral("取件完成日期"));
    QVERIFY(child<QLineEdit>(&w, "pathLineEdit")->isHidden());
    QVERIFY(child<QPushButton>(&w, "selectPathButton")->isHidden());
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("批量删除"));

    // Opened wide, the order table takes the room; the search column keeps
    // its own width.
    w.resize(1600, 900);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(child<QTableView>(&w, "tableView")->width() > 2 * child<QGroupBox>(&w, "groupBox_2")->width());

    if (qEnvironmentVariableIsSet("N8_RENDER")) {
        ExportN8Result shown;
        shown.grab().save(qEnvironmentVariable("N8_RENDER") + "/exportn8result.png");
        shown.show();
        shown.resize(1600, 900); // the offscreen screen is too small to maximise into
        search(shown, "A2405120");
        shown.on_pushButton_selectAll_clicked();
        shown.grab().save(qEnvironmentVariable("N8_RENDER") + "/exportn8result-maximised.png");
    }
}

void TestExportN8Result::searchBodies_data()
{
    QTest::addColumn<int>("searchType");
    QTest::addColumn<QString>("keys");
    const QString tail = QStringLiteral(" storesids");
    QTest::newRow("queryOrderByOrderId")
        << 1 << "token eid shopid searchtype superid keyword personid uid" + tail;
    QTest::newRow("queryOrderByName")
        << 2 << "token shopid searchtype eid personid uid superid keyword" + tail;
    QTest::newRow("queryOrderByPhotoNumber")
        << 3 << "token shopid searchtype superid keyword eid uid personid" + tail;
    for (int type : {4, 5, 6, 7})
        QTest::addRow("date search %d", type)
            << type << "token shopid searchtype superid keyword eid personid uid" + tail;
    QTest::newRow("queryOrderSelFinishDate")
        << 8 << "token shopid searchtype eid superid keyword personid uid" + tail;
    QTest::newRow("queryOrderSjDate")
        << 9 << "token shopid searchtype eid personid uid superid keyword" + tail;
    QTest::newRow("queryOrderPickupDate")
        << 10 << "token shopid searchtype eid superid keyword personid uid" + tail;
    QTest::newRow("queryOrderPinGuanDate")
        << 11 << "token shopid searchtype eid superid keyword personid uid" + tail;
    QTest::newRow("queryOrderRetrunDesigDate")
        << 12 << "token shopid searchtype eid personid uid superid keyword" + tail;
    QTest::newRow("queryOrderTurnSmDate")
        << 13 << "token shopid searchtype eid superid keyword personid uid" + tail;
}

void TestExportN8Result::searchBodies()
{
    QFETCH(int, searchType);
    QFETCH(QString, keys);
    N8WindowEnv env;
    env.prompts.setLenient(true);
    ExportN8Result w;
    const Builder build = kBuilders[searchType - 1];
    (w.*build)(QStringLiteral("王 & 李"));
    QTRY_COMPARE(env.service.requests("order", "order_list").size(), 1);
    const auto sent = env.service.requests("order", "order_list").first();
    QCOMPARE(sent.keys.join(' '), keys);
    QCOMPARE(sent.values.value("searchtype"), QString::number(searchType));
    QCOMPARE(sent.values.value("keyword"), QStringLiteral("王 & 李"));
    QCOMPARE(sent.values.value("eid"), Config::manager_id);
    QCOMPARE(sent.values.value("personid"), Config::manager_id);
    QCOMPARE(sent.values.value("uid"), Config::uid);
}

void TestExportN8Result::storesPiece_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QString>("storesids");
    QTest::addColumn<QStringList>("names");
    const QStringList four{"1201", "1202", "1203", "1204"};
    const QStringList names{"一馆", "二馆", "三馆", "四馆"};
    QTest::newRow("second and fourth") << four << QList<int>{1, 3} << "1202,1204" << names;
    QTest::newRow("none") << four << QList<int>{} << "" << names;
    QTest::newRow("a row without a store id")
        << QStringList{"1201", "1202", "1203"} << QList<int>{0, 3} << "1201" << names;
    QTest::newRow("two stores of one name")
        << four << QList<int>{0, 1} << "1201,1202" << QStringList{"一馆", "一馆", "三馆", "四馆"};
}

void TestExportN8Result::storesPiece()
{
    QFETCH(QStringList, ids);
    QFETCH(QList<int>, ticked);
    QFETCH(QString, storesids);
    QFETCH(QStringList, names);
    N8WindowEnv env;
    env.prompts.setLenient(true);
    Config::storenames = names;
    Config::storeids = ids;
    ExportN8Result w;
    auto* shops = child<MultiSelectComboBox>(&w, "cb_shops");
    shops->allsel(); // every row was ticked at start
    for (int row : ticked)
        shops->slt_activited(row);
    w.queryOrderByOrderId(QStringLiteral("A1"));
    QTRY_COMPARE(env.service.requests("order", "order_list").size(), 1);
    const auto sent = env.service.requests("order", "order_list").first();
    QVERIFY(sent.rawBody.endsWith("&storesids=" + QUrl::toPercentEncoding(storesids)));
    QCOMPARE(sent.values.value("storesids"), storesids);
}

void TestExportN8Result::dateAndEmptyKeywords_data()
{
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("keyword");
    QTest::newRow("拍摄日期") << "拍摄日期"
                              << ""
                              << "2024-03-05";
    QTest::newRow("预约单号") << "预约单号"
                              << "警告/请输入订单号"
                              << "";
    QTest::newRow("姓名") << "姓名"
                          << "警告/请输入姓名"
                          << "";
    QTest::newRow("电话") << "电话"
                          << "警告/请输入电话"
                          << "";
}

void TestExportN8Result::dateAndEmptyKeywords()
{
    QFETCH(QString, criterion);
    QFETCH(QString, box);
    QFETCH(QString, keyword);
    N8WindowEnv env;
    env.prompts.setLenient(true);
    ExportN8Result w;
    child<QCalendarWidget>(&w, "calendar")->setSelectedDate(QDate(2024, 3, 5));
    child<QComboBox>(&w, "comboBox")->setCurrentText(criterion);
    auto* search = child<QPushButton>(&w, "searchButton");
    search->click();
    if (!box.isEmpty()) {
        QCOMPARE(boxes(env.prompts), QStringList{box});
        QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
        QVERIFY(search->isEnabled());
        // The refusal came at the press; no search may follow it.
        QTest::qWait(50);
        QVERIFY(env.service.requests("order", "order_list").isEmpty());
        return;
    }
    QCOMPARE(search->text(), QStringLiteral("检索中..."));
    QVERIFY(!search->isEnabled());
    QTRY_COMPARE(search->text(), QStringLiteral("检索"));
    QCOMPARE(env.service.requests("order", "order_list").first().values.value("keyword"), keyword);
}

void TestExportN8Result::orderList()
{
    N8WindowEnv env;
    ExportN8Result w;
    search(w, "A24051201");
    QCOMPARE(w.controller()->orderList.size(), 1);
    // The service's folder \\studio-nas\photos\2024-05\12\... as the share is mounted.
    const QString path = env.volumes.root() + "photos/2024-05/12/A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆/";
    QVERIFY(QFileInfo(path).isDir());
    // clang-format off
    const QStringList cells{"", "A24051201", "旗舰店一馆", "1", "王小宝-刘芳-王强", "陈摄影", "林化妆", "周设计",
                            "吴调色", "郑修图", "宝宝照经典套系", "2999", "3299", "2024-05-20 10:00:00", path};
    // clang-format on
    for (int c = 0; c < 15; ++c) {
        QStandardItem* item = model(w)->item(0, c);
        QCOMPARE(item->text(), cells.at(c));
        QCOMPARE(item->textAlignment(), c < 14 ? Qt::Alignment(Qt::AlignCenter) : Qt::Alignment());
    }
    QCOMPARE(model(w)->item(0, 0)->data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    // The N8 texts of the order, in the web service's form.
    const order& o = w.controller()->orderList.first();
    QCOMPARE(o.n8StorePath, QStringLiteral("\\\\studio-nas\\n8\\store1201\\选版服务器\\"));
    QCOMPARE(o.n8RelativePath, QStringLiteral("2024\\A24051201"));
    QCOMPARE(o.n8SelectedPath,
             QStringLiteral("\\\\studio-nas\\n8\\store1201\\选版服务器\\[已选]2024\\A24051201"));
    QCOMPARE(o.pickuptype, QStringLiteral("快递"));
    QVERIFY(env.prompts.calls().isEmpty());
}

void TestExportN8Result::listFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("HTTP 500") << "http" << QStringList{"警告/网络请求错误\n500"} << 1;
    QTest::newRow("refused") << "refuse" << QStringList{"警告/检索错误：0"} << 1;
    QTest::newRow("not JSON") << "raw" << QStringList() << 1;
    QTest::newRow("nothing found") << "none" << QStringList{"提示/没有查询到任何订单"} << 0;
}

void TestExportN8Result::listFailures()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, shown);
    QFETCH(int, rowsAfter);
    N8WindowEnv env;
    env.prompts.setLenient(true);
    ExportN8Result w;
    search(w, "A24051201");
    if (fault == "http")
        env.service.failHttp("order", "order_list", 500);
    else if (fault == "refuse")
        env.service.refuse("order", "order_list", "0", "拒绝");
    else if (fault == "raw")
        env.service.sendRaw("order", "order_list", "<html>");
    search(w, fault == "none" ? "Z999" : "A24051201");
    QCOMPARE(boxes(env.prompts), shown);
    for (const auto& call : env.prompts.messages())
        QCOMPARE(call.buttons, Prompts::StandardButtons(Prompts::Yes));
    QCOMPARE(child<QPushButton>(&w, "searchButton")->text(), QStringLiteral("检索"));
    QCOMPARE(w.controller()->orderList.size(), rowsAfter);
    QCOMPARE(model(w)->rowCount(), rowsAfter);
}

void TestExportN8Result::columnWidths_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("path");
    QTest::newRow("1000") << 1000 << 122 << 300;
    QTest::newRow("999") << 999 << 130 << 323;
}

void TestExportN8Result::columnWidths()
{
    QFETCH(int, width);
    QFETCH(int, first);
    QFETCH(int, path);
    N8WindowEnv env;
    ExportN8Result w;
    auto* table = child<QTableView>(&w, "tableView");
    table->setFixedWidth(width);
    w.resize(1600, 900);
    w.grab();
    QCOMPARE(table->width(), width);
    QCOMPARE(table->columnWidth(0), 60);
    QCOMPARE(table->columnWidth(1), first);
    QCOMPARE(table->columnWidth(14), path);
}

void TestExportN8Result::exportGuards_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("box");
    QTest::newRow("export running") << "busy"
                                    << "通知/正在分件，请稍后";
    QTest::newRow("nothing ticked") << "unticked"
                                    << "/请选择订单";
    QTest::newRow("missing folder") << "missing"
                                    << "警告/分件路径不存在";
    QTest::newRow("empty folder field") << "empty"
                                        << "警告/分件路径不存在";
    QTest::newRow("folder that cannot be looked at") << "unreadable"
                                                     << "警告/目录读取失败：@";
}

void TestExportN8Result::exportGuards()
{
    QFETCH(QString, state);
    QFETCH(QString, box);
    N8WindowEnv env;
    ExportN8Result w;
    search(w, "A2405120");
    if (state != "unticked")
        tick(w, {"A24051201"});
    auto* path = child<QLineEdit>(&w, "pathLineEdit");
    path->setText(state == "missing" ? env.volumes.path("gone") : state == "empty" ? QString() : env.out);
    FileOperation::setFaultHook([state, out = env.out](FileOperation::Fault f, const QString& p) {
        return state == "unreadable" && f == FileOperation::Fault::LookUp && p == out;
    });
    w.controller()->isSeparating = state == "busy";
    w.controller()->m_messageList.append(finishMessage{"A1", {"x"}, {}});
    env.prompts.setNextAnswer(Prompts::Yes);
    child<QPushButton>(&w, "pushButton_separate")->click();
    QCOMPARE(boxes(env.prompts), QStringList{box.replace("@", env.out)});
    QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QVERIFY(!w.findChild<N8thread*>()->isRunning());
    QCOMPARE(w.controller()->isSeparating, state == "busy");
    QCOMPARE(w.controller()->m_messageList.isEmpty(), state != "busy");
    QVERIFY(child<QGroupBox>(&w, "groupBox")->isHidden());
    // The refusal came at the press; no export may follow it.
    QTest::qWait(100);
    QVERIFY(!QFileInfo::exists(env.out + "/2024-06-01"));
}

void TestExportN8Result::exportTakesTheTicksOfItsStart()
{
    N8WindowEnv env;
    ExportN8Result w;
    w.show();
    child<QLineEdit>(&w, "pathLineEdit")->setText(env.out);
    search(w, "A2405120");
    tick(w, {"A24051201"});
    auto* label = child<QLabel>(&w, "label");
    {
        HeldExport held;
        child<QPushButton>(&w, "pushButton_separate")->click();
        QVERIFY(w.controller()->isSeparating);
        QVERIFY(label->isVisible());
        QVERIFY(held.reached.tryAcquire(1, 10000));
        // While the export runs: a row ticked, a new search, a second press.
        tick(w, {"A24051202"});
        search(w, "A2405120");
        env.prompts.setNextAnswer(Prompts::Yes);
        child<QPushButton>(&w, "pushButton_separate")->click();
        QCOMPARE(boxes(env.prompts), QStringList{"通知/正在分件，请稍后"});
        QTRY_VERIFY(label->text().startsWith(QStringLiteral("正在拷贝")));
        if (qEnvironmentVariableIsSet("N8_RENDER"))
            w.grab().save(qEnvironmentVariable("N8_RENDER") + "/exportn8result-exporting.png");
        held.release.release();
        env.prompts.setNextAnswer(Prompts::Yes);
        QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
    }
    QCOMPARE(env.service.requests("order", "order_list").size(), 2);
    const ScriptedPrompts::Call report = env.prompts.last();
    QCOMPARE(report.title, QStringLiteral("温馨提示"));
    QVERIFY(report.richText);
    QCOMPARE(report.buttons, Prompts::StandardButtons(Prompts::Yes));
    QCOMPARE(report.text, QStringLiteral("所选订单N8选版导出结果"
                                         "<br><font color=\"#669900\">A24051201 服务次1</font>  N8导出完成"));
    QVERIFY(child<QGroupBox>(&w, "groupBox")->isHidden());
    QVERIFY(label->isHidden());
    QCOMPARE(TestFiles::entries(env.out + "/2024-06-01"), QStringList{"A24051201-服务次1 王小宝-刘芳-王强"});
    QVERIFY(env.prompts.unexpected().isEmpty());
}

void TestExportN8Result::closingDuringAnExport_data()
{
    QTest::addColumn<bool>("answered"); // the second question: Yes, or open when the export ends
    QTest::newRow("closed, the second order partly copied") << true;
    QTest::newRow("the export ends under the question") << false;
}

void TestExportN8Result::closingDuringAnExport()
{
    QFETCH(bool, answered);
    N8WindowEnv env;
    // The second order's N8 selection is finished too.
    QVERIFY(TestFiles::write(
        env.volumes.root() + "n8/store1201/选版服务器/[已选]2024/A24051202/选版结果/done.ok", {}));
    QPointer<ExportN8Result> w = new ExportN8Result;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    child<QLineEdit>(w, "pathLineEdit")->setText(env.out);
    search(*w, "A2405120");
    tick(*w, {"A24051201", "A24051202"});
    {
        // Held at the second order's first page, the first order exported whole.
        HeldExport held(
            [](const QString& path) { return path.contains("A24051202") && path.endsWith("/P01.jpg"); });
        child<QPushButton>(w, "pushButton_separate")->click();
        QVERIFY(held.reached.tryAcquire(1, 10000));
        // Closing asks first; No keeps the export going.
        env.prompts.setNextAnswer(Prompts::No);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        if (!answered) {
            // The question goes as if answered No; the export's report comes.
            env.prompts.setNextAnswerAfter(30000, Prompts::Yes);
            env.prompts.setNextAnswer(Prompts::Yes);
            // Lets the export go once the question is open; goes before held.
            QObject releaser;
            QTimer::singleShot(0, &releaser, [&held] { held.release.release(); });
            QVERIFY(!w->close());
            QVERIFY(env.prompts.messages().at(1).withdrawn);
            QCOMPARE(env.prompts.last().title, QStringLiteral("温馨提示"));
            delete w;
            return;
        }
        // 是 stops the export; the window stays until it has stopped, and a
        // close meanwhile asks nothing.
        env.prompts.setNextAnswer(Prompts::Yes);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(!w->close());
        QCOMPARE(env.prompts.messages().size(), 2);
        bool overTheWindow = false;
        env.prompts.setNextAnswerWhen(
            [&] {
                overTheWindow = w && w->isVisible();
                return true;
            },
            Prompts::Yes);
        held.release.release();
        // Then the report, over the window, and the window goes.
        QTRY_VERIFY_WITH_TIMEOUT(w.isNull(), 10000);
        QVERIFY(overTheWindow);
    }
    const ScriptedPrompts::Call report = env.prompts.last();
    QCOMPARE(report.title, QStringLiteral("提示:   分件未完成"));
    QVERIFY(report.richText);
    QCOMPARE(report.text, QStringLiteral("未完成分件的订单：A24051202 服务次1<br><br>所选订单N8选版导出结果"
                                         "<br><font color=\"#669900\">A24051201 服务次1</font>  N8导出完成"));
    const QString question = "提示/正在分件，确定停止分件并关闭吗？";
    QCOMPARE(boxes(env.prompts), (QStringList{question, question, report.title + '/' + report.text}));
    // The first order whole under its plain name; of the second, the page
    // under way is finished, nothing after it is copied, and its folder is
    // marked.
    const QString day = env.out + "/2024-06-01/";
    const QString first = day + "A24051201-服务次1 王小宝-刘芳-王强";
    const QString second = day + "A24051202-服务次1 孙丽-钱伟";
    QCOMPARE(TestFiles::entries(day),
             (QStringList{"A24051201-服务次1 王小宝-刘芳-王强", "A24051202-服务次1 孙丽-钱伟"}));
    QCOMPARE(TestFiles::entries(first), QStringList{"选版结果"});
    QCOMPARE(TestFiles::entries(first + "/选版结果"),
             (QStringList{"P01.jpg", "P02.jpg", "P03.jpg", "album.psd"}));
    QCOMPARE(TestFiles::entries(second), QStringList{"选版结果（未完成）"});
    QCOMPARE(TestFiles::entries(second + "/选版结果（未完成）"), QStringList{"P01.jpg"});
    QVERIFY(env.prompts.unexpected().isEmpty());
}

void TestExportN8Result::deletionType()
{
    N8WindowEnv env;
    Config::phone = QStringLiteral("13800138000");
    ExportN8Result w;
    w.setType(QStringLiteral("批量删除"));
    search(w, "A2405120");
    tick(w, {"A24051201", "A24051203"});
    const QString first = w.controller()->orderList.at(0).orderpath;
    const QString third = w.controller()->orderList.at(2).orderpath;
    QVERIFY(QFileInfo(first).isDir() && QFileInfo(third).isDir());

    // One phone-code confirmation, however often the button is pressed.
    auto* button = child<QPushButton>(&w, "pushButton_separate");
    button->click();
    button->click();
    QCOMPARE(topLevelWindows<MessageDialog>().size(), 1);
    QCOMPARE(w.controller()->checkOrdersNum, 2);
    MessageDialog* confirm = topLevelWindow<MessageDialog>();
    QVERIFY(confirm->testAttribute(Qt::WA_DeleteOnClose));
    confirm->findChild<QTextEdit*>("textEdit_code")->setPlainText(QStringLiteral("246810"));
    env.prompts.setNextAnswer(Prompts::Yes);
    QTest::mouseClick(confirm->findChild<QPushButton*>("pushButton_ok"), Qt::LeftButton);

    QTRY_COMPARE(boxes(env.prompts), QStringList{"警告/订单照片删除成功"});
    QVERIFY(!QFileInfo::exists(first) && !QFileInfo::exists(third));
    QVERIFY(QFileInfo(w.controller()->orderList.at(1).orderpath).isDir());
    QTRY_COMPARE(env.service.requests("OrderPhoto", "order_photo_del").size(), 2);
    QStringList logged;
    for (const auto& log : env.service.requests("OrderPhoto", "order_photo_del")) {
        QCOMPARE(log.keys.join(' '), QStringLiteral("token shopid superid orderphotoid path MANAGER_ID"));
        logged.append(log.values.value("orderphotoid") + ' ' + log.values.value("path"));
    }
    logged.sort();
    QCOMPARE(logged, (QStringList{"100101 " + first, "100103 " + third}));
    QCOMPARE(w.controller()->deletenum, 0);
    QCOMPARE(w.controller()->checkOrdersNum, 0);
}

void TestExportN8Result::deletionRefusesAndNamesFailures()
{
    N8WindowEnv env;
    ExportN8Result w;
    w.setType(QStringLiteral("批量删除"));
    search(w, "A2405120");
    tick(w, {"A24051201", "A24051203"});
    QList<order>& orders = w.controller()->orderList;
    const QString outside = QDir::tempPath() + "/dravin-not-a-volume";
    orders[0].orderpath = outside;
    const QString stuck = orders.at(2).orderpath;
    FileOperation::setFaultHook([stuck](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::Remove && path.startsWith(stuck);
    });
    env.prompts.setNextAnswer(Prompts::Yes);
    env.prompts.setNextAnswer(Prompts::Yes);
    w.startDel();
    QTRY_COMPARE(env.prompts.messages().size(), 2);
    const QStringList shown = boxes(env.prompts);
    QVERIFY2(shown.first().startsWith(QStringLiteral("警告/以下订单目录不能删除：\nA24051201：") + outside),
             qPrintable(shown.first()));
    QCOMPARE(shown.last(), QStringLiteral("警告/以下订单照片删除失败：\nA24051203：") + stuck);
    QVERIFY(QFileInfo(stuck).isDir());
    // Every reply handled, then a moment in which no deletion may be logged.
    QTRY_VERIFY_WITH_TIMEOUT(w.findChildren<QNetworkReply*>().isEmpty(), 10000);
    QTest::qWait(100);
    QVERIFY(env.service.requests("OrderPhoto", "order_photo_del").isEmpty());
}

void TestExportN8Result::fromTheLauncher()
{
    N8WindowEnv env;
    DemoSignIn front;
    SelectTool* launcher = front.signIn();
    QVERIFY(launcher);
    auto* tool = launcher->findChild<QRadioButton*>("rb_n8fj");
    QVERIFY(tool->isEnabled());
    tool->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<ExportN8Result>());
    QPointer<ExportN8Result> w = topLevelWindow<ExportN8Result>();
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(Config::shop_id, QStringLiteral("12"));

    search(*w, "A2405120");
    QCOMPARE(w->controller()->orderList.size(), 4);
    QTest::mouseClick(child<QPushButton>(w, "pushButton_selectAll"), Qt::LeftButton);
    env.prompts.setNextPath(env.out);
    QTest::mouseClick(child<QPushButton>(w, "selectPathButton"), Qt::LeftButton);
    QCOMPARE(env.prompts.last().title, QStringLiteral("选择分件保存路径"));
    QCOMPARE(child<QLineEdit>(w, "pathLineEdit")->text(), env.out);
    env.prompts.setNextAnswer(Prompts::Yes);
    QTest::mouseClick(child<QPushButton>(w, "pushButton_separate"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->controller()->isSeparating, 20000);

    const QString result = env.out + "/2024-06-01/A24051201-服务次1 王小宝-刘芳-王强/选版结果";
    QCOMPARE(TestFiles::entries(result), (QStringList{"P01.jpg", "P02.jpg", "P03.jpg", "album.psd"}));
    const QString report = env.prompts.last().text;
    QVERIFY2(report.contains(QStringLiteral("A24051201 服务次1</font>  N8导出完成")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("A24051202 服务次1</font> N8选版未完成")));
    QVERIFY(report.contains(QStringLiteral("A24051204 服务次1</font> 没有N8选版完成路径")));
    QCOMPARE(TestFiles::entries(env.out + "/2024-06-01").size(), 1);
    w->close();
    QTRY_VERIFY(w.isNull());
}

QTEST_MAIN(TestExportN8Result)
#include "tst_exportn8result.moc"
