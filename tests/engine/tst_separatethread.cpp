#include "dirserver.h"
#include "filenames.h"
#include "fileoperation.h"
#include "imagedata.h"
#include "imageoperation.h"
#include "jobrunner.h"
#include "jobtestowner.h"
#include "separatethread.h"
#include "tempvolumes.h"
#include "testfiles.h"
#include "thumbnailthread.h"

#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QtTest>

namespace {

using TestFiles::readAll;

QStringList entries(const QString& dir)
{
    return TestFiles::entries(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// An order folder on a mount root whose store folder is itself named like
// an order sub-folder, and the order's separation output folder.
struct OrderTree
{
    TempVolumes volumes;
    QString order = volumes.mkdir(QStringLiteral("店/成品/2024-05-03/A001 王-李/"));
    QString output = volumes.mkdir(QStringLiteral("分件/2024-05-03/A001-服务1 王-李 自取/"));
    QString finished = volumes.mkdir(QStringLiteral("分件/2024-05-03/A001-服务1 王-李 自取/成品/"));

    QString put(const QString& path, const QByteArray& content) const
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
        return path;
    }
    QString rawFolder() const { return order + QStringLiteral("照片/新建文件夹/"); }
    // Where a raw file would be looked for if every "成品/" of the path were
    // renamed, store folder included.
    QString lookAlikeRawFolder() const
    {
        return volumes.path(QStringLiteral("店/照片/新建文件夹/2024-05-03/A001 王-李/照片/新建文件夹/"));
    }
};

// Runs the jobs on the owner's runner and delivers their call-backs.
void settle(JobRunner& runner)
{
    QVERIFY(runner.waitForDone(20000));
    QCoreApplication::processEvents();
}

// Makes writes to paths with the fragment wait until released (or the
// timeout passes), so a test can close a window while a job copies.
struct BlockingWrites
{
    QSemaphore entered;
    QSemaphore release;
    BlockingWrites(const QString& fragment, int timeoutMs)
    {
        FileOperation::setFaultHook([this, fragment, timeoutMs](FileOperation::Fault f, const QString& path) {
            if (f == FileOperation::Fault::Write && path.contains(fragment)) {
                entered.release();
                release.tryAcquire(1, timeoutMs);
            }
            return false;
        });
    }
    ~BlockingWrites() { FileOperation::setFaultHook(nullptr); }
};

struct FailingWrites
{
    explicit FailingWrites(const QString& fragment)
    {
        FileOperation::setFaultHook([fragment](FileOperation::Fault f, const QString& path) {
            return f == FileOperation::Fault::Write && path.contains(fragment);
        });
    }
    ~FailingWrites() { FileOperation::setFaultHook(nullptr); }
};

class RunnerWindow : public JobTestOwner
{
public:
    RunnerWindow() : jobs(this) {}
    JobRunner jobs;
};

} // namespace

class TestSeparateThread : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void slotsTheJobsCallExist();

    void existenceCheck_data();
    void existenceCheck();
    void finishedPhotoWithRawFiles_data();
    void finishedPhotoWithRawFiles();
    void finishedPhotoMakesAMissingSmallThumbnail_data();
    void finishedPhotoMakesAMissingSmallThumbnail();
    void rawFilePairs_data();
    void rawFilePairs();
    void stageCopies_data();
    void stageCopies();

    void productPhoto_data();
    void productPhoto();
    void productPhotoKeepsAnExistingTarget();
    void productPhotoThatFailsToCopyIsReported();

    void marksBecomeTheOrdersMarkedImages();
    void markRectanglesAreBounded();
    void marksWithAnEmptyArray();

    void plainFileNames_data();
    void plainFileNames();

    void closedWindowsJobsDoNothing_data();
    void closedWindowsJobsDoNothing();
    void windowClosedMidRunReceivesNothing();
    void windowDestroyedMidRun();
    void unknownTypesDoNothing();
};

