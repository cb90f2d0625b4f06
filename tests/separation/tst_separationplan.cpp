#include "config.h"
#include "productplan.h"
#include "separationfiles.h"
#include "separationrequests.h"
#include "separationsearch.h"
#include "standin.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

// The plain parts of the separation: the search bodies, the table's
// widths, the product plans of a goods reply, the product summary, the
// order folder's name, the product folders and the post-sample window's
// order-detail values.
class TestSeparationPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void searchBodyKeys_data();
    void searchBodyKeys();
    void storesPiece();
    void columnWidths_data();
    void columnWidths();
    void plan_data();
    void plan();
    void subProducts();
    void summary_data();
    void summary();
    void orderFolderName();
    void reportFileName_data();
    void reportFileName();
    void detailExtras_data();
    void detailExtras();
    void productFoldersTakenAtOnce();
};

namespace {

QStringList keysOf(const QByteArray& body)
{
    QStringList keys;
    for (const QByteArray& pair : body.split('&')) {
        if (!pair.isEmpty())
            keys.append(QString::fromUtf8(pair.left(pair.indexOf('='))));
    }
    return keys;
}

QJsonObject goods(const QString& name, const QJsonObject& extra = {})
{
    QJsonObject g{{"id", "1"},          {"goodname", name},  {"goodtypename", "相册"},
                  {"goodtypeid", "33"}, {"goodamount", "1"}, {"factoryname", "华彩"},
                  {"isems", "1"},       {"isurgent", "0"},   {"getgooddate", "2024-01-05"},
                  {"parentid", "0"},    {"ishomemade", "0"}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        g.insert(it.key(), it.value());
    return g;
}

QJsonObject reply(const QJsonArray& first, const QJsonArray& second = {}, const QString& idForm = "0")
{
    return QJsonObject{{"code", "1"},
                       {"shop_set", QJsonObject{{"fenjian_ishaveordergoodid", idForm}}},
                       {"order", QJsonObject{{"ordergoods0", first}, {"ordergoods2", second}}}};
}

const ProductPlan::OrderValues kOrder{"A1", "张三-李四", "2024-02-01", "周设计"};
const int kDesign = int(ProductPlan::Form::Design);
const int kPostSample = int(ProductPlan::Form::PostSample);

} // namespace

void TestSeparationPlan::initTestCase()
{
    Config::token = QStringLiteral("tok");
    StandIn::useDemoIdentity();
}

void TestSeparationPlan::searchBodyKeys_data()
{
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<int>("searchType");
    QTest::addColumn<QString>("keys");
    const QString o1 = "token eid shopid searchtype superid keyword personid uid";
    const QString o2 = "token shopid searchtype eid personid uid superid keyword";
    const QString o3 = "token shopid searchtype eid superid keyword personid uid";
    const QString o4 = "token shopid searchtype superid keyword eid uid personid";
    const QString o5 = "token shopid searchtype superid keyword eid personid uid";
    QTest::newRow("预约单号") << "预约单号" << 1 << o1;
    QTest::newRow("姓名") << "姓名" << 2 << o2;
    QTest::newRow("电话") << "电话" << 3 << o4;
    QTest::newRow("拍摄日期") << "拍摄日期" << 4 << o5;
    QTest::newRow("选片日期") << "选片日期" << 5 << o5;
    QTest::newRow("预约日期") << "预约日期" << 6 << o5;
    QTest::newRow("发货日期") << "发货日期" << 7 << o5;
    QTest::newRow("选片完成日期") << "选片完成日期" << 8 << o3;
    QTest::newRow("上件日期") << "上件日期" << 9 << o2;
    QTest::newRow("取件完成日期") << "取件完成日期" << 10 << o3;
    QTest::newRow("品管安排日期") << "品管安排日期" << 11 << o3;
    QTest::newRow("转设计时间") << "转设计时间" << 12 << o2;
    QTest::newRow("转数码日期") << "转数码日期" << 13 << o3;
    QTest::newRow("unknown") << "检索" << 0 << QString();
}

void TestSeparationPlan::searchBodyKeys()
{
    QFETCH(QString, criterion);
    QFETCH(int, searchType);
    QFETCH(QString, keys);
    QCOMPARE(SeparationSearch::searchTypeFor(criterion), searchType);
    if (searchType == 0)
        return;
    const QByteArray body = SeparationSearch::body(searchType, "2024-03-05");
    QCOMPARE(keysOf(body).join(' '), keys);
    QVERIFY(body.startsWith("token=tok&"));
    QVERIFY(body.contains("searchtype=" + QByteArray::number(searchType)));
}

void TestSeparationPlan::storesPiece()
{
    const QStringList ids{"1201", "1202", "1203"};
    QCOMPARE(SeparationSearch::storesPiece({0, 1, 2}, ids), QByteArray("&storesids=1201%2C1202%2C1203"));
    QCOMPARE(SeparationSearch::storesPiece({0, 2}, ids), QByteArray("&storesids=1201%2C1203"));
    QCOMPARE(SeparationSearch::storesPiece({}, ids), QByteArray("&storesids="));
    // A row the id list does not reach is passed over.
    QCOMPARE(SeparationSearch::storesPiece({1, 7}, ids), QByteArray("&storesids=1202"));
}

void TestSeparationPlan::columnWidths_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QVector<int>>("widths");
    // 0.13 x 1000 = 130: the wide rule, on 940.
    QTest::newRow("1000") << 1000
                          << QVector<int>{60, 122, 84, 56, 84, 84, 84, 84, 94, 94, 94, 94, 94, 94, 300};
    // 999: the narrow rule, on 809.
    QTest::newRow("999") << 999
                         << QVector<int>{60, 130, 91, 48, 91, 91, 91, 100, 98, 98, 98, 98, 98, 98, 323};
    QTest::newRow("too narrow") << 100 << QVector<int>{60, 130, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

void TestSeparationPlan::columnWidths()
{
    QFETCH(int, width);
    QFETCH(QVector<int>, widths);
    QCOMPARE(SeparationSearch::columnWidths(width), widths);
}

void TestSeparationPlan::plan_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<QJsonObject>("goodsReply");
    QTest::addColumn<QString>("showSub");
    QTest::addColumn<QStringList>("folderNames");
    QTest::addColumn<QStringList>("folders");

    QTest::newRow("design: both arrays empty")
        << kDesign << reply({}, {}) << "1" << QStringList() << QStringList();
    QTest::newRow("design: alike across the arrays")
        << kDesign << reply({goods("Album"), goods("Album")}, {goods("Album")}) << "1"
        << QStringList{"Album", "Album(1)", "Album(2)"}
        << QStringList{"华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/Album 相册 1/",
                       "华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/Album(1) 相册 1/",
                       "华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/Album(2) 相册 1/"};
    QTest::newRow("design: id form")
        << kDesign << reply({goods("Album", {{"id", "12"}}), goods("Album", {{"id", "13"}})}, {}, "1") << "1"
        << QStringList{"12#Album", "13#Album"}
        << QStringList{"华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/12#Album 相册 1/",
                       "华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/13#Album 相册 1/"};
    QTest::newRow("design: names cleaned")
        << kDesign << reply({goods("8*10 Album"), goods("A/B"), goods(" a / b "), goods("/ x")}) << "1"
        << QStringList{"8x10 Album", "AB", "ab", " x"}
        << QStringList{"华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/8x10 Album 相册 1/",
                       "华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/AB 相册 1/",
                       "华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/ab 相册 1/",
                       "华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/ x 相册 1/"};
    QTest::newRow("design: urgent, self pick-up")
        << kDesign << reply({goods("A", {{"isurgent", "1"}, {"isems", "0"}})}) << "1" << QStringList{"A"}
        << QStringList{"华彩 A1 张三-李四 2024-01-05急取 周设计 【自取】/A 相册 1/"};
    QTest::newRow("design: isems missing")
        << kDesign << reply({QJsonObject{{"goodname", "A"}, {"parentid", "0"}}}) << "1" << QStringList{"A"}
        << QStringList{" A1 张三-李四 2024-02-01取 周设计 【快递】/A  /"};
    QTest::newRow("design: home-made in both arrays")
        << kDesign << reply({goods("A", {{"ishomemade", "1"}})}, {goods("B", {{"ishomemade", "1"}})}) << "1"
        << QStringList{"A", "B"}
        << QStringList{"华彩/A A1 张三-李四 2024-02-01取 周设计 【快递】/",
                       "华彩/B A1  张三-李四 2024-02-01取 周设计 【快递】/"};
    QTest::newRow("design: a service text with a slash")
        << kDesign << reply({goods("A", {{"factoryname", "华彩/工厂"}, {"goodtypename", "相/册"}})}) << "1"
        << QStringList{"A"} << QStringList{"华彩工厂 A1 张三-李四 2024-02-01取 周设计 【快递】/A 相册 1/"};
    QTest::newRow("design: child line without a folder")
        << kDesign << reply({goods("A", {{"parentid", "5"}})}) << "1" << QStringList() << QStringList();
    QTest::newRow("design: child line, sub-products hidden")
        << kDesign << reply({goods("A", {{"parentid", "5"}})}) << "0" << QStringList{"A"}
        << QStringList{"华彩 A1 张三-李四 2024-02-01取 周设计 【快递】/A 相册 1/"};

    const QString p = " A1 张三-李四 2024-02-01取 周设计 【快递】/";
    QTest::newRow("post-sample: numbered names across the arrays")
        << kPostSample << reply({goods("相册(1)"), goods("相册")}, {goods("相册")}) << "1"
        << QStringList{"相册(1)", "相册", "相册(2)"}
        << QStringList{"华彩" + p + "相册(1) 相册 1/", "华彩" + p + "相册 相册 1/",
                       "华彩" + p + "相册(2) 相册 1/"};
    QTest::newRow("post-sample: two empty names")
        << kPostSample << reply({goods(""), goods("")}) << "1" << QStringList{"", "(1)"}
        << QStringList{"华彩" + p + " 相册 1/", "华彩" + p + "(1) 相册 1/"};
    QTest::newRow("post-sample: numeric isurgent, child line, home-made in the second array")
        << kPostSample
        << reply({goods("A", {{"isurgent", 1}, {"parentid", "5"}})},
                 {goods("B", {{"ishomemade", "1"}, {"isems", "0"}})}, "1")
        << "0" << QStringList{"A", "B"}
        << QStringList{"华彩" + p + "A 相册 1/", "华彩/B A1 张三-李四 2024-02-01取 周设计 【自取】/"};
    QTest::newRow("post-sample: sub-products get no folder")
        << kPostSample << reply({goods("P", {{"son_good", QJsonArray{goods("S"), goods("S")}}})}) << "1"
        << QStringList{"P"} << QStringList{"华彩" + p + "P 相册 1/"};
}

void TestSeparationPlan::plan()
{
    QFETCH(int, form);
    QFETCH(QJsonObject, goodsReply);
    QFETCH(QString, showSub);
    QFETCH(QStringList, folderNames);
    QFETCH(QStringList, folders);
    const ProductPlan::Plan plan = ProductPlan::plan(goodsReply, ProductPlan::Form(form), showSub, kOrder);
    QStringList names;
    QStringList paths;
    for (const ProductMessage& m : plan.messages) {
        names.append(m.folderName);
        paths.append(m.factoryFolder + m.productFolder);
    }
    QCOMPARE(names, folderNames);
    QCOMPARE(paths, folders);
}

void TestSeparationPlan::subProducts()
{
    // A child line with two sub-products: two sub-product folders inside its
    // own (which it does not get itself).
    const QJsonArray sons{goods("钥匙扣", {{"id", "51"}, {"picpath", "a.jpg||b.jpg"}}),
                          goods("钥匙扣", {{"id", "52"}, {"goodamount", "2"}})};
    const QJsonObject parent = goods("赠品", {{"parentid", "5"}, {"id", "9"}, {"son_good", sons}});
    ProductPlan::Plan plan = ProductPlan::plan(reply({parent}), ProductPlan::Form::Design, "1", kOrder);
    QCOMPARE(plan.products.size(), 1);
    QCOMPARE(plan.products.first().subProducts.size(), 2);
    QCOMPARE(plan.messages.size(), 2);
    QCOMPARE(plan.messages.at(0).subProductFolder, QStringLiteral("钥匙扣 相册 1/"));
    QCOMPARE(plan.messages.at(1).subProductFolder, QStringLiteral("钥匙扣(1) 相册 2/"));
    QCOMPARE(plan.messages.at(0).productFolder, QStringLiteral("赠品 相册 1/"));
    QCOMPARE(plan.messages.at(0).photos, (QStringList{"a.jpg", "", "b.jpg"}));
    QCOMPARE(plan.messages.at(0).homemade, QStringLiteral("1"));
    QVERIFY(plan.messages.at(0).folderName.isEmpty());

    // The id form names a sub-product folder by its id and its parent.
    plan = ProductPlan::plan(reply({parent}, {}, "1"), ProductPlan::Form::Design, "1", kOrder);
    QCOMPARE(plan.messages.at(0).subProductFolder, QStringLiteral("51#赠品_钥匙扣 相册 1/"));

    // The post-sample form leaves sibling sub-products named alike.
    const QList<Product> subs = ProductPlan::returnSubPro(parent, ProductPlan::Form::PostSample);
    QCOMPARE(subs.at(1).goodname, QStringLiteral("钥匙扣"));

    // The design reader keeps to its own keys.
    const Product p = plan.products.first();
    QVERIFY(!p.hasParent);
    QVERIFY(p.remarks.isEmpty());
    QCOMPARE(p.deliveryMode, QStringLiteral("快递"));
}

void TestSeparationPlan::summary_data()
{
    QTest::addColumn<QStringList>("urgent");
    QTest::addColumn<int>("state");
    QTest::newRow("none") << QStringList() << 1;
    QTest::newRow("all") << QStringList{"1", "1"} << 1;
    QTest::newRow("one of two") << QStringList{"1", "0"} << 2;
    QTest::newRow("no one") << QStringList{"0", ""} << 0;
}

void TestSeparationPlan::summary()
{
    QFETCH(QStringList, urgent);
    QFETCH(int, state);
    QList<Product> current;
    for (const QString& u : urgent) {
        Product p;
        p.isurgent = u;
        p.photos = QStringList{"a.jpg", "b.jpg"};
        current.append(p);
    }
    const ProductPlan::Summary s = ProductPlan::summarize(current.mid(0, 1), current);
    QCOMPARE(s.urgentState, state);
    QCOMPARE(s.productPhotoNum, current.isEmpty() ? 0 : 2);
}

void TestSeparationPlan::orderFolderName()
{
    QCOMPARE(SeparationFiles::orderFolderName("A1", "2", "张三-李四", "快递"),
             QStringLiteral("A1-服务2 张三-李四 快递"));
    QCOMPARE(SeparationFiles::orderFolderName("A/1", "2", "张*三", "快递"),
             QStringLiteral("A1-服务2 张三 快递"));
}

void TestSeparationPlan::reportFileName_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("name");
    QTest::newRow("doubled keys") << "/Volumes/out"
                                  << "" << QStringList{"A1", "A1", "B2", "B2"}
                                  << "/Volumes/out/2024-06-01/A1、A1、B2、B2分件结果.txt";
    QTest::newRow("backslash root") << "D:\\out\\"
                                    << "" << QStringList{"A1"} << "D:\\out\\2024-06-01/A1分件结果.txt";
    QTest::newRow("empty field") << ""
                                 << "/Volumes/chosen/" << QStringList{"A/1"}
                                 << "/Volumes/chosen/2024-06-01/A1分件结果.txt";
    QTest::newRow("no entries") << "/o/"
                                << "" << QStringList() << "/o/2024-06-01/分件结果.txt";
    // 60 keys of 12 bytes: the name keeps 237 bytes of them (whole
    // characters) and its ending, 253 bytes in all.
    QStringList many;
    for (int i = 0; i < 60; ++i)
        many.append("订单一二");
    QTest::newRow("a long run") << "/o"
                                << "" << many
                                << "/o/2024-06-01/" + QString("订单一二、").repeated(15) +
                                       "订单一二分件结果.txt";
    // Cut in one go: 239 bytes of the key and the ending.
    QTest::newRow("a 1 MB key") << "/o"
                                << "" << QStringList{QString(1 << 20, 'K')}
                                << "/o/2024-06-01/" + QString(239, 'K') + "分件结果.txt";
}

