#include "barcodedownload.h"
#include "clock.h"
#include "demosignin.h"
#include "fileoperation.h"
#include "jpegfixture.h"
#include "messageboxdialog.h"
#include "searchorder.h"
#include "searchorderwindow.h"
#include "separationtestenv.h"
#include "splitaftersample.h"
#include "testfiles.h"
#include "webservice.h"

#include <QtTest>

#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTextEdit>

#include <memory>

// Separation runs of the design and post-sample windows on real order
// trees under a temporary mount root, against the stand-in service.
class TestSeparationRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fromTheLauncher_data();
    void fromTheLauncher();
    void stages_data();
    void stages();
    void replyFailureStopsAndRestarts_data();
    void replyFailureStopsAndRestarts();
    void closingMidRun_data();
    void closingMidRun();
    void earlyEnd_data();
    void earlyEnd();
    void fileFaults_data();
    void fileFaults();
    void namesThatClimbStayInTheOutputFolder();
    void aLargeOrder();
    void barcodeDownloads();
    void hungBarcodes_data();
    void hungBarcodes();
    void deleteMode_data();
    void deleteMode();
    void unreachedMarkStageMakesAProductFolder();
};

namespace {

const QString kDay = QStringLiteral("/2024-06-01/");

// Small real photos in a folder of an order's server tree.
void writePhotos(const QString& folder, const QStringList& names)
{
    QDir().mkpath(folder);
    for (int i = 0; i < names.size(); ++i) {
        JpegFixture::Options o;
        o.size = QSize(120, 80);
        o.seed = quint32(i + 1);
        JpegFixture::write(folder + names.at(i), o);
    }
}

// The goods of one album of two photos, the second listed twice.
const QByteArray kAlbumGoods =
    R"({"code":"1","shop_set":{},"order":{"ordergoods2":[],"ordergoods0":[{"goodname":"相册",)"
    R"("goodtypename":"相册","goodtypeid":"33","goodamount":"1","factoryname":"华彩","isems":"1",)"
    R"("isurgent":"0","parentid":"0","picpath":"IMG_0001.jpg|IMG_0099.jpg|IMG_0099.jpg"}]}})";

QStringList photoNames(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names.append(QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
    return names;
}

void start(SeparationWindowBase& w)
{
    child<QPushButton>(&w, "pushButton_separate")->click();
}

QString reportText()
{
    MessageBoxDialog* report = topLevelWindow<MessageBoxDialog>();
    return report ? report->findChild<QTextEdit*>()->toPlainText() : QStringLiteral("<no report>");
}

const QString kFinished = QStringLiteral("提示:   分件成功!");
const QString kUnfinished = QStringLiteral("提示:   分件未完成");

QString reportTitle()
{
    MessageBoxDialog* report = topLevelWindow<MessageBoxDialog>();
    return report ? report->windowTitle() : QStringLiteral("<no report>");
}

void closeReports()
{
    for (MessageBoxDialog* box : topLevelWindows<MessageBoxDialog>())
        delete box;
}

// Files below a folder: "name/" a folder, "!name" one that must not be there.
void expectFiles(const QString& folder, const QStringList& files)
{
    for (const QString& file : files) {
        const bool absent = file.startsWith('!');
        const QFileInfo info(folder + file.mid(absent ? 1 : 0));
        const bool there = file.endsWith('/') ? info.isDir() : info.isFile();
        QVERIFY2(there != absent, qPrintable(info.filePath()));
    }
}

} // namespace

void TestSeparationRun::init()
{
    Clock::setFixed(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
}

void TestSeparationRun::cleanup()
{
    Clock::setFixed(QDateTime());
    FileOperation::setFaultHook(nullptr);
    WebService::setTransferTimeoutMs(60000);
    closeReports();
}

void TestSeparationRun::fromTheLauncher_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("goodsKeys");
    QTest::addColumn<QString>("picKeys");
    QTest::addColumn<QString>("sheetTitle");
    // During the run: A24051204 taken up as 导入照片 does, in the copies; a
    // search answered after the start; a tool of the same shop opened.
    QTest::addColumn<QString>("meanwhile");

    const QString a = "A24051201-服务1 王小宝-刘芳-王强 快递/";
    const QString factory = a + "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/";
    QStringList design{a + "其它/成品/IMG_0004.jpg",
                       a + "其它/设计/P02.jpg",
                       a + "其它/标注/IMG_0002.jpg",
                       a + "其它/汰片/",
                       a + "其它/条形码.jpg",
                       a + "其它/制作单缩略图/IMG_0004.jpg",
                       a + "其它/制作单缩略图/marks/IMG_0002.jpg",
                       a + "其它/快递产品信息.pdf",
                       a + "其它/明细制作单.html",
                       factory + "宝宝成长相册 相册 1/IMG_0002.jpg",
                       factory + "套系赠品 赠品 1/钥匙扣 钥匙扣 2/IMG_0004.jpg",
                       a + "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-01急取 周设计 【自取】/8x10水晶摆台 "
                           "摆台 2/"
                           "IMG_0003.jpg",
                       a + "店内制作/宝宝成长相册(1) A24051201  王小宝-刘芳-王强 2024-06-05取 周设计 "
                           "【快递】/"
                           "IMG_0001.jpg",
                       "A24051203-服务2 赵敏 部分/其它/成品/IMG_0003.jpg"};
    for (const QString meanwhile : {"", "take up", "late search"}) {
        QTest::addRow("design%s%s", meanwhile.isEmpty() ? "" : ", ", qPrintable(meanwhile))
            << "radioButton_separatePhotos" << QStringList{"A24051201", "A24051203"} << design
            << "订单A24051201:\n不存在的照片:宝宝成长相册:IMG_0099.jpg\n空产品:实木相框、套系赠品\n\n"
            << "token order_photo_id shopid superid personid uid is_qu"
            << "token order_photo_id shopid superid companyid uid qrcodepath imgpath cpimgs sjimgs"
            << "A24051201 明细制作单</h2>" << meanwhile;
    }
    const QString b = "A24051201-服务1 王小宝-刘芳-王强 快递/";
    QStringList sample{b + "成品/IMG_0004.jpg",
                       b + "成品/IMG_0001.CR2",
                       b + "成品/IMG_0002.NEF",
                       "!" + b + "其它/",
                       b + "条形码.jpg",
                       b + "制作单缩略图/IMG_0004.jpg",
                       b + "制作单缩略图/marks/IMG_0002.jpg",
                       b + "快递产品信息.pdf",
                       b + "明细制作单.html",
                       "A24051204-服务1 李乐乐-李军 自取/成品/"};
    // The shop's reply for 检索订单 says "0": the open window keeps its "1".
    for (const QString meanwhile : {"", "rb_searchorder"}) {
        QTest::addRow("post-sample%s%s", meanwhile.isEmpty() ? "" : ", then ", qPrintable(meanwhile))
            << "radioButton_yhfj" << QStringList{"A24051201", "A24051204"} << sample << "分件成功!"
            << "token order_photo_id shopid superid personid uid"
            << "token order_photo_id shopid superid companyid uid qrcodepath imgpath cpimgs isyhfj"
            << "A24051201 明细制作单（样后）</h2>" << meanwhile;
    }
}

void TestSeparationRun::fromTheLauncher()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, files);
    QFETCH(QString, report);
    QFETCH(QString, goodsKeys);
    QFETCH(QString, picKeys);
    QFETCH(QString, sheetTitle);
    QFETCH(QString, meanwhile);
    SeparationTestEnv env;
    QVERIFY(makeDemoTree(env.volumes.root()));
    const QString out = env.volumes.mkdir("out");

    DemoSignIn front;
    SelectTool* launcher = front.signIn();
    QVERIFY(launcher);
    launcher->findChild<QRadioButton*>(tool)->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<SeparationWindowBase>());
    QPointer<SeparationWindowBase> w = topLevelWindow<SeparationWindowBase>();
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    if (meanwhile.startsWith("rb_")) {
        launcher->findChild<QRadioButton*>(meanwhile)->click();
        QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
        QTRY_COMPARE(Config::sjfjxz, QStringLiteral("0"));
    }

    child<QLineEdit>(w, "pathLineEdit")->setText(out);
    search(*w, "A2405120");
    QCOMPARE(w->controller()->orderList.size(), 4);
    auto* table = child<QTableView>(w, "tableView");
    QStringList ids; // the ticked orders', as the run is to send them
    order other;
    for (int row = 0; row < 4; ++row) {
        const order& o = w->controller()->orderList.at(row);
        if (keys.contains(o.orderpayforkey)) {
            w->on_tableView_clicked(table->model()->index(row, 0));
            ids.append(o.order_photo_id);
        }
        if (o.orderpayforkey == "A24051204")
            other = o;
    }
    // The run's workers may still write after a failed check has ended the
    // row: the order taken up then must not reach a later row.
    const auto rowOpen = std::make_shared<bool>(true); // read and written on this thread only
    const auto rowEnds = qScopeGuard([rowOpen] { *rowOpen = false; });
    if (meanwhile == "take up") {
        const auto taken = std::make_shared<QAtomicInt>(0);
        FileOperation::setFaultHook([taken, other, rowOpen](FileOperation::Fault f, const QString& path) {
            if (f == FileOperation::Fault::Write && path.contains("/成品/") && taken->testAndSetRelaxed(0, 1))
                QMetaObject::invokeMethod(
                    qApp,
                    [other, rowOpen] {
                        if (*rowOpen)
                            takeUpOrder(other);
                    },
                    Qt::QueuedConnection);
            return false;
        });
    }
    // The row shows the order's mapped server folder.
    QVERIFY(
        table->model()->index(0, 14).data().toString().startsWith(env.volumes.root() + "photos/2024-05/12/"));
    env.service.clearLog();
    env.service.delay("order", "getorderpic", 200);
    if (meanwhile == "late search") {
        env.service.delay("order", "order_list", 100);
        child<QPushButton>(w, "searchButton")->click();
    }

    start(*w);
    QTRY_COMPARE(child<QLabel>(w, "label_finishOrdersNum")->text(), QStringLiteral("已完成订单个数：1/2"));
    QTRY_VERIFY_WITH_TIMEOUT(!w->controller()->isSeparating, 30000);
    QVERIFY2(env.prompts.calls().isEmpty(), qPrintable(env.prompts.last().text));
    expectFiles(out + kDay, files);
    for (const QString& file : files) {
        if (file.endsWith("明细制作单.html"))
            QVERIFY(TestFiles::readAll(out + kDay + file).contains(sheetTitle.toUtf8()));
    }

    QTRY_COMPARE(reportText(), report);
    // Findings or none, every order was separated.
    QCOMPARE(reportTitle(), kFinished);
    auto* save = topLevelWindow<MessageBoxDialog>()->findChild<QPushButton*>("pushButton_save");
    QCOMPARE(save->isHidden(), report == "分件成功!");
    QCOMPARE(w->controller()->checkOrdersNum, 0);
    QVERIFY(!w->controller()->orderList.at(0).isDone);
    QVERIFY(!SeparationRunGuard::isBusy());
    QVERIFY(child<QPushButton>(w, "searchButton")->isEnabled());

    // Each order's requests carry that order, whatever Config's current
    // order became meanwhile.
    for (const char* action : {"ordergoods20230521", "getbarcodegen", "getorderpic", "orderdetail"}) {
        QStringList sent;
        for (const auto& request : env.service.requests("order", action))
            sent.append(request.values.value("order_photo_id"));
        QCOMPARE(sent, ids);
    }
    // The requests of the first order, in their key orders.
    const auto goods = env.service.requests("order", "ordergoods20230521");
    QCOMPARE(goods.first().keys.join(' '), goodsKeys);
    QCOMPARE(env.service.requests("order", "getbarcodegen").first().method, QStringLiteral("GET"));
    const auto pic = env.service.requests("order", "getorderpic").first();
    QCOMPARE(pic.keys.join(' '), picKeys);
    QCOMPARE(pic.values.value("uid"), QStringLiteral("1024"));
    QCOMPARE(pic.values.value("companyid"), QStringLiteral("8"));
    QVERIFY(pic.values.value("qrcodepath").endsWith("//条形码.jpg"));
    QCOMPARE(env.service.requests("order", "orderdetail").first().keys.join(' '),
             QStringLiteral("token order_photo_id shopid superid eid uid personid"));
    w->close();
    QTRY_VERIFY(w.isNull());
    delete topLevelWindow<SearchOrderWindow>();
}

