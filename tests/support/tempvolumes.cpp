#include "tempvolumes.h"

#include "config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempVolumes::TempVolumes() : m_previousRoot(Config::volumesRoot())
{
    Config::setVolumesRoot(m_dir.path() + QStringLiteral("/Volumes"));
    QDir().mkpath(root());
}

TempVolumes::~TempVolumes()
{
    Config::setVolumesRoot(m_previousRoot);
}

QString TempVolumes::root() const
{
    return Config::volumesRoot();
}

QString TempVolumes::path(const QString& relative) const
{
    return root() + relative;
}

QString TempVolumes::mkdir(const QString& relative) const
{
    const QString p = path(relative);
    QDir().mkpath(p);
    return p;
}

QString TempVolumes::writeFile(const QString& relative, const QByteArray& content) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return p;
}
