#include "appfixture.h"
#include "config.h"
#include "fileoperation.h"
#include "importphototoserver.h"
#include "n8syncbaseinfodialog.h"
#include "n8thread.h"
#include "scriptedprompts.h"
#include "searchorderwindow.h"
#include "selecttool.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "toolwindows.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QButtonGroup>
#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkReply>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

// The tool launcher against the stand-in service.
class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formOffersEveryTool();
    void switchStoresEveryValue();
    void noToolCheckedStillSwitches();
    void failedSwitchLeavesConfig_data();
    void failedSwitchLeavesConfig();
    void deletionWithoutPermissionLeavesConfig();
    void toolOpensAfterTheShopIsStored();
    void toolIsTheOneCheckedWhenTheReplyArrives();
    void batchImportNeedsItsServerFolder();
    void postSampleSeparationCopiesRawFiles();
    void checkImportImgPathPatterns_data();
    void checkImportImgPathPatterns();
    void emptyShopListSendsNothing();
    void openWindowsHoldTheirShop_data();
    void openWindowsHoldTheirShop();

    void n8PanelWithReachableAndUnreachableStores_data();
    void n8PanelWithReachableAndUnreachableStores();
    void n8PanelNoStoreReachable();
    void n8PanelIgnoresPressesWhileBusy();
    void closingDuringTheStoreCheck();
    void n8ButtonShowsItsWholeText_data();
    void n8ButtonShowsItsWholeText();
    void standAloneOrderSearch();

private:
    SelectTool* makeLauncher(const QList<Shop>& shops = defaultShops());
    static QList<Shop> defaultShops();
    void setSentinels();
    void verifySentinels();
    void pressOk(SelectTool* launcher);

    AppFixture m_fixture;
    std::unique_ptr<TempVolumes> m_volumes;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<StandIn> m_service;
    QList<QPointer<QWidget>> m_windows;
};

QList<Shop> TestLauncher::defaultShops()
{
    return {{QStringLiteral("东店"), QStringLiteral("12")},
            {QStringLiteral("西店"), QStringLiteral("162")},
            {QStringLiteral("南店"), QStringLiteral("5")}};
}

void TestLauncher::init()
{
    m_volumes = std::make_unique<TempVolumes>();
    m_volumes->mkdir("n8/store1201");
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_service = std::make_unique<StandIn>(m_fixture.write(false, "\\\\nas\\n8\\store1201"));
    Config::uid = QStringLiteral("2048");
}

void TestLauncher::cleanup()
{
    for (const QPointer<QWidget>& w : qAsConst(m_windows))
        delete w.data();
    m_windows.clear();
    ToolWindows::resetOpeners();
    QVERIFY2(m_prompts->unexpected().isEmpty(), qPrintable(m_prompts->unexpected().join('|')));
    m_service.reset();
    m_prompts.reset();
    m_volumes.reset();
}

SelectTool* TestLauncher::makeLauncher(const QList<Shop>& shops)
{
    auto* launcher = new SelectTool(shops, nullptr);
    m_windows.append(launcher);
    return launcher;
}

void TestLauncher::pressOk(SelectTool* launcher)
{
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
}

void TestLauncher::setSentinels()
{
    Config::isshow_subproduct = Config::super_id = Config::manager_id = Config::shop_id = Config::fjtype =
        Config::fj_bzname = Config::fj_cpname = Config::isN8fjUseBigImg = Config::isN8ResultDownAll =
            Config::shop_name = Config::isSyncPhotoToFinal = Config::isFjDownloadDeletePhoto =
                Config::sjfjxz = Config::importServPath = Config::importServBackupPath =
                    Config::importServHousePath = QStringLiteral("before");
    Config::storenames = Config::storeids = QStringList{"before"};
}

