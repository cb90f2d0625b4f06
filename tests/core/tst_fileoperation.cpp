#include "deletionguard.h"
#include "fileoperation.h"
#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "tempvolumes.h"
#include "testfiles.h"

#include <QtTest>

#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestFiles::readAll;
using TestFiles::write;
using TestFiles::entries;

// Makes the named step fail for paths that contain the fragment.
struct FaultScope
{
    FaultScope(FileOperation::Fault fault, const QString& fragment)
    {
        FileOperation::setFaultHook([fault, fragment](FileOperation::Fault f, const QString& path) {
            return f == fault && path.contains(fragment);
        });
    }
    ~FaultScope() { FileOperation::setFaultHook(nullptr); }
};

} // namespace

class TestFileOperation : public QObject
{
    Q_OBJECT

private slots:
    // A row's fault hook never reaches the next row, however the row ends.
    void cleanup() { FileOperation::setFaultHook(nullptr); }

    void copyOntoFreeTarget();
    void copyNumbersTakenNames_data();
    void copyNumbersTakenNames();
    void copyWithOverwriteReplaces();
    void copyMissingSourceOrSameTarget();
    void failedCopyKeepsTheOldFileAndLeavesNoPartial();
    void concurrentCopiesNeverShareAName();
    void faultsAfterTheDataKeepTheOldFile_data();
    void faultsAfterTheDataKeepTheOldFile();
    void readErrorPartWayFails();
    void stagedFileTakesItsNameOnlyAtCommit_data();
    void stagedFileTakesItsNameOnlyAtCommit();
    void newOnlyCommitOnEveryShare_data();
    void newOnlyCommitOnEveryShare();
    void staleTempFilesSweptOncePerRun();
    void sameFileByAnotherPath();
    void sameContent_data();
    void sameContent();
    void writeFileFromBytes();
    void copyNewFileNeverReplaces();
    void appendsWaitForTheLockAndStayWhole();

    void existenceAndMakeDir();
    void makeDirForProductDirNumbers();
    void copyDirCopiesTreesAndRefusesTakenFiles();

    void removeFolderContentRemovesTrees();
    void removeFolderContentNeverFollowsLinks();
    void removeFolderContentEndsWhenStuck();
    void removeDirLeavesHiddenEntries();
    void removalNeverFollowsAFolderSwappedForALink();
    void listingsKeepTheirRules_data();
    void listingsKeepTheirRules();

    void namesAndCounts();
    void pathListFilesRoundTrip();
    void openFileDirGoesThroughDesktop();
    void openOrderFolderOpensOnlyFolders_data();
    void openOrderFolderOpensOnlyFolders();

    void deletionGuard_data();
    void deletionGuard();
};

void TestFileOperation::copyOntoFreeTarget()
{
    QTemporaryDir dir;
    write(dir.filePath("src.jpg"), "abc");
    QVERIFY(FileOperation::copyFile(dir.filePath("src.jpg"), dir.filePath("a.jpg"), false));
    QCOMPARE(readAll(dir.filePath("a.jpg")), QByteArray("abc"));
    QCOMPARE(entries(dir.path()), QStringList({"a.jpg", "src.jpg"}));
}

void TestFileOperation::copyNumbersTakenNames_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::newRow("jpg") << QStringList{"a.jpg", "a(1).jpg"} << "a.jpg" << "a(2).jpg";
    QTest::newRow("upper JPG gets lower jpg") << QStringList{"IMG_01.JPG", "IMG_01(1).jpg"} << "IMG_01.JPG"
                                              << "IMG_01(2).jpg";
    QTest::newRow("video keeps its suffix") << QStringList{"clip.mp4"} << "clip.mp4" << "clip(1).mp4";
    QTest::newRow("raw keeps its suffix") << QStringList{"x.CR2"} << "x.CR2" << "x(1).CR2";
    QTest::newRow("no suffix") << QStringList{"notes"} << "notes" << "notes(1)";
}

void TestFileOperation::copyNumbersTakenNames()
{
    QFETCH(QStringList, present);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QTemporaryDir src;
    QTemporaryDir dst;
    for (const QString& name : present)
        write(dst.filePath(name), "old:" + name.toUtf8());
    write(src.filePath("new"), "new");
    QVERIFY(FileOperation::copyFile(src.filePath("new"), dst.filePath(target), false));
    QCOMPARE(readAll(dst.filePath(expected)), QByteArray("new"));
    for (const QString& name : present)
        QCOMPARE(readAll(dst.filePath(name)), "old:" + name.toUtf8());
}

void TestFileOperation::copyWithOverwriteReplaces()
{
    QTemporaryDir dir;
    write(dir.filePath("src.jpg"), "new");
    write(dir.filePath("a.jpg"), "old");
    QVERIFY(FileOperation::copyFile(dir.filePath("src.jpg"), dir.filePath("a.jpg"), true));
    QCOMPARE(readAll(dir.filePath("a.jpg")), QByteArray("new"));
    QCOMPARE(entries(dir.path()), QStringList({"a.jpg", "src.jpg"}));

    // A folder in the target's place is not replaced.
    QDir().mkdir(dir.filePath("folder.jpg"));
    QVERIFY(!FileOperation::copyFile(dir.filePath("src.jpg"), dir.filePath("folder.jpg"), true));
    QVERIFY(QFileInfo(dir.filePath("folder.jpg")).isDir());
}

void TestFileOperation::copyMissingSourceOrSameTarget()
{
    QTemporaryDir dir;
    QVERIFY(!FileOperation::copyFile(dir.filePath("missing.jpg"), dir.filePath("a.jpg"), false));
    QVERIFY(entries(dir.path()).isEmpty());
    write(dir.filePath("a.jpg"), "x");
    QVERIFY(FileOperation::copyFile(dir.filePath("a.jpg"), dir.filePath("a.jpg"), false));
    QCOMPARE(entries(dir.path()), QStringList{"a.jpg"});
    QVERIFY(!FileOperation::copyFile(dir.filePath("a.jpg"), dir.filePath("no/such/folder/a.jpg"), false));
}

