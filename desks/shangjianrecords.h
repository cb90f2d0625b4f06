#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One order of the upload desk's left table (the order-number search).
struct ShangJianLeftData
{
    QString orderNo; // 预约单号 "-" service count
    QString orderpayforkey;
    QString servicetimes;
    QString customerName;
    QString order_price;
    QString selectphotoname;
    QString twosales;
    QString debt;
    QString orderID; // order_photo_id, the id a mark posts
    QString storesname;
};

// One order of the upload desk's right table (criterion searches and marks).
struct ShangJianRightData
{
    QString orderNo;
    QString orderpayforkey;
    QString servicetimes;
    QString gotodigitalname;
    QString gotodigitaltime; // the day only
    QString customerName;
    QString selectphotodate;
    QString selectphototime; // the day only
    QString selectphotoname;
    QString getphotodate;
    QString urgentdate;
    QString tiaoxiname;
    QString tiaosename;
    QString storesname;
};

// The upload desk's requests and lists as plain functions. Every reply
// value is read as a JSON string (a number or a missing key is empty).
namespace ShangJian {

// The non-empty ones of the three names, in order, joined by "-".
QString customerName(const QString& first, const QString& second, const QString& third);

ShangJianLeftData leftFromSearch(const QJsonObject& item);
ShangJianRightData rightFromSearch(const QJsonObject& item);
// The mark reply's "order" object: names from "babyname", "momname" and
// "dadname", no store.
ShangJianRightData rightFromMark(const QJsonObject& order);

// A left entry joins the list unless its order number is listed already.
void addToLeft(QList<ShangJianLeftData>& list, const ShangJianLeftData& entry);
// A search result replaces every entry with its order number, or is
// appended.
void putSearchResult(QList<ShangJianRightData>& list, const ShangJianRightData& entry);
// A marked order replaces the entries of its order number (one service of
// an order never overwrites another); a reply without a service count is
// matched by 预约单号 instead.
void putMarkResult(QList<ShangJianRightData>& list, const ShangJianRightData& entry);

// Search bodies: the order-number search (searchtype 1) and the seven
// others, each with its own key order.
QByteArray orderNumberBody(const QString& orderKey);
QByteArray criterionBody(int searchType, const QString& keyword);
// The upload mark of one order id.
QByteArray markBody(const QString& orderPhotoId);

// Header texts and cell texts of the two tables.
QStringList leftHeaders();
QStringList rightHeaders();
QStringList leftCells(const ShangJianLeftData& entry);
QStringList rightCells(const ShangJianRightData& entry);

} // namespace ShangJian
