#include "cr2downloadrunnable.h"

#include "deletionguard.h"
#include "filenames.h"
#include "fileoperation.h"
#include "shottime.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

QString completed(const QString& path)
{
    if (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\')))
        return path;
    return path + QLatin1Char('/');
}

bool isDotEntry(const QFileInfo& entry)
{
    return entry.fileName() == QLatin1String(".") || entry.fileName() == QLatin1String("..");
}

// A folder's default listing: files and folders, hidden ones left out,
// "." and ".." included, by name with letter case ignored. False when the
// folder could not be read.
bool listing(const QString& folder, QFileInfoList* entries)
{
    return FileOperation::listFolder(folder, QDir::AllEntries, entries);
}

// Everything the folder holds but "." and "..", hidden entries too: what
// must be gone before the folder may go.
bool contentListing(const QString& folder, QFileInfoList* entries)
{
    return FileOperation::listFolder(
        folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, entries);
}

QString withoutSuffix(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

// The path as the file system resolves it: the part that exists through
// its links, the rest as written.
QString resolved(const QString& path)
{
    QString head = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (!QFileInfo::exists(head) && head != QLatin1String("/")) {
        rest.prepend(QLatin1Char('/') + QFileInfo(head).fileName());
        head = QFileInfo(head).absolutePath();
    }
    const QString canonical = QFileInfo(head).canonicalFilePath();
    return QDir::cleanPath((canonical.isEmpty() ? head : canonical) + rest);
}

bool liesWithin(const QString& path, const QString& folder)
{
    const QString p = resolved(path);
    const QString f = resolved(folder);
    return p == f || p.startsWith(f == QLatin1String("/") ? f : f + QLatin1Char('/'));
}

// A removal that fails is tried exactly once more.
bool removeFileTwice(const QString& path)
{
    return FileOperation::removeFile(path) || FileOperation::removeFile(path);
}

const QString kRemovalFailed = QStringLiteral("删除原图目录未成功，请手动删除。路径为：");

// A raw folder that could not be listed may still hold every raw file.
QString unreadableLine(const QString& rawDir)
{
    return QStringLiteral("原图目录已保留：%1（%2）\n").arg(rawDir, FileOperation::unreadableText());
}

} // namespace

CR2DownloadRunnable::CR2DownloadRunnable(JobOwnerHandle owner, QString srcDir, QString dstDir,
                                         QString imageTimeText)
    : srcDir(std::move(srcDir)), dstDir(std::move(dstDir)), owner(std::move(owner)),
      imageTimeText(std::move(imageTimeText))
{
    setAutoDelete(true);
    getMatchInfo(this->imageTimeText);
}

CR2DownloadRunnable::~CR2DownloadRunnable() = default;

void CR2DownloadRunnable::getMatchInfo(QString text)
{
    matchInfos = ImageTime::parse(text);
}

void CR2DownloadRunnable::run()
{
    QString tip;
    const bool result = downLoad(srcDir, dstDir, tip);
    owner.post("onDownloadFinish", result, tip);
}

bool CR2DownloadRunnable::downLoad(QString srcDir, QString dstDir, QString& tip)
{
    srcDir = completed(srcDir);
    dstDir = completed(dstDir);
    bool unreadable = false;
    if (!isRawDirExist(srcDir, &unreadable)) {
        tip = unreadable ? FileOperation::unreadableFolderText(srcDir) : QStringLiteral("毛底目录为空");
        return false;
    }
    // Copies inside the source would be taken for raw files next time.
    if (liesWithin(dstDir, srcDir)) {
        tip = QStringLiteral("下载目录不能在毛底目录内：%1").arg(dstDir);
        return false;
    }
    // Which files to copy is not known while a folder it looked in could
    // not be read: nothing is made, copied or removed.
    QString rawDir;
    QString unreadableFolder;
    const bool raws = getSubCR2Dir(srcDir, rawDir, &unreadableFolder);
    QFileInfoList entries;
    if (!raws && unreadableFolder.isEmpty() && !listing(srcDir, &entries))
        unreadableFolder = srcDir;
    if (!unreadableFolder.isEmpty()) {
        tip = FileOperation::unreadableFolderText(unreadableFolder);
        return false;
    }
    if (!FileOperation::isDirExist(dstDir) && !QDir().mkdir(QFileInfo(dstDir).absoluteFilePath())) {
        tip = QStringLiteral("创建本地目录失败，目录为：") + dstDir;
        return false;
    }
    tip = QStringLiteral("下载完毕！\n\n");
    // What a download that was killed left in the folder, before this one writes.
    FileOperation::removeStaleTempFiles(dstDir);

    // A raw folder that cannot be read now is kept whole: nothing of it is
    // copied, so nothing of it may go.
    if (raws && !listing(rawDir, &entries)) {
        tip += unreadableLine(rawDir);
        return true;
    }
    // What became of the raw folder leads the tip, the files follow: the
    // box shows only the tip's first lines.
    QString folderLines;
    QString fileLines;
    const int max = entries.size();
    QStringList copied;
    for (int i = 0; i < entries.size(); ++i) {
        const QFileInfo& entry = entries.at(i);
        // Links are never followed; folders are not downloaded.
        if (entry.isSymLink()) {
            fileLines += QStringLiteral("链接未下载：") + entry.filePath() + QLatin1Char('\n');
            continue;
        }
        if (isDotEntry(entry) || entry.isDir())
            continue;
        QString target = dstDir + entry.fileName();
        if (raws) {
            const QString base = getMatchedImageName(srcDir, entry.filePath(), entry.fileName());
            const int dot = entry.fileName().lastIndexOf(QLatin1Char('.'));
            target = dstDir + base + (dot < 0 ? QString() : entry.fileName().mid(dot));
            qDebug() << "匹配：" << entry.fileName() << "和" << base;
        }
        // Never over a file: burst shots of one second and a second
        // download keep every file under numbered names.
        // A copy counts once its name is synced: only then may its raw file go.
        if (FileOperation::copyFile(entry.filePath(), target, false) && FileOperation::syncFolder(dstDir))
            copied.append(entry.filePath());
        else if (raws)
            fileLines +=
                QStringLiteral("拷贝原图照片未成功，照片名：") + entry.filePath() + QLatin1Char('\n');
        else
            fileLines += QStringLiteral("拷贝照片未成功，照片名：") + entry.filePath() + QLatin1Char('\n');
        owner.post("onDownloadProcess", max, i + 1);
    }
    if (raws)
        removeRaws(rawDir, copied, folderLines, fileLines);
    tip += folderLines + fileLines;
    return true;
}

void CR2DownloadRunnable::removeRaws(const QString& rawDir, const QStringList& copied, QString& folderLines,
                                     QString& fileLines)
{
    const DeletionGuard::Result verdict = DeletionGuard::check(QDir::cleanPath(rawDir));
    if (!verdict.allowed()) {
        folderLines += QStringLiteral("原图目录已保留：%1（%2）\n").arg(rawDir, verdict.reason());
        return;
    }
    bool notDownloaded = false;
    QFileInfoList entries;
    if (!contentListing(rawDir, &entries)) {
        folderLines += unreadableLine(rawDir);
        return;
    }
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || copied.contains(entry.filePath())) {
            if (!removeFileTwice(entry.filePath()))
                fileLines += kRemovalFailed + entry.filePath() + QLatin1Char('\n');
        } else {
            notDownloaded = true;
        }
    }
    if (notDownloaded) {
        folderLines += QStringLiteral("原图目录已保留：%1（有未下载的照片）\n").arg(rawDir);
        return;
    }
    // A raw file that could not be removed is named above; the folder
    // stays with it.
    if (!contentListing(rawDir, &entries)) {
        folderLines += unreadableLine(rawDir);
        return;
    }
    if (!entries.isEmpty())
        return;
    FileOperation::tellFaultHook(FileOperation::Fault::EmptiedFolder, rawDir);
    // Only an empty folder goes: should a raw file have come in since the
    // listing, the removal fails rather than take it.
    if (!FileOperation::removeEmptyDir(rawDir) && !FileOperation::removeEmptyDir(rawDir))
        folderLines += kRemovalFailed + rawDir + QLatin1Char('\n');
}