void TestLauncher::verifySentinels()
{
    for (const QString* value :
         {&Config::isshow_subproduct, &Config::super_id, &Config::manager_id, &Config::shop_id,
          &Config::fjtype, &Config::fj_bzname, &Config::fj_cpname, &Config::isN8fjUseBigImg,
          &Config::isN8ResultDownAll, &Config::shop_name, &Config::isSyncPhotoToFinal,
          &Config::isFjDownloadDeletePhoto, &Config::sjfjxz, &Config::importServPath,
          &Config::importServBackupPath, &Config::importServHousePath})
        QCOMPARE(*value, QStringLiteral("before"));
    QCOMPARE(Config::storenames, QStringList{"before"});
    QCOMPARE(Config::storeids, QStringList{"before"});
}

void TestLauncher::formOffersEveryTool()
{
    SelectTool* launcher = makeLauncher();
    launcher->show();
    QCOMPARE(launcher->windowTitle(), QStringLiteral("选择工具"));
    auto* group = launcher->findChild<QButtonGroup*>();
    QVERIFY(group);
    QVERIFY(group->exclusive());
    QCOMPARE(group->checkedId(), -1);

    const QList<QPair<QString, int>> expected = {{"importPicRadio", 4},   {"radioButton_separatePhotos", 1},
                                                 {"radioButton_yhfj", 6}, {"rb_plsc", 5},
                                                 {"rb_n8fj", 7},          {"rb_searchorder", 0},
                                                 {"rb_shangjian", 2},     {"rb_fajian", 3}};
    QCOMPARE(group->buttons().size(), expected.size());
    const QStringList texts = {"导片工具", "设计分件", "样后分件", "批量删除",
                               "N8分件",   "检索订单", "上件管理", "发件管理"};
    for (int i = 0; i < expected.size(); ++i) {
        auto* button = launcher->findChild<QRadioButton*>(expected.at(i).first);
        QVERIFY2(button, qPrintable(expected.at(i).first));
        QCOMPARE(group->id(button), expected.at(i).second);
        QCOMPARE(button->text(), texts.at(i));
        QVERIFY(button->isVisible());
        // A choice is offered once its window is part of the build.
        QCOMPARE(button->isEnabled(), bool(ToolWindows::opener(expected.at(i).second)));
    }
    QVERIFY(launcher->findChild<QWidget*>("w_n8")->isVisible());
    QCOMPARE(launcher->findChild<QPushButton*>("pb_syncton8")->isEnabled(), bool(ToolWindows::syncOpener()));
    QCOMPARE(launcher->findChild<QPushButton*>("pb_syncton8")->text(),
             QStringLiteral("同步全部员工/产品到N8"));
    auto* combo = launcher->findChild<QComboBox*>("comboBox");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(1), QStringLiteral("西店"));
    // Every slot the worker and the search window reach by name exists.
    QVERIFY(launcher->metaObject()->indexOfMethod("slt_n8stores(QJsonArray,QString)") >= 0);
    QVERIFY(launcher->metaObject()->indexOfMethod("closeSearch()") >= 0);
}

