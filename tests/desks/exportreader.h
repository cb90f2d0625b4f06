#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads back a table a desk exported, as rows of cell texts: a workbook as
// the export itself checks it (WorkbookReader: each text as stored, a
// control character as _xHHHH_) or an HTML document (its <tr> rows). Empty
// cells at the end of a row are dropped, as a workbook leaves them out.
// Empty when the file cannot be read.
namespace ExportReader {

QList<QStringList> rows(const QString& path);

} // namespace ExportReader
