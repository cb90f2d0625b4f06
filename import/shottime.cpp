#include "shottime.h"

#include "exifreader.h"

#include <QFile>

bool ShotTime::read(const QString& path, QString& shotTime)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    const QString time = ExifReader::shotTime(path);
    if (!time.isEmpty())
        shotTime = time;
    return true;
}