void TestSeparateThread::init()
{
    ImageData::changedImages.clear();
    ImageData::getInstance()->clearImages();
    DirServer::setOrderPath(QString());
}

void TestSeparateThread::slotsTheJobsCallExist()
{
    JobTestOwner owner;
    QList<QByteArray> signatures =
        SeparateThread::callbackSignatures() + ThumbnailThread::callbackSignatures();
    QCOMPARE(signatures.size(), 12);
    for (const QByteArray& signature : signatures) {
        QVERIFY2(owner.metaObject()->indexOfMethod(QMetaObject::normalizedSignature(signature)) >= 0,
                 signature.constData());
    }
    QCOMPARE(SeparateThread::callbackSignature(2), QByteArray("fenjian_photoIsFileSlot_1(int)"));
    QCOMPARE(SeparateThread::callbackSignature(5), QByteArray("fenjian_productPhotoSlot_4(QString)"));
    QVERIFY(SeparateThread::callbackSignature(0).isEmpty());
    QVERIFY(SeparateThread::callbackSignature(8).isEmpty());
}

void TestSeparateThread::existenceCheck_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file") << "成品/IMG_7.JPG"
                          << "fenjian_photoIsFileSlot_1(1)";
    QTest::newRow("folder") << "成品/sub"
                            << "fenjian_photoIsFileSlot_1(0)";
    QTest::newRow("missing") << "成品/IMG_9.JPG"
                             << "fenjian_photoIsFileSlot_1(0)";
}

void TestSeparateThread::existenceCheck()
{
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    OrderTree tree;
    tree.put(tree.order + "成品/IMG_7.JPG", "fine");
    QDir().mkpath(tree.order + "成品/sub");

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(tree.order + relative, 2, runner.owner()));
    settle(runner);
    QCOMPARE(owner.calls, QStringList{expected});
    QVERIFY(!owner.calledOffThread);
}

void TestSeparateThread::finishedPhotoWithRawFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sjfjxz");
    QTest::addColumn<QStringList>("raws");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("raw twins") << "IMG_7.JPG"
                               << "1" << QStringList{"IMG_7.CR2", "IMG_7.NEF"}
                               << QStringList{"IMG_7.CR2", "IMG_7.JPG", "IMG_7.NEF"};
    QTest::newRow("every raw kind") << "a.jpg"
                                    << "1" << QStringList{"a.CR2", "a.CR3", "a.ARW", "a.NEF", "a.RAF"}
                                    << QStringList{"a.ARW", "a.CR2", "a.CR3", "a.NEF", "a.RAF", "a.jpg"};
    QTest::newRow("no raw file") << "IMG_8.JPG"
                                 << "1" << QStringList{} << QStringList{"IMG_8.JPG"};
    QTest::newRow("setting empty") << "IMG_7.JPG"
                                   << "" << QStringList{"IMG_7.CR2"} << QStringList{"IMG_7.JPG"};
    QTest::newRow("setting 0") << "IMG_7.JPG"
                               << "0" << QStringList{"IMG_7.CR2"} << QStringList{"IMG_7.JPG"};
    QTest::newRow("setting with a blank") << "IMG_7.JPG"
                                          << " 1" << QStringList{"IMG_7.CR2"} << QStringList{"IMG_7.JPG"};
    // A camera file of the photo's own name must not land on the photo.
    QTest::newRow("not a jpg") << "b.png"
                               << "1" << QStringList{"b.png"} << QStringList{"b.png"};
}

void TestSeparateThread::finishedPhotoWithRawFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, sjfjxz);
    QFETCH(QStringList, raws);
    QFETCH(QStringList, expected);
    OrderTree tree;
    const QString source = tree.put(tree.order + "成品/" + name, "fine:" + name.toUtf8());
    for (const QString& raw : raws) {
        tree.put(tree.rawFolder() + raw, "raw:" + raw.toUtf8());
        tree.put(tree.lookAlikeRawFolder() + raw, "look-alike");
    }

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(source, tree.finished + name, true, 1, runner.owner(), sjfjxz));
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"fenjian_finalPhotoSlot_2"});
    QCOMPARE(entries(tree.finished), expected);
    for (const QString& file : expected) {
        const QByteArray content = readAll(tree.finished + file);
        QCOMPARE(content, file == name ? "fine:" + name.toUtf8() : "raw:" + file.toUtf8());
    }
}

