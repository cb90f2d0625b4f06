#include "fileoperation.h"
#include "fileoperation_p.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QLatin1String kPartialPrefix(".dravin-");
const QLatin1String kPartialSuffix(".part");
// A claim's record, beside its temporary file under the same stem: hidden,
// and never taken for a temporary file itself.
const char kClaimSuffix[] = ".claim";

using NameRule = FileOperation::NameRule;

// True when path names the file described by made (not through a link);
// with empty, only while that file is empty.
bool isStill(const QByteArray& path, const struct stat& made, bool empty = false)
{
    struct stat now;
    return ::lstat(path.constData(), &now) == 0 && now.st_dev == made.st_dev && now.st_ino == made.st_ino &&
           (!empty || now.st_size == 0);
}

// The record of the claims a temporary file makes (path or name).
QByteArray claimRecordOf(const QByteArray& temp)
{
    const QByteArray stem =
        temp.endsWith(kPartialSuffix.latin1()) ? temp.chopped(kPartialSuffix.size()) : temp;
    return stem + kClaimSuffix;
}

bool isClaimRecord(const QByteArray& name)
{
    return name.startsWith(kPartialPrefix.latin1()) && name.endsWith(kClaimSuffix);
}

// Writes the name about to be claimed (a name in the temporary file's own
// folder, ended by a newline, so a record cut short names nothing) into the
// record, replacing the name an earlier candidate wrote there.
void writeClaimRecord(const QByteArray& record, const QByteArray& target)
{
    const QByteArray text = target.mid(target.lastIndexOf('/') + 1) + '\n';
    const int fd = ::open(record.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
    const bool written = fd >= 0 && FileOperation::writeAll(fd, text.constData(), text.size()) == 0;
    if ((fd >= 0 && ::close(fd) != 0) || !written)
        qDebug() << "认领记录未能写入" << QFile::decodeName(record);
}

// The name a claim record names: a plain name in the record's folder
// (dirFd), or empty when the record is missing, unfinished or names
// anything else.
QByteArray claimedName(int dirFd, const QByteArray& record)
{
    const int fd = ::openat(dirFd, record.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    char buffer[NAME_MAX + 2];
    qint64 size = 0;
    ssize_t n = 0;
    while (size < qint64(sizeof buffer) && (n = ::read(fd, buffer + size, sizeof buffer - size_t(size))) > 0)
        size += n;
    ::close(fd);
    const QByteArray text(buffer, int(size));
    const QByteArray name = text.left(text.size() - 1);
    if (!text.endsWith('\n') || name.isEmpty() || name == "." || name == ".." || name.contains('/') ||
        name.contains('\n') || name.contains('\0'))
        return QByteArray();
    return name;
}

// Where neither a no-replace rename nor a link exists: the name is taken by
// an exclusive create, and the finished temporary file is renamed over that
// empty file. Should the rename fail, the empty file goes again, but only
// while it is still the one made here. A crash between the two would leave
// the photo's name to an empty file and the photo in the temporary file:
// the record written before each create tells the sweep which name the
// temporary file was meant to take (removeStaleTempFiles).
int claimByCreate(const QByteArray& f, const QByteArray& t)
{
    const QByteArray record = claimRecordOf(f);
    writeClaimRecord(record, t);
    const int fd = ::open(t.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        const int err = errno;
        ::unlink(record.constData());
        return err;
    }
    faultAt(FileOperation::Fault::Claimed, QFile::decodeName(t));
    struct stat made;
    const bool known = ::fstat(fd, &made) == 0;
    ::close(fd);
    int err = 0;
    if (::rename(f.constData(), t.constData()) != 0) {
        err = errno;
        if (known && isStill(t, made, true))
            ::unlink(t.constData());
    }
    ::unlink(record.constData());
    // The name was this commit's: a refused rename is no taken name.
    return err == EEXIST ? EIO : err;
}

// Gives the temporary file from the name to unless to exists: a no-replace
// rename; where the file system has none, a hard link; where it has no links
// either, an exclusive create (claimByCreate). 0, EEXIST when the name is
// taken, or the error that failed the commit. Never a test and then a
// rename: another station could take the name between the two.
int renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    const bool noLinks = faultAt(FileOperation::Fault::NoLinks, to);
    const bool resent = !noLinks && faultAt(FileOperation::Fault::LinkResent, to);
#ifdef RENAME_NOREPLACE
    if (!noLinks && !resent) {
        if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return errno;
    }
#endif
    int err = EPERM;
    if (!noLinks)
        err = ::link(f.constData(), t.constData()) == 0 ? (resent ? EEXIST : 0) : errno;
    struct stat temp;
    // A link that answers EEXIST may be this very link, made by a request
    // the share was sent twice: the name then holds the temporary file.
    if (err == EEXIST && ::lstat(f.constData(), &temp) == 0 && isStill(t, temp))
        err = 0;
    if (err == 0) {
        ::unlink(f.constData());
        return 0;
    }
    if (err != EPERM && err != EOPNOTSUPP && err != ENOSYS)
        return err;
    return claimByCreate(f, t);
}

// Moves the finished temporary file to its name by the rule; err receives
// EEXIST when a new-only name was taken.
bool commitTemp(const QString& temp, const QString& target, NameRule mode, QString* usedPath, int* err)
{
    *err = 0;
    if (mode == NameRule::Replace) {
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
        *err = renameNoReplace(temp, candidate);
        if (*err == 0) {
            if (usedPath)
                *usedPath = candidate;
            return true;
        }
        if (*err != EEXIST || mode == NameRule::NewOnly)
            return false;
    }
    return false;
}

const qint64 kReadBlock = 64 * 1024;

} // namespace