void TestSeparationRun::stages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("key");        // the order, searched by its number
    QTest::addColumn<int>("finished");       // photos in its "成品/"; 0 an empty folder, -1 no order folder
    QTest::addColumn<QStringList>("server"); // further photos of its server folder
    QTest::addColumn<QString>("goods");      // the goods reply, when not the stand-in's
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("folder");    // the order's output folder
    QTest::addColumn<QStringList>("files"); // below it
    QTest::addColumn<QPoint>("bar");        // where the progress bar stops: value, maximum
    QTest::addColumn<QString>("report");    // "%o": the order's output folder, "%s" its server folder

    const QString album =
        R"({"code":"1","shop_set":{},"order":{"ordergoods2":[],"ordergoods0":[{"goodname":"相册",)"
        R"("goodtypename":"相册","goodtypeid":"33","goodamount":"1","factoryname":"华彩","isems":"1",)"
        R"("isurgent":"0","parentid":"0","picpath":"IMG_0001.jpg|IMG_0099.jpg|IMG_0099.jpg"}]}})";
    const QString zhao = "A24051203-服务2 赵敏 部分";
    const QString li = "A24051204-服务1 李乐乐-李军 自取";
    const QString done = "分件成功!";
    QTest::newRow("design: no product photos")
        << "design"
        << "A24051203" << 3 << QStringList() << "" << QStringList() << zhao
        << QStringList{"其它/成品/IMG_0003.jpg", "其它/汰片/", "其它/设计/", "其它/标注/",
                       "其它/明细制作单.html"}
        << QPoint(17, 19) << done;
    QTest::newRow("design: an empty 成品/") << "design"
                                            << "A24051203" << 0 << QStringList() << "" << QStringList()
                                            << zhao << QStringList{"其它/成品/"} << QPoint(14, 16) << done;
    // Photos in the working folder are never taken for the order's.
    QTest::newRow("design: no order folder")
        << "design"
        << "A24051203" << -1 << QStringList() << "" << QStringList() << zhao
        << QStringList{"其它/快递产品信息.pdf", "!其它/成品/IMG_0001.jpg", "!其它/标注/IMG_0001.jpg"}
        << QPoint(12, 14) << "订单A24051203:\n订单目录不存在：%s\n\n";
    QTest::newRow("design: rejected photos")
        << "design"
        << "A24051203" << 1 << QStringList{"汰片/R1.jpg"} << "" << QStringList{"rejected"} << zhao
        << QStringList{"其它/汰片/R1.jpg"} << QPoint(18, 20) << done;
    QTest::newRow("design: the Tovaro layout")
        << "design"
        << "T24050801" << 4 << QStringList{"marks/IMG_0001.jpg", "汰片/R1.jpg"} << ""
        << QStringList{"tovaro", "rejected"} << "T24050801-服务1 许晴-罗杰 自取"
        << QStringList{"02底片/IMG_0004.jpg",
                       "01标注/IMG_0001.jpg",
                       "设计/",
                       "9701#婚纱相册 相册 1/IMG_0002.jpg",
                       "9702#放大照片 摆台 1/IMG_0003.jpg",
                       "!其它/",
                       "!汰片/",
                       "!Tovaro工坊 T24050801 许晴-罗杰 2024-06-01取 周设计 【快递】/"}
        << QPoint(21, 23) << done;
    QTest::newRow("design: a missing photo listed twice")
        << "design"
        << "A24051203" << 1 << QStringList() << album << QStringList() << zhao
        << QStringList{"华彩 A24051203 赵敏 2024-06-05取 周设计 【快递】/相册 相册 1/IMG_0001.jpg"}
        << QPoint(15, 17) << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n\n";
    QTest::newRow("design: a second run the same day")
        << "design"
        << "A24051203" << 1 << QStringList() << album << QStringList{"twice"} << zhao
        << QStringList{"华彩 A24051203 赵敏 2024-06-05取 周设计 【快递】/相册 相册 1/IMG_0001.jpg",
                       "华彩 A24051203 赵敏 2024-06-05取 周设计 【快递】/相册 (1) 相册 1/IMG_0001.jpg"}
        << QPoint(15, 17) << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n\n";
    // The second run numbers the set and the home-made album, and their
    // sub-products keep their own names inside them.
    const QString f = "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/";
    const QString h = "店内制作/宝宝成长相册(1) (1) A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/";
    QTest::newRow("design: a set, its sub-products and a home-made album, run again")
        << "design"
        << "A24051201" << 4 << QStringList() << "" << QStringList{"twice"}
        << "A24051201-服务1 王小宝-刘芳-王强 快递"
        << QStringList{f + "套系赠品 赠品 1/钥匙扣 钥匙扣 2/IMG_0004.jpg",
                       f + "宝宝成长相册 (1) 相册 1/IMG_0002.jpg",
                       f + "套系赠品 (1) 赠品 1/钥匙扣 钥匙扣 2/IMG_0004.jpg",
                       f + "套系赠品 (1) 赠品 1/冰箱贴 冰箱贴 1/IMG_0002.jpg",
                       "!" + f + "冰箱贴 (1)/",
                       "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-01急取 周设计 【自取】/8x10水晶摆台 (1) "
                       "摆台 2/"
                       "IMG_0003.jpg",
                       h + "IMG_0001.jpg",
                       h + "内页 内页 1/IMG_0003.jpg",
                       "!店内制作/内页 (1) A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/"}
        << QPoint(18, 20)
        << "订单A24051201:\n不存在的照片:宝宝成长相册:IMG_0099.jpg\n空产品:实木相框、套系赠品\n\n";
    QTest::newRow("design: a copy that fails")
        << "design"
        << "A24051203" << 2 << QStringList() << "" << QStringList{"fault=其它/成品/IMG_0002.jpg"} << zhao
        << QStringList{"其它/成品/IMG_0001.jpg", "!其它/成品/IMG_0002.jpg"} << QPoint(16, 18)
        << "订单A24051203:\n未写入的文件:%o其它/成品/:IMG_0002.jpg\n\n";
    QTest::newRow("post-sample: 20 finished photos")
        << "post-sample"
        << "A24051204" << 20 << QStringList() << "" << QStringList() << li
        << QStringList{"成品/IMG_0020.jpg", "!其它/", "!汰片/", "!标注/", "条形码.jpg"} << QPoint(24, 36)
        << done;
    QTest::newRow("post-sample: an empty 成品/") << "post-sample"
                                                 << "A24051204" << 0 << QStringList() << "" << QStringList()
                                                 << li << QStringList{"成品/"} << QPoint(4, 16) << done;
    QTest::newRow("post-sample: no order folder")
        << "post-sample"
        << "A24051204" << -1 << QStringList() << "" << QStringList() << li
        << QStringList{"明细制作单.html", "!成品/IMG_0001.jpg"} << QPoint(2, 14)
        << "订单A24051204:\n订单目录不存在：%s\n\n";
    QTest::newRow("post-sample: a copy that fails, the order's folder name")
        << "post-sample"
        << "A24051204" << 2 << QStringList() << "" << QStringList{"fault=成品/IMG_0002.jpg", "renamed"}
        << "A1-服务2 张三-李四 快递" << QStringList{"成品/IMG_0001.jpg", "!成品/IMG_0002.jpg"}
        << QPoint(6, 18) << "订单A1:\n未写入的文件:%o成品/:IMG_0002.jpg\n\n";
}

