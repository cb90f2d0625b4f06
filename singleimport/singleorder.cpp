#include "singleorder.h"

#include "config.h"
#include "fileoperation.h"
#include "formbody.h"
#include "importbookkeeping.h"
#include "photoimport.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace SingleOrder {

OrderValues OrderValues::fromConfig()
{
    OrderValues values;
    values.id = Config::order_id;
    values.number = Config::orderpayforkey;
    values.customer = Config::order_customer;
    values.serviceCount = Config::order_serverNum;
    values.cameraman = Config::order_cameraman;
    values.dresser = Config::order_dresser;
    values.photoDate = Config::order_photodate;
    return values;
}

ImportTypeEnum importType(int mode)
{
    switch (mode) {
    case 0:
        return ImportOriginal;
    case 1:
        return ImportFinished;
    default:
        return ImportDesign;
    }
}

ModeFolders modeFolders(int mode)
{
    const PhotoImport::Folders folders = PhotoImport::foldersFor(importType(mode), false);
    ModeFolders result;
    result.main = folders.main.value(0);
    result.thumb2250 = folders.thumb2250;
    result.thumb1000 = folders.thumb1000;
    result.thumb200 = folders.thumb200;
    switch (importType(mode)) {
    case ImportOriginal:
        result.caption = QStringLiteral("订单已导入照片");
        break;
    case ImportFinished:
        result.caption = QStringLiteral("订单已导入成品");
        break;
    default:
        result.caption = QStringLiteral("订单已导入设计");
        break;
    }
    return result;
}

QString countCaption(int mode, int count)
{
    // The closing bracket is the plain one, as the window has always shown it.
    return modeFolders(mode).caption + QStringLiteral("（") + QString::number(count) + QStringLiteral("张)");
}

QString emptyCaption(int mode)
{
    return modeFolders(mode).caption + QStringLiteral("（0张）");
}

QString unreadableCaption(int mode)
{
    return modeFolders(mode).caption + QStringLiteral("（%1）").arg(FileOperation::unreadableText());
}

QString orderPrefix(const QString& photoDate)
{
    const QStringList parts = photoDate.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return QString();
    return QString::number(parts.at(1).toInt()) + parts.at(2);
}

int fileNumber(const QString& fileName)
{
    const QString base = fileName.section(QLatin1Char('.'), 0, 0);
    bool ok = false;
    const int number = base.right(3).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

QString namePiece(const QString& text, bool dropHyphens)
{
    QString piece = Config::sanitizeWithRegex(text);
    if (dropHyphens)
        piece.remove(QLatin1Char('-'));
    return piece;
}

NamePieces NamePieces::clean(const QString& prefix, const QString& number, const QString& append,
                             const QString& serviceCount)
{
    return {namePiece(prefix, true), namePiece(number, false), namePiece(append, true),
            namePiece(serviceCount, false)};
}

QStringList photoNames(const NamePieces& pieces, int count, const QStringList& existing)
{
    QSet<QString> taken;
    int highest = 0;
    for (const QString& name : existing) {
        if (!name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
            continue;
        taken.insert(name.toLower());
        highest = qMax(highest, fileNumber(name));
    }
    const QString separator = pieces.append.isEmpty()
                                  ? QStringLiteral("-")
                                  : QLatin1Char('-') + pieces.append + QLatin1Char('-');
    const QString head = pieces.prefix + pieces.number + separator;

    QStringList names;
    int number = highest;
    for (int i = 0; i < count; ++i) {
        QString name;
        // Numbers read back by their last three digits only, so past 999
        // the highest one can point at a name already there: skip it.
        do {
            ++number;
            name = head + QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0')) + QStringLiteral(".jpg");
        } while (taken.contains(name.toLower()));
        names.append(name);
    }
    return names;
}

QStringList photoNamesIn(const QString& orderFolder, const NamePieces& pieces, int count)
{
    QStringList existing;
    if (!orderFolder.isEmpty())
        existing = QDir(orderFolder + modeFolders(0).main)
                       .entryList({QStringLiteral("*.jpg")}, QDir::AllEntries | QDir::NoDotAndDotDot);
    return photoNames(pieces, count, existing);
}

QString nextPhotoName(const QString& taken)
{
    const QLatin1String suffix(".jpg");
    if (!taken.endsWith(suffix))
        return QString();
    const QString base = taken.chopped(suffix.size());
    const int dash = base.lastIndexOf(QLatin1Char('-'));
    const QString digits = base.mid(dash + 1);
    // Nine digits at most: the next number still fits.
    if (dash < 0 || digits.isEmpty() || digits.size() > 9)
        return QString();
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QString();
    }
    return base.left(dash + 1) + QStringLiteral("%1").arg(digits.toInt() + 1, 3, 10, QLatin1Char('0')) +
           suffix;
}

QString orderFolderName(const NamePieces& pieces)
{
    QString name = pieces.prefix + pieces.number;
    if (!pieces.append.isEmpty())
        name += QLatin1Char('-') + pieces.append;
    return name + QLatin1Char('-') + pieces.serviceCount;
}

QString folderAppend(const QString& folderName, const NamePieces& pieces)
{
    const QString head = pieces.prefix + pieces.number + QLatin1Char('-');
    const QString tail = QLatin1Char('-') + pieces.serviceCount;
    if (folderName.size() <= head.size() + tail.size() || !folderName.startsWith(head) ||
        !folderName.endsWith(tail))
        return QString();
    return folderName.mid(head.size(), folderName.size() - head.size() - tail.size());
}

bool photoAppend(const QString& photoName, QString* append)
{
    const QStringList parts = photoName.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return false;
    *append = parts.at(1);
    return true;
}

QByteArray orderPathQueryBody(const QString& orderId)
{
    return FormBody()
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("order_photo_id"), orderId)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("superid"), Config::super_id);
}