void TestFileOperation::failedCopyKeepsTheOldFileAndLeavesNoPartial()
{
    QTemporaryDir dir;
    write(dir.filePath("src.jpg"), QByteArray(300000, 'n'));
    write(dir.filePath("server/a.jpg"), "the only copy");
    {
        FaultScope fault(FileOperation::Fault::Write, "server");
        QVERIFY(!FileOperation::copyFile(dir.filePath("src.jpg"), dir.filePath("server/a.jpg"), true));
        QVERIFY(!FileOperation::copyFile(dir.filePath("src.jpg"), dir.filePath("server/a.jpg"), false));
        QVERIFY(!FileOperation::writeFile("bytes", dir.filePath("server/a.jpg"), true));
    }
    QCOMPARE(readAll(dir.filePath("server/a.jpg")), QByteArray("the only copy"));
    QCOMPARE(entries(dir.filePath("server")), QStringList{"a.jpg"});
    QCOMPARE(FileOperation::getFileImagesCount(dir.filePath("server")), 1);
}

void TestFileOperation::concurrentCopiesNeverShareAName()
{
    QTemporaryDir dir;
    const int copies = 16;
    for (int i = 0; i < copies; ++i)
        write(dir.filePath(QString("src/%1").arg(i)), QByteArray::number(i));
    QDir().mkdir(dir.filePath("dst"));
    QList<QThread*> threads;
    for (int i = 0; i < copies; ++i) {
        threads.append(QThread::create([&dir, i] {
            FileOperation::copyFile(dir.filePath(QString("src/%1").arg(i)), dir.filePath("dst/a.jpg"), false);
        }));
    }
    for (QThread* t : threads)
        t->start();
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    const QStringList names = entries(dir.filePath("dst"));
    QCOMPARE(names.size(), copies);
    QSet<QByteArray> contents;
    for (const QString& name : names)
        contents.insert(readAll(dir.filePath("dst/" + name)));
    QCOMPARE(contents.size(), copies);
}

void TestFileOperation::writeFileFromBytes()
{
    QTemporaryDir dir;
    QString used;
    QVERIFY(FileOperation::writeFile("one", dir.filePath("a.jpg"), false, &used));
    QCOMPARE(used, dir.filePath("a.jpg"));
    QVERIFY(FileOperation::writeFile("two", dir.filePath("a.jpg"), false, &used));
    QCOMPARE(used, dir.filePath("a(1).jpg"));
    QVERIFY(FileOperation::writeFile("three", dir.filePath("a.jpg"), true, &used));
    QCOMPARE(readAll(dir.filePath("a.jpg")), QByteArray("three"));
    QCOMPARE(readAll(dir.filePath("a(1).jpg")), QByteArray("two"));
}

void TestFileOperation::copyNewFileNeverReplaces()
{
    QTemporaryDir dir;
    write(dir.filePath("src.mp4"), "new");
    write(dir.filePath("taken.mp4"), "old");
    bool taken = true;
    QVERIFY(FileOperation::copyNewFile(dir.filePath("src.mp4"), dir.filePath("free.mp4"), &taken));
    QVERIFY(!taken);
    QCOMPARE(readAll(dir.filePath("free.mp4")), QByteArray("new"));
    QVERIFY(!FileOperation::copyNewFile(dir.filePath("src.mp4"), dir.filePath("taken.mp4"), &taken));
    QVERIFY(taken);
    QCOMPARE(readAll(dir.filePath("taken.mp4")), QByteArray("old"));
    QVERIFY(!FileOperation::copyNewFile(dir.filePath("missing"), dir.filePath("x.mp4"), &taken));
    QVERIFY(!taken);
    QCOMPARE(entries(dir.path()), QStringList({"free.mp4", "src.mp4", "taken.mp4"}));
}

void TestFileOperation::faultsAfterTheDataKeepTheOldFile_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("bytes"); // writeFile instead of copyFile
    QTest::addColumn<int>("error");
    using F = FileOperation::Fault;
    using E = FileOperation::WriteError;
    QTest::newRow("copy refused at close") << int(F::Close) << false << int(E::Other);
    QTest::newRow("bytes refused at close") << int(F::Close) << true << int(E::Other);
    QTest::newRow("copy onto a full disk") << int(F::DiskFull) << false << int(E::DiskFull);
    QTest::newRow("bytes onto a full disk") << int(F::DiskFull) << true << int(E::DiskFull);
    QTest::newRow("copy refused while written") << int(F::Write) << false << int(E::Other);
}

void TestFileOperation::faultsAfterTheDataKeepTheOldFile()
{
    // A share that takes the data and refuses it only at sync or close
    // must not get the good photo replaced by a truncated one.
    QFETCH(int, fault);
    QFETCH(bool, bytes);
    QFETCH(int, error);
    QTemporaryDir dir;
    write(dir.filePath("src.jpg"), QByteArray(300000, 'n'));
    write(dir.filePath("server/a.jpg"), "the only copy");
    FileOperation::WriteError told = FileOperation::WriteError::None;
    {
        FaultScope scope(FileOperation::Fault(fault), "server");
        const bool written =
            bytes ? FileOperation::writeFile(QByteArray(300000, 'n'), dir.filePath("server/a.jpg"), true, nullptr,
                                             &told)
                  : FileOperation::copyNewFile(dir.filePath("src.jpg"), dir.filePath("server/b.jpg"), nullptr,
                                               &told) ||
                        FileOperation::copyFile(dir.filePath("src.jpg"), dir.filePath("server/a.jpg"), true);
        QVERIFY(!written);
    }
    QCOMPARE(int(told), error);
    QCOMPARE(readAll(dir.filePath("server/a.jpg")), QByteArray("the only copy"));
    QCOMPARE(entries(dir.filePath("server")), QStringList{"a.jpg"});
}