void TestSeparationRun::stages()
{
    QFETCH(QString, kind);
    QFETCH(QString, key);
    QFETCH(int, finished);
    QFETCH(QStringList, server);
    QFETCH(QString, goods);
    QFETCH(QStringList, options);
    QFETCH(QString, folder);
    QFETCH(QStringList, files);
    QFETCH(QPoint, bar);
    QFETCH(QString, report);
    SeparationTestEnv env;
    if (options.contains("tovaro")) {
        SeparationTestEnv::useTovaroShop();
    }
    if (options.contains("rejected"))
        Config::isFjDownloadDeletePhoto = QStringLiteral("1");
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    SeparationController* c = w.controller();
    const QString out = env.volumes.mkdir("out");
    const QString orderOut = out + kDay + folder + '/';
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    search(w, key);
    QCOMPARE(c->orderList.size(), 1);
    const QString serverFolder = c->orderList.at(0).orderpath;
    if (finished >= 0)
        writePhotos(serverFolder + "成品/", photoNames(finished));
    // Look-alikes in the working folder, which no order may take for its own.
    writePhotos(QDir::currentPath() + "/成品/", photoNames(1));
    writePhotos(QDir::currentPath() + "/marks/", photoNames(1));
    for (const QString& file : server)
        writePhotos(serverFolder + file.section('/', 0, 0) + '/', {file.section('/', 1)});
    if (!goods.isEmpty())
        env.service.sendRaw("order", "ordergoods20230521", goods.toUtf8());
    if (options.contains("renamed")) {
        order& o = c->orderList[0];
        o.orderpayforkey = "A1";
        o.servicetimes = "2";
        o.customer = "张三-李四";
        o.pickuptype = "快递";
    }
    for (const QString& option : options) {
        if (option.startsWith("fault=")) {
            const QString target = orderOut + option.mid(6);
            FileOperation::setFaultHook([target](FileOperation::Fault f, const QString& path) {
                return f == FileOperation::Fault::Write && path == target;
            });
        }
    }
    QList<QPoint> progress;
    auto* progressBar = child<QProgressBar>(&w, "progressBar");
    QObject progressWatch; // goes before the list it fills
    connect(progressBar, &QProgressBar::valueChanged, &progressWatch, [&progress, progressBar](int value) {
        if (progressBar->maximum() > 0)
            progress.append(QPoint(value, progressBar->maximum()));
    });
    w.on_pushButton_selectAll_clicked();

    for (int run = 0; run < (options.contains("twice") ? 2 : 1); ++run) {
        closeReports();
        start(w);
        QTRY_VERIFY_WITH_TIMEOUT(!c->isSeparating, 20000);
        QVERIFY2(env.prompts.calls().isEmpty(), qPrintable(env.prompts.last().text));
        QTRY_COMPARE(reportText(), QString(report).replace("%o", orderOut).replace("%s", serverFolder));
    }
    expectFiles(orderOut, files);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), bar);
}

