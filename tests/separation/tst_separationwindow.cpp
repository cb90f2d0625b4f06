#include "clock.h"
#include "fileoperation.h"
#include "multiselectcombobox.h"
#include "searchorder.h"
#include "separatethread.h"
#include "separationsearch.h"
#include "separationtestenv.h"
#include "splitaftersample.h"
#include "thumbnailthread.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QWindow>

#include <csignal>

// The design and post-sample separation windows on the separation base,
// against the stand-in service: their forms, the search, the order table
// and the goods query.
class TestSeparationWindow : public QObject
{
    Q_OBJECT

private slots:
    void form_data();
    void form();
    void deletionType_data();
    void deletionType();
    void searchFindsOrders_data();
    void searchFindsOrders();
    void searchKeywordReachesServiceIntact();
    void emptyKeywords_data();
    void emptyKeywords();
    void searchFailures_data();
    void searchFailures();
    void customerForms_data();
    void customerForms();
    void tableChecks();
    void contextMenu();
    void startChecks();
    void outputFolder_data();
    void outputFolder();
    void searchTypeKeepsMaximised_data();
    void searchTypeKeepsMaximised();
};

namespace {

QStringList comboItems(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

// Searches by order number and waits for the table.
void searchOrderNumber(SeparationWindowBase& w, const QString& key, int rows)
{
    search(w, key);
    QCOMPARE(w.controller()->orderList.size(), rows);
}

QStringList texts(const QList<ScriptedPrompts::Call>& calls)
{
    QStringList list;
    for (const auto& c : calls)
        list.append(c.title + '/' + c.text);
    return list;
}

// Stops the window manager (SIGSTOP) at a moment it holds no grab of the
// display, which would stop every other client with it: a new client's
// request must be answered while it is held, else it is let go and tried
// again.
bool holdWindowManager(pid_t wm)
{
    for (int tries = 0; tries < 10; ++tries) {
        if (::kill(wm, SIGSTOP) != 0)
            return false;
        QProcess probe;
        probe.start(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        if (probe.waitForFinished(5000) && probe.exitCode() == 0)
            return true;
        ::kill(wm, SIGCONT);
        probe.waitForFinished(-1);
    }
    return false;
}

// What the exposure events a window gets while the log lives found: the
// window hidden, then exposed again (those queued from before the hide come
// first, and do not count).
class ExposureLog : public QObject
{
public:
    explicit ExposureLog(QWindow* window) { window->installEventFilter(this); }

    bool hidden = false;
    bool shownAgain = false;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose) {
            const bool exposed = static_cast<QWindow*>(watched)->isExposed();
            hidden = hidden || !exposed;
            shownAgain = shownAgain || (hidden && exposed);
        }
        return false;
    }
};

} // namespace

void TestSeparationWindow::form_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("slotCount");
    QTest::newRow("design") << "design" << QSize(785, 545) << "SearchOrder" << 30;
    QTest::newRow("post-sample") << "post-sample" << QSize(785, 523) << "SplitAfterSample" << 29;
}