int FileOperation::writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(size, 1 << 20)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
    }
    return 0;
}

namespace {

// Reads the open file to its end into buffer (capacity bytes): each block
// at the buffer's start, or with append after the blocks before it; the
// sink takes each block (data, length) as it comes. False when a read fails
// before the end, or with append when the file outgrows the buffer (the
// sink may have taken part of the data).
template <typename Sink>
bool readBlocks(QFile& in, char* buffer, qint64 capacity, bool append, Sink sink)
{
    const qint64 size = in.size();
    qint64 done = 0;
    while (true) {
        char* at = append ? buffer + done : buffer;
        const qint64 room = append ? capacity - done : capacity;
        if (room <= 0)
            return false;
        const qint64 n = in.read(at, done == 0 ? qMin(kReadBlock, room) : room);
        if (n < 0 || in.error() != QFile::NoError)
            return false;
        if (n == 0)
            break;
        if (done == 0 && faultAt(FileOperation::Fault::Read, in.fileName()))
            return false;
        if (!sink(at, n))
            return false;
        done += n;
    }
    return done == size;
}

FileOperation::WriteError writeErrorOf(int err)
{
    if (err == 0)
        return FileOperation::WriteError::None;
    return err == ENOSPC || err == EDQUOT ? FileOperation::WriteError::DiskFull : FileOperation::WriteError::Other;
}

// Makes a new hidden temporary file in folder dir, opened for writing;
// the descriptor (or -1 with errno set) and its path.
int openTemp(const QString& dir, QString* path, mode_t mode)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = kPartialPrefix;
        for (int i = 0; i < 8; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        name += kPartialSuffix;
        *path = dir + QLatin1Char('/') + name;
        const int fd =
            ::open(QFile::encodeName(*path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

mode_t modeOf(QFile::Permissions permissions)
{
    mode_t mode = 0;
    if (permissions & (QFile::ReadOwner | QFile::ReadUser))
        mode |= S_IRUSR;
    if (permissions & (QFile::WriteOwner | QFile::WriteUser))
        mode |= S_IWUSR;
    if (permissions & (QFile::ExeOwner | QFile::ExeUser))
        mode |= S_IXUSR;
    if (permissions & QFile::ReadGroup)
        mode |= S_IRGRP;
    if (permissions & QFile::WriteGroup)
        mode |= S_IWGRP;
    if (permissions & QFile::ExeGroup)
        mode |= S_IXGRP;
    if (permissions & QFile::ReadOther)
        mode |= S_IROTH;
    if (permissions & QFile::WriteOther)
        mode |= S_IWOTH;
    if (permissions & QFile::ExeOther)
        mode |= S_IXOTH;
    return mode;
}

// Writes a hidden temporary file in the target's folder with the writer
// and commits it by the rule: see FileOperation::StagedFile.
bool writeVia(const QString& target, NameRule mode, QString* usedPath, QFile::Permissions permissions,
              FileOperation::WriteError* error, const std::function<int(int fd)>& writer)
{
    FileOperation::StagedFile file;
    const bool written = file.startWith(target, permissions, writer) && file.commit(target, mode, usedPath);
    if (error)
        *error = file.error();
    return written;
}

const QFile::Permissions kDefaultPermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;

bool copyTo(const QString& source, const QString& target, NameRule mode, QString* usedPath = nullptr,
            FileOperation::WriteError* error = nullptr)
{
    if (error)
        *error = FileOperation::WriteError::None;
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    QFile::Permissions permissions = in.permissions() | QFile::WriteOwner | QFile::WriteUser;
    bool readFailed = false;
    const bool written = writeVia(target, mode, usedPath, permissions, error, [&](int fd) {
        int err = 0;
        const qint64 capacity = qBound<qint64>(kReadBlock, in.size(), 4 * 1024 * 1024);
        const std::unique_ptr<char[]> buffer(new char[size_t(capacity)]);
        const bool read =
            readBlocks(in, buffer.get(), capacity, false, [&](const char* block, qint64 length) {
                err = FileOperation::writeAll(fd, block, length);
                return err == 0;
            });
        if (err)
            return err;
        readFailed = !read;
        return read ? 0 : EIO;
    });
    // A source that could not be read is no failure of the target.
    if (readFailed && error)
        *error = FileOperation::WriteError::None;
    return written;
}

} // namespace

FileOperation::StagedFile::~StagedFile()
{
    discard();
}

FileOperation::StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_tempPath(std::exchange(other.m_tempPath, QString())),
      m_fd(std::exchange(other.m_fd, -1)), m_mode(other.m_mode), m_error(other.m_error)
{
}

FileOperation::StagedFile& FileOperation::StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_tempPath = std::exchange(other.m_tempPath, QString());
        m_fd = std::exchange(other.m_fd, -1);
        m_mode = other.m_mode;
        m_error = other.m_error;
    }
    return *this;
}

void FileOperation::StagedFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.isEmpty())
        ::unlink(QFile::encodeName(m_tempPath).constData());
    m_tempPath.clear();
}

