#pragma once

#include "fileoperation.h"
#include "foldersinuse.h"
#include "importbookkeeping.h"
#include "importtypeenum.h"
#include "n8fileinfo.h"
#include "orderrecords.h"

#include <QList>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

namespace PhotoImport {
struct Request;
struct Result;
} // namespace PhotoImport

class ImportOrderModel;

// The worker of the batch photo import, and the folder-deletion worker of
// the windows that delete orders.
//
// Import mode. Everything the run needs is copied when the worker is made,
// on the user-interface thread: the order's name, photo date, folder suffix,
// order and backup folders, the chosen files of the type with their target
// names, Config's import roots and the photo-sync setting. The starter sets
// Config's import roots first, makes the worker, connects its signals, calls
// createOrderDir (which on that thread also stores the new folders in the
// model) and then starts it. The running worker never touches the model:
// folders it makes itself reach the model through orderPathsCreated, queued
// to the model's thread. Photos are imported several at a time; the results
// on disk are those of importing them one by one in list order, and the
// progress signals count up one by one, the finish signal after the last.
//
// What the run committed to the counts the dialog reports (a photo under a
// name its folder did not hold, each backup copy) is told by
// importCommittedSigl at the end of the run, right before importFailuresSigl:
// what other imports write into the order's folders meanwhile is not the
// run's. With it come the videos the order's folder holds with their own
// bytes, stored now or found there the same. Files that do not land whole (a
// source that cannot be read, a main copy, backup or thumbnail that cannot be
// written, a video whose name another file holds) are counted and told by
// importFailuresSigl at the end of the run, before hasFinishedImportSigl. A
// full disk, told by the failed write itself, is told once by
// checkDiskSizeSigl and stops the run as stop() does: no file is started any
// more, the files in work finish, and the run ends with importFailuresSigl
// counting the files not imported, without hasFinishedImportSigl. The stop is
// this worker's own: nothing another window does stops it.
//
// While it may write, the worker registers the order's folders with
// FoldersInUse, from the moment they are known (before they are made, or
// taken from the order) to the end of its run, so no deletion of this
// process takes them from under it. The N8 import registers its destination
// for as long as the copy jobs that hold n8Claim() live. A folder that a
// deletion of this process is removing is not imported into: nothing is
// made or written, and deletionUnderway() tells it (the N8 walk also
// signals importDirN8ThreadError).
//
// Deletion mode. Removes one order's server folder, only when the deletion
// guard allows it and no import of this process is writing into it, and
// emits deleteSucceed only when the folder is gone: its look-up says it is
// not there (one that cannot be looked at is not gone).
class ImportOrderThread : public QThread
{
    Q_OBJECT
public:
    ImportOrderThread(ImportOrderModel* model, ImportTypeEnum type, QObject* parent = nullptr);
    ImportOrderThread(order record, QObject* parent = nullptr);
    ~ImportOrderThread() override;

    // Checks the two roots and, when the order has no folders yet, builds
    // its tree. Called before the worker starts, new folders are in the
    // model when it returns, and a failure (root error, missing order
    // folder) is signalled during the call: connect first. The run then
    // ends without copying and without telling it again. An order folder
    // that is not there after building is told by the make's own error: a
    // name the share refuses by checkOrderPicPathSigl with no
    // orderFolderFault(), a full share by checkDiskSizeSigl with the folder
    // that could not be made, and any other failure by
    // checkOrderPicPathSigl with orderFolderFault() set.
    void createOrderDir(QString serverRoot, QString backupRoot);
    // What the user is told of an order folder that could not be made for
    // another reason than its name ("目录读取失败：<folder>" for one that
    // cannot be looked at, "目录无法创建：<folder>" otherwise); empty when
    // checkOrderPicPathSigl means the customer's data. Set before the signal.
    QString orderFolderFault() const { return m_orderFolderFault; }
    void createN8Dir(QString path);

    void import();
    void startDelete();
    // Starts no further file; the files in work finish. Any thread.
    void stop();

    void importImage(QString orderPath, QString backupPath, QString source, QString targetName);
    void copyVideo(QString orderPath, QString backupPath, QString source, QString targetName);
    bool copyFile(QString source, QString target);
    bool getPicShotTime(QString path, QString& shotTime);

    // Type 5: walks the chosen folder, makes its folder tree inside the
    // order's N8 folder and hands the files over in one list
    // (startImportDirN8ThreadSigl). A folder that cannot be imported there
    // (n8UnusableFolder() where the chosen folder is the cause),
    // a destination that another order uses (n8DestinationTaken()), a
    // destination that cannot be made, or a destination, a folder below the
    // chosen one or a page that cannot be read or looked at
    // (n8UnreadableFolder()), is told by
    // importDirN8ThreadError() and hands nothing over; an empty folder hands
    // over an empty list.
    void copyN8DirToSer(QString dir);
    // The top level of the walk: emits the list at its end.
    void copyDir(QString source, QString destination);
    // Every deeper level.
    void copyDir2(QString source, QString destination);
    // No further file or folder is begun: the worker was stopped, or its
    // dialog has gone.
    bool stopRequested() const;

