#include "routes.h"
#include "storeaccess.h"

#include <QJsonArray>

// The N8 sync's lists: a shop's whole staff and product lists, kept in the
// store under each shop's "n8persons" and "n8goods" ([{id, name}]).

namespace {

ServiceReply n8List(const QJsonObject& store, const FormData& form, const char* storeKey,
                    const char* replyKey)
{
    const QJsonObject shop = Store::find(store, "shops", "id", form.value("shopid"));
    if (shop.isEmpty())
        return ServiceReply::refusal("0", QStringLiteral("店铺不存在"));
    QJsonArray list;
    for (const QJsonValue& v : shop.value(storeKey).toArray()) {
        list.append(QJsonObject{{"id", Store::text(v.toObject().value("id"))},
                                {"name", Store::text(v.toObject().value("name"))}});
    }
    QJsonObject reply = Store::success(QString());
    reply.insert(replyKey, list);
    return ServiceReply::json(reply);
}

ServiceReply persons(QJsonObject& store, const FormData& form)
{
    return n8List(store, form, "n8persons", "persons");
}

ServiceReply goods(QJsonObject& store, const FormData& form)
{
    return n8List(store, form, "n8goods", "goods");
}

} // namespace

QList<Routes::Route> Routes::n8SyncRoutes()
{
    return {
        {"Pelagrine", "n8", "getpersons", Token::Api, persons},
        {"Pelagrine", "n8", "getgoods", Token::Api, goods},
    };
}