bool CR2DownloadRunnable::isRawDirExist(QString path, bool* unreadable)
{
    QFileInfoList entries;
    // A folder that is not there is empty; one that cannot be looked at
    // is one that cannot be read.
    bool read = true;
    switch (FileOperation::lookUp(path)) {
    case FileOperation::Presence::Folder:
        read = listing(path, &entries);
        break;
    case FileOperation::Presence::Unreadable:
        read = false;
        break;
    default:
        break;
    }
    if (unreadable)
        *unreadable = !read;
    return read && entries.size() >= 3;
}

bool CR2DownloadRunnable::getSubCR2Dir(QString srcDir, QString& rawDir, QString* unreadable)
{
    const FileOperation::Presence source = FileOperation::lookUp(srcDir);
    if (source != FileOperation::Presence::Folder) {
        if (unreadable)
            *unreadable = source == FileOperation::Presence::Unreadable ? srcDir : QString();
        return false;
    }
    // A folder that cannot be looked at or read matters only when no
    // readable one holds raw files; then the first of them is named.
    QString failed;
    QFileInfoList entries;
    if (!listing(srcDir, &entries))
        failed = srcDir;
    for (const QFileInfo& entry : qAsConst(entries)) {
        if (isDotEntry(entry))
            continue;
        // Links are never followed: only a folder of its own is looked in.
        const FileOperation::Presence presence = FileOperation::lookUpNoFollow(entry.filePath());
        if (presence == FileOperation::Presence::Unreadable && failed.isEmpty())
            failed = entry.filePath();
        if (presence != FileOperation::Presence::Folder)
            continue;
        QFileInfoList inner;
        if (!listing(entry.filePath(), &inner)) {
            if (failed.isEmpty())
                failed = entry.filePath();
            continue;
        }
        for (const QFileInfo& inside : qAsConst(inner)) {
            const QString suffix = inside.suffix().toLower();
            if (suffix == QLatin1String("cr2") || suffix == QLatin1String("nef")) {
                rawDir = entry.filePath();
                return true;
            }
        }
    }
    if (unreadable)
        *unreadable = failed;
    return false;
}

