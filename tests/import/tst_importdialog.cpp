#include "config.h"
#include "desktopfont.h"
#include "elidedlabel.h"
#include "fileoperation.h"
#include "importordermodel.h"
#include "importordersphotodlg.h"
#include "importorderthread.h"
#include "jpegfixture.h"
#include "pendingrecords.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "scriptedserver.h"
#include "searchorderwindow.h"
#include "standin.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "toplevelwindows.h"
#include "windowtestenv.h"
#include "workerdeletedfirst.h"

#include <QtTest>

#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QNetworkReply>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTcpServer>
#include <QThread>
#include <QWindow>

#include <atomic>
#include <memory>

// The batch import dialog against the stand-in web service, with real
// order folders under a temporary mount root and scripted boxes.
class TestImportDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void freshDialogAndTypeSwitch();
    void tableCountsOfOrdersOnDisk();
    void addingOrders();
    void finishedSelectionCheck_data();
    void finishedSelectionCheck();
    void lateReplyForAnEarlierRowIsDropped_data();
    void lateReplyForAnEarlierRowIsDropped();
    void selectionPerType_data();
    void selectionPerType();
    void importedImagesListAndDeletion();
    void batchReportsAndChaining();
    void videoBatchAndVideoList();
    void checksBeforeStart_data();
    void checksBeforeStart();
    void folderErrorsRestoreControls_data();
    void folderErrorsRestoreControls();
    void specialCharactersQuestion();
    void batchFailures_data();
    void batchFailures();
    void completionRecordAddedOnce_data();
    void completionRecordAddedOnce();
    void closingMidBatchAsksAndReports_data();
    void closingMidBatchAsksAndReports();
    void closingMidBatchNamesWhatItFound_data();
    void closingMidBatchNamesWhatItFound();
    void batchRecordsAtQuit_data();
    void batchRecordsAtQuit();
    void stoppedRunRecordedThoughItsWorkerWentFirst();
    void reImportRecordNotTaken_data();
    void reImportRecordNotTaken();
    void noOrdersAddedDuringABatch();
    void reImportAndRowCommands();
    void viewsFollowTheDisk();
    void textsFitTheirWidgets();
    void rowClicksKeepSizeAndButtons();
    void batchLeavesTheTableWhereItWas();
    void demoOrderReadsOnAStudioScreen_data();
    void demoOrderReadsOnAStudioScreen();
    void orderAddedAgainComesBackAsLeft_data();
    void orderAddedAgainComesBackAsLeft();
    void orderLetGoComesBackAsTheServiceHasIt_data();
    void orderLetGoComesBackAsTheServiceHasIt();
    void endBoxWaitsForTheCloseQuestion_data();
    void endBoxWaitsForTheCloseQuestion();
    void closedBatchEndsUnderAnOpenBox_data();
    void closedBatchEndsUnderAnOpenBox();
    void lastBoxOfAStoppedBatchOutlastsItsRecords();

private:
    using Env = WindowTestEnv;

    // A dialog holding orders made from reply items, shown unless asked not to.
    importOrdersPhotoDlg* dialog(const QList<QJsonObject>& items, bool show = true);
    QTableWidget* table() const { return m_dlg->findChild<QTableWidget*>("ordersTableWgt"); }
    QPushButton* button(const char* name) const { return m_dlg->findChild<QPushButton*>(name); }
    QString cell(int row, int column) const;
    QString label(int row, int column) const;
    QPushButton* selectButton(int row) const;
    void setType(int type);
    void choose(int row, const QStringList& files);
    void runBatch();
    // One order with photos chosen, on a share where every write takes a while.
    void oneOrderOnASlowShare(int photos);
    QList<StandIn::LoggedRequest> records() const
    {
        return m_env->service.requests("order", "updatepicpath");
    }
    QStringList messages() const;
    QString photo(const QString& relative);
    // Searches order A24051501 in a search window and checks it.
    void searchDemoOrder(SearchOrderWindow* window);
    // The order as the service holds it now, and its finished-photo count.
    QJsonObject storedOrder(const QString& orderId) const;
    QString storedFinishnum(const QString& orderId) const
    {
        return storedOrder(orderId).value("finishnum").toString();
    }
    // Opens a search window with 添加订单 and returns it.
    SearchOrderWindow* openSearch();

    std::unique_ptr<Env> m_env;
    QPointer<importOrdersPhotoDlg> m_dlg;
};

namespace {

// An order-list item of the demo shop; its store roots map under the mount root.
QJsonObject item(const QString& id, const QString& number, const QString& orderPath = QString(),
                 const QString& photoType = QStringLiteral("宝宝照"))
{
    return QJsonObject{{"order_photo_id", id},
                       {"orderpayforkey", number},
                       {"servicetimes", "1"},
                       {"shotdate", "2024-05-15"},
                       {"bname", "豆豆"},
                       {"wname", "吴静"},
                       {"role1", "陈摄影"},
                       {"storesname", "旗舰店一馆"},
                       {"phototype", photoType},
                       {"orderpath", orderPath},
                       {"orderbakpicpath", ""},
                       {"picpathnew", QJsonObject{{"picpath", "\\\\studio-nas\\photos\\"},
                                                  {"bakpicpath", "\\\\studio-nas\\backup\\"},
                                                  {"homepicpath", "\\\\studio-nas\\home\\"},
                                                  {"n8path", "\\\\studio-nas\\n8\\store1201"}}}};
}

} // namespace

void TestImportDialog::initTestCase()
{
    StandIn::useDemoIdentity();
}

void TestImportDialog::init()
{
    m_env = std::make_unique<Env>();
    for (const char* root : {"photos", "backup", "home", "card"})
        m_env->volumes.mkdir(root);
    Config::disk_space.reset();
}

void TestImportDialog::cleanup()
{
    FileOperation::setFaultHook({});
    delete m_dlg.data();
    // The next row starts from a clean state, whatever this one found.
    const QStringList unexpected = m_env ? m_env->prompts.unexpected() : QStringList();
    m_env.reset();
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join("; ")));
}

importOrdersPhotoDlg* TestImportDialog::dialog(const QList<QJsonObject>& items, bool show)
{
    m_dlg = new importOrdersPhotoDlg;
    QList<ImportOrderModel*> models;
    for (const QJsonObject& i : items)
        models.append(new ImportOrderModel(i, nullptr));
    if (!models.isEmpty())
        m_dlg->getNewOrderSlot(models);
    if (show)
        m_dlg->show();
    return m_dlg;
}

QString TestImportDialog::cell(int row, int column) const
{
    const QTableWidgetItem* i = table()->item(row, column);
    return i ? i->text() : QStringLiteral("<none>");
}

QString TestImportDialog::label(int row, int column) const
{
    QWidget* w = table()->cellWidget(row, column);
    const QLabel* l = w ? w->findChild<QLabel*>() : nullptr;
    return l ? l->text() : QStringLiteral("<none>");
}

QPushButton* TestImportDialog::selectButton(int row) const
{
    return table()->cellWidget(row, 4)->findChild<QPushButton*>();
}

void TestImportDialog::setType(int type)
{
    m_dlg->findChild<QRadioButton*>(QStringLiteral("importTypeRadio%1").arg(type))->click();
}

void TestImportDialog::choose(int row, const QStringList& files)
{
    m_env->prompts.setNextFiles(files);
    const int before = m_env->prompts.calls().size();
    selectButton(row)->click();
    QTRY_VERIFY(m_env->prompts.calls().size() > before);
}

void TestImportDialog::runBatch()
{
    QPushButton* start = button("importAllOrdersBtn");
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled() && start->text() == QStringLiteral("批量导片"), 30000);
}

void TestImportDialog::oneOrderOnASlowShare(int photos)
{
    QStringList files;
    for (int i = 0; i < photos; ++i)
        files.append(photo(QStringLiteral("card/DCIM/IMG_%1.JPG").arg(i)));
    dialog({item("100105", "A24051501")});
    choose(0, files);
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString&) {
        if (f == FileOperation::Fault::Write)
            QThread::msleep(20);
        return false;
    });
}

QStringList TestImportDialog::messages() const
{
    QStringList texts;
    for (const ScriptedPrompts::Call& c : m_env->prompts.messages())
        texts.append(c.title + " / " + c.text);
    return texts;
}

QJsonObject TestImportDialog::storedOrder(const QString& orderId) const
{
    for (const QJsonValue& order : m_env->service.storeSnapshot().value("orders").toArray()) {
        if (order.toObject().value("order_photo_id").toString() == orderId)
            return order.toObject();
    }
    return QJsonObject();
}

SearchOrderWindow* TestImportDialog::openSearch()
{
    const QList<SearchOrderWindow*> before = topLevelWindows<SearchOrderWindow>();
    button("addNewOrderBtn")->click();
    for (SearchOrderWindow* window : topLevelWindows<SearchOrderWindow>()) {
        if (!before.contains(window))
            return window;
    }
    return nullptr;
}

void TestImportDialog::searchDemoOrder(SearchOrderWindow* window)
{
    auto* searchButton = window->findChild<QPushButton*>("searchButton");
    window->findChild<QLineEdit*>("orderNumber")->setText("A24051501");
    searchButton->click();
    QTRY_VERIFY(searchButton->isEnabled());
    auto* results = qobject_cast<QStandardItemModel*>(window->findChild<QTableView*>("tableView")->model());
    QCOMPARE(results->rowCount(), 2);
    results->item(1, 0)->setCheckState(Qt::Checked);
}

QString TestImportDialog::photo(const QString& relative)
{
    const QString path = m_env->volumes.path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    JpegFixture::Options options;
    options.size = QSize(600, 400);
    options.seed = quint32(qHash(relative));
    return JpegFixture::write(path, options) ? path : QString();
}

void TestImportDialog::freshDialogAndTypeSwitch()
{
    dialog({});
    QVERIFY(m_dlg->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(m_dlg->findChild<QRadioButton*>("importTypeRadio1")->isChecked());
    QCOMPARE(m_dlg->findChild<QLabel*>("rightTitle")->text(), QStringLiteral("导片模式：成品"));
    QVERIFY(!m_dlg->findChild<QLineEdit*>("prefieImageEdit")->isEnabled());
    QVERIFY(!button("reImportBtn")->isEnabled());
    QVERIFY(button("upDataVideoUrlsBtn")->isHidden());
    QVERIFY(m_dlg->findChild<QLineEdit*>("prefieOrderEdit")->isHidden());

    setType(3);
    QVERIFY(!button("upDataVideoUrlsBtn")->isHidden());
    QCOMPARE(button("upDataVideoUrlsBtn")->text(), QStringLiteral("更新试拍视频到选片系统"));
    setType(0);
    QVERIFY(button("upDataVideoUrlsBtn")->isHidden());
    QVERIFY(m_dlg->findChild<QLineEdit*>("prefieImageEdit")->isEnabled());
    QCOMPARE(m_dlg->findChild<QLabel*>("rightTitle")->text(), QStringLiteral("导片模式：原片"));

    // The slots connected by signal text exist under their names.
    for (const char* slot :
         {"getNewOrderSlot(QList<ImportOrderModel*>)", "httpUploadOrderInfoJson(QJsonObject)",
          "httpUploadN8InfoJson(QJsonObject)", "httpUploadVideoListJson(QJsonObject)", "selectImgBtnSlot()",
          "ordersTableWgtClickedSlot(int)", "setThumbIcon(int,int,QImage)"})
        QVERIFY2(m_dlg->metaObject()->indexOfMethod(slot) >= 0, slot);
}

void TestImportDialog::tableCountsOfOrdersOnDisk()
{
    const QString a = m_env->volumes.mkdir("photos/2024-05/12/A24051201-1");
    for (int i = 0; i < 3; ++i)
        QVERIFY(TestFiles::write(a + QStringLiteral("/成品/f%1.jpg").arg(i), "x"));
    QDir().mkpath(a + "/成品缩略图");
    QVERIFY(TestFiles::write(a + "/试拍视频/a.mp4", "x"));
    QVERIFY(TestFiles::write(a + "/试拍视频/b.mp4", "x"));
    const QString b = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QVERIFY(TestFiles::write(b + "/成品/f.jpg", "x")); // no thumbnails: not counted
    dialog({item("100101", "A24051201", "\\\\studio-nas\\photos\\2024-05\\12\\A24051201-1\\"),
            item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\")});

    QCOMPARE(table()->rowCount(), 2);
    QCOMPARE(cell(0, 0), QStringLiteral("A24051201-1"));
    QCOMPARE(cell(0, 2), QStringLiteral("豆豆-吴静"));
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(3)"));
    QCOMPARE(cell(1, 3), QStringLiteral("未导入"));
    QCOMPARE(label(0, 4), QStringLiteral("未选"));
    QCOMPARE(label(0, 5), QStringLiteral("0/0"));
    setType(3);
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));
    QCOMPARE(selectButton(0)->text(), QStringLiteral("选择视频"));
    setType(5);
    QCOMPARE(cell(0, 3), QStringLiteral("未导入"));
    QCOMPARE(label(0, 5), QString());
    QCOMPARE(selectButton(1)->text(), QStringLiteral("选择N8路径"));
    QCOMPARE(selectButton(1)->property("row").toInt(), 1);
}

void TestImportDialog::addingOrders()
{
    dialog({item("100105", "A24051501"), item("100106", "A24051502")});
    QCOMPARE(table()->rowCount(), 2);
    QList<ImportOrderModel*> kept = m_dlg->findChildren<ImportOrderModel*>();
    QCOMPARE(kept.size(), 2); // adopted

    auto* again1 = new ImportOrderModel(item("100105", "A24051501"), nullptr);
    auto* again2 = new ImportOrderModel(item("100106", "A24051502"), nullptr);
    auto* absent = new ImportOrderModel(item("100107", "A24052001"), nullptr);
    absent->setOrderPath(QStringLiteral("Q:/photos/A24052001-1/"));
    auto* fresh = new ImportOrderModel(item("100108", "A24052002"), nullptr);
    auto* unseen = new ImportOrderModel(item("100109", "A24052003"), nullptr);
    unseen->setOrderPath(QStringLiteral("R:/photos/A24052003-1/")); // a root that cannot be looked at
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::LookUp && path == "R:";
    });
    for (int i = 0; i < 3; ++i)
        m_env->prompts.setNextAnswer(Prompts::Ok);
    m_dlg->getNewOrderSlot({again1, absent, again2, fresh, fresh, kept.at(1), unseen});
    QCOMPARE(messages(), QStringList({"订单已存在 / 已经添加过订单：\nA24051501-1,A24051502-1,A24051502-1",
                                      "订单导片路径不存在 / 以下订单导片根目录不存在：\nA24052001-1:Q:/",
                                      "警告 / 订单号:A24052003-1\n目录读取失败：R:/"}));
    QCOMPARE(table()->rowCount(), 3);
    QCOMPARE(cell(2, 0), QStringLiteral("A24052002-1"));
    QCOMPARE(fresh->parent(), m_dlg.data());
    QVERIFY(!again1->parent() && !absent->parent() && !unseen->parent());
    delete again1;
    delete again2;
    delete absent;
    delete unseen;
}