void TestFileOperation::readErrorPartWayFails()
{
    QTemporaryDir dir;
    write(dir.filePath("card/turned.jpg"), QByteArray(200000, 't'));
    write(dir.filePath("server/turned.jpg"), "the only copy");
    FaultScope scope(FileOperation::Fault::Read, "card");
    QByteArray data;
    QVERIFY(!FileOperation::readFile(dir.filePath("card/turned.jpg"), &data));
    FileOperation::WriteError told = FileOperation::WriteError::DiskFull;
    QVERIFY(!FileOperation::copyNewFile(dir.filePath("card/turned.jpg"), dir.filePath("server/new.jpg"), nullptr,
                                        &told));
    QCOMPARE(int(told), int(FileOperation::WriteError::None)); // the source failed, not the target
    QVERIFY(!FileOperation::copyFile(dir.filePath("card/turned.jpg"), dir.filePath("server/turned.jpg"), true));
    QCOMPARE(readAll(dir.filePath("server/turned.jpg")), QByteArray("the only copy"));
    QCOMPARE(entries(dir.filePath("server")), QStringList{"turned.jpg"});
    FileOperation::setFaultHook(nullptr);
    QVERIFY(FileOperation::readFile(dir.filePath("card/turned.jpg"), &data));
    QCOMPARE(data.size(), 200000);
}

void TestFileOperation::stagedFileTakesItsNameOnlyAtCommit_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<int>("fault"); // -1: none
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("committed");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("files"); // the folder after the commit
    QTest::addColumn<QByteArray>("a");      // what a.jpg then holds

    using R = FileOperation::NameRule;
    using F = FileOperation::Fault;
    using E = FileOperation::WriteError;
    const QByteArray old("the only copy");
    const QByteArray data(300000, 'n');
    QTest::newRow("replace") << int(R::Replace) << -1 << true << true << int(E::None) << QStringList{"a.jpg"}
                             << data;
    QTest::newRow("replace, refused at close")
        << int(R::Replace) << int(F::Close) << true << false << int(E::Other) << QStringList{"a.jpg"} << old;
    QTest::newRow("replace, refused while written")
        << int(R::Replace) << int(F::Write) << false << false << int(E::Other) << QStringList{"a.jpg"} << old;
    QTest::newRow("replace, disk full") << int(R::Replace) << int(F::DiskFull) << false << false
                                        << int(E::DiskFull) << QStringList{"a.jpg"} << old;
    QTest::newRow("numbered") << int(R::NumberIfTaken) << -1 << true << true << int(E::None)
                              << QStringList{"a(1).jpg", "a.jpg"} << old;
    QTest::newRow("new only, taken: committed under another name")
        << int(R::NewOnly) << -1 << true << false << int(E::None) << QStringList{"a.jpg", "b.jpg"} << old;
}

void TestFileOperation::stagedFileTakesItsNameOnlyAtCommit()
{
    QFETCH(int, rule);
    QFETCH(int, fault);
    QFETCH(bool, started);
    QFETCH(bool, committed);
    QFETCH(int, error);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, a);
    QTemporaryDir dir;
    const QString target = dir.filePath("server/a.jpg");
    write(target, "the only copy");
    FileOperation::setFaultHook([fault, target](FileOperation::Fault f, const QString& path) {
        return int(f) == fault && path == target;
    });
    {
        // One never committed leaves nothing behind.
        FileOperation::StagedFile dropped;
        QVERIFY(dropped.start("dropped", dir.filePath("server/c.jpg")));
    }
    FileOperation::StagedFile file;
    QCOMPARE(file.start(QByteArray(300000, 'n'), target), started);
    // Written but not committed: the name still holds what it held.
    QCOMPARE(readAll(target), QByteArray("the only copy"));
    bool taken = false;
    QCOMPARE(file.commit(target, FileOperation::NameRule(rule), nullptr, &taken), committed);
    QCOMPARE(int(file.error()), error);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(taken, FileOperation::NameRule(rule) == FileOperation::NameRule::NewOnly);
    if (taken)
        QVERIFY(file.commit(dir.filePath("server/b.jpg"), FileOperation::NameRule::NewOnly));
    QCOMPARE(entries(dir.filePath("server")), files);
    QCOMPARE(readAll(target), a);
    if (files.contains("b.jpg"))
        QCOMPARE(readAll(dir.filePath("server/b.jpg")), QByteArray(300000, 'n'));
}

void TestFileOperation::newOnlyCommitOnEveryShare_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("taken"); // the name holds another station's file
    using F = FileOperation::Fault;
    QTest::newRow("no links: an exclusive create") << int(F::NoLinks) << false;
    QTest::newRow("no links, name taken") << int(F::NoLinks) << true;
    QTest::newRow("a link answering EEXIST that is its own") << int(F::LinkResent) << false;
    QTest::newRow("a link answering EEXIST, name taken") << int(F::LinkResent) << true;
}

void TestFileOperation::newOnlyCommitOnEveryShare()
{
    QFETCH(int, fault);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    const QString target = dir.filePath("a.jpg");
    if (taken)
        write(target, "another station's");
    FileOperation::setFaultHook([fault](FileOperation::Fault f, const QString&) { return int(f) == fault; });
    FileOperation::StagedFile file;
    QVERIFY(file.start("this one", target));
    bool told = !taken;
    QCOMPARE(file.commit(target, FileOperation::NameRule::NewOnly, nullptr, &told), !taken);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(told, taken);
    QCOMPARE(readAll(target), QByteArray(taken ? "another station's" : "this one"));
    QCOMPARE(entries(dir.path()).size(), taken ? 2 : 1); // staged still, for another name
}

void TestFileOperation::staleTempFilesSweptOncePerRun()
{
    QTemporaryDir dir;
    QVERIFY(TestFiles::writeAged(dir.filePath(".dravin-aB3dE5gH.part"), "killed run", 25));
    // A claim record whose temporary file took its name before the run died.
    QVERIFY(TestFiles::writeAged(dir.filePath(".dravin-Zz9Yy8Xx.claim"), "a.jpg\n", 25));
    FileOperation::SweptFolders run;
    run.sweepOnce(dir.path());
    QVERIFY(TestFiles::writeAged(dir.filePath(".dravin-Qq1Ww2Ee.part"), "killed run", 25));
    run.sweepOnce(dir.path() + "/");
    QCOMPARE(entries(dir.path()), QStringList{".dravin-Qq1Ww2Ee.part"});
}

