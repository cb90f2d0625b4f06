#pragma once

#include <QString>

// The folder paths of the order being worked on and the names of the
// sub-folders the engine reads. A getter appends the folder name directly
// to its base, so the order folder is expected to end in "/".
class DirServer
{
public:
    DirServer() = delete;

    static QString getServerPath();
    static QString getOrderPath();
    static QString getTempPath();
    static QString getBackgroundMusicPath();
    static QString getHomeModelPath();
    static QString getWebPageThumbPath();

    static QString getOriginalImagePath();
    static QString getOriginalImageSmallThumbPath();
    static QString getOriginalImageMidThumbPath();
    static QString getFineImagePath();
    static QString getFineImageSmallThumbPath();
    static QString getFineImageMidThumbPath();
    static QString getDeletedImagePath();
    static QString getMarkerPath();
    static QString getBedRoomHomeModelPath();
    static QString getLivingRoomHomeModelPath();
    static QString getOtherHomeModelPath();

    static void setServerPath(QString path);
    static void setOrderPath(QString path);
    static void setBackgroundMusicPath(QString path);
    static void setHomeModelPath(QString path);
    static void setWebPageThumbPath(QString path);

    // The sub-folders of an order folder, for callers that hold the order
    // folder themselves.
    static QString originalFolder() { return QStringLiteral("照片/"); }
    static QString originalSmallThumbFolder() { return QStringLiteral("thumbnail/"); }
    static QString originalMidThumbFolder() { return QStringLiteral("thumbnail2250/"); }
    static QString fineFolder() { return QStringLiteral("成品/"); }
    static QString fineSmallThumbFolder() { return QStringLiteral("成品缩略图/"); }
    static QString fineMidThumbFolder() { return QStringLiteral("成品缩略图2250/"); }
    static QString deletedFolder() { return QStringLiteral("汰片/"); }
    static QString markerFolder() { return QStringLiteral("marks/"); }

    static QString dir_server;
    static QString dir_order;
    static QString dir_family;
    static QString dir_backmusic;
    static QString dir_temp;
    static QString dir_webpage_thumb;
};