void TestImportDialog::finishedSelectionCheck_data()
{
    QTest::addColumn<QString>("orderId");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("buttons"); // of the box
    QTest::addColumn<bool>("chosen");

    const QString question = "温馨提示 / 该订单已选片完成，继续导片会覆盖之前的选片结果，确定要继续导片吗？";
    const int yesNo = int(Prompts::Yes | Prompts::No);
    QTest::newRow("selection open") << "100102"
                                    << "" << 0 << "" << 0 << true;
    QTest::newRow("finished, go on") << "100101"
                                     << "" << int(Prompts::Yes) << question << yesNo << true;
    QTest::newRow("finished, stop") << "100101"
                                    << "" << int(Prompts::No) << question << yesNo << false;
    QTest::newRow("refusal") << "100102"
                             << "refuse" << int(Prompts::Yes) << "警告 / 请求失败：0" << int(Prompts::Yes)
                             << false;
    QTest::newRow("broken reply") << "100102"
                                  << "raw" << int(Prompts::Yes) << "警告 / 请求失败" << int(Prompts::Yes)
                                  << false;
    QTest::newRow("transport error") << "100102"
                                     << "http" << int(Prompts::Yes) << "警告 / 网络请求错误\n500"
                                     << int(Prompts::Yes) << false;
}

void TestImportDialog::finishedSelectionCheck()
{
    QFETCH(QString, orderId);
    QFETCH(QString, fault);
    QFETCH(int, answer);
    QFETCH(QString, box);
    QFETCH(int, buttons);
    QFETCH(bool, chosen);
    if (fault == "refuse")
        m_env->service.refuse("OrderPhoto", "order_isrole12finish", "0", "no");
    else if (fault == "raw")
        m_env->service.sendRaw("OrderPhoto", "order_isrole12finish", "<html>");
    else if (fault == "http")
        m_env->service.failHttp("OrderPhoto", "order_isrole12finish", 500);
    dialog({item(orderId, "A2405")});
    const QString file = photo("card/DCIM/100/IMG_1.JPG");
    if (answer)
        m_env->prompts.setNextAnswer(Prompts::StandardButton(answer));
    if (chosen)
        m_env->prompts.setNextFiles({file});
    selectButton(0)->click();
    QTRY_VERIFY(!m_env->prompts.calls().isEmpty() &&
                (!chosen || m_env->prompts.last().kind != ScriptedPrompts::Call::Kind::Message));
    QTest::qWait(50);

    const QList<StandIn::LoggedRequest> checks =
        m_env->service.requests("OrderPhoto", "order_isrole12finish");
    QCOMPARE(checks.size(), 1);
    QCOMPARE(checks.first().keys,
             QStringList({"token", "shopid", "superid", "order_photo_id", "eid", "personid", "uid"}));
    QCOMPARE(checks.first().values.value("order_photo_id"), orderId);
    QCOMPARE(messages(), box.isEmpty() ? QStringList() : QStringList{box});
    if (!box.isEmpty())
        QCOMPARE(int(m_env->prompts.messages().first().buttons), buttons);
    ImportOrderModel* model = m_dlg->findChildren<ImportOrderModel*>().first();
    QCOMPARE(model->getFineImgLst(), chosen ? QStringList{file} : QStringList());
    QCOMPARE(label(0, 4), chosen ? QStringLiteral("已选(1)") : QStringLiteral("未选"));
}

void TestImportDialog::lateReplyForAnEarlierRowIsDropped_data()
{
    QTest::addColumn<bool>("laterAnsweredFirst");
    QTest::newRow("later press answered first") << true;
    QTest::newRow("earlier press answered first") << false;
}

void TestImportDialog::lateReplyForAnEarlierRowIsDropped()
{
    QFETCH(bool, laterAnsweredFirst);
    dialog({item("100101", "A24051201"), item("100102", "A24051202")});
    const QString file = photo("card/DCIM/100/IMG_1.JPG");
    auto& service = m_env->service;
    // Row 0's order has its selection finished: had its reply been taken
    // for row 1, row 1's choice would skip or add the question.
    service.delay("OrderPhoto", "order_isrole12finish", laterAnsweredFirst ? 600 : 100);
    selectButton(0)->click();
    QTRY_COMPARE(service.requests("OrderPhoto", "order_isrole12finish").size(), 1);
    service.clearFaults();
    service.delay("OrderPhoto", "order_isrole12finish", laterAnsweredFirst ? 0 : 400);
    m_env->prompts.setNextFiles({file});
    selectButton(1)->click();
    QTRY_COMPARE(m_env->prompts.calls().size(), 1);
    // The other reply arrives and is dropped: every reply handled and released.
    QTRY_VERIFY_WITH_TIMEOUT(m_dlg->findChildren<QNetworkReply*>().isEmpty(), 10000);
    QCOMPARE(m_env->prompts.calls().size(), 1);
    QVERIFY(m_env->prompts.last().kind == ScriptedPrompts::Call::Kind::OpenFiles);
    const QList<ImportOrderModel*> models = m_dlg->findChildren<ImportOrderModel*>();
    for (ImportOrderModel* m : models)
        QCOMPARE(m->getFineImgLst(), m->getOrderNum() == "A24051202" ? QStringList{file} : QStringList());
}

void TestImportDialog::selectionPerType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("cancel");
    for (int type = 0; type <= 5; ++type) {
        if (type != 1)
            QTest::newRow(qPrintable(QStringLiteral("type %1").arg(type))) << type << false;
    }
    QTest::newRow("photos cancelled") << 0 << true;
    QTest::newRow("N8 cancelled") << 5 << true;
}

void TestImportDialog::selectionPerType()
{
    QFETCH(int, type);
    QFETCH(bool, cancel);
    dialog({item("100105", "A24051501")});
    setType(type);
    ImportOrderModel* model = m_dlg->findChildren<ImportOrderModel*>().first();
    const bool video = type == 3 || type == 4;
    const QStringList files =
        video ? QStringList{m_env->volumes.writeFile("card/VIDEO/a.mp4", "v"),
                            m_env->volumes.writeFile("card/VIDEO/b.mp4", "v")}
              : QStringList{photo("card/DCIM/100/IMG_1.JPG"), photo("card/DCIM/100/IMG_2.JPG")};
    const QString n8 = m_env->volumes.mkdir("card/N8/A24051501");
    if (cancel) {
        m_env->prompts.setNextAnswer(Prompts::Ok);
        if (type == 5)
            m_env->prompts.setNextPath(QString());
        else
            m_env->prompts.setNextFiles({});
    } else if (type == 5) {
        m_env->prompts.setNextPath(n8);
    } else {
        m_env->prompts.setNextFiles(files);
    }
    // Staff scroll the table right to the select buttons; a choice leaves it there.
    m_dlg->resize(640, 480);
    QScrollBar* across = table()->horizontalScrollBar();
    QTRY_VERIFY(across->maximum() > 0);
    across->setValue(across->maximum());
    const int scrolled = across->value();
    selectButton(0)->click();
    QCOMPARE(across->value(), scrolled);

    const ScriptedPrompts::Call dialogCall = m_env->prompts.calls().first();
    QCOMPARE(dialogCall.dir, QStringLiteral("."));
    if (type == 5) {
        QCOMPARE(dialogCall.title, QStringLiteral("请选择文件路径..."));
    } else {
        QCOMPARE(dialogCall.title, video ? QStringLiteral("选择视频") : QStringLiteral("选择照片"));
        QCOMPARE(dialogCall.filter, video ? QStringLiteral("Video File(*.mp4 *.avi)")
                                          : QStringLiteral("Image File(*.jpg *.jpeg *.png)"));
    }
    if (cancel) {
        QCOMPARE(messages(), QStringList{type == 5 ? QStringLiteral("提示 / 请重新选择路径")
                                                   : QStringLiteral("提示 / 没有选择任何照片")});
        QCOMPARE(label(0, 4), QStringLiteral("未选"));
        QVERIFY(model->getOriImgLst().isEmpty() && model->getN8Path().isEmpty());
        return;
    }
    const QStringList lists[] = {model->getOriImgLst(), model->getFineImgLst(), model->getDesignImgLst(),
                                 model->getVideoLst(), model->getVideoFinalLst()};
    for (int t = 0; t < 5; ++t)
        QCOMPARE(lists[t], t == type ? files : QStringList());
    if (type == 5) {
        QCOMPARE(model->getN8Path(), n8);
        QCOMPARE(model->getN8FatherPath(), m_env->volumes.path("card/N8"));
        QCOMPARE(label(0, 4), QStringLiteral("已选(%1)").arg(n8));
        QCOMPARE(label(0, 5), QStringLiteral("0/0"));
    } else {
        QCOMPARE(label(0, 4), QStringLiteral("已选(2)"));
        QCOMPARE(label(0, 5), QStringLiteral("0/2"));
        QCOMPARE(table()->cellWidget(0, 5)->findChild<QProgressBar*>()->maximum(), 2);
    }
    if (type <= 2) // the chosen names are shown
        QCOMPARE(m_dlg->findChild<QTableWidget*>("orderSelectTableWgt")->rowCount(), 2);

    // The next dialog opens where the last choice suggests.
    m_env->prompts.setLenient(true);
    selectButton(0)->click();
    const QString expected = type == 5 ? m_env->volumes.path("card/N8")
                             : video   ? m_env->volumes.path("card/VIDEO")
                                       : m_env->volumes.path("card/DCIM");
    QCOMPARE(m_env->prompts.calls().at(1).dir, expected);
    m_env->prompts.setLenient(false);
}

void TestImportDialog::importedImagesListAndDeletion()
{
    const QString order = m_env->volumes.mkdir("photos/2024-05/12/A24051201-1") + "/";
    for (const QString name : {"a.jpg", "b.jpg", "c.jpg"}) {
        photo("photos/2024-05/12/A24051201-1/成品/" + name);
        for (const char* thumbs : {"成品缩略图/", "成品缩略图100/", "成品缩略图2250/", "thumbnail100/"})
            photo("photos/2024-05/12/A24051201-1/" + QString::fromUtf8(thumbs) + name);
    }
    photo("photos/2024-05/12/A24051201-1/成品缩略图100/orphan.jpg");
    dialog({item("100101", "A24051201", "\\\\studio-nas\\photos\\2024-05\\12\\A24051201-1\\")});
    auto* list = m_dlg->findChild<QListWidget*>("orderImportedLstWgt");
    m_dlg->ordersTableWgtClickedSlot(0);
    QCOMPARE(list->count(), 3);
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    names.sort();
    QCOMPARE(names, QStringList({"a.jpg", "b.jpg", "c.jpg"}));
    QTRY_VERIFY(!list->item(0)->icon().isNull() && !list->item(2)->icon().isNull());

    auto* menu = list->findChild<QMenu*>();
    m_dlg->showLstWgtContextMenuSlot(QPoint());
    QVERIFY(!menu->isVisible()); // nothing selected
    list->item(0)->setSelected(true);
    m_dlg->showLstWgtContextMenuSlot(QPoint());
    QVERIFY(menu->isVisible());
    menu->hide();

    m_dlg->openImportedImgSlot();
    QCOMPARE(m_env->desktop.urls.last(), QUrl::fromLocalFile(order + "成品"));

    // Video types have no folders to delete from: refused.
    setType(3);
    m_dlg->ordersTableWgtClickedSlot(0);
    const QStringList videoNames{"a.jpg"};
    m_dlg->delListFiles(&videoNames);
    QVERIFY(QFile::exists(order + "thumbnail100/a.jpg"));
    QVERIFY(QFile::exists(order + "成品/a.jpg"));

    setType(1);
    m_dlg->ordersTableWgtClickedSlot(0);
    const QStringList doomed{"a.jpg", "../成品/b.jpg"};
    m_dlg->delListFiles(&doomed);
    for (const QString name : {"a.jpg", "b.jpg"}) {
        for (const char* folder : {"成品/", "成品缩略图/", "成品缩略图100/", "成品缩略图2250/"})
            QVERIFY(!QFile::exists(order + QString::fromUtf8(folder) + name));
        QVERIFY(QFile::exists(order + "thumbnail100/" + name)); // other types untouched
    }
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("c.jpg"));
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(1)")); // the row counts what is left
}

