#pragma once

#include <QByteArray>
#include <QDate>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVector>

// The order-list searches of the import order search window, as plain
// functions: which search a choice of the search-type box stands for, the
// request body of each search, and the table's column widths.
namespace OrderSearch {

// The "searchtype" the web service knows; there is no 8.
enum class Type : int
{
    OrderId = 1,
    Name = 2,
    Phone = 3,
    PhotoDate = 4,
    SelectPhotoDate = 5,
    AppointmentDate = 6,
    FetchPhotoDate = 7,
    SjDate = 9,
};

// One search as the window posts it.
struct Request
{
    bool valid = false; // false: nothing is posted
    Type type = Type::OrderId;
    QString keyword;
    QString missingText; // set when a keyword search has nothing typed
};

// The search for the search-type box's index (0 "预约单号" ... 7 "电话"),
// the keyword field's text as typed and the calendar's date. The order
// number and telephone are sent trimmed, the name as typed, a date as
// "yyyy-MM-dd". An empty field (before trimming) gives the missing text.
Request requestFor(int index, const QString& typed, const QDate& date);

// The body of one search: token, shopid, searchtype and keyword, then the
// identity keys the web service expects for that type, values from Config.
QByteArray body(Type type, const QString& keyword);

// The order objects of a successful reply's "data"; an element that is no
// object gives an empty object.
QList<QJsonObject> orderItems(const QJsonArray& data);

// Widths of the 13 result columns for a table view of the given width.
QVector<int> columnWidths(int tableWidth);

} // namespace OrderSearch
