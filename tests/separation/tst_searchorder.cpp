#include "searchorder.h"
#include "separationsearch.h"
#include "separationtestenv.h"
#include "fileoperation.h"
#include "login.h"
#include "multiselectcombobox.h"
#include "signin.h"
#include "selecttool.h"
#include "separatethread.h"
#include "thumbnailthread.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>

// The design separation window on the separation base, against the
// stand-in service: its form, the search, the order table and the goods
// query.
class TestSearchOrder : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void slotsByName();
    void deletionType();
    void searchFindsOrders();
    void searchKeywordReachesServiceIntact();
    void emptyKeywords_data();
    void emptyKeywords();
    void searchFailures_data();
    void searchFailures();
    void searchRefusedDuringARun();
    void tableChecks();
    void contextMenu();
    void startChecks();
    void productQuery();
    void productQueryChooser();
    void productQueryFailures_data();
    void productQueryFailures();
    void fromTheLauncher();
};

namespace {

template <typename T> T* child(QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Searches by order number and waits for the table.
void searchOrderNumber(SearchOrder& w, const QString& key, int rows)
{
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    child<QLineEdit>(&w, "orderNumber")->setText(key);
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_COMPARE(child<QPushButton>(&w, "searchButton")->isEnabled(), true);
    QCOMPARE(w.controller()->orderList.size(), rows);
}

QStringList texts(const QList<ScriptedPrompts::Call>& calls)
{
    QStringList list;
    for (const auto& c : calls)
        list.append(c.title + '/' + c.text);
    return list;
}

} // namespace

void TestSearchOrder::form()
{
    SeparationTestEnv env;
    FileOperation::writeToDAT(QStringLiteral("path_separatePhotos.dat"), {QStringLiteral("/Volumes/out")}, true);
    SearchOrder w;
    QCOMPARE(w.size(), QSize(785, 545));
    QCOMPARE(w.windowTitle(), QStringLiteral("检索订单"));
    QCOMPARE(w.objectName(), QStringLiteral("SearchOrder"));
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("开始分件"));
    QCOMPARE(child<QGroupBox>(&w, "groupBox_2")->title(), QStringLiteral("检索方式"));
    QVERIFY(child<QGroupBox>(&w, "groupBox")->title().isEmpty());
    QCOMPARE(child<QLabel>(&w, "label_finishOrdersNum")->text(), QStringLiteral("已完成订单个数："));
    auto* label = child<QLabel>(&w, "label");
    QCOMPARE(label->text(), QStringLiteral("正在查询产品信息..."));
    QCOMPARE(label->font().family(), QStringLiteral("宋体"));
    QCOMPARE(label->font().pointSize(), 12);
    QVERIFY(label->font().bold());
    for (const char* name : {"全选", "反选", "选择路径", "检索", "取消"}) {
        bool found = false;
        for (QPushButton* b : w.findChildren<QPushButton*>())
            found = found || b->text() == QString::fromUtf8(name);
        QVERIFY2(found, name);
    }
    for (const char* hidden : {"groupBox", "progressBar", "label_finishOrdersNum", "label"})
        QVERIFY(w.findChild<QWidget*>(hidden)->isHidden());

    auto* combo = child<QComboBox>(&w, "comboBox");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    QCOMPARE(items, SeparationSearch::separationCriteria());
    QCOMPARE(combo->currentText(), QStringLiteral("转数码日期"));

    auto* model = qobject_cast<QStandardItemModel*>(child<QTableView>(&w, "tableView")->model());
    QCOMPARE(model->columnCount(), 15);
    QCOMPARE(model->horizontalHeaderItem(0)->text(), QStringLiteral("分件"));
    QCOMPARE(model->horizontalHeaderItem(14)->text(), QStringLiteral("订单路径"));
    auto* shops = child<MultiSelectComboBox>(&w, "cb_shops");
    QCOMPARE(shops->count(), 2);
    QCOMPARE(shops->currentIndex(), (QList<int>{0, 1}));
    QCOMPARE(child<QLineEdit>(&w, "pathLineEdit")->text(), QStringLiteral("/Volumes/out"));
    QVERIFY(w.controller()->layout().hasStage(SeparationLayout::Stage::Design));
    if (qEnvironmentVariableIsSet("SEPARATION_RENDER"))
        w.grab().save(qEnvironmentVariable("SEPARATION_RENDER") + "/searchorder.png");
}

