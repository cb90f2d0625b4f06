#include "clock.h"
#include "jpegfixture.h"
#include "messageboxdialog.h"
#include "productplan.h"
#include "separatethread.h"
#include "separationtestenv.h"
#include "splitaftersample.h"
#include "testfiles.h"
#include "thumbnailthread.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QProgressBar>
#include <QTableView>
#include <QTextEdit>

// The post-sample separation window: its form, its plan of the goods, and
// a run that copies the finished photos with their raw twins.
class TestSplitAfterSample : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void postSamplePlan_data();
    void postSamplePlan();
    void separatesWithRawTwins();
    void unreachedMarkStageMakesAProductFolder();
};

namespace {

template <typename T> T* child(QObject* w, const char* name)
{
    return w->findChild<T*>(QLatin1String(name));
}

QJsonObject goods(const QString& name, const QJsonObject& extra = {})
{
    QJsonObject g{{"goodname", name}, {"goodtypename", "相册"}, {"goodamount", "1"}, {"factoryname", "华彩"},
                  {"isurgent", "0"},  {"getgooddate", "2024-05-01"}, {"parentid", "7"}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        g.insert(it.key(), it.value());
    return g;
}

} // namespace

void TestSplitAfterSample::form()
{
    SeparationTestEnv env;
    SplitAfterSample w;
    QCOMPARE(w.objectName(), QStringLiteral("SplitAfterSample"));
    QCOMPARE(w.size(), QSize(785, 523));
    QCOMPARE(w.windowTitle(), QStringLiteral("检索订单"));
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(child<QLineEdit>(&w, "pathLineEdit")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(child<QComboBox>(&w, "comboBox")->count(), 10);
    QCOMPARE(w.metaObject()->indexOfSlot("fenjian_shejiPhotoSlot_3_2()"), -1);
    int own = 0;
    for (int i = w.metaObject()->methodOffset(); i < w.metaObject()->methodCount(); ++i)
        own += w.metaObject()->method(i).methodType() == QMetaMethod::Slot ? 1 : 0;
    const QMetaObject* base = w.metaObject()->superClass();
    for (int i = base->methodOffset(); i < base->methodCount(); ++i)
        own += base->method(i).methodType() == QMetaMethod::Slot ? 1 : 0;
    QCOMPARE(own, 29);
    for (const QByteArray& slot : SeparateThread::callbackSignatures() + ThumbnailThread::callbackSignatures()) {
        if (slot != "fenjian_shejiPhotoSlot_3_2()")
            QVERIFY2(w.metaObject()->indexOfMethod(slot) >= 0, slot.constData());
    }
    w.setType(QStringLiteral("样后分件管理"));
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("开始分件"));
    w.setType(QStringLiteral("批量删除"));
    QCOMPARE(child<QComboBox>(&w, "comboBox")->count(), 8);
    QCOMPARE(child<QPushButton>(&w, "pushButton_separate")->text(), QStringLiteral("批量删除"));
    if (qEnvironmentVariableIsSet("SEPARATION_RENDER"))
        w.grab().save(qEnvironmentVariable("SEPARATION_RENDER") + "/splitaftersample.png");
}

void TestSplitAfterSample::postSamplePlan_data()
{
    QTest::addColumn<QJsonArray>("first");
    QTest::addColumn<QJsonArray>("second");
    QTest::addColumn<QStringList>("unique");
    QTest::addColumn<QStringList>("folders");
    QTest::newRow("numbered names")
        << QJsonArray{goods("相册(1)"), goods("相册")} << QJsonArray{goods("相册")}
        << QStringList{"相册(1)", "相册", "相册(2)"}
        << QStringList{"华彩 A1 张三 2024-02-01取 周 【快递】/相册(1) 相册 1/",
                       "华彩 A1 张三 2024-02-01取 周 【快递】/相册 相册 1/",
                       "华彩 A1 张三 2024-02-01取 周 【快递】/相册(2) 相册 1/"};
    QTest::newRow("two empty names") << QJsonArray{goods(""), goods("")} << QJsonArray() << QStringList{"", "(1)"}
                                     << QStringList{"华彩 A1 张三 2024-02-01取 周 【快递】/ 相册 1/",
                                                    "华彩 A1 张三 2024-02-01取 周 【快递】/(1) 相册 1/"};
    QTest::newRow("numeric isurgent, home-made in the second array")
        << QJsonArray{goods("A", {{"isurgent", 1}})} << QJsonArray{goods("B", {{"ishomemade", "1"}, {"isems", "0"}})}
        << QStringList{"A", "B"}
        << QStringList{"华彩 A1 张三 2024-02-01取 周 【快递】/A 相册 1/",
                       "华彩/B A1 张三 2024-02-01取 周 【自取】/"};
}

void TestSplitAfterSample::postSamplePlan()
{
    QFETCH(QJsonArray, first);
    QFETCH(QJsonArray, second);
    QFETCH(QStringList, unique);
    QFETCH(QStringList, folders);
    const QJsonObject reply{{"order", QJsonObject{{"ordergoods0", first}, {"ordergoods2", second}}}};
    const ProductPlan::Plan plan =
        ProductPlan::plan(reply, ProductPlan::Form::PostSample, "1", {"A1", "张三", "2024-02-01", "周"});
    QStringList names;
    QStringList paths;
    for (const ProductMessage& m : plan.messages) {
        names.append(m.folderName);
        paths.append(m.factoryFolder + m.productFolder);
    }
    QCOMPARE(names, unique);
    QCOMPARE(paths, folders);

    // Sibling sub-products keep their names and get no folder.
    const QJsonObject parent = goods("P", {{"son_good", QJsonArray{goods("S"), goods("S")}}});
    const ProductPlan::Plan withSubs = ProductPlan::plan(
        QJsonObject{{"order", QJsonObject{{"ordergoods0", QJsonArray{parent}}}}}, ProductPlan::Form::PostSample,
        "1", {"A1", "张三", "2024-02-01", "周"});
    QCOMPARE(withSubs.messages.size(), 1);
    QCOMPARE(withSubs.products.first().subProducts.at(1).goodname, QStringLiteral("S"));
}

void TestSplitAfterSample::separatesWithRawTwins()
{
    Clock::setFixed(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
    SeparationTestEnv env;
    Config::sjfjxz = QStringLiteral("1");
    SplitAfterSample w;
    w.setType(QStringLiteral("样后分件管理"));
    const QString out = env.volumes.mkdir("out");
    child<QLineEdit>(&w, "pathLineEdit")->setText(out);
    child<QComboBox>(&w, "comboBox")->setCurrentText(QStringLiteral("预约单号"));
    child<QLineEdit>(&w, "orderNumber")->setText("A2405120");
    child<QPushButton>(&w, "searchButton")->click();
    QTRY_COMPARE(w.controller()->orderList.size(), 4);
    const QString server = w.controller()->orderList.at(0).orderpath;
    for (int i = 1; i <= 20; ++i) {
        JpegFixture::Options o;
        o.size = QSize(60, 40);
        o.seed = quint32(i);
        QDir().mkpath(server + "成品");
        JpegFixture::write(server + QStringLiteral("成品/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0')), o);
    }
    TestFiles::write(server + "照片/新建文件夹/IMG_0001.CR2", QByteArray(300, 'r'));
    TestFiles::write(server + "照片/新建文件夹/IMG_0002.NEF", QByteArray(300, 'n'));
    QDir().mkpath(server + "marks");
    QFile::copy(server + "成品/IMG_0001.jpg", server + "marks/IMG_0001.jpg");
    w.on_tableView_clicked(child<QTableView>(&w, "tableView")->model()->index(0, 0));
    w.on_tableView_clicked(child<QTableView>(&w, "tableView")->model()->index(3, 0)); // no folder at all
    env.service.clearLog();

    child<QPushButton>(&w, "pushButton_separate")->click();
    QTRY_COMPARE(child<QProgressBar>(&w, "progressBar")->maximum(), 22 + 14);
    QCOMPARE(child<QLabel>(&w, "label_finishOrdersNum")->text(), QStringLiteral("已完成订单个数：0/2"));
    QTRY_COMPARE(child<QLabel>(&w, "label_finishOrdersNum")->text(), QStringLiteral("已完成订单个数：1/2"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.controller()->isSeparating, 30000);

    const QString order = out + "/2024-03-05/A24051201-服务1 王小宝-刘芳-王强 快递/";
    const QStringList finished = TestFiles::entries(order + "成品");
    QCOMPARE(finished.size(), 22);
    QVERIFY(finished.contains("IMG_0001.CR2") && finished.contains("IMG_0002.NEF"));
    QCOMPARE(TestFiles::entries(order),
             (QStringList{"制作单缩略图", "快递产品信息.pdf", "成品", "明细制作单.html", "条形码.jpg"}));
    QCOMPARE(TestFiles::entries(order + "制作单缩略图/marks"), QStringList{"IMG_0001.jpg"});
    QVERIFY(TestFiles::readAll(order + "明细制作单.html").contains(QStringLiteral("（样后）").toUtf8()));
    QVERIFY(QFileInfo(out + "/2024-03-05/A24051204-服务1 李乐乐-李军 自取").isDir());

    const auto goodsSent = env.service.requests("order", "ordergoods20230521");
    QCOMPARE(goodsSent.first().keys.join(' '), QStringLiteral("token order_photo_id shopid superid personid uid"));
    const auto pic = env.service.requests("order", "getorderpic").first();
    QCOMPARE(pic.keys.join(' '),
             QStringLiteral("token order_photo_id shopid superid companyid uid qrcodepath imgpath cpimgs isyhfj"));
    QCOMPARE(pic.values.value("isyhfj"), QStringLiteral("1"));

    // The post-sample values of the last order's detail: no QQ in its
    // reply, the debt from the listed second sale.
    QVERIFY(w.controller()->qqText.isEmpty());
    QCOMPARE(w.controller()->twosalesDebt, QString::number(w.controller()->orderList.at(3).twosales.toInt()));
    QCOMPARE(w.controller()->pickuptype, QStringLiteral("0"));

    MessageBoxDialog* report = topLevelWindow<MessageBoxDialog>();
    QVERIFY(report);
    QCOMPARE(report->findChild<QTextEdit*>()->toPlainText(), QStringLiteral("分件成功!"));
    QVERIFY(report->findChild<QPushButton*>("pushButton_save")->isHidden());
    delete report;
    QVERIFY(env.prompts.calls().isEmpty());
    Clock::setFixed(QDateTime());
}

void TestSplitAfterSample::unreachedMarkStageMakesAProductFolder()
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
    Config::orderpayforkey = QStringLiteral("A1");
    // Called directly, the design form's product stage holds.
    env.service.failHttp("order", "getorderpic", 500);
    env.prompts.setLenient(true);
    w.fenjian_markPhoto_3_1();
    QVERIFY(QFileInfo(folder + "华彩/相册 相册 1").isDir());
    QCOMPARE(c->m_messageList.size(), 2);
    QCOMPARE(c->m_messageList.last().emptyProducts, QStringList{"相册"});
}

QTEST_MAIN(TestSplitAfterSample)
#include "tst_splitaftersample.moc"