void TestSeparationRun::replyFailureStopsAndRestarts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    // Each box names the order left unfinished.
    const QString order = "\n未完成分件的订单：A24051203";
    for (const char* kind : {"design", "post-sample"}) {
        QTest::addRow("%s: goods", kind) << kind << "ordergoods20230521"
                                         << "refuse"
                                         << "警告/查询产品信息错误：0" + order;
        QTest::addRow("%s: picture information", kind) << kind << "getorderpic"
                                                       << "refuse"
                                                       << "警告/查询裁剪信息错误：0" + order;
        QTest::addRow("%s: order detail", kind) << kind << "orderdetail"
                                                << "refuse"
                                                << "警告/查询订单信息错误：0" + order;
    }
    QTest::newRow("design: goods, HTTP 500") << "design"
                                             << "ordergoods20230521"
                                             << "http"
                                             << "警告/网络请求错误\n500" + order;
    QTest::newRow("design: goods, not JSON") << "design"
                                             << "ordergoods20230521"
                                             << "raw"
                                             << "警告/网络请求错误" + order;
    QTest::newRow("post-sample: order detail, dropped") << "post-sample"
                                                        << "orderdetail"
                                                        << "drop"
                                                        << "警告/网络请求错误\n" + order;
}

void TestSeparationRun::replyFailureStopsAndRestarts()
{
    QFETCH(QString, kind);
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(QString, box);
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    child<QLineEdit>(&w, "pathLineEdit")->setText(env.volumes.mkdir("out"));
    search(w, "A24051203");
    writePhotos(w.controller()->orderList.at(0).orderpath + "成品/", photoNames(1));
    w.on_pushButton_selectAll_clicked();
    if (fault == "http")
        env.service.failHttp("order", action, 500);
    else if (fault == "raw")
        env.service.sendRaw("order", action, "not json");
    else if (fault == "drop")
        env.service.drop("order", action);
    else
        env.service.refuse("order", action, "0", "拒绝");
    start(w);
    QTRY_VERIFY(!w.controller()->isSeparating);
    QCOMPARE(env.prompts.calls().size(), 1);
    QCOMPARE(env.prompts.last().title + '/' + env.prompts.last().text, box);
    QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes));
    QVERIFY(!w.controller()->orderList.first().isDone);
    QVERIFY(!SeparationRunGuard::isBusy());
    // Nothing more is asked for the order, and no report comes: every reply
    // handled, then a moment in which nothing may follow.
    QTRY_VERIFY_WITH_TIMEOUT(w.findChildren<QNetworkReply*>().isEmpty(), 10000);
    const int requests = env.service.log().size();
    QTest::qWait(200);
    QCOMPARE(env.service.log().size(), requests);
    QVERIFY(topLevelWindows<MessageBoxDialog>().isEmpty());

    // A new start takes the order again and ends with the report.
    env.service.clearFaults();
    start(w);
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
    QTRY_COMPARE(reportText(), QStringLiteral("分件成功!"));
}

void TestSeparationRun::closingMidRun_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("other");
    // "yes": the second question is answered Yes; "open": it is still open
    // when the run ends.
    QTest::addColumn<QString>("answer");
    for (const QString answer : {"yes", "open"}) {
        QTest::addRow("design, %s", qPrintable(answer)) << "design"
                                                        << "post-sample" << answer;
        QTest::addRow("post-sample, %s", qPrintable(answer)) << "post-sample"
                                                             << "design" << answer;
    }
}

void TestSeparationRun::closingMidRun()
{
    QFETCH(QString, kind);
    QFETCH(QString, other);
    QFETCH(QString, answer);
    SeparationTestEnv env;
    SeparationWindowBase* w = makeWindow(kind).release();
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    child<QLineEdit>(w, "pathLineEdit")->setText(env.volumes.mkdir("out"));
    search(*w, "A24051203");
    writePhotos(w->controller()->orderList.at(0).orderpath + "成品/", photoNames(2));
    w->on_pushButton_selectAll_clicked();
    env.service.sendRaw("order", "ordergoods20230521", kAlbumGoods);
    env.service.delay("order", "getorderpic", 800);
    start(*w);
    QTRY_COMPARE(env.service.requests("order", "getorderpic").size(), 1);

    // A second window can neither start nor search while the run goes on.
    const auto second = makeWindow(other);
    child<QLineEdit>(second.get(), "orderNumber")->setText("A24051203");
    child<QComboBox>(second.get(), "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    start(*second);
    child<QPushButton>(second.get(), "searchButton")->click();
    QCOMPARE(env.prompts.calls().size(), 2);
    QCOMPARE(env.prompts.messages().at(0).text, QStringLiteral("正在分件，请稍后"));
    QCOMPARE(env.prompts.messages().at(1).title, QStringLiteral("通知"));
    QCOMPARE(env.service.requests("order", "order_list").size(), 1);

    // Closing asks first: No keeps the window and its run.
    QPointer<SeparationWindowBase> guard(w);
    env.prompts.setNextAnswer(Prompts::No);
    QVERIFY(!w->close());
    QCOMPARE(env.prompts.last().title + '/' + env.prompts.last().text,
             QStringLiteral("提示/正在分件，确定停止分件并关闭吗？"));
    QCOMPARE(env.prompts.last().buttons, Prompts::StandardButtons(Prompts::Yes | Prompts::No));
    QVERIFY(w->isVisible() && w->controller()->isSeparating);

    if (answer == "open") {
        // Unanswered when the run ends: the question goes as if answered No,
        // and the report is a finished run's.
        env.prompts.setNextAnswerAfter(30000, Prompts::Yes);
        QVERIFY(!w->close());
        QVERIFY(env.prompts.last().withdrawn && !w->controller()->isSeparating);
        QCOMPARE(reportTitle(), kFinished);
        delete w;
        return;
    }

    // Yes ends the run: the late reply is dropped, nothing follows, and the
    // report names the order left unfinished.
    env.prompts.setNextAnswer(Prompts::Yes);
    w->close();
    QTRY_VERIFY(guard.isNull());
    QVERIFY(!SeparationRunGuard::isBusy());
    // The window is gone with its requests; past the time the service held
    // the picture reply back, nothing has followed it.
    QTest::qWait(1000);
    QVERIFY(env.service.requests("order", "orderdetail").isEmpty());
    // The design window's album of the unfinished order says so.
    const QString album =
        env.volumes.path("out") + kDay +
        "A24051203-服务2 赵敏 部分/华彩 A24051203 赵敏 2024-06-05取 周设计 【快递】/相册 相册 1";
    QCOMPARE(QFileInfo(album + "（未完成）").isDir(), kind == "design");
    QVERIFY(!QFileInfo::exists(album));
    QCOMPARE(reportText(), QStringLiteral("未完成分件的订单：A24051203\n\n"));
    QCOMPARE(reportTitle(), kUnfinished);
    QCOMPARE(env.prompts.calls().size(), 4);
}

void TestSeparationRun::earlyEnd_data()
{
    QTest::addColumn<QStringList>("keys"); // the orders ticked
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");    // "%o": the output folder
    QTest::addColumn<QString>("report"); // "" none
    QTest::addColumn<bool>("marked");    // A24051203's album left marked unfinished

    const QStringList both{"A24051203", "A24051204"};
    const QString found = "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n\n";
    const QString folderBox = "警告/分件文件夹创建失败：\n%o/2024-06-01/A24051204-服务1 李乐乐-李军 "
                              "自取/\n未完成分件的订单：A24051204";
    QTest::newRow("a folder that cannot be made, after a finished order")
        << both << "folder" << folderBox << "未完成分件的订单：A24051204\n\n" + found << false;
    // The finished order's barcode picture, still arriving, is cancelled
    // and named in that order's place, beside its other findings.
    QTest::newRow("a folder that cannot be made, the finished order's barcode hung")
        << both << "folder+hung" << folderBox
        << "未完成分件的订单：A24051204\n\n订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n"
           "未写入的文件:条形码.jpg\n\n"
        << false;
    QTest::newRow("a refused order detail") << QStringList{"A24051203"} << "refuse"
                                            << "警告/查询订单信息错误：0\n未完成分件的订单：A24051203"
                                            << "" << true;
}

void TestSeparationRun::earlyEnd()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, fault);
    QFETCH(QString, box);
    QFETCH(QString, report);
    QFETCH(bool, marked);
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    SearchOrder w;
    SeparationController* c = w.controller();
    const QString out = env.volumes.mkdir("out");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    search(w, "A2405120");
    for (int row = 0; row < c->orderList.size(); ++row) {
        if (keys.contains(c->orderList.at(row).orderpayforkey)) {
            w.on_tableView_clicked(child<QTableView>(&w, "tableView")->model()->index(row, 0));
            writePhotos(c->orderList.at(row).orderpath + "成品/", photoNames(1));
        }
    }
    env.service.sendRaw("order", "ordergoods20230521", kAlbumGoods);
    const QString blocker = out + kDay + "A24051204-服务1 李乐乐-李军 自取";
    if (fault.startsWith("folder"))
        QVERIFY(TestFiles::write(blocker, "a file where the order's folder goes"));
    else
        env.service.refuse("order", "orderdetail", "0", "拒绝");
    if (fault.endsWith("+hung"))
        env.service.delay("order", "getbarcodegen", 30000);

    start(w);
    QTRY_VERIFY_WITH_TIMEOUT(!c->isSeparating, 20000);
    QStringList boxes;
    for (const auto& call : env.prompts.messages())
        boxes.append(call.title + '/' + call.text);
    QCOMPARE(boxes, QStringList{QString(box).replace("%o", out)});
    if (report.isEmpty()) {
        // Every reply handled, then a moment in which no report may come.
        QTRY_VERIFY_WITH_TIMEOUT(w.findChildren<QNetworkReply*>().isEmpty(), 10000);
        QTest::qWait(100);
        QVERIFY(topLevelWindows<MessageBoxDialog>().isEmpty());
    } else {
        QTRY_COMPARE(reportText(), report);
        QCOMPARE(reportTitle(), kUnfinished);
    }
    const QString album =
        out + kDay + "A24051203-服务2 赵敏 部分/华彩 A24051203 赵敏 2024-06-05取 周设计 【快递】/相册 相册 1";
    QCOMPARE(QFileInfo(album + "（未完成）").isDir(), marked);
    QCOMPARE(QFileInfo(album).exists(), !marked);
    QVERIFY(!SeparationRunGuard::isBusy());

    // A new start takes up the order left unfinished, and only that one; it
    // gets a fresh album.
    closeReports();
    env.prompts.clear();
    env.service.clearFaults();
    env.service.sendRaw("order", "ordergoods20230521", kAlbumGoods);
    QFile::remove(blocker);
    start(w);
    QTRY_VERIFY_WITH_TIMEOUT(!c->isSeparating, 20000);
    QTRY_COMPARE(reportText(), "订单" + keys.last() + ":\n不存在的照片:相册:IMG_0099.jpg\n\n");
    QCOMPARE(reportTitle(), kFinished);
    QVERIFY(env.prompts.messages().isEmpty());
    QVERIFY(QFileInfo(album + "/IMG_0001.jpg").isFile());
}

