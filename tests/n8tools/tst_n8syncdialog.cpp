#include "config.h"
#include "demosignin.h"
#include "fileoperation.h"
#include "n8syncbaseinfodialog.h"
#include "testfiles.h"
#include "toplevelwindows.h"
#include "windowtestenv.h"

#include <QtTest>

#include <QJsonArray>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QXmlStreamReader>

// The staff and product sync dialog against the stand-in service, writing
// into store folders under a temporary mount root.
class TestN8SyncDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void syncRunsThroughItsStates();
    void failedListRequest_data();
    void failedListRequest();
    void cancelDuringTheRequest();
    void closingTextNamesWrittenStores_data();
    void closingTextNamesWrittenStores();
    void refusedWritesKeepTheOldFile_data();
    void refusedWritesKeepTheOldFile();
    void emptyListIsWritten_data();
    void emptyListIsWritten();
    void fromTheLauncher();

private:
    N8SyncBaseInfoDialog* makeDialog();
    QString label() const { return m_dialog->findChild<QLabel*>("lb_message")->text(); }
    QPushButton* button(const char* name) const { return m_dialog->findChild<QPushButton*>(name); }
    // The buttons shown, in form order.
    QStringList shownButtons() const;
    void waitIdle();

    std::unique_ptr<WindowTestEnv> m_env;
    QPointer<N8SyncBaseInfoDialog> m_dialog;
};

namespace {

const QJsonArray kStores{
    QJsonObject{{"id", "1201"}, {"name", "旗舰店一馆"}, {"n8path", "\\\\studio-nas\\n8\\store1201"}},
    QJsonObject{{"id", "1202"}, {"name", "旗舰店二馆"}, {"n8path", "\\\\studio-nas\\n8\\store1202"}}};

// The demo shop's staff as readStaff() gives them.
const QStringList kDemoStaff = {"nemovg", "1024/李店长", "1101/陈摄影", "1102/林&化妆", "1103/周<设计>"};

// The staff file as a list of {id, name} pairs; its root element first.
QStringList readStaff(const QString& path)
{
    QXmlStreamReader xml(TestFiles::readAll(path));
    QStringList entries;
    if (xml.readNextStartElement()) {
        entries.append(xml.name().toString());
        while (xml.readNextStartElement()) {
            QString entry;
            while (xml.readNextStartElement())
                entry += (entry.isEmpty() ? "" : "/") + xml.readElementText();
            entries.append(entry);
        }
    }
    if (xml.hasError())
        entries.append(xml.errorString());
    return entries;
}

} // namespace

void TestN8SyncDialog::init()
{
    m_env = std::make_unique<WindowTestEnv>();
    StandIn::useDemoIdentity();
    m_env->volumes.mkdir("n8/store1201");
    m_env->volumes.mkdir("n8/store1202");
}

void TestN8SyncDialog::cleanup()
{
    delete m_dialog.data();
    FileOperation::setFaultHook({});
    QVERIFY2(m_env->prompts.unexpected().isEmpty(), qPrintable(m_env->prompts.unexpected().join('|')));
    m_env.reset();
}

N8SyncBaseInfoDialog* TestN8SyncDialog::makeDialog()
{
    m_dialog = new N8SyncBaseInfoDialog(nullptr);
    m_dialog->stores = kStores;
    m_dialog->shopId = QStringLiteral("12");
    m_dialog->show();
    return m_dialog;
}

QStringList TestN8SyncDialog::shownButtons() const
{
    QStringList shown;
    for (const char* name : {"pb_syncpeo", "pb_syncpro", "pb_retry", "pb_cancel"}) {
        if (button(name)->isVisible())
            shown.append(button(name)->text());
    }
    return shown;
}

void TestN8SyncDialog::waitIdle()
{
    QTRY_VERIFY_WITH_TIMEOUT(button("pb_syncpeo")->isVisible(), 10000);
}

