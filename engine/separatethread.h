#pragma once

#include "jobowner.h"

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QPair>
#include <QRunnable>
#include <QString>

// One pooled job of a separation run: it tests or copies one photo (a
// finished photo with its raw camera files when the shop asks for them), or
// turns the web service's photo marks into the order's marked images, and
// then tells its window by a queued call of the window's stage slot.
//
// Every value the job needs is handed over when the window makes it on the
// user-interface thread; the job never reads Config. It reports only through
// the window's JobOwnerHandle, so a closed or destroyed window hears nothing.
//
// Job types: 1 finished photo, 2 existence check, 3 rejected photo,
// 4 marked photo, 5 product photo, 6 photo marks, 7 design photo.
//
// A copy job (1, 3, 4, 7) that cannot write a target, or cannot read a
// listed source, says so before its stage call-back: it calls the window's
// "copyFailed" with the folder (ending in "/") and the name of the file
// that failed, the target or the source. A raw camera file counts alike,
// and one that cannot be looked at is told as its source.
// A photo-marks job (6) that cannot list the order's "成品/" keeps the
// photo lists as they were and calls the window's "listFailed" with that
// folder before its call-back.
class SeparateThread : public QRunnable
{
public:
    // Type 2: path of one photo in the order's finished-photo folder.
    SeparateThread(QString path, int type, JobOwnerHandle owner);
    // Types 1, 3, 4 and 7: one copy. sjfjxz is the shop's separation setting
    // as the window reads it; with exactly "1" a type 1 job also copies the
    // photo's raw camera files beside the target.
    SeparateThread(QString source, QString target, bool overwrite, int type, JobOwnerHandle owner,
                   QString sjfjxz = QString());
    // Type 5: one photo, by file name, into one product folder. productName
    // is the product's goodname (named in the missing-photo report);
    // finishedFolder is the order's output folder of finished photos, that is
    // ProductData::localSavePath, Config::fj_cpname and "/".
    SeparateThread(QString fileName, QString target, QString productName, bool overwrite, int type,
                   JobOwnerHandle owner, QString finishedFolder);
    // Type 6: the "orderpicdescr" array of the picture-information reply and
    // the order's server folder (Config::order_path, ending in "/").
    SeparateThread(QJsonArray picInfoList, int type, JobOwnerHandle owner, QString orderPath);
    ~SeparateThread() override;

    // Type 1: where the photo's small thumbnail belongs. When it is missing
    // (and its folder is there) the job makes it from the photo after the
    // copy, so the sheet's thumbnails later need no photo decoded, and the
    // decoding runs beside the other copies.
    void setSmallThumbnail(const QString& path) { m_smallThumbnail = path; }

    // The bound of a mark coordinate or size read from the service.
    static constexpr int markLimit = 100000;

    void run() override;

    // The slot a job type calls on its window, as a normalised signature
    // ("fenjian_photoIsFileSlot_1(int)"); empty for an unknown type.
    static QByteArray callbackSignature(int type);
    // Every slot signature the separation jobs call, "copyFailed" and
    // "listFailed" included.
    static QList<QByteArray> callbackSignatures();

    // The raw camera files of a finished photo and the twin targets they are
    // copied to, in the order they are tried: the photo's folder "成品/"
    // becomes "照片/新建文件夹/" and the ".jpg"/".JPG" suffix of both names
    // becomes each raw extension. Empty unless both names end in ".jpg" or
    // ".JPG", so a raw file never lands on the photo's own target.
    static QList<QPair<QString, QString>> rawFilePairs(const QString& source, const QString& target);
    // The missing-photo report of a product photo: the product's name, ":"
    // and the photo's name with every ".jpg" as ".JPG".
    static QString missingPhotoReport(const QString& productName, const QString& fileName);

private:
    void separateImage();
    void photoisFile();
    void delPhotoCopy();
    void markPhotoCopy();
    void productPhotoCopy();
    void analysisPicInfoList();
    void shejiimgCopy();

    // One copy; a failure is told to the window.
    void copyReporting(const QString& source, const QString& target);
    void callBack();

    JobOwnerHandle m_owner;
    int m_type = 0;
    QString m_productName;
    QString m_srcPath;
    QString m_dstPath;
    bool m_overwrite = false;
    QJsonArray m_picInfoList;
    QString m_sjfjxz;
    QString m_finishedFolder;
    QString m_orderPath;
    QString m_smallThumbnail;
};