void TestSeparateThread::finishedPhotoMakesAMissingSmallThumbnail_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");     // the order's "成品缩略图/" is there
    QTest::addColumn<QByteArray>("held"); // a small thumbnail already there
    QTest::addColumn<QSize>("expected");  // of the small thumbnail; invalid: none

    QTest::newRow("missing") << "IMG_7.JPG" << true << QByteArray() << QSize(1000, 666);
    QTest::newRow("kept") << "IMG_7.jpg" << true << QByteArray("earlier") << QSize();
    QTest::newRow("no folder") << "IMG_7.jpg" << false << QByteArray() << QSize();
    QTest::newRow("not a jpg") << "b.png" << true << QByteArray() << QSize();
}

void TestSeparateThread::finishedPhotoMakesAMissingSmallThumbnail()
{
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(QByteArray, held);
    QFETCH(QSize, expected);
    OrderTree tree;
    const QString source = tree.order + "成品/" + name;
    QDir().mkpath(tree.order + "成品");
    QImage photo(1200, 800, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    QVERIFY(photo.save(source, name.endsWith("png") ? "PNG" : "JPEG"));
    // The sheet looks for "x.jpg" whatever the photo's suffix case.
    const QString small = tree.order + "成品缩略图/" + QString(name).replace(".JPG", ".jpg");
    if (folder)
        QDir().mkpath(tree.order + "成品缩略图");
    if (!held.isEmpty())
        tree.put(small, held);

    JobTestOwner owner;
    JobRunner runner(&owner);
    auto* job = new SeparateThread(source, tree.finished + name, true, 1, runner.owner());
    job->setSmallThumbnail(ImageData::fineSmallThumbnail(tree.order, name));
    runner.start(job);
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"fenjian_finalPhotoSlot_2"});
    QCOMPARE(readAll(tree.finished + name), readAll(source));
    QCOMPARE(QImageReader(small).size(), expected);
    if (!held.isEmpty())
        QCOMPARE(readAll(small), held);
    QCOMPARE(QFileInfo(tree.order + "成品缩略图").isDir(), folder);
}

void TestSeparateThread::rawFilePairs_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("firstRaw");
    QTest::addColumn<QString>("firstTwin");

    QTest::newRow("upper-case photo") << "/V/s/o/成品/IMG_7.JPG"
                                      << "/out/成品/IMG_7.JPG"
                                      << "/V/s/o/照片/新建文件夹/IMG_7.CR2"
                                      << "/out/成品/IMG_7.CR2";
    QTest::newRow("only the photo's folder is renamed") << "/V/成品/o.jpg/成品/x.jpg"
                                                        << "/out/成品.jpg/x.jpg"
                                                        << "/V/成品/o.jpg/照片/新建文件夹/x.CR2"
                                                        << "/out/成品.jpg/x.CR2";
    QTest::newRow("photo outside a finished folder") << "/V/o/设计/d.jpg"
                                                     << "/out/d.jpg"
                                                     << "/V/o/设计/d.CR2"
                                                     << "/out/d.CR2";
    QTest::newRow("not a jpg") << "/V/o/成品/b.png"
                               << "/out/b.png"
                               << ""
                               << "";
    QTest::newRow("mixed-case suffix") << "/V/o/成品/c.Jpg"
                                       << "/out/c.Jpg"
                                       << ""
                                       << "";
}

