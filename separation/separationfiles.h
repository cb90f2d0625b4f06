#pragma once

#include "orderrecords.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

// The folders and files of a separation run, as plain functions.
namespace SeparationFiles {

// "<key>-服务<service count> <customer> <pick-up type>": the order's
// output folder. Every part comes from the web service and passes through
// Config::sanitizeWithRegex, so it can never name another folder.
QString orderFolderName(const QString& orderKey, const QString& serviceCount, const QString& customer,
                        const QString& pickupType);

// The folder's entries as a plain listing gives them: sub-folders, "."
// and ".." included (they count in a stage's progress; their jobs copy and
// name nothing), hidden files left out, sorted by name without regard
// to case. Nothing for a missing folder or an empty path. False, with no
// names, for a folder that could not be looked at or listed.
bool folderEntries(const QString& folder, QStringList* names);
// The "*.jpg", "*.jpeg" and "*.png" files of a folder, any case; false as
// folderEntries.
bool pictureFiles(const QString& folder, QStringList* names);

// The files of a copy stage that did not arrive, a backstop behind what the
// copy jobs tell: for each name that is a regular file in sourceFolder, a
// target in targetFolder that is missing or smaller than its source gives
// "<targetFolder>:<name>".
QStringList uncopied(const QString& sourceFolder, const QString& targetFolder, const QStringList& names);

// How taking a folder went.
enum class Take
{
    Made,  // made now, by this call
    Taken, // something of that name is there already
    Failed,
};
// Makes the folder's parents as needed (mkpath) and the folder itself only
// when nothing of its name is there (an exclusive mkdir), so two runs, on
// one station or two, never share the folder.
Take takeFolder(const QString& folder);
// Called with the folder (no "/" at its end) right before the exclusive
// mkdir of takeFolder, its parents made: a test plays there the other run
// that takes the name first. None by default.
void setBeforeTakeHook(std::function<void(const QString& folder)> hook);

// The numbered name a taken product folder moves on to, in the folder
// under, always ending in "/". A product's is under the order's folder and
// its factory level: "<name> (n)<order part>" for a home-made product, else
// "<name> (n) <type> <amount>/". A sub-product's is under its parent's
// folder: "<name> (n) <type> <amount>/". Type and amount are cleaned as
// every name from the service is.
QString productFolderCandidate(const QString& under, const ProductMessage& plan, const QString& name, int n);
// Takes a product folder for this run: wanted when it is free, else the
// first free of candidate(1) .. candidate(499); made tells whether this
// call made it. When all are taken, wanted as it stands; empty when a
// folder cannot be made at all.
QString takeProductFolder(const QString& wanted, const std::function<QString(int)>& candidate, bool* made);

// Appends "（未完成）" to each folder's name ("（未完成）(n)" when that name is
// taken); a folder inside another of the list moves with it. The new
// paths, ending in "/".
QStringList markUnfinished(const QStringList& folders);

// The report file proposed at the end of a run: the root (pathText, else
// the run's chosen folder) with a "/" unless it ends in "/" or "\", the
// day, "/", the order keys (cleaned) joined by "、" and "分件结果.txt". The
// file name is cut to 255 bytes, keeping "分件结果.txt".
QString reportFileName(const QString& pathText, const QString& chosenRoot, const QDate& day,
                       const QStringList& orderKeys);

} // namespace SeparationFiles
