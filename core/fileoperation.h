#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Static file and folder operations. None but openOrderFolder shows a
// message, and none throws;
// failure is a false result, an empty list or an empty text.
class FileOperation
{
public:
    FileOperation() = default;

    // Why a write failed: the device (or the share's quota) is full, or
    // anything else. Told by the failed write itself, at write, sync or close.
    enum class WriteError { None, DiskFull, Other };

    // Copies one file. With overwrite, an existing target is replaced only
    // once the new copy is complete. Without it, a taken name moves the copy
    // to the first free numbered name ("a(1).jpg"); an existing file is
    // never replaced. A failed copy whose error stays None failed at its
    // source (missing, or a read that broke off), not at the target.
    static bool copyFile(QString source, QString target, bool overwrite, WriteError* error = nullptr);

    // Copies one file only when its target is free: an existing target (or
    // one another copy takes meanwhile) stays as it is, targetTaken is set
    // and the result is false. Never replaces, never numbers.
    static bool copyNewFile(QString source, QString target, bool* targetTaken = nullptr,
                            WriteError* error = nullptr);
    // The same with the target taken exactly as given: a "\" stays part of
    // a name, for folder names that carry one on purpose.
    static bool copyNewFileAsIs(const QString& source, const QString& target, bool* targetTaken = nullptr,
                                WriteError* error = nullptr);
    // How a finished file takes its target's name: replacing what is there,
    // moving on to the first free numbered name, or only when the name is free.
    enum class NameRule
    {
        Replace,
        NumberIfTaken,
        NewOnly
    };

    // One file written in two steps, for a writer with other work to do
    // while the device writes: start() puts the data into a hidden temporary
    // file in the target's folder and has the system begin writing it back
    // at once; commit() then syncs and closes it, both checked, and only after
    // that gives it its name by the rule. The write-back of many files thus
    // overlaps the writer's work and each other, and still no file takes its
    // name before the device has accepted all of it. A staged file that is
    // never committed (or fails) leaves nothing behind.
    class StagedFile
    {
    public:
        StagedFile() = default;
        ~StagedFile();
        StagedFile(StagedFile&& other) noexcept;
        StagedFile& operator=(StagedFile&& other) noexcept;
        StagedFile(const StagedFile&) = delete;
        StagedFile& operator=(const StagedFile&) = delete;

        // False when the file could not be made or written; error() says why.
        bool start(const QByteArray& data, const QString& target);
        // The same with the data written by writer into the open descriptor;
        // it returns 0 or an error number.
        bool startWith(const QString& target, QFile::Permissions permissions,
                       const std::function<int(int fd)>& writer);
        // Syncs and closes the file (the first time), then names it target,
        // a path in the folder given to start(), by the rule. With NewOnly and
        // the name taken: false, taken set, and the file stays staged, to be
        // committed under another name.
        bool commit(const QString& target, NameRule rule, QString* usedPath = nullptr, bool* taken = nullptr);
        bool isStarted() const { return !m_tempPath.isEmpty(); }
        // The temporary file while the file is staged, to read it back.
        const QString& stagedPath() const { return m_tempPath; }
        // The permissions start() gives a file.
        static QFile::Permissions defaultPermissions();
        WriteError error() const { return m_error; }

    private:
        void discard();
        // Records why the write failed and drops the temporary file.
        bool fail(int err);

        QString m_target;   // as given to start(), for the fault hook
        QString m_tempPath; // empty once committed or discarded
        int m_fd = -1;      // open until the sync
        unsigned m_mode = 0;
        WriteError m_error = WriteError::None;
    };

