#include "config.h"
#include "formbody.h"
#include "replyfinished.h"
#include "standin.h"
#include "studioservice.h"
#include "webservice.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace {

const char* const kDemoOrderKeys[] = {
    // Keys of the order-list item that the search, import and separation windows read.
    "order_photo_id", "orderpayforkey", "servicetimes",    "bname",           "wname",           "mname",
    "mphone",         "wphone",         "momtel",          "dadtel",          "phototype",       "comboname",
    "comboprice",     "order_price",    "orderbaseprice",  "role1",           "role2",           "role10",
    "yindouer",       "shotdate",       "photodate2",      "sampledate",      "getphotodate",    "booktime",
    "pickuptime",     "pickuptype",     "twosales",        "selectphotoname", "isurgenttime",    "tiaosename",
    "tiaoxiname",     "storesname",     "gotodigitaltime", "orderpath",       "orderbakpicpath", "n8path",
};

struct Answer
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
};

Answer send(const QString& url, const QByteArray& body, bool get = false)
{
    QNetworkAccessManager manager;
    QNetworkRequest page{QUrl(url)};
    page.setTransferTimeout(WebService::transferTimeoutMs());
    QNetworkReply* reply =
        get ? manager.get(page) : manager.post(WebService::formRequest(url, body.size()), body);
    waitUntilFinished(reply);
    Answer a;
    a.error = reply->error();
    a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    a.body = reply->readAll();
    delete reply;
    return a;
}

WebService::Reply post(const QString& route, const QByteArray& body)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = WebService::post(&manager, route, body);
    waitUntilFinished(reply);
    const WebService::Reply r = WebService::read(reply);
    delete reply;
    return r;
}

// Every value of a reply is a JSON string, except the named numbers.
QString firstNonString(const QJsonValue& value, const QStringList& numbers, const QString& key = QString())
{
    if (value.isObject()) {
        const QJsonObject o = value.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString bad = firstNonString(it.value(), numbers, it.key());
            if (!bad.isEmpty())
                return bad;
        }
        return QString();
    }
    if (value.isArray()) {
        for (const QJsonValue& v : value.toArray()) {
            const QString bad = firstNonString(v, numbers, key);
            if (!bad.isEmpty())
                return bad;
        }
        return QString();
    }
    if (value.isString() || (value.isDouble() && numbers.contains(key)))
        return QString();
    return key.isEmpty() ? QStringLiteral("(top)") : key;
}

FormBody identity(const QString& shopId = "12")
{
    FormBody body;
    body.add("token", Config::token).add("shopid", shopId);
    return body;
}

// The orders of an order-list reply: under "data", or under "order" in the
// dispatch desk's form.
QStringList orderNumbers(const QJsonObject& reply)
{
    QStringList keys;
    for (const QJsonValue& v : reply.value(reply.contains("order") ? "order" : "data").toArray())
        keys.append(v.toObject().value("orderpayforkey").toString());
    return keys;
}

QJsonObject demoOrder(const QJsonObject& store, const QString& id)
{
    for (const QJsonValue& v : store.value("orders").toArray()) {
        if (v.toObject().value("order_photo_id").toString() == id)
            return v.toObject();
    }
    return {};
}

// The demo fixture with one change, written to a temporary file.
QString changedFixture(const QTemporaryDir& dir, const std::function<void(QJsonObject&)>& change)
{
    QFile in(StudioService::demoFixturePath());
    in.open(QIODevice::ReadOnly);
    QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    change(root);
    const QString path = dir.filePath("fixture.json");
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(QJsonDocument(root).toJson());
    return path;
}

} // namespace

class TestStudioService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void signIn_data();
    void signIn();
    void updateCheck_data();
    void updateCheck();
    void switchShop_data();
    void switchShop();
    void n8StorePaths();
    void n8Lists_data();
    void n8Lists();
    void phoneCode_data();
    void phoneCode();

    void orderList_data();
    void orderList();
    void orderListItemKeys();
    void orderListRefusals_data();
    void orderListRefusals();
    void selectionFinishedIsNumber_data();
    void selectionFinishedIsNumber();

    void reportedPathsReturnInLaterSearch();
    void importCountsAndVideos();
    void videoListReplaced();
    void n8PathUsesItsOwnToken();
    void writesToAnotherShopsOrderRefused();

    void unknownRoutes_data();
    void unknownRoutes();
    void bodyDecoding_data();
    void bodyDecoding();
    void bodiesOfTensOfMegabytes();
    void faults_data();
    void faults();
    void delayHoldsOnlyItsRoute();
    void webSignInPage();
    void jsonLinesLog();
    void standInPointsConfigAndRestores();
};

void TestStudioService::initTestCase()
{
    QVERIFY(QFile::exists(StudioService::demoFixturePath()));
}

void TestStudioService::signIn_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("demo") << "demo"
                          << "demo123"
                          << "1"
                          << "登录成功";
    QTest::newRow("wrong password") << "demo"
                                    << "demo124"
                                    << "0"
                                    << "用户名或密码错误";
    QTest::newRow("unknown user") << "nobody"
                                  << "demo123"
                                  << "0"
                                  << "用户名或密码错误";
    QTest::newRow("disabled user") << "zhao"
                                   << "zhao123"
                                   << "0"
                                   << "该账号已停用，请联系管理员";
    QTest::newRow("disabled user, wrong password") << "zhao"
                                                   << "x"
                                                   << "0"
                                                   << "用户名或密码错误";
    QTest::newRow("password holding & and =") << "demo"
                                              << "p&w=1&x=%26"
                                              << "0"
                                              << "用户名或密码错误";
}

