#pragma once

#include "importtypeenum.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace PhotoImport {
struct Result;
}

// The plain parts of the single-order import window: the order it works on,
// the folders of each import mode, the order prefix, the names of photos
// and of the order folder, the texts it shows and the bodies it posts.
namespace SingleOrder {

// The values of the order a window works on, copied from Config's
// current-order values when the window opens: another window may take up
// another order meanwhile.
struct OrderValues
{
    QString id;           // Config::order_id
    QString number;       // Config::orderpayforkey
    QString customer;     // Config::order_customer
    QString serviceCount; // Config::order_serverNum
    QString cameraman;    // Config::order_cameraman
    QString dresser;      // Config::order_dresser
    QString photoDate;    // Config::order_photodate, "yyyy-MM-dd"

    static OrderValues fromConfig();
};

// The import of a mode: 0 photos, 1 finished photos, any other designs.
ImportTypeEnum importType(int mode);

// The folders of a mode below the order folder, each with a final "/".
struct ModeFolders
{
    QString main;      // "照片/", "成品/", "设计/"
    QString thumb2250; // fits 2250
    QString thumb1000; // fits 1000; the thumbnail list shows these
    QString thumb200;  // fits 200
    QString caption;   // "订单已导入照片", "订单已导入成品", "订单已导入设计"
};
ModeFolders modeFolders(int mode);

// The caption above the thumbnail list: "<caption>（<n>张)" as counted, and
// "<caption>（0张）" for an order without the mode's thumbnails.
QString countCaption(int mode, int count);
QString emptyCaption(int mode);
// "<caption>（目录读取失败）": a folder that could not be read is not empty.
QString unreadableCaption(int mode);

// The order prefix of a shooting date "yyyy-MM-dd": the month as a number
// (no leading zero; 0 when it is none) and the day as written. Empty unless
// the date has exactly three "-"-separated fields.
QString orderPrefix(const QString& photoDate);

// The photo number of a file name: the last three characters of the name
// up to its first "." read as a number, 0 when they are none.
int fileNumber(const QString& fileName);

// A piece of a photo or folder name: cleaned of the characters file names
// cannot hold and, for the prefix and the append texts, of "-", which
// separates the pieces.
QString namePiece(const QString& text, bool dropHyphens);

// The pieces of the names of one order, already cleaned.
struct NamePieces
{
    QString prefix;
    QString number;
    QString append;
    QString serviceCount;

    // Cleans raw texts: the prefix and the append lose "-", the order
    // number and the service count keep theirs.
    static NamePieces clean(const QString& prefix, const QString& number, const QString& append,
                            const QString& serviceCount);
};

// The names of count new photos in photos mode: prefix, order number, "-",
// the append and "-" when there is one, the number with at least three
// digits and ".jpg". Numbering follows the highest number among the
// "*.jpg" names already in the folder, and never gives a name the folder
// already holds (letter case ignored).
QStringList photoNames(const NamePieces& pieces, int count, const QStringList& existing);
// The same for the photos folder ("照片/") of an order folder as it is now;
// an empty order folder has no photos yet.
QStringList photoNamesIn(const QString& orderFolder, const NamePieces& pieces, int count);
// The name a photo moves on to when the name it was to take is taken
// meanwhile (another window or station wrote it): the same name with the
// number after the last "-" one up. Empty for a name not of that form.
QString nextPhotoName(const QString& taken);

// The order folder's name: prefix, order number, "-" and the append when
// there is one, "-" and the service count.
QString orderFolderName(const NamePieces& pieces);
// The append of an existing order folder named like orderFolderName: what
// lies between the known "<prefix><number>-" and "-<service count>"; empty
// for a folder without an append or named otherwise.
QString folderAppend(const QString& folderName, const NamePieces& pieces);
// The append of a photo named like photoNames (three "-"-separated parts:
// the middle one); false for any other name.
bool photoAppend(const QString& photoName, QString* append);

// Request bodies, values from Config and the given order id.
QByteArray orderPathQueryBody(const QString& orderId);
QByteArray serverPathQueryBody();
QByteArray photoDateBody(const QString& orderId, const QString& photoDate);
QByteArray pathReportBody(const QString& orderId, const QString& orderPath, const QString& backupPath);
QByteArray countReportBody(const QString& orderId, const QString& orderPath, const QString& backupPath,
                           int photoCount, int backupCount, int mode);

// The counts of the completion box.
struct Counts
{
    int order = 0;
    int backup = 0;
};
QString completionText(int mode, const Counts& before, const Counts& after);
// What one photo of a run adds to the counts the run reports, each only
// where the folder count would count it. Photos: its main copy once
// committed under the name it claimed, and its backup once it took its
// name. Finished photos and designs: the main copy only when its name was
// new, for one that replaced a file of its name adds nothing.
Counts committedCounts(int mode, const PhotoImport::Result& result);

// A chosen file the list leaves out: a name beginning with "." or a file
// the file system marks hidden.
bool isHiddenChoice(const QString& path);

} // namespace SingleOrder