    // The order's folders, or the N8 destination, are being deleted: the
    // worker makes and writes nothing. Read after createOrderDir, or once
    // the worker has told its end.
    bool deletionUnderway() const { return m_deletionUnderway; }
    // Deletion mode: the folder was left alone because an import of this
    // process is writing into it. Read once the worker has finished.
    bool refusedInUse() const { return m_refusedInUse; }
    // Deletion mode: why the deletion guard left the folder alone; empty
    // when it did not. Read once the worker has finished.
    QString guardRefusal() const { return m_guardRefusal; }
    // N8 import: the registration of the destination, for the copy jobs to
    // share; null before the walk has chosen it.
    QSharedPointer<FoldersInUse::Claim> n8Claim() const { return m_n8Claim; }
    // N8 import: the destinations other orders of the batch have written
    // into (clean paths); set before the worker starts. None is used again.
    void setN8DestinationsOfBatch(const QSet<QString>& destinations) { m_n8OfBatch = destinations; }
    // N8 import: the destination the walk left alone because another order
    // uses it; empty when it did not. Read once the worker has told its end.
    QString n8DestinationTaken() const { return m_n8Taken; }
    // N8 import: the destination, or the folder or page of the chosen one,
    // the walk could not read or look at, which ended it; empty when it did
    // not. Read once the worker has told its end.
    QString n8UnreadableFolder() const { return m_n8Unreadable; }
    // N8 import: the chosen folder, when the walk's own check found it not
    // usable (not there, not looked at, or holding the destination) at the
    // walk's start; empty when it did not. Read once the worker has told
    // its end.
    QString n8UnusableFolder() const { return m_n8Unusable; }

    bool judgeMemorySize(QString path);
    bool judgeDiskSize(long long size, QString path);

signals:
    void hasImportedImgCount(ushort done, ushort total);
    void hasFinishedImportSigl(ushort total);
    void importImageThreadError(uchar errorCode);
    void checkDiskSizeSigl(QString picPath);
    void checkOrderPicPathSigl();
    void deleteSucceed(QString mOrderid, QString deleteDir);
    void importDirN8ThreadError();
    void importDirN8ThreadSigl(QString picPath);
    void startImportDirN8ThreadSigl(QList<N8FileInfo> list, QString toDir);
    void emit_msg(QString str);
    // The order and backup folders this worker made; delivered to the model
    // on its own thread.
    void orderPathsCreated(QString orderPath, QString backupPath);
    // The end of a run: the order's name, the files that were not imported
    // whole, the first folder a file could not be written into (empty when
    // no write failed), the videos left out because their names hold other
    // files in the order's folder, in list order, and how many of the files
    // not imported a stop left unstarted.
    void importFailuresSigl(QString orderName, ushort failed, QString unwritableFolder,
                            QStringList takenVideos, ushort notStarted);
    // The end of a run: the files it added to the order folder's count of
    // the type and to the backup folder's, as ImportBookkeeping counts them,
    // and the names of the chosen videos the order's folder holds with their
    // own bytes, in list order, each once.
    void importCommittedSigl(int server, int backup, QStringList videos);

protected:
    void run() override;

private:
    // Counts what a file committed, and a file that did not land whole.
    void noteResult(const PhotoImport::Result& result);
    void makeTypeFolders() const;
    PhotoImport::Request fileRequest(const QString& orderPath, const QString& backupPath,
                                     const QString& source, const QString& targetName) const;
    enum class TreeFailure
    {
        ServerRoot,
        BackupRoot,
        OrderFolderMissing, // a name the share refuses
        DiskFull,
        OrderFolderFault // any other cause, told as orderFolderFault()
    };
    // Tells the failure at once, and the run then ends without copying;
    // told is the folder a full share names, or the fault's text.
    void treeFailed(TreeFailure failure, const QString& told = QString());
    // Registers the order and backup folders; false (and nothing
    // registered) when a deletion of this process holds one of them.
    bool claimOrderFolders(const QString& orderPath, const QString& backupPath);

    QPointer<ImportOrderModel> m_model;
    ImportTypeEnum m_type = ImportOriginal;
    ushort m_total = 0;
    ushort m_done = 0;
    QList<N8FileInfo> m_n8Files;
    QString m_deleteDir;
    QString m_mode;
    QString m_orderId;

    // What the run works from, copied on the user-interface thread.
    QString m_orderName;
    QString m_orderKey; // 预约单号
    QString m_photoDate;
    QString m_folderSuffix;
    QString m_orderPath;
    QString m_backupPath;
    QStringList m_sources;
    QStringList m_targetNames;
    QString m_n8Path;
    QString m_n8FatherPath;
    QString m_n8Recorded; // the order's N8 folder as the web service has it
    QSet<QString> m_n8OfBatch;
    QString m_n8Taken;
    QString m_n8Unreadable;
    QString m_n8Unusable;
    // Folders the walk has listed, as the file system resolves them, so a
    // linked folder is never walked twice.
    QSet<QString> m_n8Walked;
    QString m_serverRoot;
    QString m_backupRoot;
    QString m_n8Root;
    bool m_syncToFinal = false;

    // Set once the folder checks have told the user why nothing is copied.
    bool m_treeFailed = false;
    QString m_orderFolderFault;
    std::atomic<bool> m_stop{false};
    QMutex m_failureMutex;
    int m_failed = 0;
    QString m_unwritableFolder;
    bool m_diskFull = false;
    ImportBookkeeping::FolderCounts m_committed;
    QSet<QString> m_videosInFolder; // held with their own bytes
    QSet<QString> m_takenVideos;    // their names hold other files
    // The folders this run has swept of stale temporary files; its files
    // are imported side by side.
    mutable FileOperation::SweptFolders m_sweptFolders;

    FoldersInUse::Claim m_orderClaim;
    FoldersInUse::Claim m_backupClaim;
    QSharedPointer<FoldersInUse::Claim> m_n8Claim;
    bool m_deletionUnderway = false;
    bool m_refusedInUse = false;
    QString m_guardRefusal;
};
