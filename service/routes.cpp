#include "routes.h"

#include "config.h"
#include "storeaccess.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

// The store is the fixture document itself:
//   "users":   [{username, password, disabled, SUPERID, EID, USERNAME, UID, SHOPID, shops: [shop ids]}]
//   "shops":   [{id, name, settings: {switch reply keys}, stores: [{id, name, n8path, picpath, ...}],
//               n8persons: [{id, name}], n8goods: [{id, name}]}]
//   "orders":  [{order_photo_id, shopid, storesid, the order-list item keys ...}]
//   "updates": {application id: {application_name, number, time, file_name, path, file_size}}
//   "phone_code": the code every phone receives
// Writes replace the changed order in "orders".

namespace {

using namespace Store;
using Routes::Route;
using Routes::Token;

QStringList shopIdsOf(const QJsonObject& user)
{
    QStringList ids;
    for (const QJsonValue& id : user.value("shops").toArray())
        ids.append(text(id));
    return ids;
}

// The identity and shop list a successful sign-in hands the client.
QJsonObject signedIn(const QJsonObject& store, const QJsonObject& user)
{
    QJsonObject reply = success(QStringLiteral("登录成功"));
    for (const char* key : {"SUPERID", "EID", "USERNAME", "UID", "SHOPID"})
        reply.insert(key, text(user.value(key)));
    reply.insert("SHOPNAME", text(find(store, "shops", "id", text(user.value("SHOPID"))).value("name")));
    QJsonArray shops;
    for (const QString& id : shopIdsOf(user)) {
        const QJsonObject shop = find(store, "shops", "id", id);
        if (!shop.isEmpty())
            shops.append(QJsonObject{{"id", id}, {"name", text(shop.value("name"))}});
    }
    reply.insert("shop_data", shops);
    return reply;
}

// The user of a name and password, or a refusal.
QJsonObject checkPassword(const QJsonObject& store, const FormData& form, ServiceReply* refusal)
{
    const QJsonObject user = find(store, "users", "username", form.value("username"));
    if (user.isEmpty() || text(user.value("password")) != form.value("password")) {
        *refusal = ServiceReply::refusal("0", QStringLiteral("用户名或密码错误"));
        return {};
    }
    if (user.value("disabled").toBool()) {
        *refusal = ServiceReply::refusal("0", QStringLiteral("该账号已停用，请联系管理员"));
        return {};
    }
    return user;
}

ServiceReply signIn(QJsonObject& store, const FormData& form)
{
    ServiceReply refusal;
    const QJsonObject user = checkPassword(store, form, &refusal);
    return user.isEmpty() ? refusal : ServiceReply::json(signedIn(store, user));
}

ServiceReply checkUpdate(QJsonObject& store, const FormData& form)
{
    const QJsonObject offer = store.value("updates").toObject().value(form.value("type")).toObject();
    if (offer.isEmpty() || text(offer.value("number")) == form.value("number"))
        return ServiceReply::refusal("0", QStringLiteral("已是最新版本"));
    QJsonObject reply = success(QStringLiteral("发现新版本"));
    reply.insert("data", Routes::texts(offer));
    return ServiceReply::json(reply);
}

ServiceReply switchShop(QJsonObject& store, const FormData& form)
{
    const QJsonObject user = find(store, "users", "UID", form.value("uid"));
    if (user.isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("用户不存在"));
    const QString shopId = form.value("shopid");
    const QJsonObject shop = find(store, "shops", "id", shopId);
    if (shop.isEmpty() || !shopIdsOf(user).contains(shopId))
        return ServiceReply::refusal("0", QStringLiteral("没有该店铺的权限"));

    const QJsonObject settings = shop.value("settings").toObject();
    QJsonObject reply = Routes::texts(settings);
    reply.insert("code", "1");
    reply.insert("message", QStringLiteral("切换成功"));
    reply.insert("SUPERID", text(user.value("SUPERID")));
    reply.insert("EID", text(user.value("EID")));
    reply.insert("SHOPID", shopId);
    reply.insert("SHOPNAME", text(shop.value("name")));
    // The one value the client reads as a JSON number.
    reply.insert("is_all_del_photo", number(settings.value("is_all_del_photo")));
    QJsonArray stores;
    for (const QJsonValue& s : shop.value("stores").toArray())
        stores.append(
            QJsonObject{{"id", text(s.toObject().value("id"))}, {"name", text(s.toObject().value("name"))}});
    reply.insert("stores", stores);
    return ServiceReply::json(reply);
}

ServiceReply n8StorePaths(QJsonObject& store, const FormData& form)
{
    const QJsonObject shop = find(store, "shops", "id", form.value("shopid"));
    if (shop.isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("店铺不存在"));
    QJsonArray stores;
    for (const QJsonValue& v : shop.value("stores").toArray()) {
        const QJsonObject s = v.toObject();
        stores.append(QJsonObject{{"id", text(s.value("id"))},
                                  {"name", text(s.value("name"))},
                                  {"n8path", text(s.value("n8path"))}});
    }
    QJsonObject reply = success(QString());
    reply.insert("stores", stores);
    return ServiceReply::json(reply);
}

ServiceReply sendCode(QJsonObject&, const FormData& form)
{
    static const QRegularExpression mobile(QStringLiteral("^1[0-9]{10}$"));
    if (!mobile.match(form.value("phone")).hasMatch())
        return ServiceReply::refusal("2", QStringLiteral("手机号格式错误"));
    return ServiceReply::json(success(QStringLiteral("验证码已发送")));
}

ServiceReply checkCode(QJsonObject& store, const FormData& form)
{
    if (form.value("code").isEmpty() || form.value("code") != text(store.value("phone_code")))
        return ServiceReply::refusal("0", QStringLiteral("验证码错误"));
    return ServiceReply::json(success(QStringLiteral("验证成功")));
}

// Order search. Each search type matches one or more order fields; dates
// match on the day ("yyyy-MM-dd" at the start of the field).
enum class Match
{
    Text,
    Day,
    BookingDay
};

struct Search
{
    int type;
    Match match;
    QStringList fields;
};

const QList<Search>& searches()
{
    static const QList<Search> table = {
        {1, Match::Text, {"orderpayforkey"}},
        {2, Match::Text, {"bname", "wname", "mname"}},
        {3, Match::Text, {"mphone", "wphone", "momtel", "dadtel"}},
        {4, Match::Day, {"shotdate"}},
        {5, Match::Day, {"sampledate"}},
        {6, Match::BookingDay, {"booktime"}},
        {7, Match::Day, {"getphotodate"}},
        {8, Match::Day, {"selectphototime"}},
        {9, Match::Day, {"gotodigitaltime"}},
        {10, Match::Day, {"pickuptime"}},
        {11, Match::Day, {"pinguantime"}},
        {12, Match::Day, {"todesigntime"}},
        {13, Match::Day, {"gotodigitaltime"}},
    };
    return table;
}

bool matches(const Search& search, const QJsonObject& order, const QString& keyword)
{
    if (keyword.isEmpty())
        return false;
    for (const QString& field : search.fields) {
        const QString value = text(order.value(field));
        switch (search.match) {
        case Match::Text:
            if (value.contains(keyword, Qt::CaseInsensitive))
                return true;
            break;
        case Match::Day:
            if (value.left(10) == keyword)
                return true;
            break;
        case Match::BookingDay:
            if (!value.isEmpty() &&
                QDateTime::fromSecsSinceEpoch(value.toLongLong()).toString("yyyy-MM-dd") == keyword)
                return true;
            break;
        }
    }
    return false;
}

// The search type and keyword of a request: "searchtype" and "keyword" as
// most windows send them, or the dispatch desk's "type" with its own keys.
bool searchOf(const FormData& form, int* type, QString* keyword)
{
    if (form.contains("searchtype")) {
        *type = form.value("searchtype").toInt();
        *keyword = form.value("keyword");
        return true;
    }
    static const int deskTypes[] = {0, 1, 4, 5, 6, 7, 2, 3};
    const int deskType = form.value("type").toInt();
    if (deskType < 1 || deskType > 7)
        return false;
    *type = deskTypes[deskType];
    for (const char* key : {"orderpayforkey", "photodate", "selectphotodate"}) {
        if (form.contains(key))
            *keyword = form.value(key);
    }
    return true;
}

ServiceReply orderList(QJsonObject& store, const FormData& form)
{
    const QString shopId = form.value("shopid");
    if (find(store, "shops", "id", shopId).isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("店铺不存在"));
    int type = 0;
    QString keyword;
    if (!searchOf(form, &type, &keyword))
        return ServiceReply::refusal("0", QStringLiteral("检索方式错误"));
    const Search* search = nullptr;
    for (const Search& s : searches()) {
        if (s.type == type)
            search = &s;
    }
    if (!search)
        return ServiceReply::refusal("0", QStringLiteral("检索方式错误"));
    const QStringList storeIds = form.value("storesids").split(',', Qt::SkipEmptyParts);

    QJsonArray data;
    for (const QJsonValue& v : store.value("orders").toArray()) {
        const QJsonObject order = v.toObject();
        if (text(order.value("shopid")) != shopId)
            continue;
        if (!storeIds.isEmpty() && !storeIds.contains(text(order.value("storesid"))))
            continue;
        if (matches(*search, order, keyword))
            data.append(orderItem(store, order));
    }
    if (!form.contains("searchtype"))
        return ServiceReply::json(Routes::deskOrderList(store, shopId, data));
    QJsonObject reply = success(QString());
    reply.insert("data", data);
    return ServiceReply::json(reply);
}

ServiceReply selectionFinished(QJsonObject& store, const FormData& form)
{
    const int i = orderIndex(store, form.value("order_photo_id"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject reply = success(QString());
    // Sent as a JSON number, the way the client reads it.
    reply.insert("isrole12finish", number(orderAt(store, i).value("isrole12finish")));
    return ServiceReply::json(reply);
}

// The order's video list fields of a video import type ("3" trial shoot,
// "4" retouched), empty for any other type.
QPair<QString, QString> videoFields(const QString& typeId)
{
    if (typeId == "3")
        return {"testvideopaths", "testvideofiles"};
    if (typeId == "4")
        return {"finalvideopaths", "finalvideofiles"};
    return {};
}

// Appends the "|"-joined entries that the list does not hold yet.
QString appendEntries(const QString& list, const QString& entries)
{
    QStringList all = list.split('|', Qt::SkipEmptyParts);
    for (const QString& e : entries.split('|', Qt::SkipEmptyParts)) {
        if (!all.contains(e))
            all.append(e);
    }
    return all.join('|');
}

// The order's folders, and after an import the counts of the new files.
ServiceReply updatePicPath(QJsonObject& store, const FormData& form)
{
    if (form.contains("MANAGER_ID"))
        return Routes::singleImportCountReport(store, form);
    const int i = orderIndex(store, form.value("order_photo_id"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject order = orderAt(store, i);
    if (!form.value("orderpicpath").isEmpty())
        order.insert("orderpath", form.value("orderpicpath"));
    if (!form.value("orderbakpicpath").isEmpty())
        order.insert("orderbakpicpath", form.value("orderbakpicpath"));

    if (form.value("importype") == "1") {
        static const QMap<QString, QPair<QString, QString>> countFields = {
            {"0", {"photonum", "bakphotonum"}},  {"1", {"finishnum", "bakfinishnum"}},
            {"2", {"designnum", QString()}},     {"3", {"videonum", QString()}},
            {"4", {"finalvideonum", QString()}},
        };
        const QString typeId = form.value("typeid");
        const auto fields = countFields.value(typeId);
        auto add = [&order](const QString& field, const QString& count) {
            if (!field.isEmpty())
                order.insert(field, QString::number(text(order.value(field)).toInt() + count.toInt()));
        };
        add(fields.first, form.value("picnumber"));
        add(fields.second, form.value("picbacknumber"));
        const auto videos = videoFields(typeId);
        if (!videos.first.isEmpty()) {
            order.insert(videos.first,
                         appendEntries(text(order.value(videos.first)), form.value("videopaths")));
            order.insert(videos.second,
                         appendEntries(text(order.value(videos.second)), form.value("videofiles")));
        }
    }
    putOrder(store, i, order);
    return ServiceReply::json(success(QStringLiteral("更新成功")));
}

// The video list of the photo-selection system, replaced as a whole.
ServiceReply updateVideo(QJsonObject& store, const FormData& form)
{
    const int i = orderIndex(store, form.value("order_photo_id"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const auto fields = videoFields(form.value("typeid"));
    if (fields.first.isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("视频类型错误"));
    QJsonObject order = orderAt(store, i);
    order.insert(fields.first, form.value("videopaths"));
    order.insert(fields.second, form.value("videofiles"));
    putOrder(store, i, order);
    return ServiceReply::json(success(form.value("videofiles").isEmpty() ? QStringLiteral("视频列表已清空")
                                                                         : QStringLiteral("视频列表已更新")));
}

ServiceReply saveN8Path(QJsonObject& store, const FormData& form)
{
    const int i = orderIndex(store, form.value("orderphotoid"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject order = orderAt(store, i);
    order.insert("n8path", form.value("n8path"));
    putOrder(store, i, order);
    return ServiceReply::json(success(QStringLiteral("保存成功")));
}

const QList<Route> kFrontDoorRoutes = {
    {"Pelagrine", "public", "dologin", Token::Api, signIn},
    {"Publicapi", "Version", "check_update", Token::Api, checkUpdate},
    {"Pelagrine", "public", "switch_shop", Token::Api, switchShop},
    {"Pelagrine", "n8", "getn8set", Token::Api, n8StorePaths},
    {"Pelagrine", "OrderPhoto", "send_code", Token::Api, sendCode},
    {"Pelagrine", "OrderPhoto", "send_code_post", Token::Api, checkCode},
    {"Pelagrine", "order", "order_list", Token::Api, orderList},
    {"Pelagrine", "OrderPhoto", "order_isrole12finish", Token::Api, selectionFinished},
    {"Pelagrine", "order", "updatepicpath", Token::Api, updatePicPath},
    {"Pelagrine", "order", "updatevideo", Token::Api, updateVideo},
    {"Pelagrine", "order", "saven8path", Token::N8Path, saveN8Path},
};

QString htmlEscaped(QString s)
{
    return s.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

// The web sign-in page: a form without a title (the window ignores an empty
// title), answered by a page whose title is the sign-in result as JSON.
ServiceReply webLoginPage(const QJsonObject& store, const FormData& form)
{
    ServiceReply reply;
    reply.contentType = "text/html; charset=utf-8";
    QString page;
    if (!form.contains("username")) {
        page = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                              "<h3>微信扫码登录</h3><form method=\"post\">"
                              "<p>用户名 <input name=\"username\"></p>"
                              "<p>密码 <input name=\"password\" type=\"password\"></p>"
                              "<p><button type=\"submit\">登录</button></p></form></body></html>");
    } else {
        ServiceReply refusal;
        const QJsonObject user = checkPassword(store, form, &refusal);
        QJsonObject result;
        if (user.isEmpty()) {
            result = QJsonDocument::fromJson(refusal.body).object();
        } else {
            result = signedIn(store, user);
            result.insert("uid", text(user.value("UID")));
        }
        const QString title = QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact));
        page = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                              "<body></body></html>")
                   .arg(htmlEscaped(title));
    }
    reply.body = page.toUtf8();
    return reply;
}

} // namespace

QList<Routes::Route> Routes::frontDoorRoutes()
{
    return kFrontDoorRoutes;
}

QList<Routes::Route> Routes::allRoutes()
{
    return frontDoorRoutes() + deletionRoutes() + n8SyncRoutes() + separationRoutes() + desksRoutes() +
           singleImportRoutes();
}

ServiceReply ServiceReply::json(const QJsonObject& object)
{
    ServiceReply reply;
    reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return reply;
}

ServiceReply ServiceReply::refusal(const QString& code, const QString& message, int status)
{
    ServiceReply reply = json(QJsonObject{{"code", code}, {"message", message}});
    reply.status = status;
    return reply;
}

QString Routes::webLoginPath()
{
    return QStringLiteral("/user/public/Dravin_weixin_loginform/");
}

QJsonValue Routes::asText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return QString(value.toBool() ? "1" : "0");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QString();
    case QJsonValue::Array: {
        QJsonArray array;
        for (const QJsonValue& v : value.toArray())
            array.append(asText(v));
        return array;
    }
    case QJsonValue::Object:
        return texts(value.toObject());
    case QJsonValue::String:
        break;
    }
    return value;
}

QJsonObject Routes::texts(const QJsonObject& object)
{
    QJsonObject result;
    for (auto it = object.begin(); it != object.end(); ++it)
        result.insert(it.key(), asText(it.value()));
    return result;
}

ServiceReply Routes::dispatch(QJsonObject& store, const ServiceRequest& request)
{
    if (request.path == webLoginPath() || request.path + '/' == webLoginPath())
        return webLoginPage(store, request.form);
    if (request.path != QLatin1String("/index.php"))
        return ServiceReply::refusal("0", QStringLiteral("页面不存在"), 404);

    for (const Route& route : allRoutes()) {
        if (request.g != QLatin1String(route.g) || request.m != QLatin1String(route.m) ||
            request.a != QLatin1String(route.a))
            continue;
        const QString token = route.token == Token::N8Path ? Config::n8PathToken : Config::token;
        if (request.form.value("token") != token)
            return ServiceReply::refusal("-1", QStringLiteral("非法请求：token无效"));
        return route.handle(store, request.form);
    }
    return ServiceReply::refusal("0",
                                 QStringLiteral("接口不存在：%1/%2/%3").arg(request.g, request.m, request.a));
}
