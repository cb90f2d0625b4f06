#include "ordertree.h"

#include "clock.h"

#include "config.h"
#include "fileoperation.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace {

// One level, relative to its root: 0, or why it could not be made. A
// folder already there is no failure; anything else in its place is.
int makeUnder(const QString& root, const QString& relative)
{
    const QString folder = QDir::cleanPath(root + relative);
    if (FileOperation::tellFaultHook(FileOperation::Fault::DiskFull, folder))
        return ENOSPC;
    if (FileOperation::tellFaultHook(FileOperation::Fault::MakeFolder, folder))
        return EACCES;
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) == 0)
        return 0;
    const int err = errno;
    if (err == EEXIST && FileOperation::lookUp(folder) == FileOperation::Presence::Folder)
        return 0;
    return err;
}

} // namespace

OrderTree::Location OrderTree::locate(const QString& orderName, const QString& folderSuffix,
                                      const QString& photoDate)
{
    if (!Clock::parseDay(photoDate).isValid())
        return Location();

    const QStringList fields = photoDate.split(QLatin1Char('-'));
    const QString name = Config::sanitizeWithRegex(orderName.trimmed());
    QString suffix;
    if (!folderSuffix.isEmpty())
        suffix = Config::sanitizeWithRegex((QLatin1Char('-') + folderSuffix).trimmed());

    Location location;
    location.month = fields.at(0) + QLatin1Char('-') + fields.at(1);
    location.day = fields.at(2);
    location.relative = location.month + QLatin1Char('/') + location.day + QLatin1Char('/') + name + suffix;
    return location;
}

QString OrderTree::withSlash(const QString& root)
{
    if (root.isEmpty() || root.endsWith(QLatin1Char('/')))
        return root;
    return root + QLatin1Char('/');
}

QStringList OrderTree::orderFolders()
{
    return {QStringLiteral("照片/"),    QStringLiteral("照片/新建文件夹"), QStringLiteral("成品/"),
            QStringLiteral("汰片/"),    QStringLiteral("设计/"),           QStringLiteral("试拍视频/"),
            QStringLiteral("精修视频/")};
}

QList<QStringList> OrderTree::thumbnailFamilies()
{
    return {
        {QStringLiteral("thumbnail/"), QStringLiteral("thumbnail100/"), QStringLiteral("thumbnail2250/")},
        {QStringLiteral("成品缩略图/"), QStringLiteral("成品缩略图100/"), QStringLiteral("成品缩略图2250/")},
        {QStringLiteral("设计缩略图/"), QStringLiteral("设计缩略图100/"), QStringLiteral("设计缩略图2250/")},
    };
}

OrderTree::MakeFailure OrderTree::build(const QString& serverRoot, const QString& backupRoot,
                                        const Location& location)
{
    MakeFailure failure;
    if (!location.isValid())
        return failure;
    const QString month = location.month + QLatin1Char('/');
    const QString day = month + location.day + QLatin1Char('/');
    const QString order = location.relative + QLatin1Char('/');
    const bool backup = !backupRoot.isEmpty();
    const auto makeOnTheWay = [&](const QString& relative) {
        const int err = makeUnder(serverRoot, relative);
        if (err != 0 && failure.error == 0)
            failure = {QDir::cleanPath(serverRoot + relative), err};
    };

    makeOnTheWay(month);
    if (backup)
        makeUnder(backupRoot, month);
    makeOnTheWay(day);
    makeOnTheWay(order);
    for (const QString& folder : orderFolders())
        makeUnder(serverRoot, order + folder);
    for (const QStringList& family : thumbnailFamilies()) {
        for (const QString& folder : family)
            makeUnder(serverRoot, order + folder);
        for (const QString& folder : family)
            FileOperation::hide(serverRoot + order + folder);
    }
    if (backup) {
        makeUnder(backupRoot, day);
        makeUnder(backupRoot, order);
        makeUnder(backupRoot, order + QStringLiteral("照片/"));
    }
    return failure;
}