void TestLauncher::switchStoresEveryValue()
{
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(1);
    m_prompts->setNextAnswer(Prompts::Yes); // no tool checked
    pressOk(launcher);
    QTRY_COMPARE(m_prompts->messages().size(), 1);

    const auto posts = m_service->requests("public", "switch_shop");
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().keys, QStringList({"token", "shopid", "uid"}));
    QCOMPARE(posts.first().values.value("shopid"), QStringLiteral("162"));
    QCOMPARE(posts.first().values.value("uid"), QStringLiteral("2048"));

    QCOMPARE(Config::isshow_subproduct, QStringLiteral("0"));
    QCOMPARE(Config::super_id, QStringLiteral("8"));
    QCOMPARE(Config::manager_id, QStringLiteral("1024"));
    QCOMPARE(Config::shop_id, QStringLiteral("162"));
    QCOMPARE(Config::fjtype, QStringLiteral("Tovaro分件"));
    QCOMPARE(Config::fj_bzname, QStringLiteral("01标注"));
    QCOMPARE(Config::fj_cpname, QStringLiteral("02底片"));
    QCOMPARE(Config::isN8fjUseBigImg, QStringLiteral("1"));
    QCOMPARE(Config::isN8ResultDownAll, QStringLiteral("0"));
    QCOMPARE(Config::shop_name, QStringLiteral("西店"));
    QCOMPARE(Config::isSyncPhotoToFinal, QStringLiteral("1"));
    QCOMPARE(Config::isFjDownloadDeletePhoto, QStringLiteral("0"));
    QCOMPARE(Config::sjfjxz, QStringLiteral("0"));
    QCOMPARE(Config::storenames, QStringList({"西一馆", "西二馆"}));
    QCOMPARE(Config::storeids, QStringList({"1621", "1622"}));
    QCOMPARE(Config::importServPath, QStringLiteral("\\\\nas\\photos\\"));
    QCOMPARE(Config::importServBackupPath, QStringLiteral("\\\\nas\\bak\\"));
    QCOMPARE(Config::importServHousePath, QStringLiteral("\\\\nas\\home\\"));

    // A later switch to an ordinary shop gives the ordinary folder names.
    m_prompts->setNextAnswer(Prompts::Yes);
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    pressOk(launcher);
    QTRY_COMPARE(m_prompts->messages().size(), 2);
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QCOMPARE(Config::fjtype, QString());
    QCOMPARE(Config::fj_bzname, QStringLiteral("标注"));
    QCOMPARE(Config::fj_cpname, QStringLiteral("成品"));
    QCOMPARE(Config::storenames, QStringList({"一馆", "二馆"}));
}

void TestLauncher::noToolCheckedStillSwitches()
{
    setSentinels();
    SelectTool* launcher = makeLauncher();
    m_prompts->setNextAnswer(Prompts::Yes);
    pressOk(launcher);
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("请选择一个工具"));
    QVERIFY(m_prompts->last().hasParent);
    QCOMPARE(Config::shop_id, QStringLiteral("12")); // stored before the complaint
}

void TestLauncher::failedSwitchLeavesConfig_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    QTest::newRow("refused") << "refuse"
                             << "没有该店铺的权限了";
    QTest::newRow("transport") << "http"
                               << "网络请求错误\n502";
    QTest::newRow("not json") << "raw"
                              << "";
    QTest::newRow("dropped") << "drop"
                             << "网络请求错误\n";
}

void TestLauncher::failedSwitchLeavesConfig()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    if (fault == "refuse")
        m_service->refuse("public", "switch_shop", "0", "没有该店铺的权限了");
    else if (fault == "http")
        m_service->failHttp("public", "switch_shop", 502);
    else if (fault == "raw")
        m_service->sendRaw("public", "switch_shop", "<html>502</html>");
    else
        m_service->drop("public", "switch_shop");

    setSentinels();
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QRadioButton*>("radioButton_separatePhotos")->setChecked(true);
    bool opened = false;
    ToolWindows::setOpener(1, [&opened](SelectTool*) {
        opened = true;
        return nullptr;
    });
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    if (!box.isEmpty())
        m_prompts->setNextAnswer(Prompts::Yes);
    pressOk(launcher);
    // A dropped connection is retried once by the network layer.
    QTRY_VERIFY(!m_service->requests("public", "switch_shop").isEmpty());
    if (!box.isEmpty()) {
        QTRY_COMPARE(m_prompts->messages().size(), 1);
        QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
        QCOMPARE(m_prompts->last().text, box);
        QVERIFY(!m_prompts->last().hasParent);
    } else {
        // The reply handled (the launcher released it), then a moment in
        // which no box may come.
        QTRY_VERIFY_WITH_TIMEOUT(launcher->findChildren<QNetworkReply*>().isEmpty(), 10000);
        QTest::qWait(50);
        QVERIFY(m_prompts->messages().isEmpty());
    }
    verifySentinels();
    QVERIFY(!opened);
}

