#include "separationfiles.h"

#include "config.h"
#include "fileoperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace SeparationFiles {

QString orderFolderName(const QString& orderKey, const QString& serviceCount, const QString& customer,
                        const QString& pickupType)
{
    return Config::sanitizeWithRegex(orderKey) + QStringLiteral("-服务") + Config::sanitizeWithRegex(serviceCount) +
           QLatin1Char(' ') + Config::sanitizeWithRegex(customer) + QLatin1Char(' ') +
           Config::sanitizeWithRegex(pickupType);
}

namespace {

bool listNames(const QString& folder, const QStringList& nameFilters, QDir::Filters filters,
               QStringList* names)
{
    names->clear();
    QFileInfoList entries;
    if (folder.isEmpty() || !FileOperation::listMatching(folder, nameFilters, filters, &entries))
        return folder.isEmpty();
    for (const QFileInfo& entry : qAsConst(entries))
        names->append(entry.fileName());
    return true;
}

} // namespace

bool folderEntries(const QString& folder, QStringList* names)
{
    return listNames(folder, {}, QDir::AllEntries, names);
}

bool pictureFiles(const QString& folder, QStringList* names)
{
    return listNames(folder, {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png")},
                     QDir::Files, names);
}

QStringList uncopied(const QString& sourceFolder, const QString& targetFolder, const QStringList& names)
{
    QStringList failed;
    for (const QString& name : names) {
        const QFileInfo source(sourceFolder + name);
        if (!source.isFile() || source.isSymLink())
            continue;
        const QFileInfo target(targetFolder + name);
        if (!target.isFile() || target.size() < source.size())
            failed.append(targetFolder + QLatin1Char(':') + name);
    }
    return failed;
}

QString reportFileName(const QString& pathText, const QString& chosenRoot, const QDate& day,
                       const QStringList& orderKeys)
{
    QString root = pathText.isEmpty() ? chosenRoot : pathText;
    if (!root.endsWith(QLatin1Char('/')) && !root.endsWith(QLatin1Char('\\')))
        root += QLatin1Char('/');
    QStringList keys;
    for (const QString& key : orderKeys)
        keys.append(Config::sanitizeWithRegex(key));
    const QString tail = QStringLiteral("分件结果.txt");
    // Cut in one step to the room left, never inside a character.
    QByteArray head = keys.join(QStringLiteral("、")).toUtf8();
    const int room = 255 - tail.toUtf8().size();
    if (head.size() > room) {
        int cut = room;
        while (cut > 0 && (uchar(head.at(cut)) & 0xC0) == 0x80)
            --cut;
        head.truncate(cut);
    }
    return root + day.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('/') + QString::fromUtf8(head) +
           tail;
}

namespace {

QMutex s_beforeTakeMutex;
std::function<void(const QString&)> s_beforeTake;

void beforeTake(const QString& folder)
{
    std::function<void(const QString&)> hook;
    {
        QMutexLocker lock(&s_beforeTakeMutex);
        hook = s_beforeTake;
    }
    if (hook)
        hook(folder);
}

} // namespace

void setBeforeTakeHook(std::function<void(const QString& folder)> hook)
{
    QMutexLocker lock(&s_beforeTakeMutex);
    s_beforeTake = std::move(hook);
}

Take takeFolder(const QString& folder)
{
    QString path = folder;
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty() || QDir::isRelativePath(path))
        return Take::Failed;
    if (!QDir().mkpath(QFileInfo(path).path()))
        return Take::Failed;
    beforeTake(path);
    // The last level exclusively: a folder someone else made first is theirs.
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return Take::Made;
    return errno == EEXIST ? Take::Taken : Take::Failed;
}

QString productFolderCandidate(const QString& under, const ProductMessage& plan, const QString& name, int n)
{
    // A sub-product is numbered as a bought product is, whatever its
    // parent: its parent's order part would take it out of that folder.
    if (plan.homemade == QLatin1String("1") && plan.subProductFolder.isEmpty()) {
        QString candidate = under + name + QStringLiteral(" (%1)").arg(n) + plan.orderFolder;
        // Without an order part the photos would go beside the folder.
        if (!candidate.endsWith(QLatin1Char('/')))
            candidate += QLatin1Char('/');
        return candidate;
    }
    return under + name + QStringLiteral(" (%1) ").arg(n) + Config::sanitizeWithRegex(plan.goodtypename) +
           QLatin1Char(' ') + Config::sanitizeWithRegex(plan.goodamount) + QLatin1Char('/');
}

QString takeProductFolder(const QString& wanted, const std::function<QString(int)>& candidate, bool* made)
{
    *made = false;
    Take take = takeFolder(wanted);
    if (take == Take::Made) {
        *made = true;
        return wanted;
    }
    for (int n = 1; take == Take::Taken && n <= 499; ++n) {
        const QString next = candidate(n);
        take = takeFolder(next);
        if (take == Take::Made) {
            *made = true;
            return next;
        }
    }
    // Every numbered name taken: the folder as it stands, as it always was.
    return take == Take::Taken ? wanted : QString();
}

QStringList markUnfinished(const QStringList& folders)
{
    QStringList given;
    for (const QString& folder : folders)
        given.append(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
    QStringList marked;
    for (const QString& folder : qAsConst(given)) {
        // A folder inside another of the list moves with it.
        const bool nested = std::any_of(given.cbegin(), given.cend(), [&folder](const QString& other) {
            return other != folder && folder.startsWith(other);
        });
        const QString path = folder.chopped(1);
        if (nested || !QFileInfo(path).isDir())
            continue;
        const QString unfinished = path + QStringLiteral("（未完成）");
        for (int n = 0; n < 100; ++n) {
            const QString target = n == 0 ? unfinished : unfinished + QStringLiteral("(%1)").arg(n);
            // QDir::rename never replaces what is there.
            if (QDir().rename(path, target)) {
                marked.append(target + QLatin1Char('/'));
                break;
            }
            if (!QFileInfo::exists(target))
                break;
        }
    }
    return marked;
}

} // namespace SeparationFiles