void TestImportDialog::batchReportsAndChaining()
{
    const QString existing = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    for (const char* thumbs : {"/成品缩略图", "/成品缩略图100", "/成品缩略图2250"})
        QDir().mkpath(existing + QString::fromUtf8(thumbs));
    photo("photos/2024-05/12/A24051202-1/成品/old.jpg");
    dialog({item("100105", "A24051501"), item("100106", "A24051502"),
            item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\")});
    const QList<ImportOrderModel*> models = m_dlg->findChildren<ImportOrderModel*>();
    models.at(1)->setFineImgLst({photo("card/x.jpg")});
    models.at(1)->setIsFineImported(true); // done already: skipped
    choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
    choose(2, {photo("card/DCIM/IMG_3.JPG"), photo("card/DCIM/IMG_4.JPG")});
    m_env->service.clearLog();
    m_env->prompts.setNextAnswer(Prompts::Ok);

    QPushButton* start = button("importAllOrdersBtn");
    start->click();
    QCOMPARE(start->text(), QStringLiteral("导片中..."));
    QVERIFY(!start->isEnabled());
    QVERIFY(!button("addNewOrderBtn")->isEnabled() && !selectButton(1)->isEnabled());
    QVERIFY(!m_dlg->findChild<QLineEdit*>("prefieFolderEdit")->isEnabled());
    runBatch();
    QTRY_COMPARE(records().size(), 4);

    QCOMPARE(messages().last(), QStringLiteral("导入完成 / 2个订单已经全部导完"));
    const QString newFolder = "2024-05/15/A24051501-1-豆豆-吴静-陈摄影/";
    QVERIFY(QFile::exists(m_env->volumes.path("photos/" + newFolder + "成品/IMG_1.JPG")));
    QVERIFY(QFile::exists(m_env->volumes.path("photos/" + newFolder + "成品缩略图100/IMG_2.JPG")));
    // The records of one order come in order; two orders' may cross on the wire.
    auto expect = [this](const char* id, const char* stage, const char* count, const QString& path) {
        QList<StandIn::LoggedRequest> found;
        for (const StandIn::LoggedRequest& r : records()) {
            if (r.values.value("order_photo_id") == QLatin1String(id) &&
                r.values.value("importype") == QLatin1String(stage))
                found.append(r);
        }
        QCOMPARE(found.size(), 1);
        const StandIn::LoggedRequest r = found.first();
        QCOMPARE(r.values.value("picnumber"), QString::fromUtf8(count));
        QCOMPARE(r.values.value("picbacknumber"), QStringLiteral("0"));
        QCOMPARE(r.values.value("orderpicpath"), path);
        QCOMPARE(r.values.value("typeid"), QStringLiteral("1"));
        QCOMPARE(r.keys.first(), QStringLiteral("picnumber"));
    };
    const QString sentNew = "\\\\studio-nas\\photos\\" + newFolder;
    const QString sentOld = "\\\\studio-nas\\photos\\2024-05/12/A24051202-1/";
    expect("100105", "0", "0", sentNew);
    expect("100105", "1", "2", sentNew);
    expect("100102", "0", "0", sentOld);
    expect("100102", "1", "2", sentOld);
    QCOMPARE(records().first().values.value("order_photo_id"), QStringLiteral("100105"));
    // Two reports may cross on the wire; their times tell the service
    // which came first.
    for (const char* id : {"100105", "100102"}) {
        QMap<QString, qint64> sentAt;
        for (const StandIn::LoggedRequest& r : records()) {
            if (r.values.value("order_photo_id") == QLatin1String(id))
                sentAt.insert(r.values.value("importype"), r.values.value("timestamp").toLongLong());
        }
        QVERIFY(sentAt.value("0") > 0 && sentAt.value("0") <= sentAt.value("1"));
    }
    QCOMPARE(records().first().values.value("orderbakpicpath"), "\\\\studio-nas\\backup\\" + newFolder);

    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));
    QCOMPARE(cell(2, 3), QStringLiteral("已导入(3)"));
    QCOMPARE(label(0, 5), QStringLiteral("2/2"));
    QCOMPARE(label(2, 5), QStringLiteral("2/2"));
    QCOMPARE(label(1, 5), QStringLiteral("0/0"));
    QVERIFY(models.at(0)->getIsFineImported() && models.at(2)->getIsFineImported());
    QCOMPARE(models.at(0)->getHasFineImgCount(), ushort(2));
    QVERIFY(button("addNewOrderBtn")->isEnabled() && selectButton(1)->isEnabled());
    QVERIFY(!m_dlg->findChild<QLineEdit*>("prefieFolderEdit")->isEnabled());

    // Everything is imported now.
    m_env->prompts.setNextAnswer(Prompts::Ok);
    start->click();
    QCOMPARE(messages().last(), QStringLiteral("警告 / 没有需要导入的订单"));
}

void TestImportDialog::videoBatchAndVideoList()
{
    const QString order = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QDir().mkpath(order + "/成品");
    QDir().mkpath(order + "/试拍视频");
    QDir().mkpath(order + "/精修视频");
    dialog({item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\")});
    setType(3);
    choose(0, {m_env->volumes.writeFile("card/VIDEO/a.mp4", "aaaa"),
               m_env->volumes.writeFile("card/VIDEO/b.mp4", "bb")});
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    QTRY_COMPARE(records().size(), 1); // no start record for videos
    const StandIn::LoggedRequest done = records().first();
    QCOMPARE(done.values.value("importype"), QStringLiteral("1"));
    QCOMPARE(done.values.value("picnumber"), QStringLiteral("2"));
    const QString sent = "\\\\studio-nas\\photos\\2024-05/12/A24051202-1/试拍视频/";
    QCOMPARE(done.values.value("videopaths"), sent + "a.mp4|" + sent + "b.mp4");
    QCOMPARE(done.values.value("videofiles"), QStringLiteral("a.mp4|b.mp4"));
    QCOMPARE(done.keys.mid(11), QStringList({"videopaths", "videofiles", "typeid"}));
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));

    m_dlg->ordersTableWgtClickedSlot(0);
    m_env->prompts.setNextAnswer(Prompts::Yes);
    m_env->prompts.setNextAnswer(Prompts::Ok);
    button("upDataVideoUrlsBtn")->click();
    QTRY_COMPARE(m_env->service.requests("order", "updatevideo").size(), 1);
    QTRY_COMPARE(messages().last(), QStringLiteral("温馨提示 / 视频列表已更新"));
    const StandIn::LoggedRequest list = m_env->service.requests("order", "updatevideo").first();
    QCOMPARE(list.values.value("videofiles"), QStringLiteral("a.mp4|b.mp4"));
    QCOMPARE(list.values.value("videopaths"), order + "/试拍视频/a.mp4|" + order + "/试拍视频/b.mp4");
    QCOMPARE(list.values.value("typeid"), QStringLiteral("3"));
    QVERIFY(m_env->prompts.messages().at(1).text.contains(QStringLiteral("a.mp4<br/>b.mp4<br/>")));

    // No retouched videos: the question offers to clear the list.
    setType(4);
    m_dlg->ordersTableWgtClickedSlot(0);
    m_env->prompts.setNextAnswer(Prompts::Yes);
    m_env->prompts.setNextAnswer(Prompts::Ok);
    button("upDataVideoUrlsBtn")->click();
    QTRY_COMPARE(m_env->service.requests("order", "updatevideo").size(), 2);
    QVERIFY(m_env->prompts.messages().at(3).text.endsWith(QStringLiteral(
        "精修视频/  没有精修视频， 是否要将<font color=\"red\">选片系统 精修视频列表</font>列表清空？ ")));
    const StandIn::LoggedRequest cleared = m_env->service.requests("order", "updatevideo").last();
    QVERIFY(cleared.rawBody.contains("&videopaths=&videofiles=&"));
    QVERIFY(cleared.rawBody.endsWith("&typeid=4"));
    QTRY_COMPARE(messages().size(), 5);
    // A list answered with another server's page may not be stored: told.
    m_env->service.sendRaw("order", "updatevideo", "<html>busy</html>");
    m_env->prompts.setNextAnswer(Prompts::Yes);
    m_env->prompts.setNextAnswer(Prompts::Ok);
    button("upDataVideoUrlsBtn")->click();
    QTRY_COMPARE(messages().size(), 7);
    QCOMPARE(messages().last(), QStringLiteral("警告 / 网络请求错误\n200"));

    // A folder that cannot be read keeps its last count, and is no empty list to offer.
    FileOperation::setFaultHook(
        [](FileOperation::Fault f, const QString&) { return f == FileOperation::Fault::List; });
    setType(3);
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));
    m_dlg->ordersTableWgtClickedSlot(0);
    m_env->prompts.setNextAnswer(Prompts::Ok);
    button("upDataVideoUrlsBtn")->click();
    QCOMPARE(messages().last(),
             QStringLiteral("温馨提示 / 此订单导片路径打不开，请检查服务器是否连接成功！"));
}

void TestImportDialog::checksBeforeStart_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("no orders") << "none" << 1 << "没有需要导入的订单";
    QTest::newRow("no photos chosen") << "" << 1 << "有订单没有选择照片";
    QTest::newRow("no videos chosen") << "" << 3 << "有订单没有选择视频";
    QTest::newRow("no N8 folder chosen") << "" << 5 << "有订单没有选择N8路径";
    QTest::newRow("all imported") << "imported" << 1 << "没有需要导入的订单";
    QTest::newRow("order folder without 成品")
        << "no finished folder" << 0 << "订单号:A24051202-1\n路径不存在";
    QTest::newRow("order folder whose 成品 cannot be looked at")
        << "finished unseen" << 0 << "订单号:A24051202-1\n目录读取失败：<order>成品/";
    QTest::newRow("store root not writable") << "locked" << 1 << "您没有服务器写入权限";
}

void TestImportDialog::checksBeforeStart()
{
    QFETCH(QString, setup);
    QFETCH(int, type);
    QFETCH(QString, text);
    QJsonObject order = item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\");
    const QString folder = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1") + "/";
    if (setup == "finished unseen")
        FileOperation::setFaultHook([folder](FileOperation::Fault f, const QString& path) {
            return f == FileOperation::Fault::LookUp && path == folder + "成品";
        });
    const QString keep = m_env->volumes.writeFile("photos/Velmor/keep.jpg", "k");
    if (setup == "locked") {
        if (!QFileInfo("/proc/self").isDir())
            QSKIP("no /proc here");
        QVERIFY(QFile::link("/proc/self", m_env->volumes.path("locked")));
        QJsonObject roots = order.value("picpathnew").toObject();
        roots.insert("picpath", "\\\\studio-nas\\locked\\");
        order.insert("picpathnew", roots);
    }
    dialog(setup == "none" ? QList<QJsonObject>() : QList<QJsonObject>{order});
    setType(type);
    if (!m_dlg->findChildren<ImportOrderModel*>().isEmpty()) {
        ImportOrderModel* model = m_dlg->findChildren<ImportOrderModel*>().first();
        if (setup == "imported" || setup.contains("finished") || setup == "locked") {
            model->setOriImgLst({photo("card/a.jpg")});
            model->setFineImgLst({photo("card/a.jpg")});
            model->setIsFineImported(setup == "imported");
        }
    }
    m_env->prompts.setNextAnswer(Prompts::Ok);
    button("importAllOrdersBtn")->click();
    QCOMPARE(messages(), QStringList{"警告 / " + text.replace("<order>", folder)});
    QVERIFY(m_env->prompts.last().hasParent);
    QCOMPARE(button("importAllOrdersBtn")->text(), QStringLiteral("批量导片"));
    QVERIFY(button("addNewOrderBtn")->isEnabled());
    QTest::qWait(50);
    QCOMPARE(records().size(), 0);
    QVERIFY(QFile::exists(keep));
    QCOMPARE(QDir(m_env->volumes.path("photos")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"2024-05", "Velmor"}));
}

void TestImportDialog::folderErrorsRestoreControls_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("store root cannot be made") << 1 << "服务器路径错误";
    QTest::newRow("no backup root for camera photos") << 0 << "备份服务器路径错误。";
    // A file where the month folder goes: the share's refusal, not the customer's data.
    QTest::newRow("month folder cannot be made") << 2 << "目录无法创建：<photos>/2024-05";
}

void TestImportDialog::folderErrorsRestoreControls()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QJsonObject order = item("100105", "A24051501");
    QJsonObject roots = order.value("picpathnew").toObject();
    if (type == 1) {
        m_env->volumes.writeFile("studio-nas", "a file where a folder must go");
        roots.insert("picpath", "\\\\studio-nas\\nothere\\");
    } else if (type == 2) {
        m_env->volumes.writeFile("photos/2024-05", "a file where a folder must go");
    } else {
        roots.insert("bakpicpath", "");
    }
    order.insert("picpathnew", roots);
    dialog({order});
    setType(type);
    choose(0, {photo("card/a.jpg")});
    m_env->prompts.setNextAnswer(Prompts::Yes);
    runBatch();
    QCOMPARE(messages().last(), "警告 / " + text.replace("<photos>", m_env->volumes.path("photos")));
    QVERIFY(!m_env->prompts.last().hasParent);
    QVERIFY(m_env->prompts.last().buttons == Prompts::Yes);
    // Every control the batch disabled is back.
    QVERIFY(m_dlg->findChild<QRadioButton*>("importTypeRadio2")->isEnabled());
    QVERIFY(button("addNewOrderBtn")->isEnabled() && button("delAllOrdersBtn")->isEnabled());
    QVERIFY(selectButton(0)->isEnabled());
    QVERIFY(m_dlg->findChild<QLineEdit*>("prefieFolderEdit")->isEnabled());
    QTest::qWait(50);
    QCOMPARE(records().size(), 0);
    QCOMPARE(m_dlg->findChildren<ImportOrderModel*>().first()->getOrderPath(), QString());
}

void TestImportDialog::specialCharactersQuestion()
{
    // A customer name the share refuses: the order folder is missing after building.
    QJsonObject order = item("100105", "A24051501");
    order.insert("bname", QString(300, QLatin1Char('A')));
    dialog({order});
    choose(0, {photo("card/a.jpg")});
    m_env->prompts.setNextAnswer(Prompts::Yes);
    runBatch();
    QCOMPARE(messages().last(), QStringLiteral("警告 / 客人信息包含特殊字符，请修改后再导片"));
    QVERIFY(Config::disk_space == "go");
    QVERIFY(!m_dlg->findChild<QLineEdit*>("prefieFolderEdit")->isEnabled());
    QVERIFY(button("addNewOrderBtn")->isEnabled() && selectButton(0)->isEnabled());
    QTest::qWait(50);
    QCOMPARE(records().size(), 0);
}