void TestLauncher::deletionWithoutPermissionLeavesConfig()
{
    setSentinels();
    int opened = 0;
    ToolWindows::setOpener(5, [&opened](SelectTool*) {
        ++opened;
        return nullptr;
    });
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QRadioButton*>("rb_plsc")->setChecked(true);
    m_prompts->setNextAnswer(Prompts::Yes);
    pressOk(launcher); // shop 12 may not delete
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("暂无权限，请联系管理员开通"));
    QVERIFY(!m_prompts->last().hasParent);
    verifySentinels();
    QCOMPARE(opened, 0);

    // Shop 162 may.
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(1);
    pressOk(launcher);
    QTRY_COMPARE(opened, 1);
    QCOMPARE(Config::shop_id, QStringLiteral("162"));
}

void TestLauncher::toolOpensAfterTheShopIsStored()
{
    QStringList seen;
    ToolWindows::setOpener(1, [&](SelectTool* launcher) -> QWidget* {
        seen.append(Config::shop_id + '/' + Config::storenames.join(','));
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setProperty("launcher", QVariant::fromValue<QObject*>(launcher));
        m_windows.append(window);
        return window;
    });
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QRadioButton*>("radioButton_separatePhotos")->setChecked(true);
    pressOk(launcher);
    pressOk(launcher); // two presses, two switches, two windows
    QTRY_COMPARE(seen.size(), 2);
    QCOMPARE(seen, QStringList({"12/一馆,二馆", "12/一馆,二馆"}));
    QCOMPARE(m_service->requests("public", "switch_shop").size(), 2);
    QCOMPARE(m_windows.last()->property("launcher").value<QObject*>(), launcher);
}

void TestLauncher::toolIsTheOneCheckedWhenTheReplyArrives()
{
    QList<int> opened;
    for (int id : {1, 6}) {
        ToolWindows::setOpener(id, [&opened, id](SelectTool*) {
            opened.append(id);
            return nullptr;
        });
    }
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    m_service->delay("public", "switch_shop", 300);
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QRadioButton*>("radioButton_separatePhotos")->setChecked(true);
    pressOk(launcher);
    launcher->findChild<QRadioButton*>("radioButton_yhfj")->setChecked(true);
    QTRY_COMPARE(opened, QList<int>{6});
}

void TestLauncher::batchImportNeedsItsServerFolder()
{
    int opened = 0;
    ToolWindows::setOpener(4, [&opened](SelectTool*) {
        ++opened;
        return nullptr;
    });
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QRadioButton*>("importPicRadio")->setChecked(true);
    // Shop 5: the import path is not in drive form, the backup path's root is missing.
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(2);
    m_prompts->setNextAnswer(Prompts::Ok);
    pressOk(launcher);
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().icon, Prompts::Icon::Warning);
    QCOMPARE(m_prompts->last().text,
             QStringLiteral("备份路径 \"Z:\\bak\\\" 中的根目录 \"Z:\\\" 不存在 \n(请到店铺后台重新设置)"));
    QCOMPARE(opened, 0);
    QCOMPARE(Config::shop_id, QStringLiteral("5")); // stored all the same

    // Shop 12 has no drive-form path: the import opens.
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
    pressOk(launcher);
    QTRY_COMPARE(opened, 1);
}

void TestLauncher::postSampleSeparationCopiesRawFiles()
{
    QString sjfjxz;
    ToolWindows::setOpener(6, [&sjfjxz](SelectTool*) {
        sjfjxz = Config::sjfjxz;
        return nullptr;
    });
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QRadioButton*>("radioButton_yhfj")->setChecked(true);
    pressOk(launcher); // the shop says "0"
    QTRY_COMPARE(sjfjxz, QStringLiteral("1"));
    QCOMPARE(Config::sjfjxz, QStringLiteral("1"));
}