void TestSeparationRun::fileFaults_data()
{
    // The file a fault hits ("%o" the order's output folder, "%s" its server
    // folder; every file below a folder ending in "/"; "@n": only the n-th
    // ask there), the fault (-1: the barcode route fails, -2: it answers a
    // refusal as its picture, -4: the share drops at that look-up, its folder
    // gone from then on), the earlier run's file that must stay, the
    // files the report names not written (or the report whole), and the
    // goods (the stand-in's when empty). Another order the report names is
    // ticked too, with its photo.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QByteArray>("goods");
    using F = FileOperation::Fault;
    const QString photo = "其它/成品/IMG_0001.jpg";
    QTest::newRow("photo copy refused at close")
        << "design"
        << "%o" + photo << int(F::Close) << photo << "%o其它/成品/:IMG_0001.jpg" << QByteArray();
    // The sheet thumbnail reads the photo too.
    QTest::newRow("photo read breaks off")
        << "design"
        << "%s成品/IMG_0001.jpg" << int(F::Read) << photo
        << "%s成品/:IMG_0001.jpg、%o其它/制作单缩略图/:IMG_0001.jpg" << QByteArray();
    // The album takes nothing from the earlier run's copy.
    QTest::newRow("photo copy refused at close, the album's photo")
        << "design"
        << "%o" + photo << int(F::Close) << photo
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n"
           "未写入的文件:相册:IMG_0001.jpg、%o其它/成品/:IMG_0001.jpg\n\n"
        << kAlbumGoods;
    // An earlier run's album stays; the product job's report and the
    // missing photo, from two entries of the order, show as one.
    const QString album = "华彩 A24051203 赵敏 2024-06-05取 周设计 【快递】/相册";
    QTest::newRow("album photo refused, the album's photo missing")
        << "design"
        << "%o" + album + " (1) 相册 1/IMG_0001.jpg" << int(F::Write) << album + " 相册 1/IMG_0001.jpg"
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n未写入的文件:相册:IMG_0001.JPG\n\n"
        << kAlbumGoods;
    // One order's copies meet a full share; the other order's block is as ever.
    QTest::newRow("a full share for one order's copies")
        << "design"
        << "%o其它/成品/" << int(F::DiskFull) << photo
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n"
           "未写入的文件:相册:IMG_0001.jpg、%o其它/成品/:IMG_0001.jpg、%o其它/成品/:IMG_0001.CR2\n\n"
           "订单A24051204:\n不存在的照片:相册:IMG_0099.jpg\n\n"
        << kAlbumGoods;
    // Both listings of "成品/" (the copies' and the sheet's) fail: its line
    // stands for the album's photos.
    QTest::newRow("成品/ not listed")
        << "design"
        << "%s成品" << int(F::List) << photo << "订单A24051203:\n目录读取失败：%s成品/\n\n"
        << kAlbumGoods;
    // Both listings again, and no sheet of the order's photos.
    const QString sheetThumb = "其它/制作单缩略图/IMG_0001.jpg";
    QTest::newRow("成品/ not looked at")
        << "design"
        << "%s成品" << int(F::LookUp) << sheetThumb << "订单A24051203:\n目录读取失败：%s成品/\n\n"
        << kAlbumGoods;
    // The sheet of the second order is no copy of the first's.
    QTest::newRow("成品/ not listed after another order")
        << "design"
        << "%s成品" << int(F::List) << sheetThumb
        << "订单A24051201:\n不存在的照片:相册:IMG_0099.jpg\n\n订单A24051203:\n目录读取失败：%s成品/\n\n"
        << kAlbumGoods;
    QTest::newRow("order folder not looked at")
        << "design"
        << "%s" << int(F::LookUp) << sheetThumb << "订单A24051203:\n目录读取失败：%s\n\n"
        << kAlbumGoods;
    // The share drops after the run's own check: the product stage looks again.
    QTest::newRow("order folder not looked at after the run's check")
        << "design"
        << "%s@2" << int(F::LookUp) << sheetThumb << "订单A24051203:\n目录读取失败：%s\n\n"
        << kAlbumGoods;
    // The photo's look-up at the product stage, after the listing's.
    const QString albumPhoto = album + " 相册 1/IMG_0001.jpg";
    QTest::newRow("album photo not looked at")
        << "design"
        << "%s成品/IMG_0001.jpg@2" << int(F::LookUp) << albumPhoto
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n未写入的文件:相册:IMG_0001.jpg\n\n"
        << kAlbumGoods;
    const QString raw = "%s照片/新建文件夹/IMG_0001.CR2";
    QTest::newRow("raw not looked at") << "post-sample" << raw << int(F::LookUp) << "成品/IMG_0001.CR2"
                                       << "%s照片/新建文件夹/:IMG_0001.CR2" << QByteArray();
    QTest::newRow("raw twin refused") << "post-sample"
                                      << "%o成品/IMG_0001.CR2" << int(F::Write) << "成品/IMG_0001.CR2"
                                      << "%o成品/:IMG_0001.CR2" << QByteArray();
    QTest::newRow("express sheet on a full share")
        << "design"
        << "%o其它/快递产品信息.pdf" << int(F::DiskFull) << "其它/快递产品信息.pdf"
        << "快递产品信息.pdf" << QByteArray();
    QTest::newRow("production sheet refused at close")
        << "design"
        << "%o其它/明细制作单.html" << int(F::Close) << "其它/明细制作单.html"
        << "明细制作单.html" << QByteArray();
    QTest::newRow("sheet thumbnail refused")
        << "design"
        << "%o其它/制作单缩略图/IMG_0001.jpg" << int(F::Write) << "其它/制作单缩略图/IMG_0001.jpg"
        << "%o其它/制作单缩略图/:IMG_0001.jpg" << QByteArray();
    // The sheet's own reads and writes. A row's photo of the server folder
    // is written first; a file in "marks/" makes IMG_0001.jpg a marked photo
    // of the order (in its "marks/" and its detail).
    QTest::newRow("sheet thumbnail not read")
        << "design"
        << "%s成品缩略图/IMG_0001.jpg" << int(F::Read) << "其它/制作单缩略图/IMG_0001.jpg"
        << "%o其它/制作单缩略图/:IMG_0001.jpg" << QByteArray();
    QTest::newRow("marked photo's sheet copy refused")
        << "design"
        << "%o其它/制作单缩略图/marks/IMG_0001.jpg" << int(F::Write) << "其它/制作单缩略图/marks/IMG_0001.jpg"
        << "%o其它/制作单缩略图/marks/:IMG_0001.jpg" << QByteArray();
    QTest::newRow("marked photo not read")
        << "design"
        << "%smarks/IMG_0001.jpg" << int(F::Read) << "其它/制作单缩略图/marks/IMG_0001.jpg"
        << "%smarks/:IMG_0001.jpg、%o其它/制作单缩略图/marks/:IMG_0001.jpg" << QByteArray();
    QTest::newRow("barcode picture refused") << "post-sample"
                                             << "%o条形码.jpg" << int(F::Write) << "条形码.jpg"
                                             << "条形码.jpg" << QByteArray();
    QTest::newRow("barcode picture not served") << "design"
                                                << "" << -1 << "其它/条形码.jpg"
                                                << "条形码.jpg" << QByteArray();
    QTest::newRow("barcode refusal for a picture") << "design"
                                                   << "" << -2 << "其它/条形码.jpg"
                                                   << "条形码.jpg" << QByteArray();
    // The album's missing photo and the barcode sit in different entries of the order.
    QTest::newRow("barcode not served, the album's photo missing")
        << "design"
        << "" << -1 << "其它/条形码.jpg"
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n未写入的文件:条形码.jpg\n\n"
        << kAlbumGoods;
    // 汰片/ is read, then goes: its "." and ".." copy nothing and are never named.
    QTest::newRow("the share drops while 汰片/ is read")
        << "design"
        << "%s汰片/IMG_0001.jpg" << -4 << "其它/旧.txt"
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n\n"
        << kAlbumGoods;
    // Findings about the order alone: the run did its work.
    const QByteArray stand = R"({"goodname":"摆台","goodtypename":"摆台","goodtypeid":"34","parentid":"0"})";
    QTest::newRow("a missing photo and an empty product, no fault")
        << "design"
        << "" << -3 << "其它/旧.txt"
        << "订单A24051203:\n不存在的照片:相册:IMG_0099.jpg\n空产品:摆台\n\n"
        << QByteArray(kAlbumGoods).replace("}]}}", "}," + stand + "]}}");
}