void TestImportDialog::batchFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QString>("box");
    // Of the completion records, by order id; for videos with their videofiles.
    // Rows whose fault begins with "video" import trial-shoot videos, with
    // "design" designs; the others finished photos.
    QTest::addColumn<QStringList>("picnumbers");
    const QString folder = "<order>成品";
    QTest::newRow("card pulled") << "read" << QStringList{"已导入(1个失败)", "已导入(2)"}
                                 << "警告 / 以下订单有照片导入失败：\nA24051501：1张"
                                 << QStringList{"100105:1", "100106:2"};
    // The second order is the booking's second service time.
    QTest::newRow("card pulled, two service times of one booking")
        << "read, one booking" << QStringList{"已导入(1个失败)", "已导入(1个失败)"}
        << "警告 / 以下订单有照片导入失败：\nA24051501-1：1张\nA24051501-2：1张"
        << QStringList{"100105:1", "100106:1"};
    QTest::newRow("folder cannot be written")
        << "write" << QStringList{"已导入(2个失败)", "已导入(2)"}
        << "警告 / 以下订单有照片导入失败：\nA24051501：2张（写入失败：" + folder + "）"
        << QStringList{"100105:0", "100106:2"};
    QTest::newRow("disk full")
        << "full" << QStringList{"已导入(2个失败)", "未导入"}
        << "警告 / 服务器空间不足，请清理空间后再导入\n以下订单有照片导入失败：\nA24051501：2张（写入失败：" +
               folder + "）"
        << QStringList{"100105:0"};
    // The service adds the counts: a record it may hold is never sent again.
    const QString check = "\n请核对以上订单的照片数量";
    const QString again = "\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报";
    QTest::newRow("service answers 500")
        << "http" << QStringList{"已导入(2)", "已导入(2)"}
        << "警告 / 以下订单上报失败：\nA24051501：500\nA24051502：500" + check
        << QStringList{"100105:2", "100106:2"};
    QTest::newRow("service gone") << "drop" << QStringList{"已导入(2)", "已导入(2)"}
                                  << "警告 / 以下订单上报失败：\nA24051501：网络错误\nA24051502：网络错误" +
                                         check
                                  << QStringList{"100105:2", "100106:2"};
    QTest::newRow("report refused")
        << R"(refuse)" << QStringList{"上报失败", "上报失败"}
        << "警告 / 以下订单上报失败：\nA24051501：订单不存在\nA24051502：订单不存在" + again
        << QStringList{"100105:2", "100106:2"};
    QTest::newRow("first order's folder being deleted")
        << "deleting" << QStringList{"未导入", "已导入(2)"} << "警告 / 订单正在删除，未导片：A24051501"
        << QStringList{"100106:2"};
    QTest::newRow("first order's folder cannot be read before")
        << "unread before" << QStringList{"未导入", "已导入(2)"} << "警告 / 目录读取失败，未导片：A24051501"
        << QStringList{"100106:2"};
    QTest::newRow("first order's folder cannot be read after")
        << "unread after" << QStringList{"上报失败", "已导入(2)"}
        << "警告 / 以下订单上报失败：\nA24051501：目录读取失败" + again << QStringList{"100106:2"};
    QTest::newRow("a photo of the first order cannot be looked at before")
        << "unseen before" << QStringList{"未导入", "已导入(2)"} << "警告 / 目录读取失败，未导片：A24051501"
        << QStringList{"100106:2"};
    QTest::newRow("first order's folder cannot be looked at after")
        << "unseen after" << QStringList{"上报失败", "已导入(2)"}
        << "警告 / 以下订单上报失败：\nA24051501：目录读取失败" + again << QStringList{"100106:2"};
    // Another import writes five photos into the first order's 成品 during
    // the batch: the report holds the batch's own photos, and a photo the
    // batch replaced adds nothing.
    QTest::newRow("another import writes into the order")
        << "others" << QStringList{"已导入(7)", "已导入(2)"} << "导入完成 / 2个订单已经全部导完"
        << QStringList{"100105:2", "100106:2"};
    QTest::newRow("another import writes, the batch's photos were there")
        << "others, photos there" << QStringList{"已导入(7)", "已导入(2)"} << "导入完成 / 2个订单已经全部导完"
        << QStringList{"100105:0", "100106:2"};
    // The first order holds MVI_0001.MP4 already, from another camera: the
    // card's clip of that name stays on the card, named, and unlisted.
    const QString others = "100106:2:MVI_0003.MP4|MVI_0004.MP4";
    QTest::newRow("another camera's clip of a taken name")
        << "video taken" << QStringList{"已导入(1个失败)", "已导入(2)"}
        << "警告 / 以下订单有照片导入失败：\nA24051501：1张（同名视频已存在：MVI_0001.MP4）"
        << QStringList{"100105:1:MVI_0002.MP4", others};
    // A video counts only when its name was new; the same clip is listed.
    QTest::newRow("the same clip again counts done, not new")
        << "video again" << QStringList{"已导入(2)", "已导入(2)"} << "导入完成 / 2个订单已经全部导完"
        << QStringList{"100105:1:MVI_0001.MP4|MVI_0002.MP4", others};
    // The same clip, which cannot be read whole while it is compared, is
    // unreadable, not another camera's: the card pulled once both clips were
    // looked at (the sizes those looks found are compared), or a read that
    // breaks off on either side.
    for (const char* fault : {"video pulled", "video cut short, card", "video cut short, order"}) {
        QTest::newRow(fault) << fault << QStringList{"已导入(1个失败)", "已导入(2)"}
                             << "警告 / 以下订单有照片导入失败：\nA24051501：1张"
                             << QStringList{"100105:1:MVI_0002.MP4", others};
    }
    QTest::newRow("a clip that fails to write is not listed")
        << "video write" << QStringList{"已导入(1个失败)", "已导入(2)"}
        << "警告 / 以下订单有照片导入失败：\nA24051501：1张（写入失败：<order>试拍视频）"
        << QStringList{"100105:1:MVI_0001.MP4", others};
    // The owed report, sent again by the next batch, lists the same clips.
    QTest::newRow("videos, report refused")
        << "video refuse" << QStringList{"上报失败", "上报失败"}
        << "警告 / 以下订单上报失败：\nA24051501：订单不存在\nA24051502：订单不存在" + again
        << QStringList{"100105:2:MVI_0001.MP4|MVI_0002.MP4", others};
    // The design folder's count takes "*.jpg" only.
    QTest::newRow("only names the folder count counts are counted")
        << "design png" << QStringList{"已导入(2)", "已导入(2)"} << "导入完成 / 2个订单已经全部导完"
        << QStringList{"100105:1", "100106:2"};
    for (const char* body : {"<html>busy</html>", R"([{"code":"1"}])"}) {
        QTest::newRow(body) << QString("raw:") + body << QStringList{"已导入(2)", "已导入(2)"}
                            << "警告 / 以下订单上报失败：\nA24051501：200\nA24051502：200" + check
                            << QStringList{"100105:2", "100106:2"};
    }
    // An object whose code is no text is a refusal: the service's own answer.
    QTest::newRow(R"({"code":1})") << R"(raw:{"code":1})" << QStringList{"上报失败", "上报失败"}
                                   << "警告 / 以下订单上报失败：\nA24051501：200\nA24051502：200" + again
                                   << QStringList{"100105:2", "100106:2"};
}

void TestImportDialog::batchFailures()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, states);
    QFETCH(QString, box);
    QFETCH(QStringList, picnumbers);
    const int type = fault.startsWith("video") ? 3 : fault.startsWith("design") ? 2 : 1;
    const QString first = m_env->volumes.path("photos/2024-05/15/A24051501-1-豆豆-吴静-陈摄影/");
    const bool existing = fault.endsWith("before"); // an order folder made before
    const bool photosThere = fault == "others, photos there";
    // Same size: told apart by their bytes.
    const QByteArray clip = "second camera";
    const bool sameClip =
        fault == "video again" || fault == "video pulled" || fault.startsWith("video cut short");
    const bool clipThere = sameClip || fault == "video taken";
    if (existing || clipThere)
        QDir().mkpath(first + "成品");
    if (photosThere) {
        for (const char* name : {"IMG_1.JPG", "IMG_2.JPG"})
            QVERIFY(TestFiles::write(first + "成品/" + name, "imported before"));
    }
    if (clipThere)
        QVERIFY(TestFiles::write(first + "试拍视频/MVI_0001.MP4", sameClip ? clip : "first camera!"));
    // Before: 成品 itself stops the batch at its start, so one of its photos.
    const QString unseen = QDir::cleanPath(first + (existing ? "成品/old.jpg" : "成品"));
    if (fault == "unseen before")
        QVERIFY(TestFiles::write(unseen, "old"));
    const QString folderMadeBefore = "\\\\studio-nas\\photos\\2024-05\\15\\A24051501-1-豆豆-吴静-陈摄影\\";
    const bool oneBooking = fault.endsWith("one booking");
    QJsonObject second = item("100106", oneBooking ? "A24051501" : "A24051502");
    if (oneBooking)
        second.insert("servicetimes", "2");
    dialog(
        {item("100105", "A24051501", existing || photosThere || clipThere ? folderMadeBefore : ""), second});
    setType(type);
    const QString pulled = photo("card/DCIM/IMG_2.JPG");
    const QString pulledSecond = photo("card/DCIM/IMG_4.JPG");
    const QString pulledClip = m_env->volumes.path("card/VIDEO/MVI_0001.MP4");
    if (type == 3) {
        const auto card = [this](const char* name, const QByteArray& bytes) {
            return m_env->volumes.writeFile(QStringLiteral("card/VIDEO/") + name, bytes);
        };
        choose(0, {card("MVI_0001.MP4", clip), card("MVI_0002.MP4", "clip two")});
        choose(1, {card("MVI_0003.MP4", "clip three"), card("MVI_0004.MP4", "clip four")});
    } else {
        // The count goes by name: a design named ".png" is not counted.
        choose(0, {photo("card/DCIM/IMG_1.JPG"), type == 2 ? photo("card/DCIM/IMG_2.png") : pulled});
        choose(1, {photo("card/DCIM/IMG_3.JPG"), pulledSecond});
    }
    QSemaphore removing;
    QSemaphore letGo;
    std::atomic<bool> written{existing}; // the order's 成品 cannot be read once written into
    std::atomic<bool> othersWrote{false};
    std::atomic<bool> clipLooked{false};
    // The dialog's jobs may call the hook after a failed check: they end
    // before what the hook reads goes.
    const auto unhook = qScopeGuard([this, &letGo] {
        FileOperation::setFaultHook({});
        letGo.release(1000);
        delete m_dlg.data();
    });
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (fault == "video pulled" && f == FileOperation::Fault::LookUp) {
            if (path == pulledClip)
                clipLooked = true;
            else if (clipLooked && path == first + "试拍视频/MVI_0001.MP4")
                QFile::remove(pulledClip);
        }
        written = written || (f == FileOperation::Fault::Write && path.startsWith(first + "成品/"));
        if (fault.startsWith("others") && written && !othersWrote.exchange(true)) {
            for (int i = 1; i <= 5; ++i)
                TestFiles::write(first + QStringLiteral("成品/other-%1.jpg").arg(i),
                                 "another import's photo");
        }
        if (fault.startsWith("unread"))
            return f == FileOperation::Fault::List && written && path == QDir::cleanPath(first + "成品");
        if (fault.startsWith("unseen"))
            return f == FileOperation::Fault::LookUp && written && path == unseen;
        if (fault == "deleting" && f == FileOperation::Fault::Remove &&
            path.startsWith(QDir::cleanPath(first))) {
            removing.release();
            letGo.acquire();
        }
        if (fault.startsWith("read"))
            return f == FileOperation::Fault::Read &&
                   (path == pulled || (oneBooking && path == pulledSecond));
        if (fault.startsWith("video cut short"))
            return f == FileOperation::Fault::ShortRead &&
                   path == (fault.endsWith("card") ? pulledClip : first + "试拍视频/MVI_0001.MP4");
        if (fault == "write")
            return f == FileOperation::Fault::Write && path.startsWith(first + "成品/");
        if (fault == "video write")
            return f == FileOperation::Fault::Write && path == first + "试拍视频/MVI_0002.MP4";
        return fault == "full" && f == FileOperation::Fault::DiskFull && path.startsWith(first + "成品/");
    });
    if (fault == "http")
        m_env->service.failHttp("order", "updatepicpath", 500);
    if (fault == "drop")
        m_env->service.drop("order", "updatepicpath");
    if (fault.endsWith("refuse"))
        m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    if (fault.startsWith("raw:"))
        m_env->service.sendRaw("order", "updatepicpath", fault.mid(4).toUtf8());
    // A slowed deletion of this process is removing the folder the first
    // order's photos would go into.
    order removed;
    removed.orderpath = first;
    ImportOrderThread deletion(removed);
    if (fault == "deleting") {
        m_env->volumes.writeFile("photos/2024-05/15/A24051501-1-豆豆-吴静-陈摄影/成品/old.jpg", "old");
        deletion.start();
        removing.acquire();
    }
    m_env->service.clearLog();
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    FileOperation::setFaultHook({});
    letGo.release(1000);
    QVERIFY(deletion.wait(10000));

    QCOMPARE(messages(), QStringList{box.replace("<order>", first)});
    QCOMPARE(QStringList({cell(0, 3), cell(1, 3)}), states);
    QStringList sent;
    for (const StandIn::LoggedRequest& r : records()) {
        if (r.values.value("importype") != "1")
            continue;
        QString record = r.values.value("order_photo_id") + ":" + r.values.value("picnumber");
        if (type == 3)
            record += ":" + r.values.value("videofiles");
        sent.append(record);
    }
    sent.sort();
    QCOMPARE(sent, picnumbers);
    if (fault == "deleting" || existing) {
        QCOMPARE(QFileInfo::exists(first), existing);
        for (const StandIn::LoggedRequest& r : records())
            QVERIFY(r.values.value("order_photo_id") != "100105");
    }
    if (!states.contains("上报失败"))
        return;

    // The service or the folder is back: the next batch sends the owed
    // completion reports again, with the counts on disk, and copies nothing.
    m_env->service.clearFaults();
    m_env->service.clearLog();
    // Writes are counted from the worker's threads, also after a failed row.
    auto writes = std::make_shared<std::atomic<int>>(0);
    FileOperation::setFaultHook([writes](FileOperation::Fault f, const QString&) {
        if (f == FileOperation::Fault::Write)
            ++*writes;
        return false;
    });
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    FileOperation::setFaultHook({});
    QCOMPARE(writes->load(), 0);
    // The orders left "上报失败" (the first one when only one is).
    QStringList owed = QStringList({"100105:1:2", "100106:1:2"}).mid(0, states.count("上报失败"));
    if (type == 3)
        owed =
            QStringList{owed.at(0) + ":MVI_0001.MP4|MVI_0002.MP4", owed.at(1) + ":MVI_0003.MP4|MVI_0004.MP4"};
    QCOMPARE(records().size(), owed.size());
    sent.clear();
    for (const StandIn::LoggedRequest& r : records())
        sent.append(r.values.value("order_photo_id") + ":" + r.values.value("importype") + ":" +
                    r.values.value("picnumber") +
                    (type == 3 ? ":" + r.values.value("videofiles") : QString()));
    sent.sort();
    QCOMPARE(sent, owed);
    QCOMPARE(messages().last(), QStringLiteral("导入完成 / %1个订单已经全部导完").arg(owed.size()));
    QCOMPARE(QStringList({cell(0, 3), cell(1, 3)}), QStringList({"已导入(2)", "已导入(2)"}));
}

