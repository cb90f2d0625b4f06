#include "testfiles.h"

#include <QDateTime>
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

bool TestFiles::writeAged(const QString& path, const QByteArray& content, int hours)
{
    if (!write(path, content))
        return false;
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(QDateTime::currentDateTime().addSecs(-hours * 3600),
                                                         QFileDevice::FileModificationTime);
}

QStringList TestFiles::entries(const QString& dir, QDir::Filters filters)
{
    return QDir(dir).entryList(filters, QDir::Name);
}