    // Writes bytes to a file by the same rules as copyFile. usedPath, when
    // given, receives the path that was written. A new file takes its name
    // only once its data is synced and closed without error.
    static bool writeFile(const QByteArray& data, QString target, bool overwrite, QString* usedPath = nullptr,
                          WriteError* error = nullptr);
    // Writes bytes to a new file only when its name is free, by the rule of
    // copyNewFile: an existing target (or one another writer takes
    // meanwhile) stays as it is, targetTaken is set and the result is false.
    static bool writeNewFile(const QByteArray& data, const QString& target, bool* targetTaken = nullptr,
                             WriteError* error = nullptr);
    // Replaces a file, like writeFile with overwrite, with a file only its
    // owner may read and write (for files that hold a password).
    static bool writeOwnerOnlyFile(const QByteArray& data, const QString& target);
    // Appends bytes to a file in one write, making the file when it is
    // missing (also for no bytes); false when it cannot be opened or not
    // every byte landed (synced and closed). Earlier content is never
    // rewritten. The write is made under a write lock on the open file,
    // held until it is closed, so appends of other threads, processes and
    // stations to the same file never interleave with it. With a record
    // separator, an append to a file that is not empty and does not end
    // with it begins with it: a record an earlier append left cut short
    // stands alone, and this append's first record stays whole. Nothing
    // already in the file is changed or cut.
    static bool appendFile(const QString& path, const QByteArray& data, char separator = '\0');
    // Writes every byte to the open descriptor; 0 or the error number.
    static int writeAll(int fd, const char* data, qint64 size);
    // The whole file; false (data undefined) when it cannot be opened or a
    // read fails before its end.
    static bool readFile(const QString& path, QByteArray* data);
    // True when both paths name one file (same device and inode), whatever
    // way each path reaches it.
    static bool isSameFile(const QString& a, const QString& b);
    // True when both are regular files that read to their end with the
    // same bytes. False, with unreadable set (when given), when either
    // could not be looked at, opened or read: neither the same nor known to
    // differ.
    static bool isSameContent(const QString& a, const QString& b, bool* unreadable = nullptr);

    static bool isFileExist(QString path);
    static bool isDirExist(QString path);
    static bool makeDir(QString path);
    static QString makeDir_forProductDir(QString path);
    static bool copyDir(QString source, QString target, bool overwrite);
    static bool removeFile(QString path);
    // Both removals list every entry (hidden ones too) and work relative to
    // open folder handles, never following a link: a link is removed, and a
    // folder swapped for a link while the removal runs makes it fail.
    static bool removeDir(QString path);
    static bool removeFolderContent(QString path);
    // Removes a folder only while it is empty (one rmdir): whatever a
    // listing missed keeps it, and nothing inside is ever taken.
    static bool removeEmptyDir(const QString& path);
    // What one look-up of a path found: a folder, a file, something else
    // (a special file), not there, or nothing known. Missing is only a
    // path that is not there (ENOENT, ENOTDIR) or a link that leads
    // nowhere (its target missing, or a loop). Any other failure of the
    // look-up (EIO, EACCES, ESTALE, a share that dropped, a folder the
    // station may see but not enter) is Unreadable: such a path may well
    // be there and is never taken for a missing one.
    enum class Presence
    {
        Missing,
        Folder,
        File,
        Other,
        Unreadable
    };
    // One look-up of path, a link judged by what it points to.
    static Presence lookUp(const QString& path);
    // The same for the name itself, a link not followed (Other for a link).
    static Presence lookUpNoFollow(const QString& path);

    // The entries of a folder from one reading of it (opendir and readdir,
    // their errors checked), in name order with letter case ignored.
    // filters reads as QDir's: Dirs and Files, Hidden for names beginning
    // with ".", System for links that lead nowhere and special files,
    // NoSymLinks, and NoDot / NoDotDot; a link is judged by what it points
    // to. Each entry the filters would return is looked at by its own
    // name: one removed meanwhile is left out, one whose look-up fails
    // otherwise, or whose name does not read back as text (a name written
    // in another encoding, which no tool could name), fails the listing.
    // Entries the filters leave out by name or type are not looked at.
    // False, with no entries, when the folder could not be opened, its
    // reading broke off or an entry failed so: a folder that could not be
    // read is not an empty folder.
    static bool listFolder(const QString& folder, QDir::Filters filters, QFileInfoList* entries);
    // A folder's entries by listFolder's rules, whose names match one of
    // nameFilters as QDir matches them (wildcards, letter case ignored; no
    // filters keeps every name). The name filters apply to folders too,
    // unless filters holds AllDirs. A folder that is not there lists as
    // empty; false for one whose own look-up fails and for one that could
    // not be read.
    static bool listMatching(const QString& folder, const QStringList& nameFilters, QDir::Filters filters,
                             QFileInfoList* entries);
    // What every tool says of a folder that could not be listed or looked
    // at: "目录读取失败", and "目录读取失败：<folder>" where it names the
    // folder; a folder whose last listing failed on a name that does not
    // read back is named "目录读取失败：<folder>（含无法识别的文件名）".
    static QString unreadableText();
    static QString unreadableFolderText(const QString& folder);
    // The folder as those texts name it, for texts of their own.
    static QString unreadableFolderName(const QString& folder);
    // What a tool says of a folder it needs: nothing when it is a folder,
    // unreadableFolderText when it cannot be looked at, and missingText
    // when it is not there or no folder.
    static QString folderFault(const QString& folder, const QString& missingText);
    static QString getFileName(QString path);
    static int getFileImagesCount(QString folder);
    static QString rootPath(QString path);
    static bool hide(QString path);
    static bool hideOnWin(QString path);
    static bool hideOnMac(QString path);
    static void openFileDir(QString folder);
    // What a tool says of an order folder it needs: folderFault with
    // "订单目录不存在：<folder>".
    static QString orderFolderFault(const QString& folder);
    // Opens an order's folder in the file browser only when it is a folder
    // (a path from the service may name a file, which the desktop would open
    // or run); otherwise says why in a "警告" notice. False when nothing was
    // opened.
    static bool openOrderFolder(const QString& folder, QWidget* parent);
    static QStringList readFromDAT(QString fileName, int count);
    // Replaces the list file atomically; false when it could not be written.
    static bool writeToDAT(QString fileName, QStringList texts, bool hide);