void TestImportDialog::completionRecordAddedOnce_data()
{
    QTest::addColumn<QString>("fault"); // what the first batch's completion record meets
    // Of each press of 批量导片 in turn; "remove" (删除选中 of the order) is
    // followed by its box, "close" by the close's, if any.
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("finishnum"); // in the service in the end
    QTest::addColumn<int>("received");      // completion records the service read
    QTest::addColumn<QString>("photonum");  // camera photos, in the service in the end
    const QString failed = "警告 / 以下订单上报失败：\nA24051501：";
    const QString check = "\n请核对以上订单的照片数量";
    const QString none = "警告 / 没有需要导入的订单";
    const QString owed = "\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报";
    QTest::newRow("504 after the work, pressed again")
        << "504" << QStringList{failed + "504" + check, none} << "2" << 1 << "";
    QTest::newRow("a notice before the JSON, three presses")
        << "notice" << QStringList{failed + "200" + check, none, none} << "2" << 1 << "";
    QTest::newRow("the work done, the connection dropped once")
        << "dropped once" << QStringList{failed + "网络错误" + check, none} << "2" << 1 << "";
    QTest::newRow("read, the connection closed, the service gone until the next press")
        << "gone" << QStringList{failed + "网络错误" + check, none} << "2" << 1 << "";
    QTest::newRow("connection refused, then the service back")
        << "refused"
        << QStringList{failed + "网络错误\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报",
                       "导入完成 / 1个订单已经全部导完"}
        << "2" << 1 << "";
    QTest::newRow("connection refused, then the dialog closed")
        << "refused"
        << QStringList{failed + "网络错误\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报",
                       "close", failed + "网络错误\n窗口已关闭，以上订单的记录不再上报，请核对照片数量"}
        << "" << 0 << "";
    // Two records of one order owed, of camera and of finished photos.
    QTest::newRow("connection refused for finished and camera photos, then the order removed")
        << "refused"
        << QStringList{failed + "网络错误\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报",
                       "原片",
                       "警告 / 以下订单上报失败：\nA24051501（原片）：网络错误\nA24051501（成品）：网络错误" +
                           owed,
                       "remove",
                       "警告 / 以下订单上报失败：\nA24051501（原片）：网络错误\nA24051501（成品）：网络错误\n"
                       "订单已移出列表，以上订单的记录不再上报，请核对照片数量",
                       "close"}
        << "" << 0 << "";
    // Two orders of one booking, both owing their record.
    const QString both = "警告 / 以下订单上报失败：\nA24051501-1：网络错误\nA24051501-2：网络错误\n";
    QTest::newRow("connection refused for two service times of one booking, then the dialog closed")
        << "refused"
        << QStringList{"second service", both + "未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报",
                       "close", both + "窗口已关闭，以上订单的记录不再上报，请核对照片数量"}
        << "" << 0 << "";
    // The second service time of the booking listed afterwards: the record
    // the first one owes names its order.
    QTest::newRow(
        "connection refused, then a second service time of the booking listed and the dialog closed")
        << "refused"
        << QStringList{failed + "网络错误\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报",
                       "second service listed", "close",
                       "警告 / 以下订单上报失败：\nA24051501-1：网络错误\n"
                       "窗口已关闭，以上订单的记录不再上报，请核对照片数量"}
        << "" << 0 << "";
    // The camera photos' record owed, then a batch of finished photos: it
    // goes with that batch, once.
    QTest::newRow("camera photos' record refused, then a batch of finished photos")
        << "" << QStringList{"原片", failed + "网络错误" + owed, "成品", "导入完成 / 1个订单已经全部导完"}
        << "1" << 2 << "2";
    QTest::newRow("camera photos' record refused, then a batch of finished photos refused too")
        << ""
        << QStringList{"原片", failed + "网络错误" + owed, "成品, refused",
                       "警告 / 以下订单上报失败：\nA24051501（原片）：网络错误\nA24051501（成品）：网络错误" +
                           owed}
        << "" << 0 << "";
    // A record of another type than the batch's tells its kind though it is
    // its order's only line.
    QTest::newRow("camera photos' record refused, then a batch of finished photos that sends it in vain")
        << ""
        << QStringList{"原片", failed + "网络错误" + owed, "成品, 原片 closed",
                       "警告 / 以下订单上报失败：\nA24051501（原片）：网络错误" + check}
        << "1" << 1 << "";
    // Taken once, it is owed no more.
    QTest::newRow("camera photos' record refused, then two batches of finished photos")
        << "" << QStringList{"原片",       failed + "网络错误" + owed,
                             "成品",       "导入完成 / 1个订单已经全部导完",
                             "成品 again", "导入完成 / 1个订单已经全部导完"}
        << "2" << 3 << "2";
    // The finished photos are in: the third batch only sends the record.
    QTest::newRow("finished photos, then camera photos' record refused, then a batch with only the record")
        << ""
        << QStringList{"导入完成 / 1个订单已经全部导完", "原片", failed + "网络错误" + owed, "type 成品",
                       "导入完成 / 1个订单已经全部导完"}
        << "2" << 2 << "2";
    // 重新导片 leaves the folder the record counted: it is given up, and
    // the new folder's records count its own files only.
    const QString reImported = failed + "网络错误\n订单已重新导片，以上订单的记录不再上报，请核对照片数量";
    QTest::newRow("camera photos' record refused, then 重新导片 and a batch of finished photos")
        << "" << QStringList{"原片", failed + "网络错误" + owed,      "重新导片", reImported,
                             "成品", "导入完成 / 1个订单已经全部导完"}
        << "1" << 1 << "";
    QTest::newRow("camera photos' record refused, then 重新导片 and a batch of camera photos")
        << "" << QStringList{"原片",       failed + "网络错误" + owed,      "重新导片", reImported,
                             "原片 again", "导入完成 / 1个订单已经全部导完"}
        << "" << 1 << "1";
    QTest::newRow("connection refused, then the order removed and the dialog closed")
        << "refused"
        << QStringList{failed + "网络错误\n未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报",
                       "remove", failed + "网络错误\n订单已移出列表，以上订单的记录不再上报，请核对照片数量",
                       "close"}
        << "" << 0 << "";
}

// The service adds a completion record's counts: the record is sent again
// by a later batch only while nothing of it reached the service, and Qt
// never sends it twice by itself.
void TestImportDialog::completionRecordAddedOnce()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    dialog({item("100105", "A24051501")});
    choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
    const QString route = Config::url_post_orderpicpath;
    const auto restore = qScopeGuard([route] { Config::url_post_orderpicpath = route; });
    const auto postTo = [this](quint16 port) {
        Config::url_post_orderpicpath.replace(QUrl(m_env->service.baseUrl()).authority(),
                                              "127.0.0.1:" + QString::number(port));
    };
    // The records go to a port nothing listens on any more.
    const auto refuse = [&postTo] {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        postTo(closed.serverPort());
    };
    std::unique_ptr<ScriptedServer> goneAfterWork;
    std::unique_ptr<ScriptedServer> cameraRecordsClosed;
    if (fault == "504")
        m_env->service.answerAfterWork("order", "updatepicpath", 504, "<html>504 Gateway Time-out</html>");
    else if (fault == "notice")
        m_env->service.answerAfterWork("order", "updatepicpath", 200, "<b>Notice</b>: Undefined index<br>\n");
    else if (fault == "dropped once") {
        // Armed for the completion record: the start record is handled
        // before the first photo is written.
        auto armed = std::make_shared<std::atomic<bool>>(false);
        FileOperation::setFaultHook([this, armed](FileOperation::Fault f, const QString&) {
            if (f == FileOperation::Fault::Write && !armed->exchange(true)) {
                while (records().isEmpty())
                    QThread::yieldCurrentThread();
                m_env->service.dropAfterWork("order", "updatepicpath");
            }
            return false;
        });
    } else if (fault == "refused") {
        refuse();
    } else if (fault == "gone") {
        // The stand-in does the completion record's work; its connection is
        // then closed unanswered, and nothing listens any more.
        const quint16 standIn = quint16(QUrl(m_env->service.baseUrl()).port());
        goneAfterWork = std::make_unique<ScriptedServer>([standIn](const ScriptedServer::Request& r) {
            ScriptedServer::handOn(r.raw, standIn);
            return r.raw.contains("importype=1") ? ScriptedServer::Act::CloseAndStopListening
                                                 : ScriptedServer::Act::Answer;
        });
        postTo(quint16(goneAfterWork->port()));
    }
    for (int i = 0; i < boxes.size(); ++i) {
        if (boxes.at(i).startsWith("second service")) {
            // The selection check asks after an order the service knows.
            QJsonObject second = item("100106", "A24051501");
            second.insert("servicetimes", "2");
            m_dlg->getNewOrderSlot({new ImportOrderModel(second, nullptr)});
            if (!boxes.at(i).endsWith("listed"))
                choose(1, {photo("card/DCIM/IMG_3.JPG"), photo("card/DCIM/IMG_4.JPG")});
            continue;
        }
        if (boxes.at(i) == "原片") {
            // Camera photos of the order, their record refused too.
            setType(0);
            choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
            refuse();
            continue;
        }
        if (boxes.at(i) == "原片 again") {
            // Another camera photo, its record taken.
            setType(0);
            choose(0, {photo("card/DCIM/IMG_3.JPG")});
            continue;
        }
        if (boxes.at(i) == "type 成品") {
            setType(1);
            continue;
        }
        if (boxes.at(i).startsWith("成品")) {
            // One finished photo, its record refused or taken; the camera
            // photos' records that go with it may have their connection
            // closed unanswered.
            setType(1);
            choose(0, {photo(boxes.at(i) == "成品 again" ? "card/DCIM/IMG_6.JPG" : "card/DCIM/IMG_5.JPG")});
            if (boxes.at(i).endsWith("refused"))
                refuse();
            if (boxes.at(i).endsWith("原片 closed")) {
                const quint16 standIn = quint16(QUrl(m_env->service.baseUrl()).port());
                cameraRecordsClosed =
                    std::make_unique<ScriptedServer>([standIn](const ScriptedServer::Request& r) {
                        if (r.raw.contains("typeid=0"))
                            return ScriptedServer::Act::Close;
                        ScriptedServer::handOn(r.raw, standIn);
                        return ScriptedServer::Act::Answer;
                    });
                postTo(quint16(cameraRecordsClosed->port()));
            }
            continue;
        }
        m_env->prompts.setNextAnswer(Prompts::Ok);
        if (boxes.at(i) == "close") {
            m_dlg->close();
            break;
        }
        if (boxes.at(i) == "remove") {
            button("selectAllBtn")->click();
            button("delAllOrdersBtn")->click();
            ++i; // its box
            continue;
        }
        if (boxes.at(i) == "重新导片") {
            m_dlg->ordersTableWgtClickedSlot(0);
            button("reImportBtn")->click();
            m_dlg->findChild<QLineEdit*>("prefieFolderEdit")->setText("redo");
            QTRY_COMPARE(PendingRecords::instance().count(), 0);
            ++i; // its box
            continue;
        }
        runBatch();
        QTRY_COMPARE(PendingRecords::instance().count(), 0);
        Config::url_post_orderpicpath = route; // the service back
    }
    boxes.removeAll("close");
    boxes.removeAll("remove");
    boxes.removeAll("原片");
    boxes.removeAll("成品");
    boxes.removeAll("成品, refused");
    boxes.removeAll("成品, 原片 closed");
    boxes.removeAll("成品 again");
    boxes.removeAll("原片 again");
    boxes.removeAll("type 成品");
    boxes.removeAll("重新导片");
    boxes.removeAll("second service");
    boxes.removeAll("second service listed");
    QCOMPARE(messages(), boxes);
    int received = 0;
    for (const StandIn::LoggedRequest& r : records())
        received += r.values.value("importype") == "1" ? 1 : 0;
    QTEST(received, "received");
    QTEST(storedFinishnum("100105"), "finishnum");
    QTEST(storedOrder("100105").value("photonum").toString(), "photonum");
}

void TestImportDialog::closingMidBatchAsksAndReports_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close button") << "close";
    QTest::newRow("escape") << "escape";
    QTest::newRow("reject") << "reject";
}