void TestStudioService::signIn()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, code);
    QFETCH(QString, message);
    StandIn standIn;
    static QStringList debugLines;
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& line) { debugLines.append(line); });
    const WebService::Reply r = post(Config::url_login, FormBody()
                                                            .add("username", user)
                                                            .add("password", password)
                                                            .add("token", Config::token)
                                                            .add("version", Config::version));
    qInstallMessageHandler(previous);
    // The debug text shows every value but the password.
    QVERIFY(debugLines.contains("Paras: username: " + user + "\n password: ***\n token: " + Config::token +
                                "\n version: " + Config::version));
    QCOMPARE(r.statusText, QStringLiteral("200"));
    QCOMPARE(r.code, code);
    QCOMPARE(r.message, message);
    QCOMPARE(firstNonString(r.object, {}), QString());
    if (code != "1")
        return;
    QCOMPARE(r.object.value("SUPERID").toString(), QStringLiteral("8"));
    QCOMPARE(r.object.value("EID").toString(), QStringLiteral("1024"));
    QCOMPARE(r.object.value("USERNAME").toString(), QStringLiteral("李店长"));
    QCOMPARE(r.object.value("UID").toString(), QStringLiteral("2048"));
    QCOMPARE(r.object.value("SHOPID").toString(), QStringLiteral("12"));
    QCOMPARE(r.object.value("SHOPNAME").toString(), QStringLiteral("Velmor旗舰店"));
    const QJsonArray shops = r.object.value("shop_data").toArray();
    QCOMPARE(shops.size(), 3);
    QCOMPARE(shops.at(1).toObject().value("id").toString(), QStringLiteral("77"));
    QCOMPARE(shops.at(1).toObject().value("name").toString(), QStringLiteral("Tovaro概念店"));
    const auto logged = standIn.requests("public", "dologin");
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().keys, QStringList({"username", "password", "token", "version"}));
}

void TestStudioService::updateCheck_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("offered"); // the fixture's number; empty: no offer
    QTest::addColumn<QString>("code");
    QTest::newRow("sign-in dialog, same version") << "vmrKorvaDravin"
                                                  << ""
                                                  << "0";
    QTest::newRow("web page, same version") << "vmrNewDravin"
                                            << ""
                                            << "0";
    QTest::newRow("sign-in dialog, newer version") << "vmrKorvaDravin"
                                                   << "1.6.9_01"
                                                   << "1";
    QTest::newRow("web page, newer version") << "vmrNewDravin"
                                             << "1.6.9_01"
                                             << "1";
    QTest::newRow("unknown application") << "other"
                                         << "1.6.9_01"
                                         << "0";
}

void TestStudioService::updateCheck()
{
    QFETCH(QString, application);
    QFETCH(QString, offered);
    QFETCH(QString, code);
    QTemporaryDir dir;
    const QString fixture = offered.isEmpty() ? QString() : changedFixture(dir, [&](QJsonObject& root) {
        QJsonObject updates = root.value("updates").toObject();
        for (const char* app : {"vmrKorvaDravin", "vmrNewDravin"}) {
            QJsonObject offer = updates.value(app).toObject();
            offer.insert("number", offered);
            updates.insert(app, offer);
        }
        root.insert("updates", updates);
    });
    StandIn standIn(fixture);
    QVERIFY(Config::url_check_update.contains("g=Publicapi&m=Version&a=check_update"));
    const WebService::Reply r = post(Config::url_check_update, FormBody()
                                                                   .add("type", application)
                                                                   .add("systemtype", "mac")
                                                                   .add("number", Config::version)
                                                                   .add("token", Config::token));
    QCOMPARE(r.code, code);
    QCOMPARE(firstNonString(r.object, {}), QString());
    if (code == "1") {
        const QJsonObject data = r.object.value("data").toObject();
        QCOMPARE(data.value("number").toString(), offered);
        for (const char* key : {"application_name", "time", "file_name", "path", "file_size"})
            QVERIFY2(!data.value(key).toString().isEmpty(), key);
    }
    QCOMPARE(standIn.requests("Version", "check_update").first().g, QStringLiteral("Publicapi"));
}

void TestStudioService::switchShop_data()
{
    QTest::addColumn<QString>("shopId");
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("deletePermission");
    QTest::addColumn<QString>("picpath");
    QTest::addColumn<int>("stores");
    QTest::newRow("import shop, host-share roots") << "12"
                                                   << "2048"
                                                   << "1" << 1 << "\\\\studio-nas\\photos\\" << 2;
    QTest::newRow("separate layout shop 77") << "77"
                                             << "2048"
                                             << "1" << 1 << "\\\\tovaro-nas\\tovaro\\photos\\" << 1;
    QTest::newRow("drive-letter shop, no deletion") << "30"
                                                    << "2048"
                                                    << "1" << 0 << "D:\\photos30\\" << 1;
    QTest::newRow("shop of another user") << "12"
                                          << "2061"
                                          << "0" << 0 << "" << 0;
    QTest::newRow("unknown user") << "12"
                                  << "9999"
                                  << "0" << 0 << "" << 0;
    QTest::newRow("unknown shop") << "99"
                                  << "2048"
                                  << "0" << 0 << "" << 0;
}