void TestFileOperation::sameFileByAnotherPath()
{
    QTemporaryDir dir;
    write(dir.filePath("share/a.jpg"), "a");
    write(dir.filePath("share/b.jpg"), "a");
    QVERIFY(::link(QFile::encodeName(dir.filePath("share/a.jpg")).constData(),
                   QFile::encodeName(dir.filePath("share/second-name.jpg")).constData()) == 0);
    QVERIFY(QFile::link(dir.filePath("share"), dir.filePath("mount2")));
    QVERIFY(FileOperation::isSameFile(dir.filePath("share/a.jpg"), dir.filePath("share/second-name.jpg")));
    QVERIFY(FileOperation::isSameFile(dir.filePath("share/a.jpg"), dir.filePath("mount2/a.jpg")));
    QVERIFY(!FileOperation::isSameFile(dir.filePath("share/a.jpg"), dir.filePath("share/b.jpg")));
    QVERIFY(!FileOperation::isSameFile(dir.filePath("share/a.jpg"), dir.filePath("share/none.jpg")));
}

void TestFileOperation::sameContent_data()
{
    QTest::addColumn<char>("lastByte"); // of the second file; the first's is 'x'
    QTest::addColumn<int>("cutShort");  // the file (1, 2) whose first read breaks off, 0 for none
    QTest::addColumn<int>("grows");     // the file (1, 2) that grows after its look-up, 0 for none
    QTest::addColumn<QString>("answer");
    QTest::newRow("same bytes over several blocks") << 'x' << 0 << 0 << "same";
    QTest::newRow("another last byte") << 'y' << 0 << 0 << "different";
    QTest::newRow("same bytes, the first's read cut short") << 'x' << 1 << 0 << "unreadable";
    QTest::newRow("same bytes, the second's read cut short") << 'x' << 2 << 0 << "unreadable";
    QTest::newRow("same bytes, the second grew after its look-up") << 'x' << 0 << 2 << "unreadable";
}

// Two files are different only where bytes read whole on both sides differ.
void TestFileOperation::sameContent()
{
    QFETCH(char, lastByte);
    QFETCH(int, cutShort);
    QFETCH(int, grows);
    QTemporaryDir dir;
    const QByteArray bytes(200 * 1024, 'a');
    const QString first = dir.filePath("card/MVI_0001.MP4");
    const QString second = dir.filePath("order/MVI_0001.MP4");
    write(first, bytes + 'x');
    write(second, bytes + lastByte);
    const QStringList files{QString(), first, second};
    // Asked once the first block is read: the sizes are looked up, the end
    // not yet reached, as when a camera still writes the clip.
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (f != FileOperation::Fault::ShortRead)
            return false;
        QFile grown(path);
        if (path == files.at(grows) && !(grown.open(QIODevice::Append) && grown.write("x") == 1))
            qFatal("could not append to %s", qPrintable(path));
        return path == files.at(cutShort);
    });
    bool unreadable = true;
    const bool same = FileOperation::isSameContent(first, second, &unreadable);
    FileOperation::setFaultHook(nullptr);
    QTEST(QString(same ? "same" : unreadable ? "unreadable" : "different"), "answer");
}

void TestFileOperation::existenceAndMakeDir()
{
    QTemporaryDir dir;
    write(dir.filePath("f"), "x");
    QVERIFY(FileOperation::isFileExist(dir.filePath("f")));
    QVERIFY(!FileOperation::isFileExist(dir.path()));
    QVERIFY(FileOperation::isDirExist(dir.path()));
    QVERIFY(!FileOperation::isDirExist(dir.filePath("f")));
    QVERIFY(!FileOperation::isDirExist(QString()));
    QVERIFY(FileOperation::makeDir(dir.path()));
    QVERIFY(!FileOperation::makeDir(dir.filePath("a/b")));
    QVERIFY(!QFileInfo::exists(dir.filePath("a")));
    QVERIFY(FileOperation::makeDir(dir.filePath("a")));
    QVERIFY(FileOperation::isDirExist(dir.filePath("a")));
}

void TestFileOperation::makeDirForProductDirNumbers()
{
    QTemporaryDir dir;
    const QString first = FileOperation::makeDir_forProductDir(dir.path() + "\\相册*12  /");
    QCOMPARE(first, dir.path() + "/相册x12/");
    QVERIFY(QFileInfo(first).isDir());
    const QString second = FileOperation::makeDir_forProductDir(dir.path() + "/相册x12");
    QCOMPARE(second, dir.path() + "/相册x12(1)");
    QVERIFY(QFileInfo(second).isDir());
    QCOMPARE(FileOperation::makeDir_forProductDir(dir.path() + "/missing/parent"), QString());
}

void TestFileOperation::copyDirCopiesTreesAndRefusesTakenFiles()
{
    QTemporaryDir dir;
    write(dir.filePath("src/a.jpg"), "a");
    write(dir.filePath("src/sub/b.jpg"), "b");
    write(dir.filePath("src/.hidden"), "h");
    QVERIFY(FileOperation::copyDir(dir.filePath("src"), dir.filePath("dst"), false));
    QCOMPARE(readAll(dir.filePath("dst/sub/b.jpg")), QByteArray("b"));
    QVERIFY(!QFileInfo::exists(dir.filePath("dst/.hidden")));

    write(dir.filePath("src/a.jpg"), "a2");
    QVERIFY(!FileOperation::copyDir(dir.filePath("src"), dir.filePath("dst"), false));
    QCOMPARE(readAll(dir.filePath("dst/a.jpg")), QByteArray("a"));
    QVERIFY(FileOperation::copyDir(dir.filePath("src"), dir.filePath("dst"), true));
    QCOMPARE(readAll(dir.filePath("dst/a.jpg")), QByteArray("a2"));

    QVERIFY(FileOperation::copyDir(dir.filePath("missing"), dir.filePath("made"), false));
    QVERIFY(QFileInfo(dir.filePath("made")).isDir());
}

