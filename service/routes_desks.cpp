#include "routes.h"
#include "storeaccess.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

// The order desks: the batch deletion's order list by closing day, the
// upload desk's mark, and the dispatch desk's order list, order by id,
// products and dispatch. Orders carry their closing moment as
// "finishorderdate" ("yyyy-MM-dd HH:mm:ss", empty while open). The store
// keeps per shop "printshops" and "factorys" ({id, name}) and per order id
// the dispatch desk's products under "deskgoods" ({ordergoods0,
// ordergoods2}); a dispatch writes the chosen names and times into them.

namespace {

using namespace Store;

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The shop's orders closed from starttime to endtime, both days included.
ServiceReply ordersByClosingDay(QJsonObject& store, const FormData& form)
{
    const QString shopId = form.value("shopid");
    if (find(store, "shops", "id", shopId).isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("店铺不存在"));
    const QString first = form.value("starttime");
    const QString last = form.value("endtime");
    QJsonArray data;
    for (const QJsonValue& v : store.value("orders").toArray()) {
        const QJsonObject order = v.toObject();
        const QString day = text(order.value("finishorderdate")).left(10);
        if (text(order.value("shopid")) == shopId && !day.isEmpty() && day >= first && day <= last)
            data.append(orderItem(store, order));
    }
    QJsonObject reply = success(QString());
    reply.insert("data", data);
    return ServiceReply::json(reply);
}

// The order as the upload mark answers it.
QJsonObject markedOrder(const QJsonObject& order)
{
    QJsonObject item;
    for (const char* key :
         {"orderpayforkey", "servicetimes", "gotodigitalname", "gotodigitaltime", "selectphotodate",
          "selectphototime", "selectphotoname", "getphotodate", "urgentdate", "tiaoxiname", "tiaosename"})
        item.insert(key, text(order.value(key)));
    item.insert("babyname", text(order.value("bname")));
    item.insert("momname", text(order.value("wname")));
    item.insert("dadname", text(order.value("mname")));
    return item;
}

// Marks an order uploaded by the employee whose EID is uid; an order marked
// before keeps its first mark and is answered with the notice code.
ServiceReply markUploaded(QJsonObject& store, const FormData& form)
{
    const int i = orderIndex(store, form.value("order_photo_id"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject order = orderAt(store, i);
    QJsonObject reply;
    if (!text(order.value("gotodigitaltime")).isEmpty()) {
        reply = QJsonObject{{"code", "1002"}, {"message", QStringLiteral("该订单已上件")}};
    } else {
        order.insert("gotodigitaltime", now());
        order.insert("gotodigitalname",
                     text(find(store, "users", "EID", form.value("uid")).value("USERNAME")));
        putOrder(store, i, order);
        reply = success(QStringLiteral("上件成功"));
    }
    reply.insert("order", markedOrder(order));
    return ServiceReply::json(reply);
}

// The shop's print shops or factories as the desk reads them.
QJsonArray shopChoices(const QJsonObject& store, const char* key, const QString& shopId)
{
    QJsonArray choices;
    for (const QJsonValue& v : store.value(key).toObject().value(shopId).toArray())
        choices.append(
            QJsonObject{{"id", text(v.toObject().value("id"))}, {"name", text(v.toObject().value("name"))}});
    return choices;
}

QJsonObject dispatchOrder(const QJsonObject& order, bool withDates)
{
    QJsonObject item;
    for (const char* key :
         {"orderpayforkey", "mname", "wname", "order_price", "sheji", "shejitime", "orderid"})
        item.insert(key, text(order.value(key)));
    if (withDates) {
        item.insert("getphotodate", text(order.value("getphotodate")));
        item.insert("urgentdate", text(order.value("urgentdate")));
    }
    return item;
}

QJsonObject withChoices(const QJsonObject& store, const QString& shopId)
{
    QJsonObject reply = success(QString());
    reply.insert("printshops", shopChoices(store, "printshops", shopId));
    reply.insert("factorys", shopChoices(store, "factorys", shopId));
    return reply;
}

// The shop's order with the scanned id.
ServiceReply orderById(QJsonObject& store, const FormData& form)
{
    const QString shopId = form.value("shopid");
    for (const QJsonValue& v : store.value("orders").toArray()) {
        const QJsonObject order = v.toObject();
        if (text(order.value("shopid")) == shopId && !form.value("orderid").isEmpty() &&
            text(order.value("orderid")) == form.value("orderid")) {
            QJsonObject reply = withChoices(store, shopId);
            reply.insert("order", dispatchOrder(order, false));
            return ServiceReply::json(reply);
        }
    }
    return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
}

// Index of the shop's order with the given orderid, or -1.
int dispatchOrderIndex(const QJsonObject& store, const QString& orderId, const QString& shopId)
{
    const QJsonArray orders = store.value("orders").toArray();
    for (int i = 0; i < orders.size(); ++i) {
        const QJsonObject order = orders.at(i).toObject();
        if (!orderId.isEmpty() && text(order.value("orderid")) == orderId &&
            text(order.value("shopid")) == shopId)
            return i;
    }
    return -1;
}

ServiceReply orderGoods(QJsonObject& store, const FormData& form)
{
    const QString orderId = form.value("orderid");
    if (dispatchOrderIndex(store, orderId, form.value("shopid")) < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const QJsonObject goods = store.value("deskgoods").toObject().value(orderId).toObject();
    QJsonObject order;
    for (const char* group : {"ordergoods0", "ordergoods2"}) {
        QJsonArray products;
        for (const QJsonValue& v : goods.value(group).toArray()) {
            QJsonObject product = Routes::texts(v.toObject());
            product.insert("orderid", orderId);
            products.append(product);
        }
        order.insert(group, products);
    }
    QJsonObject reply = success(QString());
    reply.insert("order", order);
    return ServiceReply::json(reply);
}

QString nameOf(const QJsonArray& choices, const QString& id)
{
    const int i = indexOf(choices, "id", id);
    return i < 0 ? QString() : text(choices.at(i).toObject().value("name"));
}

// Records where each listed product goes. Nothing changes unless every
// product, print shop and factory is known; an id "0" leaves that side
// as it was.
ServiceReply sendToShop(QJsonObject& store, const FormData& form)
{
    const QString shopId = form.value("shopid");
    const QString orderId = form.value("orderid");
    if (dispatchOrderIndex(store, orderId, shopId) < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const QJsonDocument doc = QJsonDocument::fromJson(form.value("sendgoodsinfo").toUtf8());
    if (!doc.isArray())
        return ServiceReply::refusal("0", QStringLiteral("发件信息错误"));
    const QJsonArray shops = store.value("printshops").toObject().value(shopId).toArray();
    const QJsonArray factories = store.value("factorys").toObject().value(shopId).toArray();
    QJsonObject deskGoods = store.value("deskgoods").toObject();
    QJsonObject goods = deskGoods.value(orderId).toObject();
    const QString stamp = now();
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject entry = v.toObject();
        const QString shop = entry.value("printshopid").toString();
        const QString factory = entry.value("factoryid").toString();
        if ((shop != "0" && nameOf(shops, shop).isEmpty()) ||
            (factory != "0" && nameOf(factories, factory).isEmpty()))
            return ServiceReply::refusal("0", QStringLiteral("冲印公司或后期工厂不存在"));
        bool found = false;
        for (const char* group : {"ordergoods0", "ordergoods2"}) {
            QJsonArray products = goods.value(group).toArray();
            const int i = indexOf(products, "id", entry.value("ordergoodid").toString());
            if (i < 0)
                continue;
            QJsonObject product = products.at(i).toObject();
            if (shop != "0") {
                product.insert("printshopname", nameOf(shops, shop));
                product.insert("sendToPrintshopTime2", stamp);
            }
            if (factory != "0") {
                product.insert("factoryname", nameOf(factories, factory));
                product.insert("sendToFactoryTime2", stamp);
            }
            products.replace(i, product);
            goods.insert(group, products);
            found = true;
        }
        if (!found)
            return ServiceReply::refusal("0", QStringLiteral("产品不存在"));
    }
    deskGoods.insert(orderId, goods);
    store.insert("deskgoods", deskGoods);
    appendTo(store, "dispatch_log",
             QJsonObject{{"orderid", orderId},
                         {"uid", form.value("uid")},
                         {"sendgoodsinfo", doc.array()},
                         {"time", stamp}});
    return ServiceReply::json(success(QStringLiteral("发件成功")));
}

} // namespace

QJsonObject Routes::deskOrderList(const QJsonObject& store, const QString& shopId, const QJsonArray& items)
{
    QJsonArray orders;
    for (const QJsonValue& item : items)
        orders.append(dispatchOrder(item.toObject(), true));
    QJsonObject reply = withChoices(store, shopId);
    reply.insert("order", orders);
    return reply;
}

QList<Routes::Route> Routes::desksRoutes()
{
    return {
        {"Pelagrine", "order", "order_list2", Token::Api, ordersByClosingDay},
        {"Pelagrine", "order", "gotodigitalid_post", Token::Api, markUploaded},
        {"Pelagrine", "order", "getorderbyid", Token::Api, orderById},
        {"Pelagrine", "order", "ordergoods", Token::Api, orderGoods},
        {"Pelagrine", "order", "sendtoshop", Token::Api, sendToShop},
    };
}