bool FileOperation::StagedFile::fail(int err)
{
    m_error = writeErrorOf(err);
    discard();
    return false;
}

QFile::Permissions FileOperation::StagedFile::defaultPermissions()
{
    return kDefaultPermissions;
}

bool FileOperation::StagedFile::start(const QByteArray& data, const QString& target)
{
    return startWith(target, kDefaultPermissions,
                     [&data](int fd) { return FileOperation::writeAll(fd, data.constData(), data.size()); });
}

bool FileOperation::StagedFile::startWith(const QString& target, QFile::Permissions permissions,
                                          const std::function<int(int fd)>& writer)
{
    discard();
    m_target = target;
    m_error = WriteError::None;
    m_mode = modeOf(permissions);
    QString tempPath;
    const int fd = openTemp(QFileInfo(target).absolutePath(), &tempPath, m_mode);
    if (fd < 0)
        return fail(errno ? errno : EIO);
    m_fd = fd;
    m_tempPath = tempPath;
    int err = writer(fd);
    if (!err && faultAt(Fault::DiskFull, target))
        err = ENOSPC;
    if (!err && faultAt(Fault::Write, target))
        err = EIO;
    if (err)
        return fail(err);
    // Only a request: the sync at commit is what counts, and then mostly
    // finds the data already on its way.
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}

