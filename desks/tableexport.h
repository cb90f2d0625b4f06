#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemView;

// A table as staff see it on a desk: a title row, the header, then the rows.
struct ExportedTable
{
    QString title;
    QStringList header;
    QList<QStringList> rows;
};

// The desks' export of a table to a file spreadsheet programs open.
namespace TableExport {

// The texts a view shows, from firstRow on: a cell holding a combo box
// gives the combo's current text, or nothing while the combo shows its
// placeholder choice (the "请选择" of the desks, id "0": nothing is chosen);
// any other cell gives its display text.
ExportedTable fromView(const QAbstractItemView* view, const QString& title, int firstRow = 0);

// The table as an HTML document (UTF-8); every cell is kept as text, so
// order and telephone numbers are not turned into numbers.
QByteArray html(const ExportedTable& table);
// The table as an .xlsx workbook on one sheet; empty when it could not be
// made, or did not read back whole holding the table.
QByteArray workbook(const ExportedTable& table);
// Whether a workbook reads back whole (every part of it XML) and its sheet
// holds the table's cells as the writer stores them.
bool holds(const QByteArray& workbook, const ExportedTable& table);

// Writes a workbook when the name ends in ".xlsx", else the HTML
// document, replacing the file only once the new one is complete. False
// when nothing was saved.
bool save(const ExportedTable& table, const QString& path);

} // namespace TableExport