void TestImportDialog::closingMidBatchAsksAndReports()
{
    QFETCH(QString, how);
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files.append(photo(QStringLiteral("card/DCIM/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'))));
    dialog({item("100105", "A24051501")});
    setType(0);
    choose(0, files);
    // A slow share: every write takes a while.
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString&) {
        if (f == FileOperation::Fault::Write)
            QThread::msleep(40);
        return false;
    });
    button("importAllOrdersBtn")->click();
    QTRY_VERIFY(label(0, 5) != QStringLiteral("0/40"));
    QPointer<importOrdersPhotoDlg> guard = m_dlg;
    auto closeIt = [&] {
        if (how == "escape")
            QTest::keyClick(m_dlg, Qt::Key_Escape);
        else if (how == "reject")
            m_dlg->reject();
        else
            m_dlg->close();
    };
    // No: the batch goes on.
    m_env->prompts.setNextAnswer(Prompts::No);
    closeIt();
    QCOMPARE(messages(), QStringList{"提示 / 正在导片，确定停止导片并关闭吗？"});
    QVERIFY(guard->isVisible());
    const QString before = label(0, 5);
    QTRY_VERIFY(label(0, 5) != before);
    // Yes: it stops after the files in work, reports the order and closes.
    m_env->prompts.setNextAnswer(Prompts::Yes);
    closeIt();
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 20000);
    FileOperation::setFaultHook({});

    const QString folder = m_env->volumes.path("photos/2024-05/15/A24051501-1-豆豆-吴静-陈摄影/照片/");
    const QStringList imported = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(imported.size() < files.size(), qPrintable(imported.join(',')));
    for (const QString& name : imported) {
        QVERIFY2(!FileOperation::isPartialFile(name), qPrintable(name));
        QVERIFY2(QImageReader(folder + name).canRead(), qPrintable(name));
    }
    QTRY_COMPARE(records().size(), 2);
    QCOMPARE(records().last().values.value("importype"), QStringLiteral("1"));
    QCOMPARE(records().last().values.value("picnumber"), QString::number(imported.size()));
    QCOMPARE(messages().size(), 2); // the two questions, nothing after
}

void TestImportDialog::closingMidBatchNamesWhatItFound_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box"); // after the close question; empty: none
    const QString notTaken = "警告 / 以下订单上报失败：\nA24051502：";
    const QString closed = "\n窗口已关闭，以上订单的记录不再上报，请核对照片数量";
    const QString check = "\n请核对以上订单的照片数量";
    QTest::newRow("record answered 500") << "http" << notTaken + "500" + check;
    QTest::newRow("record refused") << "refuse" << notTaken + "订单不存在" + closed;
    QTest::newRow("record answered 200 with a page") << "page" << notTaken + "200" + check;
    QTest::newRow("record dropped") << "drop" << notTaken + "网络错误" + check;
    // The photos the stop left on the card are the user's choice.
    QTest::newRow("record taken") << ""
                                  << "";
    QTest::newRow("a photo of the stopped order unread") << "read stopped"
                                                         << "警告 / 以下订单有照片导入失败：\nA24051502：1张";
    QTest::newRow("a photo of the finished order unread")
        << "read finished"
        << "警告 / 以下订单有照片导入失败：\nA24051501：1张";
}

// A batch stopped by closing its dialog in its second order shows, once
// its records have answered, what an ending batch shows: the photos that
// failed, the records not taken, which nothing sends again.
void TestImportDialog::closingMidBatchNamesWhatItFound()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    dialog({item("100105", "A24051501"), item("100106", "A24051502")});
    const QString unread =
        photo(fault == "read finished" ? "card/DCIM/IMG_A1.JPG" : "card/DCIM/IMG_B0000.JPG");
    choose(0, {photo("card/DCIM/IMG_A0.JPG"), photo("card/DCIM/IMG_A1.JPG")});
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files.append(photo(QStringLiteral("card/DCIM/IMG_B%1.JPG").arg(i, 4, 10, QLatin1Char('0'))));
    choose(1, files);
    FileOperation::setFaultHook([unread, fault](FileOperation::Fault f, const QString& path) {
        if (f == FileOperation::Fault::Write && path.contains("A24051502"))
            QThread::msleep(40); // a slow share for the second order
        return fault.startsWith("read") && f == FileOperation::Fault::Read && path == unread;
    });
    button("importAllOrdersBtn")->click();
    QTRY_VERIFY(label(1, 5) != QStringLiteral("0/40"));
    QTRY_COMPARE(PendingRecords::instance().count(), 0); // the first order's records taken
    if (fault == "http")
        m_env->service.failHttp("order", "updatepicpath", 500);
    else if (fault == "refuse")
        m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    else if (fault == "page")
        m_env->service.sendRaw("order", "updatepicpath", "<html>busy</html>");
    else if (fault == "drop")
        m_env->service.drop("order", "updatepicpath");
    QPointer<importOrdersPhotoDlg> guard = m_dlg;
    m_env->prompts.setNextAnswer(Prompts::Yes);
    if (!box.isEmpty())
        m_env->prompts.setNextAnswer(Prompts::Ok);
    m_dlg->close();
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 20000);
    const QStringList shown = messages().mid(1);
    QCOMPARE(shown, box.isEmpty() ? QStringList() : QStringList{box});
}

void TestImportDialog::batchRecordsAtQuit_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("finishnum"); // in the service after the quit
    QTest::addColumn<QStringList>("boxes"); // after the close question
    QTest::newRow("answered late") << "late"
                                   << "6" << QStringList();
    QTest::newRow("answered late with HTTP 500")
        << "http"
        << ""
        << QStringList{
               "警告 / 以下订单上报失败：\nA24051501：500\n退出软件后不再上报，请核对以上订单的照片数量"};
    // Named in the last box only: the dialog owes it no more.
    QTest::newRow("refused late") << "refuse"
                                  << ""
                                  << QStringList{"警告 / 以下订单上报失败：\nA24051501：订单不存在\n"
                                                 "退出软件后不再上报，请核对以上订单的照片数量"};
}

// The dialog is closed while its completion record is on its way, and the
// client quits: the record is waited for with the single-order reports, and
// named in the last box when it is not taken.
void TestImportDialog::batchRecordsAtQuit()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    oneOrderOnASlowShare(6);
    button("importAllOrdersBtn")->click();
    QTRY_COMPARE(records().size(), 1); // the start record, taken
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    // The completion record is answered once the client quits.
    m_env->service.hold("order", "updatepicpath");
    if (fault == "http")
        m_env->service.failHttp("order", "updatepicpath", 500);
    if (fault == "refuse")
        m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 2, 20000);
    QPointer<importOrdersPhotoDlg> guard = m_dlg;
    m_env->prompts.setNextAnswer(Prompts::Yes);
    for (int i = 0; i < boxes.size(); ++i)
        m_env->prompts.setNextAnswer(Prompts::Ok);
    m_dlg->close();
    QTRY_VERIFY(guard && !guard->isVisible()); // once its worker has ended
    QCOMPARE(PendingRecords::instance().count(), 1);

    m_env->service.release("order", "updatepicpath");
    PendingRecords::settleBeforeQuit();
    QCOMPARE(PendingRecords::instance().count(), 0);
    QTEST(storedFinishnum("100105"), "finishnum");
    QCOMPARE(messages().mid(1), boxes);
}

// A batch stopped by closing its dialog records the order it stopped,
// whatever order the user-interface thread meets its worker's end and the
// worker's deletion in.
void TestImportDialog::stoppedRunRecordedThoughItsWorkerWentFirst()
{
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files.append(photo(QStringLiteral("card/DCIM/IMG_%1.JPG").arg(i)));
    dialog({item("100105", "A24051501")});
    choose(0, files);
    // The card's reads wait until the close has been answered: the run
    // stops with photos left on the card.
    struct Gate
    {
        std::atomic<bool> open{false};
        QSemaphore reached;
        QSemaphore passage;
    };
    auto gate = std::make_shared<Gate>();
    FileOperation::setFaultHook([gate](FileOperation::Fault f, const QString&) {
        if (f == FileOperation::Fault::Read && !gate->open) {
            gate->reached.release();
            gate->passage.acquire();
            gate->passage.release();
        }
        return false;
    });
    WorkerDeletedFirst deletedFirst;
    button("importAllOrdersBtn")->click();
    QTRY_VERIFY(gate->reached.available() > 0);
    QPointer<importOrdersPhotoDlg> guard = m_dlg;
    m_env->prompts.setNextAnswer(Prompts::Yes);
    m_dlg->close();
    gate->open = true;
    gate->passage.release();
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 10000);
    const QStringList imported =
        QDir(m_env->volumes.path("photos/2024-05/15/A24051501-1-豆豆-吴静-陈摄影/成品/"))
            .entryList(QDir::Files);
    QVERIFY(imported.size() < files.size());
    QCOMPARE(records().size(), 2);
    QCOMPARE(records().last().values.value("importype"), QStringLiteral("1"));
    QCOMPARE(records().last().values.value("picnumber"), QString::number(imported.size()));
}

void TestImportDialog::reImportRecordNotTaken_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("taken") << "" << QStringList();
    QTest::newRow("refused") << "refuse" << QStringList{"警告 / 错误代码：0"};
    QTest::newRow("answered 200 with a page") << "page" << QStringList{"警告 / 网络请求错误\n200"};
    QTest::newRow("answered 500") << "http" << QStringList{"警告 / 网络请求错误\n500"};
}