void TestSearchOrder::slotsByName()
{
    SeparationTestEnv env;
    SearchOrder w;
    const QList<QByteArray> slotNames = {
        "clickCancel()", "clickSearch()", "queryCallBack(QNetworkReply*)", "queryProductsCallBack(QNetworkReply*)",
        "queryOrderInfoCallBack(QNetworkReply*)", "queryPicInfoCallBack(QNetworkReply*)",
        "on_tableView_doubleClicked(QModelIndex)", "openOrderDir()", "showMouseRightButton(QPoint)", "showWidget()",
        "onFinishSeparateImage()", "on_selectPathButton_clicked()", "on_tableView_clicked(QModelIndex)",
        "on_pushButton_separate_clicked()", "replyFinished(QNetworkReply*)", "onDownloadProgress(qlonglong,qlonglong)",
        "onReadyRead()", "on_pushButton_selectAll_clicked()", "on_pushButton_selectOpposite_clicked()",
        "submitDeleteMessageCallBack(QNetworkReply*)", "startDel()", "on_comboBox_currentIndexChanged(int)",
        "fenjian_photoIsFileSlot_1(int)", "fenjian_finalPhotoSlot_2()", "fenjian_delPhotoSlot_3()",
        "fenjian_markPhoto_3_1()", "fenjian_shejiPhotoSlot_3_2()", "fenjian_productPhotoSlot_4(QString)",
        "fenjian_analysisPhotoInfo()", "onFinishSaveThumb()"};
    QCOMPARE(slotNames.size(), 30);
    for (const QByteArray& slot : slotNames)
        QVERIFY2(w.metaObject()->indexOfSlot(slot) >= 0, slot.constData());
    for (const QByteArray& slot : SeparateThread::callbackSignatures() + ThumbnailThread::callbackSignatures())
        QVERIFY2(w.metaObject()->indexOfMethod(slot) >= 0, slot.constData());
}

void TestSearchOrder::deletionType()
{
    SeparationTestEnv env;
    SearchOrder w;
    w.setType(QStringLiteral("分件管理"));
    QCOMPARE(child<QComboBox>(&w, "comboBox")->count(), 10);
    w.setType(QStringLiteral("批量删除"));
    auto* combo = child<QComboBox>(&w, "comboBox");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    QCOMPARE(items, (QStringList{"预约单号", "拍摄日期", "选片日期", "预约日期", "发货日期", "取件完成日期", "姓名",
                                 "电话"}));
    QVERIFY(child<QPushButton>(&w, "selectPathButton")->isHidden());
    QVERIFY(child<QLineEdit>(&w, "pathLineEdit")->isHidden());
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("批量删除"));

    // The deletion type searches with searchtype 10, and never re-shows
    // the window on a change of the criterion.
    w.show();
    combo->setCurrentText(QStringLiteral("取件完成日期"));
    QVERIFY(w.isVisible());
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_COMPARE(env.service.requests("order", "order_list").size(), 1);
    QCOMPARE(env.service.requests("order", "order_list").first().values.value("searchtype"), QStringLiteral("10"));
}

void TestSearchOrder::searchFindsOrders()
{
    SeparationTestEnv env;
    SearchOrder w;
    child<QCalendarWidget>(&w, "calendar")->setSelectedDate(QDate(2024, 5, 20));
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

void TestSearchOrder::searchKeywordReachesServiceIntact()
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

void TestSearchOrder::emptyKeywords_data()
{
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("warning");
    QTest::newRow("预约单号") << "预约单号" << "请输入订单号";
    QTest::newRow("姓名") << "姓名" << "请输入姓名";
    QTest::newRow("电话") << "电话" << "请输入电话";
}

void TestSearchOrder::emptyKeywords()
{
    QFETCH(QString, criterion);
    QFETCH(QString, warning);
    SeparationTestEnv env;
    SearchOrder w;
    env.prompts.setNextAnswer(Prompts::Ok);
    child<QComboBox>(&w, "comboBox")->setCurrentText(criterion);
    child<QPushButton>(&w, "searchButton")->click();
    QCOMPARE(texts(env.prompts.calls()), QStringList{"警告/" + warning});
    QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Ok));
    QVERIFY(child<QPushButton>(&w, "searchButton")->isEnabled());
    QTest::qWait(50);
    QVERIFY(env.service.requests("order", "order_list").isEmpty());
}

void TestSearchOrder::searchFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("HTTP 500") << "http" << QStringList{"警告/网络请求错误\n500"};
    QTest::newRow("not JSON") << "raw" << QStringList();
    QTest::newRow("refused") << "refuse" << QStringList{"警告/检索错误：0"};
    QTest::newRow("numeric code") << "number" << QStringList{"警告/检索错误："};
}