void TestN8SyncDialog::syncRunsThroughItsStates()
{
    makeDialog();
    QCOMPARE(m_dialog->objectName(), QStringLiteral("N8SyncBaseInfoDialog"));
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("同步员工/产品信息到N8系统"));
    QCOMPARE(label(), QStringLiteral("请点击需要同步的数据类型"));
    QCOMPARE(m_dialog->findChild<QProgressBar*>("progressBar")->maximum(), 10);
    QCOMPARE(shownButtons(), QStringList({"同步全部员工", "同步全部产品"}));
    QVERIFY(m_dialog->metaObject()->indexOfMethod("slt_threademit(QJsonObject)") >= 0);

    QList<int> steps;
    auto* bar = m_dialog->findChild<QProgressBar*>("progressBar");
    QObject stepWatch; // goes before the list it fills
    connect(bar, &QProgressBar::valueChanged, &stepWatch, [&steps](int v) { steps.append(v); });
    m_env->service.delay("n8", "getpersons", 300);
    QTest::mouseClick(button("pb_syncpeo"), Qt::LeftButton);
    QCOMPARE(label(), QStringLiteral("正在获取员工信息..."));
    QCOMPARE(shownButtons(), QStringList({"取消"}));
    QVERIFY(m_dialog->isBusy);
    QCOMPARE(bar->maximum(), 4); // two stores, the list and the text
    m_dialog->req_datas();       // busy: nothing more is sent
    waitIdle();

    QCOMPARE(steps, QList<int>({1, 2, 3, 4}));
    QCOMPARE(label(), QStringLiteral("旗舰店一馆,旗舰店二馆 门店的员工数据导入N8成功！"));
    QVERIFY(!m_dialog->isBusy);
    QCOMPARE(m_env->service.requests("n8", "getpersons").size(), 1);
    QCOMPARE(readStaff(m_env->volumes.path("n8/store1201/产品/VgStaff.xml")), kDemoStaff);
    QCOMPARE(readStaff(m_env->volumes.path("n8/store1202/产品/VgStaff.xml")), kDemoStaff);
    QVERIFY(m_env->prompts.messages().isEmpty());
}

void TestN8SyncDialog::failedListRequest_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("box"); // empty: none
    QTest::newRow("transport") << "http"
                               << "网络请求错误！"
                               << "网络请求错误\n502";
    QTest::newRow("not json") << "<html>"
                              << "数据格式错误100！"
                              << "";
    QTest::newRow("json, not an object") << "[1]"
                                         << "数据格式错误101！"
                                         << "";
    QTest::newRow("refused") << "refuse"
                             << "店铺已停用"
                             << "店铺已停用";
    // A list reply without its list is as broken as one that never came.
    QTest::newRow("no goods list") << R"({"code":"1","persons":[{"id":"1","name":"李"}]})"
                                   << "网络请求错误！"
                                   << "网络请求错误\n200";
    QTest::newRow("goods not a list") << R"({"code":"1","goods":{"id":"1"}})"
                                      << "网络请求错误！"
                                      << "网络请求错误\n200";
}