void TestSeparationWindow::form()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(QString, objectName);
    QFETCH(int, slotCount);
    SeparationTestEnv env;
    FileOperation::writeToDAT(QStringLiteral("path_separatePhotos.dat"), {QStringLiteral("/Volumes/out")},
                              true);
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    QCOMPARE(w.size(), size);
    QCOMPARE(w.objectName(), objectName);
    QCOMPARE(w.windowTitle(), QStringLiteral("检索订单"));
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("开始分件"));
    QCOMPARE(child<QGroupBox>(&w, "groupBox_2")->title(), QStringLiteral("检索方式"));
    QVERIFY(child<QGroupBox>(&w, "groupBox")->title().isEmpty());
    QCOMPARE(child<QLabel>(&w, "label_finishOrdersNum")->text(), QStringLiteral("已完成订单个数："));
    auto* label = child<QLabel>(&w, "label");
    QCOMPARE(label->text(), QStringLiteral("正在查询产品信息..."));
    QCOMPARE(label->font().family(), QStringLiteral("宋体"));
    QCOMPARE(label->font().pointSize(), 12);
    QVERIFY(label->font().bold());
    QStringList buttons;
    for (const char* name : {"pushButton_selectAll", "pushButton_selectOpposite", "selectPathButton",
                             "searchButton", "cancelButton"})
        buttons.append(child<QPushButton>(&w, name)->text());
    QCOMPARE(buttons, (QStringList{"全选", "反选", "选择路径", "检索", "取消"}));
    for (const char* hidden : {"groupBox", "progressBar", "label_finishOrdersNum", "label"})
        QVERIFY(w.findChild<QWidget*>(hidden)->isHidden());
    if (kind == "post-sample") {
        for (const char* name : {"pushButton_selectAll", "pushButton_selectOpposite", "selectPathButton",
                                 "pathLineEdit", "pushButton_separate"})
            QCOMPARE(child<QWidget>(&w, name)->focusPolicy(), Qt::NoFocus);
    }

    auto* combo = child<QComboBox>(&w, "comboBox");
    QCOMPARE(comboItems(combo), (QStringList{"转数码日期", "预约单号", "拍摄日期", "选片日期", "选片完成日期",
                                             "上件日期", "预约日期", "发货日期", "姓名", "电话"}));
    QCOMPARE(combo->currentText(), QStringLiteral("转数码日期"));
    auto* model = qobject_cast<QStandardItemModel*>(child<QTableView>(&w, "tableView")->model());
    QCOMPARE(model->columnCount(), 15);
    QCOMPARE(model->horizontalHeaderItem(0)->text(), QStringLiteral("分件"));
    QCOMPARE(model->horizontalHeaderItem(14)->text(), QStringLiteral("订单路径"));
    auto* shops = child<MultiSelectComboBox>(&w, "cb_shops");
    QCOMPARE(shops->count(), 2);
    QCOMPARE(shops->currentIndex(), (QList<int>{0, 1}));
    QCOMPARE(child<QLineEdit>(&w, "pathLineEdit")->text(), QStringLiteral("/Volumes/out"));

    // The slots the form, the launcher and the jobs reach by name.
    int slotsDeclared = 0;
    for (const QMetaObject* m = w.metaObject(); m != &QDialog::staticMetaObject; m = m->superClass()) {
        for (int i = m->methodOffset(); i < m->methodCount(); ++i)
            slotsDeclared += m->method(i).methodType() == QMetaMethod::Slot ? 1 : 0;
    }
    QCOMPARE(slotsDeclared, slotCount);
    for (const QByteArray& slot :
         SeparateThread::callbackSignatures() + ThumbnailThread::callbackSignatures()) {
        const bool designOnly = slot == "fenjian_shejiPhotoSlot_3_2()";
        QCOMPARE(w.metaObject()->indexOfMethod(slot) >= 0, kind == "design" || !designOnly);
    }
    for (const char* slot : {"clickCancel()",
                             "clickSearch()",
                             "queryCallBack(QNetworkReply*)",
                             "queryProductsCallBack(QNetworkReply*)",
                             "queryOrderInfoCallBack(QNetworkReply*)",
                             "queryPicInfoCallBack(QNetworkReply*)",
                             "on_tableView_doubleClicked(QModelIndex)",
                             "openOrderDir()",
                             "showMouseRightButton(QPoint)",
                             "showWidget()",
                             "on_selectPathButton_clicked()",
                             "on_tableView_clicked(QModelIndex)",
                             "on_pushButton_separate_clicked()",
                             "replyFinished(QNetworkReply*)",
                             "onDownloadProgress(qlonglong,qlonglong)",
                             "onReadyRead()",
                             "on_pushButton_selectAll_clicked()",
                             "on_pushButton_selectOpposite_clicked()",
                             "submitDeleteMessageCallBack(QNetworkReply*)",
                             "startDel()",
                             "on_comboBox_currentIndexChanged(int)"})
        QVERIFY2(w.metaObject()->indexOfSlot(slot) >= 0, slot);

    // SEPARATION_RENDER=<folder>: pictures of the window with a search
    // result and a run's progress, at its own size and maximised.
    if (qEnvironmentVariableIsSet("SEPARATION_RENDER")) {
        const QString folder = qEnvironmentVariable("SEPARATION_RENDER") + '/' + objectName;
        searchOrderNumber(w, "A2405120", 4);
        w.on_tableView_clicked(child<QTableView>(&w, "tableView")->model()->index(1, 0));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.showRun({true, false, true, 5, 20, true, QStringLiteral("已完成订单个数：0/2")});
        // Laid out again for the frame just shown, then for the new size.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        w.grab().save(folder + ".png");
        w.resize(1920, 1050);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        w.grab().save(folder + "-maximised.png");
    }
}

