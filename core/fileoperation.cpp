#include "fileoperation.h"

#include "desktop.h"

#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QMutex s_hookMutex;
FileOperation::FaultHook s_hook;

bool faultAt(FileOperation::Fault fault, const QString& path)
{
    FileOperation::FaultHook hook;
    {
        QMutexLocker lock(&s_hookMutex);
        hook = s_hook;
    }
    return hook && hook(fault, path);
}

const QLatin1String kPartialPrefix(".dravin-");
const QLatin1String kPartialSuffix(".part");

enum class Commit { Replace, NumberIfTaken, FailIfTaken };

// Renames from onto to unless to exists. Falls back to a hard link where
// the file system has no no-replace rename.
int renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    if (::link(f.constData(), t.constData()) == 0) {
        ::unlink(f.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // No links either: test and rename, the best this file system allows.
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return EEXIST;
    if (::rename(f.constData(), t.constData()) == 0)
        return 0;
    return errno;
}

// Moves the finished temporary file to its name by the commit rule.
bool commitTemp(const QString& temp, const QString& target, Commit mode, QString* usedPath)
{
    if (mode == Commit::Replace) {
        if (QFileInfo(target).isDir() && !QFileInfo(target).isSymLink())
            return false;
        if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0)
            return false;
        if (usedPath)
            *usedPath = target;
        return true;
    }
    for (int n = 0; n < 100000; ++n) {
        const QString candidate = n == 0 ? target : FileOperation::numberedName(target, n);
        if (n > 0 && (QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink()))
            continue;
        const int err = renameNoReplace(temp, candidate);
        if (err == 0) {
            if (usedPath)
                *usedPath = candidate;
            return true;
        }
        if (err != EEXIST || mode == Commit::FailIfTaken)
            return false;
    }
    return false;
}

// Writes a hidden temporary file in the target's folder with the writer,
// then commits it; the temporary file never outlives a failure.
template <typename Writer>
bool writeVia(const QString& target, Commit mode, QString* usedPath, QFile::Permissions permissions,
              Writer writer)
{
    const QString dir = QFileInfo(target).absolutePath();
    QTemporaryFile temp(dir + QLatin1Char('/') + kPartialPrefix + QStringLiteral("XXXXXX") + kPartialSuffix);
    temp.setAutoRemove(true);
    if (!temp.open())
        return false;
    if (!writer(temp) || faultAt(FileOperation::Fault::Write, target) || !temp.flush())
        return false;
    temp.setPermissions(permissions);
    const QString tempPath = temp.fileName();
    temp.close();
    if (!commitTemp(tempPath, target, mode, usedPath))
        return false;
    temp.setAutoRemove(false); // it is the target now
    return true;
}

const QFile::Permissions kDefaultPermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;

bool copyTo(const QString& source, const QString& target, Commit mode, QString* usedPath = nullptr)
{
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = in.size();
    QFile::Permissions permissions = in.permissions() | QFile::WriteOwner | QFile::WriteUser;
    return writeVia(target, mode, usedPath, permissions, [&](QFile& out) {
        QByteArray buffer;
        qint64 copied = 0;
        while (!in.atEnd()) {
            buffer = in.read(4 * 1024 * 1024);
            if (buffer.isEmpty() && in.error() != QFile::NoError)
                return false;
            if (out.write(buffer) != buffer.size())
                return false;
            copied += buffer.size();
        }
        return copied == size && in.error() == QFile::NoError;
    });
}

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

QFileInfoList listAll(const QString& dir)
{
    return QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                   QDir::Name);
}

QString listFilePath(const QString& name)
{
    return QDir::currentPath() + QLatin1Char('/') + name;
}

} // namespace

void FileOperation::setFaultHook(FaultHook hook)
{
    QMutexLocker lock(&s_hookMutex);
    s_hook = std::move(hook);
}

QString FileOperation::numberedName(const QString& target, int n)
{
    const QString suffix = target.right(4);
    if (suffix.compare(QLatin1String(".jpg"), Qt::CaseInsensitive) == 0)
        return target.left(target.size() - 4) + QStringLiteral("(%1).jpg").arg(n);
    const int slash = target.lastIndexOf(QLatin1Char('/'));
    const int dot = target.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1)
        return target.left(dot) + QStringLiteral("(%1)").arg(n) + target.mid(dot);
    return target + QStringLiteral("(%1)").arg(n);
}

bool FileOperation::isPartialFile(const QString& fileName)
{
    return fileName.startsWith(kPartialPrefix) && fileName.endsWith(kPartialSuffix);
}

bool FileOperation::copyFile(QString source, QString target, bool overwrite)
{
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (source == target)
        return true;
    if (!QFileInfo::exists(source))
        return false;
    return copyTo(source, target, overwrite ? Commit::Replace : Commit::NumberIfTaken);
}

bool FileOperation::copyNewFile(QString source, QString target, bool* targetTaken)
{
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (targetTaken)
        *targetTaken = false;
    if (source == target)
        return true;
    if (!QFileInfo::exists(source))
        return false;
    auto taken = [&target] { return QFileInfo::exists(target) || QFileInfo(target).isSymLink(); };
    if (!taken() && copyTo(source, target, Commit::FailIfTaken))
        return true;
    if (targetTaken)
        *targetTaken = taken();
    return false;
}

bool FileOperation::writeFile(const QByteArray& data, QString target, bool overwrite, QString* usedPath)
{
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return writeVia(target, overwrite ? Commit::Replace : Commit::NumberIfTaken, usedPath, kDefaultPermissions,
                    [&](QFile& out) { return out.write(data) == data.size(); });
}