void TestSeparationRun::fileFaults()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(int, fault);
    QFETCH(QString, kept);
    QFETCH(QString, named);
    QFETCH(QByteArray, goods);
    const QString report =
        named.startsWith("订单") ? named : "订单A24051203:\n未写入的文件:" + named + "\n\n";
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    Config::sjfjxz = QStringLiteral("1");
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    const QString out = env.volumes.mkdir("out");
    const QString orderOut = out + kDay + "A24051203-服务2 赵敏 部分/";
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    search(w, "A2405120");
    QString server;
    for (int row = 0; row < w.controller()->orderList.size(); ++row) {
        const order& o = w.controller()->orderList.at(row);
        if (o.orderpayforkey == "A24051203" || report.contains("订单" + o.orderpayforkey + ':')) {
            w.on_tableView_clicked(child<QTableView>(&w, "tableView")->model()->index(row, 0));
            writePhotos(o.orderpath + "成品/", photoNames(1));
        }
        if (o.orderpayforkey == "A24051203")
            server = o.orderpath;
    }
    QVERIFY(TestFiles::write(server + "照片/新建文件夹/IMG_0001.CR2", "raw"));
    if (fault == -4) {
        Config::isFjDownloadDeletePhoto = QStringLiteral("1");
        writePhotos(server + "汰片/", photoNames(1));
    }
    // What an earlier run of the day left, larger than any source: a check
    // of the sizes afterwards takes it for copied, only the job can tell.
    const QByteArray old = QByteArray("old").repeated(100000);
    QVERIFY(TestFiles::write(orderOut + kept, old));
    const int at = file.indexOf('@');
    const int nth = at < 0 ? 0 : file.mid(at + 1).toInt();
    const QString hit = QDir::cleanPath(file.left(at).replace("%o", orderOut).replace("%s", server));
    const bool below = file.endsWith('/');
    if (file.startsWith("%s") && hit.endsWith(".jpg") && !QFileInfo::exists(hit))
        writePhotos(QFileInfo(hit).path() + '/', {QFileInfo(hit).fileName()});
    if (file.contains("marks/")) {
        writePhotos(server + "marks/", photoNames(1));
        env.service.sendRaw(
            "order", "orderdetail",
            R"({"code":"1","order":{},"orderpicdescr":[{"picname":"IMG_0001.jpg","mark":["提亮"]}]})");
    }
    auto asks = std::make_shared<std::atomic<int>>(0);
    FileOperation::setFaultHook([=](FileOperation::Fault f, const QString& path) {
        const QString p = QDir::cleanPath(path);
        if (fault == -4 && f == FileOperation::Fault::LookUp && p == hit)
            QDir(QFileInfo(hit).path()).removeRecursively();
        return int(f) == fault && (below ? p.startsWith(hit + '/') : p == hit) && (!nth || ++*asks == nth);
    });
    if (fault == -1)
        env.service.failHttp("order", "getbarcodegen", 500);
    if (fault == -2)
        env.service.sendRaw("order", "getbarcodegen", R"({"code":"0","message":"token错误"})");
    if (!goods.isEmpty())
        env.service.sendRaw("order", "ordergoods20230521", goods);

    start(w);
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
    QTRY_COMPARE(reportText(), QString(report).replace("%o", orderOut).replace("%s", server));
    // A file not written or a folder not read: the run's work is not done.
    QCOMPARE(reportTitle(), fault <= -3 ? kFinished : kUnfinished);
    // The earlier run's file stays where it was and goes nowhere else.
    QStringList withOld;
    QDirIterator it(orderOut, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (TestFiles::readAll(path) == old)
            withOld.append(QDir::cleanPath(path));
    }
    QCOMPARE(withOld, QStringList{QDir::cleanPath(orderOut + kept)});
    // Nothing of an order folder that could never be read reaches the output.
    if (!nth && named.contains("目录读取失败：%s\n")) {
        QDirIterator photos(orderOut, {"IMG_*"}, QDir::Files, QDirIterator::Subdirectories);
        while (photos.hasNext())
            QCOMPARE(QDir::cleanPath(photos.next()), QDir::cleanPath(orderOut + kept));
    }
    QStringList boxes;
    for (const auto& call : env.prompts.messages())
        boxes.append(call.title + '/' + call.text);
    // The production sheet's own box comes besides.
    QCOMPARE(boxes, file.endsWith(".html") ? QStringList{"提示/failed to create HTML file"} : QStringList());
}