void TestStudioService::switchShop()
{
    QFETCH(QString, shopId);
    QFETCH(QString, uid);
    QFETCH(QString, code);
    QFETCH(int, deletePermission);
    QFETCH(QString, picpath);
    QFETCH(int, stores);
    StandIn standIn;
    const WebService::Reply r =
        post(Config::url_query_user_data,
             FormBody().add("token", Config::token).add("shopid", shopId).add("uid", uid));
    QCOMPARE(r.code, code);
    if (code != "1") {
        QVERIFY(!r.message.isEmpty());
        return;
    }
    QCOMPARE(firstNonString(r.object, {"is_all_del_photo"}), QString());
    QVERIFY(r.object.value("is_all_del_photo").isDouble());
    QCOMPARE(r.object.value("is_all_del_photo").toInt(), deletePermission);
    QCOMPARE(r.object.value("SHOPID").toString(), shopId);
    QCOMPARE(r.object.value("SUPERID").toString(), QStringLiteral("8"));
    QCOMPARE(r.object.value("EID").toString(), QStringLiteral("1024"));
    QCOMPARE(r.object.value("picpath").toString(), picpath);
    for (const char* key : {"isshow_subproduct", "n8bigimg", "n8isdownloadall", "yptbcp", "xztp", "sjfjxz",
                            "SHOPNAME", "bakpicpath", "homepicpath"})
        QVERIFY2(!r.object.value(key).toString().isEmpty(), key);
    const QJsonArray storeList = r.object.value("stores").toArray();
    QCOMPARE(storeList.size(), stores);
    QVERIFY(!storeList.first().toObject().value("id").toString().isEmpty());
    QVERIFY(!storeList.first().toObject().value("name").toString().isEmpty());
}

void TestStudioService::n8StorePaths()
{
    StandIn standIn;
    const WebService::Reply r =
        post(Config::url_storesn8path,
             FormBody().add("token", Config::token).add("shopid", "12").add("uid", "2048"));
    QCOMPARE(r.code, QStringLiteral("1"));
    QCOMPARE(firstNonString(r.object, {}), QString());
    const QJsonArray stores = r.object.value("stores").toArray();
    QCOMPARE(stores.size(), 2);
    QCOMPARE(stores.at(0).toObject().value("id").toString(), QStringLiteral("1201"));
    QCOMPARE(stores.at(0).toObject().value("n8path").toString(),
             QStringLiteral("\\\\studio-nas\\n8\\store1201"));
}

void TestStudioService::n8Lists_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shop");
    QTest::addColumn<QString>("key"); // empty: refused
    QTest::addColumn<QStringList>("names");
    QTest::newRow("staff") << "getpersons"
                           << "12"
                           << "persons" << QStringList{"李店长", "陈摄影", "林&化妆", "周<设计>"};
    QTest::newRow("goods") << "getgoods"
                           << "12"
                           << "goods" << QStringList{"10x12相册", "水晶摆台 & 框", "\"精修\"入册"};
    QTest::newRow("unknown shop") << "getgoods"
                                  << "99"
                                  << "" << QStringList{};
}

void TestStudioService::n8Lists()
{
    QFETCH(QString, action);
    QFETCH(QString, shop);
    QFETCH(QString, key);
    QFETCH(QStringList, names);
    StandIn standIn;
    const QString route = action == "getpersons" ? Config::url_shopallpeo : Config::url_shopallpro;
    const WebService::Reply r =
        post(route, FormBody().add("token", Config::token).add("shopid", shop).add("uid", "2048"));
    if (key.isEmpty()) {
        QCOMPARE(r.code, QStringLiteral("0"));
        QCOMPARE(r.message, QStringLiteral("店铺不存在"));
        return;
    }
    QCOMPARE(r.code, QStringLiteral("1"));
    QCOMPARE(firstNonString(r.object, {}), QString());
    QStringList got;
    for (const QJsonValue& v : r.object.value(key).toArray()) {
        QVERIFY(!v.toObject().value("id").toString().isEmpty());
        got.append(v.toObject().value("name").toString());
    }
    QCOMPARE(got, names);
}

void TestStudioService::phoneCode_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("typedCode");
    QTest::addColumn<QString>("code");
    QTest::newRow("send") << "send_code"
                          << "13800138000"
                          << ""
                          << "1";
    QTest::newRow("send, ten digits") << "send_code"
                                      << "1380013800"
                                      << ""
                                      << "2";
    QTest::newRow("send, letter") << "send_code"
                                  << "1380013800x"
                                  << ""
                                  << "2";
    QTest::newRow("submit right code") << "send_code_post"
                                       << "13800138000"
                                       << "246810"
                                       << "1";
    QTest::newRow("submit wrong code") << "send_code_post"
                                       << "13800138000"
                                       << "246811"
                                       << "0";
    QTest::newRow("submit no code") << "send_code_post"
                                    << "13800138000"
                                    << ""
                                    << "0";
}

