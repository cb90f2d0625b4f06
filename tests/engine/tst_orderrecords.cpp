#include "replydata.h"
#include "config.h"
#include "formbody.h"
#include "orderrecords.h"
#include "standin.h"
#include "studioservice.h"
#include "tempvolumes.h"
#include "webservice.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <memory>

namespace {

QJsonObject goodsAt(const QJsonObject& reply, const char* array, int index)
{
    return reply.value("order").toObject().value(array).toArray().at(index).toObject();
}

using Customer = OrderListFill::Customer;

} // namespace

Q_DECLARE_METATYPE(OrderListFill::Customer)
Q_DECLARE_METATYPE(finishMessage)

class TestOrderRecords : public QObject
{
    Q_OBJECT

private slots:
    void ordersFromTheOrderListReply();
    void ordersFromTheStandIn();
    void orderTextsReadOnlyStrings();
    void customer_data();
    void customer();
    void phone_data();
    void phone();
    void pickupTypeAndDesigner_data();
    void pickupTypeAndDesigner();
    void windowVariants();
    void n8Paths_data();
    void n8Paths();
    void dataThatIsNoArray();

    void productFromGoods();
    void productDefaults();
    void productRules_data();
    void productRules();
    void productTreeFromTheReply();
    void productCopiesOwnTheirSubProducts();

    void finishReport_data();
    void finishReport();
};

void TestOrderRecords::ordersFromTheOrderListReply()
{
    TempVolumes volumes;
    volumes.mkdir("photos/2024/04/A001");
    const QJsonObject reply = loadReply("order_list.json");
    QVERIFY(!reply.isEmpty());

    const QList<order> orders = ordersFromListReply(reply, OrderListFill::separation());
    QCOMPARE(orders.size(), 6);

    const order& o = orders.first();
    QCOMPARE(o.isChecked, false);
    QCOMPARE(o.isDone, false);
    QCOMPARE(o.order_photo_id, QString("9001"));
    QCOMPARE(o.servicetimes, QString("2"));
    QCOMPARE(o.customer, QString("小宝-李丽-张伟"));
    QCOMPARE(o.phone, QString("13800000001/13900000002"));
    QCOMPARE(o.phototype, QString("儿童"));
    QCOMPARE(o.comboname, QString("成长套系"));
    QCOMPARE(o.order_price, QString("3999.00"));
    QCOMPARE(o.role1, QString("摄影师甲"));
    QCOMPARE(o.role2, QString("化妆师乙"));
    QCOMPARE(o.shotdate, QString("2024-04-01"));
    QCOMPARE(o.photodate2, QString("2024-04-08"));
    QCOMPARE(o.orderpayforkey, QString("A001"));
    QCOMPARE(o.orderpath, volumes.path("photos/2024/04/A001/"));
    QCOMPARE(o.pickuptime, QString("2024-05-10"));
    QCOMPARE(o.twosales, QString("1"));
    QCOMPARE(o.selectphotoname, QString("选片师丙"));
    QCOMPARE(o.role10, QString());
    QCOMPARE(o.isurgenttime, QString("2024-05-03"));
    QCOMPARE(o.pickuptype, QString("快递"));
    QCOMPARE(o.orderbaseprice, QString("2999.00"));
    QCOMPARE(o.tiaosename, QString("调色丁"));
    QCOMPARE(o.tiaoxiname, QString("修片戊"));
    QCOMPARE(o.storesname, QString("旗舰店"));
    QCOMPARE(o.gotodigitaltime, QString("2024-04-09"));
    // The store paths stay in the web service's form.
    QCOMPARE(o.bakpicpath, QString("\\\\backup\\photos"));
    QCOMPARE(o.homepicpath, QString("\\\\home\\effects"));
    QCOMPARE(o.picpath, QString("\\\\filesrv\\photos"));
    // Only the N8 window fills the N8 texts.
    QCOMPARE(o.n8OrderPath, QString());
    QCOMPARE(o.n8SelectedPath, QString());
    QCOMPARE(o.n8RelativePath, QString());
    QCOMPARE(o.n8StorePath, QString());

    QCOMPARE(orders.at(1).orderpayforkey, QString("A002"));
    QCOMPARE(orders.at(1).orderpath, QString());
    QCOMPARE(orders.at(1).picpath, QString());

    // An element that is no object gives an order of empty texts.
    const order& none = orders.last();
    QCOMPARE(none.orderpayforkey, QString());
    QCOMPARE(none.customer, QString());
    QCOMPARE(none.pickuptype, QString("自取"));
}