void TestLauncher::checkImportImgPathPatterns_data()
{
    QTest::addColumn<QString>("importPath");
    QTest::addColumn<QString>("backupPath");
    QTest::addColumn<QString>("housePath");
    QTest::addColumn<QString>("label"); // empty: no warning; "unseen": "Q:" cannot be looked at
    QTest::addColumn<QString>("path");
    // The working folder holds a folder "Q:"; "Y:" is missing.
    QTest::newRow("import") << "Y:\\photos"
                            << ""
                            << ""
                            << "导片路径"
                            << "Y:\\photos";
    QTest::newRow("backup") << ""
                            << "Y:/bak"
                            << "Y:/home"
                            << "备份路径"
                            << "Y:/bak";
    QTest::newRow("house") << "/Volumes/photos"
                           << "//nas/bak"
                           << "Y:/home"
                           << "家居效果路径"
                           << "Y:/home";
    QTest::newRow("first drive root exists") << "Q:/photos"
                                             << "Y:/bak"
                                             << "Y:/home"
                                             << ""
                                             << "";
    QTest::newRow("first drive root cannot be looked at") << "Q:/photos"
                                                          << "Y:/bak"
                                                          << ""
                                                          << "unseen"
                                                          << "Q:/photos";
    QTest::newRow("none in drive form") << "/Volumes/photos"
                                        << ""
                                        << ""
                                        << ""
                                        << "";
}

void TestLauncher::checkImportImgPathPatterns()
{
    QFETCH(QString, importPath);
    QFETCH(QString, backupPath);
    QFETCH(QString, housePath);
    QFETCH(QString, label);
    QFETCH(QString, path);
    Config::importServPath = importPath;
    Config::importServBackupPath = backupPath;
    Config::importServHousePath = housePath;
    SelectTool* launcher = makeLauncher();
    QTemporaryDir cwd;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir(cwd.path()).mkpath("Q:") && QDir::setCurrent(cwd.path()));
    if (!label.isEmpty())
        m_prompts->setNextAnswer(Prompts::Ok);
    FileOperation::setFaultHook([label](FileOperation::Fault f, const QString& path) {
        return label == "unseen" && f == FileOperation::Fault::LookUp && path == "Q:";
    });
    const bool result = launcher->checkImportImgPath();
    FileOperation::setFaultHook(nullptr);
    QDir::setCurrent(previous);
    QCOMPARE(result, label.isEmpty());
    if (label.isEmpty()) {
        QVERIFY(m_prompts->messages().isEmpty());
        return;
    }
    QCOMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().buttons, Prompts::StandardButtons(Prompts::Ok));
    QVERIFY(m_prompts->last().hasParent);
    if (label == "unseen")
        QCOMPARE(m_prompts->last().text, QStringLiteral("目录读取失败：") + path.left(3));
    else
        QCOMPARE(m_prompts->last().text,
                 QStringLiteral("%1 \"%2\" 中的根目录 \"%3\" 不存在 \n(请到店铺后台重新设置)")
                     .arg(label, path, path.left(3)));
}

void TestLauncher::emptyShopListSendsNothing()
{
    SelectTool* launcher = makeLauncher({});
    ToolWindows::setSyncOpener([](const QJsonArray&, const QString&) { return nullptr; });
    m_prompts->setNextAnswer(Prompts::Yes);
    pressOk(launcher);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("没有可选择的分店"));
    m_prompts->setNextAnswer(Prompts::Yes);
    launcher->on_pb_syncton8_clicked();
    QCOMPARE(m_prompts->messages().size(), 2);
    // Both refusals came at the presses; no request may follow them.
    QTest::qWait(100);
    QVERIFY(m_service->log().isEmpty());
}

void TestLauncher::openWindowsHoldTheirShop_data()
{
    QTest::addColumn<bool>(
        "import"); // the holder: 检索订单, or 导入照片 from its row menu with 检索订单 closed
    QTest::newRow("tool window") << false;
    QTest::newRow("import from the row menu, search closed") << true;
}