void TestStudioService::phoneCode()
{
    QFETCH(QString, action);
    QFETCH(QString, phone);
    QFETCH(QString, typedCode);
    QFETCH(QString, code);
    StandIn standIn;
    FormBody body = identity();
    body.add("superid", "8").add("phone", phone);
    if (action == "send_code_post")
        body.add("code", typedCode);
    const WebService::Reply r =
        post(action == "send_code" ? Config::url_post_get_message_code : Config::url_submit_phone_code, body);
    QCOMPARE(r.code, code);
}

void TestStudioService::orderList_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("orders");
    auto search = [](const QString& shop, int type, const QString& keyword,
                     const QString& stores = QString()) {
        FormBody body = identity(shop);
        body.add("searchtype", type)
            .add("keyword", keyword)
            .add("superid", "8")
            .add("uid", "2048")
            .add("eid", "1024");
        if (!stores.isNull())
            body.add("storesids", stores);
        return body.toByteArray();
    };
    QTest::newRow("order number part")
        << search("12", 1, "A240512") << QStringList{"A24051201", "A24051202", "A24051203", "A24051204"};
    QTest::newRow("order number, other case") << search("12", 1, "a24051502") << QStringList{"A24051502"};
    QTest::newRow("other shop's order") << search("12", 1, "T24050801") << QStringList();
    QTest::newRow("shop 77") << search("77", 1, "T2405") << QStringList{"T24050801", "T24050802"};
    QTest::newRow("name") << search("12", 2, "孙丽") << QStringList{"A24051202"};
    QTest::newRow("name with blanks") << search("12", 2, " 孙丽 ") << QStringList();
    QTest::newRow("phone") << search("12", 3, "13700000105") << QStringList{"A24051501"};
    QTest::newRow("shot date") << search("12", 4, "2024-05-15") << QStringList{"A24051501", "A24051502"};
    QTest::newRow("selection date") << search("12", 5, "2024-05-19")
                                    << QStringList{"A24051201", "A24051202", "A24051203", "A24051204"};
    QTest::newRow("pick-up date") << search("30", 7, "2024-05-11") << QStringList{"B24042001", "B24042002"};
    QTest::newRow("upload date") << search("12", 9, "2024-05-20")
                                 << QStringList{"A24051201", "A24051202", "A24051203", "A24051204"};
    QTest::newRow("store filter") << search("12", 4, "2024-05-15", "1202") << QStringList{"A24051502"};
    QTest::newRow("two stores") << search("12", 4, "2024-05-15", "1201,1202")
                                << QStringList{"A24051501", "A24051502"};
    QTest::newRow("empty store filter")
        << search("12", 4, "2024-05-15", "") << QStringList{"A24051501", "A24051502"};
    QTest::newRow("empty keyword") << search("12", 1, "") << QStringList();
    QTest::newRow("date without orders") << search("12", 4, "2023-01-01") << QStringList();
    QTest::newRow("dispatch desk, order number") << FormBody()
                                                        .add("token", Config::token)
                                                        .add("uid", "1024")
                                                        .add("shopid", "12")
                                                        .add("superid", "8")
                                                        .add("type", "1")
                                                        .add("orderpayforkey", "A24052002")
                                                        .toByteArray()
                                                 << QStringList{"A24052002"};
    QTest::newRow("dispatch desk, shot date") << FormBody()
                                                     .add("token", Config::token)
                                                     .add("uid", "1024")
                                                     .add("shopid", "12")
                                                     .add("superid", "8")
                                                     .add("type", "2")
                                                     .add("photodate", "2024-05-20")
                                                     .toByteArray()
                                              << QStringList{"A24052001", "A24052002"};
}

void TestStudioService::orderList()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, orders);
    StandIn standIn;
    const WebService::Reply r = post(Config::url_query_order_importphoto, body);
    QCOMPARE(r.code, QStringLiteral("1"));
    QVERIFY(r.object.value(body.contains("&type=") ? "order" : "data").isArray());
    QCOMPARE(orderNumbers(r.object), orders);
}

void TestStudioService::orderListItemKeys()
{
    StandIn standIn;
    FormBody body = identity();
    body.add("searchtype", 1).add("keyword", "A24051201");
    const WebService::Reply r = post(Config::url_query_order_importphoto, body);
    const QJsonObject item = r.object.value("data").toArray().first().toObject();
    QCOMPARE(firstNonString(item, {}), QString());
    for (const char* key : kDemoOrderKeys)
        QVERIFY2(item.value(key).isString(), key);
    QCOMPARE(
        item.value("orderpath").toString(),
        QStringLiteral("\\\\studio-nas\\photos\\2024-05\\12\\A24051201-1-王小宝-刘芳-王强-陈摄影-林化妆\\"));
    const QJsonObject roots = item.value("picpathnew").toObject();
    QCOMPARE(roots.value("picpath").toString(), QStringLiteral("\\\\studio-nas\\photos\\"));
    QCOMPARE(roots.value("bakpicpath").toString(), QStringLiteral("\\\\studio-nas\\backup\\"));
    QCOMPARE(roots.value("homepicpath").toString(), QStringLiteral("\\\\studio-nas\\home\\"));
    QCOMPARE(roots.value("n8path").toString(), QStringLiteral("\\\\studio-nas\\n8\\store1201"));

    // Orders not imported yet have no folders.
    FormBody later = identity();
    later.add("searchtype", 1).add("keyword", "A24051501");
    const QJsonObject fresh =
        post(Config::url_query_order_importphoto, later).object.value("data").toArray().first().toObject();
    QCOMPARE(fresh.value("orderpath").toString(), QString());
    QCOMPARE(fresh.value("orderbakpicpath").toString(), QString());
}

