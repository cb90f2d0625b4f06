#include "imagetime.h"

#include "fileoperation.h"

#include <QFile>
#include <QFileInfo>

QString ImageTime::record(const QString& newName, const QString& shotTime)
{
    if (shotTime.isEmpty())
        return QString();
    const int dot = newName.lastIndexOf(QLatin1Char('.'));
    const QString name = dot < 0 ? newName : newName.left(dot);
    return name + QLatin1Char('>') + shotTime + QLatin1Char('|');
}

QList<ImageTime::MatchInfo> ImageTime::parse(const QString& text)
{
    QList<MatchInfo> infos;
    for (const QString& part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QStringList fields = part.split(QLatin1Char('>'));
        if (fields.size() == 2)
            infos.append({fields.at(0), fields.at(1)});
    }
    return infos;
}

QString ImageTime::filePath(const QString& orderFolder)
{
    QString folder = orderFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("ImageTime.txt");
}

bool ImageTime::append(const QString& orderFolder, const QString& records)
{
    return FileOperation::appendFile(filePath(orderFolder), records.toUtf8(), '|');
}

QString ImageTime::readFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).size() == 0 || !file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}