void TestSeparationPlan::reportFileName()
{
    QFETCH(QString, field);
    QFETCH(QString, chosen);
    QFETCH(QStringList, keys);
    QFETCH(QString, name);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(SeparationFiles::reportFileName(field, chosen, QDate(2024, 6, 1), keys), name);
    QVERIFY(clock.elapsed() < 1000);
}

void TestSeparationPlan::detailExtras_data()
{
    QTest::addColumn<QJsonObject>("detail");
    QTest::addColumn<QString>("listedTwosales"); // "-": the list no longer holds the order
    QTest::addColumn<QStringList>("values");     // qqText, wxText, twosalesTotal, twosalesDebt
    const QJsonObject qq{
        {"mqq", "1001"}, {"wqq", "1002"}, {"mwx", ""}, {"wwx", "lf"}, {"sale_payfor", "200"}};
    QTest::newRow("both QQ, one WeChat") << qq << "1200" << QStringList{"1001<BR>1002", "lf", "1200", "1000"};
    QTest::newRow("QQ of one, none given keeps the old")
        << QJsonObject{{"wqq", "1002"}, {"sale_payfor", "200"}} << "300"
        << QStringList{"1002", "old wx", "300", "100"};
    QTest::newRow("a total with a fraction counts as 0")
        << QJsonObject{{"sale_payfor", "200"}} << "1200.50"
        << QStringList{"old qq", "old wx", "1200.50", "-200"};
    QTest::newRow("no matching order")
        << QJsonObject{{"sale_payfor", "200"}} << "-" << QStringList{"old qq", "old wx", "", "-200"};
    QTest::newRow("numbers read as empty") << QJsonObject{{"mqq", 5}, {"sale_payfor", 200}} << "40"
                                           << QStringList{"old qq", "old wx", "40", "40"};
    // A debt past 64 bits counts as 0.
    QTest::newRow("below the least number") << QJsonObject{{"sale_payfor", "200"}} << "-9223372036854775808"
                                            << QStringList{"old qq", "old wx", "-9223372036854775808", "0"};
    QTest::newRow("above the largest number") << QJsonObject{{"sale_payfor", "-1"}} << "9223372036854775807"
                                              << QStringList{"old qq", "old wx", "9223372036854775807", "0"};
}