void TestFileOperation::removeFolderContentRemovesTrees()
{
    QTemporaryDir dir;
    QVERIFY(!FileOperation::removeFolderContent(dir.filePath("missing")));
    QDir().mkdir(dir.filePath("empty"));
    QVERIFY(FileOperation::removeFolderContent(dir.filePath("empty")));
    QVERIFY(!QFileInfo::exists(dir.filePath("empty")));

    write(dir.filePath("order/照片/a.jpg"), "a");
    write(dir.filePath("order/照片/新建文件夹/a.CR2"), "r");
    write(dir.filePath("order/thumbnail/.DS_Store"), "h");
    write(dir.filePath("order/x/y/z/deep.jpg"), "d");
    QDir().mkpath(dir.filePath("order/empty/inner"));
    QVERIFY(FileOperation::removeFolderContent(dir.filePath("order")));
    QVERIFY(!QFileInfo::exists(dir.filePath("order")));

    // Gone only when the look-up says so: one that cannot be looked at
    // afterwards may still be there.
    write(dir.filePath("dropped/a.jpg"), "a");
    FaultScope unseen(FileOperation::Fault::LookUp, "dropped");
    QVERIFY(!FileOperation::removeFolderContent(dir.filePath("dropped")));
}

void TestFileOperation::removeFolderContentNeverFollowsLinks()
{
    QTemporaryDir dir;
    write(dir.filePath("outside/keep.jpg"), "keep");
    write(dir.filePath("order/a.jpg"), "a");
    QVERIFY(QFile::link(dir.filePath("outside"), dir.filePath("order/link-to-outside")));
    QVERIFY(QFile::link(dir.filePath("outside/keep.jpg"), dir.filePath("order/file-link.jpg")));
    QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath("order/broken")));
    QVERIFY(FileOperation::removeFolderContent(dir.filePath("order")));
    QVERIFY(!QFileInfo::exists(dir.filePath("order")));
    QCOMPARE(readAll(dir.filePath("outside/keep.jpg")), QByteArray("keep"));

    // A link given as the folder itself: the link goes, the target stays.
    QVERIFY(QFile::link(dir.filePath("outside"), dir.filePath("order-link")));
    QVERIFY(FileOperation::removeFolderContent(dir.filePath("order-link")));
    QVERIFY(!QFileInfo(dir.filePath("order-link")).isSymLink());
    QCOMPARE(readAll(dir.filePath("outside/keep.jpg")), QByteArray("keep"));
}

void TestFileOperation::removeFolderContentEndsWhenStuck()
{
    QTemporaryDir dir;
    write(dir.filePath("order/a.jpg"), "a");
    write(dir.filePath("order/sub/locked.jpg"), "l");
    write(dir.filePath("order/sub/other.jpg"), "o");
    {
        FaultScope fault(FileOperation::Fault::Remove, "locked.jpg");
        QVERIFY(!FileOperation::removeFolderContent(dir.filePath("order")));
    }
    QCOMPARE(entries(dir.filePath("order")), QStringList{"sub"});
    QCOMPARE(entries(dir.filePath("order/sub")), QStringList{"locked.jpg"});
}

void TestFileOperation::removeDirLeavesHiddenEntries()
{
    QTemporaryDir dir;
    write(dir.filePath("d/a.jpg"), "a");
    write(dir.filePath("d/sub/b.jpg"), "b");
    write(dir.filePath("d/.hidden"), "h");
    QVERIFY(!FileOperation::removeDir(dir.filePath("d")));
    QCOMPARE(entries(dir.filePath("d")), QStringList{".hidden"});
    QFile::remove(dir.filePath("d/.hidden"));
    QVERIFY(FileOperation::removeDir(dir.filePath("d")));
    QVERIFY(!FileOperation::removeDir(dir.filePath("d")));
}

void TestFileOperation::removalNeverFollowsAFolderSwappedForALink()
{
    // While an order folder is being removed, its "成品" is swapped for a
    // link to another order's "成品": that order's photos stay.
    QTemporaryDir dir;
    write(dir.filePath("other/成品/keep.jpg"), "keep");
    write(dir.filePath("order/成品/a.jpg"), "a");
    write(dir.filePath("order/成品/b.jpg"), "b");
    bool swapped = false;
    const QString first = dir.filePath("order/成品/");
    FileOperation::setFaultHook([&](FileOperation::Fault fault, const QString& path) {
        if (fault == FileOperation::Fault::Remove && path.startsWith(first) && !swapped) {
            swapped = true;
            QDir().rename(dir.filePath("order/成品"), dir.filePath("order/moved"));
            QFile::link(dir.filePath("other/成品"), dir.filePath("order/成品"));
        }
        return false;
    });
    const bool removed = FileOperation::removeFolderContent(dir.filePath("order"));
    FileOperation::setFaultHook(nullptr);
    QVERIFY(!removed);
    QVERIFY(swapped);
    QCOMPARE(readAll(dir.filePath("other/成品/keep.jpg")), QByteArray("keep"));
    QVERIFY(QFileInfo(dir.filePath("order/成品")).isSymLink());
}

