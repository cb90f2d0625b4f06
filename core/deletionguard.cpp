#include "deletionguard.h"

#include "config.h"
#include "fileoperation.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace {

bool overlaps(const QString& a, const QString& b)
{
    return a == b || a.startsWith(b + QLatin1Char('/')) || b.startsWith(a + QLatin1Char('/'));
}

bool allDigits(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// The month ("2024-05") and day ("15") folders the order folders stand in.
bool isDateFolderName(const QString& name)
{
    if (name.size() == 7)
        return allDigits(name.left(4)) && allDigits(name.mid(5)) &&
               QDate::fromString(name + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd")).isValid();
    if (name.size() == 2 && allDigits(name)) {
        const int day = name.toInt();
        return day >= 1 && day <= 31;
    }
    return false;
}

enum class Inside
{
    NoOrders,
    Orders,
    Unreadable
};

// Whether a folder anywhere below the top level of folder has one of an
// order folder's own sub-folders in it. Links are not followed. A folder
// the walk cannot list, or one whose look-up fails, may hold anything: it
// is told apart, never taken for one without orders, and the folder whose
// listing failed is kept in unreadable.
Inside whatIsInside(const QString& folder, QString* unreadable)
{
    const QStringList orderParts{QStringLiteral("照片"), QStringLiteral("成品"), QStringLiteral("设计")};
    const QDir::Filters filter = QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks;
    QFileInfoList children;
    QStringList pending{folder};
    while (!pending.isEmpty()) {
        const QString current = pending.takeLast();
        if (!FileOperation::listMatching(current, {}, filter, &children)) {
            *unreadable = current;
            return Inside::Unreadable;
        }
        // The folder's own "照片", "成品" and "设计" are its own.
        for (const QFileInfo& child : qAsConst(children)) {
            if (current != folder && orderParts.contains(child.fileName()))
                return Inside::Orders;
            pending.append(child.filePath());
        }
    }
    return Inside::NoOrders;
}

} // namespace

QString DeletionGuard::Result::reason() const
{
    switch (verdict) {
    case Verdict::Allowed:
        return QString();
    case Verdict::Empty:
        return QStringLiteral("路径为空");
    case Verdict::NotAbsolute:
        return QStringLiteral("不是绝对路径");
    case Verdict::DotParts:
        return QStringLiteral("路径含有“.”或“..”");
    case Verdict::SymbolicLink:
        return QStringLiteral("路径是符号链接");
    case Verdict::OutsideMountRoot:
        return QStringLiteral("路径不在服务器目录下");
    case Verdict::TooShallow:
        return QStringLiteral("路径是服务器或共享的根目录");
    case Verdict::OverlapsRun:
        return QStringLiteral("路径与本批其他订单目录重叠");
    case Verdict::DateFolder:
        return QStringLiteral("路径是月份或日期目录");
    case Verdict::HoldsOrders:
        return QStringLiteral("路径下含有其他订单的目录");
    case Verdict::Unreadable:
        return unreadableFolder.isEmpty() ? FileOperation::unreadableText()
                                          : FileOperation::unreadableFolderText(unreadableFolder);
    }
    return QString();
}

DeletionGuard::Result DeletionGuard::check(const QString& path, const QStringList& otherPaths,
                                           bool lookInside)
{
    Result result;
    auto refuse = [&](Verdict v) {
        result.verdict = v;
        return result;
    };

    if (path.trimmed().isEmpty())
        return refuse(Verdict::Empty);
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // An order row whose path lost its last part names the day (or month)
    // with every order in it: said so first, whatever else the path is.
    if (!parts.isEmpty() && isDateFolderName(parts.last()))
        return refuse(Verdict::DateFolder);
    if (!QDir::isAbsolutePath(path) || !path.startsWith(QLatin1Char('/')))
        return refuse(Verdict::NotAbsolute);
    for (const QString& part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return refuse(Verdict::DotParts);
    }

    const QString clean = QDir::cleanPath(path);
    const QString root = QDir::cleanPath(Config::volumesRoot());
    if (!clean.startsWith(root + QLatin1Char('/')))
        return refuse(Verdict::OutsideMountRoot);
    const QStringList below = clean.mid(root.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // volume / level one / level two at the least
    if (below.size() < 3)
        return refuse(Verdict::TooShallow);

    // Neither the folder nor any folder between it and the mount root may be
    // a link: the deletion would land somewhere else. One that cannot be
    // looked at may be a link, or hold anything: it is never taken for a
    // missing one.
    QString walk = root;
    FileOperation::Presence presence = FileOperation::Presence::Folder;
    for (const QString& part : below) {
        walk += QLatin1Char('/') + part;
        presence = FileOperation::lookUpNoFollow(walk);
        if (presence == FileOperation::Presence::Unreadable) {
            result.unreadableFolder = walk;
            return refuse(Verdict::Unreadable);
        }
        if (presence == FileOperation::Presence::Other && QFileInfo(walk).isSymLink())
            return refuse(Verdict::SymbolicLink);
    }
    if (presence != FileOperation::Presence::Missing) {
        const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
        const QString canonical = QFileInfo(clean).canonicalFilePath();
        if (canonicalRoot.isEmpty() || !canonical.startsWith(canonicalRoot + QLatin1Char('/')))
            return refuse(Verdict::OutsideMountRoot);
    }

    for (const QString& other : otherPaths) {
        if (other.trimmed().isEmpty())
            continue;
        if (overlaps(clean, QDir::cleanPath(other)))
            return refuse(Verdict::OverlapsRun);
    }

    if (!lookInside)
        return result;
    switch (whatIsInside(clean, &result.unreadableFolder)) {
    case Inside::Orders:
        return refuse(Verdict::HoldsOrders);
    case Inside::Unreadable:
        return refuse(Verdict::Unreadable);
    case Inside::NoOrders:
        break;
    }
    return result;
}