void TestSeparateThread::rawFilePairs()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, firstRaw);
    QFETCH(QString, firstTwin);
    const auto pairs = SeparateThread::rawFilePairs(source, target);
    if (firstRaw.isEmpty()) {
        QVERIFY(pairs.isEmpty());
        return;
    }
    QCOMPARE(pairs.size(), 5);
    QCOMPARE(pairs.first().first, firstRaw);
    QCOMPARE(pairs.first().second, firstTwin);
    QStringList suffixes;
    for (const auto& pair : pairs)
        suffixes << pair.second.right(4);
    QCOMPARE(suffixes, QStringList({".CR2", ".CR3", ".ARW", ".NEF", ".RAF"}));
}

void TestSeparateThread::stageCopies_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("slot");
    QTest::newRow("rejected photo") << 3 << "汰片/"
                                    << "fenjian_delPhotoSlot_3";
    QTest::newRow("marked photo") << 4 << "marks/"
                                  << "fenjian_markPhoto_3_1";
    QTest::newRow("design photo") << 7 << "设计/"
                                  << "fenjian_shejiPhotoSlot_3_2";
}

void TestSeparateThread::stageCopies()
{
    QFETCH(int, type);
    QFETCH(QString, folder);
    QFETCH(QString, slot);
    OrderTree tree;
    const QString present = tree.put(tree.order + folder + "r1.jpg", "new");
    const QString targetFolder = tree.output + folder;
    tree.put(targetFolder + "r1.jpg", "old"); // replaced: the stage overwrites
    // A raw file beside it is never copied by these stages.
    tree.put(tree.rawFolder() + "r1.CR2", "raw");

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(present, targetFolder + "r1.jpg", true, type, runner.owner(), "1"));
    runner.start(new SeparateThread(tree.order + folder + "gone.jpg", targetFolder + "gone.jpg", true, type,
                                    runner.owner()));
    settle(runner);

    // Both call back: the window counts call-backs, not copies. The job
    // whose photo is gone says so first.
    QCOMPARE(owner.count(slot), 2);
    QVERIFY(owner.calls.indexOf("copyFailed(" + tree.order + folder + "gone.jpg)") <
            owner.calls.lastIndexOf(slot));
    QCOMPARE(owner.calls.size(), 3);
    QCOMPARE(entries(targetFolder), QStringList{"r1.jpg"});
    QCOMPARE(readAll(targetFolder + "r1.jpg"), QByteArray("new"));
}

void TestSeparateThread::productPhoto_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QByteArray>("copied");

    QTest::newRow("as named") << "IMG_7.jpg" << QStringList{"IMG_7.jpg", "IMG_7.JPG"} << ""
                              << QByteArray("IMG_7.jpg");
    QTest::newRow("only upper-case") << "IMG_7.jpg" << QStringList{"IMG_7.JPG"} << ""
                                     << QByteArray("IMG_7.JPG");
    // "?": there, and its look-up fails.
    QTest::newRow("as named, not looked at")
        << "IMG_7.jpg" << QStringList{"?IMG_7.jpg", "IMG_7.JPG"} << "相册 8寸:IMG_7.JPG" << QByteArray();
    QTest::newRow("missing") << "IMG_7.jpg" << QStringList{"IMG_9.jpg"} << "相册 8寸:IMG_7.JPG"
                             << QByteArray();
    QTest::newRow("empty name") << "" << QStringList{"IMG_7.jpg"} << "相册 8寸:" << QByteArray();
    // A name that leaves the folder is never joined to it, even though the
    // path it names exists.
    QTest::newRow("path as name") << "../成品/IMG_7.jpg" << QStringList{"IMG_7.jpg"}
                                  << "相册 8寸:../成品/IMG_7.JPG" << QByteArray();
}

