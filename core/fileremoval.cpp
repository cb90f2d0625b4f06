#include "fileoperation.h"
#include "fileoperation_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isRealDir(const QFileInfo& info)
{
    return info.isDir() && !info.isSymLink();
}

bool removeEntry(const QFileInfo& info)
{
    const QString path = info.absoluteFilePath();
    if (faultAt(FileOperation::Fault::Remove, path))
        return false;
    if (isRealDir(info))
        return QDir().rmdir(path);
    return QFile::remove(path);
}

// Removes the entry name of the open folder parentFd, a folder with all it
// holds. Every folder is opened without following a link and listed and
// emptied through its handle, so a folder that is swapped for a link after
// it was looked at is never followed: the link's target stays untouched.
// path is the entry's path, for the fault hook and the log only. With
// keepHidden, hidden entries stay, and so do the folders that hold them.
bool removeAt(int parentFd, const QByteArray& name, const QString& path, bool keepHidden)
{
    const int fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOTDIR && errno != ELOOP)
            return false;
        // A file or a link: it goes itself, nothing it points to.
        if (faultAt(FileOperation::Fault::Remove, path))
            return false;
        return ::unlinkat(parentFd, name.constData(), 0) == 0;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    QList<QByteArray> names;
    bool removed = true;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray child(entry->d_name);
        if (child == "." || child == "..")
            continue;
        if (keepHidden && child.startsWith('.'))
            removed = false;
        else
            names.append(child);
    }
    for (const QByteArray& child : qAsConst(names)) {
        if (!removeAt(fd, child, path + QLatin1Char('/') + QFile::decodeName(child), keepHidden))
            removed = false;
    }
    ::closedir(dir); // closes fd
    if (!removed || faultAt(FileOperation::Fault::Remove, path))
        return false;
    // The name may now be a link put in the folder's place: that fails.
    return ::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) == 0;
}

// Removes the folder at path with everything in it; true when it is gone.
bool removeTreeAt(const QString& path, bool keepHidden)
{
    const QFileInfo info(path);
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    const QString parent = QFileInfo(clean).absolutePath();
    if (QFileInfo(clean).fileName().isEmpty())
        return false;
    const int parentFd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return false;
    removeAt(parentFd, QFile::encodeName(QFileInfo(clean).fileName()), clean, keepHidden);
    ::close(parentFd);
    // Gone only when the look-up says the name is not there: one that
    // cannot be looked at may still hold everything.
    return FileOperation::lookUpNoFollow(path) == FileOperation::Presence::Missing;
}

} // namespace

bool FileOperation::removeFile(QString path)
{
    if (faultAt(Fault::Remove, path))
        return false;
    return QFile::remove(path);
}

bool FileOperation::removeDir(QString path)
{
    if (!isRealDir(QFileInfo(path)))
        return false;
    // Hidden entries are not this removal's to take; a folder holding one stays.
    return removeTreeAt(path, true);
}

bool FileOperation::removeFolderContent(QString path)
{
    const QFileInfo top(path);
    if (top.isSymLink()) {
        // Never empty the folder a link points to; the link alone goes.
        return removeEntry(top) && !QFileInfo(path).isSymLink();
    }
    if (!top.isDir())
        return false;
    return removeTreeAt(path, false);
}

bool FileOperation::removeEmptyDir(const QString& path)
{
    if (faultAt(Fault::Remove, path))
        return false;
    return ::rmdir(QFile::encodeName(path).constData()) == 0;
}