void TestSearchOrder::searchFailures()
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

void TestSearchOrder::searchRefusedDuringARun()
{
    SeparationTestEnv env;
    SearchOrder w;
    SeparationRunGuard otherWindow;
    QVERIFY(otherWindow.begin());
    env.prompts.setNextAnswer(Prompts::Yes);
    child<QLineEdit>(&w, "orderNumber")->setText("A24051201");
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    child<QPushButton>(&w, "searchButton")->click();
    QCOMPARE(texts(env.prompts.calls()), QStringList{"通知/正在分件，请稍后"});
    QVERIFY(child<QPushButton>(&w, "searchButton")->isEnabled());
    QTest::qWait(50);
    QVERIFY(env.service.requests("order", "order_list").isEmpty());
}

void TestSearchOrder::tableChecks()
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

    // The widths follow the table's width on every paint.
    w.repaint();
    QCOMPARE(view->columnWidth(0), 60);
    QCOMPARE(view->columnWidth(1), SeparationSearch::columnWidths(view->width()).at(1));
}

void TestSearchOrder::contextMenu()
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
    action->trigger();
    QCOMPARE(env.desktop.urls.size(), 1);
    QCOMPARE(QUrl::fromLocalFile(w.controller()->orderList.first().orderpath), env.desktop.urls.first());
    QVERIFY(w.controller()->orderList.first().orderpath.startsWith(env.volumes.root()));
}

void TestSearchOrder::startChecks()
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

    // A held run refuses the start.
    SeparationRunGuard otherWindow;
    QVERIFY(otherWindow.begin());
    env.prompts.clear();
    env.prompts.setNextAnswer(Prompts::Yes);
    path->setText(env.volumes.mkdir("out"));
    start->click();
    QCOMPARE(texts(env.prompts.calls()), QStringList{"通知/正在分件，请稍后"});
    QVERIFY(env.prompts.unexpected().isEmpty());
}

void TestSearchOrder::productQuery()
{
    SeparationTestEnv env;
    SearchOrder w;
    const QString out = env.volumes.mkdir("out");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    searchOrderNumber(w, "A24051201", 1);
    SeparationTestEnv::takeForRun(w.controller(), 0);
    w.postQueryProducts(QStringLiteral("100101"));
    QTRY_VERIFY(!ProductData::localSavePath.isEmpty() && ProductData::localSavePath.startsWith(out));

    const auto sent = env.service.requests("order", "ordergoods20230521");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().keys.join(' '), QStringLiteral("token order_photo_id shopid superid personid uid is_qu"));
    QCOMPARE(sent.first().values.value("personid"), QStringLiteral("1024"));
    QCOMPARE(sent.first().values.value("is_qu"), QStringLiteral("1"));

    // Seven goods lines; the child line gets no folder of its own, the
    // sub-products get theirs inside their parents'.
    QCOMPARE(ProductData::m_products.size(), 7);
    QCOMPARE(ProductData::m_products.at(4).subProducts.size(), 2);
    QStringList names;
    for (const ProductMessage& m : w.controller()->productMessageList)
        names.append(m.folderName.isEmpty() ? m.goodname : m.folderName);
    QCOMPARE(names, (QStringList{"宝宝成长相册", "8x10水晶摆台", "精修电子档", "实木相框", "套系赠品", "钥匙扣",
                                 "冰箱贴", "宝宝成长相册(1)", "内页"}));
    const ProductMessage homemade = w.controller()->productMessageList.at(7);
    QCOMPARE(homemade.factoryFolder, QStringLiteral("店内制作/"));
    QCOMPARE(homemade.productFolder,
             QStringLiteral("宝宝成长相册(1) A24051201  王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/"));
    QCOMPARE(w.controller()->productMessageList.at(1).factoryFolder,
             QStringLiteral("华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-01急取 周设计 【自取】/"));
    QVERIFY(w.controller()->expressHtmlString.contains(QStringLiteral("快递产品信息")));

    QCOMPARE(FileOperation::readFromDAT(QStringLiteral("path_separatePhotos.dat"), 1), QStringList{out});
    // The run goes on below the folder, with "/" added to it.
    QVERIFY(ProductData::localSavePath.startsWith(out + "/2"));
    QVERIFY(env.prompts.calls().isEmpty());
}