void TestSeparateThread::productPhoto()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, present);
    QFETCH(QString, report);
    QFETCH(QByteArray, copied);
    OrderTree tree;
    for (const QString& name : present)
        tree.put(tree.finished + QString(name).remove('?'), name.toUtf8());
    FileOperation::setFaultHook([present](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::LookUp && present.contains('?' + QFileInfo(path).fileName());
    });
    const QString productFolder = tree.output + "相册 8寸 1/";
    QDir().mkpath(productFolder);

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(fileName, productFolder + "IMG_7.jpg", "相册 8寸", false, 5,
                                    runner.owner(), tree.finished));
    settle(runner);
    FileOperation::setFaultHook(nullptr);

    QCOMPARE(owner.calls, QStringList{"fenjian_productPhotoSlot_4(" + report + ")"});
    if (copied.isEmpty()) {
        QVERIFY(entries(productFolder).isEmpty());
    } else {
        QCOMPARE(entries(productFolder), QStringList{"IMG_7.jpg"});
        QCOMPARE(readAll(productFolder + "IMG_7.jpg"), copied);
    }
}

void TestSeparateThread::productPhotoKeepsAnExistingTarget()
{
    OrderTree tree;
    tree.put(tree.finished + "IMG_7.jpg", "photo");
    const QString productFolder = tree.output + "相册 8寸 1/";
    tree.put(productFolder + "IMG_7.jpg", "earlier");

    JobTestOwner owner;
    JobRunner runner(&owner);
    for (int i = 0; i < 2; ++i) {
        runner.start(new SeparateThread("IMG_7.jpg", productFolder + "IMG_7.jpg", "相册 8寸", false, 5,
                                        runner.owner(), tree.finished));
    }
    settle(runner);

    QCOMPARE(owner.calls, QStringList({"fenjian_productPhotoSlot_4()", "fenjian_productPhotoSlot_4()"}));
    QCOMPARE(entries(productFolder), QStringList({"IMG_7(1).jpg", "IMG_7(2).jpg", "IMG_7.jpg"}));
    QCOMPARE(readAll(productFolder + "IMG_7.jpg"), QByteArray("earlier"));
    QCOMPARE(readAll(productFolder + "IMG_7(1).jpg"), QByteArray("photo"));
    QCOMPARE(readAll(productFolder + "IMG_7(2).jpg"), QByteArray("photo"));
}

void TestSeparateThread::productPhotoThatFailsToCopyIsReported()
{
    OrderTree tree;
    tree.put(tree.finished + "IMG_7.jpg", "photo");
    const QString productFolder = tree.output + "台历/";
    QDir().mkpath(productFolder);
    FailingWrites failing("台历/");

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread("IMG_7.jpg", productFolder + "IMG_7.jpg", "台历", false, 5,
                                    runner.owner(), tree.finished));
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"fenjian_productPhotoSlot_4(台历:IMG_7.JPG)"});
    QVERIFY(entries(productFolder).isEmpty());
}

void TestSeparateThread::marksBecomeTheOrdersMarkedImages()
{
    OrderTree tree;
    for (const char* name : {"A.JPG", "b.jpg", "c.png"})
        tree.put(tree.order + "成品/" + name, "x");
    const QByteArray reply = R"([
        {"picname": "A.jpg", "descr": "去痘", "pictype": "0",
         "picx": "10", "picy": "20", "picwidth": "30", "picheight": "40"},
        {"picname": "b.jpg", "descr": "瘦脸",
         "picx": 120, "picy": "5", "picwidth": "x", "picheight": "7"},
        {"picname": "../成品/b.jpg", "descr": "elsewhere", "pictype": "0",
         "picx": "1", "picy": "1", "picwidth": "1", "picheight": "1"},
        "not an object"
    ])";
    const QJsonArray marks = QJsonDocument::fromJson(reply).array();
    QCOMPARE(marks.size(), 4);

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(marks, 6, runner.owner(), tree.order));
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"fenjian_analysisPhotoInfo"});
    const QList<Image>& changed = ImageData::changedImages;
    // The path-like name is dropped; a non-object entry reads as empty.
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[0].GetImageName(), QString("A.jpg"));
    QCOMPARE(changed[0].description(), QString("去痘"));
    QCOMPARE(changed[0].clipRect(), QRect(10, 20, 30, 40));
    QVERIFY(!changed[0].isEllipse());
    QCOMPARE(changed[1].GetImageName(), QString("b.jpg"));
    QCOMPARE(changed[1].clipRect(), QRect(0, 5, 0, 7)); // a JSON number and "x" read as 0
    QVERIFY(changed[1].isEllipse());                    // no "pictype"

    QCOMPARE(DirServer::getOrderPath(), tree.order);
    const QList<Image>& selected = ImageData::getInstance()->GetSeletedImages();
    QCOMPARE(selected.size(), 2);
    QCOMPARE(selected[0].GetImageName(), QString("A.jpg"));
    QCOMPARE(selected[0].clipRect(), QRect(10, 20, 30, 40));
    QCOMPARE(selected[1].GetImageName(), QString("b.jpg"));
    QVERIFY(selected[1].isEllipse());
}

