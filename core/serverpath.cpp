#include "serverpath.h"

#include "config.h"

#include <QDir>
#include <QStringList>

bool ServerPath::isUnderMountRoot(const QString& mappedPath)
{
    if (!mappedPath.startsWith(QLatin1Char('/')))
        return false;
    for (const QString& level : mappedPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (level == QLatin1String(".") || level == QLatin1String(".."))
            return false;
    }
    const QString root = QDir::cleanPath(Config::volumesRoot());
    const QString clean = QDir::cleanPath(mappedPath);
    return clean.startsWith(root == QLatin1String("/") ? root : root + QLatin1Char('/')) && clean != root;
}
