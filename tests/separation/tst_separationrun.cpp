#include "barcodedownload.h"
#include "clock.h"
#include "fileoperation.h"
#include "jpegfixture.h"
#include "messageboxdialog.h"
#include "searchorder.h"
#include "separationfiles.h"
#include "separationtestenv.h"
#include "testfiles.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

// A design separation run on real order trees under a temporary mount
// root, against the stand-in service.
class TestSeparationRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void separatesTwoOrders();
    void replyFailureStopsAndRestarts_data();
    void replyFailureStopsAndRestarts();
    void folderThatCannotBeMade();
    void closingMidRunStops();
    void barcodeDownloads();
    void reportFileName_data();
    void reportFileName();
    void deleteMode();
};

namespace {

// The order folder of a demo order, with finished photos, designs and marks.
QString makeOrderTree(const QString& orderPath, int finished, bool designs, bool marks)
{
    for (int i = 1; i <= finished; ++i) {
        JpegFixture::Options o;
        o.size = QSize(120, 80);
        o.seed = quint32(i);
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QDir().mkpath(orderPath + "成品");
        JpegFixture::write(orderPath + "成品/" + name, o);
        if (marks && i <= 2) {
            QDir().mkpath(orderPath + "marks");
            JpegFixture::write(orderPath + "marks/" + name, o);
        }
    }
    if (designs) {
        JpegFixture::Options o;
        o.size = QSize(100, 50);
        QDir().mkpath(orderPath + "设计缩略图100");
        QDir().mkpath(orderPath + "设计");
        JpegFixture::write(orderPath + "设计/P01.jpg", o);
        JpegFixture::write(orderPath + "设计缩略图100/P01.jpg", o);
    }
    return orderPath;
}

template <typename T> T* child(QObject* w, const char* name)
{
    return w->findChild<T*>(QLatin1String(name));
}

void search(SearchOrder& w, const QString& key)
{
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    child<QLineEdit>(&w, "orderNumber")->setText(key);
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_VERIFY(child<QPushButton>(&w, "searchButton")->isEnabled());
}

void closeReports()
{
    for (MessageBoxDialog* box : topLevelWindows<MessageBoxDialog>())
        delete box;
}

} // namespace

void TestSeparationRun::init()
{
    Clock::setFixed(QDateTime(QDate(2024, 6, 1), QTime(9, 0)));
}

void TestSeparationRun::cleanup()
{
    Clock::setFixed(QDateTime());
    closeReports();
}