void TestSeparateThread::markRectanglesAreBounded()
{
    // Held to ±100000 before they make a rectangle; a number past 64 bits reads as 0.
    const QJsonArray marks{QJsonObject{{"picname", "A.jpg"},
                                       {"picx", "2147483647"},
                                       {"picy", "-99999999999999999999"},
                                       {"picwidth", "2"},
                                       {"picheight", "-2147483648"}}};
    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(marks, 6, runner.owner(), QString()));
    settle(runner);
    QCOMPARE(ImageData::changedImages.size(), 1);
    QCOMPARE(ImageData::changedImages.first().clipRect(), QRect(100000, 0, 2, -100000));
    // A mark spanning int's whole range scales without overflow, held in range.
    const QRect wide(QPoint(-2147483647, 0), QPoint(2147483647, 1));
    QCOMPARE(ImageOperation::scaleRect(QImage(100, 100, QImage::Format_RGB32), wide,
                                       QImage(50, 50, QImage::Format_RGB32)),
             QRect(-16777216, 0, 16777216, 1));
}

void TestSeparateThread::marksWithAnEmptyArray()
{
    OrderTree tree;
    tree.put(tree.order + "成品/A.jpg", "x");
    Image earlier;
    earlier.setFileName("A.jpg");
    earlier.setClipRect(QRect(1, 2, 3, 4), true);
    ImageData::changedImages.append(earlier);

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.start(new SeparateThread(QJsonArray(), 6, runner.owner(), tree.order));
    settle(runner);

    QCOMPARE(owner.calls, QStringList{"fenjian_analysisPhotoInfo"});
    QVERIFY(ImageData::changedImages.isEmpty());
    QCOMPARE(ImageData::getInstance()->getFinalImageNum(), 1);
    QVERIFY(!ImageData::getInstance()->GetSeletedImages().first().isEllipse());

    // "成品/" that cannot be listed is told, and the photos stay listed.
    tree.put(tree.order + "成品/B.jpg", "x");
    FileOperation::setFaultHook(
        [](FileOperation::Fault f, const QString&) { return f == FileOperation::Fault::List; });
    runner.start(new SeparateThread(QJsonArray(), 6, runner.owner(), tree.order));
    settle(runner);
    FileOperation::setFaultHook(nullptr);
    QCOMPARE(owner.calls.mid(1),
             QStringList({"listFailed(" + tree.order + "成品/)", "fenjian_analysisPhotoInfo"}));
    QCOMPARE(ImageData::getInstance()->getFinalImageNum(), 1);
}

void TestSeparateThread::plainFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("photo") << "IMG_7.JPG" << true;
    QTest::newRow("chinese with blanks") << "婚纱 01.jpg" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("slash") << "a/b.jpg" << false;
    QTest::newRow("backslash") << "a\\b.jpg" << false;
    QTest::newRow("nul") << QString("a") + QChar(0) + "b" << false;
}

void TestSeparateThread::plainFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(FileNames::isPlainFileName(name), plain);
}

void TestSeparateThread::closedWindowsJobsDoNothing_data()
{
    QTest::addColumn<int>("type");
    for (int type = 1; type <= 7; ++type)
        QTest::newRow(qPrintable(QString::number(type))) << type;
}

