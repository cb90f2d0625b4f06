#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// The folders and files of a separation run, as plain functions.
namespace SeparationFiles {

// "<key>-服务<service count> <customer> <pick-up type>": the order's
// output folder. Every part comes from the web service and passes through
// Config::sanitizeWithRegex, so it can never name another folder.
QString orderFolderName(const QString& orderKey, const QString& serviceCount, const QString& customer,
                        const QString& pickupType);

// The folder's entries as a plain listing gives them: sub-folders, "."
// and ".." included, hidden files left out, sorted by name without regard
// to case. Nothing for a missing folder or an empty path.
QStringList folderEntries(const QString& folder);
// The "*.jpg", "*.jpeg" and "*.png" files of a folder, any case.
QStringList pictureFiles(const QString& folder);

// The files of a copy stage that did not arrive: for each name that is a
// regular file in sourceFolder, a target in targetFolder that is missing or
// smaller than its source gives "<targetFolder>:<name>".
QStringList uncopied(const QString& sourceFolder, const QString& targetFolder, const QStringList& names);

// The report file proposed at the end of a run: the root (pathText, else
// the run's chosen folder) with a "/" unless it ends in "/" or "\", the
// day, "/", the order keys (cleaned) joined by "、" and "分件结果.txt". The
// file name is cut to 255 bytes, keeping "分件结果.txt".
QString reportFileName(const QString& pathText, const QString& chosenRoot, const QDate& day,
                       const QStringList& orderKeys);

} // namespace SeparationFiles