void TestFileOperation::listingsKeepTheirRules_data()
{
    // nameFilters: none for listFolder itself, a list for listMatching.
    // folder: "none", a folder that is not there; "faulty", one whose reading
    // fails; "unseen", one whose own look-up fails; or what befalls an entry:
    // "unseen <name>", its look-up fails; "removed <name>", it goes between
    // the reading and its look-up; "loop", a link to itself is added; "far",
    // a link whose target cannot be looked at (a name part over 255 bytes);
    // "gbk" and "gbk folder", a file or folder named in GBK bytes is added.
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("filters");
    QTest::addColumn<QStringList>("nameFilters");
    QTest::addColumn<QStringList>("names");
    const QStringList none{"<listFolder>"};
    const int all = int(QDir::AllEntries | QDir::NoDotAndDotDot);
    QTest::newRow("default: dots in; hidden, special and dangling out")
        << "" << int(QDir::AllEntries) << none << QStringList{".", "..", "A.jpg", "b.CR2", "link", "sub"};
    QTest::newRow("everything but the dots")
        << "" << int(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot) << none
        << QStringList{".h", "A.jpg", "b.CR2", "broken", "fifo", "link", "sub"};
    QTest::newRow("a folder that is not there") << "none" << int(QDir::AllEntries) << none
                                                << QStringList{"<not read>"};
    QTest::newRow("matching: case ignored, folders judged by name, links in")
        << "" << all << QStringList{"*.JPG", "l*"} << QStringList{"A.jpg", "link"};
    QTest::newRow("matching: links out")
        << "" << int(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::NoSymLinks) << QStringList{"*.jpg", "l*"}
        << QStringList{"A.jpg"};
    QTest::newRow("matching: folders apart") << "" << int(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot)
                                             << QStringList{"*.cr2"} << QStringList{"b.CR2", "link", "sub"};
    QTest::newRow("matching: no name filters") << "" << int(QDir::Files) << QStringList{}
                                               << QStringList{"A.jpg", "b.CR2"};
    QTest::newRow("matching: a folder that is not there is empty")
        << "none" << int(QDir::Files) << QStringList{"*.jpg"} << QStringList{};
    QTest::newRow("matching: a folder that cannot be read")
        << "faulty" << int(QDir::Files) << QStringList{"*.jpg"} << QStringList{"<not read>"};
    QTest::newRow("matching: a folder that cannot be looked at")
        << "unseen" << int(QDir::Files) << QStringList{"*.jpg"} << QStringList{"<not read>"};
    QTest::newRow("an entry that cannot be looked at")
        << "unseen A.jpg" << all << none << QStringList{"<not read>"};
    QTest::newRow("an entry that cannot be looked at, left out by type")
        << "unseen A.jpg" << int(QDir::Dirs | QDir::NoDotAndDotDot) << none << QStringList{"link", "sub"};
    QTest::newRow("matching: an entry that cannot be looked at, left out by name")
        << "unseen A.jpg" << all << QStringList{"*.cr2"} << QStringList{"b.CR2"};
    QTest::newRow("an entry gone between the reading and its look-up")
        << "removed A.jpg" << all << none << QStringList{"b.CR2", "link", "sub"};
    QTest::newRow("a link that cannot be looked at")
        << "unseen link" << all << none << QStringList{"<not read>"};
    QTest::newRow("a link whose target cannot be looked at")
        << "far" << all << none << QStringList{"<not read>"};
    QTest::newRow("dangling and looping links left out")
        << "loop" << all << none << QStringList{"A.jpg", "b.CR2", "link", "sub"};
    QTest::newRow("a name that does not read back")
        << "gbk" << all << none << QStringList{"<not read: name>"};
    QTest::newRow("matching: a name that does not read back, left out by name")
        << "gbk" << all << QStringList{"*.cr2"} << QStringList{"b.CR2"};
    QTest::newRow("a folder name that does not read back, left out by type")
        << "gbk folder" << int(QDir::Files) << none << QStringList{"A.jpg", "b.CR2"};
}