// The service keeps the order's folders unless it took the 重新导片 record.
void TestImportDialog::reImportRecordNotTaken()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    const QString order = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QDir().mkpath(order + "/成品缩略图");
    dialog({item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\")});
    if (fault == "refuse")
        m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    else if (fault == "page")
        m_env->service.sendRaw("order", "updatepicpath", "<html>busy</html>");
    else if (fault == "http")
        m_env->service.failHttp("order", "updatepicpath", 500);
    for (int i = 0; i < boxes.size(); ++i)
        m_env->prompts.setNextAnswer(Prompts::Ok);
    m_dlg->ordersTableWgtClickedSlot(0);
    button("reImportBtn")->click();
    QTRY_COMPARE(PendingRecords::instance().count(), 0);
    QCOMPARE(records().size(), 1);
    QCOMPARE(messages(), boxes);
}

void TestImportDialog::noOrdersAddedDuringABatch()
{
    oneOrderOnASlowShare(12);
    button("importAllOrdersBtn")->click();
    auto* late = new ImportOrderModel(item("100106", "A24051502"), nullptr);
    m_env->prompts.setNextAnswer(Prompts::Ok);
    m_dlg->getNewOrderSlot({late});
    QCOMPARE(messages(), QStringList{"提示 / 正在导片，请稍后再添加订单"});
    QCOMPARE(table()->rowCount(), 1);
    QVERIFY(!late->parent()); // still the search window's
    m_env->prompts.setNextAnswer(Prompts::Ok);
    QTRY_VERIFY_WITH_TIMEOUT(button("importAllOrdersBtn")->isEnabled(), 30000);
    FileOperation::setFaultHook({});
    QCOMPARE(messages().last(), QStringLiteral("导入完成 / 1个订单已经全部导完"));
    QVERIFY(!QFileInfo::exists(m_env->volumes.path("photos/2024-05/15/A24051502-1-豆豆-吴静-陈摄影")));
    delete late;
}

void TestImportDialog::reImportAndRowCommands()
{
    const QString order = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QDir().mkpath(order + "/成品缩略图");
    photo("photos/2024-05/12/A24051202-1/成品/a.jpg");
    dialog({item("100105", "A24051501", QString(), "写真"),
            item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\"),
            item("100106", "A24051502")});
    auto* folderEdit = m_dlg->findChild<QLineEdit*>("prefieFolderEdit");

    // A row without a folder: its suffix may be edited, trimmed and cleaned.
    m_dlg->ordersTableWgtClickedSlot(0);
    QVERIFY(m_dlg->findChild<QLabel*>("babyNameTitleLbl")->isHidden());
    QVERIFY(folderEdit->isEnabled());
    QVERIFY(!button("reImportBtn")->isEnabled());
    folderEdit->setText(QStringLiteral("  新:后缀 "));
    QCOMPARE(folderEdit->text(), QStringLiteral("新后缀"));
    QCOMPARE(m_dlg->findChildren<ImportOrderModel*>().at(0)->getDesignPrefixFolder(),
             QStringLiteral("新后缀"));

    // Re-import of the order with a folder.
    m_dlg->ordersTableWgtClickedSlot(1);
    QVERIFY(!m_dlg->findChild<QLabel*>("babyNameTitleLbl")->isHidden());
    QVERIFY(!folderEdit->isEnabled());
    QCOMPARE(m_dlg->findChild<QLabel*>("orderPathLbl")->text(), order + "/");
    ImportOrderModel* model = m_dlg->findChildren<ImportOrderModel*>().at(1);
    model->setFineImgLst({"x.jpg"});
    model->setIsFineImported(true);
    button("reImportBtn")->click();
    QVERIFY(model->getOrderPath().isEmpty() && model->getFineImgLst().isEmpty() &&
            !model->getIsFineImported());
    QVERIFY(folderEdit->isEnabled() && !button("reImportBtn")->isEnabled());
    QCOMPARE(cell(1, 3), QStringLiteral("未导入"));
    QCOMPARE(label(1, 5), QStringLiteral("0/0"));
    QTRY_COMPARE(records().size(), 1);
    QCOMPARE(records().first().values.value("orderpicpath"),
             QStringLiteral("\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\"));
    QCOMPARE(records().first().values.value("importype"), QStringLiteral("0"));

    // Removing orders: none checked, then two of three, then the last.
    m_env->prompts.setNextAnswer(Prompts::Ok);
    button("delAllOrdersBtn")->click();
    QCOMPARE(messages().last(), QStringLiteral("警告 / 您还没有选择订单"));
    QPointer<ImportOrderModel> first = m_dlg->findChildren<ImportOrderModel*>().at(0);
    table()->item(0, 0)->setCheckState(Qt::Checked);
    table()->item(2, 0)->setCheckState(Qt::Checked);
    button("delAllOrdersBtn")->click();
    QCOMPARE(table()->rowCount(), 1);
    QCOMPARE(cell(0, 0), QStringLiteral("A24051202-1"));
    QCOMPARE(selectButton(0)->property("row").toInt(), 0);
    QTRY_VERIFY(first.isNull()); // the dialog's own model is released
    button("selectAllBtn")->click();
    button("delAllOrdersBtn")->click();
    QCOMPARE(table()->rowCount(), 0);
    QCOMPARE(m_dlg->findChild<QLabel*>("orderNumLbl")->text(), QString());
    QCOMPARE(m_dlg->findChild<QLabel*>("orderN8PathLbl")->text(), QString());
    QVERIFY(folderEdit->isEnabled() && folderEdit->text().isEmpty());
}

void TestImportDialog::viewsFollowTheDisk()
{
    const QString old = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QDir().mkpath(old + "/成品缩略图");
    dialog({item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\")});
    auto* chosen = m_dlg->findChild<QTableWidget*>("orderSelectTableWgt");
    auto* imported = m_dlg->findChild<QListWidget*>("orderImportedLstWgt");
    auto* pathLabel = m_dlg->findChild<QLabel*>("orderPathLbl");
    m_dlg->ordersTableWgtClickedSlot(0);

    // Another type's choice is not shown under this one.
    choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
    QCOMPARE(chosen->rowCount(), 2);
    setType(2);
    QCOMPARE(chosen->rowCount(), 0);
    setType(1);
    QCOMPARE(chosen->rowCount(), 2);

    // A re-import and a new import: the new folder and its photos show.
    button("reImportBtn")->click();
    QCOMPARE(pathLabel->text(), QString());
    choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
    QCOMPARE(imported->count(), 0);
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    const QString folder = m_env->volumes.path("photos/2024-05/15/A24051202-1-豆豆-吴静-陈摄影/");
    QCOMPARE(pathLabel->text(), folder);
    QCOMPARE(imported->count(), 2);
}

void TestImportDialog::textsFitTheirWidgets()
{
    // 160 finished photos in one order, 3 files left behind in another, a
    // long N8 folder in a third.
    const QString full = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QDir().mkpath(full + "/成品缩略图");
    for (int i = 0; i < 160; ++i)
        QVERIFY(TestFiles::write(full + QStringLiteral("/成品/%1.jpg").arg(i), "x"));
    dialog({item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\"),
            item("100105", "A24051501"), item("100106", "A24051502")});
    m_dlg->resize(1920, 1040); // maximised on a studio's screen
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
    ImportOrderModel* left = m_dlg->findChildren<ImportOrderModel*>().at(1);
    ImportOrderModel::RunOutcome outcome;
    outcome.failed = 3;
    left->setRunOutcome(ImportFinished, outcome);
    left->setImported(ImportFinished, true);
    setType(1);
    const QFontMetrics cellMetrics(table()->font());
    for (int row = 0; row < 2; ++row)
        QVERIFY2(table()->columnWidth(3) >= cellMetrics.horizontalAdvance(cell(row, 3)),
                 qPrintable(cell(row, 3)));
    QCOMPARE(QStringList({cell(0, 3), cell(1, 3)}), QStringList({"已导入(160)", "已导入(3个失败)"}));

    const QString n8 = m_env->volumes.mkdir("card/N8/很长的文件夹名称/再长一些的子文件夹/A24051502-最后一层");
    setType(5);
    m_env->prompts.setNextPath(n8);
    selectButton(2)->click();
    m_dlg->ordersTableWgtClickedSlot(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the replaced cells
    QCoreApplication::processEvents();
    if (!qEnvironmentVariableIsEmpty("DRAVIN_GRAB"))
        m_dlg->grab().save(qEnvironmentVariable("DRAVIN_GRAB") + "/import-dialog.png");
    // Cut texts are cut in the middle and told whole as tooltips.
    QList<QPair<ElidedLabel*, QString>> labels{
        {table()->cellWidget(2, 4)->findChild<ElidedLabel*>(), "已选(" + n8 + ")"},
        {m_dlg->findChild<ElidedLabel*>("orderPathLbl"), full + "/"}};
    for (const auto& l : labels) {
        QCOMPARE(l.first->text(), l.second);
        QCOMPARE(l.first->toolTip(), l.second);
        const QString shown = l.first->displayedText();
        QVERIFY2(l.first->fontMetrics().horizontalAdvance(shown) <= l.first->contentsRect().width(),
                 qPrintable(shown));
        QVERIFY2(shown.startsWith(l.second.left(2)) && shown.endsWith(l.second.right(2)), qPrintable(shown));
    }
    QCOMPARE(m_dlg->findChild<QTableWidget*>("orderSelectTableWgt")->textElideMode(), Qt::ElideMiddle);
}

void TestImportDialog::rowClicksKeepSizeAndButtons()
{
    // Orders with long values: a long package name, long staff names.
    QJsonObject wordy = item("100105", "A24051501");
    wordy.insert("comboname", QStringLiteral("豪华全家福尊享套系（含亲子写真、三代同堂与周岁纪念精修相册）"));
    wordy.insert("role2", QStringLiteral("首席化妆造型师兼形象顾问"));
    dialog({item("100102", "A24051202"), wordy, item("100106", "A24051502")});
    m_dlg->resize(1152, 700);
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
    const QSize size = m_dlg->size();
    for (int row : {1, 0, 2, 1}) {
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                          table()->visualRect(table()->model()->index(row, 1)).center());
        QCOMPARE(m_dlg->findChild<QLabel*>("orderNumLbl")->text(),
                 QStringList({"A24051202", "A24051501", "A24051502"}).at(row));
        QCoreApplication::processEvents();
        QCOMPARE(m_dlg->size(), size);
        const QPushButton* select = selectButton(row);
        const QRect shown(select->mapTo(table()->viewport(), QPoint()), select->size());
        QVERIFY2(table()->viewport()->rect().contains(shown), qPrintable(QString::number(row)));
    }
}

void TestImportDialog::demoOrderReadsOnAStudioScreen_data()
{
    // 0: the least the dialog allows; -1: maximised by a window manager on
    // a 1024x768 screen (the rows run by import_dialog_wm)
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("points"); // the desktop's font; 0: the test platform's
    QTest::addColumn<bool>("whole");
    QTest::newRow("maximised at 1366") << 1366 << 0 << true;
    // A small station with its desktop's font.
    QTest::newRow("maximised at 1024") << 1024 << 9 << false;
    QTest::newRow("at the least width") << 0 << 9 << false;
    QTest::newRow("maximised on a 1024 screen at 11 pt") << -1 << 11 << false;
    QTest::newRow("maximised on a 1024 screen at 12 pt") << -1 << 12 << false;
}

// A batch started with the keyboard focus on a select button leaves the
// order table scrolled where staff left it.
void TestImportDialog::batchLeavesTheTableWhereItWas()
{
    dialog({item("100105", "A24051501")});
    m_dlg->resize(900, 600);
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
    choose(0, {photo("card/DCIM/IMG_1.JPG")});
    QApplication::setActiveWindow(m_dlg);
    QVERIFY(QTest::qWaitForWindowActive(m_dlg));
    QScrollBar* bar = table()->horizontalScrollBar();
    bar->setValue(bar->maximum());
    const int scrolled = bar->value();
    QVERIFY(scrolled > 0);
    selectButton(0)->setFocus();
    QCOMPARE(QApplication::focusWidget(), selectButton(0));
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    QCOMPARE(bar->value(), scrolled);
}

// The demo's own order in a dialog on a studio's screen: at 1366 its short
// values read whole, and the select buttons stay in sight; on a narrower
// one a value is cut in the middle, never to nothing, and told whole as its
// tooltip. The window, and every control in it, stays on the screen.
void TestImportDialog::demoOrderReadsOnAStudioScreen()
{
    QFETCH(int, width);
    QFETCH(int, points);
    QFETCH(bool, whole);
    if (width < 0 && !qEnvironmentVariableIsSet("DRAVIN_TEST_WM_PID"))
        QSKIP("needs a window manager: run by tests/support/runwithwm.sh");
    std::unique_ptr<DesktopFont> font(points > 0 ? new DesktopFont(points) : nullptr);
    const QJsonObject demo = storedOrder("100105");
    QVERIFY(!demo.isEmpty());
    dialog({demo}, width >= 0);
    if (width < 0) {
        m_dlg->setWindowFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowCloseButtonHint);
        m_dlg->showMaximized();
    } else {
        m_dlg->resize(width > 0 ? width : m_dlg->minimumSizeHint().width(), 740);
    }
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
    if (width < 0) {
        // Framed and maximised by the window manager, on its screen.
        QTRY_VERIFY(m_dlg->windowHandle()->frameMargins().top() > 0 && m_dlg->isMaximized());
        const QRect area = m_dlg->screen()->availableGeometry();
        QCOMPARE(area.width(), 1024);
        const QRect frame = m_dlg->windowHandle()->frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1 wide").arg(frame.width())));
        for (QWidget* control : m_dlg->findChildren<QWidget*>()) {
            if (control->isVisible() && control != table() && !table()->isAncestorOf(control)) {
                QVERIFY2(area.contains(QRect(control->mapToGlobal(QPoint()), control->size())),
                         qPrintable(control->objectName() + " " + control->metaObject()->className()));
            }
        }
    }
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                      table()->visualRect(table()->model()->index(0, 1)).center());
    QCOMPARE(m_dlg->findChild<QLabel*>("orderNumLbl")->text(), QStringLiteral("A24051501"));
    for (const char* name :
         {"orderNumLbl", "orderTypeLbl", "servNumLbl", "momNameLbl", "dadNameLbl", "babyNameLbl",
          "taoxiNameLbl", "bookedShopLbl", "bespeakDateLbl", "photoerLbl", "dresserLbl", "yindouerLbl"}) {
        const auto* value = m_dlg->findChild<ElidedLabel*>(name);
        const QString text = value->text();
        const QString shown = value->displayedText();
        const QString failure = name + (": " + shown);
        QVERIFY2(!text.isEmpty(), name);
        QVERIFY2(value->fontMetrics().horizontalAdvance(shown) <= value->contentsRect().width(),
                 qPrintable(failure));
        if (whole || shown == text) {
            QVERIFY2(shown == text, qPrintable(failure));
            continue;
        }
        // Cut in the middle, with a character of the value on each side.
        const int cut = shown.indexOf(QStringLiteral("…"));
        QVERIFY2(cut > 0 && cut < shown.size() - 1, qPrintable(failure));
        QVERIFY2(text.startsWith(shown.left(cut)) && text.endsWith(shown.mid(cut + 1)), qPrintable(failure));
        QCOMPARE(value->toolTip(), text);
    }
    if (width > 0)
        QCOMPARE(m_dlg->width(), width);
    if (!whole)
        return;
    // The select buttons stay in sight.
    const QPushButton* select = selectButton(0);
    QVERIFY(table()->viewport()->rect().contains(
        QRect(select->mapTo(table()->viewport(), QPoint()), select->size())));
}

void TestImportDialog::orderAddedAgainComesBackAsLeft_data()
{
    // Where the order is added again from once it has been removed.
    QTest::addColumn<QString>("from");
    QTest::newRow("the window it came from") << "same";
    QTest::newRow("a second search in that window before the import") << "searched again";
    QTest::newRow("a second search window before the import") << "second window";
}

// An order removed from the list and added again from any of the dialog's
// search windows comes back as the dialog left it; the windows close with
// the dialog.
void TestImportDialog::orderAddedAgainComesBackAsLeft()
{
    QFETCH(QString, from);
    dialog({});
    // The windows go with the row, whatever it found.
    const auto closeWindows = qScopeGuard([] { qDeleteAll(topLevelWindows<SearchOrderWindow>()); });
    QPointer<SearchOrderWindow> first = openSearch();
    QVERIFY(first);
    searchDemoOrder(first);
    if (QTest::currentTestFailed())
        return;
    first->findChild<QPushButton*>("addOrdersBtn")->click();
    QCOMPARE(table()->rowCount(), 1);
    // Searches made before the import list the order as it was then.
    QPointer<SearchOrderWindow> addFrom = first;
    if (from == "searched again") {
        searchDemoOrder(first);
    } else if (from == "second window") {
        addFrom = openSearch();
        QVERIFY(addFrom);
        searchDemoOrder(addFrom);
    }
    if (QTest::currentTestFailed())
        return;
    choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    const QString folder =
        m_env->volumes.path("photos/2024-05/15/A24051501-1-张豆豆-吴静-张伟-陈摄影-林化妆/");
    const auto* orderPath = m_dlg->findChild<ElidedLabel*>("orderPathLbl");
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));
    QCOMPARE(orderPath->text(), folder);

    button("selectAllBtn")->click();
    button("delAllOrdersBtn")->click();
    QCOMPARE(table()->rowCount(), 0);
    // As staff's next click would, and with the order still checked there.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    addFrom->findChild<QPushButton*>("addOrdersBtn")->click();
    QCOMPARE(table()->rowCount(), 1);
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                      table()->visualRect(table()->model()->index(0, 1)).center());
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));
    QCOMPARE(orderPath->text(), folder);
    auto* imported = m_dlg->findChild<QListWidget*>("orderImportedLstWgt");
    QTRY_COMPARE(imported->count(), 2);
    QVERIFY(!m_dlg->findChild<QLineEdit*>("prefieFolderEdit")->isEnabled());
    QVERIFY(button("reImportBtn")->isEnabled());
    QCOMPARE(messages(), QStringList{"导入完成 / 1个订单已经全部导完"});

    // The search windows go with the dialog.
    m_dlg->close();
    QVERIFY(!first->isVisible() && !addFrom->isVisible());
    QTRY_VERIFY(first.isNull() && addFrom.isNull());
    QTRY_VERIFY(m_dlg.isNull());
}

void TestImportDialog::orderLetGoComesBackAsTheServiceHasIt_data()
{
    QTest::addColumn<QString>("suffix"); // typed before the order was removed
    QTest::newRow("the suffix kept") << "";
    QTest::newRow("the suffix changed") << "补拍";
}