void TestSeparationRun::namesThatClimbStayInTheOutputFolder()
{
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    SearchOrder w;
    const QString root = env.volumes.root();
    const QString out = env.volumes.mkdir("shares/out");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    // An order key, a factory and a product type that would climb out of
    // their folders, the first two with a lone surrogate.
    env.service.sendRaw(
        "order", "order_list",
        R"({"code":"1","data":[{"order_photo_id":"100103","servicetimes":"2","wname":"赵敏",)"
        R"("role10":"周设计","pickuptype":"2","pickuptime":"2024-06-05",)"
        R"("orderpayforkey":"../../ESCAPE\udc00","orderpath":"\\\\studio-nas\\photos\\2024-05\\12\\A24051203-2-赵敏-黄摄影-林化妆\\"}]})");
    env.service.sendRaw(
        "order", "ordergoods20230521",
        R"({"code":"1","order":{"ordergoods2":[],"ordergoods0":[{"goodname":"相册","goodamount":"1",)"
        R"("goodtypename":"/../../../../../ESCAPE","goodtypeid":"33","isems":"1","parentid":"0",)"
        R"("picpath":"IMG_0001.jpg","factoryname":"../../../ESCAPE\udc00"}]}})");
    search(w, "A24051203");
    QCOMPARE(w.controller()->orderList.size(), 1);
    const QString server = w.controller()->orderList.at(0).orderpath;
    writePhotos(server + "成品/", photoNames(1));
    // Every entry of the mount root outside the output folder and the
    // order's own folder, which its thumbnails go into.
    auto elsewhere = [&] {
        QStringList found;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.startsWith(out + '/') && !path.startsWith(server))
                found.append(path);
        }
        found.sort();
        return found;
    };
    const QStringList before = elsewhere();
    w.on_pushButton_selectAll_clicked();

    // Twice on one day: the second run's album takes the next numbered name.
    for (int run = 0; run < 2; ++run) {
        closeReports();
        start(w);
        QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
        QVERIFY(env.prompts.messages().isEmpty());
        QCOMPARE(reportText(), QStringLiteral("分件成功!"));
    }
    const QString factoryFolder =
        out + kDay + "....ESCAPE-服务2 赵敏 部分/......ESCAPE ....ESCAPE 赵敏 2024-06-05取 周设计 【快递】/";
    QVERIFY(QFileInfo(factoryFolder + "相册 ..........ESCAPE 1/IMG_0001.jpg").isFile());
    QVERIFY(QFileInfo(factoryFolder + "相册 (1) ..........ESCAPE 1/IMG_0001.jpg").isFile());
    QCOMPARE(elsewhere(), before);
}

void TestSeparationRun::aLargeOrder()
{
    SeparationTestEnv env;
    SearchOrder w;
    const QString out = env.volumes.mkdir("out");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    search(w, "A24051203");
    const QString server = w.controller()->orderList.at(0).orderpath + "成品/";
    QDir().mkpath(server);
    JpegFixture::Options small;
    small.size = QSize(60, 40);
    QVERIFY(JpegFixture::write(server + "IMG_0001.jpg", small));
    const QStringList names = photoNames(2000);
    for (const QString& name : names)
        QFile::copy(server + "IMG_0001.jpg", server + name);
    w.on_pushButton_selectAll_clicked();

    start(w);
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 120000);
    QVERIFY2(env.prompts.calls().isEmpty(), qPrintable(env.prompts.last().text));
    QTRY_COMPARE(reportText(), QStringLiteral("分件成功!"));
    // The picture-information body carried every name, and the sheet the
    // service made from it is saved.
    const auto pic = env.service.requests("order", "getorderpic");
    QCOMPARE(pic.size(), 1);
    QVERIFY(pic.first().rawBody.size() > 8 * 1024);
    QCOMPARE(pic.first().values.value("cpimgs").split("，"), names);
    const QString orderOut = out + kDay + "A24051203-服务2 赵敏 部分/其它/";
    QCOMPARE(TestFiles::entries(orderOut + "成品/"), names);
    QVERIFY(TestFiles::readAll(orderOut + "明细制作单.html").contains("IMG_2000.jpg"));
}

void TestSeparationRun::barcodeDownloads()
{
    SeparationTestEnv env;
    QNetworkAccessManager manager;
    const QString dir = env.volumes.mkdir("bar");
    auto fetch = [&](const QString& orderId, const QString& file) {
        auto* d = new BarcodeDownload(&manager, SeparationRequests::barcodeUrl(orderId), dir + file);
        QObject::connect(d->reply(), &QNetworkReply::readyRead, d, &BarcodeDownload::onReadyRead);
        QObject::connect(d->reply(), &QNetworkReply::downloadProgress, d,
                         &BarcodeDownload::onDownloadProgress);
        QObject::connect(d->reply(), &QNetworkReply::finished, d, &BarcodeDownload::replyFinished);
        return std::make_unique<QSignalSpy>(d, &BarcodeDownload::ended);
    };
    // Two at once, the first held back: each file gets its own picture.
    env.service.delay("order", "getbarcodegen", 200);
    const auto first = fetch("100101", "a.jpg");
    env.service.clearFaults();
    const auto second = fetch("100103", "b.jpg");
    QTRY_COMPARE(first->size() + second->size(), 2);
    QVERIFY(QImage(dir + "a.jpg").width() > 0);
    QVERIFY(QImage(dir + "b.jpg").width() > 0);
    QVERIFY(TestFiles::readAll(dir + "a.jpg") != TestFiles::readAll(dir + "b.jpg"));

    env.service.sendChunked("order", "getbarcodegen");
    const auto chunked = fetch("100101", "c.jpg");
    QTRY_COMPARE(chunked->size(), 1);
    QCOMPARE(TestFiles::readAll(dir + "c.jpg"), TestFiles::readAll(dir + "a.jpg"));
    env.service.clearFaults();

    const auto missing = fetch("999", "d.jpg");
    QTRY_COMPARE(missing->size(), 1);
    QCOMPARE(missing->first().at(1).toBool(), false);

    // A refusal under a 200, and an empty body: no picture, so no file.
    for (const QByteArray& body : {QByteArray(R"({"code":"0","message":"token错误"})"), QByteArray()}) {
        env.service.sendRaw("order", "getbarcodegen", body);
        const auto refused = fetch("100101", "e.jpg");
        QTRY_COMPARE(refused->size(), 1);
        QCOMPARE(refused->first().at(1).toBool(), false);
        QVERIFY(!QFileInfo::exists(dir + "e.jpg"));
    }
    QVERIFY(env.prompts.calls().isEmpty());
}