void TestSeparationRun::separatesTwoOrders()
{
    SeparationTestEnv env;
    SearchOrder w;
    const QString out = env.volumes.mkdir("out");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    search(w, "A2405120");
    QCOMPARE(w.controller()->orderList.size(), 4);
    makeOrderTree(w.controller()->orderList.at(0).orderpath, 4, true, true);
    makeOrderTree(w.controller()->orderList.at(2).orderpath, 3, false, false);
    w.on_tableView_clicked(w.findChild<QTableView*>("tableView")->model()->index(0, 0));
    w.on_tableView_clicked(w.findChild<QTableView*>("tableView")->model()->index(2, 0));
    env.service.clearLog();

    child<QPushButton>(&w, "pushButton_separate")->click();
    QVERIFY(w.controller()->isSeparating);
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 30000);
    QVERIFY2(env.prompts.calls().isEmpty(), qPrintable(env.prompts.last().text));

    const QString order = out + "/2024-06-01/A24051201-服务1 王小宝-刘芳-王强 快递/";
    const QString other = order + "其它/";
    QCOMPARE(TestFiles::entries(other + "成品"),
             (QStringList{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg", "IMG_0004.jpg"}));
    QCOMPARE(TestFiles::entries(other + "设计"), QStringList{"P01.jpg"});
    QCOMPARE(TestFiles::entries(other + "标注"), (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(QFileInfo(other + "汰片").isDir());
    const QString album = order + "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/宝宝成长相册 相册 1/";
    QCOMPARE(TestFiles::entries(album), (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(QFileInfo(order + "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/套系赠品 赠品 1/"
                              "钥匙扣 钥匙扣 2/IMG_0004.jpg")
                .isFile());
    QVERIFY(QFileInfo(order + "店内制作/宝宝成长相册(1) A24051201  王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/"
                              "IMG_0001.jpg")
                .isFile());
    QVERIFY(QFileInfo(other + "/条形码.jpg").size() > 100);
    QCOMPARE(TestFiles::entries(other + "制作单缩略图"),
             (QStringList{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg", "IMG_0004.jpg", "marks"}));
    QCOMPARE(TestFiles::entries(other + "制作单缩略图/marks"), (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(QFileInfo(other + "快递产品信息.pdf").size() > 0);
    const QByteArray sheet = TestFiles::readAll(other + "明细制作单.html");
    QVERIFY(sheet.contains("A24051201 明细制作单"));
    QVERIFY(sheet.contains(QStringLiteral("成品：IMG_0001.jpg、IMG_0002.jpg、IMG_0003.jpg、IMG_0004.jpg").toUtf8()));
    QVERIFY(sheet.contains(QStringLiteral("设计：P01.jpg").toUtf8()));
    QVERIFY(QFileInfo(out + "/2024-06-01/A24051203-服务2 赵敏 部分/其它/成品/IMG_0003.jpg").isFile());

    // The report names the missing photo and the empty product once each.
    MessageBoxDialog* report = topLevelWindow<MessageBoxDialog>();
    QVERIFY(report);
    const QString text = report->findChild<QTextEdit*>()->toPlainText();
    QVERIFY2(text.startsWith(QStringLiteral("订单A24051201:\n不存在的照片:宝宝成长相册:IMG_0099.jpg\n空产品:实木相框")),
             qPrintable(text));
    QCOMPARE(w.controller()->checkOrdersNum, 0);
    QVERIFY(!w.controller()->orderList.at(0).isDone);
    QVERIFY(!SeparationRunGuard::isBusy());

    // The bodies, in their key orders.
    const auto goods = env.service.requests("order", "ordergoods20230521");
    QCOMPARE(goods.size(), 2);
    QCOMPARE(goods.first().keys.join(' '), QStringLiteral("token order_photo_id shopid superid personid uid is_qu"));
    const auto bar = env.service.requests("order", "getbarcodegen");
    QCOMPARE(bar.size(), 2);
    QCOMPARE(bar.first().method, QStringLiteral("GET"));
    const auto pic = env.service.requests("order", "getorderpic");
    QCOMPARE(pic.first().keys.join(' '),
             QStringLiteral("token order_photo_id shopid superid companyid uid qrcodepath imgpath cpimgs sjimgs"));
    QCOMPARE(pic.first().values.value("uid"), QStringLiteral("1024"));
    QCOMPARE(pic.first().values.value("companyid"), QStringLiteral("8"));
    QCOMPARE(pic.first().values.value("qrcodepath"), other + "/条形码.jpg");
    const auto detail = env.service.requests("order", "orderdetail");
    QCOMPARE(detail.first().keys.join(' '), QStringLiteral("token order_photo_id shopid superid eid uid personid"));

    // The sheet values of the last order, and the window's own sheet.
    QCOMPARE(w.controller()->sheet.orderNumber, QStringLiteral("A24051203"));
    QVERIFY(w.getHTMLString().contains("A24051203"));
}

void TestSeparationRun::replyFailureStopsAndRestarts_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("box");
    QTest::newRow("goods") << "ordergoods20230521" << "警告/查询产品信息错误：0";
    QTest::newRow("picture information") << "getorderpic" << "警告/查询裁剪信息错误：0";
    QTest::newRow("order detail") << "orderdetail" << "警告/查询订单信息错误：0";
}

void TestSeparationRun::replyFailureStopsAndRestarts()
{
    QFETCH(QString, action);
    QFETCH(QString, box);
    SeparationTestEnv env;
    env.prompts.setLenient(true);
    SearchOrder w;
    child<QLineEdit>(&w, "pathLineEdit")->setText(env.volumes.mkdir("out"));
    search(w, "A24051203");
    makeOrderTree(w.controller()->orderList.at(0).orderpath, 1, false, false);
    w.on_pushButton_selectAll_clicked();
    env.service.refuse("order", action, "0", "拒绝");
    child<QPushButton>(&w, "pushButton_separate")->click();
    QTRY_VERIFY(!w.controller()->isSeparating);
    QCOMPARE(env.prompts.last().title + '/' + env.prompts.last().text, box);
    QVERIFY(!w.controller()->orderList.first().isDone);
    QVERIFY(!SeparationRunGuard::isBusy());
    QVERIFY(topLevelWindows<MessageBoxDialog>().isEmpty());

    // A new start takes the order again and ends with the report.
    env.service.clearFaults();
    child<QPushButton>(&w, "pushButton_separate")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
    QTRY_VERIFY(topLevelWindow<MessageBoxDialog>());
}

void TestSeparationRun::folderThatCannotBeMade()
{
    SeparationTestEnv env;
    SearchOrder w;
    const QString out = env.volumes.mkdir("out");
    TestFiles::write(out + "/2024-06-01", "a file where the day's folder goes");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    search(w, "A24051203");
    w.on_pushButton_selectAll_clicked();
    env.prompts.setNextAnswer(Prompts::Yes);
    child<QPushButton>(&w, "pushButton_separate")->click();
    QTRY_VERIFY(!w.controller()->isSeparating);
    QCOMPARE(env.prompts.last().text, QStringLiteral("分件文件夹创建失败：\n") + out + "/2024-06-01/");
    QVERIFY(!w.controller()->orderList.first().isDone);
    QVERIFY(env.prompts.unexpected().isEmpty());
}

void TestSeparationRun::closingMidRunStops()
{
    SeparationTestEnv env;
    auto* w = new SearchOrder;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    child<QLineEdit>(w, "pathLineEdit")->setText(env.volumes.mkdir("out"));
    search(*w, "A24051203");
    makeOrderTree(w->controller()->orderList.at(0).orderpath, 2, false, false);
    w->on_pushButton_selectAll_clicked();
    env.service.delay("order", "getorderpic", 300);
    child<QPushButton>(w, "pushButton_separate")->click();
    QTRY_COMPARE(env.service.requests("order", "getorderpic").size(), 1);
    QPointer<SearchOrder> guard(w);
    w->close();
    QTRY_VERIFY(guard.isNull());
    QVERIFY(!SeparationRunGuard::isBusy());
    QTest::qWait(500);
    QVERIFY(env.service.requests("order", "orderdetail").isEmpty());
    QVERIFY(topLevelWindows<MessageBoxDialog>().isEmpty());
}

void TestSeparationRun::barcodeDownloads()
{
    SeparationTestEnv env;
    Config::order_id = "100101";
    QNetworkAccessManager manager;
    const QString dir = env.volumes.mkdir("bar");
    auto fetch = [&](const QString& orderId, const QString& file) {
        Config::order_id = orderId;
        auto* d = new BarcodeDownload(&manager, SeparationRequests::barcodeUrl(), dir + file);
        QObject::connect(d->reply(), &QNetworkReply::readyRead, d, &BarcodeDownload::onReadyRead);
        QObject::connect(d->reply(), &QNetworkReply::downloadProgress, d, &BarcodeDownload::onDownloadProgress);
        QObject::connect(d->reply(), &QNetworkReply::finished, d, &BarcodeDownload::replyFinished);
        return new QSignalSpy(d, &BarcodeDownload::ended);
    };
    // Two at once, the first held back: each file gets its own picture.
    env.service.delay("order", "getbarcodegen", 200);
    std::unique_ptr<QSignalSpy> first(fetch("100101", "a.jpg"));
    env.service.clearFaults();
    std::unique_ptr<QSignalSpy> second(fetch("100103", "b.jpg"));
    QTRY_COMPARE(first->size() + second->size(), 2);
    QVERIFY(QImage(dir + "a.jpg").width() > 0);
    QVERIFY(TestFiles::readAll(dir + "a.jpg") != TestFiles::readAll(dir + "b.jpg"));
    QVERIFY(TestFiles::readAll(dir + "b.jpg").size() > 0);

    env.service.sendChunked("order", "getbarcodegen");
    std::unique_ptr<QSignalSpy> chunked(fetch("100101", "c.jpg"));
    QTRY_COMPARE(chunked->size(), 1);
    QCOMPARE(TestFiles::readAll(dir + "c.jpg"), TestFiles::readAll(dir + "a.jpg"));
    env.service.clearFaults();

    std::unique_ptr<QSignalSpy> missing(fetch("999", "d.jpg"));
    QTRY_COMPARE(missing->size(), 1);
    QCOMPARE(missing->first().at(1).toBool(), false);
    QVERIFY(env.prompts.calls().isEmpty());
}

void TestSeparationRun::reportFileName_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("name");
    QTest::newRow("doubled keys") << "/Volumes/out" << "" << QStringList{"A1", "A1", "B2", "B2"}
                                  << "/Volumes/out/2024-06-01/A1、A1、B2、B2分件结果.txt";
    QTest::newRow("backslash root") << "D:\\out\\" << "" << QStringList{"A1"} << "D:\\out\\2024-06-01/A1分件结果.txt";
    QTest::newRow("empty field") << "" << "/Volumes/chosen/" << QStringList{"A/1"}
                                 << "/Volumes/chosen/2024-06-01/A1分件结果.txt";
    QTest::newRow("no entries") << "/o/" << "" << QStringList() << "/o/2024-06-01/分件结果.txt";
}

void TestSeparationRun::reportFileName()
{
    QFETCH(QString, field);
    QFETCH(QString, chosen);
    QFETCH(QStringList, keys);
    QFETCH(QString, name);
    QCOMPARE(SeparationFiles::reportFileName(field, chosen, QDate(2024, 6, 1), keys), name);

    // A long run: the name is cut to 255 bytes and keeps its ending.
    const QString longName = SeparationFiles::reportFileName("/o", "", QDate(2024, 6, 1), QVector<QString>(60, QStringLiteral("订单一二")).toList());
    const QString file = longName.mid(longName.lastIndexOf('/') + 1);
    QVERIFY(file.toUtf8().size() <= 255);
    QVERIFY(file.endsWith(QStringLiteral("分件结果.txt")));
}

void TestSeparationRun::deleteMode()
{
    SeparationTestEnv env;
    SearchOrder w;
    w.setType(QStringLiteral("批量删除"));
    search(w, "A24051203");
    const QString folder = makeOrderTree(w.controller()->orderList.at(0).orderpath, 2, false, false);
    w.on_pushButton_selectAll_clicked();
    env.prompts.setNextAnswer(Prompts::Yes);
    w.startDel();
    QCOMPARE(w.controller()->checkOrdersNum, 1);
    QTRY_COMPARE(env.service.requests("OrderPhoto", "order_photo_del").size(), 1);
    QVERIFY(!QFileInfo::exists(folder));
    const auto log = env.service.requests("OrderPhoto", "order_photo_del").first();
    QCOMPARE(log.keys.join(' '), QStringLiteral("token shopid superid orderphotoid path MANAGER_ID"));
    QCOMPARE(log.values.value("orderphotoid"), QStringLiteral("100103"));
    QCOMPARE(log.values.value("path"), folder);
    QTRY_COMPARE(env.prompts.calls().size(), 1);
    QCOMPARE(env.prompts.last().text, QStringLiteral("订单照片删除成功"));
    QCOMPARE(w.controller()->checkOrdersNum, 0);
}

QTEST_MAIN(TestSeparationRun)
#include "tst_separationrun.moc"