    // The numbered name the n-th retry of a copy onto a taken target uses:
    // "a.jpg" and "a.JPG" give "a(n).jpg"; other files keep their suffix.
    static QString numberedName(const QString& target, int n);
    // True for the hidden temporary files copies write before they commit.
    static bool isPartialFile(const QString& fileName);
    // Removes the folder's hidden temporary files (isPartialFile) that were
    // last written more than 24 hours ago: what a run that was killed left
    // behind. Younger ones may be another station's copy in progress and
    // stay. A stale temporary file whose claim record names a file of the
    // folder that is still empty (a claim by exclusive create cut short
    // between the create and the rename) takes that name instead, and the
    // folder is synced. Each record goes with its temporary file, and a
    // stale record without one goes too. Returns how many temporary files
    // were removed or took their names.
    static int removeStaleTempFiles(const QString& folder);
    // Syncs the folder itself, so the names given in it last through a
    // crash. A file system that offers no folder sync (EINVAL, ENOTSUP)
    // counts as synced; false on any other error.
    static bool syncFolder(const QString& folder);

    // The folders one run has swept of stale temporary files. The run's
    // jobs share it (from any thread), so each folder is swept once, before
    // the run's first write into it.
    class SweptFolders
    {
    public:
        void sweepOnce(const QString& folder);

    private:
        QMutex m_mutex;
        QSet<QString> m_swept;
    };

    // Fault injection for tests: a hook that answers true makes the named
    // step fail for that path. Write: a write refused; DiskFull: a write
    // refused for want of space; Close: the data written but refused at sync
    // or close, as network shares report it; Read: a read that fails after
    // the first block; ShortRead: a compare's first read of that file gives
    // half the bytes it asked for, as a share that drops mid-read does;
    // Remove: a removal refused, as a locked file would be;
    // List: the listing of that folder breaks off, as on a share that drops;
    // LookUp: the look-up of that path fails with EIO, as on a share that
    // drops (asked before the real look-up, so a hook may also remove the
    // entry and let the look-up find it gone);
    // NoLinks: a never-replacing commit onto that name finds neither a
    // no-replace rename nor hard links, as on some SMB and FUSE shares;
    // LinkResent: it finds no no-replace rename, and its hard link, once
    // made, answers EEXIST, as a request an NFS share got twice does;
    // FolderSync: the sync of that folder refused; NoFolderSync: the folder's
    // file system offers no folder sync. Claimed is no failure (the answer
    // is ignored): the hook is told right after a claim's exclusive create
    // took that name, before the rename, so a test can end the process
    // there as a crash would. EmptiedFolder is no failure either: the raw
    // download tells the hook right before it removes a raw folder it has
    // emptied, so a test can put a file there as another station would.
    // MakeFolder: the order tree's make of that folder refused (EACCES), as
    // a share that may be read but not written refuses it; DiskFull is asked
    // there too, for a share that is full, and by appendFile, whose write it
    // cuts short after half of its bytes.
    enum class Fault
    {
        Write,
        Remove,
        List,
        DiskFull,
        Close,
        Read,
        NoLinks,
        LinkResent,
        FolderSync,
        NoFolderSync,
        Claimed,
        EmptiedFolder,
        LookUp,
        MakeFolder,
        ShortRead
    };
    using FaultHook = std::function<bool(Fault, const QString& path)>;
    static void setFaultHook(FaultHook hook);
    // Tells the hook of a point outside this class, and returns its
    // answer: true where that point is to fail (notification points ignore
    // it).
    static bool tellFaultHook(Fault fault, const QString& path);
};