void TestSeparationWindow::deletionType_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("ownType");
    QTest::newRow("design") << "design"
                            << "分件管理";
    QTest::newRow("post-sample") << "post-sample"
                                 << "样后分件管理";
}

void TestSeparationWindow::deletionType()
{
    QFETCH(QString, kind);
    QFETCH(QString, ownType);
    SeparationTestEnv env;
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    auto* combo = child<QComboBox>(&w, "comboBox");
    w.setType(ownType);
    QCOMPARE(combo->count(), 10);
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("开始分件"));
    w.setType(QStringLiteral("批量删除"));
    QCOMPARE(comboItems(combo), (QStringList{"预约单号", "拍摄日期", "选片日期", "预约日期", "发货日期",
                                             "取件完成日期", "姓名", "电话"}));
    QVERIFY(child<QPushButton>(&w, "selectPathButton")->isHidden());
    QVERIFY(child<QLineEdit>(&w, "pathLineEdit")->isHidden());
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("批量删除"));

    // The deletion type searches with searchtype 10, and a change of the
    // criterion neither hides nor shows its window (its own type would).
    w.show();
    QSignalSpy shown(w.windowHandle(), &QWindow::visibleChanged);
    combo->setCurrentText(QStringLiteral("取件完成日期"));
    QCOMPARE(shown.size(), 0);
    w.setType(ownType);
    combo->setCurrentText(QStringLiteral("姓名"));
    QCOMPARE(shown.size(), 2);
    w.setType(QStringLiteral("批量删除"));
    combo->setCurrentText(QStringLiteral("取件完成日期"));
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_COMPARE(env.service.requests("order", "order_list").size(), 1);
    QCOMPARE(env.service.requests("order", "order_list").first().values.value("searchtype"),
             QStringLiteral("10"));
}

void TestSeparationWindow::searchFindsOrders_data()
{
    QTest::addColumn<QDate>("selected");
    QTest::addColumn<QString>("typedYear"); // into the year box, left open
    QTest::newRow("day picked") << QDate(2024, 5, 20) << "";
    QTest::newRow("year typed, 检索 pressed with the box open") << QDate(2026, 5, 20) << "2024";
}