void TestOrderRecords::ordersFromTheStandIn()
{
    TempVolumes volumes;
    StandIn service;
    QFile file(StudioService::demoFixturePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject fixture = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject first = fixture.value("orders").toArray().at(0).toObject();
    const QString key = first.value("orderpayforkey").toString();
    QVERIFY(!key.isEmpty());

    FormBody body;
    body.add("token", Config::token)
        .add("eid", "1")
        .add("shopid", first.value("shopid").toString())
        .add("searchtype", 1)
        .add("superid", "1")
        .add("keyword", key)
        .add("personid", "1")
        .add("uid", "1")
        .add("storesids", "");
    QNetworkAccessManager manager;
    QNetworkReply* reply = WebService::post(&manager, Config::url_query_order_importphoto, body);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    QVERIFY2(r.ok(), qPrintable(r.code + r.message));

    const QList<order> orders = ordersFromListReply(r.object);
    QCOMPARE(orders.size(), 1);
    const order& o = orders.first();
    const QList<QPair<QString order::*, const char*>> plain{{&order::order_photo_id, "order_photo_id"},
                                                            {&order::servicetimes, "servicetimes"},
                                                            {&order::phototype, "phototype"},
                                                            {&order::comboname, "comboname"},
                                                            {&order::order_price, "order_price"},
                                                            {&order::role1, "role1"},
                                                            {&order::role2, "role2"},
                                                            {&order::shotdate, "shotdate"},
                                                            {&order::photodate2, "photodate2"},
                                                            {&order::orderpayforkey, "orderpayforkey"},
                                                            {&order::pickuptime, "pickuptime"},
                                                            {&order::twosales, "twosales"},
                                                            {&order::selectphotoname, "selectphotoname"},
                                                            {&order::isurgenttime, "isurgenttime"},
                                                            {&order::orderbaseprice, "orderbaseprice"},
                                                            {&order::tiaosename, "tiaosename"},
                                                            {&order::tiaoxiname, "tiaoxiname"},
                                                            {&order::storesname, "storesname"},
                                                            {&order::gotodigitaltime, "gotodigitaltime"}};
    for (const auto& field : plain)
        QCOMPARE(o.*field.first, first.value(field.second).toString());
    // The fixture's first order: baby 王小宝, mother 刘芳, father 王强.
    QCOMPARE(o.customer, QStringLiteral("王小宝-刘芳-王强"));
    QCOMPARE(o.phone, QStringLiteral("13900000101/13700000101"));
    QVERIFY(o.orderpath.startsWith(volumes.root()));
    QVERIFY(!o.picpath.isEmpty());
}

void TestOrderRecords::orderTextsReadOnlyStrings()
{
    const QJsonObject reply = loadReply("order_list.json");
    const order o = orderFromListItem(reply.value("data").toArray().at(2));
    QCOMPARE(o.order_photo_id, QString()); // a number
    QCOMPARE(o.servicetimes, QString());
    QCOMPARE(o.order_price, QString());
    QCOMPARE(o.isurgenttime, QString());       // a boolean
    QCOMPARE(o.phone, QString("13600000004")); // "wphone" null
    QCOMPARE(o.pickuptype, QString("自取"));   // the number 1 is no "1"
    QCOMPARE(o.role10, QString("设计师己"));
    QCOMPARE(o.customer, QString("王芳-赵强"));
    QCOMPARE(o.bakpicpath, QString()); // no "picpathnew" at all
}

void TestOrderRecords::customer_data()
{
    QTest::addColumn<QString>("bname");
    QTest::addColumn<QString>("wname");
    QTest::addColumn<QString>("mname");
    QTest::addColumn<Customer>("form");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* tag, const QString& b, const QString& w, const QString& m, Customer form,
                        const QString& expected) { QTest::newRow(tag) << b << w << m << form << expected; };
    const Customer joined = Customer::NonEmptyJoined;
    const Customer post = Customer::PostSample;
    row("all three", "X", "Y", "Z", joined, "X-Y-Z");
    row("baby only", "X", "", "", joined, "X");
    row("mother and father", "", "Y", "Z", joined, "Y-Z");
    row("baby and father", "X", "", "Z", joined, "X-Z");
    row("father only", "", "", "Z", joined, "Z");
    row("none", "", "", "", joined, "");
    row("post: all three", "X", "Y", "Z", post, "X-Y-Z");
    row("post: baby and mother", "X", "Y", "", post, "X-Y");
    row("post: baby and father", "X", "", "Z", post, "X-Z");
    row("post: baby only keeps the dash", "X", "", "", post, "X-");
    row("post: mother only", "", "Y", "", post, "Y");
    row("post: father only", "", "", "Z", post, "Z");
    row("post: none", "", "", "", post, "");
}

