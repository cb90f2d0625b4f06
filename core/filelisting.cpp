#include "fileoperation.h"
#include "fileoperation_p.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QVector>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

bool isNotThere(int err)
{
    return err == ENOENT || err == ENOTDIR;
}

// A link whose target gave this error leads nowhere.
bool leadsNowhere(int err)
{
    return isNotThere(err) || err == ELOOP;
}

FileOperation::Presence presenceOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return FileOperation::Presence::Folder;
    if (S_ISREG(mode))
        return FileOperation::Presence::File;
    return FileOperation::Presence::Other;
}

FileOperation::Presence lookUpPath(const QString& path, bool followLinks, qint64* size = nullptr)
{
    if (path.isEmpty())
        return FileOperation::Presence::Missing;
    if (faultAt(FileOperation::Fault::LookUp, QDir::cleanPath(path)))
        return FileOperation::Presence::Unreadable;
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info;
    const int result = followLinks ? ::stat(bytes.constData(), &info) : ::lstat(bytes.constData(), &info);
    if (result == 0) {
        if (size)
            *size = qint64(info.st_size);
        return presenceOfMode(info.st_mode);
    }
    const int err = errno;
    if (followLinks ? leadsNowhere(err) : isNotThere(err))
        return FileOperation::Presence::Missing;
    return FileOperation::Presence::Unreadable;
}

// Name filters as QDir::match reads them, each pattern built once for a
// whole listing rather than again for every name.
class NameMatcher
{
public:
    explicit NameMatcher(const QStringList& filters)
    {
        for (const QString& filter : filters) {
            m_patterns.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(filter),
                                                 QRegularExpression::CaseInsensitiveOption));
        }
    }
    bool isEmpty() const { return m_patterns.isEmpty(); }
    bool matches(const QString& name) const
    {
        for (const QRegularExpression& pattern : m_patterns) {
            if (pattern.match(name).hasMatch())
                return true;
        }
        return false;
    }

private:
    QVector<QRegularExpression> m_patterns;
};

// The folders whose last listing failed on a name that does not read back.
QMutex s_badNameMutex;
QSet<QString> s_badNameFolders;

void noteBadName(const QString& folder, bool bad)
{
    QMutexLocker lock(&s_badNameMutex);
    if (bad)
        s_badNameFolders.insert(QDir::cleanPath(folder));
    else if (!s_badNameFolders.isEmpty())
        s_badNameFolders.remove(QDir::cleanPath(folder));
}

bool hadBadName(const QString& folder)
{
    QMutexLocker lock(&s_badNameMutex);
    return !s_badNameFolders.isEmpty() && s_badNameFolders.contains(QDir::cleanPath(folder));
}

