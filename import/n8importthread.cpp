#include "n8importthread.h"

#include "config.h"
#include "fileoperation.h"
#include "serverpath.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace N8Import {

QString localPath(const QString& path)
{
    return Config::localPath(path);
}

QString folderName(const QString& chosen)
{
    if (chosen.isEmpty())
        return QString();
    return QFileInfo(QDir::cleanPath(QFileInfo(chosen).absoluteFilePath())).fileName();
}

QString destinationRoot(const QString& n8Folder, const QString& chosen)
{
    const QString name = folderName(chosen);
    QString root = localPath(n8Folder);
    if (name.isEmpty() || root.isEmpty())
        return QString();
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root + name;
}

namespace {

// The path as the file system resolves it, where it exists.
QString resolved(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.exists() ? info.canonicalFilePath() : QString();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

// Free when every file below folder is the page at the same place below
// source, with the same content. A link is never one of our pages (the
// copies make none), and is not followed; a folder that cannot be listed, or
// an entry that cannot be looked at, may hold anything.
Destination holdsOnlyPagesOf(const QString& folder, const QString& source)
{
    QFileInfoList entries;
    if (!FileOperation::listFolder(folder, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, &entries))
        return Destination::Unreadable;
    for (const QFileInfo& entry : entries) {
        const QString counterpart = source + QLatin1Char('/') + entry.fileName();
        Destination found = Destination::Taken; // a link, a special file, or one gone since the reading
        switch (FileOperation::lookUpNoFollow(entry.filePath())) {
        case FileOperation::Presence::Unreadable:
            return Destination::Unreadable;
        case FileOperation::Presence::Folder:
            found = holdsOnlyPagesOf(entry.filePath(), counterpart);
            break;
        case FileOperation::Presence::File: {
            // A page that cannot be read, on either side, may be this very
            // page: never taken for another order's.
            bool unreadable = false;
            if (FileOperation::isSameContent(entry.filePath(), counterpart, &unreadable))
                found = Destination::Free;
            else if (unreadable)
                found = Destination::Unreadable;
            break;
        }
        case FileOperation::Presence::Missing:
        case FileOperation::Presence::Other:
            break;
        }
        if (found != Destination::Free)
            return found;
    }
    return Destination::Free;
}

} // namespace

Refusal check(const QString& chosen, const QString& n8Folder)
{
    const QString n8 = QDir::cleanPath(localPath(n8Folder));
    const QString mountRoot = QDir::cleanPath(Config::volumesRoot());
    if (n8Folder.trimmed().isEmpty() || !QDir::isAbsolutePath(n8) || n8 == QLatin1String("/") ||
        n8 == mountRoot || resolved(n8) == resolved(mountRoot))
        return Refusal::NoN8Folder;
    // Tested before cleaning: ".." levels may climb out of the shares.
    if (!ServerPath::isUnderMountRoot(localPath(n8Folder)))
        return Refusal::OutsideMountRoot;

    const QString name = folderName(chosen);
    const QFileInfo source(QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()));
    if (name.isEmpty() || !source.isDir())
        return Refusal::UnusableSource;
    const QString sourcePath = source.canonicalFilePath();
    if (sourcePath.isEmpty() || sourcePath == QLatin1String("/"))
        return Refusal::UnusableSource;

    // A destination inside the folder being walked would be walked too, and
    // grow with every level it adds.
    const QString destination = resolved(n8) + QLatin1Char('/') + name;
    if (destination == sourcePath || destination.startsWith(sourcePath + QLatin1Char('/')))
        return Refusal::DestinationInSource;
    return Refusal::None;
}

Destination isFreeFor(const QString& destination, const QString& chosen, const QString& recordedN8Folder)
{
    switch (FileOperation::lookUp(destination)) {
    case FileOperation::Presence::Unreadable:
        return Destination::Unreadable;
    case FileOperation::Presence::Folder:
        break;
    case FileOperation::Presence::Missing:
    case FileOperation::Presence::File:
    case FileOperation::Presence::Other:
        return Destination::Free;
    }
    const QString clean = QDir::cleanPath(destination);
    if (!recordedN8Folder.isEmpty() && QDir::cleanPath(localPath(recordedN8Folder)) == clean)
        return Destination::Free;
    return holdsOnlyPagesOf(clean, QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()));
}

} // namespace N8Import

N8ImportThread::N8ImportThread(int row, int currentCount, int totalCount, QString toDir, N8FileInfo info,
                               JobOwnerHandle receiver)
    : m_row(row), m_currentCount(currentCount), m_totalCount(totalCount), m_toDir(std::move(toDir)),
      m_info(std::move(info)), m_receiver(std::move(receiver))
{
}

N8ImportThread::~N8ImportThread() = default;

void N8ImportThread::run()
{
    // A job of a dialog that has been closed copies nothing more.
    if (!m_receiver.isShown())
        return;
    if (m_stop && m_stop->load()) {
        m_receiver.post("n8CopyNotStartedSlot", m_row);
        m_receiver.post("importCopyN8ProgressSlot", m_row, m_currentCount, m_totalCount, m_toDir);
        return;
    }
    import();
}

void N8ImportThread::import()
{
    FileOperation::WriteError error = FileOperation::WriteError::None;
    if (!copyFile(m_info.getFromPath(), m_info.getToPath(), &error))
        m_receiver.post("n8CopyFailedSlot", m_row, m_info.getToPath(),
                        error == FileOperation::WriteError::DiskFull);
    m_receiver.post("importCopyN8ProgressSlot", m_row, m_currentCount, m_totalCount, m_toDir);
}

bool N8ImportThread::copyFile(QString source, QString target, FileOperation::WriteError* error)
{
    if (error)
        *error = FileOperation::WriteError::None;
    if (source == target)
        return true;
    if (!QFileInfo::exists(source))
        return false;

    const QString folder = target.left(target.lastIndexOf(QLatin1Char('/')));
    QString status;
    if (QFileInfo(folder).isDir()) {
        status = QStringLiteral("不用创建目录") + folder;
    } else {
        status = QStringLiteral("复制文件需要创建目录 原目录：") + target + QStringLiteral(" 配置的目录：") +
                 folder;
        // Another job may make the same folder at the same moment; a folder
        // that exists afterwards is all that matters.
        QDir().mkpath(folder);
    }
    m_receiver.post("slt_n8threadmsg", status);

    qDebug() << target;
    if (m_swept)
        m_swept->sweepOnce(folder);
    bool taken = false;
    if (FileOperation::copyNewFile(source, target, &taken, error))
        return FileOperation::syncFolder(folder);
    // A page already in place is never replaced. It counts as this one only
    // with the same bytes: a corrected page left out is a failed copy.
    return taken && FileOperation::isSameContent(source, target);
}