void TestOrderRecords::customer()
{
    QFETCH(QString, bname);
    QFETCH(QString, wname);
    QFETCH(QString, mname);
    QFETCH(Customer, form);
    QFETCH(QString, expected);
    QCOMPARE(composeCustomer(bname, wname, mname, form), expected);

    QJsonObject item{{"bname", bname}, {"wname", wname}};
    if (!mname.isEmpty())
        item.insert("mname", mname);
    OrderListFill fill;
    fill.customer = form;
    QCOMPARE(orderFromListItem(item, fill).customer, expected);
}

void TestOrderRecords::phone_data()
{
    QTest::addColumn<QString>("mphone");
    QTest::addColumn<QString>("wphone");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* tag, const QString& m, const QString& w, const QString& expected) {
        QTest::newRow(tag) << m << w << expected;
    };
    row("both", "M", "W", "M/W");
    row("father only", "M", "", "M");
    row("mother only", "", "W", "W");
    row("none", "", "", "");
}

void TestOrderRecords::phone()
{
    QFETCH(QString, mphone);
    QFETCH(QString, wphone);
    QFETCH(QString, expected);
    QCOMPARE(orderFromListItem(QJsonObject{{"mphone", mphone}, {"wphone", wphone}}).phone, expected);
}

void TestOrderRecords::pickupTypeAndDesigner_data()
{
    QTest::addColumn<QJsonValue>("pickuptype");
    QTest::addColumn<QString>("expectedPickup");
    QTest::addColumn<QJsonValue>("role10");
    QTest::addColumn<QString>("expectedRole10");
    QTest::newRow("express") << QJsonValue("1") << "快递" << QJsonValue("0") << "";
    QTest::newRow("partly") << QJsonValue("2") << "部分" << QJsonValue("00") << "00";
    QTest::newRow("other") << QJsonValue("3") << "自取" << QJsonValue("李") << "李";
    QTest::newRow("empty") << QJsonValue("") << "自取" << QJsonValue("") << "";
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << "自取"
                             << QJsonValue(QJsonValue::Undefined) << "";
    QTest::newRow("numbers") << QJsonValue(1) << "自取" << QJsonValue(0) << "";
}