void TestSeparationWindow::searchFindsOrders()
{
    QFETCH(QDate, selected);
    QFETCH(QString, typedYear);
    SeparationTestEnv env;
    SearchOrder w;
    auto* calendar = child<QCalendarWidget>(&w, "calendar");
    calendar->setSelectedDate(selected);
    if (!typedYear.isEmpty()) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(calendar->findChild<QToolButton*>("qt_calendar_yearbutton"), Qt::LeftButton);
        auto* yearBox = calendar->findChild<QSpinBox*>("qt_calendar_yearedit");
        QTRY_VERIFY(yearBox->isVisible());
        yearBox->selectAll();
        QTest::keyClicks(yearBox, typedYear);
    }
    child<QLineEdit>(&w, "orderNumber")->setText(QStringLiteral("ignored"));
    child<QPushButton>(&w, "searchButton")->click();
    QCOMPARE(child<QPushButton>(&w, "searchButton")->text(), QStringLiteral("检索中..."));
    QVERIFY(!child<QPushButton>(&w, "searchButton")->isEnabled());
    QTRY_COMPARE(child<QPushButton>(&w, "searchButton")->text(), QStringLiteral("检索"));
    const auto sent = env.service.requests("order", "order_list");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().keys.join(' '),
             QStringLiteral("token shopid searchtype eid superid keyword personid uid storesids"));
    QCOMPARE(sent.first().values.value("searchtype"), QStringLiteral("13"));
    QCOMPARE(sent.first().values.value("keyword"), QStringLiteral("2024-05-20"));
    QCOMPARE(sent.first().values.value("storesids"), QStringLiteral("1201,1202"));

    // The four orders turned digital that day, unticked.
    QCOMPARE(w.controller()->orderList.size(), 4);
    auto* model = qobject_cast<QStandardItemModel*>(child<QTableView>(&w, "tableView")->model());
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->item(0, 0)->data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(model->item(3, 1)->text(), QStringLiteral("A24051204"));
    QCOMPARE(model->item(0, 14)->textAlignment(), Qt::Alignment());
    QCOMPARE(model->item(0, 13)->textAlignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(env.prompts.calls().isEmpty());
}

void TestSeparationWindow::searchKeywordReachesServiceIntact()
{
    SeparationTestEnv env;
    SearchOrder w;
    env.prompts.setNextAnswer(Prompts::Ok);
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("姓名"));
    child<QLineEdit>(&w, "orderNumber")->setText(QStringLiteral("A&shopid=9+1%"));
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_COMPARE(env.service.requests("order", "order_list").size(), 1);
    const auto sent = env.service.requests("order", "order_list").first();
    QCOMPARE(sent.values.value("keyword"), QStringLiteral("A&shopid=9+1%"));
    QCOMPARE(sent.values.value("shopid"), QStringLiteral("12"));
    QCOMPARE(sent.values.value("searchtype"), QStringLiteral("2"));
    QTRY_COMPARE(texts(env.prompts.calls()), QStringList{"提示/没有查询到任何订单"});
}

void TestSeparationWindow::emptyKeywords_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<int>("button");
    QTest::newRow("design 预约单号") << "design"
                                     << "预约单号"
                                     << "请输入订单号" << int(Prompts::Ok);
    QTest::newRow("design 姓名") << "design"
                                 << "姓名"
                                 << "请输入姓名" << int(Prompts::Ok);
    QTest::newRow("design 电话") << "design"
                                 << "电话"
                                 << "请输入电话" << int(Prompts::Ok);
    QTest::newRow("post-sample 预约单号") << "post-sample"
                                          << "预约单号"
                                          << "请输入订单号" << int(Prompts::Yes);
}

void TestSeparationWindow::emptyKeywords()
{
    QFETCH(QString, kind);
    QFETCH(QString, criterion);
    QFETCH(QString, warning);
    QFETCH(int, button);
    SeparationTestEnv env;
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    env.prompts.setNextAnswer(Prompts::StandardButton(button));
    child<QComboBox>(&w, "comboBox")->setCurrentText(criterion);
    child<QPushButton>(&w, "searchButton")->click();
    QCOMPARE(texts(env.prompts.calls()), QStringList{"警告/" + warning});
    QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::StandardButton(button)));
    QVERIFY(child<QPushButton>(&w, "searchButton")->isEnabled());
    // The refusal came at the press; no search may follow it.
    QTest::qWait(50);
    QVERIFY(env.service.requests("order", "order_list").isEmpty());
}