void TestN8SyncDialog::failedListRequest()
{
    QFETCH(QString, fault);
    QFETCH(QString, label);
    QFETCH(QString, box);
    if (fault == "http")
        m_env->service.failHttp("n8", "getgoods", 502);
    else if (fault == "refuse")
        m_env->service.refuse("n8", "getgoods", "0", "店铺已停用");
    else
        m_env->service.sendRaw("n8", "getgoods", fault.toUtf8());
    if (!box.isEmpty())
        m_env->prompts.setNextAnswer(Prompts::Yes);
    makeDialog();
    QTest::mouseClick(button("pb_syncpro"), Qt::LeftButton);
    QTRY_VERIFY(button("pb_retry")->isVisible());
    QCOMPARE(this->label(), label);
    QCOMPARE(shownButtons(), QStringList({"重试", "取消"}));
    QCOMPARE(m_dialog->lastError, QStringLiteral("网络请求错误"));
    QVERIFY(!m_dialog->isBusy);
    // The failure was told; no store may be written after it.
    QTest::qWait(100);
    QVERIFY(!QFileInfo::exists(m_env->volumes.path("n8/store1201/产品")));
    if (box.isEmpty()) {
        QVERIFY(m_env->prompts.messages().isEmpty());
    } else {
        QCOMPARE(m_env->prompts.messages().size(), 1);
        QCOMPARE(m_env->prompts.last().title, QStringLiteral("警告"));
        QCOMPARE(m_env->prompts.last().text, box);
        QCOMPARE(m_env->prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
        QVERIFY(!m_env->prompts.last().hasParent);
    }

    // 重试 repeats the product request, which now goes through.
    m_env->service.clearFaults();
    QTest::mouseClick(button("pb_retry"), Qt::LeftButton);
    waitIdle();
    QCOMPARE(m_env->service.requests("n8", "getgoods").size(), 2);
    QCOMPARE(this->label(), QStringLiteral("旗舰店一馆,旗舰店二馆 门店的产品数据导入N8成功！"));
}

void TestN8SyncDialog::cancelDuringTheRequest()
{
    m_env->service.delay("n8", "getpersons", 400);
    makeDialog();
    QTest::mouseClick(button("pb_syncpeo"), Qt::LeftButton);
    QTRY_COMPARE(m_env->service.requests("n8", "getpersons").size(), 1); // held by the service
    QTest::mouseClick(button("pb_cancel"), Qt::LeftButton);
    QCOMPARE(label(), QStringLiteral("请点击需要同步的数据类型"));
    QCOMPARE(shownButtons(), QStringList({"同步全部员工", "同步全部产品"}));
    QCOMPARE(m_dialog->findChild<QProgressBar*>("progressBar")->value(), 0);
    // The request's reply, aborted or late, handled; then a moment in which
    // nothing may follow it.
    QTRY_VERIFY_WITH_TIMEOUT(m_dialog->findChildren<QNetworkReply*>().isEmpty(), 10000);
    QTest::qWait(100);
    // The late reply started nothing.
    QVERIFY(!QFileInfo::exists(m_env->volumes.path("n8/store1201/产品")));
    QCOMPARE(label(), QStringLiteral("请点击需要同步的数据类型"));
    QVERIFY(!m_dialog->isBusy);
    QVERIFY(m_env->prompts.messages().isEmpty());
}

void TestN8SyncDialog::closingTextNamesWrittenStores_data()
{
    QTest::addColumn<QStringList>("missing"); // store folders taken away
    // The first store's path in place of its own; "@": a folder beside the mount root.
    QTest::addColumn<QString>("firstPath");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QString>("errors");
    QTest::newRow("first of two failed")
        << QStringList{"store1201"} << ""
        << "旗舰店二馆 门店的员工数据导入N8成功！"
        << "\n旗舰店一馆n8路径错误，写入失败：\\\\studio-nas\\n8\\store1201\\产品";
    QTest::newRow("both failed") << QStringList{"store1201", "store1202"} << ""
                                 << "员工数据导入N8失败！"
                                 << "\n旗舰店一馆n8路径错误，写入失败：\\\\studio-nas\\n8\\store1201\\产品"
                                    "\n旗舰店二馆n8路径错误，写入失败：\\\\studio-nas\\n8\\store1202\\产品";
    QTest::newRow("store path climbing out of the share")
        << QStringList() << "\\\\studio-nas\\n8\\..\\..\\outside"
        << "旗舰店二馆 门店的员工数据导入N8成功！"
        << "\n旗舰店一馆n8路径错误，写入失败：\\\\studio-nas\\n8\\..\\..\\outside\\产品";
    QTest::newRow("plain path outside the mount root") << QStringList() << "@"
                                                       << "旗舰店二馆 门店的员工数据导入N8成功！"
                                                       << "\n旗舰店一馆n8路径错误，写入失败：@\\产品";
    // "*": the store's 产品/ cannot be looked at ("<n8>": the stores' folder).
    QTest::newRow("产品/ not looked at") << QStringList{"*store1201"} << ""
                                         << "旗舰店二馆 门店的员工数据导入N8成功！"
                                         << "\n旗舰店一馆 目录读取失败：<n8>/store1201/产品";
}

void TestN8SyncDialog::closingTextNamesWrittenStores()
{
    QFETCH(QStringList, missing);
    QFETCH(QString, firstPath);
    QFETCH(QString, closing);
    QFETCH(QString, errors);
    QString unseen;
    for (const QString& store : missing) {
        if (store.startsWith('*'))
            unseen = m_env->volumes.path("n8/" + store.mid(1) + "/产品");
        else
            QVERIFY(QDir(m_env->volumes.path("n8/" + store)).removeRecursively());
    }
    FileOperation::setFaultHook([unseen](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::LookUp && path == unseen;
    });
    errors.replace("<n8>", m_env->volumes.path("n8"));
    // Where "..\.." leads from the share, and a plain path: both beside the mount root.
    const QString outside = QDir::cleanPath(m_env->volumes.root() + "../outside");
    QVERIFY(QDir().mkpath(outside));
    firstPath.replace("@", outside);
    errors.replace("@", outside);
    m_env->prompts.setNextAnswer(Prompts::Yes);
    makeDialog();
    if (!firstPath.isEmpty()) {
        QJsonObject first = m_dialog->stores.at(0).toObject();
        first.insert("n8path", firstPath);
        m_dialog->stores.replace(0, first);
    }
    QTest::mouseClick(button("pb_syncpeo"), Qt::LeftButton);
    waitIdle();
    QCOMPARE(m_env->prompts.messages().size(), 1);
    QCOMPARE(m_env->prompts.last().title, QStringLiteral("温馨提示"));
    QCOMPARE(m_env->prompts.last().text, errors);
    QCOMPARE(label(), closing);
    QCOMPARE(TestFiles::entries(outside), QStringList());
    if (missing.isEmpty())
        QCOMPARE(readStaff(m_env->volumes.path("n8/store1202/产品/VgStaff.xml")), kDemoStaff);
}

void TestN8SyncDialog::refusedWritesKeepTheOldFile_data()
{
    QTest::addColumn<QString>("fault");       // "Close" or "DiskFull"
    QTest::addColumn<QStringList>("refused"); // store folders whose write fails
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QString>("closing");
    QTest::newRow("first store refused at close")
        << "Close" << QStringList{"store1201"} << "\n旗舰店一馆 文件打开失败，错误原因：写入失败"
        << "旗舰店二馆 门店的员工数据导入N8成功！";
    QTest::newRow("second store full")
        << "DiskFull" << QStringList{"store1202"} << "\n旗舰店二馆 文件打开失败，错误原因：磁盘空间不足"
        << "旗舰店一馆 门店的员工数据导入N8成功！";
    QTest::newRow("both refused") << "Close" << QStringList{"store1201", "store1202"}
                                  << "\n旗舰店一馆 文件打开失败，错误原因：写入失败"
                                     "\n旗舰店二馆 文件打开失败，错误原因：写入失败"
                                  << "员工数据导入N8失败！";
}

void TestN8SyncDialog::refusedWritesKeepTheOldFile()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, refused);
    QFETCH(QString, errors);
    QFETCH(QString, closing);
    const QByteArray old = "<nemovg><Staff><id>1</id><name>旧员工</name></Staff></nemovg>";
    QStringList files;
    for (const char* store : {"store1201", "store1202"})
        files.append(m_env->volumes.writeFile(QStringLiteral("n8/%1/产品/VgStaff.xml").arg(store), old));
    const FileOperation::Fault kind =
        fault == "Close" ? FileOperation::Fault::Close : FileOperation::Fault::DiskFull;
    FileOperation::setFaultHook([kind, refused](FileOperation::Fault f, const QString& path) {
        return f == kind && refused.contains(QFileInfo(path).dir().absolutePath().section('/', -2, -2));
    });
    m_env->prompts.setNextAnswer(Prompts::Yes);
    makeDialog();
    QTest::mouseClick(button("pb_syncpeo"), Qt::LeftButton);
    waitIdle();
    FileOperation::setFaultHook({});

    QCOMPARE(m_env->prompts.messages().size(), 1);
    QCOMPARE(m_env->prompts.last().title, QStringLiteral("温馨提示"));
    QCOMPARE(m_env->prompts.last().text, errors);
    QCOMPARE(label(), closing);
    for (const QString& file : files) {
        const bool failed = refused.contains(file.section('/', -3, -3));
        if (failed)
            QCOMPARE(TestFiles::readAll(file), old);
        else
            QCOMPARE(readStaff(file), kDemoStaff);
        // Nothing half-written is left beside it.
        QCOMPARE(TestFiles::entries(QFileInfo(file).path()), QStringList{"VgStaff.xml"});
    }
}