// An order removed from the list and imported by another window since comes
// back, added again, as the service has it now: its folder and count, and
// a further import goes into that folder.
void TestImportDialog::orderLetGoComesBackAsTheServiceHasIt()
{
    QFETCH(QString, suffix);
    const auto closeWindows = qScopeGuard([] { qDeleteAll(topLevelWindows<SearchOrderWindow>()); });
    const auto addDemoOrder = [this](SearchOrderWindow* search) {
        searchDemoOrder(search);
        search->findChild<QPushButton*>("addOrdersBtn")->click();
    };
    dialog({});
    QPointer<SearchOrderWindow> search = openSearch();
    QVERIFY(search);
    addDemoOrder(search);
    QCOMPARE(table()->rowCount(), 1);
    QCOMPARE(cell(0, 3), QStringLiteral("未导入"));
    auto* folderSuffix = m_dlg->findChild<QLineEdit*>("prefieFolderEdit");
    if (!suffix.isEmpty()) {
        m_dlg->ordersTableWgtClickedSlot(0);
        QVERIFY(folderSuffix->isEnabled());
        folderSuffix->setText(suffix);
    }
    button("selectAllBtn")->click();
    button("delAllOrdersBtn")->click();
    QCOMPARE(table()->rowCount(), 0);

    // A second dialog imports two photos into the order.
    QPointer<importOrdersPhotoDlg> first = m_dlg;
    const auto deleteFirst = qScopeGuard([&first] { delete first.data(); });
    dialog({});
    addDemoOrder(openSearch());
    choose(0, {photo("card/DCIM/IMG_1.JPG"), photo("card/DCIM/IMG_2.JPG")});
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    QCOMPARE(storedFinishnum("100105"), QStringLiteral("2"));
    m_dlg->close();
    QTRY_VERIFY(m_dlg.isNull());
    m_dlg = first;

    // Added again from a fresh search of the first dialog's window.
    addDemoOrder(search);
    const QString day = m_env->volumes.path("photos/2024-05/15/");
    const QString folder = day + "A24051501-1-张豆豆-吴静-张伟-陈摄影-林化妆/";
    QCOMPARE(table()->rowCount(), 1);
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                      table()->visualRect(table()->model()->index(0, 1)).center());
    QCOMPARE(cell(0, 3), QStringLiteral("已导入(2)"));
    QCOMPARE(m_dlg->findChild<ElidedLabel*>("orderPathLbl")->text(), folder);
    QVERIFY(!folderSuffix->isEnabled());
    QTRY_COMPARE(m_dlg->findChild<QListWidget*>("orderImportedLstWgt")->count(), 2);

    // One more photo: into the same folder, which the service still names.
    choose(0, {photo("card/DCIM/IMG_3.JPG")});
    m_env->prompts.setNextAnswer(Prompts::Ok);
    runBatch();
    QCOMPARE(QDir(day).entryList({"A24051501*"}, QDir::Dirs),
             QStringList{QFileInfo(folder.chopped(1)).fileName()});
    QCOMPARE(QDir(folder + "成品").entryList(QDir::Files).size(), 3);
    QCOMPARE(storedFinishnum("100105"), QStringLiteral("3"));
    const QString storedPath = storedOrder("100105").value("orderpath").toString();
    QVERIFY2(storedPath.endsWith("2024-05/15/A24051501-1-张豆豆-吴静-张伟-陈摄影-林化妆/"),
             qPrintable(storedPath));
    const QString done = "导入完成 / 1个订单已经全部导完";
    QCOMPARE(messages(), (QStringList{done, done}));
}

namespace {

// Boxes of a user slow to answer the close question: it stays open, with
// the dialog working on behind it, until the batch button is back.
class SlowToAnswer : public ScriptedPrompts
{
public:
    explicit SlowToAnswer(QPushButton* batchButton) : m_batchButton(batchButton) {}
    // The boxes that came up while the question was open.
    QStringList overTheQuestion;

protected:
    Answer ask(const Message& m) override
    {
        if (m_questionOpen)
            overTheQuestion.append(m.text);
        const Answer answer = ScriptedPrompts::ask(m);
        if (m.text == QStringLiteral("正在导片，确定停止导片并关闭吗？")) {
            m_questionOpen = true;
            QDeadlineTimer deadline(30000);
            while (!m_batchButton->isEnabled() && !deadline.hasExpired())
                QTest::qWait(10);
            m_questionOpen = false;
        }
        return answer;
    }

private:
    QPushButton* m_batchButton;
    bool m_questionOpen = false;
};

} // namespace

void TestImportDialog::endBoxWaitsForTheCloseQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("refused"); // the completion record
    QTest::addColumn<QString>("box");  // after the question, the only one
    const QString done = "导入完成 / 1个订单已经全部导完";
    QTest::newRow("no: the dialog stays") << int(Prompts::No) << false << false << done;
    QTest::newRow("yes: the dialog closes") << int(Prompts::Yes) << true << false << done;
    // Nothing sends the record once the window has closed: named once, so.
    QTest::newRow("yes, the record refused: named with the close")
        << int(Prompts::Yes) << true << true
        << "警告 / 以下订单上报失败：\nA24051501：订单不存在\n"
           "窗口已关闭，以上订单的记录不再上报，请核对照片数量";
}

void TestImportDialog::endBoxWaitsForTheCloseQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, refused);
    QFETCH(QString, box);
    oneOrderOnASlowShare(6);
    if (refused)
        m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    SlowToAnswer prompts(button("importAllOrdersBtn"));
    prompts.setNextAnswer(Prompts::StandardButton(answer));
    prompts.setNextAnswer(Prompts::Ok);
    button("importAllOrdersBtn")->click();
    QPointer<importOrdersPhotoDlg> guard = m_dlg;
    m_dlg->close();

    QTRY_COMPARE(prompts.messages().size(), 2);
    QCOMPARE(prompts.overTheQuestion, QStringList());
    QCOMPARE(prompts.messages().at(0).text, QStringLiteral("正在导片，确定停止导片并关闭吗？"));
    QCOMPARE(prompts.messages().at(1).title + " / " + prompts.messages().at(1).text, box);
    QTRY_COMPARE(guard.isNull() || !guard->isVisible(), closed);
    QTRY_VERIFY(guard.isNull() || !closed);
    QCOMPARE(prompts.messages().size(), 2);
    QVERIFY(prompts.unexpected().isEmpty());
}

namespace {

// A share whose writes wait, from the first one, until it is let go, at the
// latest as it goes.
class HeldShare
{
public:
    HeldShare()
    {
        FileOperation::setFaultHook([state = m_state](FileOperation::Fault f, const QString&) {
            if (f == FileOperation::Fault::Write) {
                state->writing = true;
                while (!state->free)
                    QThread::yieldCurrentThread();
            }
            return false;
        });
    }
    ~HeldShare() { letGo(); }
    bool writing() const { return m_state->writing; }
    void letGo() { m_state->free = true; }

private:
    struct State
    {
        std::atomic<bool> writing{false};
        std::atomic<bool> free{false};
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Tells when an import worker's deletion comes, which follows the dialog's
// handling of the worker's end.
class WorkerGone : public QObject
{
public:
    WorkerGone() { QCoreApplication::instance()->installEventFilter(this); }
    bool gone() const { return m_gone; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::DeferredDelete && qobject_cast<ImportOrderThread*>(watched))
            m_gone = true;
        return false;
    }

private:
    bool m_gone = false;
};

} // namespace

void TestImportDialog::closedBatchEndsUnderAnOpenBox_data()
{
    QTest::addColumn<QString>("box"); // open while the stopped batch ends
    QTest::addColumn<int>("answer");
    QTest::newRow("a search finding nothing") << "提示 / 没有查询到任何订单" << int(Prompts::Yes);
    QTest::newRow("a refused search") << "警告 / 错误代码：40" << int(Prompts::Yes);
    QTest::newRow("添加选中订单 with nothing ticked") << "提示 / 请选择导入的订单" << int(Prompts::Ok);
    QTest::newRow("the dialog's own box during the stop")
        << "提示 / 正在导片，请稍后再添加订单" << int(Prompts::Ok);
}

// A box runs an event loop of its own. A batch stopped by closing the
// dialog that ends while a box of its search window, or its own, is open
// takes neither window away under the box, and asks no box over it: the
// dialog stays shown, both go once it is answered, and the record not taken
// is named once.
void TestImportDialog::closedBatchEndsUnderAnOpenBox()
{
    QFETCH(QString, box);
    QFETCH(int, answer);
    QStringList files;
    for (int i = 0; i < 6; ++i)
        files.append(photo(QStringLiteral("card/DCIM/IMG_%1.JPG").arg(i)));
    dialog({item("100105", "A24051501")});
    choose(0, files);
    // The share holds the photo in work until the box is open.
    HeldShare share;
    m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    const auto closeWindows = qScopeGuard([] { qDeleteAll(topLevelWindows<SearchOrderWindow>()); });
    QPointer<SearchOrderWindow> search = openSearch();
    QVERIFY(search);
    if (box.contains("正在导片"))
        searchDemoOrder(search);
    if (box.contains("错误代码"))
        m_env->service.refuse("order", "order_list", "40", QStringLiteral("无权限"));

    button("importAllOrdersBtn")->click();
    QTRY_VERIFY(share.writing());
    QPointer<importOrdersPhotoDlg> dlg = m_dlg;
    m_env->prompts.setNextAnswer(Prompts::Yes);
    m_dlg->close();
    QVERIFY(dlg->isVisible());
    // Open until the worker has gone: the batch has ended under the box.
    const WorkerGone worker;
    bool shownUnderTheBox = true;
    m_env->prompts.setNextAnswerWhen(
        [&share, &worker, &shownUnderTheBox, dlg] {
            share.letGo();
            shownUnderTheBox = shownUnderTheBox && dlg && dlg->isVisible();
            return worker.gone();
        },
        Prompts::StandardButton(answer));
    m_env->prompts.setNextAnswer(Prompts::Ok);
    bool goneUnderTheBox = false;
    QObject row;
    for (QObject* window : {static_cast<QObject*>(search.data()), static_cast<QObject*>(dlg.data())}) {
        connect(window, &QObject::destroyed, &row,
                [this, &goneUnderTheBox] { goneUnderTheBox = goneUnderTheBox || m_env->prompts.holding(); });
    }
    if (box.contains("正在导片") || box.contains("请选择")) {
        search->findChild<QPushButton*>("addOrdersBtn")->click();
    } else {
        search->findChild<QLineEdit*>("orderNumber")->setText("A99999999");
        search->findChild<QPushButton*>("searchButton")->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(search.isNull() && dlg.isNull(), 20000);
    QVERIFY(!goneUnderTheBox);
    QVERIFY(shownUnderTheBox);
    for (const ScriptedPrompts::Call& call : m_env->prompts.messages())
        QVERIFY2(!call.overHeld, qPrintable(call.text));
    QCOMPARE(messages(), (QStringList{"提示 / 正在导片，确定停止导片并关闭吗？", box,
                                      "警告 / 以下订单上报失败：\nA24051501：订单不存在\n"
                                      "窗口已关闭，以上订单的记录不再上报，请核对照片数量"}));
}

// The last box of a batch stopped by a confirmed close is open while a
// record the dialog posted before the batch (重新导片) is answered: the
// dialog, closed and idle then, is released once the box is answered, never
// under it.
void TestImportDialog::lastBoxOfAStoppedBatchOutlastsItsRecords()
{
    const QString folder = m_env->volumes.mkdir("photos/2024-05/12/A24051202-1");
    QDir().mkpath(folder + "/成品缩略图");
    dialog({item("100102", "A24051202", "\\\\studio-nas\\photos\\2024-05\\12\\A24051202-1\\")});
    // The 重新导片 record goes to a service that answers it only once the
    // box is open; the batch's records go to the row's own.
    const auto later = std::make_unique<StandIn>();
    later->hold("order", "updatepicpath");
    m_dlg->ordersTableWgtClickedSlot(0);
    button("reImportBtn")->click();
    Config::url_host = m_env->service.baseUrl();
    Config::composeRoutes();
    const QList<QNetworkReply*> posted = m_dlg->findChildren<QNetworkReply*>();
    QCOMPARE(posted.size(), 1);
    const QPointer<QNetworkReply> reImportRecord = posted.first();
    QTRY_COMPARE(later->requests("order", "updatepicpath").size(), 1);

    QStringList files;
    for (int i = 0; i < 6; ++i)
        files.append(photo(QStringLiteral("card/DCIM/IMG_%1.JPG").arg(i)));
    choose(0, files);
    // The share holds the photo in work until the close is answered.
    HeldShare share;
    m_env->service.refuse("order", "updatepicpath", "0", QStringLiteral("订单不存在"));
    button("importAllOrdersBtn")->click();
    QTRY_VERIFY(share.writing());
    QPointer<importOrdersPhotoDlg> dlg = m_dlg;
    m_env->prompts.setNextAnswer(Prompts::Yes);
    m_dlg->close();
    share.letGo();
    bool released = false;
    m_env->prompts.setNextAnswerWhen(
        [&released, &later, reImportRecord] {
            if (!std::exchange(released, true))
                later->release("order", "updatepicpath");
            return reImportRecord.isNull() || reImportRecord->isFinished();
        },
        Prompts::Ok);
    bool goneUnderTheBox = false;
    QObject row;
    connect(dlg, &QObject::destroyed, &row,
            [this, &goneUnderTheBox] { goneUnderTheBox = m_env->prompts.holding(); });
    QTRY_VERIFY_WITH_TIMEOUT(dlg.isNull(), 20000);
    QVERIFY(!goneUnderTheBox);
    QVERIFY(released);
    QCOMPARE(messages(), (QStringList{"提示 / 正在导片，确定停止导片并关闭吗？",
                                      "警告 / 以下订单上报失败：\nA24051202：订单不存在\n"
                                      "窗口已关闭，以上订单的记录不再上报，请核对照片数量"}));
}

QTEST_MAIN(TestImportDialog)
#include "tst_importdialog.moc"