QByteArray serverPathQueryBody()
{
    return FormBody()
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("superid"), Config::super_id);
}

QByteArray photoDateBody(const QString& orderId, const QString& photoDate)
{
    return FormBody()
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("orderid"), orderId)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("photodate"), photoDate)
        .add(QStringLiteral("superid"), Config::super_id);
}

QByteArray pathReportBody(const QString& orderId, const QString& orderPath, const QString& backupPath)
{
    return FormBody()
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("orderid"), orderId)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("orderpicpath"), orderPath)
        .add(QStringLiteral("orderbakpicpath"), backupPath);
}

QByteArray countReportBody(const QString& orderId, const QString& orderPath, const QString& backupPath,
                           int photoCount, int backupCount, int mode)
{
    const int typeId = mode == 0 ? 1 : mode == 1 ? 2 : 3;
    return FormBody()
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("order_photo_id"), orderId)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("orderpicpath"), orderPath)
        .add(QStringLiteral("orderbakpicpath"), backupPath)
        .add(QStringLiteral("picnumber"), photoCount)
        .add(QStringLiteral("picbaknumber"), backupCount)
        .add(QStringLiteral("MANAGER_ID"), Config::manager_id)
        .add(QStringLiteral("typeid"), typeId);
}

QString completionText(int mode, const Counts& before, const Counts& after)
{
    QString text =
        QStringLiteral("导入前正式库照片：%1张\n\n导入后正式库照片：%2张").arg(before.order).arg(after.order);
    if (mode != 0)
        return text + QStringLiteral("    \n");
    return text + QStringLiteral("\n\n导入前备份库照片：%1张\n\n导入后备份库照片：%2张    \n")
                      .arg(before.backup)
                      .arg(after.backup);
}

Counts committedCounts(int mode, const PhotoImport::Result& result)
{
    if (mode != 0)
        return {ImportBookkeeping::committedCounts(importType(mode), result).server, 0};
    if (!result.mainCopy || !ImportBookkeeping::isCountedPhoto(result.targetName))
        return {};
    return {1, result.backupCopy ? 1 : 0};
}

bool isHiddenChoice(const QString& path)
{
    const QFileInfo info(path);
    return info.fileName().startsWith(QLatin1Char('.')) || info.isHidden();
}

} // namespace SingleOrder
