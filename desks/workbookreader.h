#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// Reads back a workbook as the desks' export writes one (the parts zipped,
// the texts in a shared string table or inline). The export checks what it
// is about to save with it, and nothing else reads a workbook, so a saved
// workbook is always read one way.
namespace WorkbookReader {

// The cells of the first sheet, row by row, each text as it is stored: a
// control character stays in the _xHHHH_ form the writer gives it, as the
// check compares stored forms. Empty cells at a row's end and empty rows
// at the end are left out, as a workbook leaves them out. False (and no
// rows) when the bytes are not a whole zip (a part whose bytes do not match
// their checksum included), when any part is not whole XML, or when the
// sheet is missing or names a string or a place no workbook holds.
bool rows(const QByteArray& workbook, QList<QStringList>* rows);

} // namespace WorkbookReader