void TestLauncher::openWindowsHoldTheirShop()
{
    QFETCH(bool, import);
    m_service.reset();
    m_service = std::make_unique<StandIn>(); // the demo orders
    SelectTool* launcher =
        makeLauncher({{QStringLiteral("Velmor旗舰店"), "12"}, {QStringLiteral("Tovaro概念店"), "77"}});
    launcher->findChild<QRadioButton*>("rb_searchorder")->setChecked(true);
    auto pressFor = [&](int row) {
        launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(row);
        pressOk(launcher);
    };
    pressFor(0);
    QTRY_VERIFY(topLevelWindow<SearchOrderWindow>());
    QPointer<QWidget> window = topLevelWindow<SearchOrderWindow>();
    m_windows.append(window);
    window->findChild<QLineEdit*>("orderNumber")->setText("A24051501"); // of shop 12
    window->findChild<QPushButton*>("searchButton")->click();
    auto* table = window->findChild<QTableView*>("tableView");
    QTRY_COMPARE(table->model()->rowCount(), 2);
    if (import) {
        table->setCurrentIndex(table->model()->index(1, 0));
        for (QAction* action : table->findChild<QMenu*>()->actions()) {
            if (action->text() == QStringLiteral("导入照片"))
                action->trigger();
        }
        QTRY_VERIFY(topLevelWindow<ImportPhotoToServer>());
        window->close();
        QTRY_VERIFY(window.isNull());
        window = topLevelWindow<ImportPhotoToServer>();
        m_windows.append(window);
    }

    // Refused at the press: nothing is sent, Config keeps the open window's shop.
    m_prompts->setNextAnswer(Prompts::Yes);
    pressFor(1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("警告"));
    QCOMPARE(m_prompts->last().text, QStringLiteral("请先关闭Velmor旗舰店的工具窗口，再切换分店"));
    QCOMPARE(m_service->requests("public", "switch_shop").size(), 1);
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    if (!import) {
        window->findChild<QPushButton*>("searchButton")->click();
        QTRY_COMPARE(m_service->requests("order", "order_list").size(), 2);
        QCOMPARE(m_service->requests("order", "order_list").last().values.value("shopid"),
                 QStringLiteral("12"));
    }

    // Closed, the window lets a switch go through; a press for the other shop
    // sent before that window opened is refused when its reply comes.
    window->close();
    QTRY_VERIFY(window.isNull());
    m_prompts->setNextAnswer(Prompts::Yes);
    pressFor(1);
    pressFor(0);
    QTRY_COMPARE(m_prompts->messages().size(), 2);
    QCOMPARE(topLevelWindows<SearchOrderWindow>().size(), 1);
    m_windows.append(topLevelWindow<SearchOrderWindow>());
    QCOMPARE(m_prompts->last().text,
             QStringLiteral("请先关闭%1的工具窗口，再切换分店").arg(Config::shop_name));
}

void TestLauncher::n8PanelWithReachableAndUnreachableStores_data()
{
    QTest::addColumn<int>("answer"); // custom button chosen in the confirmation
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("switchTo"); // the shop row chosen while the reply is delayed, -1 for none
    QTest::newRow("sync anyway") << 0 << true << -1;
    QTest::newRow("cancel") << 1 << false << -1;
    QTest::newRow("box closed") << -1 << false << -1;
    QTest::newRow("shop changed while the reply is delayed") << 0 << true << 1;
}

