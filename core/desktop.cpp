#include "desktop.h"

#include <QDebug>
#include <QDesktopServices>
#include <QProcess>

namespace {
SystemDesktop s_system;
Desktop* s_installed = nullptr;
} // namespace

bool Desktop::openFolder(const QString& path)
{
    qDebug() << "filePath==" << path;
    return openUrl(QUrl::fromLocalFile(path));
}

Desktop& Desktop::instance()
{
    return s_installed ? *s_installed : static_cast<Desktop&>(s_system);
}

void Desktop::install(Desktop* desktop)
{
    s_installed = desktop;
}

bool SystemDesktop::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool SystemDesktop::startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}
