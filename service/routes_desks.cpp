#include "routes.h"
#include "storeaccess.h"

#include <QDateTime>
#include <QJsonArray>

// The order desks: the batch deletion's order list by closing day and the
// upload desk's mark. Orders carry their closing moment as
// "finishorderdate" ("yyyy-MM-dd HH:mm:ss", empty while open).

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

} // namespace

QList<Routes::Route> Routes::desksRoutes()
{
    return {
        {"Pelagrine", "order", "order_list2", Token::Api, ordersByClosingDay},
        {"Pelagrine", "order", "gotodigitalid_post", Token::Api, markUploaded},
    };
}
