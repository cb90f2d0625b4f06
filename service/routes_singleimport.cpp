#include "routes.h"
#include "storeaccess.h"

#include <QMap>
#include <QPair>

#include <functional>

// The single-order import: the order's folders, the shop's picture roots,
// the folder report, the count report (the "updatepicpath" form told by
// "MANAGER_ID") and the shooting date.

namespace {

ServiceReply orderPath(QJsonObject& store, const FormData& form)
{
    const int i = Store::orderIndex(store, form.value("order_photo_id"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const QJsonObject order = Store::orderAt(store, i);
    QJsonObject reply = Store::success(QString());
    reply.insert("data", QJsonObject{{"orderpath", Store::text(order.value("orderpath"))},
                                     {"orderbakpicpath", Store::text(order.value("orderbakpicpath"))}});
    return ServiceReply::json(reply);
}

ServiceReply shopPicturePaths(QJsonObject& store, const FormData& form)
{
    const QJsonObject shop = Store::find(store, "shops", "id", form.value("shopid"));
    if (shop.isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("店铺不存在"));
    const QJsonObject settings = shop.value("settings").toObject();
    QJsonObject reply = Store::success(QString());
    for (const char* key : {"picpath", "bakpicpath", "homepicpath"})
        reply.insert(key, Store::text(settings.value(key)));
    return ServiceReply::json(reply);
}

// Changes the order the request names by "orderid".
ServiceReply changeOrder(QJsonObject& store, const FormData& form, const QString& message,
                         const std::function<void(QJsonObject&)>& change)
{
    const int i = Store::orderIndex(store, form.value("orderid"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject order = Store::orderAt(store, i);
    change(order);
    Store::putOrder(store, i, order);
    return ServiceReply::json(Store::success(message));
}

ServiceReply updateOrderFolders(QJsonObject& store, const FormData& form)
{
    return changeOrder(store, form, QStringLiteral("更新成功"), [&form](QJsonObject& order) {
        order.insert("orderpath", form.value("orderpicpath"));
        order.insert("orderbakpicpath", form.value("orderbakpicpath"));
    });
}

ServiceReply updateShootingDate(QJsonObject& store, const FormData& form)
{
    return changeOrder(store, form, QStringLiteral("修改成功"),
                       [&form](QJsonObject& order) { order.insert("shotdate", form.value("photodate")); });
}

} // namespace

ServiceReply Routes::singleImportCountReport(QJsonObject& store, const FormData& form)
{
    const int i = Store::orderIndex(store, form.value("order_photo_id"), form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject order = Store::orderAt(store, i);
    // An empty folder is the re-import: the order has no folder any more.
    order.insert("orderpath", form.value("orderpicpath"));
    if (!form.value("orderbakpicpath").isEmpty())
        order.insert("orderbakpicpath", form.value("orderbakpicpath"));

    static const QMap<QString, QPair<QString, QString>> countFields = {
        {"1", {"photonum", "bakphotonum"}},
        {"2", {"finishnum", QString()}},
        {"3", {"designnum", QString()}},
    };
    const auto fields = countFields.value(form.value("typeid"));
    auto add = [&order](const QString& field, const QString& count) {
        if (!field.isEmpty())
            order.insert(field, QString::number(Store::text(order.value(field)).toInt() + count.toInt()));
    };
    add(fields.first, form.value("picnumber"));
    add(fields.second, form.value("picbaknumber"));
    Store::putOrder(store, i, order);
    return ServiceReply::json(Store::success(QStringLiteral("更新成功")));
}

QList<Routes::Route> Routes::singleImportRoutes()
{
    return {
        {"Pelagrine", "order", "get_order_path", Token::Api, orderPath},
        {"Pelagrine", "order", "get_order_pic_path", Token::Api, shopPicturePaths},
        {"Pelagrine", "order", "updatepicpath2", Token::Api, updateOrderFolders},
        {"Pelagrine", "order", "updatephotodate", Token::Api, updateShootingDate},
    };
}