void TestStudioService::orderListRefusals_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("unknown search type") << FormBody()
                                                .add("token", Config::token)
                                                .add("shopid", "12")
                                                .add("searchtype", 14)
                                                .add("keyword", "x")
                                                .toByteArray();
    QTest::newRow("no search type")
        << FormBody().add("token", Config::token).add("shopid", "12").add("keyword", "x").toByteArray();
    QTest::newRow("unknown shop") << FormBody()
                                         .add("token", Config::token)
                                         .add("shopid", "99")
                                         .add("searchtype", 1)
                                         .add("keyword", "A")
                                         .toByteArray();
    QTest::newRow("wrong token") << FormBody()
                                        .add("token", "0000")
                                        .add("shopid", "12")
                                        .add("searchtype", 1)
                                        .add("keyword", "A")
                                        .toByteArray();
    QTest::newRow("no token")
        << FormBody().add("shopid", "12").add("searchtype", 1).add("keyword", "A").toByteArray();
}

void TestStudioService::orderListRefusals()
{
    QFETCH(QByteArray, body);
    StandIn standIn;
    const WebService::Reply r = post(Config::url_query_order_importphoto, body);
    QCOMPARE(int(r.kind), int(WebService::Reply::Kind::Refusal));
    QVERIFY(!r.message.isEmpty());
    QVERIFY(!r.object.contains("data"));
}

void TestStudioService::selectionFinishedIsNumber_data()
{
    QTest::addColumn<QString>("orderId");
    QTest::addColumn<int>("finished");
    QTest::newRow("finished") << "100101" << 1;
    QTest::newRow("not finished") << "100102" << 0;
}

void TestStudioService::selectionFinishedIsNumber()
{
    QFETCH(QString, orderId);
    QFETCH(int, finished);
    StandIn standIn;
    FormBody body = identity();
    body.add("superid", "8")
        .add("order_photo_id", orderId)
        .add("eid", "1024")
        .add("personid", "1024")
        .add("uid", "2048");
    const WebService::Reply r = post(Config::url_query_order_isimportphoto, body);
    QCOMPARE(r.code, QStringLiteral("1"));
    QVERIFY(r.object.value("isrole12finish").isDouble());
    QCOMPARE(r.object.value("isrole12finish").toInt(), finished);
}

void TestStudioService::reportedPathsReturnInLaterSearch()
{
    StandIn standIn;
    const QString orderPath =
        QStringLiteral("\\\\studio-nas\\photos\\2024-05/15/A24051501-1-张豆豆-吴静-张伟-陈摄影-林化妆/");
    const QString backupPath =
        QStringLiteral("\\\\studio-nas\\backup\\2024-05/15/A24051501-1-张豆豆-吴静-张伟-陈摄影-林化妆/");
    const WebService::Reply r =
        post(Config::url_post_orderpicpath, FormBody()
                                                .add("picnumber", 0)
                                                .add("picbacknumber", 0)
                                                .add("importype", "0")
                                                .add("token", Config::token)
                                                .add("order_photo_id", "100105")
                                                .add("orderpicpath", orderPath)
                                                .add("orderbakpicpath", backupPath)
                                                .add("superid", "8")
                                                .add("eid", "1024")
                                                .add("shopid", "12")
                                                .add("timestamp", qint64(1715760000000))
                                                .add("typeid", "0"));
    QCOMPARE(r.code, QStringLiteral("1"));
    FormBody search = identity();
    search.add("searchtype", 1).add("keyword", "A24051501");
    const QJsonObject item =
        post(Config::url_query_order_importphoto, search).object.value("data").toArray().first().toObject();
    QCOMPARE(item.value("orderpath").toString(), orderPath);
    QCOMPARE(item.value("orderbakpicpath").toString(), backupPath);
    QCOMPARE(demoOrder(standIn.storeSnapshot(), "100105").value("orderpath").toString(), orderPath);
}

void TestStudioService::importCountsAndVideos()
{
    StandIn standIn;
    auto report = [](const QString& typeId, int count, int backup, const QString& files) {
        FormBody body;
        body.add("picnumber", count)
            .add("picbacknumber", backup)
            .add("importype", "1")
            .add("token", Config::token)
            .add("order_photo_id", "100101")
            .add("orderpicpath", "")
            .add("orderbakpicpath", "")
            .add("superid", "8")
            .add("eid", "1024")
            .add("shopid", "12")
            .add("timestamp", qint64(1));
        if (!files.isEmpty()) {
            QStringList paths;
            for (const QString& f : files.split('|'))
                paths.append("\\\\studio-nas\\photos\\x\\试拍视频/" + f);
            body.add("videopaths", paths.join('|')).add("videofiles", files);
        }
        body.add("typeid", typeId);
        return post(Config::url_post_orderpicpath, body).code;
    };
    const QJsonObject before = demoOrder(standIn.storeSnapshot(), "100101");
    QCOMPARE(report("0", 5, 5, QString()), QStringLiteral("1"));
    QCOMPARE(report("0", 2, 1, QString()), QStringLiteral("1"));
    QCOMPARE(report("3", 2, 0, "a.mp4|b.mp4"), QStringLiteral("1"));
    QCOMPARE(report("3", 1, 0, "b.mp4|c.mp4"), QStringLiteral("1"));
    const QJsonObject after = demoOrder(standIn.storeSnapshot(), "100101");
    QCOMPARE(after.value("photonum").toString(), QStringLiteral("7"));
    QCOMPARE(after.value("bakphotonum").toString(), QStringLiteral("6"));
    QCOMPARE(after.value("videonum").toString(), QStringLiteral("3"));
    QCOMPARE(after.value("testvideofiles").toString(), QStringLiteral("a.mp4|b.mp4|c.mp4"));
    // An empty path in a report leaves the stored folders alone.
    QCOMPARE(after.value("orderpath"), before.value("orderpath"));
    QCOMPARE(after.value("orderbakpicpath"), before.value("orderbakpicpath"));
}