QString CR2DownloadRunnable::getMatchedImageName(QString srcDir, QString rawPath, QString rawName)
{
    QString shotTime;
    // An undated raw file matches nothing: every one of them would get the
    // same name.
    if (getPicShotTime(rawPath, shotTime) && !shotTime.isEmpty()) {
        for (const MatchInfo& info : qAsConst(matchInfos)) {
            if (info.shotTime == shotTime && FileNames::isPlainFileName(info.name))
                return info.name;
        }
        for (const auto& photo : sourceShotTimes(srcDir)) {
            if (photo.second == shotTime)
                return photo.first;
        }
    }
    return withoutSuffix(rawName);
}

const QList<QPair<QString, QString>>& CR2DownloadRunnable::sourceShotTimes(const QString& srcDir)
{
    if (m_sourceRead)
        return m_sourceTimes;
    m_sourceRead = true;
    QFileInfoList entries;
    listing(srcDir, &entries);
    for (const QFileInfo& entry : qAsConst(entries)) {
        if (isDotEntry(entry) || entry.isDir() || entry.isSymLink())
            continue;
        QString shotTime;
        if (getPicShotTime(entry.filePath(), shotTime) && !shotTime.isEmpty())
            m_sourceTimes.append({withoutSuffix(entry.fileName()), shotTime});
    }
    return m_sourceTimes;
}

bool CR2DownloadRunnable::getPicShotTime(QString path, QString& shotTime)
{
    return ShotTime::read(path, shotTime);
}
