#include "storeaccess.h"

#include "routes.h"

QString Store::text(const QJsonValue& value)
{
    return Routes::asText(value).toString();
}

int Store::number(const QJsonValue& value)
{
    return value.isDouble() ? value.toInt() : text(value).toInt();
}

QJsonObject Store::success(const QString& message)
{
    return QJsonObject{{"code", "1"}, {"message", message}};
}

int Store::indexOf(const QJsonArray& array, const QString& key, const QString& value)
{
    for (int i = 0; i < array.size(); ++i) {
        if (text(array.at(i).toObject().value(key)) == value)
            return i;
    }
    return -1;
}

QJsonObject Store::find(const QJsonObject& store, const QString& arrayKey, const QString& key, const QString& value)
{
    const QJsonArray array = store.value(arrayKey).toArray();
    const int i = indexOf(array, key, value);
    return i < 0 ? QJsonObject() : array.at(i).toObject();
}

int Store::orderIndex(const QJsonObject& store, const QString& orderId, const QString& shopId)
{
    const int i = orderIndexById(store, orderId);
    if (i < 0 || text(orderAt(store, i).value("shopid")) != shopId)
        return -1;
    return i;
}

int Store::orderIndexById(const QJsonObject& store, const QString& orderId)
{
    if (orderId.isEmpty())
        return -1;
    return indexOf(store.value("orders").toArray(), "order_photo_id", orderId);
}

QJsonObject Store::orderAt(const QJsonObject& store, int index)
{
    return store.value("orders").toArray().at(index).toObject();
}

void Store::putOrder(QJsonObject& store, int index, const QJsonObject& order)
{
    QJsonArray orders = store.value("orders").toArray();
    orders.replace(index, order);
    store.insert("orders", orders);
}

QJsonObject Store::orderItem(const QJsonObject& store, const QJsonObject& order)
{
    QJsonObject item = Routes::texts(order);
    const QJsonObject shop = find(store, "shops", "id", text(order.value("shopid")));
    const QJsonArray stores = shop.value("stores").toArray();
    const int i = indexOf(stores, "id", text(order.value("storesid")));
    QJsonObject roots;
    if (i >= 0) {
        const QJsonObject s = stores.at(i).toObject();
        for (const char* key : {"picpath", "bakpicpath", "homepicpath", "n8path"}) {
            if (s.contains(key))
                roots.insert(key, text(s.value(key)));
        }
    }
    item.insert("picpathnew", roots);
    return item;
}

void Store::appendTo(QJsonObject& store, const QString& key, const QJsonObject& entry)
{
    QJsonArray list = store.value(key).toArray();
    list.append(entry);
    store.insert(key, list);
}