void TestOrderRecords::pickupTypeAndDesigner()
{
    QFETCH(QJsonValue, pickuptype);
    QFETCH(QString, expectedPickup);
    QFETCH(QJsonValue, role10);
    QFETCH(QString, expectedRole10);
    QJsonObject item;
    if (!pickuptype.isUndefined())
        item.insert("pickuptype", pickuptype);
    if (!role10.isUndefined())
        item.insert("role10", role10);
    const order o = orderFromListItem(item);
    QCOMPARE(o.pickuptype, expectedPickup);
    QCOMPARE(o.role10, expectedRole10);
}

void TestOrderRecords::windowVariants()
{
    const QJsonObject item = loadReply("order_list.json").value("data").toArray().at(0).toObject();

    const order separation = orderFromListItem(item, OrderListFill::separation());
    const order deletion = orderFromListItem(item, OrderListFill::batchDeletion());
    const order postSample = orderFromListItem(item, OrderListFill::postSample());
    const order n8 = orderFromListItem(item, OrderListFill::n8Separation());

    QCOMPARE(separation.gotodigitaltime, QString("2024-04-09"));
    QCOMPARE(deletion.gotodigitaltime, QString());
    QCOMPARE(postSample.gotodigitaltime, QString("2024-04-09"));
    QCOMPARE(n8.gotodigitaltime, QString("2024-04-09"));

    // Apart from their own fields the variants fill the same order.
    for (const order* o : {&deletion, &postSample, &n8}) {
        QCOMPARE(o->customer, separation.customer);
        QCOMPARE(o->pickuptime, separation.pickuptime);
        QCOMPARE(o->orderpath, separation.orderpath);
        QCOMPARE(o->picpath, separation.picpath);
    }
    QVERIFY(deletion.n8StorePath.isEmpty() && postSample.n8StorePath.isEmpty());
    QCOMPARE(n8.n8StorePath, QString("N:\\N8\\选版服务器\\"));
    QCOMPARE(n8.n8OrderPath, QString("N:\\N8\\选版服务器\\2024\\A001"));
    QCOMPARE(n8.n8RelativePath, QString("2024\\A001"));
    QCOMPARE(n8.n8SelectedPath, QString("N:\\N8\\选版服务器\\[已选]2024\\A001"));
}

void TestOrderRecords::n8Paths_data()
{
    QTest::addColumn<QJsonObject>("item");
    QTest::addColumn<QStringList>("expected"); // store, relative, selected

    const QJsonObject store{{"picpathnew", QJsonObject{{"n8path", "N:\\N8"}}}};
    QTest::newRow("no order folder") << store << QStringList{"N:\\N8\\选版服务器\\", "", ""};
    QTest::newRow("no store folder") << QJsonObject{{"n8path", "N:\\N8\\选版服务器\\2024\\A001"}}
                                     << QStringList{"\\选版服务器\\", "N:\\N82024\\A001",
                                                    "\\选版服务器\\[已选]N:\\N82024\\A001"};
    const QJsonObject twice{{"n8path", "S\\选版服务器\\x\\S\\选版服务器\\y"},
                            {"picpathnew", QJsonObject{{"n8path", "S"}}}};
    QTest::newRow("every occurrence is cut")
        << twice << QStringList{"S\\选版服务器\\", "x\\y", "S\\选版服务器\\[已选]x\\y"};
}

void TestOrderRecords::n8Paths()
{
    QFETCH(QJsonObject, item);
    QFETCH(QStringList, expected);
    const order o = orderFromListItem(item, OrderListFill::n8Separation());
    QCOMPARE(o.n8StorePath, expected.at(0));
    QCOMPARE(o.n8RelativePath, expected.at(1));
    QCOMPARE(o.n8SelectedPath, expected.at(2));
}

void TestOrderRecords::dataThatIsNoArray()
{
    QVERIFY(ordersFromListReply(QJsonObject{{"code", "1"}}).isEmpty());
    QVERIFY(ordersFromListReply(QJsonObject{{"code", "1"}, {"data", "x"}}).isEmpty());
    QVERIFY(ordersFromListReply(QJsonObject{{"code", "1"}, {"data", QJsonObject{{"a", "b"}}}}).isEmpty());
}