void TestLauncher::n8PanelWithReachableAndUnreachableStores()
{
    QFETCH(int, answer);
    QFETCH(bool, opens);
    QFETCH(int, switchTo);
    QList<QPair<QJsonArray, QString>> synced;
    // With a shop change the real dialog opens and writes the staff file.
    const ToolWindows::SyncOpener dialog = ToolWindows::syncOpener();
    ToolWindows::setSyncOpener([&](const QJsonArray& stores, const QString& shopId) {
        synced.append({stores, shopId});
        return switchTo < 0 ? nullptr : dialog(stores, shopId);
    });
    // The sync opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    SelectTool* launcher = makeLauncher();
    auto* button = launcher->findChild<QPushButton*>("pb_syncton8");
    QVERIFY(button->isEnabled());
    m_prompts->setNextCustomAnswer(answer);
    if (switchTo >= 0)
        m_service->delay("n8", "getn8set", 600);
    QTest::mouseClick(button, Qt::LeftButton);
    if (switchTo >= 0)
        launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(switchTo);
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(button->text(), QStringLiteral("同步全部员工/产品到N8"));
    const auto posts = m_service->requests("n8", "getn8set");
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().keys, QStringList({"token", "shopid", "uid"}));
    QCOMPARE(posts.first().values.value("shopid"), QStringLiteral("12"));

    QCOMPARE(m_prompts->last().title, QString());
    QCOMPARE(m_prompts->last().text, QStringLiteral("二馆 的N8路径和本机不在同一局域网不能同步到N8"));
    QCOMPARE(m_prompts->last().customButtons, QStringList({"确定同步", "取消"}));
    QVERIFY(!m_prompts->last().hasParent);

    if (opens) {
        QTRY_COMPARE(synced.size(), 1);
    } else {
        // The box was answered: no sync may follow.
        QTest::qWait(50);
        QCOMPARE(synced.size(), 0);
    }
    if (opens) {
        // The reachable store, as the web service sent it.
        const QJsonArray expected{
            QJsonObject{{"id", "1201"}, {"name", "一馆"}, {"n8path", "\\\\nas\\n8\\store1201"}}};
        QCOMPARE(synced.first().first, expected);
        QCOMPARE(synced.first().second, QStringLiteral("12"));
    }
    if (switchTo >= 0) {
        // The store of shop 12 gets shop 12's staff.
        m_volumes->mkdir("n8/store1201/产品");
        auto* sync = topLevelWindow<N8SyncBaseInfoDialog>();
        m_windows.append(sync);
        sync->findChild<QPushButton*>("pb_syncpeo")->click();
        const QString staff = m_volumes->path("n8/store1201/产品/VgStaff.xml");
        QTRY_VERIFY(QFileInfo::exists(staff));
        QVERIFY(TestFiles::readAll(staff).contains("东店摄影"));
        QVERIFY(!TestFiles::readAll(staff).contains("西店摄影"));
    }
}