void TestSeparateThread::closedWindowsJobsDoNothing()
{
    QFETCH(int, type);
    OrderTree tree;
    const QString source = tree.put(tree.order + "成品/IMG_7.jpg", "fine");
    tree.put(tree.finished + "IMG_7.jpg", "fine");
    tree.put(tree.rawFolder() + "IMG_7.CR2", "raw");
    Image earlier;
    earlier.setFileName("kept.jpg");
    ImageData::changedImages.append(earlier);
    const QString target = tree.output + "out/IMG_7.jpg";
    QDir().mkpath(tree.output + "out");

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.close();
    SeparateThread* job = nullptr;
    if (type == 2)
        job = new SeparateThread(source, type, runner.owner());
    else if (type == 5)
        job = new SeparateThread("IMG_7.jpg", target, "相册", false, type, runner.owner(), tree.finished);
    else if (type == 6)
        job = new SeparateThread(QJsonArray{QJsonObject{{"picname", "IMG_7.jpg"}}}, type, runner.owner(),
                                 tree.order);
    else
        job = new SeparateThread(source, target, true, type, runner.owner(), "1");
    runner.start(job);
    settle(runner);

    QVERIFY(owner.calls.isEmpty());
    QVERIFY(entries(tree.output + "out").isEmpty());
    QCOMPARE(ImageData::changedImages.size(), 1);
    QVERIFY(DirServer::getOrderPath().isEmpty());
}

void TestSeparateThread::windowClosedMidRunReceivesNothing()
{
    OrderTree tree;
    for (const char* name : {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"})
        tree.put(tree.order + "成品/" + name, "fine");
    tree.put(tree.rawFolder() + "IMG_1.CR2", "raw");
    BlockingWrites blocking("IMG_1.jpg", 10000);

    JobTestOwner owner;
    JobRunner runner(&owner);
    runner.pool()->setMaxThreadCount(1); // the later jobs wait in the queue
    for (const char* name : {"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg"}) {
        runner.start(new SeparateThread(tree.order + "成品/" + name, tree.finished + name, true, 1,
                                        runner.owner(), "1"));
    }
    QVERIFY(blocking.entered.tryAcquire(1, 10000));
    runner.close();
    blocking.release.release();
    settle(runner);
    // The jobs done and their calls delivered; then a moment in which
    // nothing may reach the closed window.
    QTest::qWait(20);

    QVERIFY(owner.calls.isEmpty());
    // The started job finished its file work; the queued ones never ran.
    QCOMPARE(entries(tree.finished), QStringList({"IMG_1.CR2", "IMG_1.jpg"}));
}

void TestSeparateThread::windowDestroyedMidRun()
{
    OrderTree tree;
    const QString source = tree.put(tree.order + "成品/IMG_1.jpg", "fine");
    BlockingWrites blocking("IMG_1.jpg", 150); // lets go by itself

    auto* window = new RunnerWindow;
    window->jobs.start(
        new SeparateThread(source, tree.finished + "IMG_1.jpg", true, 1, window->jobs.owner()));
    window->jobs.start(new SeparateThread(source, 2, window->jobs.owner()));
    QVERIFY(blocking.entered.tryAcquire(1, 10000));
    delete window; // waits for the job that is copying
    QCoreApplication::processEvents();
    QCOMPARE(entries(tree.finished), QStringList{"IMG_1.jpg"});
}

void TestSeparateThread::unknownTypesDoNothing()
{
    OrderTree tree;
    const QString source = tree.put(tree.order + "成品/IMG_7.jpg", "fine");
    JobTestOwner owner;
    JobRunner runner(&owner);
    for (int type : {0, 8, -1}) {
        runner.start(new SeparateThread(source, type, runner.owner()));
        runner.start(new SeparateThread(source, tree.finished + "IMG_7.jpg", true, type, runner.owner()));
    }
    settle(runner);
    QVERIFY(owner.calls.isEmpty());
    QVERIFY(entries(tree.finished).isEmpty());
}

QTEST_MAIN(TestSeparateThread)
#include "tst_separatethread.moc"
