#include "demosignin.h"
#include "messageboxdialog.h"
#include "n8windowtestenv.h"
#include "separatethread.h"
#include "separationrequests.h"
#include "testfiles.h"
#include "thumbnailthread.h"
#include "toplevelwindows.h"
#include "webservice.h"

#include <QImage>
#include <QLabel>
#include <QNetworkReply>
#include <QRadioButton>
#include <QTextEdit>
#include <QUrlQuery>

#include <algorithm>

// The N8 window's separation run on the separation base, which no control
// of the window starts: the tests start it as the base's start does. Real
// demo order trees, the stand-in service, the window's own sheet as PDF.
class TestN8Separation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void slotsByName();
    void separatesTwoOrders();
    void separatesInTheTovaroLayout();
    void orderDetailValues_data();
    void orderDetailValues();
    void setProductsOfNothing();
    void subProductsAreMarked();
    void pictureInformationBodies_data();
    void pictureInformationBodies();
    void failuresEndTheRun_data();
    void failuresEndTheRun();
    void unwrittenSheetIsReported();
    void sheetsWaitForTheBarcode();
    void fromTheLauncher();
};

namespace {

// Starts the run the way the base's start button does, over the ticked
// orders, into the output folder, and waits for its end.
void runTicked(ExportN8Result& w, const QString& out)
{
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    w.controller()->startRequested(out);
    QVERIFY(w.controller()->isSeparating);
    QVERIFY(SeparationRunGuard::isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 30000);
    QVERIFY(!SeparationRunGuard::isBusy());
}

QString reportText()
{
    MessageBoxDialog* report = topLevelWindow<MessageBoxDialog>();
    return report ? report->findChild<QTextEdit*>()->toPlainText() : QStringLiteral("<no report>");
}

bool isPdf(const QString& path)
{
    return TestFiles::readAll(path).startsWith("%PDF");
}

} // namespace

void TestN8Separation::cleanup()
{
    for (MessageBoxDialog* box : topLevelWindows<MessageBoxDialog>())
        delete box;
}

void TestN8Separation::slotsByName()
{
    N8WindowEnv env;
    ExportN8Result w;
    const QList<QByteArray> named = {"fenjian_photoIsFileSlot_1(int)",
                                     "fenjian_finalPhotoSlot_2()",
                                     "fenjian_delPhotoSlot_3()",
                                     "fenjian_markPhoto_3_1()",
                                     "fenjian_productPhotoSlot_4(QString)",
                                     "fenjian_analysisPhotoInfo()",
                                     "onReadyRead()",
                                     "onDownloadProgress(qint64,qint64)",
                                     "replyFinished(QNetworkReply*)",
                                     "queryProductsCallBack(QNetworkReply*)",
                                     "queryPicInfoCallBack(QNetworkReply*)",
                                     "queryOrderInfoCallBack(QNetworkReply*)",
                                     "onFinishSaveThumb()",
                                     "onFinishSeparateImage()",
                                     "showWidget()"};
    for (const QByteArray& slot : named)
        QVERIFY2(w.metaObject()->indexOfSlot(QMetaObject::normalizedSignature(slot)) >= 0, slot.constData());
    // Every slot a job calls back is one of the window's given slots; the
    // design stage's belongs to another window. Failed copies and
    // listings are told through invokable methods beside them.
    for (const QByteArray& slot :
         SeparateThread::callbackSignatures() + ThumbnailThread::callbackSignatures()) {
        if (slot == "copyFailed(QString,QString)" || slot == "listFailed(QString)")
            QVERIFY(w.metaObject()->indexOfMethod(slot) >= 0);
        else if (slot != "fenjian_shejiPhotoSlot_3_2()")
            QVERIFY2(named.contains(QMetaObject::normalizedSignature(slot)), slot.constData());
    }
    QCOMPARE(w.metaObject()->indexOfMethod("fenjian_shejiPhotoSlot_3_2()"), -1);
    QVERIFY(w.isHidden());
    QMetaObject::invokeMethod(&w, "showWidget", Qt::DirectConnection);
    QVERIFY(w.isVisible());
}