void TestLauncher::n8PanelNoStoreReachable()
{
    int opened = 0;
    ToolWindows::setSyncOpener([&opened](const QJsonArray&, const QString&) {
        ++opened;
        return nullptr;
    });
    // The sync opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);
    SelectTool* launcher = makeLauncher();
    launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(1); // both stores without an N8 path
    m_prompts->setNextAnswer(Prompts::Yes);
    launcher->req_syncToN8Path();
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    QCOMPARE(m_prompts->last().title, QStringLiteral("温馨提示"));
    QCOMPARE(m_prompts->last().text,
             QStringLiteral("没有门店的N8服务路径在和本机在同一局域网中,不能同步到N8！"));
    QCOMPARE(m_prompts->last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QCOMPARE(opened, 0);
    QCOMPARE(launcher->findChild<QPushButton*>("pb_syncton8")->text(),
             QStringLiteral("同步全部员工/产品到N8"));
}

void TestLauncher::n8PanelIgnoresPressesWhileBusy()
{
    m_service->delay("n8", "getn8set", 300);
    SelectTool* launcher = makeLauncher();
    auto* button = launcher->findChild<QPushButton*>("pb_syncton8");
    m_prompts->setNextCustomAnswer(1);
    launcher->req_syncToN8Path();
    launcher->req_syncToN8Path(); // request outstanding
    QTRY_COMPARE(m_prompts->messages().size(), 1);
    // Every request the presses sent has been answered; then a moment in
    // which no other may come.
    QTRY_VERIFY_WITH_TIMEOUT(launcher->findChildren<QNetworkReply*>().isEmpty(), 10000);
    QTest::qWait(50);
    QCOMPARE(m_service->requests("n8", "getn8set").size(), 1);

    // While the stores are being tested the button says so, and a press
    // does nothing.
    button->setText(QStringLiteral("同步全部员工/产品到N8,解析数据中,请稍后..."));
    launcher->req_syncToN8Path();
    QVERIFY(launcher->findChildren<QNetworkReply*>().isEmpty()); // a request would be under way now
    QTest::qWait(100);
    QCOMPARE(m_service->requests("n8", "getn8set").size(), 1);
    button->setText(QStringLiteral("同步全部员工/产品到N8"));

    // Idle again: a press counts.
    m_prompts->setNextCustomAnswer(1);
    launcher->req_syncToN8Path();
    QTRY_COMPARE(m_service->requests("n8", "getn8set").size(), 2);
    QTRY_COMPARE(m_prompts->messages().size(), 2);
}

void TestLauncher::closingDuringTheStoreCheck()
{
    // The launcher goes away while its store check may still run: no crash,
    // and no report reaches a destroyed window.
    m_service.reset();
    m_service = std::make_unique<StandIn>(m_fixture.write(false, QString(), 3000));
    m_prompts->setLenient(true);
    for (int round = 0; round < 3; ++round) {
        SelectTool* launcher = makeLauncher();
        auto* button = launcher->findChild<QPushButton*>("pb_syncton8");
        launcher->req_syncToN8Path();
        QElapsedTimer timer;
        timer.start();
        while (launcher->findChildren<N8thread*>().isEmpty() && timer.elapsed() < 5000)
            QCoreApplication::processEvents();
        QCOMPARE(button->text(), QStringLiteral("同步全部员工/产品到N8,解析数据中,请稍后..."));
        delete launcher; // waits for its store check
        // Nothing of the check may reach the destroyed launcher meanwhile.
        QTest::qWait(20);
    }
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestLauncher::n8ButtonShowsItsWholeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("idle") << "同步全部员工/产品到N8";
    QTest::newRow("testing") << "同步全部员工/产品到N8,解析数据中,请稍后...";
}

void TestLauncher::n8ButtonShowsItsWholeText()
{
    QFETCH(QString, text);
    SelectTool* launcher = makeLauncher();
    auto* button = launcher->findChild<QPushButton*>("pb_syncton8");
    button->setText(text);
    launcher->resize(497, 400);
    launcher->show();
    QVERIFY(QTest::qWaitForWindowExposed(launcher));
    QTRY_VERIFY(button->isVisible());
    if (!qEnvironmentVariableIsEmpty("DRAVIN_GRAB"))
        launcher->grab().save(qEnvironmentVariable("DRAVIN_GRAB") + "/launcher-" + QTest::currentDataTag() + ".png");
    const int textWidth = button->fontMetrics().horizontalAdvance(text);
    QVERIFY2(button->contentsRect().width() >= textWidth,
             qPrintable(QStringLiteral("%1 < %2").arg(button->contentsRect().width()).arg(textWidth)));
}

void TestLauncher::standAloneOrderSearch()
{
    // No window receives what the stand-alone search would hand on.
    QWidget* window = ToolWindows::opener(SelectTool::ToolImportSearch)(makeLauncher());
    auto* search = qobject_cast<SearchOrderWindow*>(window);
    QVERIFY(search);
    QCOMPARE(search->windowTitle(), QStringLiteral("检索订单"));
    QVERIFY(search->findChild<QPushButton*>("addOrdersBtn")->isHidden());
    QVERIFY(search->testAttribute(Qt::WA_DeleteOnClose));
    delete search;
}

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