void TestSearchOrder::productQueryChooser()
{
    SeparationTestEnv env;
    SearchOrder w;
    child<QLineEdit>(&w, "pathLineEdit")->clear();
    searchOrderNumber(w, "A24051201", 1);
    SeparationTestEnv::takeForRun(w.controller(), 0);
    w.controller()->isSeparating = true;

    // Cancelled: the run stops and its order is free again.
    env.prompts.setNextPath(QString());
    w.postQueryProducts(QStringLiteral("100101"));
    QTRY_VERIFY(!w.controller()->isSeparating);
    QCOMPARE(env.prompts.last().kind, ScriptedPrompts::Call::Kind::Directory);
    QCOMPARE(env.prompts.last().title, QStringLiteral("选择分件保存路径"));
    QVERIFY(!w.controller()->orderList.first().isDone);
    QVERIFY(FileOperation::readFromDAT(QStringLiteral("path_separatePhotos.dat"), 1).isEmpty());

    // Answered: the folder is the run's, the field stays empty.
    const QString out = env.volumes.mkdir("chosen\\");
    env.prompts.setNextPath(out);
    ProductData::localSavePath.clear();
    w.postQueryProducts(QStringLiteral("100101"));
    QTRY_VERIFY(ProductData::localSavePath.startsWith(out + "2"));
    QVERIFY(child<QLineEdit>(&w, "pathLineEdit")->text().isEmpty());
    QCOMPARE(FileOperation::readFromDAT(QStringLiteral("path_separatePhotos.dat"), 1), QStringList{out});
}

void TestSearchOrder::productQueryFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("refused") << "refuse" << QStringList{"警告/查询产品信息错误：0"};
    QTest::newRow("HTTP 500") << "http" << QStringList{"警告/网络请求错误\n500"};
    QTest::newRow("not JSON") << "raw" << QStringList();
    QTest::newRow("unknown order") << "unknown" << QStringList{"警告/查询产品信息错误：0"};
}

void TestSearchOrder::productQueryFailures()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    SearchOrder w;
    searchOrderNumber(w, "A24051201", 1);
    SeparationTestEnv::takeForRun(w.controller(), 0);
    w.controller()->isSeparating = true;
    if (fault == "refuse")
        env.service.refuse("order", "ordergoods20230521", "0", "无");
    else if (fault == "http")
        env.service.failHttp("order", "ordergoods20230521", 500);
    else if (fault == "raw")
        env.service.sendRaw("order", "ordergoods20230521", "not json");
    if (fault == "unknown")
        w.controller()->orderList[0].order_photo_id = Config::order_id = QStringLiteral("999999");
    ProductData::m_products.clear();
    ProductData::localSavePath.clear();
    w.postQueryProducts(Config::order_id);
    QTRY_VERIFY(!w.controller()->isSeparating);
    QCOMPARE(texts(env.prompts.calls()), boxes);
    if (!boxes.isEmpty())
        QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QVERIFY(!w.controller()->orderList.first().isDone);
    QVERIFY(ProductData::m_products.isEmpty());
    QVERIFY(ProductData::localSavePath.isEmpty());
}

void TestSearchOrder::fromTheLauncher()
{
    SeparationTestEnv env;
    QTemporaryDir userDir;
    RememberedUser::setFolder(userDir.path());
    auto login = std::make_unique<Login>();
    login->show();
    QTest::keyClicks(login->findChild<QLineEdit*>("username"), "demo");
    QTest::keyClicks(login->findChild<QLineEdit*>("password"), "demo123");
    QTest::mouseClick(login->findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<SelectTool>());
    SelectTool* launcher = topLevelWindow<SelectTool>();
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    auto* tool = launcher->findChild<QRadioButton*>("radioButton_separatePhotos");
    QVERIFY(tool->isEnabled());
    tool->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<SearchOrder>());
    QPointer<SearchOrder> w = topLevelWindow<SearchOrder>();
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));

    searchOrderNumber(*w, "A24051201", 1);
    auto* model = qobject_cast<QStandardItemModel*>(child<QTableView>(w, "tableView")->model());
    QCOMPARE(model->item(0, 1)->text(), QStringLiteral("A24051201"));
    QCOMPARE(model->item(0, 2)->text(), QStringLiteral("旗舰店一馆"));
    QCOMPARE(model->item(0, 3)->text(), QStringLiteral("1"));
    QCOMPARE(model->item(0, 4)->text(), QStringLiteral("王小宝-刘芳-王强"));
    QCOMPARE(model->item(0, 14)->text(),
             Config::returnPicPath(
                 QStringLiteral("\\\\studio-nas\\photos\\2024-05\\12\\A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆\\")));
    w->close();
    QTRY_VERIFY(w.isNull());
    delete launcher;
}

QTEST_MAIN(TestSearchOrder)
#include "tst_searchorder.moc"
