#include "copypicthread.h"

#include "fileoperation.h"
#include "photoimport.h"
#include "shottime.h"

#include <QDebug>

CopyPicThread::CopyPicThread(QString orderPath, QString orderBackupPath, QString picPath, QString newName,
                             ImportTypeEnum importType, JobOwnerHandle owner)
    : owner(std::move(owner)), orderPath(std::move(orderPath)), orderBackupPath(std::move(orderBackupPath)),
      picPath(std::move(picPath)), newName(std::move(newName)), importType(importType)
{
    setAutoDelete(true);
}

CopyPicThread::CopyPicThread(QString orderPath, QString picPath, QString newName, ImportTypeEnum importType,
                             JobOwnerHandle owner)
    : CopyPicThread(std::move(orderPath), QString(), std::move(picPath), std::move(newName), importType,
                    std::move(owner))
{
}

CopyPicThread::~CopyPicThread() = default;

void CopyPicThread::run()
{
    // Compared unsigned: a negative type counts as a retouched video.
    if (quint32(importType) > 2)
        copyVideo();
    else
        importImg();
}

void CopyPicThread::importImg()
{
    if (orderPath.isEmpty() || orderBackupPath.isEmpty() || picPath.isEmpty())
        return;
    newName.replace(QStringLiteral(".JPG"), QStringLiteral(".jpg"));
    qDebug() << "--!开始读取照片: " << picPath;

    const PhotoImport::Result result =
        PhotoImport::importPhoto({importType, orderPath, orderBackupPath, picPath, newName, false, {}});
    qDebug() << (result.decoded ? "--!照片有，开始旋转照片" : "--!照片为空");
    qDebug() << (result.orientation == 1 ? "--!不需要旋转，直接拷贝到服务器" : "--!旋转照片，然后保存到服务器");
    qDebug() << (result.decoded ? "--!开始图片压缩并存储" : "--!照片导入失败时，直接拷贝");
    if (!result.failed.isEmpty())
        qDebug() << "写入失败" << result.failed;
    qDebug() << "--!发送完成消息";
    owner.post("solaImgImport", picPath);
}

void CopyPicThread::copyVideo()
{
    if (orderPath.isEmpty() || picPath.isEmpty())
        return;
    const bool trial = importType == ImportTrialVideo;
    PhotoImport::copyVideo(
        {trial ? ImportTrialVideo : ImportRetouchedVideo, orderPath, QString(), picPath, newName, false, {}});
    owner.post("solaImgImport", trial ? orderPath + QStringLiteral("试拍视频/") + newName : picPath);
}

bool CopyPicThread::copyFile(QString source, QString toDir)
{
    qDebug() << "toDir=" << toDir;
    return FileOperation::copyNewFile(source, toDir);
}

bool CopyPicThread::getPicShotTime(QString path, QString& shotTime)
{
    return ShotTime::read(path, shotTime);
}
