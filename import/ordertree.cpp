#include "ordertree.h"

#include "clock.h"

#include "config.h"
#include "fileoperation.h"

#include <QDate>
#include <QDir>

namespace {

// One level, relative to its root; the result is not looked at.
void makeUnder(const QString& root, const QString& relative)
{
    QDir(root).mkdir(relative);
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

void OrderTree::build(const QString& serverRoot, const QString& backupRoot, const Location& location)
{
    if (!location.isValid())
        return;
    const QString month = location.month + QLatin1Char('/');
    const QString day = month + location.day + QLatin1Char('/');
    const QString order = location.relative + QLatin1Char('/');
    const bool backup = !backupRoot.isEmpty();

    makeUnder(serverRoot, month);
    if (backup)
        makeUnder(backupRoot, month);
    makeUnder(serverRoot, day);
    makeUnder(serverRoot, order);
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
}
