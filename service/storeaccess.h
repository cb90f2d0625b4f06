#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// Reading and writing the stand-in's store (the fixture document) the way
// every route does: values as texts, records found by a key, orders
// replaced as a whole.
namespace Store {

// A value as the service sends it: a JSON string ("" for null or missing).
QString text(const QJsonValue& value);
// A value that may be a JSON number or a numeric text.
int number(const QJsonValue& value);
// {"code": "1", "message": message}
QJsonObject success(const QString& message);

// Index of the first element of the array whose key reads as value, or -1.
int indexOf(const QJsonArray& array, const QString& key, const QString& value);
// The first element of store[arrayKey] whose key reads as value, or {}.
QJsonObject find(const QJsonObject& store, const QString& arrayKey, const QString& key, const QString& value);

// Index of the order with the given id in the request's shop, or -1.
int orderIndex(const QJsonObject& store, const QString& orderId, const QString& shopId);
// Index of the order with the given id in any shop, or -1.
int orderIndexById(const QJsonObject& store, const QString& orderId);
QJsonObject orderAt(const QJsonObject& store, int index);
void putOrder(QJsonObject& store, int index, const QJsonObject& order);

// One order as the order list sends it: its own texts and the picture
// roots of its store as "picpathnew".
QJsonObject orderItem(const QJsonObject& store, const QJsonObject& order);

// Appends one entry to the store's list under key (made when missing), for
// the logs the client writes (delete logs, dispatches ...).
void appendTo(QJsonObject& store, const QString& key, const QJsonObject& entry);

} // namespace Store