void TestN8SyncDialog::emptyListIsWritten_data()
{
    QTest::addColumn<QString>("syncButton");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("closing");
    QTest::newRow("staff") << "pb_syncpeo"
                           << "VgStaff.xml"
                           << "旗舰店一馆,旗舰店二馆 门店的员工数据导入N8成功！";
    QTest::newRow("products") << "pb_syncpro"
                              << "productList.xml"
                              << "旗舰店一馆,旗舰店二馆 门店的产品数据导入N8成功！";
}

void TestN8SyncDialog::emptyListIsWritten()
{
    QFETCH(QString, syncButton);
    QFETCH(QString, file);
    QFETCH(QString, closing);
    const QString path = m_env->volumes.writeFile("n8/store1201/产品/" + file, "<nemovg>earlier</nemovg>");
    m_env->service.sendRaw("n8", syncButton == "pb_syncpeo" ? "getpersons" : "getgoods",
                           R"({"code":"1","persons":[],"goods":[]})");
    makeDialog();
    QTest::mouseClick(button(qPrintable(syncButton)), Qt::LeftButton);
    waitIdle();
    QCOMPARE(label(), closing);
    QCOMPARE(readStaff(path), QStringList{"nemovg"});
    QVERIFY(m_env->prompts.messages().isEmpty());
}

