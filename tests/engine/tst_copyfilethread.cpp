#include "testfiles.h"
#include "copyfilethread.h"
#include "fileoperation.h"

#include <QThreadPool>
#include <QtTest>

#include <unistd.h>

namespace {

using TestFiles::readAll;
using TestFiles::write;

QStringList entries(const QString& dir)
{
    return TestFiles::entries(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

void runJob(QRunnable* job)
{
    QThreadPool pool;
    pool.start(job);
    QVERIFY(pool.waitForDone(10000));
}

} // namespace

class TestCopyFileThread : public QObject
{
    Q_OBJECT

private slots:
    void moveReplacesTheTargetAndRemovesTheSource_data();
    void moveReplacesTheTargetAndRemovesTheSource();
    void moveNeverLosesTheSource_data();
    void moveNeverLosesTheSource();
    void moveOntoTheSameFileByASecondPath();
    void removal();
};

void TestCopyFileThread::moveReplacesTheTargetAndRemovesTheSource_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("free target") << false;
    QTest::newRow("existing target") << true;
}

void TestCopyFileThread::moveReplacesTheTargetAndRemovesTheSource()
{
    QFETCH(bool, targetExists);
    QTemporaryDir dir;
    write(dir.filePath("from/a.jpg"), "new");
    QDir().mkpath(dir.filePath("to"));
    if (targetExists)
        write(dir.filePath("to/a.jpg"), "old");
    runJob(new CopyFileThread(dir.filePath("from/a.jpg"), dir.filePath("to/a.jpg")));
    QCOMPARE(readAll(dir.filePath("to/a.jpg")), QByteArray("new"));
    QCOMPARE(entries(dir.filePath("to")), QStringList{"a.jpg"});
    QVERIFY(entries(dir.filePath("from")).isEmpty());
}

void TestCopyFileThread::moveNeverLosesTheSource_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("failWrites");
    QTest::newRow("copy fails") << "to/a.jpg" << true;
    QTest::newRow("target folder missing") << "nowhere/a.jpg" << false;
    QTest::newRow("onto itself") << "from/a.jpg" << false;
    QTest::newRow("onto itself by another path") << "from/../from/a.jpg" << false;
    QTest::newRow("onto a folder") << "to" << false;
}

void TestCopyFileThread::moveNeverLosesTheSource()
{
    QFETCH(QString, target);
    QFETCH(bool, failWrites);
    QTemporaryDir dir;
    write(dir.filePath("from/a.jpg"), "photo");
    write(dir.filePath("to/a.jpg"), "old");
    if (failWrites) {
        FileOperation::setFaultHook([](FileOperation::Fault f, const QString& path) {
            return f == FileOperation::Fault::Write && path.contains("/to/");
        });
    }
    runJob(new CopyFileThread(dir.filePath("from/a.jpg"), dir.filePath(target)));
    FileOperation::setFaultHook(nullptr);

    QCOMPARE(readAll(dir.filePath("from/a.jpg")), QByteArray("photo"));
    QCOMPARE(readAll(dir.filePath("to/a.jpg")), QByteArray("old"));
    QCOMPARE(entries(dir.filePath("to")), QStringList{"a.jpg"});
}

void TestCopyFileThread::moveOntoTheSameFileByASecondPath()
{
    // Two names of one file, as a second mount of the share or a
    // case-insensitive share gives them: the move does nothing at all.
    QTemporaryDir dir;
    write(dir.filePath("share/a.jpg"), "photo");
    QDir().mkpath(dir.filePath("second"));
    QVERIFY(::link(QFile::encodeName(dir.filePath("share/a.jpg")).constData(),
                   QFile::encodeName(dir.filePath("second/a.jpg")).constData()) == 0);
    runJob(new CopyFileThread(dir.filePath("second/a.jpg"), dir.filePath("share/a.jpg")));
    QCOMPARE(readAll(dir.filePath("second/a.jpg")), QByteArray("photo"));
    QVERIFY(FileOperation::isSameFile(dir.filePath("second/a.jpg"), dir.filePath("share/a.jpg")));
}

void TestCopyFileThread::removal()
{
    QTemporaryDir dir;
    write(dir.filePath("a.jpg"), "photo");
    write(dir.filePath("b.jpg"), "other");
    runJob(new CopyFileThread(dir.filePath("a.jpg")));
    QCOMPARE(entries(dir.path()), QStringList{"b.jpg"});
    runJob(new CopyFileThread(dir.filePath("missing.jpg")));
    QCOMPARE(entries(dir.path()), QStringList{"b.jpg"});
}

QTEST_MAIN(TestCopyFileThread)
#include "tst_copyfilethread.moc"