void TestSeparationWindow::searchFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("HTTP 500") << "http" << QStringList{"警告/网络请求错误\n500"};
    QTest::newRow("not JSON") << "raw" << QStringList();
    QTest::newRow("refused") << "refuse" << QStringList{"警告/检索错误：0"};
    QTest::newRow("numeric code") << "number" << QStringList{"警告/检索错误："};
}

void TestSeparationWindow::searchFailures()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    SearchOrder w;
    searchOrderNumber(w, "A24051201", 1);
    w.controller()->orderList[0].isChecked = true;
    if (fault == "http")
        env.service.failHttp("order", "order_list", 500);
    else if (fault == "raw")
        env.service.sendRaw("order", "order_list", "<html>");
    else if (fault == "refuse")
        env.service.refuse("order", "order_list", "0", "坏");
    else
        env.service.sendRaw("order", "order_list", R"({"code":1,"data":[]})");
    env.prompts.clear();
    searchOrderNumber(w, "A2405", 1);
    QCOMPARE(texts(env.prompts.calls()), boxes);
    // The earlier result and its tick stay.
    QVERIFY(w.controller()->orderList.first().isChecked);
    QCOMPARE(child<QPushButton>(&w, "searchButton")->text(), QStringLiteral("检索"));
}

void TestSeparationWindow::customerForms_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("customers");
    // Rows: "bname" alone; "bname" and "mname"; "wname" alone.
    QTest::newRow("design") << "design" << QStringList{"A", "A-C", "B"};
    QTest::newRow("post-sample") << "post-sample" << QStringList{"A-", "A-C", "B"};
}

void TestSeparationWindow::customerForms()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, customers);
    SeparationTestEnv env;
    const auto window = makeWindow(kind);
    env.service.sendRaw("order", "order_list",
                        R"({"code":"1","data":[{"bname":"A"},{"bname":"A","mname":"C"},{"wname":"B"}]})");
    searchOrderNumber(*window, "A", 3);
    QStringList shown;
    auto* model = qobject_cast<QStandardItemModel*>(child<QTableView>(window.get(), "tableView")->model());
    for (int r = 0; r < 3; ++r)
        shown.append(model->item(r, 4)->text());
    QCOMPARE(shown, customers);
}