void TestSeparationRun::hungBarcodes_data()
{
    QTest::addColumn<int>("orders");
    // Pictures that never come, or come a few bytes at a time, each piece
    // within the transfer timeout.
    QTest::addColumn<bool>("trickling");
    QTest::newRow("three orders") << 3 << false;
    // One more picture than a manager opens connections to a host.
    QTest::newRow("seven orders") << 7 << false;
    QTest::newRow("three orders, trickling") << 3 << true;
}

void TestSeparationRun::hungBarcodes()
{
    QFETCH(int, orders);
    QFETCH(bool, trickling);
    SeparationTestEnv env;
    const int timeout = 5000;
    WebService::setTransferTimeoutMs(timeout);
    SearchOrder w;
    child<QLineEdit>(&w, "pathLineEdit")->setText(env.volumes.mkdir("out"));
    QString list = R"({"code":"1","data":[)";
    QString report;
    for (int i = 1; i <= orders; ++i) {
        const QString key = QStringLiteral("K%1").arg(i);
        list += QStringLiteral(
                    R"(%1{"order_photo_id":"10010%2","servicetimes":"1","wname":"王","pickuptype":"2",)"
                    R"("orderpayforkey":"%3","orderpath":"\\\\studio-nas\\photos\\%3\\"})")
                    .arg(i > 1 ? "," : "")
                    .arg(i)
                    .arg(key);
        report += "订单" + key + ":\n未写入的文件:条形码.jpg\n\n";
    }
    env.service.sendRaw("order", "order_list", (list + "]}").toUtf8());
    env.service.sendRaw("order", "ordergoods20230521",
                        R"({"code":"1","shop_set":{},"order":{"ordergoods2":[],"ordergoods0":[]}})");
    search(w, "K");
    for (const order& o : qAsConst(w.controller()->orderList))
        writePhotos(o.orderpath + "成品/", photoNames(1));
    w.on_pushButton_selectAll_clicked();
    if (trickling)
        env.service.trickle("order", "getbarcodegen", timeout / 5);
    else
        env.service.delay("order", "getbarcodegen", 10 * timeout);

    QElapsedTimer clock;
    clock.start();
    start(w);
    // Every order's requests go out while the first picture still hangs:
    // no order waits for its picture, nor for a connection behind them.
    QTRY_COMPARE_WITH_TIMEOUT(env.service.requests("order", "orderdetail").size(), orders, 3 * timeout);
    QCOMPARE(w.findChildren<BarcodeDownload*>().size(), orders);
    // The run is held until the report: one time-out, not one an order.
    QVERIFY(SeparationRunGuard::isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!SeparationRunGuard::isBusy(), 3 * timeout);
    QVERIFY2(clock.elapsed() < 2 * timeout, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(reportText(), report);
}

void TestSeparationRun::deleteMode_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>(
        "path"); // "order": its own folder; "root": a share's root; "link": a link to it
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box"); // "%k", "%p": the order's number and the path
    QTest::newRow("deleted, a second start meanwhile") << "design"
                                                       << "order"
                                                       << "hold"
                                                       << "订单照片删除成功";
    QTest::newRow("a share's root refused") << "post-sample"
                                            << "root"
                                            << ""
                                            << "以下订单目录不能删除：\n%k：%p（";
    QTest::newRow("a link refused") << "design"
                                    << "link"
                                    << ""
                                    << "以下订单目录不能删除：\n%k：%p（";
    QTest::newRow("a removal that fails") << "post-sample"
                                          << "order"
                                          << "fail"
                                          << "以下订单照片删除失败：\n%k：%p";
    QTest::newRow("deleted, its record not taken") << "design"
                                                   << "order"
                                                   << "log"
                                                   << "删除记录上报失败：%k：%p\n请检查网络连接\n503";
}

void TestSeparationRun::deleteMode()
{
    QFETCH(QString, kind);
    QFETCH(QString, path);
    QFETCH(QString, fault);
    QFETCH(QString, box);
    SeparationTestEnv env;
    const auto window = makeWindow(kind);
    SeparationWindowBase& w = *window;
    w.setType(QStringLiteral("批量删除"));
    search(w, "A24051203");
    order& o = w.controller()->orderList[0];
    const QString folder = o.orderpath;
    writePhotos(folder + "成品/", photoNames(2));
    if (path == "root")
        o.orderpath = env.volumes.root() + "studio-nas/";
    if (path == "link") {
        o.orderpath = QFileInfo(QDir(folder).absolutePath()).path() + "/link";
        QVERIFY(QFile::link(QDir(folder).absolutePath(), o.orderpath));
    }
    // Held by the hook, which the window's jobs may still call after a
    // failed check.
    const auto release = std::make_shared<QSemaphore>();
    const auto letGo = qScopeGuard([release] { release->release(1000); });
    if (fault == "log")
        env.service.failHttp("OrderPhoto", "order_photo_del", 503);
    else if (!fault.isEmpty()) {
        FileOperation::setFaultHook([release, fault, folder](FileOperation::Fault f, const QString& p) {
            if (f != FileOperation::Fault::Remove || !p.startsWith(folder))
                return false;
            return fault == "fail" || !release->tryAcquire(1, 5000);
        });
    }
    w.on_pushButton_selectAll_clicked();
    w.startDel();
    if (fault == "hold") {
        // A second start while the folders go changes nothing.
        QCOMPARE(w.controller()->checkOrdersNum, 1);
        w.startDel();
        QCOMPARE(w.controller()->checkOrdersNum, 1);
        release->release(1000);
    }
    const QString expected = QString(box).replace("%k", o.orderpayforkey).replace("%p", o.orderpath);
    // The record's box comes after the run's own.
    QTRY_COMPARE(env.prompts.calls().size(), fault == "log" ? 2 : 1);
    QVERIFY2(env.prompts.last().text.startsWith(expected), qPrintable(env.prompts.last().text));
    const bool deleted = box == "订单照片删除成功" || fault == "log";
    QCOMPARE(QFileInfo::exists(folder), !deleted);
    QTRY_COMPARE(env.service.requests("OrderPhoto", "order_photo_del").size(), deleted ? 1 : 0);
    if (deleted) {
        const auto log = env.service.requests("OrderPhoto", "order_photo_del").first();
        QCOMPARE(log.keys.join(' '), QStringLiteral("token shopid superid orderphotoid path MANAGER_ID"));
        QCOMPARE(log.values.value("orderphotoid"), QStringLiteral("100103"));
        QCOMPARE(log.values.value("path"), folder);
    }
    QCOMPARE(w.controller()->checkOrdersNum, 0);
    QCOMPARE(w.controller()->deletenum, 0);
}

void TestSeparationRun::unreachedMarkStageMakesAProductFolder()
{
    SeparationTestEnv env;
    SplitAfterSample w;
    SeparationController* c = w.controller();
    const QString folder = env.volumes.mkdir("order") + "/";
    c->orderFolderPath = folder;
    c->saveFilepath = folder;
    ProductMessage plan;
    plan.goodname = plan.folderName = QStringLiteral("相册");
    plan.factoryFolder = QStringLiteral("华彩/");
    plan.productFolder = QStringLiteral("相册 相册 1/");
    plan.goodtypeid = QStringLiteral("33");
    c->productMessageList = {plan};
    c->takenOrder.orderpayforkey = QStringLiteral("A1");
    // Called directly, the design form's product stage holds; the sheet
    // stage that follows is refused here.
    env.service.failHttp("order", "getorderpic", 500);
    env.prompts.setLenient(true);
    w.fenjian_markPhoto_3_1();
    QVERIFY(QFileInfo(folder + "华彩/相册 相册 1").isDir());
    QCOMPARE(c->m_messageList.size(), 2);
    QCOMPARE(c->m_messageList.last().emptyProducts, QStringList{"相册"});
}

QTEST_MAIN(TestSeparationRun)
#include "tst_separationrun.moc"