void TestStudioService::videoListReplaced()
{
    StandIn standIn;
    auto upload = [](const QString& typeId, const QString& paths, const QString& files) {
        FormBody body(true);
        body.add("timestamp", qint64(1))
            .add("videopaths", paths)
            .add("videofiles", files)
            .add("shopid", "12")
            .add("order_photo_id", "100102")
            .add("superid", "8")
            .add("eid", "1024")
            .add("token", Config::token)
            .add("typeid", typeId);
        return post(Config::url_video_updata, body);
    };
    WebService::Reply r =
        upload("4", "/Volumes/photos/x/精修视频/a b.mp4|/Volumes/photos/x/精修视频/c.mp4", "a b.mp4|c.mp4");
    QCOMPARE(r.code, QStringLiteral("1"));
    QCOMPARE(r.message, QStringLiteral("视频列表已更新"));
    QCOMPARE(demoOrder(standIn.storeSnapshot(), "100102").value("finalvideofiles").toString(),
             QStringLiteral("a b.mp4|c.mp4"));
    r = upload("4", "", "");
    QCOMPARE(r.message, QStringLiteral("视频列表已清空"));
    QCOMPARE(demoOrder(standIn.storeSnapshot(), "100102").value("finalvideofiles").toString(), QString());
    QCOMPARE(upload("5", "", "").code, QStringLiteral("0"));
}

void TestStudioService::n8PathUsesItsOwnToken()
{
    StandIn standIn;
    const QString n8Path = QStringLiteral("/Volumes/n8/store1201/选版服务器/A24051201 & 1");
    auto save = [&](const QString& token) {
        FormBody body(true);
        body.add("token", token)
            .add("orderphotoid", "100101")
            .add("n8path", n8Path)
            .add("superid", "8")
            .add("eid", "1024")
            .add("shopid", "12");
        return post(Config::url_n8updatapath, body).code;
    };
    const QString before = demoOrder(standIn.storeSnapshot(), "100101").value("n8path").toString();
    QCOMPARE(save(Config::token), QStringLiteral("-1"));
    QCOMPARE(demoOrder(standIn.storeSnapshot(), "100101").value("n8path").toString(), before);
    QCOMPARE(save(Config::n8PathToken), QStringLiteral("1"));
    QCOMPARE(demoOrder(standIn.storeSnapshot(), "100101").value("n8path").toString(), n8Path);
    const auto logged = standIn.requests("order", "saven8path");
    QCOMPARE(logged.last().rawBody.left(7), QByteArray("&token="));
    QCOMPARE(logged.last().values.value("n8path"), n8Path);
}

void TestStudioService::writesToAnotherShopsOrderRefused()
{
    StandIn standIn;
    const QJsonObject before = standIn.storeSnapshot();
    FormBody body;
    body.add("picnumber", 0)
        .add("picbacknumber", 0)
        .add("importype", "0")
        .add("token", Config::token)
        .add("order_photo_id", "770102")
        .add("orderpicpath", "\\\\x\\y\\")
        .add("orderbakpicpath", "\\\\x\\z\\")
        .add("superid", "8")
        .add("eid", "1024")
        .add("shopid", "12")
        .add("timestamp", qint64(1))
        .add("typeid", "0");
    const WebService::Reply r = post(Config::url_post_orderpicpath, body);
    QCOMPARE(r.code, QStringLiteral("0"));
    QCOMPARE(standIn.storeSnapshot(), before);
}

void TestStudioService::unknownRoutes_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown action") << "/index.php?g=Pelagrine&m=order&a=nothing" << 200;
    QTest::newRow("wrong group") << "/index.php?g=Other&m=public&a=dologin" << 200;
    QTest::newRow("no query") << "/index.php" << 200;
    QTest::newRow("other page") << "/admin.php?g=Pelagrine&m=public&a=dologin" << 404;
}

void TestStudioService::unknownRoutes()
{
    QFETCH(QString, route);
    QFETCH(int, status);
    StandIn standIn;
    const Answer a = send(standIn.baseUrl() + route, "token=" + Config::token.toUtf8());
    QCOMPARE(a.status, status);
    const WebService::Reply r = WebService::classify(a.body);
    QCOMPARE(int(r.kind), int(WebService::Reply::Kind::Refusal));
    QCOMPARE(r.code, QStringLiteral("0"));
}