// Whether a name read from a folder gives its own bytes again once
// decoded and encoded (a plain ASCII name always does).
bool readsBack(const char* raw, const QString& name)
{
    const size_t size = ::strlen(raw);
    if (std::all_of(raw, raw + size, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return true;
    return QFile::encodeName(name) == QByteArray::fromRawData(raw, int(size));
}

// One entry of a listing with its sort key, the name in lower case, made
// once rather than in every comparison.
struct ListedEntry
{
    QString key;
    QFileInfo info;
};

// What the filters say of an entry of a given kind: folder, file, or a
// special one (a special file, a link that leads nowhere).
enum class EntryKind
{
    Folder,
    File,
    Special
};

bool kindIsListed(EntryKind kind, QDir::Filters filters)
{
    switch (kind) {
    case EntryKind::Folder:
        return filters & QDir::Dirs;
    case EntryKind::File:
        return filters & QDir::Files;
    case EntryKind::Special:
        return (filters & QDir::System) && (filters & QDir::Files);
    }
    return false;
}

// The listing behind listFolder and listMatching. Only the entries the
// filters (and names, where they judge names) would return are looked at;
// the others are left out on what the reading itself told of them.
bool readFolder(const QString& folder, QDir::Filters filters, const NameMatcher& names,
                bool namesJudgeFolders, QFileInfoList* entries)
{
    entries->clear();
    const QString clean = QDir::cleanPath(folder);
    if (faultAt(FileOperation::Fault::List, clean))
        return false;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    // Entries keep the folder as the caller wrote it, as QDir gives them;
    // the fault hook is asked with the clean path.
    const QString prefix = clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
    const QString dirPath = QDir(folder).path();
    const QString entryPrefix = dirPath.endsWith(QLatin1Char('/')) ? dirPath : dirPath + QLatin1Char('/');
    std::vector<ListedEntry> listed;
    int err = 0;
    bool badName = false;
    auto nameListed = [&](const QString& name, EntryKind kind) {
        return names.isEmpty() || (kind == EntryKind::Folder && !namesJudgeFolders) || names.matches(name);
    };
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            err = errno;
            break;
        }
        const char* raw = entry->d_name;
        const QString name = QFile::decodeName(raw);
        if (name == QLatin1String(".") || name == QLatin1String("..")) {
            const QDir::Filter no = name.size() == 1 ? QDir::NoDot : QDir::NoDotDot;
            if (!(filters & no) && (filters & QDir::Dirs) && nameListed(name, EntryKind::Folder))
                listed.push_back({name, QFileInfo(entryPrefix + name)});
            continue;
        }
        if (name.startsWith(QLatin1Char('.')) && !(filters & QDir::Hidden))
            continue;
        if (namesJudgeFolders && !nameListed(name, EntryKind::File))
            continue;
        // What the reading told of the entry's type, where it told it.
        switch (entry->d_type) {
        case DT_DIR:
            if (!kindIsListed(EntryKind::Folder, filters) || !nameListed(name, EntryKind::Folder))
                continue;
            break;
        case DT_REG:
            if (!kindIsListed(EntryKind::File, filters) || !nameListed(name, EntryKind::File))
                continue;
            break;
        case DT_LNK:
            if (filters & QDir::NoSymLinks)
                continue;
            break;
        case DT_UNKNOWN:
            break;
        default:
            if (!kindIsListed(EntryKind::Special, filters) || !nameListed(name, EntryKind::Special))
                continue;
            break;
        }
        // The entry's own look-up, by its own bytes.
        if (faultAt(FileOperation::Fault::LookUp, prefix + name)) {
            err = EIO;
            break;
        }
        struct stat info;
        if (::fstatat(fd, raw, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue; // removed since the reading
            err = errno;
            break;
        }
        EntryKind kind = EntryKind::Special;
        if (S_ISLNK(info.st_mode)) {
            if (filters & QDir::NoSymLinks)
                continue;
            struct stat target;
            if (::fstatat(fd, raw, &target, 0) == 0) {
                info = target;
            } else if (!leadsNowhere(errno)) {
                err = errno;
                break;
            } else {
                info.st_mode = 0; // leads nowhere: special
            }
        }
        if (S_ISDIR(info.st_mode))
            kind = EntryKind::Folder;
        else if (S_ISREG(info.st_mode))
            kind = EntryKind::File;
        if (!kindIsListed(kind, filters) || !nameListed(name, kind))
            continue;
        // A name that does not read back cannot be named, nor reached again
        // through its text: no tool may pass over it.
        if (!readsBack(raw, name)) {
            badName = true;
            err = EILSEQ;
            break;
        }
        listed.push_back({name.toLower(), QFileInfo(entryPrefix + name)});
    }
    ::closedir(dir);
    noteBadName(folder, badName);
    if (err != 0) {
        qDebug() << FileOperation::unreadableText() << folder << err;
        return false;
    }
    std::stable_sort(listed.begin(), listed.end(), [](const ListedEntry& a, const ListedEntry& b) {
        const int r = a.key.compare(b.key);
        return r != 0 ? r < 0 : a.info.fileName() < b.info.fileName();
    });
    entries->reserve(int(listed.size()));
    for (ListedEntry& entry : listed)
        entries->append(std::move(entry.info));
    return true;
}

} // namespace

FileOperation::Presence FileOperation::lookUp(const QString& path)
{
    return lookUpPath(path, true);
}

FileOperation::Presence FileOperation::lookUpNoFollow(const QString& path)
{
    return lookUpPath(path, false);
}

FileOperation::Presence lookUpWithSize(const QString& path, qint64* size)
{
    return lookUpPath(path, true, size);
}

bool FileOperation::listFolder(const QString& folder, QDir::Filters filters, QFileInfoList* entries)
{
    return readFolder(folder, filters, NameMatcher({}), false, entries);
}

bool FileOperation::listMatching(const QString& folder, const QStringList& nameFilters, QDir::Filters filters,
                                 QFileInfoList* entries)
{
    entries->clear();
    switch (lookUp(folder)) {
    case Presence::Missing:
    case Presence::File:
    case Presence::Other:
        return true;
    case Presence::Unreadable:
        qDebug() << unreadableText() << folder;
        return false;
    case Presence::Folder:
        break;
    }
    const bool allDirs = filters & QDir::AllDirs;
    return readFolder(folder, allDirs ? filters | QDir::Dirs : filters, NameMatcher(nameFilters), !allDirs,
                      entries);
}

QString FileOperation::unreadableText()
{
    return QStringLiteral("目录读取失败");
}

QString FileOperation::unreadableFolderText(const QString& folder)
{
    return unreadableText() + QStringLiteral("：") + unreadableFolderName(folder);
}

QString FileOperation::folderFault(const QString& folder, const QString& missingText)
{
    switch (lookUp(folder)) {
    case Presence::Folder:
        return QString();
    case Presence::Unreadable:
        return unreadableFolderText(folder);
    default:
        return missingText;
    }
}

QString FileOperation::unreadableFolderName(const QString& folder)
{
    return hadBadName(folder) ? folder + QStringLiteral("（含无法识别的文件名）") : folder;
}
