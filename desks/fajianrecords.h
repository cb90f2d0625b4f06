#pragma once

#include "imageoperation.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// One order of the dispatch desk's left table.
struct FaJianLeftData
{
    QString orderpayforkey;
    QString name; // "mname/wname", or the one that is set
    QString order_price;
    QString sheji;
    QString shejitime;
    QString orderid; // the key of the products request
    QString getphotodate;
    QString urgentdate;
};

// One print shop the products can go to. The second and fourth texts are
// part of the record's shape; nothing fills them.
struct PrintShopsData
{
    QString id;
    QString reserved1;
    QString name;
    QString reserved3;
};

// One post-production factory; only id and name are filled.
struct FactorysData
{
    QString reserved0;
    QString id;
    QString name;
    QString reserved3;
    QString reserved4;
};

// One product of an order, as the products reply gives it.
struct FaJianRightData
{
    QString orderid;
    QString id; // the dispatch's ordergoodid and the label's code
    QString goodname;
    QString goodtypeid; // "15" shows a page count
    QString goodsizename;
    QString goodtype;
    QString number;
    QString pnumber;
    QString extra;
    QString isurgent; // "1": urgent
    QString descr;
    QString printshopname;
    QString factoryname;
    QString sendToFactoryTime2;
    QString sendToPrintshopTime2;
    QString goodsizename2;
    bool extraFlag = false;
    bool isLoaded = false; // true on every entry built from a reply
};

// The dispatch desk's requests, reply reading and table texts as plain
// functions. Reply values are read as JSON strings (a number or a missing
// key is empty).
namespace FaJian {

// The criterion combo's indexes.
enum Criterion
{
    ByOrderNumber,
    ByPhotoDate,
    BySampleDate,
    ByAppointmentDate,
    ByFetchDate,
    ByName,
    ByPhone,
};

// "mname/wname" when both are set, else the one that is.
QString customerName(const QString& mname, const QString& wname);
// An order of a search reply, and of a scan reply (which has no dates).
FaJianLeftData orderFromSearch(const QJsonObject& item);
FaJianLeftData orderFromScan(const QJsonObject& order);
// An order joins the list unless its 预约单号 is listed already.
void addOrder(QList<FaJianLeftData>& list, const FaJianLeftData& entry);

// The print shops and factories of a reply, a search's with "请选择"
// (id "0") in front.
QList<PrintShopsData> printShopsFrom(const QJsonArray& array, bool withChoosePrompt);
QList<FactorysData> factorysFrom(const QJsonArray& array, bool withChoosePrompt);

// The products of a reply: "ordergoods0" then "ordergoods2"; a product
// without its own order id takes the requested one. An order without
// products gets one placeholder (id "0") that names the requested order.
QList<FaJianRightData> productsFrom(const QJsonObject& reply, const QString& requestedOrderId);
// True for the placeholder list of an order without products.
bool isPlaceholder(const QList<FaJianRightData>& products);

// The seven searches, each with its own key order.
QByteArray searchBody(Criterion criterion, const QString& text);
QByteArray orderByIdBody(const QString& orderId);
QByteArray productsBody(const QString& orderId);
// One product of the dispatch; the JSON's keys come out sorted.
QJsonObject dispatchEntry(const QString& productId, const QString& printShopId, const QString& factoryId);
QByteArray dispatchBody(const QString& orderId, const QJsonArray& entries);

// The texts of the left table and of a product row's columns 0 to 7.
QStringList leftHeaders();
QStringList rightHeaders();
QStringList leftCells(const FaJianLeftData& order);
QStringList productCells(const FaJianRightData& product, const FaJianLeftData& order);

// Widths of the right table's columns for its width and column count.
QVector<int> rightColumnWidths(int tableWidth, int columnCount);

// One product's label: name, size, picture, the code (id, two blanks, the
// order's number) and the shop.
CodeImageInfo labelInfo(const FaJianRightData& product, const QString& orderKey, const QString& picturePath,
                        const QString& shopName);

} // namespace FaJian