bool FileOperation::appendFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (faultAt(Fault::Write, path) || !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const bool written = file.write(data) == data.size();
    file.close();
    return written && file.error() == QFile::NoError;
}

bool FileOperation::isFileExist(QString path)
{
    return QFileInfo(path).isFile();
}

bool FileOperation::isDirExist(QString path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FileOperation::makeDir(QString path)
{
    if (isDirExist(path))
        return true;
    return QDir().mkdir(path);
}

QString FileOperation::makeDir_forProductDir(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    path.replace(QLatin1Char('*'), QLatin1Char('x'));
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    while (path.endsWith(QLatin1Char(' ')))
        path.chop(1);
    path += QLatin1Char('/');
    if (!QFileInfo::exists(path)) {
        return QDir().mkdir(path) ? path : QString();
    }
    const QString base = path.left(path.size() - 1);
    for (int n = 1;; ++n) {
        const QString candidate = base + QStringLiteral("(%1)").arg(n);
        if (!QFileInfo::exists(candidate))
            return QDir().mkdir(candidate) ? candidate : QString();
    }
}

bool FileOperation::copyDir(QString source, QString target, bool overwrite)
{
    if (!isDirExist(target) && !QDir().mkdir(target))
        return false;
    const QFileInfoList entries =
        QDir(source).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    const int total = entries.size();
    for (int i = 0; i < total; ++i) {
        const QFileInfo& entry = entries.at(i);
        qDebug().noquote() << "复制目录" << QString::number((i + 1) * 100.0 / total, 'f', 2) + QLatin1Char('%');
        const QString to = target + QLatin1Char('/') + entry.fileName();
        if (entry.isSymLink() && entry.isDir())
            continue; // a linked folder is not followed out of the tree
        if (entry.isDir()) {
            if (!copyDir(entry.absoluteFilePath(), to, overwrite))
                return false;
        } else if (!copyTo(entry.absoluteFilePath(), to, overwrite ? Commit::Replace : Commit::FailIfTaken)) {
            return false;
        }
    }
    return true;
}

bool FileOperation::removeFile(QString path)
{
    if (faultAt(Fault::Remove, path))
        return false;
    return QFile::remove(path);
}

bool FileOperation::removeDir(QString path)
{
    const QFileInfo top(path);
    if (!isRealDir(top))
        return false;
    const QFileInfoList entries =
        QDir(path).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        if (isRealDir(entry))
            removeDir(entry.absoluteFilePath());
        else
            removeEntry(entry);
    }
    if (faultAt(Fault::Remove, path))
        return false;
    QDir().rmdir(path);
    return !QFileInfo::exists(path);
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

    QList<QFileInfo> work = listAll(path);
    QSet<QString> seen;
    for (const QFileInfo& info : work)
        seen.insert(info.absoluteFilePath());

    while (!work.isEmpty()) {
        bool progress = false;
        for (int i = work.size() - 1; i >= 0; --i) {
            const QFileInfo entry = work.at(i);
            if (!isRealDir(entry)) {
                if (removeEntry(entry))
                    progress = true;
                work.removeAt(i);
                continue;
            }
            const QFileInfoList inside = listAll(entry.absoluteFilePath());
            if (inside.isEmpty()) {
                if (removeEntry(entry))
                    progress = true;
                work.removeAt(i);
                continue;
            }
            for (const QFileInfo& child : inside) {
                const QString childPath = child.absoluteFilePath();
                if (seen.contains(childPath)) {
                    bool listed = false;
                    for (const QFileInfo& w : qAsConst(work))
                        listed = listed || w.absoluteFilePath() == childPath;
                    if (listed)
                        continue;
                } else {
                    seen.insert(childPath);
                    progress = true;
                }
                work.append(child);
            }
        }
        // A pass that neither removed nor found anything new would repeat
        // itself forever: something in the tree cannot be removed.
        if (!progress)
            return false;
    }
    if (!faultAt(Fault::Remove, path))
        QDir().rmdir(path);
    return !QFileInfo::exists(path);
}

QString FileOperation::getFileName(QString path)
{
    return path.split(QLatin1Char('/')).last();
}

int FileOperation::getFileImagesCount(QString folder)
{
    if (!isDirExist(folder))
        return 0;
    return QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::AllEntries | QDir::NoDotAndDotDot).size();
}

QString FileOperation::rootPath(QString path)
{
    return path.left(3);
}

bool FileOperation::hide(QString)
{
    return false;
}

bool FileOperation::hideOnWin(QString)
{
    return false;
}

bool FileOperation::hideOnMac(QString)
{
    return false;
}

void FileOperation::openFileDir(QString folder)
{
    Desktop::instance().openFolder(folder);
}

QStringList FileOperation::readFromDAT(QString fileName, int count)
{
    QStringList list;
    QFile file(listFilePath(fileName));
    if (file.size() == 0 || count <= 0 || !file.open(QIODevice::ReadOnly))
        return list;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_4_4);
    for (int i = 0; i < count; ++i) {
        QString text;
        if (!in.atEnd())
            in >> text;
        if (in.status() != QDataStream::Ok)
            text.clear();
        list.append(text);
    }
    return list;
}

bool FileOperation::writeToDAT(QString fileName, QStringList texts, bool hideFile)
{
    const QString path = listFilePath(fileName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_4_4);
    for (const QString& text : texts)
        out << text;
    if (out.status() != QDataStream::Ok || !file.commit())
        return false;
    if (hideFile)
        hide(path);
    return true;
}
