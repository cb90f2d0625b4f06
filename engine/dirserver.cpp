#include "dirserver.h"

QString DirServer::dir_server;
QString DirServer::dir_order;
QString DirServer::dir_family;
QString DirServer::dir_backmusic;
QString DirServer::dir_temp = QLatin1String("");
QString DirServer::dir_webpage_thumb;

QString DirServer::getServerPath()
{
    return dir_server;
}

QString DirServer::getOrderPath()
{
    return dir_order;
}

QString DirServer::getTempPath()
{
    return dir_temp;
}

QString DirServer::getBackgroundMusicPath()
{
    return dir_backmusic;
}

QString DirServer::getHomeModelPath()
{
    return dir_family;
}

QString DirServer::getWebPageThumbPath()
{
    return dir_webpage_thumb;
}

QString DirServer::getOriginalImagePath()
{
    return dir_order + originalFolder();
}

QString DirServer::getOriginalImageSmallThumbPath()
{
    return dir_order + originalSmallThumbFolder();
}

QString DirServer::getOriginalImageMidThumbPath()
{
    return dir_order + originalMidThumbFolder();
}

QString DirServer::getFineImagePath()
{
    return dir_order + fineFolder();
}

QString DirServer::getFineImageSmallThumbPath()
{
    return dir_order + fineSmallThumbFolder();
}

QString DirServer::getFineImageMidThumbPath()
{
    return dir_order + fineMidThumbFolder();
}

QString DirServer::getDeletedImagePath()
{
    return dir_order + deletedFolder();
}

QString DirServer::getMarkerPath()
{
    return dir_order + markerFolder();
}

QString DirServer::getBedRoomHomeModelPath()
{
    return dir_family + QStringLiteral("模板/卧室/");
}

QString DirServer::getLivingRoomHomeModelPath()
{
    return dir_family + QStringLiteral("模板/客厅/");
}

QString DirServer::getOtherHomeModelPath()
{
    return dir_family + QStringLiteral("模板/其他/");
}

void DirServer::setServerPath(QString path)
{
    dir_server = path;
}

void DirServer::setOrderPath(QString path)
{
    dir_order = path;
}

void DirServer::setBackgroundMusicPath(QString path)
{
    dir_backmusic = path;
}

void DirServer::setHomeModelPath(QString path)
{
    dir_family = path;
}

void DirServer::setWebPageThumbPath(QString path)
{
    dir_webpage_thumb = path;
}