void TestStudioService::bodyDecoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("keyword");
    QTest::newRow("encoded once") << QByteArray("token=T&keyword=%E5%AD%99%E4%B8%BD%26%3D%2B%25")
                                  << QStringList{"token", "keyword"} << "孙丽&=+%";
    QTest::newRow("raw utf-8") << QByteArray("token=T&keyword=孙丽") << QStringList{"token", "keyword"}
                               << "孙丽";
    QTest::newRow("plus is a blank") << QByteArray("token=T&keyword=a+b%20c")
                                     << QStringList{"token", "keyword"} << "a b c";
    QTest::newRow("leading ampersand")
        << QByteArray("&token=T&keyword=x") << QStringList{"token", "keyword"} << "x";
    QTest::newRow("last repeated value wins")
        << QByteArray("keyword=a&token=T&keyword=b") << QStringList{"keyword", "token", "keyword"} << "b";
    QTest::newRow("raw ampersand splits the value")
        << QByteArray("token=T&keyword=a&b=c") << QStringList{"token", "keyword", "b"} << "a";
    QTest::newRow("bad escapes kept")
        << QByteArray("token=T&keyword=100%&x=%zz%4") << QStringList{"token", "keyword", "x"} << "100%";
    QTest::newRow("empty pairs and keys skipped")
        << QByteArray("&&token=T&=v&keyword&") << QStringList{"token", "keyword"} << "";
    QTest::newRow("value with equals")
        << QByteArray("token=T&keyword=a=b") << QStringList{"token", "keyword"} << "a=b";
}

void TestStudioService::bodyDecoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, keys);
    QFETCH(QString, keyword);
    StandIn standIn;
    post(Config::url_query_order_importphoto, body);
    const auto logged = standIn.requests("order", "order_list");
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged.first().method, QStringLiteral("POST"));
    QCOMPARE(logged.first().g, QStringLiteral("Pelagrine"));
    QCOMPARE(logged.first().rawBody, body);
    QCOMPARE(logged.first().keys, keys);
    QCOMPARE(logged.first().values.value("keyword"), keyword);
}

void TestStudioService::bodiesOfTensOfMegabytes()
{
    StandIn standIn;
    // Taken whole, as a real service takes an order's photo names.
    const QByteArray big = "token=T&keyword=" + QByteArray(24 << 20, 'k');
    QCOMPARE(send(Config::url_query_order_importphoto, big).status, 200);
    QCOMPARE(standIn.log().size(), 1);
    QCOMPARE(standIn.log().first().values.value("keyword").size(), 24 << 20);
    // Past the limit: refused, and never handled.
    const QByteArray tooBig = "token=T&keyword=" + QByteArray(int(StudioService::maxBodyBytes), 'k');
    QCOMPARE(send(Config::url_query_order_importphoto, tooBig).status, 413);
    QCOMPARE(standIn.log().size(), 1);
}

void TestStudioService::faults_data()
{
    using K = WebService::Reply::Kind;
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("code");
    QTest::newRow("refusal") << "refuse" << int(K::Refusal) << "200"
                             << "-7";
    QTest::newRow("http 500") << "http" << int(K::TransportError) << "500"
                              << "";
    QTest::newRow("http 502") << "http502" << int(K::TransportError) << "502"
                              << "";
    QTest::newRow("not json") << "raw" << int(K::NotJsonObject) << "200"
                              << "";
    QTest::newRow("json array") << "array" << int(K::NotJsonObject) << "200"
                                << "";
    QTest::newRow("empty body") << "empty" << int(K::NotJsonObject) << "200"
                                << "";
    QTest::newRow("dropped") << "drop" << int(K::TransportError) << ""
                             << "";
    QTest::newRow("trickled") << "trickle" << int(K::Success) << "200"
                              << "1";
}

void TestStudioService::faults()
{
    QFETCH(QString, fault);
    QFETCH(int, kind);
    QFETCH(QString, status);
    QFETCH(QString, code);
    StandIn standIn;
    if (fault == "refuse")
        standIn.refuse("public", "switch_shop", "-7", "店铺已停业");
    else if (fault == "http")
        standIn.failHttp("public", "switch_shop");
    else if (fault == "http502")
        standIn.failHttp("public", "switch_shop", 502);
    else if (fault == "raw")
        standIn.sendRaw("public", "switch_shop", "<html>Fatal error</html>");
    else if (fault == "array")
        standIn.sendRaw("public", "switch_shop", R"([{"code":"1"}])");
    else if (fault == "empty")
        standIn.sendRaw("public", "switch_shop", QByteArray());
    else if (fault == "trickle")
        standIn.trickle("public", "switch_shop", 1);
    else
        standIn.drop("public", "switch_shop");

    const QByteArray body = FormBody().add("token", Config::token).add("shopid", "12").add("uid", "2048");
    const WebService::Reply r = post(Config::url_query_user_data, body);
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.statusText, status);
    QCOMPARE(r.code, code);
    if (fault == "refuse")
        QCOMPARE(r.message, QStringLiteral("店铺已停业"));
    QVERIFY(!standIn.requests("public", "switch_shop").isEmpty());

    // Only the scripted route is affected, and clearing restores it.
    QCOMPARE(post(Config::url_login,
                  FormBody().add("username", "demo").add("password", "demo123").add("token", Config::token))
                 .code,
             QStringLiteral("1"));
    standIn.clearFaults();
    QCOMPARE(post(Config::url_query_user_data, body).code, QStringLiteral("1"));
}