void TestN8SyncDialog::fromTheLauncher()
{
    QVERIFY(QDir(m_env->volumes.path("n8/store1202")).removeRecursively());
    DemoSignIn front;
    SelectTool* launcher = front.signIn();
    QVERIFY(launcher);
    auto* sync = launcher->findChild<QPushButton*>("pb_syncton8");
    QVERIFY(sync->isEnabled());
    m_env->prompts.setNextCustomAnswer(0);
    QTest::mouseClick(sync, Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<N8SyncBaseInfoDialog>());
    QCOMPARE(m_env->prompts.last().text,
             QStringLiteral("旗舰店二馆 的N8路径和本机不在同一局域网不能同步到N8"));
    m_dialog = topLevelWindow<N8SyncBaseInfoDialog>();
    QVERIFY(m_dialog->isModal());
    QVERIFY(m_dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(m_dialog->shopId, QStringLiteral("12"));

    m_env->service.clearLog();
    QTest::mouseClick(button("pb_syncpeo"), Qt::LeftButton);
    waitIdle();
    const auto log = m_env->service.log();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().a, QStringLiteral("getpersons"));
    QCOMPARE(log.first().keys, QStringList({"token", "shopid", "uid"}));
    QCOMPARE(log.first().values.value("shopid"), QStringLiteral("12"));
    QCOMPARE(log.first().values.value("uid"), Config::uid);
    QCOMPARE(readStaff(m_env->volumes.path("n8/store1201/产品/VgStaff.xml")), kDemoStaff);
    QCOMPARE(label(), QStringLiteral("旗舰店一馆 门店的员工数据导入N8成功！"));
    m_dialog->close();
    QTRY_VERIFY(m_dialog.isNull());
}

QTEST_MAIN(TestN8SyncDialog)
#include "tst_n8syncdialog.moc"
