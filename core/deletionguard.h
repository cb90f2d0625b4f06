#pragma once

#include <QString>
#include <QStringList>

// The one check every flow that deletes an order folder makes first.
namespace DeletionGuard {

enum class Verdict
{
    Allowed,
    Empty,
    NotAbsolute,
    DotParts,
    SymbolicLink,
    OutsideMountRoot,
    TooShallow,
    OverlapsRun,
    DateFolder,  // named like a month ("yyyy-MM") or a day ("dd") of the order tree
    HoldsOrders, // another order's folder lies below its top level
    Unreadable,  // it, a folder on its path, or one below it could not be looked at or listed
};

struct Result
{
    Verdict verdict = Verdict::Allowed;
    // Unreadable: the folder whose look-up or listing failed.
    QString unreadableFolder;
    bool allowed() const { return verdict == Verdict::Allowed; }
    // A short text for the user, empty when allowed; for Unreadable
    // "目录读取失败：<folder>", with the note of a name in it that does not
    // read back (FileOperation::unreadableFolderName).
    QString reason() const;
};

// A path may be deleted when it is non-empty, absolute, free of "." and
// ".." parts, not a symbolic link, at least two levels below a volume
// under the mount root (never the root, a volume or share root, or a
// folder right below one), and neither equal to, inside, nor holding
// another folder of the same run (otherPaths). A folder of the order tree
// above the orders is refused too: one named like a month ("yyyy-MM") or a
// day ("dd"), as such whatever else it is, and one that holds an order's
// folder (a folder with "照片", "成品" or "设计" in it) anywhere below its
// own top level, and one with a folder at or below it that cannot be
// listed or looked at (it may hold another order a moment later). A path
// whose own look-up, or that of a folder on its way, fails is refused so
// too: it is never taken for one that is not there.
//
// Only the rule on what lies below reads the folder's content, all of it:
// a caller on the user-interface thread passes lookInside false and leaves
// it to the deletion itself, which checks again on its own thread.
Result check(const QString& path, const QStringList& otherPaths = {}, bool lookInside = true);

} // namespace DeletionGuard