void TestOrderRecords::productFromGoods()
{
    const QJsonObject goods = goodsAt(loadReply("order_goods.json"), "ordergoods0", 0);
    QVERIFY(!goods.isEmpty());
    const QJsonObject untouched = goods;
    Product p;
    p.analysis_goods_paras(goods);
    QCOMPARE(goods, untouched);

    QCOMPARE(p.type, QString("4"));
    QVERIFY(p.typeIsFour);
    QCOMPARE(p.goodid, QString("31"));
    QCOMPARE(p.number, QString("1"));
    QCOMPARE(p.goodname, QString("成长相册"));
    QCOMPARE(p.goodsizename, QString("12寸"));
    QCOMPARE(p.goodtypename, QString("相册"));
    QCOMPARE(p.costing, QString("120"));
    QCOMPARE(p.weight, QString("1.5"));
    QCOMPARE(p.servicetime, QString("2"));
    QCOMPARE(p.id, QString("501"));
    QCOMPARE(p.descr, QString("封面烫金"));
    QCOMPARE(p.photos, QStringList({"001.jpg", "002.jpg", "", "003.jpg"}));
    QCOMPARE(p.isurgent, QString("0"));
    QCOMPARE(p.goodpnumber, QString("30"));
    QCOMPARE(p.p_num, QString("15"));
    QCOMPARE(p.source_remarks, QString("原始备注"));
    QCOMPARE(p.stock, QString("8"));
    QCOMPARE(p.goodamount, QString("1"));
    QCOMPARE(p.goodpagenumber, QString("30"));
    QCOMPARE(p.goodtypeid, QString("33"));
    QCOMPARE(p.factoryname, QString("华彩工厂"));
    QCOMPARE(p.factorykeyx, QString("HC"));
    QCOMPARE(p.goodremark, QString("加急处理"));
    QCOMPARE(p.auth_remark, QString("已审"));
    QCOMPARE(p.remarks, QString("无"));
    QVERIFY(!p.sentToFactory);
    QVERIFY(p.isems);
    QVERIFY(!p.isexist);
    QCOMPARE(p.parentid, QString("0"));
    QVERIFY(!p.hasParent);
    QCOMPARE(p.addressId, QString("11"));
    QCOMPARE(p.province, QString("浙江省"));
    QCOMPARE(p.provinceid, QString("330000"));
    QCOMPARE(p.city, QString("杭州市"));
    QCOMPARE(p.cityid, QString("330100"));
    QCOMPARE(p.county, QString("西湖区"));
    QCOMPARE(p.countyid, QString("330106"));
    QCOMPARE(p.address, QString("文三路1号"));
    QCOMPARE(p.contactName, QString("李丽"));
    QCOMPARE(p.contactPhone, QString("13900000002"));
    QCOMPARE(p.postcode, QString("310000"));
    // Fields the window's own list fills stay at their defaults.
    QCOMPARE(p.folderName, QString());
    QCOMPARE(p.factory, QString());
    QCOMPARE(p.getgooddate, QString());
    QCOMPARE(p.deliveryMode, QString());
    QCOMPARE(p.parentName, QString());
    QVERIFY(p.subProducts.isEmpty());
}

void TestOrderRecords::productDefaults()
{
    Product p;
    p.analysis_goods_paras(QJsonObject());
    QVERIFY(p.goodname.isEmpty() && p.id.isEmpty() && p.addressId.isEmpty() && p.goodtypename.isEmpty());
    QVERIFY(p.photos.isEmpty());
    QVERIFY(!p.isems && !p.isexist && !p.hasParent && !p.typeIsFour);
    QVERIFY(p.sentToFactory);
}