void TestN8Separation::separatesTwoOrders()
{
    N8WindowEnv env;
    ExportN8Result w;
    search(w, "A2405120");
    tick(w, {"A24051201", "A24051203"});
    env.service.clearLog();
    runTicked(w, env.out);
    QVERIFY(env.prompts.calls().isEmpty());

    const QString order = env.out + "/2024-06-01/A24051201-服务1 王小宝-刘芳-王强 快递/";
    const QString other = order + "其它/";
    QCOMPARE(TestFiles::entries(other), (QStringList{"制作单缩略图", "快递产品信息.pdf", "成品",
                                                     "明细制作单.pdf", "条形码.jpg", "标注", "汰片"}));
    QCOMPARE(TestFiles::entries(other + "成品"),
             (QStringList{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg", "IMG_0004.jpg"}));
    QCOMPARE(TestFiles::entries(other + "标注"), (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(QImage(other + "条形码.jpg").width() > 0);
    QVERIFY(isPdf(other + "明细制作单.pdf") && isPdf(other + "快递产品信息.pdf"));
    QVERIFY(QFileInfo(other + "明细制作单.pdf").lastModified() <=
            QFileInfo(other + "快递产品信息.pdf").lastModified());
    const QString factory = order + "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/";
    QCOMPARE(TestFiles::entries(factory + "宝宝成长相册 相册 1"),
             (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(QFileInfo(order +
                      "店内制作/宝宝成长相册(1) A24051201  王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/"
                      "内页 内页 1/IMG_0003.jpg")
                .isFile());
    const QString second = env.out + "/2024-06-01/A24051203-服务2 赵敏 部分/其它/";
    QVERIFY(isPdf(second + "明细制作单.pdf") && isPdf(second + "快递产品信息.pdf"));
    QVERIFY(QFileInfo(second + "条形码.jpg").size() > 0);

    // Each order ended once; one report with its proposed file.
    QCOMPARE(child<QLabel>(&w, "label_finishOrdersNum")->text(), QStringLiteral("已完成订单个数：2/2"));
    QCOMPARE(topLevelWindows<MessageBoxDialog>().size(), 1);
    QCOMPARE(reportText(),
             QStringLiteral(
                 "订单A24051201:\n不存在的照片:宝宝成长相册:IMG_0099.jpg\n空产品:实木相框、套系赠品\n\n"));
    env.prompts.setNextPath(QString());
    topLevelWindow<MessageBoxDialog>()->findChild<QPushButton*>("pushButton_save")->click();
    QCOMPARE(env.prompts.last().kind, ScriptedPrompts::Call::Kind::SaveFile);
    QCOMPARE(env.prompts.last().dir,
             env.out + "/2024-06-01/A24051201、A24051201、A24051203、A24051203分件结果.txt");

    QCOMPARE(env.service.requests("order", "ordergoods20230521").size(), 2);
    QCOMPARE(env.service.requests("order", "orderdetail").size(), 2);
    const auto pictures = env.service.requests("order", "getorderpic");
    QCOMPARE(pictures.size(), 2);
    QCOMPARE(pictures.first().keys.join(' '), QStringLiteral("token order_photo_id shopid superid"));
    // The barcode address carries the fixed API token.
    QCOMPARE(env.service.requests("order", "getbarcodegen").first().values.value("token"),
             QStringLiteral("5d1f08c6a93e2b74f0c8e61a7b3d9f25"));

    // The second order's reply has no sample time: its sheet shows none of
    // the first order's.
    QVERIFY(w.controller()->sheet.selectionTime.isEmpty());
    QCOMPARE(w.controller()->sheet.orderNumber, QStringLiteral("A24051203"));
    QVERIFY(!w.controller()->sheetHtml.contains("15:20"));
    QVERIFY(w.controller()->sheetHtml.contains("A24051203"));
}

void TestN8Separation::separatesInTheTovaroLayout()
{
    N8WindowEnv env;
    SeparationTestEnv::useTovaroShop();
    Config::isFjDownloadDeletePhoto = QStringLiteral("1");
    ExportN8Result w;
    search(w, "T24050801");
    tick(w, {"T24050801"});
    runTicked(w, env.out);

    const QString order = env.out + "/2024-06-01/T24050801-服务1 许晴-罗杰 自取/";
    QCOMPARE(TestFiles::entries(order),
             (QStringList{"01标注", "02底片", "9701#婚纱相册 相册 1", "9702#放大照片 摆台 1", "制作单缩略图",
                          "快递产品信息.pdf", "明细制作单.pdf", "条形码.jpg"}));
    QCOMPARE(TestFiles::entries(order + "02底片").size(), 4);
    QCOMPARE(TestFiles::entries(order + "9701#婚纱相册 相册 1"),
             (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(isPdf(order + "明细制作单.pdf") && isPdf(order + "快递产品信息.pdf"));
    QCOMPARE(reportText(), QStringLiteral("分件成功!"));
}

void TestN8Separation::orderDetailValues_data()
{
    QTest::addColumn<QStringList>("contacts"); // mqq, wqq, mwx, wwx
    QTest::addColumn<QString>("twosales");     // "-": the order is not in the list
    QTest::addColumn<QString>("paid");
    QTest::addColumn<QStringList>("expected"); // qq, wx, sale amount, unpaid
    QTest::newRow("both set") << QStringList{"123", "456", "", "w1"} << "500"
                              << "200" << QStringList{"123<BR>456", "w1", "500", "300"};
    QTest::newRow("one set, paid more") << QStringList{"", "456", "m1", ""} << "200"
                                        << "500" << QStringList{"456", "m1", "200", "-300"};
    QTest::newRow("none set") << QStringList{"", "", "", ""} << ""
                              << "" << QStringList{"earlier", "earlier", "", "0"};
    QTest::newRow("order not listed") << QStringList{"1", "", "", ""} << "-"
                                      << "200" << QStringList{"1", "earlier", "", "-200"};
    QTest::newRow("not whole numbers") << QStringList{"", "", "", ""} << "12.5"
                                       << "x" << QStringList{"earlier", "earlier", "12.5", "0"};
}

void TestN8Separation::orderDetailValues()
{
    QFETCH(QStringList, contacts);
    QFETCH(QString, twosales);
    QFETCH(QString, paid);
    QFETCH(QStringList, expected);
    N8WindowEnv env;
    ExportN8Result w;
    SeparationController* c = w.controller();
    order listed;
    listed.order_photo_id = QStringLiteral("100101");
    listed.twosales = twosales;
    c->orderList = {listed};
    c->takenOrder.order_photo_id = twosales == "-" ? QStringLiteral("999") : QStringLiteral("100101");
    c->qqText = c->wxText = QStringLiteral("earlier");
    const QJsonObject detail{{"mqq", contacts.at(0)}, {"wqq", contacts.at(1)}, {"mwx", contacts.at(2)},
                             {"wwx", contacts.at(3)}, {"sale_payfor", paid},   {"bname", "王小宝"},
                             {"bsex", "男"},          {"consumetypeid", "3"},  {"pickuptype", "1"}};
    const QJsonObject reply{{"code", "1"}, {"order", detail}};
    c->queryOrderInfoCallBack(WebService::classify(QJsonDocument(reply).toJson()));
    QCOMPARE((QStringList{c->qqText, c->wxText, c->twosalesTotal, c->twosalesDebt}), expected);
    QCOMPARE(c->sale_payfor, paid);
    QCOMPARE(c->sheet.bname + c->sheet.bsex + c->consumetypeid + c->pickuptype, QStringLiteral("王小宝男31"));
}

void TestN8Separation::setProductsOfNothing()
{
    N8WindowEnv env;
    ExportN8Result w;
    // An order before it had products, none urgent, with three photos.
    Product album;
    album.isurgent = QStringLiteral("0");
    album.photos = QStringList{"a.jpg", "b.jpg"};
    Product frame = album;
    frame.photos = QStringList{"c.jpg"};
    ProductData::m_products = {album, frame};
    w.setProducts({album, frame});
    QCOMPARE(w.controller()->productsUrgentState, 0);
    QCOMPARE(w.controller()->productPhotoNum, 3);
    QCOMPARE(w.controller()->orderProducts.size(), 2);

    ProductData::m_products.clear();
    w.setProducts({});
    QCOMPARE(w.controller()->productsUrgentState, 1);
    QCOMPARE(w.controller()->productPhotoNum, 0);
    QVERIFY(w.controller()->orderProducts.isEmpty());
}

void TestN8Separation::subProductsAreMarked()
{
    N8WindowEnv env;
    ExportN8Result w;
    const QJsonObject son{{"goodname", "内页"}, {"goodtypename", "内页"}, {"parentid", "0"}};
    const QJsonObject goods{
        {"goodname", "宝宝成长相册"}, {"parentid", "0"}, {"son_good", QJsonArray{son, son}}};
    const QList<Product> subs = w.returnSubPro(goods);
    QCOMPARE(subs.size(), 2);
    QCOMPARE(subs.at(0).goodname + "|" + subs.at(1).goodname, QStringLiteral("内页|内页(1)"));
    QVERIFY(subs.at(0).hasParent && subs.at(1).hasParent);
    QVERIFY(w.returnSubPro(son).isEmpty());
}

void TestN8Separation::pictureInformationBodies_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<QStringList>("finished");
    QTest::addColumn<QStringList>("design");
    QTest::addColumn<QByteArray>("body");

    const QByteArray head = "token=tok&order_photo_id=100101&shopid=12&superid=9";
    const QByteArray paths = "&companyid=9&uid=1024"
                             "&qrcodepath=%2Fv%2Fout%2F2024-06-01%2FA1-%E6%9C%8D%E5%8A%A11%20%E7%8E%8B%20"
                             "%E5%BF%AB%E9%80%92%2F%E5%85%B6%E5%AE%83%2F%2F%E6%9D%A1%E5%BD%A2%E7%A0%81.jpg"
                             "&imgpath=%2Fv%2Fout%2F2024-06-01%2FA1-%E6%9C%8D%E5%8A%A11%20%E7%8E%8B%20"
                             "%E5%BF%AB%E9%80%92%2F%E5%85%B6%E5%AE%83%2F";
    // Each name encoded once, the names joined by a bare full-width comma;
    // a comma inside a name is encoded, so it never splits the name.
    const QByteArray finished =
        "&cpimgs=IMG%201.jpg，%E7%85%A7%E7%89%87%262.jpg，%E7%94%B2%EF%BC%8C%E4%B9%99.jpg";
    const QStringList names = {"IMG 1.jpg", "照片&2.jpg", "甲，乙.jpg"};
    QTest::newRow("design") << int(SeparationRequests::PicInfoForm::Design) << names << QStringList{"P+1.jpg"}
                            << head + paths + finished + "&sjimgs=P%2B1.jpg";
    QTest::newRow("design, no photos") << int(SeparationRequests::PicInfoForm::Design) << QStringList()
                                       << QStringList() << head + paths + "&cpimgs=&sjimgs=";
    QTest::newRow("post-sample") << int(SeparationRequests::PicInfoForm::PostSample) << names
                                 << QStringList{"x"} << head + paths + finished + "&isyhfj=1";
    QTest::newRow("N8 window") << int(SeparationRequests::PicInfoForm::Short) << names << QStringList{"x"}
                               << head;
}

void TestN8Separation::pictureInformationBodies()
{
    QFETCH(int, form);
    QFETCH(QStringList, finished);
    QFETCH(QStringList, design);
    QFETCH(QByteArray, body);
    Config::token = QStringLiteral("tok");
    Config::shop_id = QStringLiteral("12");
    Config::super_id = QStringLiteral("9");
    Config::manager_id = QStringLiteral("1024");
    const QByteArray sent =
        SeparationRequests::picInfoBody(SeparationRequests::PicInfoForm(form), "100101",
                                        "/v/out/2024-06-01/A1-服务1 王 快递/其它//条形码.jpg",
                                        "/v/out/2024-06-01/A1-服务1 王 快递/其它/", finished, design);
    Config::token = QStringLiteral("5d1f08c6a93e2b74f0c8e61a7b3d9f25");
    QCOMPARE(sent, body);
}

void TestN8Separation::failuresEndTheRun_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("details"); // order-detail requests sent
    const QString order = "\n未完成分件的订单：A24051203";
    QTest::newRow("picture information refused")
        << "getorderpic"
        << "refuse" << QStringList{"警告/查询裁剪信息错误：0" + order} << 0;
    QTest::newRow("picture information not JSON") << "getorderpic"
                                                  << "raw" << QStringList{"警告/网络请求错误" + order} << 0;
    QTest::newRow("order detail refused") << "orderdetail"
                                          << "refuse" << QStringList{"警告/查询订单信息错误：0" + order} << 1;
}

void TestN8Separation::failuresEndTheRun()
{
    QFETCH(QString, action);
    QFETCH(QString, fault);
    QFETCH(QStringList, shown);
    QFETCH(int, details);
    N8WindowEnv env;
    env.prompts.setLenient(true);
    ExportN8Result w;
    search(w, "A24051203");
    tick(w, {"A24051203"});
    if (fault == "refuse")
        env.service.refuse("order", action, "0", "拒绝");
    else
        env.service.sendRaw("order", action, "<html>");
    runTicked(w, env.out);
    QStringList boxes;
    for (const auto& call : env.prompts.messages())
        boxes.append(call.title + '/' + call.text);
    QCOMPARE(boxes, shown);
    const QString other = env.out + "/2024-06-01/A24051203-服务2 赵敏 部分/其它/";
    QVERIFY(!QFileInfo::exists(other + "明细制作单.pdf"));
    QVERIFY(!QFileInfo::exists(other + "快递产品信息.pdf"));
    QVERIFY(topLevelWindows<MessageBoxDialog>().isEmpty());
    // Every reply handled, then a moment in which no other request may go.
    QTRY_VERIFY_WITH_TIMEOUT(w.findChildren<QNetworkReply*>().isEmpty(), 10000);
    QTest::qWait(100);
    QCOMPARE(env.service.requests("order", "orderdetail").size(), details);
}

void TestN8Separation::unwrittenSheetIsReported()
{
    N8WindowEnv env;
    const QString other = env.out + "/2024-06-01/A24051203-服务2 赵敏 部分/其它/";
    QVERIFY(QDir().mkpath(other + "明细制作单.pdf"));
    ExportN8Result w;
    search(w, "A24051203");
    tick(w, {"A24051203"});
    runTicked(w, env.out);
    QCOMPARE(reportText(), QStringLiteral("订单A24051203:\n未写入的文件:明细制作单.pdf\n\n"));
    QCOMPARE(topLevelWindow<MessageBoxDialog>()->windowTitle(), QStringLiteral("提示:   分件未完成"));
    QVERIFY(isPdf(other + "快递产品信息.pdf"));
}

void TestN8Separation::sheetsWaitForTheBarcode()
{
    N8WindowEnv env;
    env.service.delay("order", "getbarcodegen", 3000);
    ExportN8Result w;
    search(w, "A24051203");
    tick(w, {"A24051203"});
    const QString other = env.out + "/2024-06-01/A24051203-服务2 赵敏 部分/其它/";
    child<QLineEdit>(&w, "pathLineEdit")->setText(env.out);
    w.controller()->startRequested(env.out);
    QTRY_COMPARE(env.service.requests("order", "orderdetail").size(), 1);
    // The order's details have come, the barcode has not: the sheets wait
    // for it meanwhile.
    const auto onlyTheBarcodeAwaited = [&w] {
        const QList<QNetworkReply*> replies = w.findChildren<QNetworkReply*>();
        return std::all_of(replies.cbegin(), replies.cend(), [](const QNetworkReply* reply) {
            return QUrlQuery(reply->url()).queryItemValue("a") == QLatin1String("getbarcodegen");
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(onlyTheBarcodeAwaited(), 10000);
    QTest::qWait(300);
    QVERIFY(w.controller()->isSeparating);
    QCOMPARE(QFileInfo(other + "条形码.jpg").size(), 0);
    QVERIFY(!QFileInfo::exists(other + "明细制作单.pdf"));
    QVERIFY(!QFileInfo::exists(other + "快递产品信息.pdf"));

    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 20000);
    QVERIFY(QImage(other + "条形码.jpg").width() > 0);
    const QDateTime barcode = QFileInfo(other + "条形码.jpg").lastModified();
    QVERIFY(QFileInfo(other + "明细制作单.pdf").lastModified() >= barcode);
    QVERIFY(QFileInfo(other + "快递产品信息.pdf").lastModified() >= barcode);
    QVERIFY(w.controller()->sheetHtml.contains(QStringLiteral("条形码.jpg")));
    QCOMPARE(reportText(), QStringLiteral("分件成功!"));
}

void TestN8Separation::fromTheLauncher()
{
    N8WindowEnv env;
    DemoSignIn front;
    SelectTool* launcher = front.signIn();
    QVERIFY(launcher);
    launcher->findChild<QRadioButton*>("rb_n8fj")->click();
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_VERIFY(topLevelWindow<ExportN8Result>());
    QPointer<ExportN8Result> w = topLevelWindow<ExportN8Result>();
    search(*w, "A24051201");
    tick(*w, {"A24051201"});
    runTicked(*w, env.out);
    QVERIFY(topLevelWindow<MessageBoxDialog>());

    const QString order = env.out + "/2024-06-01/A24051201-服务1 王小宝-刘芳-王强 快递/";
    const QString other = order + "其它/";
    QCOMPARE(TestFiles::entries(other + "成品").size(), 4);
    QCOMPARE(TestFiles::entries(other + "标注").size(), 2);
    QCOMPARE(TestFiles::entries(order + "华彩工厂 A24051201 王小宝-刘芳-王强 2024-06-05取 周设计 【快递】/"
                                        "宝宝成长相册 相册 1"),
             (QStringList{"IMG_0001.jpg", "IMG_0002.jpg"}));
    QVERIFY(QImage(other + "条形码.jpg").width() > 0);
    QVERIFY(!TestFiles::entries(other + "制作单缩略图").isEmpty());
    QVERIFY(isPdf(other + "明细制作单.pdf") && isPdf(other + "快递产品信息.pdf"));
    w->close();
    QTRY_VERIFY(w.isNull());
}

QTEST_MAIN(TestN8Separation)
#include "tst_n8separation.moc"