void TestSeparationPlan::detailExtras()
{
    QFETCH(QJsonObject, detail);
    QFETCH(QString, listedTwosales);
    QFETCH(QStringList, values);
    order listed;
    listed.twosales = listedTwosales;
    const SeparationRequests::DetailExtras extras = SeparationRequests::detailExtras(
        QJsonObject{{"order", detail}}, listedTwosales == "-" ? nullptr : &listed, "old qq", "old wx");
    QCOMPARE(QStringList({extras.qqText, extras.wxText, extras.twosalesTotal, extras.twosalesDebt}), values);
}

void TestSeparationPlan::productFoldersTakenAtOnce()
{
    QTemporaryDir dir;
    const QString base = dir.path() + "/华彩/";
    ProductMessage plan;
    plan.goodtypename = "/../ESCAPE";
    plan.goodamount = "1/..";
    // Another run takes each of the first three names just before this
    // run makes it: none of them is this run's, type and amount cleaned.
    QStringList takenFirst;
    SeparationFiles::setBeforeTakeHook([&takenFirst](const QString& folder) {
        if (takenFirst.size() < 3 && QDir().mkdir(folder))
            takenFirst.append(folder);
    });
    bool made = false;
    const QString folder = SeparationFiles::takeProductFolder(
        base + "相册 相册 1/",
        [&](int n) { return SeparationFiles::productFolderCandidate(base, plan, "相册", n); }, &made);
    SeparationFiles::setBeforeTakeHook(nullptr);
    QVERIFY(made);
    QCOMPARE(folder, base + "相册 (3) ..ESCAPE 1/");
    QCOMPARE(takenFirst,
             (QStringList{base + "相册 相册 1", base + "相册 (1) ..ESCAPE 1", base + "相册 (2) ..ESCAPE 1"}));
    // A home-made product without an order part still gets a folder of its own.
    plan.homemade = "1";
    QCOMPARE(SeparationFiles::productFolderCandidate(base, plan, "相册", 1), base + "相册 (1)/");
}

QTEST_GUILESS_MAIN(TestSeparationPlan)
#include "tst_separationplan.moc"