void TestSeparationWindow::tableChecks()
{
    SeparationTestEnv env;
    SearchOrder w;
    w.resize(1200, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    searchOrderNumber(w, "A240515", 2);
    auto* view = child<QTableView>(&w, "tableView");
    auto* model = qobject_cast<QStandardItemModel*>(view->model());
    auto state = [&](int row) { return model->item(row, 0)->data(Qt::CheckStateRole).toInt(); };
    const QString blue = "selection-background-color: rgb(135, 206, 250);selection-color:black;";
    const QString white = "selection-background-color: rgb(248, 248, 255);selection-color:black;";

    // A click in the path column toggles the row.
    w.on_tableView_clicked(model->index(1, 14));
    QVERIFY(w.controller()->orderList.at(1).isChecked);
    QCOMPARE(state(1), int(Qt::Checked));
    QCOMPARE(view->styleSheet(), blue);
    QVERIFY(!(model->item(1, 0)->flags() & Qt::ItemIsUserCheckable));
    w.on_tableView_clicked(model->index(1, 3));
    QCOMPARE(state(1), int(Qt::Unchecked));
    QCOMPARE(view->styleSheet(), white);
    QVERIFY(!w.isSelectOrder());
    w.on_tableView_clicked(model->index(7, 0)); // no such row
    QCOMPARE(model->rowCount(), 2);

    w.on_tableView_clicked(model->index(0, 0));
    child<QPushButton>(&w, "pushButton_selectOpposite")->click();
    QCOMPARE(QList<int>({state(0), state(1)}), QList<int>({int(Qt::Unchecked), int(Qt::Checked)}));
    child<QPushButton>(&w, "pushButton_selectAll")->click();
    QCOMPARE(QList<int>({state(0), state(1)}), QList<int>({int(Qt::Checked), int(Qt::Checked)}));
    QVERIFY(w.isSelectOrder());
    QCOMPARE(view->styleSheet(), blue);

    // The widths follow the table's width on every paint: the order number
    // 13% of what column 0 leaves, and never under 130.
    const QList<QPair<int, QList<int>>> widths{{1200, {60, 148, 102, 68, 364}},
                                               {800, {60, 130, 68, 36, 244}}};
    for (const auto& width : widths) {
        view->setFixedWidth(width.first);
        QTRY_COMPARE(view->width(), width.first);
        w.repaint();
        const QList<int> shown{view->columnWidth(0), view->columnWidth(1), view->columnWidth(2),
                               view->columnWidth(3), view->columnWidth(14)};
        QCOMPARE(shown, width.second);
    }
}

void TestSeparationWindow::contextMenu()
{
    SeparationTestEnv env;
    SearchOrder w;
    searchOrderNumber(w, "A2405120", 4);
    auto* view = child<QTableView>(&w, "tableView");
    auto* action = w.findChild<QAction*>();
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("打开订单目录"));
    auto* menu = view->findChild<QMenu*>();
    QVERIFY(menu);

    // No current row: no menu.
    w.showMouseRightButton(QPoint());
    QVERIFY(!menu->isVisible());

    view->setCurrentIndex(view->model()->index(1, 2));
    w.controller()->orderList[1].orderpath.clear();
    w.showMouseRightButton(QPoint());
    QVERIFY(!action->isEnabled());
    menu->hide();

    view->setCurrentIndex(view->model()->index(0, 2));
    w.showMouseRightButton(QPoint());
    QVERIFY(action->isEnabled());
    menu->hide();
    // The service's path is opened only once it is a folder.
    const QString orderPath = w.controller()->orderList.first().orderpath;
    QVERIFY(orderPath.startsWith(env.volumes.root()));
    env.prompts.setNextAnswer(Prompts::Yes);
    action->trigger();
    QVERIFY(env.desktop.urls.isEmpty());
    QCOMPARE(env.prompts.last().text, QStringLiteral("订单目录不存在：") + orderPath);
    QVERIFY(QDir().mkpath(orderPath));
    action->trigger();
    QCOMPARE(env.desktop.urls, QList<QUrl>{QUrl::fromLocalFile(orderPath)});
}

void TestSeparationWindow::startChecks()
{
    SeparationTestEnv env;
    SearchOrder w;
    auto* start = child<QPushButton>(&w, "pushButton_separate");
    auto* path = child<QLineEdit>(&w, "pathLineEdit");

    env.prompts.setNextAnswer(Prompts::Yes);
    start->click();
    QCOMPARE(texts(env.prompts.calls()), QStringList{"/请选择订单"});
    QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));

    searchOrderNumber(w, "A24051201", 1);
    w.on_pushButton_selectAll_clicked();
    env.prompts.clear();
    env.prompts.setNextAnswer(Prompts::Yes);
    path->setText(env.volumes.path("nowhere"));
    start->click();
    QCOMPARE(texts(env.prompts.calls()), QStringList{"警告/分件路径不存在"});
    // A folder that cannot be looked at is not called missing.
    const QString out = env.volumes.mkdir("out");
    path->setText(out);
    env.prompts.setNextAnswer(Prompts::Yes);
    FileOperation::setFaultHook(
        [](FileOperation::Fault f, const QString&) { return f == FileOperation::Fault::LookUp; });
    start->click();
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(texts(env.prompts.calls()).last(), "警告/目录读取失败：" + out);
    QVERIFY(env.prompts.unexpected().isEmpty());
}

