#include "separationfiles.h"

#include "config.h"

#include <QDir>
#include <QFileInfo>

namespace SeparationFiles {

QString orderFolderName(const QString& orderKey, const QString& serviceCount, const QString& customer,
                        const QString& pickupType)
{
    return Config::sanitizeWithRegex(orderKey) + QStringLiteral("-服务") + Config::sanitizeWithRegex(serviceCount) +
           QLatin1Char(' ') + Config::sanitizeWithRegex(customer) + QLatin1Char(' ') +
           Config::sanitizeWithRegex(pickupType);
}

QStringList folderEntries(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    return QDir(folder).entryList(QDir::AllEntries, QDir::Name | QDir::IgnoreCase);
}

QStringList pictureFiles(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png")});
    return dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QStringList uncopied(const QString& sourceFolder, const QString& targetFolder, const QStringList& names)
{
    QStringList failed;
    for (const QString& name : names) {
        const QFileInfo source(sourceFolder + name);
        if (!source.isFile() || source.isSymLink())
            continue;
        const QFileInfo target(targetFolder + name);
        if (!target.isFile() || target.size() < source.size())
            failed.append(targetFolder + QLatin1Char(':') + name);
    }
    return failed;
}

QString reportFileName(const QString& pathText, const QString& chosenRoot, const QDate& day,
                       const QStringList& orderKeys)
{
    QString root = pathText.isEmpty() ? chosenRoot : pathText;
    if (!root.endsWith(QLatin1Char('/')) && !root.endsWith(QLatin1Char('\\')))
        root += QLatin1Char('/');
    QStringList keys;
    for (const QString& key : orderKeys)
        keys.append(Config::sanitizeWithRegex(key));
    const QString tail = QStringLiteral("分件结果.txt");
    QString head = keys.join(QStringLiteral("、"));
    const int room = 255 - tail.toUtf8().size();
    while (head.toUtf8().size() > room) {
        head.chop(1);
        if (!head.isEmpty() && QChar(head.back()).isHighSurrogate())
            head.chop(1);
    }
    return root + day.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('/') + head + tail;
}

} // namespace SeparationFiles