void TestOrderRecords::productRules_data()
{
    QTest::addColumn<QJsonObject>("goods");
    QTest::addColumn<QStringList>("photos");
    QTest::addColumn<QString>("goodtypename");
    QTest::addColumn<bool>("hasParent");
    QTest::addColumn<bool>("isems");
    QTest::addColumn<bool>("sentToFactory");

    const QStringList kept{"kept.jpg"};
    QTest::newRow("two bars make three photos")
        << QJsonObject{{"picpath", "a.jpg||b.jpg"}} << QStringList{"a.jpg", "", "b.jpg"} << "" << false
        << false << true;
    QTest::newRow("empty picpath keeps photos")
        << QJsonObject{{"picpath", ""}} << kept << "" << false << false << true;
    QTest::newRow("goodtype stands in") << QJsonObject{{"goodtypename", ""}, {"goodtype", "相框"}} << kept
                                        << "相框" << false << false << true;
    QTest::newRow("goodtypename wins") << QJsonObject{{"goodtypename", "相册"}, {"goodtype", "相框"}} << kept
                                       << "相册" << false << false << true;
    QTest::newRow("parent 0") << QJsonObject{{"parentid", "0"}} << kept << "" << false << false << true;
    QTest::newRow("parent 12") << QJsonObject{{"parentid", "12"}} << kept << "" << true << false << true;
    QTest::newRow("parent as number")
        << QJsonObject{{"parentid", 12}} << kept << "" << false << false << true;
    QTest::newRow("express") << QJsonObject{{"isems", "1"}} << kept << "" << false << true << true;
    QTest::newRow("express as number") << QJsonObject{{"isems", 1}} << kept << "" << false << false << true;
    QTest::newRow("not sent") << QJsonObject{{"sendtofactorytime", "0"}} << kept << "" << false << false
                              << false;
    QTest::newRow("sent") << QJsonObject{{"sendtofactorytime", "2024-01-02"}} << kept << "" << false << false
                          << true;
}

void TestOrderRecords::productRules()
{
    QFETCH(QJsonObject, goods);
    QFETCH(QStringList, photos);
    QFETCH(QString, goodtypename);
    QFETCH(bool, hasParent);
    QFETCH(bool, isems);
    QFETCH(bool, sentToFactory);
    Product p;
    p.photos = QStringList{"kept.jpg"};
    p.hasParent = true;
    p.analysis_goods_paras(goods);
    QCOMPARE(p.photos, photos);
    QCOMPARE(p.goodtypename, goodtypename);
    QCOMPARE(p.hasParent, hasParent);
    QCOMPARE(p.isems, isems);
    QCOMPARE(p.sentToFactory, sentToFactory);
}

void TestOrderRecords::productTreeFromTheReply()
{
    const QJsonObject reply = loadReply("order_goods.json");
    QList<Product> products;
    for (const char* array : {"ordergoods0", "ordergoods2"}) {
        for (const QJsonValue& value : reply.value("order").toObject().value(array).toArray()) {
            Product p;
            p.analysis_goods_paras(value.toObject());
            for (const QJsonValue& son : value.toObject().value("son_good").toArray()) {
                Product s;
                s.analysis_goods_paras(son.toObject());
                s.parentName = p.goodname;
                p.subProducts.append(s);
            }
            products.append(p);
        }
    }
    QCOMPARE(products.size(), 5);

    const Product& parent = products.at(1);
    QVERIFY(parent.isexist);
    QCOMPARE(parent.goodtypename, QString("套装"));
    QVERIFY(parent.sentToFactory);
    QCOMPARE(parent.subProducts.size(), 3);
    QCOMPARE(parent.subProducts.at(0).goodname, QString("水晶摆台"));
    QVERIFY(parent.subProducts.at(0).hasParent);
    QCOMPARE(parent.subProducts.at(0).isurgent, QString("1"));
    QCOMPARE(parent.subProducts.at(1).address, QString("漕溪路<8>号"));
    QVERIFY(!parent.subProducts.at(2).isems);

    QVERIFY(products.at(3).hasParent);

    // Numbers in the reply read as empty texts.
    const Product& prints = products.at(4);
    QCOMPARE(prints.goodname, QString("加洗照片"));
    QCOMPARE(prints.goodamount, QString());
    QCOMPARE(prints.isurgent, QString());
    QCOMPARE(prints.parentid, QString());
    QVERIFY(!prints.hasParent);
}

