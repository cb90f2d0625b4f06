#pragma once

#include <QString>
#include <QStringList>

// The fixed shape of an order's folder tree on the file server: month and
// day folders under the shop's picture root, the order folder with its photo,
// video and thumbnail folders, and the smaller mirror under the backup root.
namespace OrderTree {

// Where one order's folder lies below a root.
struct Location
{
    QString month;    // "2019-06"
    QString day;      // "15"
    QString relative; // "2019-06/15/A100-2-顾客-摄影师", no trailing "/"

    bool isValid() const { return !relative.isEmpty(); }
};

// The order folder of an order: the cleaned order name, then "-" and the
// cleaned folder suffix when there is one, below the month and day of the
// photo date. The photo date must be a real "yyyy-MM-dd" date; any other
// text gives an invalid location.
Location locate(const QString& orderName, const QString& folderSuffix, const QString& photoDate);

// The root with a trailing "/"; an empty root stays empty.
QString withSlash(const QString& root);

// The folders of the order folder, in the order they are made.
QStringList orderFolders();
// The three thumbnail folder families, each in the order plain, "100", "2250".
QList<QStringList> thumbnailFamilies();

// The first make on the way to the order folder (its month, day and own
// folder under the server root) that failed, for a reason other than a
// folder being there already: the folder, without a final "/", and the
// error number; no error when each of the three was made or was there.
struct MakeFailure
{
    QString folder;
    int error = 0;
};

// Makes the tree of one order: under serverRoot the month, day and order
// folders with every sub-folder, and under backupRoot (skipped when empty)
// the month, day and order folders with "照片/". A folder that exists or
// cannot be made does not stop the rest. Both roots end with "/".
MakeFailure build(const QString& serverRoot, const QString& backupRoot, const Location& location);

} // namespace OrderTree
