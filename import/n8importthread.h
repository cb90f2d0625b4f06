#pragma once

#include "fileoperation.h"
#include "foldersinuse.h"
#include "jobowner.h"
#include "n8fileinfo.h"

#include <QRunnable>
#include <QSharedPointer>
#include <QString>

#include <atomic>
#include <memory>

// The paths of an N8 folder import: the folder the user chose on a card or
// disk is copied, with its inner structure, into the order's N8 folder on
// the file server.
namespace N8Import {

// A server N8 folder as the file system sees it: a path in Windows form
// (backslashes, a drive letter, a host share) is mapped under the mount
// root like every server path; any other path is taken as it is.
QString localPath(const QString& path);

// The name of a chosen folder: its last path part, a final separator
// ignored; empty for a root folder or an empty path.
QString folderName(const QString& chosen);

// Where the chosen folder goes: the order's N8 folder followed by the
// chosen folder's name; empty when the chosen folder has no name.
QString destinationRoot(const QString& n8Folder, const QString& chosen);

// Why a chosen folder cannot be copied into an order's N8 folder.
enum class Refusal
{
    None,
    NoN8Folder,          // no N8 folder, or the mount root itself
    OutsideMountRoot,    // an N8 folder beside or above the shares
    UnusableSource,      // a root folder, or not an existing folder
    DestinationInSource, // the copy would land inside the folder it copies
};
Refusal check(const QString& chosen, const QString& n8Folder);

// What a destination that another order may have used is to an order's
// chosen folder.
enum class Destination
{
    Free,       // the chosen folder may go there
    Taken,      // it holds what is not a page of the chosen folder
    Unreadable, // it, or something below it, could not be looked at or listed
};
// Free when nothing is there or no folder (making it tells the rest), when
// it is the order's own recorded N8 folder (as the web service keeps it, in
// either form), or when it holds no page but pages of the chosen folder with
// the same content, at the same places (an earlier attempt of this order,
// whose record failed). Hidden entries are never pages; empty folders hold
// none. A destination that cannot be looked at, or a folder below it that
// cannot be listed, may hold anything: it is never taken for a free one nor
// for another order's.
Destination isFreeFor(const QString& destination, const QString& chosen, const QString& recordedN8Folder);

} // namespace N8Import

// One file of an N8 folder import, copied on the batch import dialog's
// pool. It never replaces a file: a target that exists already is left as
// it is, and counts as done only when it holds the same bytes. It reports
// to the dialog only through the dialog's guarded handle:
// n8CopyFailedSlot(int, QString, bool) when the file is not in place (the
// flag set when the share is full), then importCopyN8ProgressSlot(int, int,
// int, QString) in every case, so the dialog counts every file once.
class N8ImportThread : public QRunnable
{
public:
    N8ImportThread(int row, int currentCount, int totalCount, QString toDir, N8FileInfo info,
                   JobOwnerHandle receiver);
    ~N8ImportThread() override;

    // Keeps the order's destination registered as in use until the job is
    // gone (the jobs of one order share one registration).
    void holdClaim(QSharedPointer<FoldersInUse::Claim> claim) { m_claim = std::move(claim); }
    // The order's record of the folders swept of stale temporary files,
    // shared by the jobs of one order: each folder is swept before the first
    // copy into it.
    void shareSweptFolders(std::shared_ptr<FileOperation::SweptFolders> swept) { m_swept = std::move(swept); }
    // The batch's stop, set when its dialog is closed during the copy: a job
    // that has not begun copies nothing, and says so
    // (n8CopyNotStartedSlot(int)) before its progress report.
    void shareStop(std::shared_ptr<const std::atomic<bool>> stop) { m_stop = std::move(stop); }

    void run() override;
    void import();
    // True when the target holds the file afterwards: copied now (and its
    // folder synced), already there with the same bytes, or source and
    // target are one path. error, when given, tells why a write failed.
    bool copyFile(QString source, QString target, FileOperation::WriteError* error = nullptr);

private:
    int m_row;
    int m_currentCount;
    int m_totalCount;
    QString m_toDir;
    N8FileInfo m_info;
    JobOwnerHandle m_receiver;
    QSharedPointer<FoldersInUse::Claim> m_claim;
    std::shared_ptr<FileOperation::SweptFolders> m_swept;
    std::shared_ptr<const std::atomic<bool>> m_stop;
};
