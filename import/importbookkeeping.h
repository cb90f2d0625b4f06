#pragma once

#include "importtypeenum.h"
#include "webservice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace PhotoImport {
struct Result;
}

// The plain parts of the batch import dialog: the texts and folders of each
// import type, the counts it takes of an order's folders, the bodies of its
// web-service records, the web service's own form of an order folder, the
// write probe of a store root and the names its file lists work with.
namespace ImportBookkeeping {

// What the dialog shows for an import type.
struct TypeTexts
{
    QString radio;       // the type button, "导入原片"
    QString title;       // the right-hand title, "导片模式：原片"
    QString name;        // what the title names: "原片"
    QString select;      // each row's select button, "选择照片"
    QString videoButton; // the video-list button; empty: hidden
};
TypeTexts typeTexts(ImportTypeEnum type);

bool isImageType(ImportTypeEnum type); // 0 to 2
bool isVideoType(ImportTypeEnum type); // 3 and 4

// The order sub-folder a type imports into, with a final "/": "照片/",
// "成品/", "设计/", "试拍视频/", "精修视频/"; empty for the N8 type.
QString importFolder(ImportTypeEnum type);

// Entries matching "*.jpg" and "*.JPG" (photos) or "*.mp4", "*.avi", "*.m4v"
// and "*.wmv" (videos) in a folder; 0 for an empty path or a missing folder,
// -1 for a folder that cannot be looked at or listed.
int folderPhotoCount(const QString& folder);
int folderVideoCount(const QString& folder);
// True for a file name folderPhotoCount (folderVideoCount) counts.
bool isCountedPhoto(const QString& fileName);
bool isCountedVideo(const QString& fileName);

// The files an order folder already holds of a type, as the order table
// shows them: images ("*.jpg", "*.png", "*.jpeg") of "照片", "成品" or
// "设计", counted only when the type's thumbnail folder exists; videos of
// "试拍视频" or "精修视频". -1 when nothing is counted: no order folder, a
// missing folder, a folder that cannot be looked at or listed, or a type
// the count is not made for.
int existingImageCount(const QString& orderPath, ImportTypeEnum type);
int existingVideoCount(const QString& orderPath, ImportTypeEnum type);

// Files of the type in an order's folder and in its backup folder, taken
// before and after an import: photos of "照片/" or "成品/" in both, designs
// and videos in the order folder only. A folder that cannot be looked at
// or listed counts -1.
struct FolderCounts
{
    int server = 0;
    int backup = 0;
    // Both could be read: a record never carries a guessed number.
    bool read() const { return server >= 0 && backup >= 0; }
};
FolderCounts importCounts(const QString& orderPath, const QString& backupPath, ImportTypeEnum type);
// What one imported file adds to those counts (0 or 1 each), so a report
// carries what the run itself committed and agrees with the counts: a main
// copy or video under a name no file held, a backup copy (camera photos),
// each only under a name the count counts. A replaced photo adds nothing.
FolderCounts committedCounts(ImportTypeEnum type, const PhotoImport::Result& result);

// A local folder in the web service's own form: when localRoot is not empty
// and local begins with it at a folder boundary, that leading root is
// replaced once by rawRoot, with one "/" between them when neither the raw
// root ends nor the rest begins with a separator; otherwise raw, the folder
// as the web service gave it.
QString serverFormPath(const QString& local, const QString& localRoot, const QString& rawRoot,
                       const QString& raw);

// The order path record ("updatepicpath").
struct OrderPathRecord
{
    int picNumber = 0;
    int backNumber = 0;
    QString stage; // "0" made ready, "1" imported
    QString orderId;
    QString orderPath;  // server form
    QString backupPath; // server form
    qint64 timestamp = 0;
    ImportTypeEnum type = ImportFinished;
    QStringList videos; // the videos the order's folder holds with their own bytes (types 3 and 4)
};
// False for the start record of a video type, which is never sent.
bool sendsOrderPathRecord(ImportTypeEnum type, const QString& stage);
QByteArray orderPathBody(const OrderPathRecord& record);

// The video list record ("updatevideo"): names and paths already joined by "|".
QByteArray videoListBody(const QString& orderId, const QString& names, const QString& paths,
                         ImportTypeEnum type, qint64 timestamp);
// The N8 path record ("saven8path").
QByteArray n8PathBody(const QString& orderId, const QString& n8Path);
// The finished-selection check ("order_isrole12finish").
QByteArray selectionCheckBody(const QString& orderId);

// The write probe of a store root before a batch starts.
enum class Probe
{
    Skipped,  // the root is not an existing folder: nothing is probed
    Writable, // a new empty folder could be made in it (and is gone again)
    Refused,  // no folder could be made in it
};
// Makes one new folder under the root, named "Velmor" or, when that name is
// taken (or cannot be looked at), "Velmor-<n>", and removes only that folder
// again. An existing file or folder is never touched.
Probe probeStoreRoot(const QString& root);

// The folder the next file dialog opens in after a choice: photos the
// folder above the first file's folder, videos the first file's folder.
QString nextSelectDir(ImportTypeEnum type, const QString& firstChoice);
// The folder above a chosen N8 folder, absolute and without a final separator.
QString n8ParentPath(const QString& folder);

// The folders of the imported-images list, relative to the order folder.
struct ImportedFolders
{
    QString thumbnails;     // listed: "thumbnail100", "成品缩略图100", "设计缩略图100"
    QString images;         // a thumbnail is listed only while its image is here
    QString opened;         // "打开照片目录"; empty: nothing is opened
    QStringList deleteFrom; // "删除选中照片", each with a final "/"; empty: refused
};
ImportedFolders importedFolders(ImportTypeEnum type);
// The thumbnails of the imported-images list: the files of the type's
// thumbnail folder, in the file system's order, whose image still exists.
QStringList existingThumbnails(const QString& orderPath, ImportTypeEnum type);
// The file-name part of a list item's text; empty when nothing safe remains
// ("", "." or "..").
QString plainFileName(const QString& text);

// The import-state text of an order's row for a type: "上报失败" while its
// completion report is owed, "已导入(<n>个失败)" after a run that left files
// behind, else "已导入(<found>)" or "未导入" (an N8 order: "已导入" once imported).
QString rowStateText(ImportTypeEnum type, bool imported, int found, int failed, bool reportPending);

// The last box of a batch. Each order it names carries its 预约单号 and,
// as the order table names it, "<预约单号>-<服务次数>": a box naming or
// listing two orders of one 预约单号 names each by the latter.
struct OrderFailure
{
    QString orderNumber;
    int files = 0;
    QString unwritableFolder; // empty: no folder refused a write
    QStringList takenVideos;  // left out: their names hold other files in the order
    QString orderName{};
};
// An order the batch skipped.
struct SkippedOrder
{
    QString orderNumber;
    QString orderName{};
};
// What becomes of the records a box names as not taken, told in the line
// that follows them.
enum class Afterwards
{
    Nothing,      // refused: the service has them and will not take them
    SentAgain,    // kept, and sent again by the next 导入照片 window
    BatchAgain,   // owed, and sent again by the next 批量导片 of the dialog
    LostAtQuit,   // not taken when the client quits
    WindowClosed, // their window was closed: nothing sends them again
    LeftList,     // their order left the dialog's list: nothing sends them again
    ReImported,   // 重新导片 sent their order to a new folder: nothing sends them again
    Check         // no longer sent: the service may hold them already
};
struct ReportFailure
{
    QString orderNumber;
    QString httpStatus; // or the service's refusal; empty: no HTTP answer at all
    Afterwards afterwards = Afterwards::Nothing;
    // The record's import type as the dialog's title names it ("原片");
    // a box naming two records of one order names it with each.
    QString kind{};
    // The order as the order table names it ("<预约单号>-<服务次数>"); a box
    // naming two orders of one 预约单号 names each so.
    QString orderName{};
};
// What a report failure's line tells of a reply that is no receipt: the
// service's refusal message (else its code), or the HTTP status of a
// transport error or of a body that cannot be read.
QString reportFailureStatus(const WebService::Reply& reply);
struct Box
{
    QString title; // empty: no box
    QString text;
};
// An N8 order that a close stopped before all its pages arrived.
struct PagesArrived
{
    QString orderNumber;
    int arrived = 0;
    int total = 0;
    QString orderName{};
};
// "导入完成" / "<n>个订单已经全部导完" when every order finished whole and was
// reported; otherwise "警告" with what went wrong: a full disk, the orders
// with files not imported (with the folder that refused a write and the
// videos whose names were taken), the N8 orders a close left unfinished,
// the orders skipped because their folders were being deleted or could not
// be read, the orders whose report failed: under one heading, grouped by
// what becomes of them, each group followed by its line. An order is named
// by its 预约单号; where two orders share one, both named anywhere in the box
// or one named and the other among listedOrders (the orders the window
// lists, as the order table names them), every line names them as the order
// table does. An order named with more than one record has each of its
// lines name its kind, so no two lines read the same; so does a record of
// a kind other than ownKind (the batch's own import type, as the dialog's
// title names it; empty: none), so none is taken for one of the batch's.
Box batchEndBox(int finishedOrders, bool allFinished, bool diskFull, const QList<OrderFailure>& failures,
                const QList<ReportFailure>& reports, const QList<SkippedOrder>& beingDeleted = {},
                const QList<SkippedOrder>& unreadable = {}, const QList<PagesArrived>& unfinishedN8 = {},
                const QStringList& listedOrders = {}, const QString& ownKind = {});

// An order as a box that names it alone names it, by the rule of
// batchEndBox: by its 预约单号, or as the order table does where another
// order of that 预约单号 is among listedOrders.
QString orderInBox(const QString& orderNumber, const QString& orderName, const QStringList& listedOrders);

// The box naming the orders whose records were not taken, with the line of
// what becomes of them; listedOrders as for batchEndBox.
Box notTakenBox(QList<ReportFailure> failures, Afterwards afterwards, const QStringList& listedOrders = {});
// The line that follows the records a box names; empty for Nothing.
QString afterwardsLine(Afterwards afterwards);

// The question of the video-list upload: the folder and, when it holds
// videos, their names.
QString videoUpdateQuestion(ImportTypeEnum type, const QString& folder, const QStringList& names);

} // namespace ImportBookkeeping
