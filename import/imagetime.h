#pragma once

#include <QList>
#include <QString>

// "ImageTime.txt" of an order folder: one record per photo imported with a
// shot time, "<name>><shot time>|", back to back with no line breaks. The
// single-order import appends the records of each run; the raw-file
// download reads them back to give raw files the names of their photos.
// The file is UTF-8 without a byte-order mark on any system, and it is only
// ever appended to: several stations may write one order's file.
namespace ImageTime {

// One record: a photo's name without its suffix and its shot time.
struct MatchInfo
{
    QString name;
    QString shotTime;
};

// The record of a photo stored as newName: the name less its last suffix,
// ">", the shot time and "|". Empty when there is no shot time.
QString record(const QString& newName, const QString& shotTime);

// The records of a text in file order. Empty parts between "|" are
// skipped; a part without exactly one ">" is dropped. Fields keep any
// white space inside them.
QList<MatchInfo> parse(const QString& text);

// The file of an order folder.
QString filePath(const QString& orderFolder);

// Appends the records in one write, making the file when it is missing
// (also for an empty text). False when the write failed. After an append
// that broke off, the next begins with "|", so its first record is whole.
bool append(const QString& orderFolder, const QString& records);

// The whole file trimmed at both ends; empty for a missing or empty file.
QString readFile(const QString& path);

} // namespace ImageTime