void TestSeparationWindow::outputFolder_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("chosen"); // the chooser's answer; "-": not asked
    QTest::addColumn<QString>("dayFolder");
    QTest::newRow("the field") << "out"
                               << "-"
                               << "out/2024-06-01/";
    QTest::newRow("chosen") << ""
                            << "chosen"
                            << "chosen/2024-06-01/";
    QTest::newRow("chooser cancelled") << ""
                                       << ""
                                       << "";
}

void TestSeparationWindow::outputFolder()
{
    QFETCH(QString, field);
    QFETCH(QString, chosen);
    QFETCH(QString, dayFolder);
    SeparationTestEnv env;
    Clock::setFixed(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
    SearchOrder w;
    const QString root = env.volumes.root();
    child<QLineEdit>(&w, "pathLineEdit")->setText(field.isEmpty() ? field : env.volumes.mkdir(field));
    if (chosen != "-")
        env.prompts.setNextPath(chosen.isEmpty() ? chosen : env.volumes.mkdir(chosen));
    searchOrderNumber(w, "A24051203", 1);
    w.on_pushButton_selectAll_clicked();
    child<QPushButton>(&w, "pushButton_separate")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
    Clock::setFixed(QDateTime());

    QCOMPARE(env.prompts.calls().size(), chosen == "-" ? 0 : 1);
    if (chosen != "-")
        QCOMPARE(env.prompts.last().title, QStringLiteral("选择分件保存路径"));
    // The chosen folder is remembered, never put into the field.
    const QString remembered = field.isEmpty() ? chosen : field;
    QCOMPARE(FileOperation::readFromDAT(QStringLiteral("path_separatePhotos.dat"), 1),
             remembered.isEmpty() ? QStringList() : QStringList{root + remembered});
    QCOMPARE(child<QLineEdit>(&w, "pathLineEdit")->text(), field.isEmpty() ? field : root + field);
    QCOMPARE(w.controller()->orderList.first().isDone, false);
    if (!dayFolder.isEmpty())
        QVERIFY(QFileInfo(root + dayFolder + "A24051203-服务2 赵敏 部分/其它/成品").isDir());
}

void TestSeparationWindow::searchTypeKeepsMaximised_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("type");
    QTest::newRow("design") << "design"
                            << "分件管理";
    QTest::newRow("post-sample") << "post-sample"
                                 << "样后分件管理";
}

void TestSeparationWindow::searchTypeKeepsMaximised()
{
    const pid_t wm = qEnvironmentVariableIntValue("DRAVIN_TEST_WM_PID");
    if (wm <= 0)
        QSKIP("needs a window manager: run by tests/support/runwithwm.sh");
    QFETCH(QString, kind);
    QFETCH(QString, type);
    SeparationTestEnv env;
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    w.setType(type);
    w.showMaximized();
    QWindow* handle = w.windowHandle();
    const QRect area = w.screen()->availableGeometry();
    QTRY_VERIFY_WITH_TIMEOUT(handle->isExposed() && handle->frameGeometry() == area, 20000);

    // Held, the window manager handles the hide only after the window was
    // shown again, as a busy desktop's does.
    QVERIFY(holdWindowManager(wm));
    auto letGo = qScopeGuard([wm] { ::kill(wm, SIGCONT); });
    ExposureLog exposures(handle);
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    QTRY_VERIFY(exposures.hidden);
    letGo.dismiss();
    QCOMPARE(::kill(wm, SIGCONT), 0);
    QTRY_VERIFY_WITH_TIMEOUT(exposures.shownAgain, 20000);
    QTRY_VERIFY2_WITH_TIMEOUT(w.isMaximized() && handle->frameGeometry() == area,
                              qPrintable(QStringLiteral("%1 at %2x%3")
                                             .arg(w.isMaximized() ? "maximised" : "not maximised")
                                             .arg(handle->frameGeometry().width())
                                             .arg(handle->frameGeometry().height())),
                              20000);
}

QTEST_MAIN(TestSeparationWindow)
#include "tst_separationwindow.moc"