void TestStudioService::delayHoldsOnlyItsRoute()
{
    StandIn standIn;
    standIn.delay("order", "order_list", 1000);
    standIn.refuse("order", "updatevideo", "3", "late");
    standIn.delay("order", "updatevideo", 300); // combines with the refusal

    QElapsedTimer timer;
    timer.start();
    QNetworkAccessManager manager;
    FormBody search = identity();
    search.add("searchtype", 1).add("keyword", "A24051201");
    QNetworkReply* slow = WebService::post(&manager, Config::url_query_order_importphoto, search);
    // Other routes answer while the delayed one is held back.
    QCOMPARE(post(Config::url_login,
                  FormBody().add("username", "demo").add("password", "demo123").add("token", Config::token))
                 .code,
             QStringLiteral("1"));
    QVERIFY(!slow->isFinished());
    waitUntilFinished(slow);
    QVERIFY(timer.elapsed() >= 950);
    QCOMPARE(orderNumbers(WebService::read(slow).object), QStringList{"A24051201"});
    delete slow;

    timer.restart();
    const WebService::Reply late = post(Config::url_video_updata, identity());
    QVERIFY(timer.elapsed() >= 250);
    QCOMPARE(late.code, QStringLiteral("3"));
    QCOMPARE(late.message, QStringLiteral("late"));
}

void TestStudioService::webSignInPage()
{
    StandIn standIn;
    const QString page = standIn.baseUrl() + "/user/public/Dravin_weixin_loginform/";
    const QRegularExpression titleRx(QStringLiteral("<title>(.*)</title>"));

    Answer a = send(page, QByteArray(), true);
    QCOMPARE(a.status, 200);
    QVERIFY(a.body.contains("<form"));
    QVERIFY(!titleRx.match(QString::fromUtf8(a.body)).hasMatch()); // an empty title is ignored by the window

    auto titleObject = [&](const QByteArray& form) {
        const Answer result = send(page, form);
        QString title = titleRx.match(QString::fromUtf8(result.body)).captured(1);
        title.replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        return QJsonDocument::fromJson(title.toUtf8()).object();
    };
    QJsonObject result = titleObject("username=demo&password=demo123");
    QCOMPARE(result.value("code").toString(), QStringLiteral("1"));
    QCOMPARE(result.value("USERNAME").toString(), QStringLiteral("李店长"));
    QCOMPARE(result.value("uid").toString(), QStringLiteral("2048"));
    QCOMPARE(result.value("shop_data").toArray().size(), 3);
    result = titleObject("username=demo&password=nope");
    QCOMPARE(result.value("code").toString(), QStringLiteral("0"));
    QCOMPARE(result.value("message").toString(), QStringLiteral("用户名或密码错误"));

    const auto logged = standIn.log();
    QCOMPARE(logged.size(), 3);
    QCOMPARE(logged.first().method, QStringLiteral("GET"));
    QCOMPARE(logged.first().path, QStringLiteral("/user/public/Dravin_weixin_loginform/"));
}

void TestStudioService::jsonLinesLog()
{
    QTemporaryDir dir;
    StudioService service;
    QString error;
    QVERIFY2(service.loadFixture(StudioService::demoFixturePath(), &error), qPrintable(error));
    QVERIFY(service.setLogFile(dir.filePath("requests.jsonl")));
    QVERIFY(service.start(0));
    const QByteArray body = FormBody().add("token", Config::token).add("shopid", "12").add("uid", "2048");
    send(service.baseUrl() + "/index.php?g=Pelagrine&m=public&a=switch_shop", body);
    send(service.baseUrl() + "/index.php?g=Pelagrine&m=order&a=getbarcodegen&order_photo_id=1&token=t", {},
         true);
    service.stop();

    QFile file(dir.filePath("requests.jsonl"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
    QCOMPARE(first.value("a").toString(), QStringLiteral("switch_shop"));
    QCOMPARE(first.value("body").toString().toUtf8(), body);
    QCOMPARE(first.value("keys").toArray(), QJsonArray({"token", "shopid", "uid"}));
    const QJsonObject second = QJsonDocument::fromJson(lines.at(1)).object();
    QCOMPARE(second.value("method").toString(), QStringLiteral("GET"));
    QCOMPARE(second.value("keys").toArray(), QJsonArray({"order_photo_id", "token"}));
}

void TestStudioService::standInPointsConfigAndRestores()
{
    const QString host = Config::url_host;
    const QString login = Config::url_login;
    {
        StandIn standIn;
        QCOMPARE(Config::url_host, standIn.baseUrl());
        QCOMPARE(Config::url_login, standIn.baseUrl() + "/index.php?g=Pelagrine&m=public&a=dologin");
        StandIn second; // a nested one takes over and gives the first back
        QCOMPARE(Config::url_host, second.baseUrl());
    }
    QCOMPARE(Config::url_host, host);
    QCOMPARE(Config::url_login, login);
}

QTEST_MAIN(TestStudioService)
#include "tst_studioservice.moc"
