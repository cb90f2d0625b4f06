#pragma once

#include "importtypeenum.h"
#include "jobowner.h"

#include <QRunnable>
#include <QString>

// Puts one photo or video of an order into the order's folder tree, the way
// the import's per-photo job does, with the kind of file given as the batch
// import's type: 0 camera photos (with a backup copy), 1 finished photos,
// 2 designs, 3 trial-shoot videos and any other value a retouched video. It
// makes no folders and no shot-time record. When done it reports a path to
// its owner's invokable solaImgImport(QString); an empty handle reports to
// nobody, and a closed owner gets nothing.
class CopyPicThread : public QRunnable
{
public:
    CopyPicThread(QString orderPath, QString orderBackupPath, QString picPath, QString newName,
                  ImportTypeEnum importType, JobOwnerHandle owner);
    // Without a backup folder: a photo job made so does nothing.
    CopyPicThread(QString orderPath, QString picPath, QString newName, ImportTypeEnum importType,
                  JobOwnerHandle owner);
    ~CopyPicThread() override;

    void run() override;
    void importImg();
    void copyVideo();
    // Copies one file, never over an existing one.
    bool copyFile(QString source, QString toDir);
    bool getPicShotTime(QString path, QString& shotTime);

private:
    JobOwnerHandle owner;
    QString orderPath;
    QString orderBackupPath;
    QString picPath;
    QString newName;
    ImportTypeEnum importType;
};
