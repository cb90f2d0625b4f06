#pragma once

#include "fileoperation.h"
#include "foldersinuse.h"
#include "jobowner.h"
#include "singleorder.h"

#include <QRunnable>
#include <QString>

#include <atomic>
#include <memory>

// The pooled job of the single-order import window. One object does one of
// three jobs, chosen by its constructor:
//   1 imports one photo into the order's folder tree and reports its
//     shot-time record ("onFinishImportImage"), after reporting a photo
//     whose main copy could not be read or written ("onImportImageFailed"),
//     or one whose main copy arrived while another of its files did not
//     ("onImportImagePartlyWritten", with the name it has in the order),
//     each telling whether a write met a full share, and what it added to
//     the run's counts ("onImportImageCommitted", the main copy and the
//     backup, each 0 or 1); once its run is stopped, a job that has not
//     begun touches nothing and reports only its photo not imported
//     ("onImportImageNotBegun");
//   2 makes the square icon of one image for the thumbnail list
//     ("setThumbIcon", with the listing it belongs to);
//   3 tells whether a folder exists ("onIsPathExist").
// A job reaches its window only through the window's owner handle, so it
// reports nothing once the window has closed; the file work of a running
// import job still finishes. Everything the job needs, the import mode
// included, is given when it is made.
//
// In photos mode the new name only proposes a number: the main copy claims
// it without replacing a file, and while another window or station holds
// the name the photo moves on to the next number. The name it lands under
// is the name of its backup, its thumbnails and its shot-time record. The
// other modes keep their names and replace.
class ThumbnailThread1 : public QRunnable
{
public:
    // Type 1. mode: 0 photos (with a backup copy and a shot-time record),
    // 1 finished photos, any other value designs. claim, when given, is the
    // run's registration of the order folder, held until the job is gone;
    // sweptFolders, the run's record of the folders it has swept of stale
    // temporary files, and stop, the run's stop, which the run's jobs share.
    ThumbnailThread1(QString picPath, QString newName, QString orderPath, QString orderBackupPath,
                     JobOwnerHandle owner, int size, int mode,
                     std::shared_ptr<const FoldersInUse::Claim> claim = nullptr,
                     std::shared_ptr<FileOperation::SweptFolders> sweptFolders = nullptr,
                     std::shared_ptr<const std::atomic<bool>> stop = nullptr);
    // Type 2: the icon of the image at row index of the listing generation.
    ThumbnailThread1(QString imagePath, int index, JobOwnerHandle owner, int size, int generation);
    // Type 3.
    ThumbnailThread1(QString dirPath, JobOwnerHandle owner);
    ~ThumbnailThread1() override;

    void run() override;

    // Type 1 on the calling thread; the result is the shot-time record
    // ("" when none) and failed tells whether the photo's main copy did not
    // arrive.
    QString importImage(bool* failed = nullptr);
    void scaleImage();
    void isDirExist();

    bool getPicShotTime(QString path, QString& shotTime);

private:
    QString imagePath;
    int index = 0;
    QString orderPath;
    QString orderBackupPath;
    QString newName;
    QString picPath;
    JobOwnerHandle owner;
    int size = 0;
    int type = 0;
    QString dirPath;
    int m_mode = 0;
    int m_generation = 0;
    std::shared_ptr<const FoldersInUse::Claim> m_claim;
    SingleOrder::Counts m_committed;
    bool m_partlyWritten = false; // the main copy arrived, another file did not
    bool m_diskFull = false;
    QString m_targetName;
    std::shared_ptr<FileOperation::SweptFolders> m_sweptFolders;
    std::shared_ptr<const std::atomic<bool>> m_stop;
};