void TestFileOperation::listingsKeepTheirRules()
{
    QFETCH(QString, folder);
    QFETCH(int, filters);
    QFETCH(QStringList, nameFilters);
    QTemporaryDir dir;
    for (const char* name : {"b.CR2", "A.jpg", ".h", "sub/x"})
        write(dir.filePath(name), "x");
    QVERIFY(QFile::link(dir.filePath("sub"), dir.filePath("link")) &&
            QFile::link("gone", dir.filePath("broken")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    const QByteArray gbk = QFile::encodeName(dir.path()) + "/\xb3\xc9\xc6\xb7";
    if (folder == "gbk") {
        const int fd = ::open(gbk.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0 && ::close(fd) == 0);
    } else if (folder == "gbk folder") {
        QCOMPARE(::mkdir(gbk.constData(), 0700), 0);
    } else if (folder == "loop") {
        QVERIFY(QFile::link(dir.filePath("loop"), dir.filePath("loop")));
    } else if (folder == "far") {
        QVERIFY(QFile::link(dir.filePath(QString(300, 'x') + "/f"), dir.filePath("far")));
    }
    const QString listed = folder == "none" ? dir.filePath("none") : dir.path();
    const QString entry = dir.filePath(folder.section(' ', 1));
    FileOperation::setFaultHook([&](FileOperation::Fault f, const QString& path) {
        if (f == FileOperation::Fault::List)
            return folder == "faulty" && path == listed;
        if (f != FileOperation::Fault::LookUp)
            return false;
        if (folder.startsWith("removed ") && path == entry)
            QFile::remove(entry);
        return (folder == "unseen" && path == listed) || (folder.startsWith("unseen ") && path == entry);
    });
    QFileInfoList entries;
    const bool read = nameFilters == QStringList{"<listFolder>"}
                          ? FileOperation::listFolder(listed, QDir::Filters(filters), &entries)
                          : FileOperation::listMatching(listed, nameFilters, QDir::Filters(filters), &entries);
    FileOperation::setFaultHook(nullptr);
    // QTemporaryDir removes by decoded names: the raw one goes here.
    ::unlink(gbk.constData());
    ::rmdir(gbk.constData());
    QStringList names;
    for (const QFileInfo& entry : entries)
        names.append(entry.fileName());
    const QString why = FileOperation::unreadableFolderText(listed);
    if (!read)
        names = QStringList{why.endsWith("（含无法识别的文件名）") ? "<not read: name>" : "<not read>"};
    QTEST(names, "names");
}

void TestFileOperation::namesAndCounts()
{
    QCOMPARE(FileOperation::getFileName("a/b/"), QString());
    QCOMPARE(FileOperation::getFileName("b"), QStringLiteral("b"));
    QCOMPARE(FileOperation::getFileName("/x/y/IMG.jpg"), QStringLiteral("IMG.jpg"));
    QCOMPARE(FileOperation::rootPath("D:/photos"), QStringLiteral("D:/"));
    QCOMPARE(FileOperation::rootPath("/Volumes/share"), QStringLiteral("/Vo"));
    QVERIFY(!FileOperation::hide("x"));

    QTemporaryDir dir;
    write(dir.filePath("X.JPG"), "x");
    write(dir.filePath("y.jpg"), "y");
    write(dir.filePath("z.png"), "z");
    write(dir.filePath(".h.jpg"), "h");
    QCOMPARE(FileOperation::getFileImagesCount(dir.path()), 2);
    QCOMPARE(FileOperation::getFileImagesCount(dir.filePath("missing")), 0);
}

void TestFileOperation::pathListFilesRoundTrip()
{
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QCOMPARE(FileOperation::readFromDAT("path_copyPhotos.dat", 1), QStringList());
    QVERIFY(FileOperation::writeToDAT("path_separatePhotos.dat", {"/Volumes/out/分件"}, true));
    QCOMPARE(FileOperation::readFromDAT("path_separatePhotos.dat", 1), QStringList{"/Volumes/out/分件"});
    QCOMPARE(FileOperation::readFromDAT("path_separatePhotos.dat", 2), QStringList({"/Volumes/out/分件", ""}));
    QCOMPARE(FileOperation::readFromDAT("path_separatePhotos.dat", 0), QStringList());

    // The stream format: a 32-bit big-endian byte count and UTF-16BE units.
    FileOperation::writeToDAT("f.dat", {"ab"}, false);
    QCOMPARE(readAll(dir.filePath("f.dat")), QByteArray("\x00\x00\x00\x04\x00" "a" "\x00" "b", 8));

    // An unwritable place is reported, not taken as saved.
    QVERIFY(!FileOperation::writeToDAT("no/such/folder.dat", {"x"}, false));
    // So is a list the share refuses at close; the old list stays whole.
    FileOperation::setFaultHook([](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::Close && path.endsWith("f.dat");
    });
    QVERIFY(!FileOperation::writeToDAT("f.dat", {"changed"}, false));
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(FileOperation::readFromDAT("f.dat", 1), QStringList{"ab"});
    QDir::setCurrent(before);
}

void TestFileOperation::openFileDirGoesThroughDesktop()
{
    RecordingDesktop desktop;
    FileOperation::openFileDir("/Volumes/share/orders/A001");
    QCOMPARE(desktop.urls.size(), 1);
    QCOMPARE(desktop.urls.first(), QUrl::fromLocalFile("/Volumes/share/orders/A001"));
    QVERIFY(desktop.programs.isEmpty());
}

void TestFileOperation::openOrderFolderOpensOnlyFolders_data()
{
    QTest::addColumn<QString>("path"); // below a temporary folder
    QTest::addColumn<bool>("lookUpFails");
    QTest::addColumn<QString>("notice"); // "%1" is the whole path; empty: opened
    QTest::newRow("folder") << "A001" << false << "";
    QTest::newRow("file") << "A001/run.command" << false << "订单目录不存在：%1";
    QTest::newRow("missing") << "A002" << false << "订单目录不存在：%1";
    QTest::newRow("cannot be looked at") << "A001" << true << "目录读取失败：%1";
}

void TestFileOperation::openOrderFolderOpensOnlyFolders()
{
    QFETCH(QString, path);
    QFETCH(bool, lookUpFails);
    QFETCH(QString, notice);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("A001"));
    write(dir.filePath("A001/run.command"), "#!/bin/sh\n");
    const QString full = dir.filePath(path);
    RecordingDesktop desktop;
    ScriptedPrompts prompts;
    prompts.setLenient(true);
    {
        FaultScope fault(lookUpFails ? FileOperation::Fault::LookUp : FileOperation::Fault::Write, full);
        QCOMPARE(FileOperation::openOrderFolder(full, nullptr), notice.isEmpty());
    }
    if (notice.isEmpty()) {
        QCOMPARE(desktop.urls, QList<QUrl>{QUrl::fromLocalFile(full)});
        QVERIFY(prompts.messages().isEmpty());
    } else {
        QVERIFY(desktop.urls.isEmpty());
        QCOMPARE(prompts.messages().size(), 1);
        QCOMPARE(prompts.last().title, QString("警告"));
        QCOMPARE(prompts.last().text, notice.arg(full));
    }
}

void TestFileOperation::appendsWaitForTheLockAndStayWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ImageTime.txt");
    // Another station's append in progress: a write lock on the file.
    const int holder = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0666);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    if (holder < 0 || ::fcntl(holder, F_OFD_SETLK, &lock) != 0)
        QSKIP("no open-file locks here");

    bool held = true;
    const auto letGo = [&held, holder] {
        if (std::exchange(held, false))
            ::close(holder);
    };
    // Each append tells the hook first, before it opens the file and waits.
    const auto entered = std::make_shared<QAtomicInt>(0);
    FileOperation::setFaultHook([entered, path](FileOperation::Fault f, const QString& p) {
        if (f == FileOperation::Fault::Write && p == path)
            entered->ref();
        return false;
    });

    // Six threads append 40 records each, "<3 digits>><3000 bytes>|".
    const QByteArray padding(3000, 'x');
    QList<QThread*> writers;
    QAtomicInt failed = 0;
    // The writers use this row's locals: they end with it, however it ends.
    const auto joinWriters = qScopeGuard([&] {
        letGo();
        for (QThread* writer : qAsConst(writers)) {
            writer->wait();
            delete writer;
        }
    });
    for (int t = 0; t < 6; ++t) {
        writers.append(QThread::create([&, t] {
            for (int i = 0; i < 40; ++i) {
                if (!FileOperation::appendFile(path,
                                               QByteArray::number(100 + t * 100 + i) + '>' + padding + '|'))
                    failed.ref();
            }
        }));
        writers.last()->start();
    }
    // Every writer at its first append, then a moment in which none may get
    // past the lock.
    QTRY_VERIFY_WITH_TIMEOUT(entered->loadAcquire() >= 6, 10000);
    QTest::qWait(100);
    QCOMPARE(QFileInfo(path).size(), qint64(0)); // every append waits for the lock
    letGo();
    for (QThread* writer : qAsConst(writers))
        QVERIFY(writer->wait(30000));
    QCOMPARE(int(failed), 0);

    QSet<int> seen;
    for (const QByteArray& record : readAll(path).split('|')) {
        const QList<QByteArray> fields = record.split('>');
        if (record.isEmpty() || fields.size() != 2 || fields.at(1) != padding)
            QVERIFY2(record.isEmpty(), record.left(40).constData());
        else
            seen.insert(fields.at(0).toInt());
    }
    QCOMPARE(seen.size(), 240);
    QCOMPARE(readAll(path).size(), 240 * (3 + 1 + padding.size() + 1));
}

