#include "fileoperation.h"
#include "fileoperation_p.h"

#include "desktop.h"
#include "prompts.h"

#include <QBuffer>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QMutex s_hookMutex;
FileOperation::FaultHook s_hook;
// Whether a hook is set: asked without the lock, as every look-up asks it.
std::atomic<bool> s_hookSet{false};

} // namespace

bool faultAt(FileOperation::Fault fault, const QString& path)
{
    if (!s_hookSet.load(std::memory_order_acquire))
        return false;
    FileOperation::FaultHook hook;
    {
        QMutexLocker lock(&s_hookMutex);
        hook = s_hook;
    }
    return hook && hook(fault, path);
}

void FileOperation::setFaultHook(FaultHook hook)
{
    QMutexLocker lock(&s_hookMutex);
    s_hookSet.store(bool(hook), std::memory_order_release);
    s_hook = std::move(hook);
}

bool FileOperation::tellFaultHook(Fault fault, const QString& path)
{
    return faultAt(fault, path);
}

namespace {

QString listFilePath(const QString& name)
{
    return QDir::currentPath() + QLatin1Char('/') + name;
}

} // namespace

namespace {

QMutex s_appendMutex;

// A write lock on the whole of an open file, held until the descriptor is
// closed, so appends from other stations, processes and threads to a
// shared record file wait for each other instead of interleaving. The lock
// belongs to the open file itself where the system has such locks; where
// it has only the classic per-process ones, a process-wide mutex keeps this
// process's threads apart as well. A file system without locks appends
// unlocked, the best it allows.
class AppendLock
{
public:
    explicit AppendLock(int fd)
    {
#ifdef F_OFD_SETLKW
        if (waitFor(fd, F_OFD_SETLKW) || errno != EINVAL)
            return;
#endif
        s_appendMutex.lock();
        m_threads = true;
        waitFor(fd, F_SETLKW);
    }
    ~AppendLock()
    {
        if (m_threads)
            s_appendMutex.unlock();
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;

private:
    static bool waitFor(int fd, int command)
    {
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        for (;;) {
            if (::fcntl(fd, command, &lock) == 0)
                return true;
            if (errno != EINTR) {
                qDebug() << "追加文件未能加锁" << errno;
                return false;
            }
        }
    }

    bool m_threads = false;
};

// True when the open file is empty or its last byte is the separator. A
// last byte that cannot be read counts as another: a separator too many
// only makes an empty record, one too few glues two records into one.
bool endsWith(int fd, char separator)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return false;
    if (info.st_size == 0)
        return true;
    char last = 0;
    return ::pread(fd, &last, 1, info.st_size - 1) == 1 && last == separator;
}

} // namespace

bool FileOperation::appendFile(const QString& path, const QByteArray& data, char separator)
{
    if (faultAt(Fault::Write, path))
        return false;
    // Read as well as written: the last byte tells whether an earlier append
    // broke off.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    // Released by the close below, after the data is synced; the mutex, where
    // one is needed, only when the lock is gone.
    const AppendLock lock(fd);
    QByteArray bytes = data;
    if (separator != '\0' && !bytes.isEmpty() && !endsWith(fd, separator))
        bytes.prepend(separator);
    int error = 0;
    if (faultAt(Fault::DiskFull, path)) {
        // A full share cuts the write short after part of its bytes.
        writeAll(fd, bytes.constData(), bytes.size() / 2);
        error = ENOSPC;
    } else {
        error = writeAll(fd, bytes.constData(), bytes.size());
    }
    const bool written = ::fsync(fd) == 0 && error == 0 && !faultAt(Fault::Close, path);
    const bool closed = ::close(fd) == 0;
    return written && closed;
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

QString FileOperation::orderFolderFault(const QString& folder)
{
    return folderFault(folder, QStringLiteral("订单目录不存在：%1").arg(folder));
}

bool FileOperation::openOrderFolder(const QString& folder, QWidget* parent)
{
    const QString fault = orderFolderFault(folder);
    if (!fault.isEmpty()) {
        Prompts::notice(QStringLiteral("警告"), fault, parent);
        return false;
    }
    openFileDir(folder);
    return true;
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
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out.setVersion(QDataStream::Qt_4_4);
    for (const QString& text : texts)
        out << text;
    if (out.status() != QDataStream::Ok || !writeFile(bytes, path, true))
        return false;
    if (hideFile)
        hide(path);
    return true;
}