void TestOrderRecords::productCopiesOwnTheirSubProducts()
{
    Product copy;
    {
        auto source = std::make_unique<Product>();
        source->goodname = "parent";
        Product a;
        a.goodname = "a";
        a.photos = QStringList{"1.jpg"};
        Product b;
        b.goodname = "b";
        source->subProducts = {a, b};
        copy = *source;
        Product second(*source);
        source->subProducts[0].goodname = "changed";
        QCOMPARE(second.subProducts.at(0).goodname, QString("a"));
    }
    QCOMPARE(copy.goodname, QString("parent"));
    QCOMPARE(copy.subProducts.size(), 2);
    QCOMPARE(copy.subProducts.at(0).goodname, QString("a"));
    QCOMPARE(copy.subProducts.at(0).photos, QStringList{"1.jpg"});
    QCOMPARE(copy.subProducts.at(1).goodname, QString("b"));
}

void TestOrderRecords::finishReport_data()
{
    QTest::addColumn<QList<finishMessage>>("messages");
    QTest::addColumn<QString>("expected");

    const finishMessage both{
        "A1", {"相册:001.jpg", "相册:002.jpg"}, {"摆台", "画框"}, {}, {"/o/成品/:003.jpg"}};
    const finishMessage missingOnly{"A2", {"相册:003.jpg"}, {}};
    const finishMessage emptyOnly{"A3", {}, {"画框"}};
    const finishMessage clean{"A4", {}, {}};

    QTest::newRow("both")
        << QList<finishMessage>{both}
        << "订单A1:\n不存在的照片:相册:001.jpg、相册:002.jpg\n未写入的文件:/o/成品/:003.jpg\n"
           "空产品:摆台、画框\n\n";
    QTest::newRow("missing only") << QList<finishMessage>{missingOnly}
                                  << "订单A2:\n不存在的照片:相册:003.jpg\n\n";
    QTest::newRow("empty only") << QList<finishMessage>{emptyOnly} << "订单A3:\n空产品:画框\n\n";
    QTest::newRow("no findings") << QList<finishMessage>{clean, clean} << "";
    QTest::newRow("in list order") << QList<finishMessage>{missingOnly, clean, emptyOnly}
                                   << "订单A2:\n不存在的照片:相册:003.jpg\n\n订单A3:\n空产品:画框\n\n";
    QTest::newRow("none") << QList<finishMessage>{} << "";
    const finishMessage noFolder{"A5", {"相册:004.jpg"}, {}, {"订单目录不存在：/V/o/"}};
    const finishMessage noteOnly{"A6", {}, {}, {"订单目录不存在："}};
    const finishMessage unread{"A7", {}, {}, {}, {}, {"/V/o/成品/", "/V/o/marks/"}};
    QTest::newRow("notes first, each on its line")
        << QList<finishMessage>{noFolder, noteOnly, unread}
        << "订单A5:\n订单目录不存在：/V/o/\n不存在的照片:相册:004.jpg\n\n订单A6:\n订单目录不存在：\n\n"
           "订单A7:\n目录读取失败：/V/o/成品/\n目录读取失败：/V/o/marks/\n\n";
}

void TestOrderRecords::finishReport()
{
    QFETCH(QList<finishMessage>, messages);
    QFETCH(QString, expected);
    QCOMPARE(finishReportText(messages), expected);
}

QTEST_MAIN(TestOrderRecords)
#include "tst_orderrecords.moc"
