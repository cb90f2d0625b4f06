#pragma once

#include "formdecoder.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// One request as the stand-in service receives it.
struct ServiceRequest
{
    QString method; // "GET" or "POST"
    QString path;   // "/index.php" for every route; the web sign-in page has its own path
    QString g, m, a;
    QByteArray rawBody;
    QByteArray contentType;
    FormData form; // the query's pairs other than g, m and a, then the body's pairs
};

struct ServiceReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json; charset=utf-8";

    static ServiceReply json(const QJsonObject& object);
    // {"code": code, "message": message}
    static ServiceReply refusal(const QString& code, const QString& message, int status = 200);
};

namespace Routes {

// Which fixed token a route checks.
enum class Token
{
    Api,
    N8Path
};

using Handler = ServiceReply (*)(QJsonObject& store, const FormData& form);

struct Route
{
    const char* g;
    const char* m;
    const char* a;
    Token token;
    Handler handle;
};

// The routes of each area of the client, one file each; dispatch looks
// through all of them.
QList<Route> frontDoorRoutes();   // sign-in, launcher, order list, batch import
QList<Route> deletionRoutes();    // delete logs of every deleting window
QList<Route> n8SyncRoutes();      // the staff and product lists of the N8 sync
QList<Route> separationRoutes();  // goods, barcode, picture information and order detail of a separation
QList<Route> desksRoutes();       // batch deletion, upload and dispatch desks
// The dispatch desk's form of the order list: the shop's print shops and
// factories, and the found orders under "order".
QJsonObject deskOrderList(const QJsonObject& store, const QString& shopId, const QJsonArray& items);
QList<Route> singleImportRoutes(); // the single-order import
QList<Route> allRoutes();

// The single-order import's form of "updatepicpath" (it carries
// "MANAGER_ID"): its counts by "typeid" 1 photos, 2 finished, 3 designs.
ServiceReply singleImportCountReport(QJsonObject& store, const FormData& form);

// The page the web sign-in window loads, below the service's host.
QString webLoginPath();

// Answers one request from the store; writes change the store. The caller
// holds the store's lock.
ServiceReply dispatch(QJsonObject& store, const ServiceRequest& request);

// Every reply value is a JSON string, as the real service sends them:
// numbers and flags of the fixture become texts, objects and arrays are
// converted member by member.
QJsonValue asText(const QJsonValue& value);
QJsonObject texts(const QJsonObject& object);

} // namespace Routes