bool FileOperation::StagedFile::commit(const QString& target, NameRule rule, QString* usedPath, bool* taken)
{
    if (taken)
        *taken = false;
    if (m_tempPath.isEmpty()) {
        if (m_error == WriteError::None)
            m_error = WriteError::Other;
        return false;
    }
    if (m_fd >= 0) {
        int err = 0;
        if (::fdatasync(m_fd) != 0)
            err = errno;
        // The mode is set on the descriptor too: the umask may have narrowed it.
        // A share that keeps no modes (FAT, some FUSE and SMB mounts) refuses
        // to set one; the file's bytes are not at stake there.
        if (!err && ::fchmod(m_fd, mode_t(m_mode)) != 0 && errno != EPERM && errno != ENOSYS &&
            errno != EOPNOTSUPP)
            err = errno;
        // The descriptor is really closed, and its close checked, before
        // the rename: a share may refuse the data only now.
        if (::close(m_fd) != 0 && !err)
            err = errno == EINTR ? EIO : errno;
        m_fd = -1;
        if (!err && faultAt(Fault::Close, m_target))
            err = EIO;
        if (err)
            return fail(err);
    }
    int err = 0;
    if (commitTemp(m_tempPath, target, rule, usedPath, &err)) {
        m_tempPath.clear();
        return true;
    }
    if (rule == NameRule::NewOnly && err == EEXIST) {
        if (taken)
            *taken = true;
        return false;
    }
    qDebug() << "文件未能命名" << target << err;
    return fail(err ? err : EIO);
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

int FileOperation::removeStaleTempFiles(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    const time_t staleBefore = ::time(nullptr) - 24 * 60 * 60;
    QList<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        struct stat info;
        if ((isPartialFile(QFile::decodeName(name)) || isClaimRecord(name)) &&
            ::fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_mtime < staleBefore)
            stale.append(name);
    }
    int removed = 0;
    bool recovered = false;
    for (const QByteArray& name : qAsConst(stale)) {
        struct stat info;
        if (isClaimRecord(name)) {
            // Its temporary file took the name, or goes with it below.
            const QByteArray temp = name.chopped(int(qstrlen(kClaimSuffix))) + kPartialSuffix.latin1();
            if (::fstatat(fd, temp.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
                ::unlinkat(fd, name.constData(), 0);
            continue;
        }
        const QString path = QDir(folder).filePath(QFile::decodeName(name));
        const QByteArray record = claimRecordOf(name);
        // A claim cut short: the name it took still holds the empty file,
        // and the photo whole in its temporary file takes it over.
        const QByteArray claimed = claimedName(fd, record);
        if (!claimed.isEmpty() && ::fstatat(fd, claimed.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_size == 0 &&
            ::renameat(fd, name.constData(), fd, claimed.constData()) == 0) {
            qDebug() << "恢复中断的照片" << path << "->" << QFile::decodeName(claimed);
            recovered = true;
        } else if (!faultAt(Fault::Remove, path) && ::unlinkat(fd, name.constData(), 0) == 0) {
            qDebug() << "删除残留的临时文件" << path;
        } else {
            continue;
        }
        ::unlinkat(fd, record.constData(), 0);
        ++removed;
    }
    ::closedir(dir); // closes fd
    if (recovered)
        syncFolder(folder);
    return removed;
}

bool FileOperation::syncFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(folder);
    int err = 0;
    if (faultAt(Fault::FolderSync, path)) {
        err = EIO;
    } else if (faultAt(Fault::NoFolderSync, path)) {
        err = EINVAL;
    } else {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            err = errno;
        } else {
            if (::fsync(fd) != 0)
                err = errno;
            ::close(fd);
        }
    }
    if (err == EINVAL || err == ENOTSUP)
        return true; // nothing to sync a folder with here
    if (err != 0)
        qDebug() << "目录同步失败" << path << err;
    return err == 0;
}

void FileOperation::SweptFolders::sweepOnce(const QString& folder)
{
    const QString key = QDir::cleanPath(folder);
    {
        QMutexLocker lock(&m_mutex);
        if (m_swept.contains(key))
            return;
        m_swept.insert(key);
    }
    // Outside the lock: the sweep takes only files far older than any
    // write of this run, so the run's other jobs need not wait for it.
    removeStaleTempFiles(key);
}

bool FileOperation::copyFile(QString source, QString target, bool overwrite, WriteError* error)
{
    if (error)
        *error = WriteError::None;
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (source == target)
        return true;
    if (!QFileInfo::exists(source))
        return false;
    return copyTo(source, target, overwrite ? NameRule::Replace : NameRule::NumberIfTaken, nullptr, error);
}

bool FileOperation::copyNewFile(QString source, QString target, bool* targetTaken, WriteError* error)
{
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return copyNewFileAsIs(source, target, targetTaken, error);
}

bool FileOperation::copyNewFileAsIs(const QString& source, const QString& target, bool* targetTaken,
                                    WriteError* error)
{
    if (targetTaken)
        *targetTaken = false;
    if (error)
        *error = WriteError::None;
    if (source == target)
        return true;
    if (!QFileInfo::exists(source))
        return false;
    auto taken = [&target] { return QFileInfo::exists(target) || QFileInfo(target).isSymLink(); };
    if (!taken() && copyTo(source, target, NameRule::NewOnly, nullptr, error))
        return true;
    if (targetTaken)
        *targetTaken = taken();
    return false;
}

bool FileOperation::writeFile(const QByteArray& data, QString target, bool overwrite, QString* usedPath,
                              WriteError* error)
{
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return writeVia(target, overwrite ? NameRule::Replace : NameRule::NumberIfTaken, usedPath,
                    kDefaultPermissions, error,
                    [&](int fd) { return writeAll(fd, data.constData(), data.size()); });
}

bool FileOperation::writeNewFile(const QByteArray& data, const QString& target, bool* targetTaken,
                                 WriteError* error)
{
    if (targetTaken)
        *targetTaken = false;
    if (error)
        *error = WriteError::None;
    auto taken = [&target] { return QFileInfo::exists(target) || QFileInfo(target).isSymLink(); };
    if (!taken() && writeVia(target, NameRule::NewOnly, nullptr, kDefaultPermissions, error,
                             [&](int fd) { return writeAll(fd, data.constData(), data.size()); }))
        return true;
    if (targetTaken)
        *targetTaken = taken();
    if (targetTaken && *targetTaken && error)
        *error = WriteError::None;
    return false;
}

bool FileOperation::writeOwnerOnlyFile(const QByteArray& data, const QString& target)
{
    return writeVia(target, NameRule::Replace, nullptr, QFile::ReadOwner | QFile::WriteOwner, nullptr,
                    [&](int fd) { return writeAll(fd, data.constData(), data.size()); });
}

bool FileOperation::readFile(const QString& path, QByteArray* data)
{
    data->clear();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const qint64 size = file.size();
    if (size >= std::numeric_limits<int>::max())
        return false;
    // Read straight into the result, one byte over, so a file that grew
    // while it was read is told too.
    data->resize(int(size) + 1);
    if (!readBlocks(file, data->data(), data->size(), true, [](const char*, qint64) { return true; })) {
        data->clear();
        return false;
    }
    data->resize(int(size));
    return true;
}

bool FileOperation::isSameFile(const QString& a, const QString& b)
{
    struct stat sa;
    struct stat sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FileOperation::isSameContent(const QString& a, const QString& b, bool* unreadable)
{
    if (unreadable)
        *unreadable = false;
    const auto cannotRead = [unreadable] {
        if (unreadable)
            *unreadable = true;
        return false;
    };
    // The sizes are those the look-ups found: a second look that failed
    // would read as 0 and call the same file another.
    qint64 sizeA = -1;
    qint64 sizeB = -1;
    const Presence presenceA = lookUpWithSize(a, &sizeA);
    const Presence presenceB = lookUpWithSize(b, &sizeB);
    if (presenceA == Presence::Unreadable || presenceB == Presence::Unreadable)
        return cannotRead();
    if (presenceA != Presence::File || presenceB != Presence::File || sizeA != sizeB)
        return false;
    QFile fileA(a);
    QFile fileB(b);
    if (!fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
        return cannotRead();
    // Only blocks read whole on both sides tell two files apart: a block
    // cut short of what the look-ups' size leaves (a share or a card reader
    // that drops mid-file), or a read that fails, leaves the answer unknown.
    bool first = true;
    const auto readWhole = [&first](QFile& file, const QString& path, qint64 want, QByteArray* block) {
        *block = file.read(want);
        if (first && faultAt(Fault::ShortRead, path))
            block->chop(block->size() - block->size() / 2);
        return file.error() == QFile::NoError && block->size() == want &&
               !(first && faultAt(Fault::Read, path));
    };
    QByteArray blockA;
    QByteArray blockB;
    for (qint64 left = sizeA; left > 0; left -= blockA.size()) {
        const qint64 want = qMin(kReadBlock, left);
        const bool wholeA = readWhole(fileA, a, want, &blockA);
        const bool wholeB = readWhole(fileB, b, want, &blockB);
        if (!wholeA || !wholeB)
            return cannotRead();
        if (blockA != blockB)
            return false;
        first = false;
    }
    // Either grew since its look-up: what it holds now is not known.
    if (!fileA.read(1).isEmpty() || !fileB.read(1).isEmpty() || fileA.error() != QFile::NoError ||
        fileB.error() != QFile::NoError)
        return cannotRead();
    return true;
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
        } else if (!copyTo(entry.absoluteFilePath(), to, overwrite ? NameRule::Replace : NameRule::NewOnly)) {
            return false;
        }
    }
    return true;
}
