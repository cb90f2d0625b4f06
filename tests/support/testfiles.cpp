#include "testfiles.h"

#include <QFile>
#include <QFileInfo>

QByteArray TestFiles::readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool TestFiles::write(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QStringList TestFiles::entries(const QString& dir, QDir::Filters filters)
{
    return QDir(dir).entryList(filters, QDir::Name);
}
