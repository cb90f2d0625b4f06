#pragma once

#include "imagetime.h"
#include "jobowner.h"

#include <QList>
#include <QPair>
#include <QRunnable>
#include <QString>

// The raw-file download of one order: copies the camera raw files of the
// raw sub-folder of the photos' folder (its first sub-folder holding a
// ".cr2" or ".nef" file) into a local folder, each under the name of the
// photo shot at the same second, and then takes them off the share. With
// no raw sub-folder it copies the folder's own files instead and removes
// nothing. It reports "onDownloadProcess" (max, value) and at the end
// "onDownloadFinish" (result, tip) to its window.
//
// No raw file is ever lost: a copy never replaces a file (a taken name gets
// a numbered one), a raw file is removed only once it has a complete copy
// of its own, the raw folder only once it is empty (by one rmdir, never a
// removal of what it holds) and the deletion guard allows it, a raw folder
// whose listing fails is kept, and a link is removed, never followed. What
// stays is named in the tip, the raw folder's lines before the files'. A
// folder it could not read while choosing what to copy stops it before it
// copies anything; a folder, or an entry of one, that cannot be looked at
// is a folder that could not be read, never a missing one.
class CR2DownloadRunnable : public QRunnable
{
public:
    using MatchInfo = ImageTime::MatchInfo;

    CR2DownloadRunnable(JobOwnerHandle owner, QString srcDir, QString dstDir, QString imageTimeText);
    ~CR2DownloadRunnable() override;

    void run() override;

    // The whole download; false only when nothing could start (no source,
    // a folder it looked in that could not be read, a target that cannot be
    // made or lies in the source).
    bool downLoad(QString srcDir, QString dstDir, QString& tip);
    // unreadable, when given, tells a folder that could not be looked at
    // or read from an empty or missing one.
    static bool isRawDirExist(QString path, bool* unreadable = nullptr);
    // Without a raw folder, unreadable (when given) receives the first
    // folder it could not look at or read, the source's own or a
    // sub-folder, else "".
    static bool getSubCR2Dir(QString srcDir, QString& rawDir, QString* unreadable = nullptr);
    // The base name a raw file is copied under: the matched photo's name
    // less its suffix, else the raw file's own name less its suffix.
    QString getMatchedImageName(QString srcDir, QString rawPath, QString rawName);
    bool getPicShotTime(QString path, QString& shotTime);
    void getMatchInfo(QString text);

private:
    // The source folder's photos with their shot times, read once.
    const QList<QPair<QString, QString>>& sourceShotTimes(const QString& srcDir);
    // Lines about the raw folder itself go to folderLines, those about its
    // files to fileLines.
    void removeRaws(const QString& rawDir, const QStringList& copied, QString& folderLines,
                    QString& fileLines);

    QString srcDir;
    QString dstDir;
    JobOwnerHandle owner;
    QString imageTimeText;
    QList<MatchInfo> matchInfos;

    bool m_sourceRead = false;
    QList<QPair<QString, QString>> m_sourceTimes; // base name, shot time
};