void TestFileOperation::deletionGuard_data()
{
    QTest::addColumn<QString>("path"); // "@" stands for the mount root
    QTest::addColumn<QStringList>("others");
    QTest::addColumn<int>("verdict");
    using V = DeletionGuard::Verdict;
    QTest::newRow("order folder with its own folders")
        << "@share/2023-05-01/A001/" << QStringList() << int(V::Allowed);
    QTest::newRow("deep order folder") << "@share/store/2023/05/A001" << QStringList() << int(V::Allowed);
    QTest::newRow("empty") << "" << QStringList() << int(V::Empty);
    QTest::newRow("blank") << "  " << QStringList() << int(V::Empty);
    QTest::newRow("relative") << "share/2023/A001" << QStringList() << int(V::NotAbsolute);
    QTest::newRow("windows form") << "D:/photos/2023/A001" << QStringList() << int(V::NotAbsolute);
    QTest::newRow("dot dot") << "@share/2023/../../../etc" << QStringList() << int(V::DotParts);
    QTest::newRow("dot") << "@share/./2023/A001" << QStringList() << int(V::DotParts);
    QTest::newRow("mount root") << "@" << QStringList() << int(V::OutsideMountRoot);
    QTest::newRow("volume root") << "@share" << QStringList() << int(V::TooShallow);
    QTest::newRow("share level one") << "@share/2023/" << QStringList() << int(V::TooShallow);
    QTest::newRow("outside") << "/tmp/share/2023/A001" << QStringList() << int(V::OutsideMountRoot);
    QTest::newRow("link") << "@share/2023/link" << QStringList() << int(V::SymbolicLink);
    QTest::newRow("under a linked folder") << "@share/linked/x" << QStringList() << int(V::SymbolicLink);
    QTest::newRow("equal to another") << "@share/2023/A001" << QStringList{"@share/2023/A001/"} << int(V::OverlapsRun);
    QTest::newRow("inside another") << "@share/2023/A001/照片" << QStringList{"@share/2023/A001"}
                                    << int(V::OverlapsRun);
    QTest::newRow("holding another") << "@share/2023/A001" << QStringList{"@share/2023/A001/照片"}
                                     << int(V::OverlapsRun);
    QTest::newRow("sibling is fine") << "@share/2023/A001" << QStringList{"@share/2023/A0011", ""}
                                     << int(V::Allowed);
    QTest::newRow("month folder") << "@share/tree/2024-05/" << QStringList() << int(V::DateFolder);
    QTest::newRow("day folder") << "@share/tree/2024-05/15" << QStringList() << int(V::DateFolder);
    QTest::newRow("no month, no day") << "@share/tree/2024-13/32" << QStringList() << int(V::Allowed);
    QTest::newRow("month folder right below a volume")
        << "@share/2024-05/" << QStringList() << int(V::DateFolder);
    QTest::newRow("day folder holding another of the run")
        << "@share/tree/2024-05/15" << QStringList{"@share/tree/2024-05/15/A002-1"} << int(V::DateFolder);
    QTest::newRow("month folder outside") << "/tmp/share/2024-05" << QStringList() << int(V::DateFolder);
    QTest::newRow("holding an order folder") << "@share/stores/east" << QStringList() << int(V::HoldsOrders);
    QTest::newRow("holding one deep down") << "@share/stores/west" << QStringList() << int(V::HoldsOrders);
    // "*" marks the folder before it as one that cannot be looked at.
    QTest::newRow("a folder on its way cannot be looked at")
        << "@share/2023-05-01*/A001/" << QStringList() << int(V::Unreadable);
}

void TestFileOperation::deletionGuard()
{
    QFETCH(QString, path);
    QFETCH(QStringList, others);
    QFETCH(int, verdict);
    TempVolumes volumes;
    for (const char* own : {"照片/新建文件夹", "成品", "设计", "thumbnail100"})
        volumes.mkdir(QStringLiteral("share/2023-05-01/A001/") + own);
    volumes.mkdir("share/tree/2024-05/15/A002-1/照片");
    volumes.mkdir("share/tree/2024-13/32");
    volumes.mkdir("share/stores/east/A003-1/成品");
    volumes.mkdir("share/stores/west/2024/05/A004-1/设计");
    volumes.mkdir("share/2023/A001/照片");
    QTemporaryDir outside;
    QFile::link(outside.path(), volumes.path("share/2023/link"));
    QFile::link(outside.path(), volumes.path("share/linked"));
    QDir().mkpath(outside.path() + "/x");

    path.replace("@", volumes.root());
    for (QString& other : others)
        other.replace("@", volumes.root());
    const QString unseen = path.contains('*') ? path.section('*', 0, 0) : QString();
    path.remove('*');
    FileOperation::setFaultHook([unseen](FileOperation::Fault f, const QString& p) {
        return f == FileOperation::Fault::LookUp && p == unseen;
    });
    const DeletionGuard::Result result = DeletionGuard::check(path, others);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(int(result.verdict), verdict);
    QCOMPARE(result.reason().isEmpty(), result.allowed());
}

QTEST_GUILESS_MAIN(TestFileOperation)
#include "tst_fileoperation.moc"
