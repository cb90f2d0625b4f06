#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The order search of the separation windows, as plain functions: the
// search type a criterion text stands for, the request body of each
// search type, the store piece that ends every body, the lists the
// criterion box offers and the order table's columns.
namespace SeparationSearch {

// The "searchtype" of a criterion text ("预约单号" 1 ... "转数码日期" 13);
// 0 for a text the search does not know.
int searchTypeFor(const QString& criterion);
// 1 "预约单号", 2 "姓名", 3 "电话": the criteria that read the typed
// keyword; the others send the calendar's day.
bool isKeywordSearch(int searchType);
// The warning when a keyword search has nothing typed.
QString missingKeywordText(int searchType);

// The body of one search, without its store piece: eight pairs whose
// order depends on the search type; values from Config.
QByteArray body(int searchType, const QString& keyword);
// "&storesids=" and the ids of the checked rows, in row order, joined by
// ","; a row without an id is passed over.
QByteArray storesPiece(const QList<int>& checkedRows, const QStringList& storeIds);

// The criteria of the separation type and of the deletion type.
QStringList separationCriteria();
QStringList deletionCriteria();

// The 15 headers of the order table.
QStringList headers();
// The widths of the 15 columns for a table of the given width.
QVector<int> columnWidths(int tableWidth);

} // namespace SeparationSearch
