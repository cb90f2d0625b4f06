#pragma once

#include "image.h"
#include "jobowner.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRunnable>
#include <QString>

class QThreadPool;

// The pooled job that writes an order's production-sheet thumbnails: each
// finished photo as a square with its server mark, saved under the photo's
// name in "制作单缩略图/" of the order's output folder, then the window's
// "onFinishSaveThumb"; a thumbnail it could not draw (its photo unread) or
// save is named before that through the window's "copyFailed" (folder and
// name), as the copy jobs do.
// Its copy mode copies one file and calls back "onFinishSeparateImage".
// Like every job, it reports only through its window's JobOwnerHandle, and
// it never makes a QPixmap.
class ThumbnailThread : public QRunnable
{
public:
    // Sheet thumbnails. outputFolder is the order's output folder as the
    // window holds it (ProductData::localSavePath, ending in "/"); it becomes
    // DirServer's temp folder and names the sheet thumbnail folder, which
    // DirServer keeps for the window's production sheet. With a pool, the
    // photos are drawn on as many of its threads as are free.
    ThumbnailThread(QList<Image> images, JobOwnerHandle owner, int size, QString outputFolder,
                    QThreadPool* pool = nullptr);
    // Copy mode: source, a spare text nothing reads, target, owner.
    ThumbnailThread(QString source, QString spare, QString target, JobOwnerHandle owner);
    ~ThumbnailThread() override;

    void run() override;

    // The folder of the sheet thumbnails in an output folder.
    static QString sheetFolder(const QString& outputFolder);
    // Every slot name the job calls, as normalised signatures.
    static QList<QByteArray> callbackSignatures();

private:
    void saveThumbs();
    void separateImage();

    QString m_spare;
    QString m_copySource;
    QString m_copyTarget;
    JobOwnerHandle m_owner;
    int m_size = 0;
    int m_mode = 0;
    QList<Image> m_images;
    QString m_outputFolder;
    QString m_sheetFolder;
    QThreadPool* m_pool = nullptr;
};
