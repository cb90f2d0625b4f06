#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads back a table a desk exported, as rows of cell texts: a workbook
// (unzipped, its first sheet with the shared strings resolved) or an HTML
// document (its <tr> rows). Empty cells at the end of a row are dropped,
// as a workbook leaves them out. Empty when the file cannot be read.
namespace ExportReader {

QList<QStringList> rows(const QString& path);

} // namespace ExportReader
