#include "routes.h"
#include "storeaccess.h"

#include <QJsonArray>

// The routes of the separation windows. The store keeps:
//   "shop_set": {shop id: {"fenjian_ishaveordergoodid": "0" or "1"}}
//   "goods":    {order id: {"ordergoods0": [goods lines], "ordergoods2": [...]}}
// An order without goods gets empty arrays.

namespace {

using namespace Store;

// The goods of one order: the shop's setting, the order with its two goods
// arrays, and the order's own texts. The same answer with or without
// "is_qu".
ServiceReply orderGoods(QJsonObject& store, const FormData& form)
{
    const QString shopId = form.value("shopid");
    const int i = orderIndex(store, form.value("order_photo_id"), shopId);
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const QJsonObject order = Routes::texts(orderAt(store, i));
    const QJsonObject goods =
        store.value("goods").toObject().value(text(order.value("order_photo_id"))).toObject();

    QJsonObject orderObject = order;
    for (const char* key : {"ordergoods0", "ordergoods2"})
        orderObject.insert(key, Routes::asText(goods.value(key).toArray()));
    QJsonObject shopSet = Routes::texts(store.value("shop_set").toObject().value(shopId).toObject());
    if (!shopSet.contains("fenjian_ishaveordergoodid"))
        shopSet.insert("fenjian_ishaveordergoodid", "0");

    QJsonObject reply = success(QString());
    reply.insert("shop_set", shopSet);
    reply.insert("order", orderObject);
    reply.insert("order_info", order);
    return ServiceReply::json(reply);
}

} // namespace

QList<Routes::Route> Routes::separationRoutes()
{
    return {
        {"Pelagrine", "order", "ordergoods20230521", Token::Api, orderGoods},
    };
}
